#include "script/dialog_answerer.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPlainTextEdit>
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

QWidget *findWidget(QWidget *dialog, const QString &name)
{
    if (dialog->objectName() == name)
        return dialog;
    return dialog->findChild<QWidget *>(name);
}

// Every fill starts here: the widget exists and a person could use it.
QString usable(QWidget *dialog, const QString &name, QWidget **out)
{
    QWidget *w = findWidget(dialog, name);
    if (!w)
        return QStringLiteral("no widget '%1' in %2").arg(name, DescribeDialog(dialog));
    if (!w->isEnabled())
        return QStringLiteral("widget '%1' in %2 is disabled").arg(name, DescribeDialog(dialog));
    *out = w;
    return {};
}

QRadioButton *radioAt(QWidget *group, int index)
{
    const QList<QRadioButton *> radios = group->findChildren<QRadioButton *>();
    return (index >= 0 && index < radios.size()) ? radios[index] : nullptr;
}

} // namespace

QString TypeDialogText(QWidget *dialog, const QString &name, const QString &text)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    w->setFocus(Qt::OtherFocusReason);
    if (auto *le = qobject_cast<QLineEdit *>(w)) {
        // Typed over the old text, so textEdited fires as for a person.
        le->selectAll();
        le->insert(text);
        if (le->text() != text)
            return QStringLiteral("line edit '%1' took \"%2\" as \"%3\"").arg(name, text, le->text());
        emit le->editingFinished();
        return {};
    }
    if (auto *cb = qobject_cast<QComboBox *>(w)) {
        if (!cb->isEditable())
            return QStringLiteral("combo box '%1' is not editable").arg(name);
        cb->setEditText(text);
        return {};
    }
    if (auto *pe = qobject_cast<QPlainTextEdit *>(w)) {
        pe->setPlainText(text);
        return {};
    }
    if (auto *te = qobject_cast<QTextEdit *>(w)) {
        te->setPlainText(text);
        return {};
    }
    if (auto *sb = qobject_cast<QAbstractSpinBox *>(w)) {
        QLineEdit *le = sb->findChild<QLineEdit *>();
        if (!le)
            return QStringLiteral("spin box '%1' has no editor").arg(name);
        le->selectAll();
        le->insert(text);
        sb->interpretText();
        return {};
    }
    if (w->metaObject()->indexOfProperty("text") >= 0 && w->setProperty("text", text))
        return {};
    return QStringLiteral("widget '%1' (%2) takes no text").arg(name, QString::fromLatin1(w->metaObject()->className()));
}

QString ChooseDialogIndex(QWidget *dialog, const QString &name, int index)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    if (auto *cb = qobject_cast<QComboBox *>(w)) {
        if (index < -1 || index >= cb->count())
            return QStringLiteral("combo box '%1' has no item %2").arg(name).arg(index);
        cb->setCurrentIndex(index);
        emit cb->activated(index);
        emit cb->textActivated(cb->currentText());
        return {};
    }
    if (auto *lw = qobject_cast<QListWidget *>(w)) {
        if (index < 0 || index >= lw->count())
            return QStringLiteral("list '%1' has no row %2").arg(name).arg(index);
        lw->setCurrentRow(index);
        emit lw->itemClicked(lw->item(index));
        return {};
    }
    if (QRadioButton *radio = radioAt(w, index)) {
        if (!radio->isEnabled())
            return QStringLiteral("radio %1 of '%2' is disabled").arg(index).arg(name);
        if (!radio->isChecked())
            radio->click();
        return {};
    }
    if (w->metaObject()->indexOfProperty("currentIndex") >= 0 && w->setProperty("currentIndex", index))
        return {};
    return QStringLiteral("widget '%1' has no item %2").arg(name).arg(index);
}

