// Every file the tool writes survives a kill -9 at any moment of a save: a
// replaced file is the old or the new version, never a mix or a cut one, and
// an appended log loses at most the line being written. A child process
// (robust_saver) saves in a loop through the tool's own writer; it is killed
// at a random moment, many times, and the file is checked each time.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "gate/gate_bits.h"
#include "link/text_codec.h"

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int Kills() { return qEnvironmentVariableIntValue("KX9_CRASH_KILLS") > 0 ? qEnvironmentVariableIntValue("KX9_CRASH_KILLS") : 25; }

// Starts the saver, waits for "ready", lets it save for a random while, kills it.
bool RunAndKill(const QString &mode, const QString &path, QRandomGenerator &rng, QString *why)
{
    QProcess p;
    p.setProgram(QStringLiteral(KX9_SAVER_PATH));
    p.setArguments({mode, path});
    p.start();
    if (!p.waitForStarted(5000)) {
        *why = QStringLiteral("saver did not start");
        return false;
    }
    if (!p.waitForReadyRead(15000) || !p.readAllStandardOutput().contains("ready")) {
        *why = QStringLiteral("saver not ready: ") + QString::fromLocal8Bit(p.readAllStandardError());
        p.kill();
        p.waitForFinished();
        return false;
    }
    QTest::qWait(int(rng.bounded(5, 120)));
    p.kill();   // SIGKILL
    p.waitForFinished(5000);
    if (p.exitStatus() != QProcess::CrashExit) {
        *why = QStringLiteral("saver ended by itself (%1): %2").arg(p.exitCode()).arg(QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    return true;
}

} // namespace

class TestCrashSafeFiles : public QObject {
    Q_OBJECT
private slots:
    void replacedFiles_data();
    void replacedFiles();
    void countLogLosesAtMostOneLine();
};

void TestCrashSafeFiles::replacedFiles_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("file");
    QTest::newRow("option file") << "options" << "kx9monitor.ini";
    QTest::newRow("settings file") << "kxi" << "line2.KXI";
    QTest::newRow("settings export") << "kxi" << "KX9RWConf.KXI";
    QTest::newRow("grid CSV export") << "grid" << "datalist.csv";
}

void TestCrashSafeFiles::replacedFiles()
{
    QFETCH(QString, mode);
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QRandomGenerator rng(QRandomGenerator::global()->generate());
    int sawA = 0, sawB = 0;
    for (int k = 0; k < Kills(); ++k) {
        QString why;
        QVERIFY2(RunAndKill(mode, path, rng, &why), qPrintable(why));
        const QByteArray now = ReadAll(path);
        const QByteArray a = ReadAll(path + ".A"), b = ReadAll(path + ".B");
        QVERIFY(!a.isEmpty() && !b.isEmpty() && a != b);
        sawA += now == a;
        sawB += now == b;
        QVERIFY2(now == a || now == b,
                 qPrintable(QStringLiteral("kill %1: %2 holds %3 bytes, neither version (%4 / %5 bytes)")
                                .arg(k).arg(file).arg(now.size()).arg(a.size()).arg(b.size())));
    }
    qInfo("%s: %d kills, old/new version found %d/%d times", qPrintable(file), Kills(), sawA, sawB);
}

void TestCrashSafeFiles::countLogLosesAtMostOneLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("W30Count.csv"));
    QRandomGenerator rng(QRandomGenerator::global()->generate());
    const QString header = kx9::gate::CountLogHeader(kx9::gate::Model::W30);
    // A record the saver writes: date, time, then the same number in every field.
    static const QRegularExpression record(QStringLiteral("^2026/12/11,12:00:00,(\\d+)(,\\d+){11}$"));
    int records = 0;
    for (int k = 1; k <= Kills(); ++k) {
        QString why;
        QVERIFY2(RunAndKill(QStringLiteral("count"), path, rng, &why), qPrintable(why));
        const QByteArray bytes = ReadAll(path);
        QList<QByteArray> lines = bytes.split('\n');
        const bool cutAtEnd = !bytes.endsWith('\n');
        const QByteArray last = lines.takeLast();   // "" after a whole last line
        int broken = 0;
        records = 0;
        QVERIFY2(!lines.isEmpty() && kx9::DecodeCp932(lines[0]).trimmed() == header, qPrintable(QString::fromLatin1(bytes.left(200))));
        for (int i = 1; i < lines.size(); ++i) {
            QVERIFY2(lines[i].endsWith('\r'), qPrintable(QStringLiteral("line %1 without CR LF").arg(i + 1)));
            const QString line = QString::fromLatin1(lines[i].chopped(1));
            if (record.match(line).hasMatch()) {
                ++records;
                // Every field holds the record's own number (values from
                // two records never share a line).
                const QStringList f = line.split(u',');
                for (int j = 3; j < f.size(); j += 2)
                    QCOMPARE(f[j], f[2]);
            } else {
                ++broken;
            }
        }
        // Each kill may cut the line it interrupted, and only that line.
        QVERIFY2(broken + (cutAtEnd && !last.isEmpty() ? 1 : 0) <= k,
                 qPrintable(QStringLiteral("%1 cut lines after %2 kills").arg(broken).arg(k)));
    }
    QVERIFY(records > 0);
    qInfo("count log: %d kills, %d whole records", Kills(), records);
}

QTEST_GUILESS_MAIN(TestCrashSafeFiles)
#include "test_crash_safe_files.moc"
