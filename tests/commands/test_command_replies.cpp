// Replies written by the loopback reader, drained by the real receiver and
// routed to the decoders: the log lines, the tag list, the kept values, and
// the outcomes of the operations that wait for their reply.
#include "loopback_reader.h"

#include "link/tag_list.h"

#include <QSignalSpy>
#include <QtTest>
#include <cstring>
#include <functional>

using kx9::TTComXDlg;

namespace {

const QByteArray kUid = hexBytes("78 56 34 12 00 01 04 E0");
const QString kUidText = QStringLiteral("E0 04 01 00 12 34 56 78 ");
const QString kWireUidText = QStringLiteral("78 56 34 12 00 01 04 E0 ");

QByteArray ack(const QByteArray &data) { return replyFrame(1, '0', data); }
QByteArray nack(const QByteArray &data) { return replyFrame(1, '1', data); }

void setTagItMode(kx9::AppOptions &o, bool on)
{
    o.S6700Conf = uint8_t((o.S6700Conf & ~0x0E) | ((on ? 4 : 2) << 1));
}

using Send = std::function<void(TTComXDlg &)>;

struct DecodeCase {
    const char *name;
    Send send;
    QByteArray reply;
    QStringList lines;
};

QList<DecodeCase> decodeCases()
{
    const Send inventory = [](TTComXDlg &m) { m.ISO15693_Inventory(0x00); };
    const Send readBlock = [](TTComXDlg &m) { m.ISO15693_ReadSingleBlock(0, 0x00); };
    const Send readBlockOpt = [](TTComXDlg &m) { m.ISO15693_ReadSingleBlock(0, 0x10); };
    const Send readUid = [](TTComXDlg &m) { m.UID_RDWR_CMD_O(); };
    const Send query = [](TTComXDlg &m) { m.GETUIDNUMBER_CMD(); };
    return {
        {"Inventory: DSFID decimal and hex, UID in wire order", inventory,
         ack(hexBytes("01 17") + kUid),
         {"ISO15693_Inventory受信", "DSFID: 23[0x17]", "UID(hex): " + kWireUidText}},
        {"'O' 0x50: UID text last byte first", readUid, ack(hexBytes("50") + kUid), {"UID: " + kUidText}},
        {"'O' 0x54", query, ack(hexBytes("54 01 00") + kUid), {"GETUIDDATA_CMD受信", "UID: " + kUidText}},
        {"'O' 0x53", query, ack(hexBytes("53 03")), {"GETUIDNUMBER_CMD受信", "受信UID数: 3"}},
        {"'O' 0x90 drops zero bytes", query, ack(hexBytes("90 31 00 32 31")), {"ROMバージョン取得", "121"}},
        {"'O' 0x93 decodes CP932", query, ack(hexBytes("93 83 65 83 58 83 67")), {"機種名の取得", "テスト"}},
        {"'O' 0x9F", query, ack(hexBytes("9F 0A")), {"PORTDATA: 0x0A"}},
        {"'O' 0x9C", query, ack(hexBytes("9C 01")), {"SELANTENA_CMD受信"}},
        {"'O' unknown sub-command", query, ack(hexBytes("77 01")), {}},
        {"'O' ACK without DATA", query, ack(QByteArray()), {}},
        {"'N' 0x00", [](TTComXDlg &m) { m.ERR_RATE_CMD_TX(); }, ack(hexBytes("00")), {"DousaModeSet_CMD受信"}},
        {"'u' 0x09", [](TTComXDlg &m) { m.TAGIT_QUIET_CMD(0); }, ack(hexBytes("09")), {"S6700ModeSet_CMD受信"}},
        {"'R' bytes as decimals", [](TTComXDlg &m) { m.Simple_Read_Command(); }, ack(hexBytes("01 17 04")), {"1234"}},
        {"'Q' has no decoder", [](TTComXDlg &m) { m.QUIT_command(1); }, ack(hexBytes("00")), {}},
        {"ReadSingleBlock without the option flag", readBlock, ack(hexBytes("20 31 32 33 34")),
         {"ISO15693_ReadSingleBlock受信", "data(Hex): 31 32 33 34 ", "data: 1234"}},
        {"ReadSingleBlock with the option flag", readBlockOpt, ack(hexBytes("20 05 31 32 33 34")),
         {"ISO15693_ReadSingleBlock受信", "Block Security data: 0x05", "data(Hex): 31 32 33 34 ", "data: 1234"}},
        {"ReadSingleBlock reply cut short shows what arrived", readBlock, ack(hexBytes("20 31 32")),
         {"ISO15693_ReadSingleBlock受信", "data(Hex): 31 32 ", "data: 12"}},
        {"ReadMultiBlock LEN 9", readBlock, ack(hexBytes("23 41 42 43 44 45 46 47 48")),
         {"ISO15693_ReadMultiBlock受信", "data: ABCDEFGH"}},
        {"GetSystemInfo fields in flag order", readBlock, ack(hexBytes("2B 0F") + kUid + hexBytes("17 07 1F 03 01")),
         {"DSFID: 23[0x17]", "ISO15693_GetSystemInfo受信", "UID(hex): " + kWireUidText}},
        {"my-d read", readBlock, ack(hexBytes("B0 41 42 43 44 45 46 47 48")),
         {"Myd_ReadCommand OK", "data(Hex): 41 42 43 44 45 46 47 48 ", "data: ABCDEFGH"}},
        {"write acknowledged", readBlock, ack(hexBytes("29")), {"ISO15693_WrietDSFID受信"}},
        {"StayQuiet acknowledged", readBlock, ack(hexBytes("02")), {"ISO15693_StayQuit受信"}},
        {"Inventory2 count", readBlock, ack(hexBytes("F0 02")), {"受信UID数: 2"}},
        {"lock bytes", readBlock, ack(hexBytes("F3")), {"ISO15693_LockBytes OK"}},
        {"NACK 05 12", readBlock, nack(hexBytes("05 12")),
         {"The specified block is locked and its content cannot be changed."}},
        {"NACK 05 02 as written", readBlock, nack(hexBytes("05 02")),
         {"he command is not recognised, for example: a format error occurred."}},
        {"NACK 05 10 curly apostrophe", readBlock, nack(hexBytes("05 10")),
         {"The specified block is not available (doesn’t exist)."}},
        {"NACK 05 55", readBlock, nack(hexBytes("05 55")), {"? 'DF' Custom command error codes"}},
        {"NACK 05 without ISO code", readBlock, nack(hexBytes("05")), {"? 'DF' Custom command error codes"}},
        {"NACK 07", readBlock, nack(hexBytes("07")), {"??? NACK受信"}},
        {"NACK 43", readBlock, nack(hexBytes("43")), {"コマンドのＩＤ値のエラー"}},
        {"NACK 01", readBlock, nack(hexBytes("01")), {"CRCエラー"}},
        {"kind 'Z'", readBlock, replyFrame(1, 'Z', hexBytes("20 31")), {"レスポンスフォーマットエラー"}},
    };
}

} // namespace

