#include "script/dialog_answerer.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVariant>

namespace kx9 {

QString CaptionText(const QString &caption)
{
    QString t = caption;
    t.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    t.remove(u'&');
    t.replace(QChar(1), u'&');
    return t;
}

namespace {

bool parseInt(const QString &text, int base, qlonglong *out)
{
    bool ok = false;
    QString t = text.trimmed();
    if (base == 16 && (t.startsWith(QStringLiteral("0x")) || t.startsWith(QStringLiteral("0X"))))
        t = t.mid(2);
    *out = t.toLongLong(&ok, base);
    return ok;
}

QString setRadioGroup(QWidget *group, const QString &field, const QString &value)
{
    const QList<QRadioButton *> radios = group->findChildren<QRadioButton *>();
    if (radios.isEmpty())
        return QStringLiteral("field %1 is not a widget a script can set").arg(field);
    qlonglong index = -1;
    if (!parseInt(value, 10, &index) || index < 0 || index >= radios.size())
        return QStringLiteral("field %1: item index %2 out of range 0..%3").arg(field, value).arg(radios.size() - 1);
    if (!radios[int(index)]->isEnabled())
        return QStringLiteral("field %1: item %2 is disabled").arg(field, value);
    radios[int(index)]->click();
    return {};
}

} // namespace

QString SetDialogField(QWidget *dialog, const QString &field, const QString &value)
{
    QWidget *w = dialog->findChild<QWidget *>(field);
    if (!w)
        return QStringLiteral("dialog %1 has no field %2").arg(dialog->objectName(), field);
    if (!w->isEnabled())
        return QStringLiteral("field %1 is disabled").arg(field);

    // Number boxes of our own publish their radix and value as properties.
    const QVariant radix = w->property("radix");
    if (radix.isValid() && w->property("value").isValid()) {
        qlonglong v = 0;
        if (!parseInt(value, radix.toInt(), &v))
            return QStringLiteral("field %1: \"%2\" is not a number in radix %3").arg(field, value).arg(radix.toInt());
        w->setProperty("value", v);
        return {};
    }
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        int index = combo->findText(value);
        qlonglong n = -1;
        if (index < 0 && parseInt(value, 10, &n) && n >= 0 && n < combo->count())
            index = int(n);
        if (index < 0) {
            if (!combo->isEditable())
                return QStringLiteral("field %1 has no item \"%2\"").arg(field, value);
            combo->setEditText(value);
            return {};
        }
        combo->setCurrentIndex(index);
        return {};
    }
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        qlonglong v = 0;
        if (!parseInt(value, spin->displayIntegerBase(), &v))
            return QStringLiteral("field %1: \"%2\" is not a number").arg(field, value);
        spin->setValue(int(v));
        return {};
    }
    if (auto *radio = qobject_cast<QRadioButton *>(w)) {
        if (value != u"1" && value != u"0")
            return QStringLiteral("field %1 takes 0 or 1").arg(field);
        if (value == u"1")
            radio->click();
        return {};
    }
    if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isCheckable()) {
        if (value != u"1" && value != u"0")
            return QStringLiteral("field %1 takes 0 or 1").arg(field);
        if (button->isChecked() != (value == u"1"))
            button->click();
        return {};
    }
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->setText(value);
        emit edit->editingFinished();
        return {};
    }
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w)) {
        plain->setPlainText(value);
        return {};
    }
    if (auto *text = qobject_cast<QTextEdit *>(w)) {
        text->setPlainText(value);
        return {};
    }
    return setRadioGroup(w, field, value);
}

QString DescribeDialog(const QWidget *dialog)
{
    if (!dialog)
        return QStringLiteral("(no dialog)");
    QString text = QStringLiteral("%1 '%2' \"%3\"")
                       .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->objectName(),
                            dialog->windowTitle());
    if (auto *box = qobject_cast<const QMessageBox *>(dialog))
        text += QStringLiteral(" text \"%1\"").arg(box->text());
    return text;
}

