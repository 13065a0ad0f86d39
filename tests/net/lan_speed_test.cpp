// Connection setup over TCP/IP against kx9sim with its data port and LAN
// console on a loopback address of the test's own: the reader's speed change
// through the LAN module and the port check over the module's speeds.
#include "dialog_driver.h"
#include "net_fixture.h"
#include "net/lan_speed.h"
#include "net/net_actions.h"
#include "net/tcp_link_values.h"

#include <QTest>

using namespace kx9;
using kx9test::DialogDriver;

class LanSpeedTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        address = kx9test::OwnLoopbackAddress();
        const QString refusal = kx9test::ConsolePortRefusal(address);
        if (!refusal.isEmpty())
            QSKIP(qPrintable(refusal));
        driver = std::make_unique<DialogDriver>();
        driver->tolerate(QStringLiteral("WaitBox"));
    }
    void cleanup()
    {
        driver.reset();
        host.reset();
        sim.reset();
    }

    void changeSpeed_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("bps");
        QTest::newRow("9600") << 9600 << "bps=15";
        QTest::newRow("38400") << 38400 << "bps=17";
    }
    void changeSpeed()
    {
        QFETCH(int, target);
        QFETCH(QString, bps);
        start({});
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        const int from = host->all.size();
        QVERIFY(ChangeReaderSpeedOverLan(*host, target, readerSide(target)));
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        const QStringList lines = host->linesSince(from);
        QVERIFY(lines.contains(QStringLiteral("Set 通信スピード(RS232C)　OK!!")));
        QVERIFY(lines.contains(QStringLiteral("SAVE　OK!!")));
        QCOMPARE(lines.last(), QStringLiteral("Change R/W Speed "));
        QCOMPARE(sim->control("get speed"), QStringLiteral("OK %1").arg(target));
        QCOMPARE(sim->control("get lan").section(' ', 7, 7), bps);
        QVERIFY(host->module->Connected());
        QVERIFY(host->probe());
    }

    // The dialog comes before anything is changed: a cancel leaves reader and module alike.
    void cancelChangesNothing()
    {
        start({});
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("キャンセル"));
        bool readerTouched = false;
        QVERIFY(!ChangeReaderSpeedOverLan(*host, 9600, [&] { return readerTouched = true; }));
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        QVERIFY(!readerTouched);
        QCOMPARE(sim->control("get speed"), QStringLiteral("OK 19200"));
        QCOMPARE(sim->control("get lan").section(' ', 7, 7), QStringLiteral("bps=16"));
        QVERIFY(host->probe());
    }

    // A module that refuses the speed: the operator reads what state each is left in.
    void refusedByTheModule()
    {
        start({});
        QCOMPARE(sim->control("lan ng bps="), QStringLiteral("OK"));
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        const int from = host->all.size();
        QVERIFY(!ChangeReaderSpeedOverLan(*host, 9600, readerSide(9600)));
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        const QStringList lines = host->linesSince(from);
        QVERIFY(lines.contains(QStringLiteral("Set 通信スピード(RS232C)　NG!!")));
        QVERIFY(!lines.contains(QStringLiteral("Change R/W Speed ")));
        const QStringList state = lines.filter(QStringLiteral("LANモジュールの通信スピードを9600bpsに設定できませんでした"));
        QCOMPARE(state.size(), 1);
        QVERIFY(state.first().contains(QStringLiteral("R/Wの通信スピードは9600bpsに変更されました")));
        QCOMPARE(sim->control("get speed"), QStringLiteral("OK 9600"));
        QCOMPARE(sim->control("get lan").section(' ', 7, 7), QStringLiteral("bps=16"));
    }

    void checkPorts_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("result");
        QTest::addColumn<QString>("bps");
        QTest::addColumn<int>("sets");       // "Set ..." lines: the module's speed changed that often
        QTest::addColumn<int>("attempts");
        QTest::newRow("19200 first, as it was") << QStringList{} << QString()
                                                << QStringList{"Find KX9 R/W ", "Speed:19.2kbps"} << "bps=16" << 0 << 1;
        QTest::newRow("9600 second") << QStringList{"--baud", "9600"} << QString()
                                     << QStringList{"Find KX9 R/W ", "Speed:9600bps"} << "bps=15" << 1 << 2;
        QTest::newRow("38400 last") << QStringList{"--baud", "38400"} << QString()
                                    << QStringList{"Find KX9 R/W ", "Speed:38.4kbps"} << "bps=17" << 2 << 3;
        QTest::newRow("nobody answers") << QStringList{} << "fault drop 10" << QStringList{"Not Find KX9 R/W "}
                                        << "bps=17" << 2 << 3;
    }
    void checkPorts()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QString, fault);
        QFETCH(QStringList, result);
        QFETCH(QString, bps);
        QFETCH(int, sets);
        QFETCH(int, attempts);
        start(simArgs);
        if (!fault.isEmpty())
            QCOMPARE(sim->control(fault), QStringLiteral("OK"));
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        const int from = host->all.size();
        QCOMPARE(CheckPortsOverLan(*host), result.size() == 2);
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        const QStringList lines = host->linesSince(from);
        // After the dialog's reconnect: the two heading lines, then the attempts.
        const int head = int(lines.indexOf(QStringLiteral("------- Check KX9 R/W ---------- ")));
        QVERIFY2(head >= 0, qPrintable(lines.join('\n')));
        QCOMPARE(lines.value(head + 1), QStringLiteral("------- しばらくお待ちください ---------- "));
        // One Telnet session per speed tried, each reading the module's speed first.
        QCOMPARE(int(lines.mid(head).filter(QStringLiteral("Get 通信スピード(RS232C)　OK!!")).size()), attempts);
        QCOMPARE(lines.mid(lines.size() - result.size()), result);
        QCOMPARE(int(lines.count(QStringLiteral("Set 通信スピード(RS232C)　OK!!"))), sets);
        QCOMPARE(sim->control("get lan").section(' ', 7, 7), bps);
        if (result.size() == 2)
            QVERIFY(host->probe());
    }

    // "LAN接続の設定..." from the menu: Cancel in the connection wait ends the tool.
    void menuDialogCancelInTheWaitEndsTheTool()
    {
        start({});
        AttachNetActions(*host);
        driver->expect(QStringLiteral("TSetTCPIPDlg")).then([&](QWidget *) { sim->stop(); }).press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("WaitBox")).within(15000).pressCancel();
        host->findAction(QStringLiteral("MnSetTCPIP1"))->trigger();
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        QVERIFY(host->all.contains(QStringLiteral("コネクト待ち　タイムオーバー")));
        QVERIFY(!host->window.isVisible());
    }

    // "LAN接続の設定..." from the menu with another reader's address and port:
    // the data connection moves there.
    void menuDialogMovesTheConnection()
    {
        start({});
        const QString other = kx9test::OwnLoopbackAddress();
        SimProcess second;
        QVERIFY2(second.start({"--bind", other, "--listen", "0", "--rom", "130 second reader"}),
                 qPrintable(second.errorString()));
        AttachNetActions(*host);
        const QStringList parts = other.split(QLatin1Char('.'));
        auto &dlg = driver->expect(QStringLiteral("TSetTCPIPDlg")).expectShown(QStringLiteral("RadioGroup1"), QStringLiteral("0"));
        for (int i = 0; i < 4; ++i)
            dlg.setText(QStringLiteral("EdTCPIP1_%1").arg(i + 1), parts[i]);
        dlg.setText(QStringLiteral("EdTCPServPort"), QString::number(second.listenPort())).press(QStringLiteral("設定"));
        host->findAction(QStringLiteral("MnSetTCPIP1"))->trigger();
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        QVERIFY(host->module->Connected());
        QVERIFY(host->probe());
        QVERIFY(host->module->RomVersionText.startsWith(QStringLiteral("130")));
    }

