// The shared rules of the command actions: request flags, block bytes, the
// execution-time text, the GetSystemInfo summary and the write-size limit.
#include "actions/action_util.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QTest>

using namespace kx9;

class TestActionUtil : public QObject {
    Q_OBJECT
private slots:
    void requestFlags_data();
    void requestFlags();
    void inventoryFlags();
    void textToBlockBytes_data();
    void textToBlockBytes();
    void binaryBlockBytes();
    void execTime_data();
    void execTime();
    void execTimeFromClockValues();
    void systemInfoLines_data();
    void systemInfoLines();
    void blockWriteRefusal_data();
    void blockWriteRefusal();
};

void TestActionUtil::requestFlags_data()
{
    QTest::addColumn<int>("readOpt");
    QTest::addColumn<int>("readUid");
    QTest::addColumn<int>("writeOpt");
    QTest::addColumn<int>("writeUid");
    QTest::addColumn<int>("uidFlag");
    QTest::addColumn<int>("useSet");
    QTest::addColumn<int>("prog");
    QTest::addColumn<int>("group");        // 0 read, 1 write, 2 UID
    QTest::addColumn<bool>("overridable");
    QTest::addColumn<int>("flags");
    QTest::newRow("read plain") << 0 << 0 << 1 << 0 << 0 << 0 << 0 << 0 << true << 0x00;
    QTest::newRow("read option+uid1") << 1 << 1 << 0 << 0 << 0 << 0 << 0 << 0 << true << 0x11;
    QTest::newRow("read option bit0 only") << 3 << 6 << 0 << 0 << 0 << 0 << 0 << 0 << true << 0x12;
    QTest::newRow("write default") << 0 << 0 << 1 << 0 << 0 << 0 << 0 << 1 << true << 0x10;
    QTest::newRow("write uid2") << 0 << 0 << 0 << 2 << 0 << 0 << 0 << 1 << true << 0x02;
    QTest::newRow("uid group") << 1 << 1 << 1 << 1 << 7 << 0 << 0 << 2 << true << 0x03;
    QTest::newRow("override whole byte") << 0 << 0 << 1 << 0 << 0 << 1 << 0xA5 << 1 << true << 0xA5;
    QTest::newRow("override off") << 0 << 0 << 1 << 0 << 0 << 0 << 0xA5 << 1 << true << 0x10;
    QTest::newRow("not overridable") << 1 << 0 << 0 << 0 << 0 << 1 << 0xA5 << 0 << false << 0x10;
}

void TestActionUtil::requestFlags()
{
    AppOptions o;
    QFETCH(int, readOpt);
    QFETCH(int, readUid);
    QFETCH(int, writeOpt);
    QFETCH(int, writeUid);
    QFETCH(int, uidFlag);
    QFETCH(int, useSet);
    QFETCH(int, prog);
    QFETCH(int, group);
    QFETCH(bool, overridable);
    o.ReadOptionFlag = readOpt;
    o.ReadUidFlag = readUid;
    o.WriteOptionFlag = writeOpt;
    o.WriteUidFlag = writeUid;
    o.UidFlag = uidFlag;
    o.fUSESetOption = useSet;
    o.Prog15693FLAG = uint8_t(prog);
    const FlagGroup g = group == 0 ? FlagGroup::Read : group == 1 ? FlagGroup::Write : FlagGroup::Uid;
    QTEST(int(RequestFlagsFor(o, g, overridable)), "flags");
}

void TestActionUtil::inventoryFlags()
{
    AppOptions o;
    o.Prog15693FLAG = 0xFF;
    QCOMPARE(int(InventoryFlags(o, true)), 0x40);
    QCOMPARE(int(InventoryFlags(o, false)), 0x00);
    QCOMPARE(int(Inventory2Flags(o)), 0x00);
    o.fUSESetOption = 1;
    // Only the AFI bit is taken from the programmed byte.
    QCOMPARE(int(InventoryFlags(o, true)), 0x60);
    QCOMPARE(int(InventoryFlags(o, false)), 0x20);
    QCOMPARE(int(Inventory2Flags(o)), 0x20);
    o.Prog15693FLAG = 0xDF;
    QCOMPARE(int(InventoryFlags(o, true)), 0x40);
    // Two-block commands: write UID mode with the option flag, never overridden.
    o.WriteUidFlag = 5;
    QCOMPARE(int(TwoBlockFlags(o)), 0x11);
}

void TestActionUtil::textToBlockBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("AB in 4") << "AB" << 4 << QByteArray::fromHex("41420000");
    QTest::newRow("ABCDEF in 4") << "ABCDEF" << 4 << QByteArray::fromHex("41424344");
    QTest::newRow("empty in 4") << "" << 4 << QByteArray(4, '\0');
    QTest::newRow("8 of longer") << "0123456789" << 8 << QByteArray("01234567");
    QTest::newRow("code page bytes") << QString::fromUtf8("あ①") << 6 << QByteArray::fromHex("82a087400000");
    QTest::newRow("double byte cut") << QString::fromUtf8("あい") << 3 << QByteArray::fromHex("82a082");
    QTest::newRow("zero length") << "AB" << 0 << QByteArray();
}

