// Operator scripts run as a user would run them: the real kx9monitor binary,
// offscreen, answering its real dialogs, against kx9sim over loopback TCP.
#include "sim_process.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct MonitorRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class TestScriptE2E : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    quint16 port_ = 0;
    SimProcess sim_;

    QString path(const QString &name) const { return dir_.filePath(name); }

    MonitorRun runScript(const QByteArray &script, int timeoutMs = 60000, const QString &ini = QStringLiteral("kx9monitor.ini"))
    {
        writeText(path("script.txt"), script);
        QProcess monitor;
        monitor.setWorkingDirectory(dir_.path());
        monitor.start(QStringLiteral(KX9_MONITOR_PATH), {"--ini", path(ini), "--script", path("script.txt")});
        MonitorRun run;
        if (!monitor.waitForStarted(10000)) {
            run.err = QStringLiteral("cannot start kx9monitor: ") + monitor.errorString();
            return run;
        }
        run.finished = monitor.waitForFinished(timeoutMs);
        if (!run.finished)
            monitor.kill();
        monitor.waitForFinished(2000);
        run.exitCode = monitor.exitCode();
        run.out = QString::fromUtf8(monitor.readAllStandardOutput());
        run.err = QString::fromUtf8(monitor.readAllStandardError());
        return run;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        port_ = freeLoopbackPort();
        QVERIFY(port_ != 0);
        // The monitor listens (TCP server mode) and the simulated reader connects to it.
        writeText(path("kx9monitor.ini"), QByteArray("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=")
                                               + QByteArray::number(port_)
                                               + "\r\nTCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\n");
        writeText(path("tags.txt"), "E007000012345601 blocks=64 bs=4\n");
        QVERIFY2(sim_.start({"--connect", QStringLiteral("127.0.0.1:%1").arg(port_), "--tags", path("tags.txt")}),
                 qPrintable(sim_.errorString()));
    }

    void writesAndReadsABlock()
    {
        const MonitorRun run = runScript(
            "# start-up: the LAN connection dialog\n"
            "dialog 接続\n"
            "menu TBtSetCmdMode\n"
            "wait 300\n"
            "menu MnWriteSingleBlock\n"
            "dialog IntEd1=3 EdString=AB ok\n"
            "expect-log \"ISO15693_WriteSingleBlock受信\"\n"
            "menu MnReadSingleBlock\n"
            "dialog IntEd=3 ok\n"
            "expect-log \"data(Hex): 41 42 00 00\"\n"
            "# auto-scan: the reader reports by itself and the grid lists what it read\n"
            "menu TBtSetATRMD\n"
            "wait 1500\n"
            "save-log log.txt\n"
            "save-grid grid.tsv\n"
            "quit\n");
        QVERIFY2(run.finished, qPrintable("the script did not end: " + run.err));
        QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out));

        const QStringList log = readText(path("log.txt")).split(u'\n');
        QVERIFY(log.contains(QStringLiteral("ISO15693_WriteSingleBlock受信")));
        QVERIFY(log.contains(QStringLiteral("ISO15693_ReadSingleBlock受信")));
        QVERIFY(log.contains(QStringLiteral("data(Hex): 41 42 00 00 ")));
        // The write went out as a real frame: block 3, the two letters zero-padded to the block size.
        QVERIFY2(readText(path("log.txt")).contains(QStringLiteral("21 03 41 42 00 00")), qPrintable(readText(path("log.txt"))));

        const QStringList grid = readText(path("grid.tsv")).split(u'\n');
        QCOMPARE(grid.value(0), QStringLiteral("No.\tデータ数\t受信データ\tＵＩＤ\t入／出"));
        QVERIFY2(grid.value(1).startsWith(QStringLiteral("1\t")), qPrintable(grid.join(u'|')));
        // The options were saved on the way out, the normal way.
        QVERIFY(readText(path("kx9monitor.ini")).contains(QStringLiteral("[ComDebug]")));
    }

    // The reader's stored parameters (an item the menu profile hides): the reduced dialog is
    // filled and written, and shows the written value when opened again.
    void writesTheParameterRecord()
    {
        const MonitorRun run = runScript("dialog 接続\n"
                                         "menu TBtSetCmdMode\n"
                                         "wait 300\n"
                                         "trigger MnSetEEPROM\n"
                                         "dialog EdRetry=9 BtOK\n"
                                         "trigger MnSetEEPROM\n"
                                         "expect-field EdRetry=9\n"
                                         "dump rom.txt\n"
                                         "dialog cancel\n"
                                         "quit\n");
        QVERIFY2(run.finished, qPrintable("the script did not end: " + run.err));
        QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out));
        QVERIFY2(readText(path("rom.txt")).contains(QStringLiteral("EdRetry")), qPrintable(readText(path("rom.txt"))));
    }

    // A count dialog stays open while it polls the gate: "保存(&S)" pressed
    // three times appends three lines to the count log, then it is closed.
    void countDialogSavesWhileOpen()
    {
        const quint16 port = freeLoopbackPort();
        const QString log = path("W20LogFile.csv");
        writeText(path("gate.ini"), QStringLiteral("[Option]\r\nUseUSB=2\r\nfTCPServer=1\r\nTCPPort=%1\r\n"
                                                   "TCPServAddr=127.0.0.1\r\nfUseGrobalIP=1\r\nfGateCmd=1\r\nW20LogFile=%2\r\n")
                                        .arg(port)
                                        .arg(log)
                                        .toLocal8Bit());
        SimProcess gate;
        QVERIFY2(gate.start({"--connect", QStringLiteral("127.0.0.1:%1").arg(port), "--gate", "W20"}),
                 qPrintable(gate.errorString()));
        const MonitorRun run = runScript("dialog 接続\n"
                                         "menu TBtSetCmdMode\n"
                                         "wait 300\n"
                                         "menu MnDispCountDlg\n"
                                         "wait 1500\n"
                                         "dialog 保存(&S)\n"
                                         "wait 300\n"
                                         "dialog 保存(&S)\n"
                                         "dialog 保存(&S)\n"
                                         "dialog キャンセル(&C)\n"
                                         "quit\n",
                                         60000, QStringLiteral("gate.ini"));
        QVERIFY2(run.finished, qPrintable("the script did not end: " + run.err));
        QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out));
        // The header (CP932, checked byte for byte by the gate tests) and three records.
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.last().isEmpty());
        static const QRegularExpression record(QStringLiteral("^\\d{4}/\\d{2}/\\d{2},\\d{2}:\\d{2}:\\d{2}(,\\d+){4}\r$"));
        for (int i = 1; i <= 3; ++i)
            QVERIFY2(record.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
    }

    // The start-up LAN dialog as the operator sees it, written control by
    // control before it is confirmed.
    void dumpsTheLanConnectionDialog()
    {
        const MonitorRun run = runScript("dump lan.txt\n"
                                         "expect-field EdTCPPort=" + QByteArray::number(port_) + " RadioGroup1=1\n"
                                         "dialog 接続\n"
                                         "quit\n");
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.err + run.out));
        const QStringList lines = readText(path("lan.txt")).split(u'\n', Qt::SkipEmptyParts);
        QStringList names;
        for (const QString &l : lines)
            names << l.section(u'\t', 0, 0);
        QCOMPARE(names, QStringList({"TSetTCPIPDlg", "RadioGroup1", "EdTCPPort", "EdTCPIP1_1", "EdTCPIP1_2", "EdTCPIP1_3",
                                     "EdTCPIP1_4", "EdTCPServPort", "OKBtn", "CancelBtn"}).mid(1));
        QVERIFY(lines.contains("RadioGroup1\tradio-group\t1\tenabled=1\tvisible=1"));
        QVERIFY(lines.contains(QStringLiteral("EdTCPPort\tnumber\t%1\tenabled=1\tvisible=1").arg(port_)));
        // Server mode: the client's address and port cannot be edited.
        QVERIFY2(lines.contains("EdTCPIP1_1\tnumber\t127\tenabled=0\tvisible=1"), qPrintable(lines.join(u'\n')));
        QVERIFY(lines.contains("EdTCPIP1_4\tnumber\t1\tenabled=0\tvisible=1"));
        QVERIFY(lines.filter(QRegularExpression("^EdTCPServPort\tnumber\t\\d+\tenabled=0\tvisible=1$")).size() == 1);
        QVERIFY(lines.contains("OKBtn\tbutton\t接続\tenabled=1\tvisible=1"));
        QVERIFY(lines.contains("CancelBtn\tbutton\tキャンセル\tenabled=1\tvisible=1"));
    }

    void failingScripts_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("expected line never comes")
            << QByteArray("dialog 接続\nwait 100\nexpect-log \"no such line\" 500\nquit\n") << 1
            << QStringLiteral("line 3: log line \"no such line\" did not appear within 500 ms");
        QTest::newRow("dialog with no answer")
            << QByteArray("dialog 接続\nmenu TBtSetCmdMode\nwait 300\nmenu MnReadSingleBlock\nquit\n") << 1
            << QStringLiteral("line 4: a dialog opened with no answer for it: kx9::TInputIntDlg");
        QTest::newRow("disabled item")
            << QByteArray("dialog 接続\nmenu MnReadSingleBlock\ndialog IntEd=1 ok\n") << 1
            << QStringLiteral("line 2: menu item MnReadSingleBlock is disabled");
        QTest::newRow("answer that no dialog takes")
            << QByteArray("dialog 接続\nmenu TBtSetCmdMode\nmessage\n") << 1
            << QStringLiteral("line 3: no dialog opened for this message answer within 10 s");
        QTest::newRow("parse error") << QByteArray("dialog 接続\nfly away\n") << 2
                                     << QStringLiteral("line 2: unknown command \"fly\"");
    }
    void failingScripts()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        const MonitorRun run = runScript(script, 40000);
        QVERIFY2(run.finished, qPrintable("the script hung: " + run.err));
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestScriptE2E)
#include "test_script_e2e.moc"
