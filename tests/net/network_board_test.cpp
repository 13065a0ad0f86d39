// The network board settings and the LAN module speed operation, end to end:
// the real communication module connected to kx9sim's data port and the
// monitor's Telnet link to the simulator's LAN console, both on a loopback
// address of the test's own; the dialogs driven as an operator would.
#include "dialog_driver.h"
#include "net_fixture.h"
#include "net/lan_module.h"
#include "net/net_actions.h"
#include "net/network_board_dialog.h"

#include <QMessageBox>
#include <QTest>

using namespace kx9;
using kx9test::DialogDriver;

namespace {

const QString kSetOk = QStringLiteral("------------- 設定　OK! -----------------");
const QString kSetNg = QStringLiteral("///////////// 設定　NG! /////////////////");

// The lines the console received after the password, as the simulator logged them.
QStringList consoleLines(const SimProcess &sim)
{
    QByteArray in;
    for (const QByteArray &line : sim.frameLog().split('\n')) {
        const int at = line.indexOf("TELNET RX ");
        if (at >= 0)
            in += QByteArray::fromHex(line.mid(at + 10).replace(' ', ""));
    }
    QStringList lines = QString::fromLatin1(in).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The settings lines (key=value and save) among them.
QStringList writes(const SimProcess &sim)
{
    QStringList out;
    for (const QString &l : consoleLines(sim)) {
        if (l.contains(QLatin1Char('=')) || l == QLatin1String("save"))
            out << l;
    }
    return out;
}

const QStringList kReads = {"MACアドレス　OK!!", "IPアドレス　OK!!",     "Port値　OK!!",   "IPアドレス(接続先)　OK!!",
                            "Port値(接続先)　OK!!", "マスク長　OK!!", "自動接続　OK!!", "通信スピード(RS232C)　OK!!",
                            "送信タイミング　OK!!", "Keep　OK!!",     "timr　OK!!"};

} // namespace

class NetworkBoardTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        address = kx9test::OwnLoopbackAddress();
        const QString refusal = kx9test::ConsolePortRefusal(address);
        if (!refusal.isEmpty())
            QSKIP(qPrintable(refusal));
        sim = std::make_unique<SimProcess>();
        QVERIFY2(kx9test::StartLanSim(*sim, address), qPrintable(sim->errorString()));
        QCOMPARE(sim->control("lan set madr=0a-1b-2c-3d-4e-5f l_ip=127.0.0.9 l_pt=10777 f_ip=127.0.0.10 f_pt=3335 "
                              "mask=24 conn=0 bps=16 timv=20 keep=1 timr=5"),
                 QStringLiteral("OK"));
        host = std::make_unique<kx9test::NetHost>(address, sim->listenPort());
        QVERIFY(host->module->Connected());
        driver = std::make_unique<DialogDriver>();
        driver->tolerate(QStringLiteral("WaitBox"));
    }
    void cleanup()
    {
        driver.reset();
        host.reset();
        sim.reset();
    }

    // Every setting read into its box, edited, written back in order and saved.
    void readEditWrite()
    {
        AttachNetActions(*host);
        bool roleFixed = false;
        driver->expect(QStringLiteral("TSetTCPIPDlg"))
            .then([&](QWidget *d) { roleFixed = !d->findChild<QWidget *>(QStringLiteral("RadioGroup1"))->isEnabled(); })
            .expectShown(QStringLiteral("EdTCPIP1_1"), QStringLiteral("127"))
            .press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("TParaSet1Dlg"))
            .expectShown(QStringLiteral("EdMacAdr01"), QStringLiteral("0A"))
            .expectShown(QStringLiteral("EdMacAdr3"), QStringLiteral("5F"))
            .expectShown(QStringLiteral("EdTCPIP1_4"), QStringLiteral("9"))
            .expectShown(QStringLiteral("EdPort1"), QStringLiteral("10777"))
            .expectShown(QStringLiteral("EdTCPIP2_4"), QStringLiteral("10"))
            .expectShown(QStringLiteral("EdPort2"), QStringLiteral("3335"))
            .expectShown(QStringLiteral("Edmask"), QStringLiteral("24"))
            .expectShown(QStringLiteral("CBAutoConnect"), QStringLiteral("0"))
            .expectShown(QStringLiteral("ComboBox1"), QStringLiteral("19.2kbps [1]"))
            .expectShown(QStringLiteral("EdTxTiming"), QStringLiteral("20"))
            .expectShown(QStringLiteral("RGKeep"), QStringLiteral("1"))
            .expectShown(QStringLiteral("EdChkTimer"), QStringLiteral("5"))
            .setText(QStringLiteral("EdPort1"), QStringLiteral("4001"))
            .setText(QStringLiteral("EdTxTiming"), QStringLiteral("30"))
            .setIndex(QStringLiteral("RGKeep"), 0)
            .press(QStringLiteral("設定"));
        const int from = host->all.size();
        host->findAction(QStringLiteral("MnTelnet1"))->trigger();
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        QVERIFY(roleFixed);

        const QStringList lines = host->linesSince(from);
        QStringList results = lines.filter(QRegularExpression(QStringLiteral("　(OK|NG)!!$")));
        QCOMPARE(results.mid(0, kReads.size()), kReads);
        // Auto connect is not ticked: nothing is sent for it.
        QCOMPARE(results.mid(kReads.size()),
                 (QStringList{"IPアドレス　OK!!", "Port値　OK!!", "IPアドレス(接続先)　OK!!", "Port値(接続先)　OK!!",
                              "マスク長　OK!!", "通信スピード(RS232C)　OK!!", "送信タイミング　OK!!", "Keep　OK!!",
                              "timr　OK!!", "SAVE　OK!!"}));
        QVERIFY(lines.contains(kSetOk));
        QCOMPARE(writes(*sim), (QStringList{"l_ip=127.0.0.9", "l_pt=4001", "f_ip=127.0.0.10", "f_pt=3335", "mask=24",
                                            "bps=16", "timv=30", "keep=0", "timr=5", "save"}));
        QCOMPARE(consoleLines(*sim).mid(0, 3), (QStringList{"QZV", "", "madr"}));
        QCOMPARE(sim->control("get lan"), QStringLiteral("OK l_ip=127.0.0.9 l_pt=4001 f_ip=127.0.0.10 f_pt=3335 mask=24 "
                                                         "conn=0 bps=16 timv=30 keep=0 timr=5"));
        QCOMPARE(sim->control("lan saves"), QStringLiteral("OK 1"));
        // The console is closed and the data connection is back.
        QTRY_COMPARE(sim->control("lan sessions"), QStringLiteral("OK 0"));
        QVERIFY(host->module->Connected());
        QVERIFY(host->probe());
    }

    // Ticking auto connect sends conn=1 between mask= and bps=.
    void autoConnectTicked()
    {
        LanModuleSettings kept;
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("TParaSet1Dlg")).setChecked(QStringLiteral("CBAutoConnect"), true).press(QStringLiteral("設定"));
        NetworkBoardSettings(*host, kept);
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        QCOMPARE(writes(*sim).mid(4, 3), (QStringList{"mask=24", "conn=1", "bps=16"}));
        QVERIFY(kept.autoConnect);
        QCOMPARE(kept.ownPort, 10777);
    }

    void failedWriteStopsTheSequence()
    {
        QCOMPARE(sim->control("lan ng l_pt="), QStringLiteral("OK"));
        LanModuleSettings kept;
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("TParaSet1Dlg")).press(QStringLiteral("設定"));
        const int from = host->all.size();
        NetworkBoardSettings(*host, kept);
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        const QStringList lines = host->linesSince(from);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("!!$"))).mid(kReads.size()),
                 (QStringList{"IPアドレス　OK!!", "Port値　NG!!"}));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("設定　"))), QStringList{kSetNg});
        QCOMPARE(writes(*sim), (QStringList{"l_ip=127.0.0.9", "l_pt=10777"}));
        QCOMPARE(sim->control("lan saves"), QStringLiteral("OK 0"));
        QVERIFY(host->module->Connected());
    }

    // A setting that cannot be read stops the reads; before anything is
    // written the operator is told which settings were not read and chooses.
    void failedReadAsksFirst_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("failedRead");
        QTest::addColumn<int>("choice");            // QMessageBox button, or Cancel then the dialog's Cancel
        QTest::addColumn<QStringList>("written");
        const QStringList unreadFrom = {"IPアドレス(接続先)", "Port値(接続先)", "マスク長", "自動接続",
                                        "通信スピード(RS232C)", "送信タイミング", "Keep", "timr"};
        QTest::newRow("NG: write all and save") << "lan ng f_ip" << "IPアドレス(接続先)　NG!!" << int(QMessageBox::Yes)
                                                 << QStringList{"l_ip=127.0.0.9", "l_pt=10777", "f_ip=0.0.0.0", "f_pt=0",
                                                                "mask=24", "conn=1", "bps=16", "timv=0", "keep=0",
                                                                "timr=0", "save"};
        QTest::newRow("NG: only what was read") << "lan ng f_ip" << "IPアドレス(接続先)　NG!!" << int(QMessageBox::No)
                                                 << QStringList{"l_ip=127.0.0.9", "l_pt=10777", "save"};
        QTest::newRow("NG: back, then cancel") << "lan ng f_ip" << "IPアドレス(接続先)　NG!!"
                                                << int(QMessageBox::Cancel) << QStringList{};
        QTest::newRow("no number") << "lan answer mask 24bit" << "マスク長　NG!!" << int(QMessageBox::No)
                                   << QStringList{"l_ip=127.0.0.9", "l_pt=10777", "f_ip=127.0.0.10", "f_pt=3335", "save"};
        // conn was read as 0: auto connect is not ticked and nothing goes out for it.
        QTest::newRow("number the box cannot show") << "lan answer keep 2" << "Keep　NG!!" << int(QMessageBox::No)
                                                    << QStringList{"l_ip=127.0.0.9", "l_pt=10777", "f_ip=127.0.0.10",
                                                                   "f_pt=3335", "mask=24", "bps=16", "timv=20", "save"};
        // Nothing writable was read: the choice is all or nothing.
        QTest::newRow("address that does not parse")
            << "lan answer l_ip 127.0.0" << "IPアドレス　NG!!" << int(QMessageBox::Yes)
            << QStringList{"l_ip=0.0.0.0", "l_pt=0", "f_ip=0.0.0.0", "f_pt=0", "mask=24", "conn=1", "bps=16",
                           "timv=0", "keep=0", "timr=0", "save"};
    }
    void failedReadAsksFirst()
    {
        QFETCH(QString, fault);
        QFETCH(QString, failedRead);
        QFETCH(int, choice);
        QFETCH(QStringList, written);
        QCOMPARE(sim->control(fault), QStringLiteral("OK"));
        LanModuleSettings kept;
        QString question;
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("TParaSet1Dlg")).press(QStringLiteral("設定"));
        driver->expectMessage(QStringLiteral("読み込めませんでした"))
            .then([&](QWidget *box) { question = static_cast<QMessageBox *>(box)->text(); })
            .pressStandard(QDialogButtonBox::StandardButton(choice));
        if (choice == QMessageBox::Cancel)
            driver->expect(QStringLiteral("TParaSet1Dlg")).again().press(QStringLiteral("キャンセル"));
        const int from = host->all.size();
        NetworkBoardSettings(*host, kept);
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        const QStringList results = host->linesSince(from).filter(QRegularExpression(QStringLiteral("!!$")));
        const int failed = int(results.indexOf(failedRead));
        QVERIFY2(failed >= 0, qPrintable(results.join('\n')));
        QCOMPARE(results.mid(0, failed), kReads.mid(0, failed));
        // The question names every setting not read, and only those.
        const QString name = failedRead.section(QStringLiteral("　"), 0, 0);
        QVERIFY2(question.contains(QStringLiteral("  ") + name + QLatin1Char('\n')), qPrintable(question));
        QVERIFY(question.contains(QStringLiteral("  timr\n")));
        if (failed > 1)
            QVERIFY(!question.contains(QStringLiteral("  Port値\n")));
        QCOMPARE(question.contains(QStringLiteral("「いいえ」")), failed > 1);
        QCOMPARE(writes(*sim), written);
        QCOMPARE(sim->control("lan saves"), written.isEmpty() ? QStringLiteral("OK 0") : QStringLiteral("OK 1"));
        QVERIFY(host->module->Connected());
    }

    // The module hangs up while the dialog is open: nothing is written.
    void droppedConsole()
    {
        LanModuleSettings kept;
        driver->expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("TParaSet1Dlg"))
            .then([&](QWidget *) {
                QCOMPARE(sim->control("lan drop"), QStringLiteral("OK 1"));
                QTRY_VERIFY(host->all.contains(QStringLiteral("Telnet Disconnect")));
            })
            .press(QStringLiteral("設定"));
        const int from = host->all.size();
        NetworkBoardSettings(*host, kept);
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        const QStringList lines = host->linesSince(from);
        const int dropped = int(lines.indexOf(QStringLiteral("接続が切断されました")));
        QVERIFY2(dropped > 0, qPrintable(lines.join('\n')));
        QCOMPARE(lines.value(dropped + 1), kSetNg);
        QVERIFY(writes(*sim).isEmpty());
        QVERIFY(host->module->Connected());
    }

    // The check-mode dialog names another module: that module is configured,
    // not the one of the options.
    void configuresTheConfirmedModule()
    {
        const QString other = kx9test::OwnLoopbackAddress();
        SimProcess second;
        QVERIFY2(kx9test::StartLanSim(second, other), qPrintable(second.errorString()));
        QCOMPARE(second.control("lan set madr=00-11-22-33-44-55"), QStringLiteral("OK"));
        const QStringList parts = other.split(QLatin1Char('.'));
        LanModuleSettings kept;
        auto &dlg = driver->expect(QStringLiteral("TSetTCPIPDlg"));
        for (int i = 0; i < 4; ++i)
            dlg.setText(QStringLiteral("EdTCPIP1_%1").arg(i + 1), parts[i]);
        dlg.setText(QStringLiteral("EdTCPServPort"), QString::number(second.listenPort())).press(QStringLiteral("設定"));
        driver->expect(QStringLiteral("TParaSet1Dlg"))
            .expectShown(QStringLiteral("EdMacAdr3"), QStringLiteral("55"))
            .press(QStringLiteral("キャンセル"));
        NetworkBoardSettings(*host, kept);
        QVERIFY2(driver->ok(), qPrintable(driver->report()));
        QVERIFY(consoleLines(*sim).isEmpty());
        QCOMPARE(consoleLines(second).mid(0, 3), (QStringList{"QZV", "", "madr"}));
    }

    // LanModuleSetSpeed: what it reads, sends and logs.
    void setSpeed_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<int>("bps");
        QTest::newRow("already right") << "" << 1 << true << QStringList{"Get 通信スピード(RS232C)　OK!!"}
                                       << QStringList{} << 16;
        QTest::newRow("changed and saved")
            << "" << 2 << true
            << QStringList{"Get 通信スピード(RS232C)　OK!!", "Set 通信スピード(RS232C)　OK!!", "SAVE　OK!!"}
            << QStringList{"bps=17", "save"} << 17;
        QTest::newRow("query answered NG") << "lan ng bps" << 0 << false
                                           << QStringList{"Get 通信スピード(RS232C)　NG!!"} << QStringList{} << 16;
        QTest::newRow("setting refused") << "lan ng bps=" << 0 << false
                                         << QStringList{"Get 通信スピード(RS232C)　OK!!", "Set 通信スピード(RS232C)　NG!!"}
                                         << QStringList{"bps=15"} << 16;
        QTest::newRow("save refused")
            << "lan ng save" << 0 << false
            << QStringList{"Get 通信スピード(RS232C)　OK!!", "Set 通信スピード(RS232C)　OK!!", "SAVE　NG!!"}
            << QStringList{"bps=15", "save"} << 15;
    }
    void setSpeed()
    {
        QFETCH(QString, fault);
        QFETCH(int, code);
        QFETCH(bool, result);
        QFETCH(QStringList, logged);
        QFETCH(QStringList, written);
        QFETCH(int, bps);
        if (!fault.isEmpty())
            QCOMPARE(sim->control(fault), QStringLiteral("OK"));
        QStringList app;
        kx9test::MemoryLog pane;
        QCOMPARE(LanModuleSetSpeed(&pane, 1, address, code, [&](const QString &l) { app << l; }), result);
        QCOMPARE(app, logged);
        QCOMPARE(writes(*sim), written);
        QCOMPARE(sim->control("get lan").section(' ', 7, 7), QStringLiteral("bps=%1").arg(bps));
        // The link of its own is gone again.
        QTRY_COMPARE(sim->control("lan sessions"), QStringLiteral("OK 0"));
        QCOMPARE(pane.lines.last(), QStringLiteral("Telnet Disconnect"));
    }

private:
    QString address;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<kx9test::NetHost> host;
    std::unique_ptr<DialogDriver> driver;
};

QTEST_MAIN(NetworkBoardTest)
#include "network_board_test.moc"