void TestActionUtil::textToBlockBytes()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QTEST(TextToBlockBytes(text, n), "bytes");
}

void TestActionUtil::binaryBlockBytes()
{
    QCOMPARE(BinaryBlockBytes(0x11, 0x22, 0x33, 0x44, 4), QByteArray::fromHex("44332211"));
    QCOMPARE(BinaryBlockBytes(0x11, 0x22, 0x33, 0x44, 8), QByteArray::fromHex("4433221100000000"));
    QCOMPARE(BinaryBlockBytes(0x11, 0x22, 0x33, 0x44, 2), QByteArray::fromHex("4433"));
    // Never more than the 256-byte buffer.
    QCOMPARE(BinaryBlockBytes(1, 2, 3, 4, 1000).size(), 256);
}

void TestActionUtil::execTime_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.234 s") << qint64(1234) << "00:01:234";
    QTest::newRow("40 ms") << qint64(40) << "00:00:40";
    QTest::newRow("5 ms") << qint64(5) << "00:00:05";
    QTest::newRow("zero") << qint64(0) << "00:00:00";
    QTest::newRow("2 min 3.1 s") << qint64(123100) << "02:03:100";
    QTest::newRow("1 h 2 min hides hours") << qint64(3720000) << "02:00:00";
    QTest::newRow("negative is zero") << qint64(-50) << "00:00:00";
}

void TestActionUtil::execTime()
{
    QFETCH(qint64, ms);
    QTEST(FormatExecTime(double(ms) / 86400000.0), "text");
}

void TestActionUtil::execTimeFromClockValues()
{
    // The difference of two date-time values of today's size keeps the milliseconds.
    const double start = 46000.0 + 0.51234;
    QCOMPARE(FormatExecTime((start + 1.234 / 86400.0) - start), QString("00:01:234"));
    QCOMPARE(FormatExecTime((start + 0.040 / 86400.0) - start), QString("00:00:40"));
    const double now = NowAsDays();
    QVERIFY(now > 45000 && now < 80000);
}

void TestActionUtil::systemInfoLines_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("afi");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("ic");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("0x0F") << 0x0F << 0x07 << 0x1B << 0x03 << 0x01
                          << QStringList{"AFI: 7[0x07]", "ブロック数: 28", "ブロックサイズ: 4", "ＩＣ基準: 0x01"};
    QTest::newRow("size field low 5 bits") << 0x04 << 0 << 0xFF << 0xE7 << 0
                                           << QStringList{"ブロック数: 256", "ブロックサイズ: 8"};
    QTest::newRow("dsfid only") << 0x01 << 0 << 0 << 0 << 0 << QStringList{};
    QTest::newRow("afi and ic") << 0x0A << 0xC3 << 0 << 0 << 0xAB << QStringList{"AFI: 195[0xC3]", "ＩＣ基準: 0xAB"};
}

void TestActionUtil::systemInfoLines()
{
    TagSystemInfoRec r;
    QFETCH(int, flags);
    QFETCH(int, afi);
    QFETCH(int, count);
    QFETCH(int, size);
    QFETCH(int, ic);
    r.infoFlags = uint8_t(flags);
    r.afi = uint8_t(afi);
    r.blockCountMinus1 = uint8_t(count);
    r.blockSizeMinus1 = uint8_t(size);
    r.icReference = uint8_t(ic);
    QTEST(SystemInfoLines(r), "lines");
}

void TestActionUtil::blockWriteRefusal_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("overhead");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("refused");
    QTest::newRow("multi 251 no uid") << 251 << 4 << 0x10 << false;
    QTest::newRow("multi 252 no uid") << 252 << 4 << 0x10 << true;
    QTest::newRow("multi 243 uid") << 243 << 4 << 0x11 << false;
    QTest::newRow("multi 244 uid") << 244 << 4 << 0x11 << true;
    QTest::newRow("64 blocks of 4") << 256 << 4 << 0x00 << true;
    QTest::newRow("uid mode 2 adds nothing") << 251 << 4 << 0x02 << false;
    QTest::newRow("single 4") << 4 << 3 << 0x00 << false;
    QTest::newRow("zero block size") << 0 << 3 << 0x00 << true;
}

void TestActionUtil::blockWriteRefusal()
{
    QFETCH(int, bytes);
    QFETCH(int, overhead);
    QFETCH(int, flags);
    QFETCH(bool, refused);
    const QString why = BlockWriteRefusal(bytes, overhead, uint8_t(flags));
    QCOMPARE(!why.isEmpty(), refused);
    if (refused && bytes > 0)
        QVERIFY2(why.contains(QString::number(bytes)), qPrintable(why));
}

QTEST_MAIN(TestActionUtil)
#include "test_action_util.moc"
