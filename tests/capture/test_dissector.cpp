// The shipped Wireshark dissector (tools/wireshark/kx9.lua) read through
// tshark on captures written by the monitor's capture file: the envelope and
// its checks, frames split over chunks and chunks holding several frames,
// the transparent command's ISO 15693 request with its CRC, and the names of
// the command catalogue as the monitor's own operations log them.
#include "capture_test_util.h"

#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "link/options.h"
#include "../support/memory_log.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace captest;
using kx9test::WireFrame;

Q_DECLARE_METATYPE(QList<captest::Chunk>)

namespace {
const QByteArray kUid = hex("78563412000104E0");   // wire order: E0 04 01 00 12 34 56 78 as shown
}

class TestDissector : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void packets_data();
    void packets();
    void partsKnowWhereTheirFrameEnds();
    void catalogueNames();

private:
    Tshark read(const QList<Chunk> &chunks, const QStringList &fields, bool twoPass = false);
    QTemporaryDir dir_;
    int files_ = 0;
};

void TestDissector::initTestCase()
{
    QVERIFY2(!tsharkPath().isEmpty(), "tshark is not installed (Debian package tshark)");
    QVERIFY(dir_.isValid());
}

Tshark TestDissector::read(const QList<Chunk> &chunks, const QStringList &fields, bool twoPass)
{
    const QString path = dir_.filePath(QStringLiteral("c%1.pcapng").arg(++files_));
    QString error;
    if (!writeCapture(path, chunks, &error)) {
        Tshark t;
        t.error = error;
        return t;
    }
    return runTshark(path, fields, twoPass);
}

// Each row: the chunks, then per packet "name;sum status;extra", where extra
// is the value of the row's extra field.
void TestDissector::packets_data()
{
    QTest::addColumn<QList<Chunk>>("chunks");
    QTest::addColumn<QString>("extraField");
    QTest::addColumn<QStringList>("expected");

    const QByteArray inventory = WireFrame('x', hex("01 00"));
    const QByteArray invAck = WireFrame('0', hex("01 3A") + kUid);
    QTest::newRow("reply split over three chunks")
        << QList<Chunk>{tx(inventory), rx(invAck.left(3)), rx(invAck.mid(3, 7)), rx(invAck.mid(10))}
        << "kx9.uid.text"
        << QStringList{"ISO15693_Inventory;Good;", ";;", ";;", "ACK ISO15693_Inventory;Good;E0 04 01 00 12 34 56 78"};

    const QByteArray read = WireFrame('x', hex("20 05 00"));
    QTest::newRow("two frames in one chunk behind garbage")
        << QList<Chunk>{tx(read), rx(hex("FF 00") + WireFrame('0', hex("20") + "ABCD") + WireFrame('1', hex("05 10")))}
        << "kx9.nack.iso_error"
        << QStringList{"ISO15693_ReadSingleBlock;Good;",
                       "ACK ISO15693_ReadSingleBlock|NACK ISO15693_ReadSingleBlock;Good|Good;0x10"};

    QByteArray badSum = WireFrame('0', hex("90") + "121 kx9");
    badSum[badSum.size() - 2] = char(badSum.at(badSum.size() - 2) + 1);
    QTest::newRow("bad SUM is an expert error")
        << QList<Chunk>{tx(WireFrame('O', hex("90 00"))), rx(badSum)} << "_ws.expert.message"
        << QStringList{"ＲＯＭのバージョン情報;Good;",
                       QStringLiteral("ACK ＲＯＭのバージョン情報;Bad;")
                           + QString::asprintf("bad SUM: 0x%02X, expected 0x%02X", uint8_t(badSum.at(badSum.size() - 2)),
                                               uint8_t(badSum.at(badSum.size() - 2) - 1))};

    // A CR that is not there: the receiver looks for the next STX after the
    // CR position, so a good frame right behind it is still found.
    QByteArray noCr = WireFrame('0', hex("21"));
    noCr[noCr.size() - 1] = char(0x0A);
    QTest::newRow("missing CR, next frame found")
        << QList<Chunk>{tx(WireFrame('x', hex("21 01 31 32 33 34 00"))), rx(noCr + WireFrame('0', hex("21")))}
        << "_ws.expert.message"
        << QStringList{"ISO15693_WriteSingleBlock;Good;",
                       "ACK ISO15693_WriteSingleBlock|ACK ISO15693_WriteSingleBlock;Good|Good;"
                       "no CR where LEN puts the end of the frame"};

    const QByteArray isoRead = withCrc(hex("03 20 07"));
    QByteArray isoBad = isoRead;
    isoBad[isoBad.size() - 1] = char(isoBad.at(isoBad.size() - 1) ^ 0x5A);
    const QByteArray tagReply = withCrc(hex("00") + "WXYZ");
    QTest::newRow("transparent command, ISO request with good and bad CRC")
        << QList<Chunk>{tx(WireFrame('x', hex("00 01 07") + isoRead)), rx(WireFrame('0', hex("00") + tagReply)),
                        tx(WireFrame('x', hex("00 01 07") + isoBad))}
        << "kx9.iso.crc.status"
        << QStringList{"ISO15693_CommCmd;Good;Good", "ACK ISO15693_CommCmd;Good;Good", "ISO15693_CommCmd;Good;Bad"};

    QTest::newRow("reports name the reply kind")
        << QList<Chunk>{rx(WireFrame('I', hex("3A") + kUid)), rx(WireFrame('D', "HELLO")),
                        rx(WireFrame('i', hex("01 00 00") + kUid)), rx(WireFrame('G', hex("80") + QByteArray(12, '\0'))),
                        rx(WireFrame('Z', hex("00")))}
        << "kx9.uid.text"
        << QStringList{"Report I;Good;E0 04 01 00 12 34 56 78", "Report D;Good;",
                       "Report i;Good;E0 04 01 00 12 34 56 78", "Report G;Good;", "kind 0x5A;Good;"};
}

