#include "app/serial_setup.h"

#include "app/main_window.h"
#include "commands/ttcomxdlg.h"
#include "link/serial_ports.h"
#include "net/wait_box.h"
#include "ui/serial_param_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace kx9 {

namespace {

constexpr int kScanSpeeds[] = {9600, 19200, 38400};

QString speedText(int bps)
{
    switch (bps) {
    case 9600: return QStringLiteral("9600bps");
    case 38400: return QStringLiteral("38.4kbps");
    default: return QStringLiteral("19.2kbps");
    }
}

// A pause that keeps the window and the link events going.
void pauseMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QButtonGroup *radioColumn(QGroupBox *group, const QStringList &texts)
{
    auto *lay = new QVBoxLayout(group);
    auto *buttons = new QButtonGroup(group);
    for (int i = 0; i < texts.size(); ++i) {
        auto *r = new QRadioButton(texts[i], group);
        lay->addWidget(r);
        buttons->addButton(r, i);
    }
    return buttons;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

int SpeedCodeToBps(int code) { return code == 1 ? 9600 : (code == 2 ? 38400 : 19200); }
int BpsToSpeedCode(int bps) { return bps == 9600 ? 1 : (bps == 19200 ? 0 : 2); }
int SpeedCodeToListIndex(int code) { return code == 1 ? 0 : (code == 2 ? 2 : 1); }
int ListIndexToSpeedCode(int index) { return index == 0 ? 1 : (index == 2 ? 2 : 0); }

uint8_t ModeFlagsForSpeed(uint8_t flags, int bps)
{
    flags &= 0x3F;
    if (bps == 38400)
        flags |= 0x80;
    else if (bps == 9600)
        flags |= 0x40;
    return flags;
}

// ------------------------------------------------------------------ dialogs

TOpenCom1Dlg::TOpenCom1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TOpenCom1Dlg"));
    setWindowTitle(QStringLiteral("シリアルポートのオープン"));
    auto *lay = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    LBComPort = new QListWidget(this);
    LBComPort->setObjectName(QStringLiteral("LBComPort"));
    LBComPort->setMinimumWidth(220);
    top->addWidget(LBComPort);
    RGComSpeed = new QGroupBox(QStringLiteral("通信速度"), this);
    RGComSpeed->setObjectName(QStringLiteral("RGComSpeed"));
    speeds_ = radioColumn(RGComSpeed, {QStringLiteral("9600bps"), QStringLiteral("19.2kbps"), QStringLiteral("38.4kbps")});
    top->addWidget(RGComSpeed);
    lay->addLayout(top);
    STComPort = new QLabel(this);
    STComPort->setObjectName(QStringLiteral("STComPort"));
    lay->addWidget(STComPort);
    CBAutoCheck = new QCheckBox(QStringLiteral("Auto Check"), this);
    CBAutoCheck->setObjectName(QStringLiteral("CBAutoCheck"));
    lay->addWidget(CBAutoCheck);
    auto *buttons = new QHBoxLayout;
    QPushButton *devices = button(this, "BtPortCheck", QStringLiteral("ポートの確認..."));
    QPushButton *open = button(this, "OKBtn", QStringLiteral("Open"));
    QPushButton *cancel = button(this, "CancelBtn", QStringLiteral("キャンセル"));
    open->setDefault(true);
    buttons->addWidget(devices);
    buttons->addStretch();
    buttons->addWidget(open);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);
    connect(LBComPort, &QListWidget::currentTextChanged, STComPort, &QLabel::setText);
    connect(devices, &QPushButton::clicked, this, [this] { ShowSerialDevices(this); });
    connect(open, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TOpenCom1Dlg::Show(const QList<ComPortEntry> &ports, int comPort, int speedCode)
{
    LBComPort->clear();
    int pick = -1;
    const QString wanted = QStringLiteral("COM%1").arg(comPort);
    for (int i = 0; i < ports.size(); ++i) {
        LBComPort->addItem(ports[i].text);
        if (pick < 0 && ports[i].text.contains(wanted))
            pick = i;
    }
    if (!ports.isEmpty())
        LBComPort->setCurrentRow(pick < 0 ? 0 : pick);
    else
        STComPort->setText(QStringLiteral("シリアルポートが見つかりません（COM%1 を使用します）").arg(comPort));
    speeds_->button(SpeedCodeToListIndex(speedCode))->setChecked(true);
}

int TOpenCom1Dlg::selectedRow() const { return LBComPort->currentRow(); }
int TOpenCom1Dlg::speedCode() const { return ListIndexToSpeedCode(speeds_->checkedId()); }
bool TOpenCom1Dlg::autoCheck() const { return CBAutoCheck->isChecked(); }

TPortSetDlg::TPortSetDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TPortSetDlg"));
    setWindowTitle(QStringLiteral("COMポートの設定"));
    auto *lay = new QVBoxLayout(this);
    RGSetPort = new QGroupBox(QStringLiteral("ポートの指定"), this);
    RGSetPort->setObjectName(QStringLiteral("RGSetPort"));
    QStringList names;
    for (int i = 1; i <= 10; ++i)
        names << QStringLiteral("COM%1").arg(i);
    ports_ = radioColumn(RGSetPort, names);
    lay->addWidget(RGSetPort);
    auto *buttons = new QHBoxLayout;
    QPushButton *ok = button(this, "OKBtn", QStringLiteral("設定"));
    QPushButton *cancel = button(this, "CancelBtn", QStringLiteral("キャンセル"));
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    lay->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TPortSetDlg::Show(int port)
{
    if (QAbstractButton *b = ports_->button(port - 1))
        b->setChecked(true);
}

int TPortSetDlg::port() const { return ports_->checkedId() + 1; }

void ShowSerialDevices(QWidget *parent)
{
    // Hardware viewers a desktop may have; the first one installed is opened.
    for (const char *viewer : {"hardinfo", "kinfocenter", "lshw-gtk", "gnome-device-manager"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(viewer));
        if (!path.isEmpty() && QProcess::startDetached(path, {}))
            return;
    }
    QMessageBox::information(parent, QStringLiteral("ポートの確認"),
                             QStringLiteral("シリアルポートは /dev/ttyS*（本体のポート）、/dev/ttyUSB*、/dev/ttyACM*"
                                            "（USB シリアル変換器）です。\n"
                                            "変換器ごとの名前は /dev/serial/by-id/ にあります。\n"
                                            "COM 番号はオプションファイルの [ComPorts] で割り当てられます"
                                            "（例: COM5=/dev/serial/by-id/...）。\n"
                                            "ポートを開くには dialout グループの権限が必要です。"));
}

// ------------------------------------------------------------------ flows

SerialSetup::SerialSetup(TKX9AppForm &window) : QObject(&window), w_(window) {}

QList<ComPortEntry> SerialSetup::ports() const { return ListComPorts(w_.iniPath()); }

bool SerialSetup::probe()
{
    TTComXDlg *c = w_.comm();
    if (!c || !c->IsLinkOpen())
        return false;
    c->RomVersionQuery();
    return c->WaitAck();
}

QString SerialSetup::probeResult()
{
    TTComXDlg *c = w_.comm();
    if (!c || !c->IsLinkOpen())
        return QStringLiteral("NG: Port Open");
    return probe() ? QStringLiteral("Find KX9 R/W") : QStringLiteral("Not Find KX9 R/W");
}

bool SerialSetup::OpenSerialAtStart()
{
    AppOptions &o = w_.appOptions();
    const QList<ComPortEntry> list = ports();
    TOpenCom1Dlg dlg(&w_);
    dlg.Show(list, o.ComPort, o.ComSpeed);
    const bool open = dlg.exec() == QDialog::Accepted;
    if (open) {
        if (dlg.autoCheck()) {
            // Nothing listed: the configured port is the one to try.
            QList<ComPortEntry> scan = list;
            if (scan.isEmpty())
                scan.append({o.ComPort, QString(), QStringLiteral("COM%1").arg(o.ComPort), false});
            ScanReaderPorts(scan);
        } else {
            const int row = dlg.selectedRow() < 0 ? 0 : dlg.selectedRow();
            if (row < list.size())
                o.ComPort = list[row].number;
            o.ComSpeed = dlg.speedCode();
            w_.CreateModule(o.ComPort, o.ComSpeed);
        }
    }
    w_.setEnabled(false);
    w_.SuspendLogging();
    QString result;
    if (w_.comm()) {
        w_.receiveTimer()->start();
        result = probeResult();
    }
    w_.ResumeLogging();
    w_.setEnabled(true);
    w_.AppLog(result);
    return open;
}

void SerialSetup::ScanReaderPorts(const QList<ComPortEntry> &list)
{
    const QString heading = QStringLiteral("------- Check KX9 R/W ----------");
    WaitBox box(&w_, heading, false);
    box.show();
    w_.setStatusHint(heading);
    w_.setEnabled(false);
    box.setEnabled(true);
    w_.setLogSwitch(false);
    int foundPort = 0, foundBps = 0;
    for (const ComPortEntry &entry : list) {
        QCoreApplication::processEvents();
        const int n = entry.number;
        for (int bps : kScanSpeeds) {
            box.setLabel(QStringLiteral("Check PORT:%1 %2").arg(n).arg(speedText(bps)));
            if (!w_.comm()) {
                w_.appOptions().ComPort = n;
                w_.CreateModule(n, BpsToSpeedCode(bps));
            } else {
                w_.comm()->SetSerialBitRate(bps);
                w_.comm()->LinkReopenOnPort(n);
            }
            w_.receiveTimer()->start();
            if (!w_.comm() || !w_.comm()->IsLinkOpen())
                break;   // the next port
            if (probe()) {
                foundPort = n;
                foundBps = bps;
                break;
            }
        }
        if (foundPort)
            break;
    }
    w_.setLogSwitch(true);
    w_.setEnabled(true);
    if (foundPort) {
        w_.AppLog(QStringLiteral("Find KX9 R/W "));
        w_.AppLog(QStringLiteral("PORT:%1").arg(foundPort));
        w_.AppLog(QStringLiteral("Speed:%1").arg(foundBps));
    } else {
        w_.AppLog(QStringLiteral("Not Find KX9 R/W "));
    }
    w_.setStatusHint(QString());
    box.close();
}

void SerialSetup::FillSerialPanel(int port, int speedCode)
{
    auto *reopen = w_.findChild<QCheckBox *>(QStringLiteral("CBReOpen"));
    auto *speed = w_.findChild<QComboBox *>(QStringLiteral("CBSpeed"));
    auto *com = w_.findChild<QComboBox *>(QStringLiteral("CBCOMPort"));
    reopen->setChecked(false);
    speed->setCurrentIndex(SpeedCodeToListIndex(speedCode));
    com->clear();
    int pick = -1;
    for (const ComPortEntry &e : ports()) {
        // The number itself, so COM1 never takes COM10's entry.
        if (e.number == port)
            pick = com->count();
        com->addItem(e.text, e.number);
    }
    com->setCurrentIndex(pick);
}

void SerialSetup::ReconnectFromPanel()
{
    auto *speed = w_.findChild<QComboBox *>(QStringLiteral("CBSpeed"));
    auto *com = w_.findChild<QComboBox *>(QStringLiteral("CBCOMPort"));
    TTComXDlg *c = w_.comm();
    if (!c)
        return;
    if (com->currentIndex() < 0) {
        QMessageBox::information(&w_, QStringLiteral("再接続"), QStringLiteral("接続するCOMポートを選択してください。"));
        return;
    }
    AppOptions &o = w_.appOptions();
    o.ComPort = com->currentData().toInt();
    o.ComSpeed = ListIndexToSpeedCode(speed->currentIndex());
    c->SetSerialBitRate(SpeedCodeToBps(o.ComSpeed));
    c->LinkReopenOnPort(o.ComPort);
    w_.setEnabled(false);
    w_.SuspendLogging();
    w_.receiveTimer()->start();
    const QString result = probeResult();
    w_.ResumeLogging();
    w_.setEnabled(true);
    w_.AppLog(result);
    w_.findChild<QCheckBox *>(QStringLiteral("CBReOpen"))->setChecked(false);
}

void SerialSetup::ChangePort()
{
    TTComXDlg *c = w_.comm();
    if (!c)
        return;
    TPortSetDlg dlg(&w_);
    dlg.Show(c->SerialPortNo());
    if (dlg.exec() == QDialog::Accepted && dlg.port() > 0)
        c->LinkReopenOnPort(dlg.port());
    AppOptions &o = w_.appOptions();
    o.ComPort = c->SerialPortNo();
    FillSerialPanel(o.ComPort, o.ComSpeed);
}

void SerialSetup::ChangeSerialParams()
{
    TTComXDlg *c = w_.comm();
    if (!c)
        return;
    SerialParamDialog(&w_, *c);
    AppOptions &o = w_.appOptions();
    o.ComPort = c->SerialPortNo();
    o.ComSpeed = BpsToSpeedCode(c->SerialBitRate());
    FillSerialPanel(o.ComPort, o.ComSpeed);
}

bool SerialSetup::ChangeReaderSpeed(int bps)
{
    TTComXDlg *c = w_.comm();
    if (!c)
        return false;
    AppOptions &o = w_.appOptions();
    if (bps == 38400 && c->RomVersionCompare(121) == -1) {
        w_.AppLog(QStringLiteral("このROMバージョンは対応していません"));
        return false;
    }
    o.ComSpeed = BpsToSpeedCode(bps);
    uint8_t mode = 0, mode2 = 0, flags = 0;
    bool ok = true;   // a mode that cannot be read is not a refusal
    QPointer<TTComXDlg> guard(c);
    if (c->DousaModeSet_O(mode, mode2, flags) && guard) {
        flags = ModeFlagsForSpeed(flags, bps);
        o.SysMode = flags;
        c->DousaModeSet_N(true, mode, mode2, flags, o.PolingTime);
        ok = c->WaitAck();
    }
    if (ok && guard) {
        pauseMs(100);
        w_.SuspendLogging();
        if (guard)
            guard->RESTART_CMD();
        w_.ResumeLogging();
        pauseMs(200);
        if (guard) {
            guard->SetSerialBitRate(bps);
            guard->LinkReopen();
        }
    }
    FillSerialPanel(o.ComPort, o.ComSpeed);
    return ok;
}

void SerialSetup::CheckPorts()
{
    if (!w_.comm())
        return;
    w_.AppLog(QStringLiteral("------- Check KX9 R/W ---------- "));
    w_.AppLog(QStringLiteral("------- しばらくお待ちください ---------- "));
    int foundPort = 0, foundBps = 0;
    for (int n = 1; n <= 10 && !foundPort; ++n) {
        w_.AppLog(QStringLiteral("Check PORT:%1").arg(n));
        for (int bps : kScanSpeeds) {
            // Looked up at every step: the window may close inside a wait.
            TTComXDlg *c = w_.comm();
            if (!c)
                return;
            c->SetSerialBitRate(bps);
            c->LinkReopenOnPort(n);
            if (!c->IsLinkOpen())
                break;
            if (probe()) {
                foundPort = n;
                foundBps = bps;
                break;
            }
        }
    }
    TTComXDlg *c = w_.comm();
    if (!c)
        return;
    if (foundPort) {
        w_.AppLog(QStringLiteral("Find KX9 R/W "));
        w_.AppLog(QStringLiteral("PORT:%1").arg(foundPort));
        w_.AppLog(QStringLiteral("Speed:%1").arg(foundBps));
        AppOptions &o = w_.appOptions();
        o.ComPort = c->SerialPortNo();
        o.ComSpeed = BpsToSpeedCode(c->SerialBitRate());
        FillSerialPanel(o.ComPort, o.ComSpeed);
    } else {
        w_.AppLog(QStringLiteral("Not Find KX9 R/W "));
        w_.findChild<QComboBox *>(QStringLiteral("CBSpeed"))->setCurrentIndex(-1);
        w_.findChild<QComboBox *>(QStringLiteral("CBCOMPort"))->setCurrentIndex(-1);
    }
}

} // namespace kx9