QString ChooseDialogItem(QWidget *dialog, const QString &name, const QString &text)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    if (auto *cb = qobject_cast<QComboBox *>(w)) {
        const int i = cb->findText(text);
        if (i < 0)
            return QStringLiteral("combo box '%1' has no item \"%2\"").arg(name, text);
        cb->setCurrentIndex(i);
        emit cb->activated(i);
        emit cb->textActivated(text);
        return {};
    }
    if (auto *lw = qobject_cast<QListWidget *>(w)) {
        const QList<QListWidgetItem *> items = lw->findItems(text, Qt::MatchExactly);
        if (items.isEmpty())
            return QStringLiteral("list '%1' has no row \"%2\"").arg(name, text);
        lw->setCurrentItem(items.first());
        emit lw->itemClicked(items.first());
        return {};
    }
    const QList<QRadioButton *> radios = w->findChildren<QRadioButton *>();
    for (QRadioButton *r : radios) {
        if (CaptionText(r->text()) == text) {
            if (!r->isChecked())
                r->click();
            return {};
        }
    }
    return QStringLiteral("widget '%1' has no item \"%2\"").arg(name, text);
}

QString CheckDialogButton(QWidget *dialog, const QString &name, bool checked)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    auto *b = qobject_cast<QAbstractButton *>(w);
    if (!b || !b->isCheckable())
        return QStringLiteral("widget '%1' is not a check box or radio button").arg(name);
    if (b->isChecked() != checked)
        b->click();
    if (b->isChecked() != checked)
        return QStringLiteral("'%1' cannot be %2").arg(name, checked ? QStringLiteral("checked") : QStringLiteral("cleared"));
    return {};
}

QString SetDialogValue(QWidget *dialog, const QString &name, const QVariant &value)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    if (auto *sb = qobject_cast<QSpinBox *>(w)) {
        sb->setValue(value.toInt());
        return {};
    }
    if (auto *db = qobject_cast<QDoubleSpinBox *>(w)) {
        db->setValue(value.toDouble());
        return {};
    }
    if (w->metaObject()->indexOfProperty("value") >= 0 && w->setProperty("value", value))
        return {};
    if (auto *le = qobject_cast<QLineEdit *>(w)) {
        le->selectAll();
        le->insert(value.toString());
        emit le->editingFinished();
        return {};
    }
    return QStringLiteral("widget '%1' (%2) takes no value").arg(name, QString::fromLatin1(w->metaObject()->className()));
}

QString SetDialogField(QWidget *dialog, const QString &field, const QString &value)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, field, &w); !err.isEmpty())
        return err;
    qlonglong n = -1;
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        // An item text first, then an index; an editable box takes any text.
        if (combo->findText(value) >= 0)
            return ChooseDialogItem(dialog, field, value);
        if (parseInt(value, 10, &n))
            return ChooseDialogIndex(dialog, field, int(n));
        return combo->isEditable() ? TypeDialogText(dialog, field, value)
                                   : QStringLiteral("combo box '%1' has no item \"%2\"").arg(field, value);
    }
    if (qobject_cast<QListWidget *>(w))
        return parseInt(value, 10, &n) ? ChooseDialogIndex(dialog, field, int(n)) : ChooseDialogItem(dialog, field, value);
    if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isCheckable()) {
        if (value != u"1" && value != u"0")
            return QStringLiteral("field %1 takes 0 or 1").arg(field);
        return CheckDialogButton(dialog, field, value == u"1");
    }
    // Number boxes, spin boxes and line edits take the value as typed, in
    // their own radix.
    if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QPlainTextEdit *>(w)
        || qobject_cast<QTextEdit *>(w))
        return TypeDialogText(dialog, field, value);
    if (!w->findChildren<QRadioButton *>().isEmpty()) {
        if (!parseInt(value, 10, &n))
            return QStringLiteral("field %1 takes an item index").arg(field);
        return ChooseDialogIndex(dialog, field, int(n));
    }
    return QStringLiteral("field %1 (%2) is not a widget a script can set")
        .arg(field, QString::fromLatin1(w->metaObject()->className()));
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
