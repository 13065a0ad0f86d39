// The gates' bytes without a window: bit fields, count records, the count
// log files on disk and the text of a report no dialog takes.
#include "gate/gate_bits.h"
#include "link/options.h"
#include "read_only_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kx9;
using namespace kx9::gate;

namespace {

// The two headers in CP932, written out byte by byte (from an independent encoder).
const QByteArray kW20Header = QByteArray::fromHex(
    "93FA95742C8E9E8D8F2C906C909482502C83418389815B838082502C906C909482512C83418389815B83808251");
const QByteArray kW30Header = QByteArray::fromHex(
    "93FA95742C8E9E8D8F2C906C90948250816993FC816A2C83418389815B83808250816993FC816A2C906C9094825081698F6F816A2C"
    "83418389815B8380825081698F6F816A2C906C90948251816993FC816A2C83418389815B83808251816993FC816A2C906C90948251"
    "81698F6F816A2C83418389815B8380825181698F6F816A2C906C90948252816993FC816A2C83418389815B83808252816993FC816A"
    "2C906C9094825281698F6F816A2C83418389815B8380825281698F6F816A");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestGateLogic : public QObject {
    Q_OBJECT
private slots:
    void fieldWithoutSelectionKeepsItsBits_data();
    void fieldWithoutSelectionKeepsItsBits();
    void countRecords();
    void shortReportIsNeverReadPast();
    void headersAreExactCp932_data();
    void headersAreExactCp932();
    void recordLine();
    void newLogHoldsTheHeaderOnly();
    void appendAddsWholeLines();
    void cutLineIsEndedBeforeTheNextRecord();
    void logInReadOnlyFolderIsRefused();
    void defaultLogPathIsBesideTheProgram();
    void reportText();
};

void TestGateLogic::fieldWithoutSelectionKeepsItsBits_data()
{
    QTest::addColumn<uint32_t>("word");
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("field");
    QTest::addColumn<uint32_t>("expected");
    // A 3-bit field at bits 5-7 read as 6, control with no selection: nothing moves.
    QTest::newRow("no selection, 3 bits") << 0xC5u << 5 << 3 << -1 << 0xC5u;
    // What an index of -1 would have done: every bit of the field set.
    QTest::newRow("no selection, 4 bits in H") << 0x0912u << 8 << 4 << -1 << 0x0912u;
    QTest::newRow("chosen item replaces the field only") << 0xFFFFu << 4 << 4 << 2 << 0xFF2Fu;
    QTest::newRow("value wider than the field stays inside it") << 0x0000u << 1 << 3 << 9 << 0x0002u;
}

void TestGateLogic::fieldWithoutSelectionKeepsItsBits()
{
    QFETCH(uint32_t, word);
    QFETCH(int, lo);
    QFETCH(int, width);
    QFETCH(int, field);
    QFETCH(uint32_t, expected);
    QCOMPARE(FieldSet(word, lo, width, field), expected);
}

void TestGateLogic::countRecords()
{
    // The edge case's poll reply: 5 and 10 people, 1 and 2 alarms.
    const QByteArray block = QByteArray::fromHex("050000000A00000001000200");
    CountValues v;
    QCOMPARE(DecodeCountRecords(block, 1, v), 1);
    QCOMPARE(CountFields(Model::W20, v), (QList<qint64>{5, 1, 10, 2}));
    QCOMPARE(EncodeCountRecords(v, 1), block);

    const QByteArray three = QByteArray::fromHex("01020304 0A000000 0500 0600"
                                                 "FFFFFFFF 00000000 FFFF 0000"
                                                 "07000000 08000000 0900 0A00");
    CountValues w;
    QCOMPARE(DecodeCountRecords(three, 3, w), 3);
    QCOMPARE(CountFields(Model::W30, w),
             (QList<qint64>{0x04030201, 5, 10, 6, 4294967295LL, 65535, 0, 0, 7, 9, 8, 10}));
    QCOMPARE(EncodeCountRecords(w, 3), three);
}

void TestGateLogic::shortReportIsNeverReadPast()
{
    // 23 bytes: one whole record and a part of the second one.
    CountValues v;
    v.people = {100, 200, 300, 400, 500, 600};
    const QByteArray bytes = QByteArray::fromHex("0100000002000000030004000500000006000000070008").left(23);
    QCOMPARE(DecodeCountRecords(bytes, 3, v), 1);
    QCOMPARE(v.people[0], 1u);
    QCOMPARE(v.people[1], 2u);
    QCOMPARE(v.alarms[0], uint16_t(3));
    // The cut record and the missing one keep what they had.
    QCOMPARE(v.people[2], 300u);
    QCOMPARE(v.people[3], 400u);
    QCOMPARE(v.people[4], 500u);
    CountValues none;
    QCOMPARE(DecodeCountRecords(QByteArray::fromHex("0500000000"), 1, none), 0);
    QCOMPARE(none, CountValues{});
}

void TestGateLogic::headersAreExactCp932_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("W20") << int(Model::W20) << kW20Header;
    QTest::newRow("W30") << int(Model::W30) << kW30Header;
}