class TestCommandReplies : public QObject {
    Q_OBJECT

private slots:
    void decodedLines_data();
    void decodedLines();
    void keptValues();
    void lastReadDataOverwrittenFromItsStart();
    void reportsFillTheTagList();
    void gateCountReportNeedsThirteenBytes();
    void ownWaitQuery_data();
    void ownWaitQuery();
    void queryOutputs();
    void queryOnALostLinkTimesOut();
    void romVersionCompare_data();
    void romVersionCompare();
    void gateCountValues2_data();
    void gateCountValues2();
    void gateReplyChecks();
};

void TestCommandReplies::decodedLines_data()
{
    QTest::addColumn<int>("index");
    const QList<DecodeCase> cases = decodeCases();
    for (int i = 0; i < cases.size(); ++i)
        QTest::newRow(cases[i].name) << i;
}

void TestCommandReplies::decodedLines()
{
    QFETCH(int, index);
    const DecodeCase c = decodeCases().at(index);
    LoopbackReader r;
    QVERIFY(r.connected());
    c.send(*r.module);
    QVERIFY(!r.nextRequest().isEmpty());
    const int from = int(r.log.lines.size());
    QVERIFY(r.deliver(c.reply));
    QCOMPARE(r.logSince(from), c.lines);
}

void TestCommandReplies::keptValues()
{
    LoopbackReader r;
    auto &m = *r.module;

    m.ISO15693_GetSystemInfo(0x00);
    r.nextRequest();
    QVERIFY(r.deliver(ack(hexBytes("2B 0E") + kUid + hexBytes("07 1F 23 01"))));
    // DSFID flag clear: AFI, memory size and IC reference follow the UID directly.
    QCOMPARE(r.state.TagSystemInfo.infoFlags, uint8_t(0x0E));
    QCOMPARE(r.state.TagSystemInfo.afi, uint8_t(0x07));
    QCOMPARE(r.state.TagSystemInfo.blockCountMinus1, uint8_t(0x1F));
    QCOMPARE(r.state.TagSystemInfo.blockSizeMinus1, uint8_t(0x03));
    QCOMPARE(r.state.TagSystemInfo.icReference, uint8_t(0x01));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.state.CurrentUid), 8), kUid);

    m.RomVersionQuery();
    r.nextRequest();
    QVERIFY(r.deliver(ack(hexBytes("90 31 32 31 20 4B 58"))));
    QCOMPARE(m.RomVersionText, QStringLiteral("121 KX"));

    m.ISO15693_ReadSingleBlock(0, 0x10);
    r.nextRequest();
    QVERIFY(r.deliver(ack(hexBytes("20 01 57 58 59 5A"))));
    QCOMPARE(m.LastReadSecurity, uint8_t(0x01));
    QCOMPARE(m.LastReadData.left(4), QByteArray("WXYZ"));

    // An 'O' 0x50 reply cut before the eighth UID byte leaves CurrentUid alone.
    m.UID_RDWR_CMD_O();
    r.nextRequest();
    QVERIFY(r.deliver(ack(hexBytes("50 01 02 03"))));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.state.CurrentUid), 8), kUid);
}

