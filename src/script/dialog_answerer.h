#pragma once
// Answers one modal dialog the way a person would: fills its widgets by
// objectName and presses a real button. Shared by operator scripts and the
// end-to-end tests.
#include <QDialogButtonBox>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class QAbstractButton;
class QWidget;
class QMessageBox;

namespace kx9 {

// Typed fills of one widget found by objectName inside `dialog` (the dialog
// itself counts too), each done as a person would and checked afterwards.
// They return an error text, empty on success.
// Line edit (typed over its text), editable combo box, text edits, spin box.
QString TypeDialogText(QWidget *dialog, const QString &name, const QString &text);
// Combo box item, list row, or the index-th radio button inside a group.
QString ChooseDialogIndex(QWidget *dialog, const QString &name, int index);
// Combo box item, list row or radio button by its text.
QString ChooseDialogItem(QWidget *dialog, const QString &name, const QString &text);
// Check box, radio button or any checkable button.
QString CheckDialogButton(QWidget *dialog, const QString &name, bool checked);
// Spin box, or any widget with a "value" property.
QString SetDialogValue(QWidget *dialog, const QString &name, const QVariant &value);

// Sets one widget found by objectName inside `dialog`. Number boxes take the
// value in their own radix, line edits the text, combo boxes an item text or
// index, radio groups an item index, check boxes 0/1. Returns an error text,
// empty on success.
QString SetDialogField(QWidget *dialog, const QString &field, const QString &value);

// Presses "ok", "cancel", or the button with that objectName or caption.
QString PressDialogButton(QWidget *dialog, const QString &button);

// Fills every field, then presses the button; stops at the first error.
QString AnswerDialog(QWidget *dialog, const QList<QPair<QString, QString>> &fields, const QString &button);

// "yes"/"no" for a question box; empty `answer` dismisses a message box.
QString AnswerMessageBox(QMessageBox *box, const QString &answer);

// Buttons are matched on their caption without the '&' accelerator marks.
QString CaptionText(const QString &caption);

// "class 'objectName' "title"" (and the text of a message box), for reports.
QString DescribeDialog(const QWidget *dialog);

// A button by objectName, else by caption (a visible one first).
QAbstractButton *FindDialogButton(QWidget *dialog, const QString &nameOrCaption);
// A standard button of a message box or of a button box inside the dialog.
QAbstractButton *FindStandardButton(QWidget *dialog, QDialogButtonBox::StandardButton which);
// The dialog's OK / Cancel: the standard button, else one named or captioned so.
QAbstractButton *FindOkButton(QWidget *dialog);
QAbstractButton *FindCancelButton(QWidget *dialog);
// Clicks `button` as a person would; an error text when it is missing or disabled.
QString ClickDialogButton(QAbstractButton *button, const QWidget *dialog, const QString &what);

} // namespace kx9

namespace kx9 {

// The window an answer goes to now: the active modal dialog, else the
// active (or last listed) visible top-level dialog other than `mainWindow`,
// so windows shown without blocking (a progress box) are answered the same
// way. Windows carrying `skipProperty` (boxes that close by themselves) are
// passed over. Null when none is open.
QWidget *CurrentDialog(const QWidget *mainWindow = nullptr, const char *skipProperty = nullptr);

// A file dialog: chooses the name filter (an index or its text; empty keeps
// it), selects `path` and accepts, as typing the name and pressing Open/Save.
QString AnswerFileDialog(QWidget *dialog, const QString &path, const QString &filter);

// Clicks (or double-clicks) the widget named `name` inside `root` with the
// modifier keys held, by real mouse events at its centre, so the widget's
// own mouse handlers see the modifiers. A QAction's name reaches the toolbar
// button that shows it.
QString ClickWidget(QWidget *root, const QString &name, Qt::KeyboardModifiers modifiers, bool doubleClick);
// "ctrl", "shift+ctrl", "alt" ... (any order, '+' between); false for a word it does not know.
bool ParseModifiers(const QString &text, Qt::KeyboardModifiers *out);

// One control as shown: kind and value (number box in its radix, combo
// "text [index]", radio group index, check 0/1, line edit text, the lines of
// a multi-line text, grid cells). Backslash, tab and newline in the value are
// written \\ \t \n so that every control stays on one line.
struct ControlState {
    QString name;
    QString kind;
    QString value;
    bool enabled = false;
    bool visible = false;
    QString background;   // "#rrggbb" when not the default of its kind
};
QList<ControlState> ReadControls(QWidget *root);
// One line a control: name, kind, value, enabled=0/1, visible=0/1 [, bg=#rrggbb], tab-separated.
QString FormatControls(const QList<ControlState> &controls);
// Each NAME=VALUE must equal the value column of that control; an error text for the first that does not.
QString CheckControls(QWidget *root, const QList<QPair<QString, QString>> &expected);

} // namespace kx9
