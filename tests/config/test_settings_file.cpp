// Settings files (*.KXI) on disk: reading values as the operator's files hold
// them, writing through the INI copy so the rest of a file survives, the
// file-name rule of the file dialog, and saves that fail or are killed
// midway leaving the old file whole.
#include "config/settings_file.h"
#include "link/text_codec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

using namespace kx9;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

ReaderParamBlock numbered()
{
    ReaderParamBlock b;
    for (int i = 0; i < 40; ++i)
        b.area1[i] = uint8_t(i + 100);
    for (int j = 0; j < 20; ++j)
        b.area2[j] = uint8_t(j + 1);
    return b;
}

// An existing settings file that is large and carries other sections, so a
// save has a lot to rewrite.
QByteArray bigOldFile()
{
    QByteArray text = EncodeCp932(QStringLiteral("; 検査ライン２号機\r\n[Memo]\r\n名前=受付①\r\n[KX9SET]\r\nSETDATA0=7\r\n"));
    for (int i = 0; i < 600; ++i)
        text += "Padding" + QByteArray::number(i) + "=0123456789012345678901234567890123456789\r\n";
    return text;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void keys();
    void valueParsing_data();
    void valueParsing();
    void readFile();
    void exampleAfterDefaults();
    void saveKeepsTheRestOfTheFile();
    void ver121OffLeavesArea2Lines();
    void fileName_data();
    void fileName();
    void readOnlyFileIsRefusedAndKept();
    void unreadableFileIsNotReplaced();
    void saveKilledMidwayKeepsTheOldFile_data();
    void saveKilledMidwayKeepsTheOldFile();
    void compareRespectsTheOptions();
};

void TestSettingsFile::keys()
{
    QCOMPARE(SettingsKeyArea1(0), QString("SETDATA0"));
    QCOMPARE(SettingsKeyArea1(39), QString("SETDATA39"));
    QCOMPARE(SettingsKeyArea2(0), QString("SETDATA240"));
    QCOMPARE(SettingsKeyArea2(19), QString("SETDATA259"));
}

void TestSettingsFile::valueParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::newRow("decimal") << "212" << 212;
    QTest::newRow("300 keeps the low 8 bits") << "300" << 44;
    QTest::newRow("0x hex") << "0x1F" << 0x1F;
    QTest::newRow("$ hex") << "$D5" << 0xD5;
    QTest::newRow("$ hex above a byte") << "$1FF" << 0xFF;
    QTest::newRow("blanks around") << "  12 " << 12;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("trailing junk") << "12abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("lone $") << "$" << 0;
    QTest::newRow("lone 0x") << "0x" << 0;
}

void TestSettingsFile::valueParsing()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    QCOMPARE(int(SettingsByte(text)), byte);
}

void TestSettingsFile::readFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.KXI");
    // Keys in any order and case, one value hex, one not a number, area 2 missing.
    QVERIFY(writeAll(path, "[Other]\r\nSETDATA0=9\r\n[kx9set]\r\nSETDATA22=300\r\nsetdata5=0x07\r\n"
                           "SETDATA4=$D4\r\nSETDATA6=x\r\n"));
    const ReaderParamBlock b = ReadSettingsFile(path, true);
    QCOMPARE(int(b.area1[22]), 44);
    QCOMPARE(int(b.area1[5]), 7);
    QCOMPARE(int(b.area1[4]), 0xD4);
    QCOMPARE(int(b.area1[0]), 0);   // in another section
    QCOMPARE(int(b.area1[6]), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(b.area2.data()), 20), QByteArray(20, '\0'));
    // A missing file reads as all zeros.
    const ReaderParamBlock none = ReadSettingsFile(dir.filePath("missing.KXI"), true);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(none.area1.data()), 40), QByteArray(40, '\0'));
    // Area 2 is read only with fVER121.
    QVERIFY(writeAll(path, "[KX9SET]\r\nSETDATA246=1\r\nSETDATA259=0x10\r\n"));
    QCOMPARE(int(ReadSettingsFile(path, true).area2[6]), 1);
    QCOMPARE(int(ReadSettingsFile(path, true).area2[19]), 16);
    QCOMPARE(int(ReadSettingsFile(path, false).area2[6]), 0);
}

