// The viewer's decisions without a window: maker names, the plan for each
// chip, the chunked plan's requests, the hex text in both directions, and the
// dump files and comparison.
#include "runner/tag_data.h"

#include <QTest>

using namespace kx9;

Q_DECLARE_METATYPE(ReadPlan)

namespace {
QString requests(const QList<ChunkRequest> &list)
{
    QStringList out;
    for (const ChunkRequest &r : list)
        out << QStringLiteral("%1/%2").arg(r.firstBlock).arg(r.field);
    return out.join(QLatin1Char(' '));
}
} // namespace

class TestTagData : public QObject {
    Q_OBJECT
private slots:
    void manufacturer_data();
    void manufacturer();
    void plan_data();
    void plan();
    void chunkPlans_data();
    void chunkPlans();
    void hexText();
    void csvAndHexDump();
    void compare();
};

void TestTagData::manufacturer_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("ST") << 0x02 << "STMicroelectronics";
    QTest::newRow("Philips") << 0x04 << "Philips";
    QTest::newRow("Infineon") << 0x05 << "Infineon Technologies";
    QTest::newRow("TI") << 0x07 << "Texas Instruments";
    QTest::newRow("Fujitsu") << 0x08 << "Fujitsu";
    QTest::newRow("0x16") << 0x16 << "Unknown";
    QTest::newRow("none") << 0x00 << "Unknown";
}

void TestTagData::manufacturer()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(ManufacturerName(uint8_t(code)), name);
}

void TestTagData::plan_data()
{
    QTest::addColumn<int>("maker");
    QTest::addColumn<int>("byte5");
    QTest::addColumn<bool>("sysInfo");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("param");
    QTest::addColumn<ReadPlan>("plan");
    QTest::newRow("my-d 15x4") << 0x05 << 0x01 << false << 15 << 4 << false << ReadPlan::SingleNoSec;
    QTest::newRow("my-d 128x8") << 0x05 << 0x10 << false << 128 << 8 << false << ReadPlan::Chunks;
    QTest::newRow("ST 16x4") << 0x02 << 0x00 << false << 16 << 4 << true << ReadPlan::SingleWithSec;
    QTest::newRow("TI C4") << 0x07 << 0xC4 << false << 12 << 4 << true << ReadPlan::TiBlocks;
    // Bit 0 of a TI chip byte does not count: 0x81 is the 0x80 chip.
    QTest::newRow("TI 81") << 0x07 << 0x81 << true << 0 << 0 << true << ReadPlan::Chunks;
    QTest::newRow("TI 01") << 0x07 << 0x01 << true << 0 << 0 << true << ReadPlan::Chunks;
    QTest::newRow("Philips") << 0x04 << 0x01 << true << 0 << 0 << true << ReadPlan::Chunks;
    QTest::newRow("Fujitsu") << 0x08 << 0x01 << true << 0 << 0 << true << ReadPlan::SingleWithSec;
    QTest::newRow("maker 0x16") << 0x16 << 0x00 << true << 0 << 0 << true << ReadPlan::SingleWithSec;
}

void TestTagData::plan()
{
    QFETCH(int, maker);
    QFETCH(int, byte5);
    QFETCH(bool, sysInfo);
    QFETCH(int, count);
    QFETCH(int, size);
    QFETCH(bool, param);
    QFETCH(ReadPlan, plan);
    const TagPlanChoice c = ChooseTagPlan(uint8_t(maker), ViewChipCode(uint8_t(maker), uint8_t(byte5)));
    QCOMPARE(c.fromSystemInfo, sysInfo);
    QCOMPARE(c.blockCount, count);
    QCOMPARE(c.blockSize, size);
    QCOMPARE(c.setBlockSizeParam, param);
    QCOMPARE(c.plan, plan);
}

void TestTagData::chunkPlans_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("reads");      // first block / byte count
    QTest::addColumn<QString>("security");   // first block / count field
    QTest::newRow("28 x 4") << 28 << 4 << "0/112" << "0/27";
    QTest::newRow("200 x 8") << 200 << 8
                             << "0/128 16/128 32/128 48/128 64/128 80/128 96/128 112/128 128/128 144/128 160/128 "
                                "176/128 192/64"
                             << "0/127 128/71";
    QTest::newRow("256 x 4") << 256 << 4 << "0/128 32/128 64/128 96/128 128/128 160/128 192/128 224/128"
                             << "0/127 128/127";
    QTest::newRow("128 x 8") << 128 << 8 << "0/128 16/128 32/128 48/128 64/128 80/128 96/128 112/128" << "0/127";
    QTest::newRow("odd size 3") << 50 << 3 << "0/126 42/24" << "0/49";
    QTest::newRow("one block") << 1 << 32 << "0/32" << "0/0";
}

void TestTagData::chunkPlans()
{
    QFETCH(int, blocks);
    QFETCH(int, size);
    QFETCH(QString, reads);
    QFETCH(QString, security);
    QCOMPARE(requests(ChunkReads(blocks, size)), reads);
    QCOMPARE(requests(SecurityReads(blocks)), security);
}

void TestTagData::hexText()
{
    const QByteArray b = QByteArray::fromHex("01020304");
    QCOMPARE(BlockHexText(b, true), QString("04 03 02 01 "));
    QCOMPARE(BlockHexText(b, false), QString("01 02 03 04 "));
    QCOMPARE(BlockCharText(QByteArray("AB\0\x01" "C", 5)), QString("AB..C"));
}

void TestTagData::csvAndHexDump()
{
    TagDump d;
    d.uid = QByteArray::fromHex("78563412000104E0");
    d.maker = 0x04;
    d.blockSize = 4;
    d.blocks.resize(5);
    d.blocks[0] = {true, QByteArray("HELL"), true, 0x00};
    d.blocks[1] = {true, QByteArray::fromHex("4F000102"), true, 0x01};
    d.blocks[3] = {true, QByteArray::fromHex("0A0B0C0D"), false, 0};
    QCOMPARE(DumpCsv(d), QByteArray("Block,Data(Hex),Security\r\n0,48454C4C,00\r\n1,4F000102,01\r\n3,0A0B0C0D,\r\n"));
    const QList<QByteArray> lines = DumpHex(d).split('\n');
    QCOMPARE(lines.at(0), QByteArray("UID: E0 04 01 00 12 34 56 78\r"));
    QCOMPARE(lines.at(1), QByteArray("Tag Manufacturer: Philips\r"));
    // Block 2 and 4 were not read: their bytes show as "--".
    QCOMPARE(lines.at(3), QByteArray("0000: 48 45 4C 4C 4F 00 01 02 -- -- -- -- 0A 0B 0C 0D  HELLO...........\r"));
    QCOMPARE(lines.at(4), QByteArray("0010: -- -- -- --                                      ....\r"));
}

void TestTagData::compare()
{
    TagDump a;
    a.blocks.resize(4);
    a.blocks[0] = {true, QByteArray("ABCD"), true, 0};
    a.blocks[1] = {true, QByteArray("EFGH"), true, 0};
    a.blocks[2] = {true, QByteArray("IJKL"), true, 0};
    TagDump b = a;
    QVERIFY(CompareDumps(a, b).isEmpty());
    b.blocks[1].data = QByteArray("EFGX");   // data changed
    b.blocks[2].security = 1;                // locked in between
    b.blocks[3] = {true, QByteArray("MNOP"), true, 0};   // read only the second time
    QCOMPARE(CompareDumps(a, b), (QList<int>{1, 2, 3}));
}

QTEST_GUILESS_MAIN(TestTagData)
#include "test_tag_data.moc"
