#pragma once
// "ポートのチェック": shown when the USB reader could not be opened. The
// operator tries once more ("再試行", BtRetry), takes the serial port instead
// ("ＣＯＭポート", BtComPort) or ends the tool ("キャンセル", BtCancel).
#include "link/comm_module.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace kx9 {

class TPortCheck1 : public QDialog {
    Q_OBJECT
public:
    explicit TPortCheck1(QWidget *parent = nullptr);

    // `reason` (a permission problem) is shown under the message; empty hides it.
    void Show(const QString &reason);
    // The button pressed; closing the dialog any other way is キャンセル.
    UsbPortCheckChoice choice() const { return choice_; }

    QLabel *Label1 = nullptr;
    QLabel *LbReason = nullptr;
    QPushButton *BtRetry = nullptr;
    QPushButton *BtComPort = nullptr;
    QPushButton *BtCancel = nullptr;

private:
    UsbPortCheckChoice choice_ = UsbPortCheckChoice::Cancel;
};

// Runs the dialog modally and returns the operator's choice.
UsbPortCheckChoice RunPortCheck(QWidget *parent, const QString &reason);

// What the module needs from the main window for a USB link, before Open():
// its log writer for the opening lines and this dialog for a failed opening.
void SetUpUsbLink(CommModule &module, QWidget *parent, std::function<void(const QString &)> appLog);

} // namespace kx9