void TestCommandReplies::lastReadDataOverwrittenFromItsStart()
{
    LoopbackReader r;
    auto &m = *r.module;
    m.ISO15693_ReadMultiBlock(0, 1, 0x00);
    r.nextRequest();
    QVERIFY(r.deliver(ack(hexBytes("23 41 42 43 44 45 46 47 48"))));
    QCOMPARE(m.LastReadCount, 8);
    m.ISO15693_ReadSingleBlock(0, 0x00);
    r.nextRequest();
    QVERIFY(r.deliver(ack(hexBytes("20 57 58 59 5A"))));
    QCOMPARE(m.LastReadCount, 4);
    QCOMPARE(m.LastReadData.left(8), QByteArray("WXYZEFGH"));
}

void TestCommandReplies::reportsFillTheTagList()
{
    LoopbackReader r;
    kx9::TagList &list = r.module->tagList();
    setTagItMode(r.options, false);

    // 'd': UID text last byte first, data as text; a repeat only counts.
    QVERIFY(r.deliver(replyFrame(1, 'd', kUid + "ABC")));
    QVERIFY(r.deliver(replyFrame(1, 'd', kUid + "ABC")));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.entry(0).uidText, kUidText);
    QCOMPARE(list.entry(0).dataText, QStringLiteral("ABC"));
    QCOMPARE(list.entry(0).readCount, 2);

    // 'D' outside Tag-it mode: the zero byte adds nothing.
    QVERIFY(r.deliver(replyFrame(1, 'D', hexBytes("41 00 42"))));
    QCOMPARE(list.entry(1).dataText, QStringLiteral("AB"));
    QCOMPARE(list.entry(1).uidText, QString());

    // 'L': UID and data; 'i' announcing 3 UIDs with LEN 19: only two fit.
    QVERIFY(r.deliver(replyFrame(1, 'L', hexBytes("01 02 03 04 05 06 07 08 5A"))));
    QCOMPARE(list.entry(2).uidText, QStringLiteral("08 07 06 05 04 03 02 01 "));
    QCOMPARE(list.entry(2).dataText, QStringLiteral("Z"));
    QVERIFY(r.deliver(replyFrame(1, 'i', hexBytes("03 00 00 11 11 11 11 11 11 11 11 22 22 22 22 22 22 22 22"))));
    QCOMPARE(list.count(), 5);
    QCOMPARE(list.entry(3).uidText, QStringLiteral("11 11 11 11 11 11 11 11 "));
    QCOMPARE(list.entry(4).uidText, QStringLiteral("22 22 22 22 22 22 22 22 "));
    QCOMPARE(list.entry(4).dataText, QString());
    QCOMPARE(r.state.CurrentUid[0], uint8_t(0x22));

    // Tag-it mode: a 4-byte identifier, data text ending at the first zero byte.
    setTagItMode(r.options, true);
    QVERIFY(r.deliver(replyFrame(1, 'd', hexBytes("11 22 33 44 41 42 00 43"))));
    QCOMPARE(list.entry(5).uidText, QStringLiteral("44 33 22 11 "));
    QCOMPARE(list.entry(5).dataText, QStringLiteral("AB"));
    QCOMPARE(r.state.CurrentSid[3], uint8_t(0x44));
    QVERIFY(r.deliver(replyFrame(1, 'D', hexBytes("41 00 42"))));
    QCOMPARE(list.entry(6).dataText, QStringLiteral("A"));
    QCOMPARE(list.count(), 7);
}