private:
    void start(const QStringList &simArgs)
    {
        sim = std::make_unique<SimProcess>();
        QVERIFY2(kx9test::StartLanSim(*sim, address, simArgs), qPrintable(sim->errorString()));
        host = std::make_unique<kx9test::NetHost>(address, sim->listenPort());
        QVERIFY(host->module->Connected());
    }

    // The reader's side of the speed change, written with the command module:
    // the speed bits of the stored mode flags, a restart and a reopen.
    std::function<bool()> readerSide(int target)
    {
        return [this, target] {
            TTComXDlg *m = host->module.get();
            uint8_t mode = 0, mode2 = 0, flags = 0;
            if (!m->DousaModeSet_O(mode, mode2, flags))
                return false;
            flags = uint8_t((flags & 0x3F) | (target == 38400 ? 0x80 : target == 9600 ? 0x40 : 0x00));
            m->DousaModeSet_N(true, mode, mode2, flags, host->options.PolingTime);
            if (!m->WaitAck())
                return false;
            QTest::qWait(100);
            m->RESTART_CMD();
            QTest::qWait(200);
            m->LinkReopen();
            return true;
        };
    }

    QString address;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<kx9test::NetHost> host;
    std::unique_ptr<DialogDriver> driver;
};

QTEST_MAIN(LanSpeedTest)
#include "lan_speed_test.moc"
