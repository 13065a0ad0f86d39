// What the tool does not own in a file it rewrites stays byte for byte: the
// option file and a settings file keep the other sections' lines, control
// characters included, through a save (found by fuzz_option_file).
#include "config/settings_file.h"
#include "link/options.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileRoundTrip : public QObject {
    Q_OBJECT
private slots:
    void otherLinesSurviveASave_data();
    void otherLinesSurviveASave();
};

void TestFileRoundTrip::otherLinesSurviveASave_data()
{
    QTest::addColumn<QByteArray>("line");
    // Control bytes the converter must not trade for one another, in an
    // all-ASCII file and beside CP932 text.
    QTest::newRow("DEL") << QByteArray("note=abc\x7f");
    QTest::newRow("SUB") << QByteArray("note=abc\x1a");
    QTest::newRow("FS") << QByteArray("note=abc\x1c");
    QTest::newRow("DEL beside kanji") << QByteArray("note=\x8e\xf3\x95\x74\x7f");
    QTest::newRow("kanji only") << QByteArray("note=\x8e\xf3\x95\x74\x87\x40");
}

void TestFileRoundTrip::otherLinesSurviveASave()
{
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    const QByteArray memo = "[Memo]\r\n" + line + "\r\n";
    for (const char *name : {"kx9monitor.ini", "line2.KXI"}) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(memo);
        f.close();
        QString error;
        if (QByteArray(name).endsWith(".ini"))
            QVERIFY(kx9::SaveAppOptions(path, kx9::AppOptions{}));
        else
            QVERIFY2(kx9::WriteSettingsFile(path, kx9::ReaderParamBlock{}, true, &error), qPrintable(error));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray saved = f.readAll();
        QVERIFY2(saved.startsWith(memo), qPrintable(QString::fromLatin1(saved.left(40).toHex(' '))));
    }
}

QTEST_GUILESS_MAIN(TestFileRoundTrip)
#include "test_file_round_trip.moc"