void TestGateLogic::headersAreExactCp932()
{
    QFETCH(int, model);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(CountLogFileName(Model(model)));
    CountLog log(Model(model), path);
    QString error;
    QVERIFY2(log.ensureExists(&error), qPrintable(error));
    QCOMPARE(readAll(path), bytes + "\r\n");
}

void TestGateLogic::recordLine()
{
    CountValues v;
    v.people = {5, 10, 3, 4, 0, 70000};
    v.alarms = {1, 2, 0, 0, 65535, 9};
    const QDateTime at(QDate(2024, 3, 7), QTime(9, 5, 3));
    QCOMPARE(CountLogRecord(Model::W20, v, at), QStringLiteral("2024/03/07,09:05:03,5,1,10,2"));
    QCOMPARE(CountLogRecord(Model::W30, v, at), QStringLiteral("2024/03/07,09:05:03,5,1,10,2,3,0,4,0,0,65535,70000,9"));
    // 24-hour clock.
    QCOMPARE(CountLogRecord(Model::W20, {}, QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58))),
             QStringLiteral("2024/12/31,23:59:58,0,0,0,0"));
}

void TestGateLogic::newLogHoldsTheHeaderOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("W20LogFile.csv"));
    CountLog log(Model::W20, path);
    QVERIFY(log.ensureExists(nullptr));
    QVERIFY(log.ensureExists(nullptr));   // an existing file is left as it is
    QCOMPARE(readAll(path), kW20Header + "\r\n");
}

void TestGateLogic::appendAddsWholeLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    CountLog log(Model::W20, path);
    CountValues v;
    v.people = {5, 10};
    v.alarms = {1, 2};
    const QDateTime at(QDate(2024, 1, 2), QTime(3, 4, 5));
    // Saving before the file exists creates it with the header first.
    QVERIFY(log.append({}, at, nullptr));
    QVERIFY(log.append(v, at, nullptr));
    QCOMPARE(readAll(path), kW20Header + "\r\n2024/01/02,03:04:05,0,0,0,0\r\n2024/01/02,03:04:05,5,1,10,2\r\n");
    // Deleted meanwhile: created again with the header.
    QVERIFY(QFile::remove(path));
    QVERIFY(log.append(v, at, nullptr));
    QCOMPARE(readAll(path), kW20Header + "\r\n2024/01/02,03:04:05,5,1,10,2\r\n");
}

void TestGateLogic::cutLineIsEndedBeforeTheNextRecord()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kW20Header + "\r\n2024/01/02,03:04");   // a crash mid-line
    }
    CountLog log(Model::W20, path);
    QVERIFY(log.append({}, QDateTime(QDate(2024, 1, 2), QTime(3, 5, 0)), nullptr));
    QCOMPARE(readAll(path), kW20Header + "\r\n2024/01/02,03:04\r\n2024/01/02,03:05:00,0,0,0,0\r\n");
}

void TestGateLogic::logInReadOnlyFolderIsRefused()
{
    QTemporaryDir dir;
    kx9test::ReadOnlyFolder folder(dir.filePath(QStringLiteral("ro")));
    QVERIFY2(folder.holds(), "the folder could not be made read-only");
    const QString path = folder.filePath(QStringLiteral("W30LogFile.csv"));
    CountLog log(Model::W30, path);
    QString error;
    QVERIFY(!log.ensureExists(&error));
    QCOMPARE(error, CannotCreateLogText(path));
    error.clear();
    QVERIFY(!log.append({}, QDateTime::currentDateTime(), &error));
    QCOMPARE(error, CannotCreateLogText(path));
    QVERIFY(!QFile::exists(path));
}

void TestGateLogic::defaultLogPathIsBesideTheProgram()
{
    AppOptions o;
    QCOMPARE(CountLogPath(o, Model::W20), QCoreApplication::applicationDirPath() + QStringLiteral("/W20LogFile.csv"));
    QCOMPARE(CountLogPath(o, Model::W30), QCoreApplication::applicationDirPath() + QStringLiteral("/W30LogFile.csv"));
    o.W30LogFile = QStringLiteral("/tmp/elsewhere.csv");
    QCOMPARE(CountLogPath(o, Model::W30), QStringLiteral("/tmp/elsewhere.csv"));
    // The default is used, not stored.
    QVERIFY(o.W20LogFile.isEmpty());
}

void TestGateLogic::reportText()
{
    QCOMPARE(ReportText(QByteArray("ABC\0DEF", 7)), QStringLiteral("ABC"));
    QCOMPARE(ReportText(QByteArray::fromHex("93FA9574")), QStringLiteral("日付"));
    QCOMPARE(ReportText(QByteArray(300, 'x')).size(), 255);
    QCOMPARE(ReportText(QByteArray("\0xyz", 4)), QString());
}

QTEST_MAIN(TestGateLogic)
#include "test_gate_logic.moc"
