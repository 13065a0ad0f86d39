#include "config/wide_int_edit.h"

#include "ui/int_edit.h"

#include <QDialog>
#include <QLayout>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace kx9 {

WideIntEdit::WideIntEdit(QWidget *parent) : QLineEdit(parent)
{
    updateValidator();
    setValue(0);
    connect(this, &QLineEdit::editingFinished, this, &WideIntEdit::normalise);
}

void WideIntEdit::setRadix(int radix)
{
    const qlonglong v = value();
    radix_ = radix == 16 ? 16 : 10;
    updateValidator();
    setValue(v);
}

void WideIntEdit::setRange(qlonglong minimum, qlonglong maximum)
{
    if (maximum < minimum)
        std::swap(minimum, maximum);
    const qlonglong v = value();
    min_ = minimum;
    max_ = maximum;
    updateValidator();
    setValue(v);
}

qlonglong WideIntEdit::clamp(qlonglong v) const
{
    return std::clamp(v, min_, max_);
}

qlonglong WideIntEdit::value() const
{
    const QString t = text().trimmed();
    if (t.isEmpty() || t == QLatin1String("-"))
        return min_;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, radix_);
    if (!ok)   // more digits than 64 bits hold: above any range
        return t.startsWith(QLatin1Char('-')) ? min_ : max_;
    return clamp(v);
}

QString WideIntEdit::formatValue(qlonglong v) const
{
    if (radix_ != 16)
        return QString::number(v);
    const int width = int(QString::number(std::max<qlonglong>(max_, 0), 16).size());
    const QString digits = QString::number(v < 0 ? -v : v, 16).toUpper().rightJustified(width, QLatin1Char('0'));
    return v < 0 ? QLatin1Char('-') + digits : digits;
}

void WideIntEdit::setValue(qlonglong v)
{
    const QString t = formatValue(clamp(v));
    if (t != text())
        setText(t);
}

void WideIntEdit::normalise() { setValue(value()); }

void WideIntEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    normalise();
}

void WideIntEdit::updateValidator()
{
    const QString digits = radix_ == 16 ? QStringLiteral("[0-9A-Fa-f]") : QStringLiteral("[0-9]");
    const QString sign = min_ < 0 ? QStringLiteral("-?") : QString();
    const QRegularExpression rx(sign + digits + QStringLiteral("{0,20}"));
    if (!validator_) {
        validator_ = new QRegularExpressionValidator(rx, this);
        setValidator(validator_);
    } else {
        validator_->setRegularExpression(rx);
    }
}

WideIntEdit *ReplaceWithWideBox(QDialog *dialog, IntEdit *&box)
{
    auto *wide = new WideIntEdit(dialog);
    wide->setObjectName(box->objectName());
    wide->setRadix(box->radix());
    if (QLayout *l = dialog->layout())
        delete l->replaceWidget(box, wide);   // the layout item of the old box is ours to free
    delete box;
    box = nullptr;
    return wide;
}

} // namespace kx9