void TestSettingsFile::exampleAfterDefaults()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.KXI");
    ReaderParamBlock b;
    b.area1 = DefaultParamArea1();
    b.area1[4] = S6700Parity(b.area1[4]);
    b.area2 = DefaultParamArea2();
    QString why;
    QVERIFY2(WriteSettingsFile(path, b, true, &why), qPrintable(why));
    const QStringList lines = QString::fromLatin1(readAll(path)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 61);
    QCOMPARE(lines[0], QString("[KX9SET]"));
    QCOMPARE(lines[1], QString("SETDATA0=0"));
    QCOMPARE(lines[5], QString("SETDATA4=212"));
    QCOMPARE(lines[8], QString("SETDATA7=48"));
    QCOMPARE(lines[9], QString("SETDATA8=24"));
    QCOMPARE(lines[11], QString("SETDATA10=23"));
    QCOMPARE(lines[34], QString("SETDATA33=255"));
    QCOMPARE(lines[40], QString("SETDATA39=0"));
    QCOMPARE(lines[41], QString("SETDATA240=0"));
    QCOMPARE(lines[47], QString("SETDATA246=1"));
    QCOMPARE(lines[48], QString("SETDATA247=4"));
    QCOMPARE(lines[60], QString("SETDATA259=0"));
    // And it reads back as written.
    const ReaderParamBlock r = ReadSettingsFile(path, true);
    QVERIFY(r.area1 == b.area1);
    QVERIFY(r.area2 == b.area2);
}

void TestSettingsFile::saveKeepsTheRestOfTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.KXI");
    const QByteArray before =
        EncodeCp932(QStringLiteral("; 受付の設定 ①\r\n[Memo]\r\n担当=山田\r\nSETDATA1=55\r\n\r\n[KX9SET]\r\nSETDATA5=1\r\n"
                                   "Note=残す\r\nSETDATA1=2\r\n\r\n[Tail]\r\nx=1\r\n"));
    QVERIFY(writeAll(path, before));
    QString why;
    QVERIFY2(WriteSettingsFile(path, numbered(), true, &why), qPrintable(why));
    const QString text = DecodeCp932(readAll(path));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.last(), QString());   // the file still ends with a line break, CR LF as it had
    lines.removeLast();
    // The other sections, the comment and the foreign key stay where they were,
    // in CP932; the two keys that were there are replaced in place; the new
    // ones follow in key order, before the blank line that ends the section.
    QCOMPARE(lines.mid(0, 8), QStringList({"; 受付の設定 ①", "[Memo]", "担当=山田", "SETDATA1=55", "", "[KX9SET]",
                                           "SETDATA5=105", "Note=残す"}));
    QCOMPARE(lines[8], QString("SETDATA1=101"));
    QCOMPARE(lines[9], QString("SETDATA0=100"));
    QCOMPARE(lines[10], QString("SETDATA2=102"));
    QCOMPARE(lines[12], QString("SETDATA4=104"));
    QCOMPARE(lines[13], QString("SETDATA6=106"));
    QCOMPARE(lines[46], QString("SETDATA39=139"));
    QCOMPARE(lines[47], QString("SETDATA240=1"));
    QCOMPARE(lines[66], QString("SETDATA259=20"));
    QCOMPARE(lines.mid(67), QStringList({"", "[Tail]", "x=1"}));
    QVERIFY(readAll(path).contains(EncodeCp932(QStringLiteral("担当=山田"))));
}

void TestSettingsFile::ver121OffLeavesArea2Lines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.KXI");
    QVERIFY(writeAll(path, "[KX9SET]\nSETDATA240=0x10\nSETDATA250=abc\nSETDATA3=9\n"));
    QString why;
    QVERIFY2(WriteSettingsFile(path, numbered(), false, &why), qPrintable(why));
    const QStringList lines = QString::fromLatin1(readAll(path)).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 2 + 40);
    QCOMPARE(lines[1], QString("SETDATA240=0x10"));
    QCOMPARE(lines[2], QString("SETDATA250=abc"));
    QCOMPARE(lines[3], QString("SETDATA3=103"));
    QVERIFY(!lines.join('\n').contains("SETDATA241"));
}

