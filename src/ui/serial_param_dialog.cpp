#include "ui/serial_param_dialog.h"

#include "link/comm_module.h"

#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace kx9 {

namespace {

// The rates every Linux serial driver takes; another rate in the option file
// is shown as an extra entry so it survives the dialog.
const int kBitRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

QComboBox *makeCombo(QWidget *parent, const char *name, const QStringList &items)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems(items);
    return c;
}

int flowIndex(FlowControl f)
{
    switch (f) {
    case FlowControl::Hardware: return 0;
    case FlowControl::XonXoff: return 1;
    default: return 2;
    }
}

FlowControl flowAt(int index)
{
    return index == 0 ? FlowControl::Hardware : index == 1 ? FlowControl::XonXoff : FlowControl::None;
}

} // namespace

TSerialParamDlg::TSerialParamDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TSerialParamDlg"));
    QStringList rates;
    for (int r : kBitRates)
        rates << QString::number(r);
    CBBitRate = makeCombo(this, "CBBitRate", rates);
    CBDataBits = makeCombo(this, "CBDataBits", {"5", "6", "7", "8"});
    // Index = the value kept in the option file.
    CBParity = makeCombo(this, "CBParity", {QStringLiteral("なし"), QStringLiteral("奇数"), QStringLiteral("偶数")});
    CBStopBits = makeCombo(this, "CBStopBits", {"1", "1.5", "2"});
    CBStopBits->setToolTip(QStringLiteral("1.5 はデータビット 5 のときだけ使えます"));
    CBFlowCtrl = makeCombo(this, "CBFlowCtrl",
                           {QStringLiteral("ハードウェア (RTS/CTS)"), QStringLiteral("Xon / Xoff"), QStringLiteral("なし")});

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("通信速度 (bit/s)"), CBBitRate);
    form->addRow(QStringLiteral("データビット"), CBDataBits);
    form->addRow(QStringLiteral("パリティ"), CBParity);
    form->addRow(QStringLiteral("ストップビット"), CBStopBits);
    form->addRow(QStringLiteral("フロー制御"), CBFlowCtrl);
    auto *v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(buttonRow());
    Show(SerialLineParams{}, 1);
}

void TSerialParamDlg::Show(const SerialLineParams &p, int portNo)
{
    shown_ = p;
    setWindowTitle(QStringLiteral("COM%1 の通信パラメータ").arg(portNo));
    const QString rate = QString::number(p.BitRate);
    int i = CBBitRate->findText(rate);
    if (i < 0 && p.BitRate > 0) {
        CBBitRate->addItem(rate);
        i = CBBitRate->count() - 1;
    }
    CBBitRate->setCurrentIndex(i);
    CBDataBits->setCurrentIndex(CBDataBits->findText(QString::number(p.CharSize)));
    CBParity->setCurrentIndex(p.Parity >= 0 && p.Parity <= 2 ? p.Parity : -1);
    CBStopBits->setCurrentIndex(p.StopBits >= 0 && p.StopBits <= 2 ? p.StopBits : -1);
    CBFlowCtrl->setCurrentIndex(flowIndex(p.Flow));
}

SerialLineParams TSerialParamDlg::Take() const
{
    SerialLineParams p = shown_;
    if (CBBitRate->currentIndex() >= 0)
        p.BitRate = CBBitRate->currentText().toInt();
    if (CBDataBits->currentIndex() >= 0)
        p.CharSize = CBDataBits->currentText().toInt();
    if (CBParity->currentIndex() >= 0)
        p.Parity = CBParity->currentIndex();
    if (CBStopBits->currentIndex() >= 0)
        p.StopBits = CBStopBits->currentIndex();
    p.Flow = flowAt(CBFlowCtrl->currentIndex());
    return p;
}

bool EditSerialParams(QWidget *parent, SerialLineParams &params, int portNo)
{
    TSerialParamDlg dlg(parent);
    dlg.Show(params, portNo);
    if (dlg.exec() != kModalOk)
        return false;
    params = dlg.Take();
    return true;
}

void SerialParamDialog(QWidget *parent, CommModule &module)
{
    module.SerialParamDialog(
        [parent](SerialLineParams &params, int portNo) { return EditSerialParams(parent, params, portNo); });
}

} // namespace kx9
