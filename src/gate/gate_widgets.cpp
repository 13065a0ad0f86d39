#include "gate/gate_widgets.h"

#include "gate/gate_bits.h"
#include "ui/int_edit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace kx9::gate {

CountEdit::CountEdit(const QString &name, QWidget *parent) : QLineEdit(parent)
{
    setObjectName(name);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), this));
    setAlignment(Qt::AlignRight);
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::editingFinished, this, [this] { setValue(value()); });
}

qlonglong CountEdit::value() const
{
    return qBound<qlonglong>(0, text().toLongLong(), 4294967295LL);
}

void CountEdit::setValue(qlonglong v) { setText(QString::number(qBound<qlonglong>(0, v, 4294967295LL))); }

void BitControls::add(QWidget *control, int word, int lo, int width) { entries_.append({control, word, lo, width}); }

int BitControls::valueOf(const QWidget *control)
{
    if (auto *r = qobject_cast<const RadioGroup *>(control))
        return r->index();
    if (auto *c = qobject_cast<const QComboBox *>(control))
        return c->currentIndex();
    if (auto *e = qobject_cast<const IntEdit *>(control))
        return e->value();
    return -1;
}

void BitControls::setValueOf(QWidget *control, int value)
{
    if (auto *r = qobject_cast<RadioGroup *>(control)) {
        r->setIndex(value);
    } else if (auto *c = qobject_cast<QComboBox *>(control)) {
        const bool listed = value >= 0 && value < c->count();
        c->setCurrentIndex(listed ? value : -1);
        // The value read stays visible even when the list has no entry for it.
        c->setPlaceholderText(listed ? QString() : QStringLiteral("%1h:（一覧にない値）")
                                                       .arg(QString::number(value, 16).rightJustified(2, u'0')));
    } else if (auto *e = qobject_cast<IntEdit *>(control)) {
        e->setValue(value);
    }
}

void BitControls::show(const QList<uint16_t> &words) const
{
    for (const Entry &e : entries_)
        setValueOf(e.control, FieldGet(words.value(e.word), e.lo, e.width));
}

QList<uint16_t> BitControls::take(const QList<uint16_t> &read) const
{
    QList<uint16_t> out = read;
    for (const Entry &e : entries_) {
        while (out.size() <= e.word)
            out.append(0);
        out[e.word] = uint16_t(FieldSet(out[e.word], e.lo, e.width, valueOf(e.control)));
    }
    return out;
}

QString Hex2(int value) { return QString::number(value & 0xFF, 16).toUpper().rightJustified(2, u'0'); }

} // namespace kx9::gate
