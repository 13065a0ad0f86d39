// The README's demo walk-through, run as the operator script it is, against
// the demo field and the demo option file that ./run uses.
#include "sim_process.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestReadmeDemo : public QObject {
    Q_OBJECT
private slots:
    void walkThroughRunsAsWritten()
    {
        const QString readme = QString::fromUtf8(readFile(QStringLiteral(KX9_SOURCE_DIR "/README.md")));
        const QRegularExpression block(QStringLiteral("<!-- demo walk-through: run by \\./test -->\\s*```\\n(.*?)```"),
                                       QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = block.match(readme);
        QVERIFY2(m.hasMatch(), "README.md has no demo walk-through block");
        const QByteArray script = m.captured(1).toUtf8();
        QVERIFY(script.contains("menu MnReadSingleBlock"));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        QByteArray ini = readFile(QStringLiteral(KX9_SOURCE_DIR "/scripts/demo.ini"));
        QVERIFY(ini.contains("@PORT@"));
        ini.replace("@PORT@", QByteArray::number(port));
        QFile iniFile(dir.filePath(QStringLiteral("kx9monitor.ini")));
        QVERIFY(iniFile.open(QIODevice::WriteOnly));
        iniFile.write(ini);
        iniFile.close();
        QFile scriptFile(dir.filePath(QStringLiteral("walk.txt")));
        QVERIFY(scriptFile.open(QIODevice::WriteOnly));
        scriptFile.write(script);
        scriptFile.close();

        SimProcess sim;
        QVERIFY2(sim.start({"--connect", QStringLiteral("127.0.0.1:%1").arg(port), "--demo"}), qPrintable(sim.errorString()));
        QProcess monitor;
        monitor.start(QStringLiteral(KX9_MONITOR_PATH), {"--ini", iniFile.fileName(), "--script", scriptFile.fileName()});
        QVERIFY(monitor.waitForStarted(10000));
        const bool ended = monitor.waitForFinished(60000);
        if (!ended)
            monitor.kill();
        const QString err = QString::fromUtf8(monitor.readAllStandardError());
        QVERIFY2(ended, qPrintable("the walk-through hung: " + err));
        QVERIFY2(monitor.exitCode() == 0, qPrintable(err + QString::fromUtf8(monitor.readAllStandardOutput())));
        // The read went out addressed to the reader's current tag (UID mode 2).
        QVERIFY2(sim.frameLog().contains("RX 02 00 78 03 20 00 02 "), sim.frameLog().constData());
    }
};

QTEST_GUILESS_MAIN(TestReadmeDemo)
#include "test_readme_demo.moc"
