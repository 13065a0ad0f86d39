// The main window behind a LAN module: kx9sim's data port and its Telnet
// console on port 23 of a loopback address of the test's own. The speed
// items, the port check and the network board settings are picked from the
// menu as an operator would.
#include "commands/ttcomxdlg.h"
#include "e2e_fixture.h"

#include <QTest>

using e2e::Monitor;

class E2eLan : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { monitor.reset(); }

    // The reader's stored speed and the module's line speed move together,
    // and the data connection answers at the new speed.
    void speedItemsChangeReaderAndModule_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("bps");
        QTest::addColumn<QString>("moduleBps");
        QTest::newRow("9600") << "Mn9600bps" << 9600 << "bps=15";
        QTest::newRow("38400") << "Mn384kbps" << 38400 << "bps=17";
    }
    void speedItemsChangeReaderAndModule()
    {
        QFETCH(QString, item);
        QFETCH(int, bps);
        QFETCH(QString, moduleBps);
        start({});
        monitor->driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        monitor->item(item)->trigger();
        QVERIFY2(monitor->driver.ok(), qPrintable(monitor->driver.report()));
        QVERIFY2(monitor->log().contains(QStringLiteral("Change R/W Speed ")), qPrintable(monitor->log().join('\n')));
        QCOMPARE(monitor->sim.control("get speed"), QStringLiteral("OK %1").arg(bps));
        QCOMPARE(monitor->sim.control("get lan").section(' ', 7, 7), moduleBps);
        QVERIFY(answers());
    }

    // A reader at 38400 behind a module at 19200: the check
    // tries the module's speeds and finds it at the last one.
    void portCheckFindsTheReadersSpeed()
    {
        start({"--baud", "38400"});
        monitor->driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        monitor->item(QStringLiteral("MnChkPort"))->trigger();
        QVERIFY2(monitor->driver.ok(), qPrintable(monitor->driver.report()));
        const QStringList log = monitor->log();
        QVERIFY2(log.mid(log.size() - 2) == (QStringList{"Find KX9 R/W ", "Speed:38.4kbps"}), qPrintable(log.join('\n')));
        QCOMPARE(monitor->sim.control("get lan").section(' ', 7, 7), QStringLiteral("bps=17"));
        QVERIFY(answers());
    }

    // "ネットワークボードの設定値...": the dialog shows what the module holds, a
    // changed box is written and saved, and the data connection comes back.
    void networkBoardFromTheMenu()
    {
        start({});
        QCOMPARE(monitor->sim.control("lan set l_pt=10777 mask=24"), QStringLiteral("OK"));
        monitor->driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        monitor->driver.expect(QStringLiteral("TParaSet1Dlg"))
            .expectShown(QStringLiteral("EdPort1"), QStringLiteral("10777"))
            .expectShown(QStringLiteral("Edmask"), QStringLiteral("24"))
            .setText(QStringLiteral("Edmask"), QStringLiteral("16"))
            .press(QStringLiteral("設定"));
        monitor->item(QStringLiteral("MnTelnet1"))->trigger();
        QVERIFY2(monitor->driver.ok(), qPrintable(monitor->driver.report()));
        QVERIFY2(monitor->log().contains(QStringLiteral("------------- 設定　OK! -----------------")),
                 qPrintable(monitor->log().join('\n')));
        QCOMPARE(monitor->sim.control("get lan").section(QLatin1Char(' '), 5, 5), QStringLiteral("mask=16"));
        QCOMPARE(monitor->sim.control("lan saves"), QStringLiteral("OK 1"));
        QVERIFY(answers());
    }

private:
    void start(const QStringList &simArgs)
    {
        monitor = std::make_unique<Monitor>(simArgs, QString(), Monitor::Link::Lan);
        if (!monitor->skipped.isEmpty())
            QSKIP(qPrintable(monitor->skipped));
        QVERIFY2(monitor->ok, qPrintable(monitor->error));
        monitor->driver.tolerate(QStringLiteral("WaitBox"));
    }
    // The data connection is up and the reader behind it answers.
    bool answers()
    {
        kx9::TTComXDlg *c = monitor->window->comm();
        if (!c || !QTest::qWaitFor([c] { return c->Connected(); }, 5000))
            return false;
        c->RomVersionQuery();
        return c->WaitAck();
    }

    std::unique_ptr<Monitor> monitor;
};

QTEST_MAIN(E2eLan)
#include "test_e2e_lan.moc"