void TestDissector::packets()
{
    QFETCH(QList<Chunk>, chunks);
    QFETCH(QString, extraField);
    QFETCH(QStringList, expected);
    const Tshark t = read(chunks, {"kx9.name", "kx9.sum.status", extraField});
    QVERIFY2(t.ok, qPrintable(t.error));
    QStringList got;
    for (const QStringList &row : t.rows)
        got << row.join(QLatin1Char(';'));
    QCOMPARE(got, expected);
}

void TestDissector::partsKnowWhereTheirFrameEnds()
{
    // A 255-byte DATA frame in 40-byte chunks; with two passes each part
    // points at the packet where the frame completed, and that packet at the
    // one it started in.
    const QByteArray big = WireFrame('0', hex("23") + QByteArray(254, 'k'));
    QList<Chunk> chunks{tx(WireFrame('x', hex("23 00 3E 00")))};
    for (int i = 0; i < big.size(); i += 40)
        chunks << rx(big.mid(i, 40));
    const Tshark t = read(chunks, {"kx9.part.completed_in", "kx9.reassembled.first", "kx9.len", "kx9.sum.status"}, true);
    QVERIFY2(t.ok, qPrintable(t.error));
    QCOMPARE(t.rows.size(), chunks.size());
    const int last = int(chunks.size());
    for (int i = 1; i < last - 1; ++i)
        QCOMPARE(t.rows[i].value(0), QString::number(last));
    QCOMPARE(t.rows.last().value(1), QStringLiteral("2"));
    QCOMPARE(t.rows.last().value(2), QStringLiteral("255"));
    QCOMPARE(t.rows.last().value(3), QStringLiteral("Good"));
}

