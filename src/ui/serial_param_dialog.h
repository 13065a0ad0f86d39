#pragma once
// The serial parameter dialog: bit rate, data bits, parity, stop bits and
// flow control of the port the communication module uses. Scripts and tests
// fill it by the controls' objectNames (CBBitRate, CBDataBits, CBParity,
// CBStopBits, CBFlowCtrl; OKBtn, CancelBtn).
#include "link/serial_params.h"
#include "ui/input_dialogs.h"

class QComboBox;

namespace kx9 {

class CommModule;

class TSerialParamDlg : public InputDialogBase {
    Q_OBJECT
public:
    explicit TSerialParamDlg(QWidget *parent = nullptr);

    // Shows the values of port COMn.
    void Show(const SerialLineParams &params, int portNo);
    // The values as the controls hold them. A value the controls cannot show
    // (an odd bit rate, an unknown parity) is given back unchanged unless the
    // operator picked another.
    SerialLineParams Take() const;

    QComboBox *CBBitRate = nullptr;
    QComboBox *CBDataBits = nullptr;
    QComboBox *CBParity = nullptr;
    QComboBox *CBStopBits = nullptr;
    QComboBox *CBFlowCtrl = nullptr;

private:
    SerialLineParams shown_;
};

// Runs the dialog on `params`; true, with `params` changed, when confirmed.
bool EditSerialParams(QWidget *parent, SerialLineParams &params, int portNo);
// The menu's serial parameter edit: the module closes its port, this dialog
// edits the values, the module saves them when confirmed and reopens.
void SerialParamDialog(QWidget *parent, CommModule &module);

} // namespace kx9