void TestCommandReplies::gateCountReportNeedsThirteenBytes()
{
    LoopbackReader r;
    QSignalSpy spy(r.module.get(), &kx9::CommModule::gateCountReport);
    QVERIFY(r.deliver(replyFrame(1, 'G', hexBytes("80") + QByteArray(11, '\x01'))));
    QCOMPARE(r.module->ResponseWaitState(), 9);
    QCOMPARE(spy.count(), 0);
    QVERIFY(r.deliver(replyFrame(1, 'G', hexBytes("80") + QByteArray(12, '\x02'))));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 10);
    QCOMPARE(spy.at(0).at(2).toByteArray(), QByteArray(12, '\x02'));
}

void TestCommandReplies::ownWaitQuery_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("ACK with the echo") << ack(hexBytes("70 01 02 A1 A2 B1 B2")) << true << QStringList();
    QTest::newRow("echo of another address") << ack(hexBytes("70 02 02 A1 A2 B1 B2")) << false << QStringList();
    QTest::newRow("echo of another count") << ack(hexBytes("70 01 01 A1 A2")) << false << QStringList();
    QTest::newRow("ACK too short for the words") << ack(hexBytes("70 01 02 A1 A2")) << false << QStringList();
    QTest::newRow("NACK") << nack(hexBytes("41")) << false << QStringList{"データ数エラー", "NACK 受信"};
    QTest::newRow("data report first counts as NACK")
        << replyFrame(1, 'D', "AB") << false << QStringList{"NACK 受信"};
    QTest::newRow("no reply") << QByteArray() << false << QStringList{"レスポンス待ち　タイムオーバー"};
}

void TestCommandReplies::ownWaitQuery()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, ok);
    QFETCH(QStringList, lines);
    LoopbackReader r;
    if (!reply.isEmpty())
        r.script << reply;
    QByteArray words = "unchanged";
    const int from = int(r.log.lines.size());
    QCOMPARE(r.module->EEPROM_RDWR_CMD_RX(1, 2, words), ok);
    QCOMPARE(hexText(r.nextRequest()), QStringLiteral("02 01 4F 03 70 01 02 03 CB 0D"));
    QCOMPARE(words, ok ? hexBytes("A1 A2 B1 B2") : QByteArray("unchanged"));
    QCOMPARE(r.logSince(from + 2), lines);
}

void TestCommandReplies::queryOutputs()
{
    LoopbackReader r;
    auto &m = *r.module;

    uint8_t mode = 0, mode2 = 0, flags = 0;
    r.script << ack(hexBytes("00 24 05 81"));
    QVERIFY(m.DousaModeSet_O(mode, mode2, flags));
    QCOMPARE(mode, uint8_t(0x24));
    QCOMPARE(mode2, uint8_t(0x05));
    QCOMPARE(flags, uint8_t(0x81));

    uint32_t good = 0, bad = 0;
    r.script << ack(hexBytes("60 04 03 02 01 0D 0C 0B 0A"));
    QVERIFY(m.ERR_RATE_CMD_RX(good, bad));
    QCOMPARE(good, 0x01020304u);
    QCOMPARE(bad, 0x0A0B0C0Du);

    uint8_t value = 0;
    r.script << ack(hexBytes("AC 08"));
    QVERIFY(m.RXParamData(0xAC, value));
    QCOMPARE(value, uint8_t(8));
    r.script << ack(hexBytes("AD 08"));
    QVERIFY(!m.RXParamData(0xAC, value));

    r.script << ack(hexBytes("56 5A"));
    QCOMPARE(m.CNT_EXT2PORT_O(), uint8_t(0x5A));
    r.script << nack(hexBytes("44"));
    QCOMPARE(m.CNT_EXT2PORT_O(), uint8_t(0));

    r.script << ack(hexBytes("9F 06"));
    QCOMPARE(m.Port_Read_Command(), uint8_t(0x06));
    QCOMPARE(m.PortDataByte, uint8_t(0x06));
}

void TestCommandReplies::queryOnALostLinkTimesOut()
{
    LoopbackReader r;
    r.server.close();
    r.peer->abort();
    QVERIFY(LoopbackReader::pumpUntil([&r] { return !r.module->Connected(); }));
    QByteArray words;
    const int from = int(r.log.lines.size());
    QVERIFY(!r.module->EEPROM_RDWR_CMD_RX(1, 2, words));
    QVERIFY2(r.logSince(from).contains(QStringLiteral("レスポンス待ち　タイムオーバー")),
             qPrintable(r.logSince(from).join('|')));
}

