// Request frames as the reader receives them over loopback TCP, and the label
// line logged in front of each.
#include "loopback_reader.h"

#include <QtTest>
#include <cstring>
#include <functional>

using kx9::TTComXDlg;

namespace {

const uint8_t kUid[8] = {0x78, 0x56, 0x34, 0x12, 0x00, 0x01, 0x04, 0xE0};
const uint8_t kSid[4] = {0x11, 0x22, 0x33, 0x44};
const QByteArray kUidBytes(reinterpret_cast<const char *>(kUid), 8);

struct FrameCase {
    const char *name;
    std::function<bool(TTComXDlg &, LoopbackReader &)> send;
    const char *label;
    const char *frame;
    int gateAck = -1;   // sub-command a waiting gate command gets acknowledged with
};

const FrameCase kCases[] = {
    {"QUIT_command mode 1", [](TTComXDlg &m, LoopbackReader &) { return m.QUIT_command(1); },
     "QUIT_command: ", "02 01 51 01 01 03 59 0D"},
    {"ReadSingleBlock block 5 F 0x10 ID 0",
     [](TTComXDlg &m, LoopbackReader &) { m.comDebug().IDNo = 0; return m.ISO15693_ReadSingleBlock(5, 0x10); },
     "ISO15693_ReadSingleBlock: ", "02 00 78 03 20 05 10 03 B5 0D"},
    {"ReadSingleBlock with the UID", [](TTComXDlg &m, LoopbackReader &) { return m.ISO15693_ReadSingleBlock(5, 0x11); },
     "ISO15693_ReadSingleBlock: ", "02 01 78 0B 20 05 11 78 56 34 12 00 01 04 E0 03 B8 0D"},
    {"Buzzer sound 1 has LEN 2", [](TTComXDlg &m, LoopbackReader &) { return m.Buzzer_Command(0); },
     "Buzzer Command: ", "02 01 42 02 00 00 03 4A 0D"},
    {"RAM write n=1 pads five zeros",
     [](TTComXDlg &m, LoopbackReader &) { return m.RAM_Write_Command(0x0120, 1, 0xAB000000u); },
     "RAM Write Command: ", "02 01 4E 0A 92 01 20 01 AB 00 00 00 00 00 03 BD 0D"},
    {"RAM write n=4 pads two zeros",
     [](TTComXDlg &m, LoopbackReader &) { return m.RAM_Write_Command(0x0120, 4, 0x12345678u); },
     "RAM Write Command: ", "02 01 4E 0A 92 01 20 04 12 34 56 78 00 00 03 29 0D"},
    {"RAM write n=2 of a shifted 0x1234",
     [](TTComXDlg &m, LoopbackReader &) { return m.RAM_Write_Command(0x0120, 2, 0x1234u << 16); },
     "RAM Write Command: ", "02 01 4E 0A 92 01 20 02 12 34 00 00 00 00 03 59 0D"},
    {"RAM read is LEN 10", [](TTComXDlg &m, LoopbackReader &) { return m.RAM_Read_Command(0x0120, 8); },
     "RAM Read Command: ", "02 01 4F 0A 91 01 20 08 00 00 00 00 00 00 03 19 0D"},
    {"mode 0x51 carries LastBlockNo",
     [](TTComXDlg &m, LoopbackReader &r) { r.state.LastBlockNo = 7; return m.DousaModeSet_N(true, 0x51, 2, 3, 0x1234); },
     "DousaModeSet: ", "02 01 4E 07 10 51 02 03 01 07 00 03 C9 0D"},
    {"other modes send the polling time high byte first",
     [](TTComXDlg &m, LoopbackReader &r) { r.state.LastBlockNo = 7; return m.DousaModeSet_N(false, 0x01, 2, 3, 0x1234); },
     "DousaModeSet: ", "02 01 4E 07 00 01 02 03 01 12 34 03 A8 0D"},
    {"PolWrite UID mode 0", [](TTComXDlg &m, LoopbackReader &) { return m.PolWrite(3, hexBytes("AA BB"), 0x10, 5, 10); },
     "PolWrite: ", "02 01 4E 0C 00 23 00 05 01 00 0A 03 02 AA BB 10 03 0D 0D"},
    {"PolWrite UID mode 1 appends CurrentUid",
     [](TTComXDlg &m, LoopbackReader &) { return m.PolWrite(3, hexBytes("AA BB"), 0x11, 5, 10); },
     "PolWrite: ", "02 01 4E 14 00 23 00 05 01 00 0A 03 02 AA BB 11 78 56 34 12 00 01 04 E0 03 0F 0D"},
    {"PolWrite UID mode 2", [](TTComXDlg &m, LoopbackReader &) { return m.PolWrite(3, hexBytes("AA BB"), 0x12, 5, 10); },
     "PolWrite: ", "02 01 4E 0C 00 23 00 05 01 00 0A 03 02 AA BB 12 03 0F 0D"},
    {"PolWrite UID mode 3", [](TTComXDlg &m, LoopbackReader &) { return m.PolWrite(3, hexBytes("AA BB"), 0x13, 5, 10); },
     "PolWrite: ", "02 01 4E 0C 00 23 00 05 01 00 0A 03 02 AA BB 13 03 10 0D"},
    {"Tag-it SID poll mask low byte first",
     [](TTComXDlg &m, LoopbackReader &) { return m.TAGIT_SID_POLL_CMD(0, 24, 0x12345678u); },
     "TAGIT_SID_POLL_CMD: ", "02 01 75 07 0A 00 18 78 56 34 12 03 B8 0D"},
    {"Tag-it GetBlock appends CurrentSid, not CurrentUid",
     [](TTComXDlg &m, LoopbackReader &) { return m.TAGIT_GETBLOCK_CMD(9, 0x01); },
     "TAGIT_GETBLOCK_CMD: ", "02 01 75 07 01 09 01 11 22 33 44 03 37 0D"},
    {"GateProgModeComad sends ID 0 whatever IDNo",
     [](TTComXDlg &m, LoopbackReader &) { m.comDebug().IDNo = 5; return m.GateProgModeComad(); },
     "GateProgModeComad: ", "02 00 47 0A 9B 35 38 33 39 31 34 32 37 30 03 C8 0D", 0x9B},
    {"gate count write, counts low byte first",
     [](TTComXDlg &m, LoopbackReader &) { return m.GateWmcountvaluCmd(0x01020304u, 0x05060708u, 0x090A, 0x0B0C); },
     "GateWmcountvaluCmd: ", "02 01 47 0D 24 04 03 02 01 08 07 06 05 0A 09 0C 0B 03 CC 0D", 0x24},
    {"Inventory clears the UID-mode bits", [](TTComXDlg &m, LoopbackReader &) { return m.ISO15693_Inventory(0x43); },
     "ISO15693_Inventory: ", "02 01 78 02 01 40 03 C1 0D"},
    {"Inventory2 clears the UID-mode bits", [](TTComXDlg &m, LoopbackReader &) { return m.ISO15693_Inventory2(0x25, 1); },
     "ISO15693_Inventory2: ", "02 01 78 03 F0 24 01 03 96 0D"},
    {"StayQuiet always carries the UID",
     [](TTComXDlg &m, LoopbackReader &) { return m.StayQuiet(0x20, kUidBytes); },
     "StayQuiet: ", "02 01 78 0A 02 20 78 56 34 12 00 01 04 E0 03 A3 0D"},
    {"SelectTag always carries the UID",
     [](TTComXDlg &m, LoopbackReader &) { return m.ISO15693_SelectTag(0x00, kUidBytes); },
     "ISO15693_SelectTag: ", "02 01 78 0A 25 00 78 56 34 12 00 01 04 E0 03 A6 0D"},
    {"WriteSingleBlock B=4 F=0 is LEN 7",
     [](TTComXDlg &m, LoopbackReader &) { return m.ISO15693_WriteSingleBlock(3, "1234", 0x00); },
     "ISO15693_WriteSingleBlock: ", "02 01 78 07 21 03 31 32 33 34 00 03 73 0D"},
    {"WriteSingleBlock B=8 F=1 is LEN 19",
     [](TTComXDlg &m, LoopbackReader &r) { r.options.TagBlockSize = 8; return m.ISO15693_WriteSingleBlock(3, hexBytes("0102030405060708"), 0x01); },
     "ISO15693_WriteSingleBlock: ", "02 01 78 13 21 03 01 02 03 04 05 06 07 08 01 78 56 34 12 00 01 04 E0 03 D3 0D"},
    {"WriteMultiBlock two blocks of 4",
     [](TTComXDlg &m, LoopbackReader &) { return m.ISO15693_WriteMultiBlock(2, 1, hexBytes("0102030405060708"), 0x00); },
     "ISO15693_WriteMultiBlock: ", "02 01 78 0C 24 02 01 01 02 03 04 05 06 07 08 00 03 D5 0D"},
    {"RDLoopPol polling time low byte first",
     [](TTComXDlg &m, LoopbackReader &) { return m.RDLoopPol_Command(0x00, 0x05, 0x1234, 2, 4, 0); },
     "RDLoopPol Command: ", "02 01 78 08 F4 00 05 34 12 02 04 00 03 CB 0D"},
    {"16-slot read loop mask lowest byte first",
     [](TTComXDlg &m, LoopbackReader &) { return m.Read_Loop_Command_F1(0x81, true, 7, 16, 0x0102030405060708ull); },
     "Read Loop Command: ", "02 01 78 0D F1 81 20 07 10 08 07 06 05 04 03 02 01 03 58 0D"},
    {"block read loop always carries the UID",
     [](TTComXDlg &m, LoopbackReader &) { return m.Read_Loop_Command_F2(0x81, 0x11, 2, 4, 0); },
     "Read Loop Command: ", "02 01 78 0E F2 81 11 02 04 00 78 56 34 12 00 01 04 E0 03 0F 0D"},
    {"unknown DousaModeSet(N) sub-command still sent", [](TTComXDlg &m, LoopbackReader &) { return m.DousaModeSetN(0x05); },
     "??? command(N): ", "02 01 4F 01 05 03 5B 0D"},
    {"S6700ModeSet(N) label", [](TTComXDlg &m, LoopbackReader &) { return m.DousaModeSetN(0x09); },
     "S6700ModeSet(N): ", "02 01 4F 01 09 03 5F 0D"},
    {"EEPROM word write", [](TTComXDlg &m, LoopbackReader &) { return m.EEPROM_RDWR_CMD_TX(1, 2, hexBytes("A1A2B1B2")); },
     "EEPROM_RDWR_CMD TX: ", "02 01 4E 07 70 01 02 A1 A2 B1 B2 03 74 0D"},
    {"ROM version query label", [](TTComXDlg &m, LoopbackReader &) { return m.RomVersionQuery(); },
     "ＲＯＭのバージョン情報", "02 01 4F 02 90 00 03 E7 0D"},
    {"model name query label", [](TTComXDlg &m, LoopbackReader &) { return m.ModelNameQuery(); },
     "機種名（ModelName）の取得", "02 01 4F 01 93 03 E9 0D"},
    {"SLI inventory read has no identifier",
     [](TTComXDlg &m, LoopbackReader &) { return m.SLI_InventoryRead(0, 3, 0x51, 7); },
     "SLI_InventoryRead: ", "02 01 78 05 C0 00 03 51 07 03 9E 0D"},
    {"TI kill carries UID and password",
     [](TTComXDlg &m, LoopbackReader &) { return m.TI_KillCommand(0x11, kUidBytes, hexBytes("01020304")); },
     "TI_KillCommand: ", "02 01 78 0E A8 11 78 56 34 12 00 01 04 E0 01 02 03 04 03 48 0D"},
    {"set current UID in wire order", [](TTComXDlg &m, LoopbackReader &) { return m.UID_RDWR_CMD_N(kUidBytes); },
     "UID_RDWR_CMD: ", "02 01 4E 09 50 78 56 34 12 00 01 04 E0 03 A6 0D"},
    {"raw request with its CRC appended low byte first",
     [](TTComXDlg &m, LoopbackReader &) {
         QByteArray raw = hexBytes("03 20 00");
         kx9::AppendIsoCrc16(raw);
         return m.ISO15693_CommCmd(raw);
     },
     "ISO15693_CommCmd: ", "02 01 78 05 03 20 00 9B 0A 03 4B 0D"},
};

} // namespace

