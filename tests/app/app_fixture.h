#pragma once
// A main window started for real on a temporary option file: TCP server mode
// on a free port, the start-up LAN dialog answered by the dialog driver,
// and a loopback peer that connects while the wait box is up.
#include "app/main_window.h"
#include "commands/ttcomxdlg.h"
#include "dialog_driver.h"
#include "link/text_codec.h"
#include "wire_frame.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace kx9test {

inline QByteArray ReadFileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The lines of one section of an option file as they stand on disk.
inline QStringList SectionLines(const QByteArray &file, const QString &section)
{
    QStringList out;
    bool in = false;
    const QStringList lines = kx9::DecodeCp932(file).split(QLatin1Char('\n'));
    for (QString l : lines) {
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        if (l.startsWith(QLatin1Char('['))) {
            in = (l == QLatin1Char('[') + section + QLatin1Char(']'));
            continue;
        }
        if (in && !l.isEmpty())
            out << l;
    }
    return out;
}

class AppFixture {
public:
    // A port that was free a moment ago: a listening port of 0 is refused at start.
    static QByteArray TcpServerOptions()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return "[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=" + QByteArray::number(probe.serverPort())
            + "\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\n";
    }

    AppFixture() : ini(dir.filePath(QStringLiteral("kx9monitor.ini"))) {}
    ~AppFixture()
    {
        if (window)
            window->close();
    }

    // Writes `options` as the option file and builds the window (not shown).
    void create(const QByteArray &options)
    {
        if (!options.isNull())
            WriteFileBytes(ini, options);
        window = std::make_unique<kx9::TKX9AppForm>(ini);
    }

    // Full start-up to the running state; the peer connects from inside the wait box.
    bool start(const QByteArray &options = TcpServerOptions())
    {
        create(options);
        driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("接続"));
        driver.expect(QStringLiteral("WaitBox")).then([this](QWidget *box) {
            waitBoxSeen = box->isVisible();
            peer.connectToHost(QHostAddress::LocalHost, window->comm()->ListeningPort());
        });
        window->show();
        if (!QTest::qWaitFor([this] { return window->startState() == kx9::TKX9AppForm::StartState::Running
                                          || window->startState() == kx9::TKX9AppForm::StartState::Ended; },
                             15000))
            return false;
        return window->startState() == kx9::TKX9AppForm::StartState::Running && driver.ok();
    }

    // A reader report frame as it goes on the wire.
    static QByteArray Frame(char kind, const QByteArray &data, uint8_t id = 0)
    {
        return kx9test::WireFrame(kind, data, id);
    }

    QTemporaryDir dir;
    QString ini;
    DialogDriver driver;
    QTcpSocket peer;
    bool waitBoxSeen = false;
    std::unique_ptr<kx9::TKX9AppForm> window;
};

} // namespace kx9test
