#pragma once
// The real main window against kx9sim over each link the monitor has: TCP with
// the monitor as client, TCP with the monitor as server (kx9sim connects to
// it), and the serial link on kx9sim's pty (mapped to COM5).
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/tag_grid.h"
#include "commands/ttcomxdlg.h"
#include "dialog_driver.h"
#include "link/tag_list.h"
#include "sim_process.h"
#include "wire_frame.h"

#include <QAction>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace robust {

enum class Link { TcpClient, TcpServer, Serial };

inline QString LinkName(Link l)
{
    return l == Link::TcpClient ? QStringLiteral("tcp-client") : l == Link::TcpServer ? QStringLiteral("tcp-server")
                                                                                     : QStringLiteral("serial");
}

// The link a test binary runs on: its first argument (taken off before QTest
// sees the rest), tcp-client when none.
inline Link LinkFromArgs(int &argc, char **argv)
{
    Link link = Link::TcpClient;
    if (argc > 1 && argv[1][0] != '-') {
        const QByteArray a(argv[1]);
        link = a == "serial" ? Link::Serial : a == "tcp-server" ? Link::TcpServer : Link::TcpClient;
        for (int i = 1; i + 1 < argc; ++i)
            argv[i] = argv[i + 1];
        --argc;
    }
    return link;
}

class Monitor {
public:
    // `extraOptions` go to [Option], `extraComDebug` to [ComDebug] (each line ending in CR LF).
    explicit Monitor(Link link, const QStringList &simArgs = {}, const QString &extraOptions = {},
                     const QString &extraComDebug = {})
        : link_(link)
    {
        QStringList linkArgs;
        quint16 serverPort = 0;
        if (link == Link::Serial) {
            linkArgs = {QStringLiteral("--pty")};
        } else if (link == Link::TcpClient) {
            linkArgs = {QStringLiteral("--listen"), QStringLiteral("0")};
        } else {
            // A port that was free a moment ago; kx9sim retries until the monitor listens there.
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            serverPort = probe.serverPort();
            probe.close();
            linkArgs = {QStringLiteral("--connect"), QStringLiteral("127.0.0.1:%1").arg(serverPort)};
        }
        if (!sim.start(linkArgs + simArgs)) {
            error = QStringLiteral("kx9sim: ") + sim.errorString();
            return;
        }
        iniPath = dir.filePath(QStringLiteral("kx9monitor.ini"));
        QString linkOptions;
        if (link == Link::Serial)
            linkOptions = QStringLiteral("UseUSB=0\r\nComPort=5\r\nComSpeed=0\r\n");
        else if (link == Link::TcpClient)
            linkOptions = QStringLiteral("UseUSB=2\r\nfUseGrobalIP=1\r\nfTCPServer=0\r\nTCPServAddr=127.0.0.1\r\n"
                                         "TCPServPort=%1\r\n").arg(sim.listenPort());
        else
            linkOptions = QStringLiteral("UseUSB=2\r\nfUseGrobalIP=1\r\nfTCPServer=1\r\nTCPServAddr=127.0.0.1\r\n"
                                         "TCPPort=%1\r\n").arg(serverPort);
        const QString ports = link == Link::Serial
                                  ? QStringLiteral("[ComPorts]\r\nSystemPorts=0\r\nCOM5=%1\r\n").arg(sim.ptyPath())
                                  : QString();
        QFile ini(iniPath);
        if (!ini.open(QIODevice::WriteOnly)) {
            error = QStringLiteral("cannot write the option file");
            return;
        }
        ini.write(QStringLiteral("[Option]\r\n%1fTimeOut=1\r\nTagBlockSize=4\r\nfDufaultTab=1\r\n%2\r\n"
                                 "[ComDebug]\r\nfDispTxInfo=1\r\nfDispRecInfo=1\r\n%3\r\n%4")
                      .arg(linkOptions, extraOptions, extraComDebug, ports)
                      .toLocal8Bit());
        ini.close();
        window = std::make_unique<kx9::TKX9AppForm>(iniPath);
        driver.expect(link == Link::Serial ? QStringLiteral("TOpenCom1Dlg") : QStringLiteral("TSetTCPIPDlg"))
            .press(QStringLiteral("OKBtn"));
        window->show();
        if (!QTest::qWaitFor([this] { return window->startState() == kx9::TKX9AppForm::StartState::Running; }, 15000)) {
            error = QStringLiteral("the monitor did not start: ") + driver.report();
            return;
        }
        ok = true;
    }

    Link link() const { return link_; }
    QAction *item(const QString &name) { return window->findAction(name); }
    QStringList log() const { return window->logPane()->lines(); }
    void clearLog() { window->logPane()->clearLog(); }
    kx9::TagList &tags() { return window->comm()->tagList(); }
    kx9::TagGrid *grid() { return window->grid(); }

    // Data rows of the grid that show anything.
    int filledGridRows()
    {
        int n = 0;
        for (int r = 1; r < grid()->rowCount(); ++r) {
            bool any = false;
            for (int c = 1; c < 4 && !any; ++c)
                any = !grid()->cell(r, c).isEmpty();
            n += any ? 1 : 0;
        }
        return n;
    }

    // Triggers `item` (answering its block-number dialog with `block` when not
    // empty) and waits up to `ms` for the action to log its time.
    bool runAndWait(const QString &itemName, const QString &block = {}, int ms = 8000)
    {
        QAction *a = item(itemName);
        if (!a)
            return false;
        if (!block.isEmpty())
            driver.expect(QStringLiteral("TInputIntDlg")).setText(QStringLiteral("IntEd"), block).press(QStringLiteral("OKBtn"));
        const int before = timeLines();
        a->trigger();
        return QTest::qWaitFor([&] { return timeLines() > before; }, ms);
    }

    int timeLines() const
    {
        static const QRegularExpression rx(QStringLiteral("^実行時間: "));
        return int(log().filter(rx).size());
    }

    // Link is up again (a dropped connection comes back by itself on TCP).
    bool waitConnected(int ms = 8000)
    {
        return QTest::qWaitFor([this] { return window->comm() && window->comm()->Connected(); }, ms);
    }

    QTemporaryDir dir;
    SimProcess sim;
    kx9test::DialogDriver driver;
    std::unique_ptr<kx9::TKX9AppForm> window;
    QString iniPath;
    QString error;
    bool ok = false;

private:
    Link link_;
};

} // namespace robust