class TestCommandFrames : public QObject {
    Q_OBJECT

private slots:
    void frameOnTheWire_data();
    void frameOnTheWire();
    void dataWriteIsCutTo250Bytes_data();
    void dataWriteIsCutTo250Bytes();
    void oversizeDataIsRefused();
    void optionFlagMarker();
    void isoCrc16CheckValue();
};

void TestCommandFrames::frameOnTheWire_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kCases)); ++i)
        QTest::newRow(kCases[i].name) << i;
}

void TestCommandFrames::frameOnTheWire()
{
    QFETCH(int, index);
    const FrameCase &c = kCases[index];
    LoopbackReader r;
    QVERIFY(r.connected());
    std::memcpy(r.state.CurrentUid, kUid, 8);
    std::memcpy(r.state.CurrentSid, kSid, 4);
    if (c.gateAck >= 0)
        r.script << replyFrame(0, '0', QByteArray(1, char(c.gateAck)));
    const int from = int(r.log.lines.size());

    QVERIFY(c.send(*r.module, r));

    const QByteArray wire = r.nextRequest();
    QCOMPARE(hexText(wire), QString::fromLatin1(c.frame));
    const QStringList lines = r.logSince(from);
    QVERIFY2(lines.size() >= 2, qPrintable(lines.join('|')));
    QCOMPARE(lines[0], QString::fromUtf8(c.label));
    QCOMPARE(lines[1], hexText(wire) + QLatin1Char(' '));
    QCOMPARE(r.module->LastCommandCode(), uint8_t(wire[2]));
}

