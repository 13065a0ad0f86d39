// The Telnet link against kx9sim's LAN console and against a real telnetd,
// each on a loopback address of the test's own, port 23.
#include "memory_log.h"
#include "net/lan_module.h"
#include "net_fixture.h"
#include "net/telnet_link.h"
#include "sim_process.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace kx9;
using kx9test::MemoryLog;

namespace {

// What the console received, decoded from the simulator's "TELNET RX" lines.
QByteArray consoleInput(const SimProcess &sim)
{
    QByteArray in;
    for (const QByteArray &line : sim.frameLog().split('\n')) {
        const int at = line.indexOf("TELNET RX ");
        if (at >= 0)
            in += QByteArray::fromHex(line.mid(at + 10).replace(' ', ""));
    }
    return in;
}

} // namespace

class TelnetLinkTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        address = kx9test::OwnLoopbackAddress();
        const QString refusal = kx9test::ConsolePortRefusal(address);
        if (!refusal.isEmpty())
            QSKIP(qPrintable(refusal));
    }

    void exchangeWithTheConsole_data()
    {
        QTest::addColumn<int>("logRx");
        QTest::newRow("receive logging on") << 1;
        QTest::newRow("receive logging off") << 0;
    }
    void exchangeWithTheConsole()
    {
        QFETCH(int, logRx);
        SimProcess sim;
        QVERIFY2(kx9test::StartLanSim(sim, address), qPrintable(sim.errorString()));
        QCOMPARE(sim.control("lan set madr=0a-1b-2c-3d-4e-5f"), QStringLiteral("OK"));
        MemoryLog log;
        TTelNetCont1Dlg link;
        QVERIFY(link.TelnetOpen(&log, logRx, address));
        QVERIFY(LanModuleWake(link));
        QVERIFY(link.TelnetQuery("bps"));
        QCOMPARE(link.valueText(), QStringLiteral("16"));
        QVERIFY(link.TelnetCommand("timv=25\r\n", ">OK"));
        QVERIFY(!link.TelnetCommand("mask=40\r\n", ">OK"));    // the module says NG
        link.TelnetClear();
        link.TelnetSend("madr\r\n");
        QVERIFY(link.TelnetReadMac(6));
        QCOMPARE(link.valueText(), QStringLiteral("0a-1b-2c-3d-4e-5f"));
        QCOMPARE(sim.control("get lan").section(' ', 8, 8), QStringLiteral("timv=25"));
        QCOMPARE(sim.control("lan sessions"), QStringLiteral("OK 1"));
        link.TelnetClose();
        QTRY_COMPARE(sim.control("lan sessions"), QStringLiteral("OK 0"));

        // The CR of each CR LF went out with its LF: one line end, not a CR NUL and another.
        QCOMPARE(consoleInput(sim), QByteArray("QZV\r\n\r\nbps\r\ntimv=25\r\nmask=40\r\nmadr\r\n"));

        QCOMPARE(log.lines.mid(0, 2), (QStringList{"Telnet Connect", "Telnet Connected"}));
        QCOMPARE(log.lines.last(), QStringLiteral("Telnet Disconnect"));
        QVERIFY(!log.lines.contains(QStringLiteral("レスポンス待ち　タイムオーバー")));
        const QStringList tx = log.lines.filter(QRegularExpression(QStringLiteral("^TX:")));
        const QStringList rx0 = log.lines.filter(QRegularExpression(QStringLiteral("^RX0;")));
        if (!logRx) {
            QVERIFY(tx.isEmpty());
            QVERIFY(rx0.isEmpty());
            QVERIFY(log.lines.filter(QRegularExpression(QStringLiteral("^RX:"))).isEmpty());
            return;
        }
        QCOMPARE(tx.first(), QStringLiteral("TX:51 5A 56 0D 0A "));   // the password
        QCOMPARE(tx.at(2), QStringLiteral("TX:62 70 73 0D 0A "));     // "bps" CR LF
        // Every packet: its bytes in hex, then the same bytes as text.
        QVERIFY(!rx0.isEmpty());
        for (int i = 0; i < log.lines.size(); ++i) {
            if (!log.lines[i].startsWith(QLatin1String("RX0;")))
                continue;
            QVERIFY(i + 1 < log.lines.size());
            const QString next = log.lines[i + 1];
            QVERIFY2(next.startsWith(QLatin1String("RX:")), qPrintable(next));
            const QByteArray bytes = QByteArray::fromHex(log.lines[i].mid(4).toLatin1());
            QCOMPARE(next.mid(3), QString::fromLatin1(bytes));
        }
        QVERIFY(log.lines.contains(QStringLiteral("RX0;50 41 53 53 57 4F 52 44 3A ")));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("setup");          // control command before connecting, or empty
        QTest::addColumn<bool>("console");           // a console listens at all
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("other login prompt: no password") << "lan prompt LOGIN:" << true << false;
        QTest::newRow("nobody listening") << "" << false << false;
        QTest::newRow("answer without line end") << "" << true << true;
    }
    void failures()
    {
        QFETCH(QString, setup);
        QFETCH(bool, console);
        QFETCH(bool, loggedIn);
        SimProcess sim;
        if (console) {
            QVERIFY2(kx9test::StartLanSim(sim, address), qPrintable(sim.errorString()));
            if (!setup.isEmpty())
                QCOMPARE(sim.control(setup), QStringLiteral("OK"));
        }
        MemoryLog log;
        TTelNetCont1Dlg link;
        QCOMPARE(link.TelnetOpen(&log, 1, address), loggedIn);
        const QString timeout = QStringLiteral("レスポンス待ち　タイムオーバー");
        if (!loggedIn) {
            // No password went out; the next step fails by time-out.
            QVERIFY(log.lines.filter(QRegularExpression(QStringLiteral("^TX:"))).isEmpty());
            const int before = log.count(timeout);
            QVERIFY(!LanModuleWake(link));
            QCOMPARE(log.count(timeout), before + 1);
            return;
        }
        QVERIFY(LanModuleWake(link));
        // A command the module never finishes: the wait ends after 2000 ms.
        QElapsedTimer t;
        t.start();
        QVERIFY(!link.TelnetCommand("bps", ">OK"));
        QVERIFY(t.elapsed() >= 1900);
        QCOMPARE(log.count(timeout), 1);
        QVERIFY(!link.TelnetReadValue());
        QCOMPARE(log.count(timeout), 2);
    }

    // The receive buffer holds 16000 bytes; what comes beyond is dropped.
    void receiveBufferIsBounded()
    {
        SimProcess sim;
        QVERIFY2(kx9test::StartLanSim(sim, address), qPrintable(sim.errorString()));
        MemoryLog log;
        TTelNetCont1Dlg link;
        QVERIFY(link.TelnetOpen(&log, 0, address));
        QVERIFY(LanModuleWake(link));
        link.TelnetClear();
        const QByteArray line = QByteArray(180, 'x') + "\r\n";   // echoed, then ">NG"
        for (int i = 0; i < 100; ++i)
            link.TelnetSend(line);
        QTRY_COMPARE_WITH_TIMEOUT(int(link.received().size()), TTelNetCont1Dlg::kBufferSize, 5000);
        QTest::qWait(200);
        QCOMPARE(int(link.received().size()), TTelNetCont1Dlg::kBufferSize);
        QVERIFY(link.received().startsWith(QByteArray(180, 'x') + "\r\n>NG\r\n"));
        QVERIFY(link.TelnetQuery("bps"));
        QCOMPARE(link.valueText(), QStringLiteral("16"));
    }

    // A real Telnet server: the negotiation (terminal type "dumb", options we
    // do not take refused) and our line ends as a server on a terminal sees them.
    void againstARealTelnetd()
    {
        const QString telnetd = QStringLiteral("/usr/sbin/telnetd");
        const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
        if (!QFile::exists(telnetd) || socat.isEmpty())
            QSKIP("needs inetutils-telnetd and socat");
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("console.sh"));
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // A console on the terminal telnetd gives it: counts the lines it reads.
        f.write("#!/bin/sh\n"
                "printf 'PASSWORD:'\n"
                "read pw\n"
                "n=0\n"
                "while read line; do\n"
                "  n=$((n+1))\n"
                "  case \"$line\" in\n"
                "    term) printf '>%s\\r\\n' \"$TERM\";;\n"
                "    count) printf '>%s\\r\\n' \"$n\";;\n"
                "    pw) printf '>%s\\r\\n' \"$pw\";;\n"
                "    *) printf '>OK\\r\\n';;\n"
                "  esac\n"
                "done\n");
        f.close();
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess server;
        server.start(socat, {QStringLiteral("TCP-LISTEN:23,bind=%1,reuseaddr,fork").arg(address),
                             QStringLiteral("EXEC:%1 -h -E %2").arg(telnetd, script)});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(address, 23);
                return probe.waitForConnected(200);
            }(),
            5000);

        MemoryLog log;
        {
            TTelNetCont1Dlg link;
            QVERIFY2(link.TelnetOpen(&log, 1, address), qPrintable(log.lines.join('\n')));
            QVERIFY(LanModuleWake(link));
            QVERIFY(link.TelnetQuery("term"));
            QCOMPARE(link.valueText(), QStringLiteral("dumb"));
            QVERIFY(link.TelnetQuery("pw"));
            QCOMPARE(link.valueText(), QStringLiteral("QZV"));
            // Three lines so far (the wake-up, "term", "pw"): each CR LF ended exactly one.
            QVERIFY(link.TelnetQuery("count"));
            QCOMPARE(link.valueText(), QStringLiteral("4"));
            QVERIFY(link.TelnetCommand("anything\r\n", ">OK"));
        }
        server.kill();
        server.waitForFinished();
        QVERIFY(!log.lines.contains(QStringLiteral("レスポンス待ち　タイムオーバー")));
    }

private:
    QString address;
};

QTEST_MAIN(TelnetLinkTest)
#include "telnet_link_test.moc"