void TestCommandReplies::romVersionCompare_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("result");
    QTest::newRow("121 equal") << ack(QByteArray("\x90") + "121 KX9") << 0;
    QTest::newRow("120 older") << ack(QByteArray("\x90") + "120") << -1;
    QTest::newRow("130 newer") << ack(QByteArray("\x90") + "130") << 1;
    QTest::newRow("no three digits") << ack(QByteArray("\x90") + "V1.2") << -1;
    QTest::newRow("NACK") << nack(hexBytes("44")) << -1;
}

void TestCommandReplies::romVersionCompare()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, result);
    LoopbackReader r;
    r.script << reply;
    QCOMPARE(r.module->RomVersionCompare(121), result);
    QCOMPARE(hexText(r.nextRequest()), QStringLiteral("02 01 4F 02 90 00 03 E7 0D"));
}

void TestCommandReplies::gateCountValues2_data()
{
    QTest::addColumn<int>("len");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("count");
    QTest::newRow("LEN 36 fails") << 36 << false << 0;
    QTest::newRow("LEN 37 gives 36 bytes") << 37 << true << 36;
    QTest::newRow("LEN 60 gives 49 bytes") << 60 << true << 49;
}

void TestCommandReplies::gateCountValues2()
{
    QFETCH(int, len);
    QFETCH(bool, ok);
    QFETCH(int, count);
    LoopbackReader r;
    QByteArray data("\x0B");
    for (int i = 1; i < len; ++i)
        data.append(char(i));
    r.script << ack(data);
    QByteArray out;
    int n = 0;
    QCOMPARE(r.module->GateRmcountvaluCmd2(out, n), ok);
    QCOMPARE(n, count);
    QCOMPARE(out, data.mid(1, count));
}

void TestCommandReplies::gateReplyChecks()
{
    LoopbackReader r;
    auto &m = *r.module;

    uint16_t a = 0, b = 0, c = 0;
    r.script << ack(hexBytes("07 01 00 02 00 03 00"));
    QVERIFY(!m.GateRmcountmodeCmd(a, b, c));   // another sub-command echoed
    QCOMPARE(a, uint16_t(0));
    r.script << ack(hexBytes("06 01 02 03 04 05 06"));
    QVERIFY(m.GateRmcountmodeCmd(a, b, c));
    QCOMPARE(a, uint16_t(0x0201));
    QCOMPARE(c, uint16_t(0x0605));

    uint32_t p1 = 0, p2 = 0;
    uint16_t a1 = 0, a2 = 0;
    r.script << ack(hexBytes("07 01 00 00 00 02 00 00 00 03 00 04"));   // LEN 12: too short
    QVERIFY(!m.GateRmcountvaluCmd(p1, p2, a1, a2));
    r.script << ack(hexBytes("07 01 00 00 00 02 00 00 00 03 00 04 00"));
    QVERIFY(m.GateRmcountvaluCmd(p1, p2, a1, a2));
    QCOMPARE(p2, 2u);
    QCOMPARE(a2, uint16_t(4));

    // The volume sits in DATA[1]: a one-byte reply cannot carry it.
    uint8_t volume = 99;
    r.script << ack(hexBytes("0C"));
    QVERIFY(!m.GateGetSPKVolumeCmd(volume));
    QCOMPARE(volume, uint8_t(99));

    QByteArray words;
    r.script << ack(hexBytes("01 01 02 AA BB CC DD"));
    QVERIFY(m.GateGetEEPROMCmd(1, 2, words));
    QCOMPARE(words, hexBytes("AA BB CC DD"));

    // The 3-byte display write waits for the ACK state only: a NACK first does not end it.
    r.script << nack(hexBytes("44")) + ack(hexBytes("26"));
    QVERIFY(m.GateSetDispOutStateCmd_26(hexBytes("01 02 03")));

    const int from = int(r.log.lines.size());
    r.script << ack(hexBytes("90 31"));
    QVERIFY(m.GateRomVersionQuery());
    QVERIFY(r.logSince(from).contains(QStringLiteral("ＲＯＭのバージョン情報 取得ＯＫ")));
    // ID-0 gate rows: the reader ID byte is 0 whatever IDNo says.
    uint8_t speed = 0;
    r.requests.clear();
    r.script << replyFrame(0, '0', hexBytes("9E 01"));
    QVERIFY(m.GateGetBPSSpeedComad(speed));
    QCOMPARE(speed, uint8_t(1));
    QCOMPARE(hexText(r.nextRequest()), QStringLiteral("02 00 47 01 9E 03 EB 0D"));
}

QTEST_MAIN(TestCommandReplies)
#include "test_command_replies.moc"