void TestSettingsFile::fileName_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("settingsFilter");
    QTest::addColumn<QString>("used");
    QTest::newRow("txt becomes KXI") << "/d/abc.txt" << true << "/d/abc.KXI";
    QTest::newRow("no extension gets KXI") << "/d/abc" << true << "/d/abc.KXI";
    QTest::newRow("KXI stays") << "/d/abc.KXI" << true << "/d/abc.KXI";
    QTest::newRow("lower-case kxi stays the same file") << "/d/abc.kxi" << true << "/d/abc.kxi";
    QTest::newRow("last extension only") << "/d/a.b.txt" << true << "/d/a.b.KXI";
    QTest::newRow("a dot in the folder is not an extension") << "/d.x/abc" << true << "/d.x/abc.KXI";
    QTest::newRow("all files: as typed") << "/d/abc.txt" << false << "/d/abc.txt";
    QTest::newRow("all files: no extension") << "/d/abc" << false << "/d/abc";
}

void TestSettingsFile::fileName()
{
    QFETCH(QString, chosen);
    QFETCH(bool, settingsFilter);
    QFETCH(QString, used);
    QCOMPARE(SettingsFileName(chosen, settingsFilter), used);
}

void TestSettingsFile::readOnlyFileIsRefusedAndKept()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ro.KXI");
    const QByteArray before = "[KX9SET]\nSETDATA0=1\n";
    QVERIFY(writeAll(path, before));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QString why;
    QVERIFY(!WriteSettingsFile(path, numbered(), true, &why));
    QVERIFY(!why.isEmpty());
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);   // nothing left beside it
}

void TestSettingsFile::unreadableFileIsNotReplaced()
{
    // A name that is there but cannot be read as a file (here a folder) must
    // not be replaced by a file holding only our keys.
    QTemporaryDir dir;
    const QString path = dir.filePath("folder.KXI");
    QVERIFY(QDir().mkdir(path));
    QString why;
    QVERIFY(!WriteSettingsFile(path, numbered(), true, &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
}

void TestSettingsFile::saveKilledMidwayKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("mode");
    // The file-size limit kills the saving process at its first write past
    // the limit (SIGXFSZ), or, with the signal ignored, makes that write fail.
    QTest::newRow("killed while writing") << "kill";
    QTest::newRow("disk full while writing") << "fail";
}

void TestSettingsFile::saveKilledMidwayKeepsTheOldFile()
{
    QFETCH(QString, mode);
    QTemporaryDir dir;
    const QString path = dir.filePath("big.KXI");
    const QByteArray before = bigOldFile();
    QVERIFY(before.size() > 8192);
    QVERIFY(writeAll(path, before));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--save-child", path, "4096", mode});
    QVERIFY(child.waitForFinished(20000));
    if (mode == QLatin1String("kill")) {
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    } else {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        // The save said it failed, and why.
        QCOMPARE(child.exitCode(), 3);
        QVERIFY(!child.readAllStandardOutput().trimmed().isEmpty());
        // A failed save tidies up after itself.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
    QCOMPARE(readAll(path), before);
    QCOMPARE(int(ReadSettingsFile(path, true).area1[0]), 7);
}

void TestSettingsFile::compareRespectsTheOptions()
{
    ReaderParamBlock reader = numbered(), file = numbered();
    reader.area2[5] ^= 1;
    QVERIFY(!CompareWithFile(reader, file, true, false).equal);
    QVERIFY(CompareWithFile(reader, file, false, false).equal);   // no area 2 without fVER121
    QVERIFY(CompareWithFile(reader, file, true, true).equal);     // nor with fP15
    QVERIFY(CompareWithFile(reader, file, true, true).area2.isEmpty());
    reader.area1[8] ^= 3;   // bits 0-1 are the current mode, not compared
    reader.area2 = file.area2;
    reader.area2[0] ^= 0xFF;
    QVERIFY(CompareWithFile(reader, file, true, false).equal);
}

// The child of saveKilledMidwayKeepsTheOldFile: saves under a file-size limit.
static int saveChild(const char *path, const char *limit, const char *mode)
{
    if (qstrcmp(mode, "fail") == 0)
        std::signal(SIGXFSZ, SIG_IGN);
    rlimit rl;
    rl.rlim_cur = rl.rlim_max = rlim_t(QByteArray(limit).toLong());
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
        return 2;
    QString why;
    if (WriteSettingsFile(QString::fromLocal8Bit(path), numbered(), true, &why))
        return 0;
    std::printf("%s\n", why.toLocal8Bit().constData());
    return 3;
}

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--save-child") == 0)
        return saveChild(argv[2], argv[3], argv[4]);
    QCoreApplication app(argc, argv);
    TestSettingsFile t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_settings_file.moc"
