#pragma once
// The monitor's main window started against a kx9sim that listens on a
// loopback port: the option file points the monitor's TCP client at it and
// the start-up LAN dialog is confirmed by the dialog driver.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "dialog_driver.h"
#include "loopback.h"
#include "sim_process.h"
#include "wire_frame.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace e2e {

// An 'x' (or other) request frame as the reader should see it.
inline QByteArray requestFrame(char command, const QByteArray &data, uint8_t id = 0)
{
    return kx9test::WireFrame(command, data, id);
}

class Monitor {
public:
    enum class Link { Tcp, Serial, Lan };

    // Starts kx9sim (with `simArgs`) and the main window; check ok() / error.
    // Over TCP the monitor is the client of the simulator's port; over the
    // serial link it opens the simulator's pty, mapped to COM5. Lan is TCP
    // with the LAN module's console on port 23 of a loopback address of the
    // test's own (`address`); skipped() says why when port 23 is refused.
    explicit Monitor(const QStringList &simArgs = {}, const QString &extraOptions = {}, Link link = Link::Tcp)
    {
        const bool serial = link == Link::Serial;
        QStringList linkArgs = serial ? QStringList{QStringLiteral("--pty")}
                                      : QStringList{QStringLiteral("--listen"), QStringLiteral("0")};
        if (link == Link::Lan) {
            address = kx9test::OwnLoopbackAddress();
            skipped = kx9test::ConsolePortRefusal(address);
            if (!skipped.isEmpty())
                return;
            linkArgs += {QStringLiteral("--bind"), address, QStringLiteral("--telnet"), QStringLiteral("23")};
        }
        if (!sim.start(linkArgs + simArgs)) {
            error = QStringLiteral("kx9sim: ") + sim.errorString();
            return;
        }
        iniPath = dir.filePath(QStringLiteral("kx9monitor.ini"));
        QFile ini(iniPath);
        if (!ini.open(QIODevice::WriteOnly)) {
            error = QStringLiteral("cannot write the option file");
            return;
        }
        const QString linkOptions = serial ? QStringLiteral("UseUSB=0\r\nComPort=5\r\nComSpeed=0\r\n")
                                           : QStringLiteral("UseUSB=2\r\nfUseGrobalIP=1\r\nfTCPServer=0\r\n"
                                                            "TCPServAddr=%1\r\nTCPServPort=%2\r\n")
                                                 .arg(address)
                                                 .arg(sim.listenPort());
        const QString ports = serial ? QStringLiteral("[ComPorts]\r\nSystemPorts=0\r\nCOM5=%1\r\n").arg(sim.ptyPath())
                                     : QString();
        ini.write(QStringLiteral("[Option]\r\n%1fTimeOut=1\r\nTagBlockSize=4\r\n"
                                 "fDufaultTab=1\r\n%2\r\n[ComDebug]\r\nfDispTxInfo=1\r\nfDispRecInfo=1\r\n%3")
                      .arg(linkOptions, extraOptions, ports)
                      .toLocal8Bit());
        ini.close();
        window = std::make_unique<kx9::TKX9AppForm>(iniPath);
        if (serial)
            driver.expect(QStringLiteral("TOpenCom1Dlg")).press(QStringLiteral("OKBtn"));
        else
            driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("OKBtn"));
        window->show();
        if (!QTest::qWaitFor([this] { return window->startState() == kx9::TKX9AppForm::StartState::Running; }, 15000)) {
            error = QStringLiteral("the monitor did not start: ") + driver.report();
            return;
        }
        ok = true;
    }

    QAction *item(const QString &name) { return window->findAction(name); }
    QStringList log() const { return window->logPane()->lines(); }
    void clearLog() { window->logPane()->clearLog(); }
    int received() const { return int(sim.receivedFrames().size()); }
    // Frames received by the simulator since `from` (an earlier received()).
    QList<QByteArray> receivedSince(int from) const { return sim.receivedFrames().mid(from); }

    QTemporaryDir dir;
    SimProcess sim;
    kx9test::DialogDriver driver;
    std::unique_ptr<kx9::TKX9AppForm> window;
    QString iniPath;
    QString address = QStringLiteral("127.0.0.1");
    QString skipped;
    QString error;
    bool ok = false;
};

} // namespace e2e
