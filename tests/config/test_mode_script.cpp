// The modes, editors and switches as an operator script drives them: the real
// kx9monitor binary, offscreen, answering its real dialogs (reaching the items
// the menu profile hides with `trigger`), against kx9sim over loopback TCP.
#include "sim_process.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestModeScript : public QObject {
    Q_OBJECT
private slots:
    void scriptSetsModesAndSwitches();
};

void TestModeScript::scriptSetsModesAndSwitches()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    writeText(dir.filePath("kx9monitor.ini"), QByteArray("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=")
                                                  + QByteArray::number(port)
                                                  + "\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\n");
    SimProcess sim;
    QVERIFY2(sim.start({"--connect", QStringLiteral("127.0.0.1:%1").arg(port)}), qPrintable(sim.errorString()));
    QCOMPARE(sim.control("eeprom set area1 4 1234"), QString("OK"));
    QCOMPARE(sim.control("errrate 1 2"), QString("OK"));
    const QByteArray before = QByteArray::fromHex(sim.control("eeprom get area1").mid(3).toLatin1());
    QCOMPARE(before.size(), 40);

    writeText(dir.filePath("script.txt"),
              "dialog 接続\n"
              "menu TBtSetCmdMode\n"
              "wait 300\n"
              "trigger MnGetErrRate\n"
              "expect-log \"成功率: 0.333[1, 2]\"\n"
              "trigger MnSetMemSW\n"
              "expect-field IntEd=3412\n"
              "dialog cancel\n"
              "trigger MnModeSet3\n"
              "expect-field CBWriteEEPROM=1 RGTag1=0 RGModul=1\n"
              "dialog RGModul=0 設定\n"
              "trigger MnSetEEPROM2\n"
              "dialog IntEd1=2 IntEd2=3 IntEd3=11223344 ok\n"
              "trigger MnAntiFast\n"
              "wait 500\n"
              "menu TBtSetConf\n"
              "dialog ComboBox1=ポーリングモード EdPolTime=7 CBWriteEEPROM=1 ok\n"
              "wait 500\n"
              "save-log log.txt\n"
              "quit\n");
    QProcess monitor;
    monitor.setWorkingDirectory(dir.path());
    monitor.start(QStringLiteral(KX9_MONITOR_PATH),
                  {"--ini", dir.filePath("kx9monitor.ini"), "--script", dir.filePath("script.txt")});
    QVERIFY(monitor.waitForStarted(10000));
    const bool finished = monitor.waitForFinished(90000);
    if (!finished)
        monitor.kill();
    const QString out = QString::fromUtf8(monitor.readAllStandardOutput() + monitor.readAllStandardError());
    QVERIFY2(finished, qPrintable(out));
    QVERIFY2(monitor.exitCode() == 0, qPrintable(out));

    // 10%, FSK, ISO15693(1/4), stored.
    QCOMPARE(sim.control("get s6700"), QString("OK 44"));
    const QByteArray a1 = QByteArray::fromHex(sim.control("eeprom get area1").mid(3).toLatin1());
    QCOMPARE(int(uint8_t(a1[4])), 0x44);
    // The polling mode with its time, stored with the flags as read.
    QVERIFY2(sim.control("get mode").startsWith("OK 03 "), qPrintable(sim.control("get mode")));
    QCOMPARE(int(uint8_t(a1[9])), 0x03);
    QCOMPARE(int(uint8_t(a1[8])), int(uint8_t(before[8])));
    // "高速処理": byte 31 bit 2 clear, byte 38 bit 3 set, nothing else of either word.
    QCOMPARE(int(uint8_t(a1[31])), uint8_t(before[31]) & ~0x04);
    QCOMPARE(int(uint8_t(a1[38])), uint8_t(before[38]) | 0x08);
    QCOMPARE(a1[30], before[30]);
    QCOMPARE(a1[39], before[39]);
    // Count 3 used as 2: words 2-3, least significant byte first.
    QCOMPARE(sim.control("eeprom get area2 2 2"), QString("OK 44332211"));
    QVERIFY(readText(dir.filePath("log.txt")).contains(QStringLiteral("成功率: 0.333[1, 2]")));
}

QTEST_MAIN(TestModeScript)
#include "test_mode_script.moc"