void TestCommandFrames::dataWriteIsCutTo250Bytes_data()
{
    QTest::addColumn<int>("n");
    QTest::newRow("250 bytes all sent") << 250;
    QTest::newRow("253 bytes, first 250 sent") << 253;
}

void TestCommandFrames::dataWriteIsCutTo250Bytes()
{
    QFETCH(int, n);
    LoopbackReader r;
    QByteArray data;
    for (int i = 0; i < n; ++i)
        data.append(char(i));
    QVERIFY(r.module->DousaModeSet_J(data));
    const QByteArray wire = r.nextRequest();
    QCOMPARE(wire.size(), 254 + 7);
    QCOMPARE(uint8_t(wire[2]), uint8_t('J'));
    QCOMPARE(uint8_t(wire[3]), uint8_t(254));
    QCOMPARE(wire.mid(4, 4), QByteArray(4, '\0'));
    QCOMPARE(wire.mid(8, 250), data.left(250));
    QCOMPARE(uint8_t(wire[258]), uint8_t(0x03));
}

void TestCommandFrames::oversizeDataIsRefused()
{
    LoopbackReader r;
    // (n+1) x B = 256 data bytes cannot be framed: refused, logged, nothing sent.
    const int from = int(r.log.lines.size());
    QVERIFY(!r.module->ISO15693_WriteMultiBlock(0, 63, QByteArray(256, 'a'), 0x00));
    QVERIFY(!r.module->ISO15693_CommCmd(QByteArray(256, 'b')));
    QVERIFY(r.wireStaysQuiet());
    const QStringList lines = r.logSince(from);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith(QStringLiteral("ISO15693_WriteMultiBlock: ")));
    QVERIFY(lines[1].startsWith(QStringLiteral("ISO15693_CommCmd: ")));
    // 255 bytes still go out whole.
    QVERIFY(r.module->ISO15693_CommCmd(QByteArray(255, 'c')));
    QCOMPARE(r.nextRequest().size(), 262);
}