void TestDissector::catalogueNames()
{
    // The monitor's own operations build the frames and log their labels;
    // the dissector must name each frame by that label.
    QTemporaryDir dir;
    kx9::AppOptions options;
    options.TagBlockSize = 4;
    kx9::MainState state;
    kx9test::MemoryLog log;
    kx9::LinkConfig cfg;
    cfg.LinkMode = 2;
    cfg.TcpServerMode = 0;
    cfg.TcpRemoteAddress = QStringLiteral("127.0.0.1");
    cfg.TcpRemotePort = 1;   // never opened: the frames are logged, nothing is sent
    kx9::TTComXDlg m(cfg, dir.filePath(QStringLiteral("kx9monitor.ini")), options, state, &log);
    m.setLogTx(1);
    const QByteArray uid = kUid, four("1234"), eight("12345678");
    const std::function<void()> ops[] = {
        [&] { m.QUIT_command(1); }, [&] { m.Buzzer_Command(0); }, [&] { m.Simple_Read_Command(); },
        [&] { m.DousaModeSet_J("AB"); }, [&] { m.DousaModeSetN(0x00); }, [&] { m.DousaModeSetN(0x09); },
        [&] { m.DousaModeSetN(0x05); }, [&] { m.UID_RDWR_CMD_O(); }, [&] { m.POWERDOWN_CMD_O(); },
        [&] { m.GETUIDNUMBER_CMD(); }, [&] { m.GETUIDDATA_CMD(1); }, [&] { m.Get_ERROR_STATUS(); },
        [&] { m.RAM_Read_Command(0x1234, 2); }, [&] { m.RomVersionQuery(); }, [&] { m.ModelNameQuery(); },
        [&] { m.DousaModeSet_N(true, 0x50, 0, 0x18, 5); }, [&] { m.PolWrite(3, four, 0, 0x18, 5); },
        [&] { m.S6700ModeSet(0xD5, false); }, [&] { m.UID_RDWR_CMD_N(uid); }, [&] { m.AFI_RDWR_CMD_TX(7); },
        [&] { m.POWERDOWN_CMD_N(); }, [&] { m.SET_LEDCONT(0, 1, 2); }, [&] { m.CNT_LEDBUZ_CMD(1, 0, 1, 2, 3); },
        [&] { m.ERR_RATE_CMD_TX(); }, [&] { m.EEPROM_RDWR_CMD_TX(1, 1, "\x01\x02"); }, [&] { m.EEPROM_INIT_CMD(); },
        [&] { m.EEPROM_RDWR_CMD2_TX(1, 1, "\x01\x02"); }, [&] { m.RAM_Write_Command(0x10, 2, 0x12340000); },
        [&] { m.SELANTENA_CMD_N(2); }, [&] { m.RESTART_CMD(); }, [&] { m.TXON_OFF_CMD(1); },
        [&] { m.Port_Write_Command(7, 1); }, [&] { m.TxSetParamData(0xAC, 4); },
        [&] { m.Read_Loop_Command_F1(0, false, 0, 0, 0); }, [&] { m.Read_Loop_Command_F2(0, 0, 0, 4, 0); },
        [&] { m.RDLoopPol_Command(0, 0, 10, 0, 4, 0); }, [&] { m.RDLoopPolGet_Command(); },
        [&] { m.ISO15693_Inventory(0); }, [&] { m.ISO15693_Inventory2(0, 1); }, [&] { m.StayQuiet(0x20, uid); },
        [&] { m.ISO15693_ReadSingleBlock(5, 0x10); }, [&] { m.ISO15693_WriteSingleBlock(5, four, 0); },
        [&] { m.ISO15693_LockBlock(5, 0); }, [&] { m.ISO15693_ReadMultiBlock(0, 1, 0); },
        [&] { m.ISO15693_WriteMultiBlock(0, 1, eight, 0); }, [&] { m.ISO15693_SelectTag(0x20, uid); },
        [&] { m.ISO15693_ResetToReady(0); }, [&] { m.ISO15693_WriteAFI(7, 0); }, [&] { m.ISO15693_LockAFI(0); },
        [&] { m.ISO15693_WrietDSFID(1, 0); }, [&] { m.ISO15693_LockDSFID(0); }, [&] { m.ISO15693_GetSystemInfo(0); },
        [&] { m.ISO15693_GetMBlockSecSt(0, 1, 0); }, [&] { m.ISO15693_ReadBytes(0, 4, 0); },
        [&] { m.ISO15693_WriteBytes_A1(0, four, 0); }, [&] { m.ISO15693_WriteBytes_F3(0, 1, 0); },
        [&] { m.ISO15693_Write2Blocks(0, eight, 0); }, [&] { m.ISO15693_Lock2Blocks(0, 0); },
        [&] { m.ISO15693_CommCmd(hex("00 01 07") + withCrc(hex("03 20 00"))); },
        [&] { m.TI_InventoryRead(0, 0, 0); }, [&] { m.TI_InventoryMultiRead(0, 2, 0, 0); },
        [&] { m.TI_InventoryGetSystemInfo(0, 0); }, [&] { m.TI_InventoryGetSecInfo(0, 2, 0, 0); },
        [&] { m.TI_KillCommand(0x11, uid, four); }, [&] { m.TI_WRSIBK_Psw(0x11, uid, four, 1, four); },
        [&] { m.Myd_ReadCommand(1, 0); }, [&] { m.Myd_WriteCommand(1, eight, 0); },
        [&] { m.Myd_WriteByteCommand(1, 2, 3, 0); }, [&] { m.Myd_WriteRereadCommand(1, eight, 0); },
        [&] { m.LRI_ACTIVATEEAS(0); }, [&] { m.LRI_DEACTIVATEEAS(0); }, [&] { m.LRI_POOLEAS(0); },
        [&] { m.SLI_InventoryRead(0, 1, 0, 0); }, [&] { m.SLI_FastInventoryRead(0, 1, 0, 0); },
        [&] { m.SLI_SetEASCommand(0); }, [&] { m.SLI_ResetEASCommand(0); }, [&] { m.SLI_LockEASCommand(0); },
        [&] { m.SLI_EASAlarmCommand(0); }, [&] { m.MB89_EASCommand(0); }, [&] { m.MB89_WriteEASCommand(1, 0); },
        [&] { m.MB89_RefreshCommand(0); }, [&] { m.MB89_RDMULIBLOCKSCommand(0, 2, 0); },
        [&] { m.TAGIT_GETBLOCK_CMD(1, 0); }, [&] { m.TAGIT_GETVERSION_CMD(0); },
        [&] { m.TAGIT_PUTBLOCK_CMD(1, four, 0); }, [&] { m.TAGIT_PUTBLOCKLOCK_CMD(1, four, 0); },
        [&] { m.TAGIT_LOCKBLOCK_CMD(1, 0); }, [&] { m.TAGIT_SID_POLL_CMD(0, 0, 0); }, [&] { m.TAGIT_QUIET_CMD(0); },
        [&] { m.GateReStartComad(); },
        // The gate operations wait for a reply (2 s each without a link).
        [&] { m.G_SetModeCmd(1); }, [&] { QByteArray w; m.GateGetEEPROMCmd(1, 1, w); },
        [&] { m.GateCommCmd(hex("91")); },
    };
    QStringList labels;
    QList<Chunk> chunks;
    for (const auto &op : ops) {
        log.lines.clear();
        op();
        // The label line (the Japanese labels have no ": "), then the frame in
        // hex; a waiting operation adds its time-out line.
        QVERIFY2(log.lines.size() >= 2, qPrintable(log.lines.join(QLatin1Char('/'))));
        QString label = log.lines[0];
        if (label.endsWith(QLatin1String(": ")))
            label.chop(2);
        labels << label;
        chunks << tx(QByteArray::fromHex(log.lines[1].toLatin1().replace(' ', "")));
    }
    const Tshark t = read(chunks, {"kx9.name"});
    QVERIFY2(t.ok, qPrintable(t.error));
    QCOMPARE(t.rows.size(), labels.size());
    for (int i = 0; i < labels.size(); ++i) {
        const QStringList names = t.rows[i].value(0).split(QStringLiteral(" / "));
        QVERIFY2(names.contains(labels[i]), qPrintable(QStringLiteral("frame %1 (%2): dissector says '%3'")
                                                           .arg(i + 1)
                                                           .arg(labels[i], t.rows[i].value(0))));
    }
}

QTEST_GUILESS_MAIN(TestDissector)
#include "test_dissector.moc"