QAbstractButton *FindDialogButton(QWidget *dialog, const QString &nameOrCaption)
{
    if (auto *b = dialog->findChild<QAbstractButton *>(nameOrCaption))
        return b;
    const QString caption = CaptionText(nameOrCaption);
    const QList<QAbstractButton *> buttons = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : buttons)
        if (b->isVisible() && CaptionText(b->text()) == caption)
            return b;
    for (QAbstractButton *b : buttons)
        if (CaptionText(b->text()) == caption)
            return b;
    return nullptr;
}

QAbstractButton *FindStandardButton(QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        if (QAbstractButton *b = box->button(QMessageBox::StandardButton(int(which))))
            return b;
    for (QDialogButtonBox *bb : dialog->findChildren<QDialogButtonBox *>())
        if (QAbstractButton *b = bb->button(which))
            return b;
    return nullptr;
}

namespace {

QAbstractButton *findFirst(QWidget *dialog, QDialogButtonBox::StandardButton which, std::initializer_list<const char *> names)
{
    QAbstractButton *b = FindStandardButton(dialog, which);
    for (const char *n : names)
        if (!b)
            b = FindDialogButton(dialog, QString::fromUtf8(n));
    return b;
}

} // namespace

QAbstractButton *FindOkButton(QWidget *dialog)
{
    return findFirst(dialog, QDialogButtonBox::Ok, {"OKBtn", "OKButton", "BtOK", "OK", "ＯＫ"});
}

QAbstractButton *FindCancelButton(QWidget *dialog)
{
    return findFirst(dialog, QDialogButtonBox::Cancel, {"CancelBtn", "BtCancel", "キャンセル", "ｷｬﾝｾﾙ", "Cancel"});
}

QString ClickDialogButton(QAbstractButton *button, const QWidget *dialog, const QString &what)
{
    if (!button)
        return QStringLiteral("no button %1 in %2").arg(what, DescribeDialog(dialog));
    if (!button->isEnabled())
        return QStringLiteral("button %1 in %2 is disabled").arg(what, DescribeDialog(dialog));
    button->click();
    return {};
}

QString PressDialogButton(QWidget *dialog, const QString &button)
{
    if (button == u"ok")
        return ClickDialogButton(FindOkButton(dialog), dialog, QStringLiteral("OK"));
    if (button == u"cancel") {
        QAbstractButton *b = FindCancelButton(dialog);
        // No Cancel button: close the window, as a person would.
        if (!b) {
            if (auto *d = qobject_cast<QDialog *>(dialog)) {
                d->reject();
                return {};
            }
        }
        return ClickDialogButton(b, dialog, QStringLiteral("Cancel"));
    }
    return ClickDialogButton(FindDialogButton(dialog, button), dialog, button);
}

QString AnswerDialog(QWidget *dialog, const QList<QPair<QString, QString>> &fields, const QString &button)
{
    for (const auto &f : fields)
        if (QString e = SetDialogField(dialog, f.first, f.second); !e.isEmpty())
            return e;
    return PressDialogButton(dialog, button);
}

QString AnswerMessageBox(QMessageBox *box, const QString &answer)
{
    QAbstractButton *b = nullptr;
    if (answer == u"yes" || answer == u"no") {
        b = box->button(answer == u"yes" ? QMessageBox::Yes : QMessageBox::No);
        if (!b)
            return QStringLiteral("the message box \"%1\" is not a yes/no question").arg(box->text());
    } else {
        b = box->button(QMessageBox::Ok);
        if (!b)
            b = box->defaultButton();
        if (!b)
            b = box->escapeButton();
        if (!b && !box->buttons().isEmpty())
            b = box->buttons().first();
        if (!b)
            return QStringLiteral("the message box \"%1\" has no button").arg(box->text());
    }
    b->click();
    return {};
}

} // namespace kx9