void TestCommandFrames::optionFlagMarker()
{
    LoopbackReader r;
    auto &m = *r.module;
    m.ISO15693_ReadSingleBlock(0, 0x10);
    QCOMPARE(m.OptionFlagMarker, 1);
    // Commands that read no block data leave the marker as it is.
    m.ISO15693_GetSystemInfo(0x00);
    m.ISO15693_ReadBytes(0, 4, 0x00);
    QCOMPARE(m.OptionFlagMarker, 1);
    m.ISO15693_ReadMultiBlock(0, 1, 0x00);
    QCOMPARE(m.OptionFlagMarker, 0);
    m.TI_InventoryRead(0, 0x10, 0);
    QCOMPARE(m.OptionFlagMarker, 1);
    m.TI_InventoryMultiRead(0, 1, 0x40, 0);
    QCOMPARE(m.OptionFlagMarker, 0);
    m.SLI_FastInventoryRead(0, 1, 0x50, 0);
    QCOMPARE(m.OptionFlagMarker, 1);
}

void TestCommandFrames::isoCrc16CheckValue()
{
    QCOMPARE(kx9::IsoCrc16(QByteArrayLiteral("123456789")), uint16_t(0x906E));
    QCOMPARE(kx9::IsoCrc16(hexBytes("03 20 00")), uint16_t(0x0A9B));
    QCOMPARE(kx9::IsoCrc16(QByteArray()), uint16_t(0x0000));
}

QTEST_MAIN(TestCommandFrames)
#include "test_command_frames.moc"
