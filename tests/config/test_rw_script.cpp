// The "設定" dialogs and a hidden peripheral item as an operator script drives
// them: the real main window started for real (start-up dialog, TCP server,
// kx9sim connecting to it), the real script runner answering the real
// dialogs, with this folder's actions attached as the main window attaches them.
#include "app/main_window.h"
#include "config/settings_actions.h"
#include "rw_fixture.h"
#include "script/script_parser.h"
#include "script/script_runner.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using kx9test::Hex;

class TestRwScript : public QObject {
    Q_OBJECT
private slots:
    void scriptSetsParametersRelayAndEnvironment();
};

void TestRwScript::scriptSetsParametersRelayAndEnvironment()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QString ini = dir.filePath(QStringLiteral("kx9monitor.ini"));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=" + QByteArray::number(port)
                + "\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\nfUseInOutFormat=1\r\n");
    }
    SimProcess sim;
    QVERIFY2(sim.start({"--connect", QStringLiteral("127.0.0.1:%1").arg(port)}), qPrintable(sim.errorString()));

    const QString text = QStringLiteral("dialog 接続\n"
                                        "menu TBtSetCmdMode\n"
                                        "wait 300\n"
                                        "menu MnSetPara3\n"
                                        "expect-field EdRetryNum=1 CBSelTag1=0\n"
                                        "dialog EdRetryNum=7 EdAFI=2A OK\n"
                                        "expect-log \"SET EEPROM : OK\"\n"
                                        "trigger MnSelRy\n"
                                        "expect-field RadioGroup1=7\n"
                                        "dialog RadioGroup1=2 設定\n"
                                        "menu MnConfig1\n"
                                        "dialog CBUseInOutFormat=0 OK\n"
                                        "wait 300\n"
                                        "quit\n");
    kx9::ScriptParseError error;
    auto program = kx9::ParseScript(text, &error);
    QVERIFY2(program, qPrintable(error.message));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    kx9::ScriptRunner runner(std::move(*program), out, err);
    runner.beginStartup();
    auto window = std::make_unique<kx9::TKX9AppForm>(ini);
    kx9::AttachSettingsActions(*window);
    connect(window.get(), &kx9::TKX9AppForm::startUpFinished, &runner, [&](bool running) {
        if (running)
            runner.run(window.get());
        else
            runner.windowClosed();
    });
    window->show();
    QVERIFY2(QTest::qWaitFor([&] { return runner.finished(); }, 60000), qPrintable(errText));
    QVERIFY2(runner.exitCode() == 0, qPrintable(errText + outText));

    const QByteArray a1 = QByteArray::fromHex(sim.control(QStringLiteral("get area1")).mid(3).toLatin1());
    QCOMPARE(a1.size(), 40);
    QCOMPARE(int(uint8_t(a1[22])), 7);
    QCOMPARE(int(uint8_t(a1[5])), 0x2A);
    QVERIFY(sim.receivedFrames().contains(Hex("02 00 4E 03 9F 07 02 03 FE 0D")));
    QCOMPARE(window->appOptions().fUseInOutFormat, 0);
}

QTEST_MAIN(TestRwScript)
#include "test_rw_script.moc"
