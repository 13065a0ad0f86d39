#pragma once
// The small modal input dialogs the menu actions ask their parameters with.
// The controls are public so an action can set captions, prompts, radix, range
// and initial values on each use and read the values back after OK.
// exec() gives kModalOk (1) for OK and kModalCancel (2) for Cancel, Escape or
// closing the window.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class QHBoxLayout;

namespace kx9 {

// The row of a dialog's own two buttons, named `BtOK` and `BtCancel` (as
// scripts press them with "ok" and "cancel"), right-aligned after the
// buttons of `before`. Cancel is never the default; OK is when `okDefault`.
// The caller connects them.
QHBoxLayout *OkCancelRow(QWidget *parent, QPushButton *&ok, QPushButton *&cancel, const QString &okText,
                         const QString &cancelText, bool okDefault, const QList<QPushButton *> &before = {});

class IntEdit;

constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;

class InputDialogBase : public QDialog {
    Q_OBJECT
public:
    explicit InputDialogBase(QWidget *parent);
    void reject() override;   // Cancel and closing both end with kModalCancel

    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

protected:
    QWidget *buttonRow();
};

// One number.
class TInputIntDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TInputIntDlg(QWidget *parent = nullptr);
    QLabel *STTitle = nullptr;
    IntEdit *IntEd = nullptr;
};

// Up to three numbers (hexadecimal unless the action says otherwise); an
// action hides the fields it does not need and blanks their prompts.
class TInp3Data1Dlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TInp3Data1Dlg(QWidget *parent = nullptr);
    QLabel *STTitle1 = nullptr, *STTitle2 = nullptr, *STTitle3 = nullptr;
    IntEdit *IntEd1 = nullptr, *IntEd2 = nullptr, *IntEd3 = nullptr;
};

// Two numbers and a text. With the focus flag set, the text field takes the
// keyboard focus when the dialog opens (if it is shown), so a bar-code
// scanner's input lands in it.
class TInp3Data2Dlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TInp3Data2Dlg(bool focusOnString = false, QWidget *parent = nullptr);
    bool focusOnString() const { return focusOnString_; }
    QLabel *STTitle1 = nullptr, *STTitle2 = nullptr, *STTitle3 = nullptr;
    IntEdit *IntEd1 = nullptr, *IntEd2 = nullptr;
    QLineEdit *EdString = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool focusOnString_ = false;
};

// One block address and four data bytes, upper byte on the left.
class TWrData1Dlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TWrData1Dlg(QWidget *parent = nullptr);
    IntEdit *EdAddr = nullptr;
    IntEdit *EdData3 = nullptr, *EdData2 = nullptr, *EdData1 = nullptr, *EdData0 = nullptr;
};

} // namespace kx9
