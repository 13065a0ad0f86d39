// kx9sim as a reader: envelope checks and NACKs, resynchronisation after a
// broken frame, the field values it refuses, what its tags answer, full
// inventories, autonomous modes and the gate's count reports, all over TCP
// with literal frames.
#include "sim_process.h"
#include "sim_wire.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryFile>
#include <QTest>

using wire::hex;

namespace {
// Two tags: A (NXP, block 2 locked) and B (TI). UIDs in wire order below.
const char *const kTwoTags =
    "E004010000000001 dsfid=11 afi=07 ic=01 bs=4 blocks=8 text=ABCDEFGHIJKLMNOP lock=2\n"
    "E007000000000002 bs=4 blocks=8 text=abcdefghijklmnop\n";
const char *const kUidA = "01 00 00 00 00 01 04 E0";
const char *const kUidB = "02 00 00 00 00 00 07 E0";
const uint8_t kId = 3; // the reader ID every request carries

// One running simulator with a TCP connection to it.
struct Bench {
    SimProcess sim;
    QTcpSocket sock;
    wire::Reader rx{&sock};
    QTemporaryFile tags;

    // With `ownId` the reader gets ID kId, else it keeps the one it powers up with.
    bool start(const QByteArray &population, QStringList extra = {}, bool ownId = true)
    {
        if (!tags.open())
            return false;
        tags.write(population);
        tags.flush();
        QStringList args{"--listen", "0", "--tags", tags.fileName()};
        if (ownId)
            args << "--id" << QString::number(kId);
        if (!sim.start(args + extra)) {
            qWarning() << sim.errorString();
            return false;
        }
        sock.connectToHost(QHostAddress::LocalHost, sim.listenPort());
        return sock.waitForConnected(3000);
    }
    // Sends one request (first byte of `req` is the command code) and returns
    // kind + data of the first frame that comes back.
    QByteArray ask(const QByteArray &req, uint8_t id = kId, int timeoutMs = 2000)
    {
        sock.write(wire::frame(req.at(0), req.mid(1), id));
        sock.flush();
        return wire::body(rx.next(timeoutMs));
    }
};

QByteArray withUids(QByteArray text)
{
    text.replace("<A>", kUidA).replace("<B>", kUidB);
    return hex(text.constData());
}
} // namespace

class SimReaderTest : public QObject {
    Q_OBJECT
private slots:
    void envelope_data();
    void envelope();
    void resynchronisesOnTheNextStx_data();
    void resynchronisesOnTheNextStx();
    void refusedFieldValues_data();
    void refusedFieldValues();
    void settingsEchoTheirSubCommand_data();
    void settingsEchoTheirSubCommand();
    void powerUpDefaults();
    void tagBehaviour_data();
    void tagBehaviour();
    void inventoryFindsEveryTag();
    void parameterRecord();
    void operatingModeCodes_data();
    void operatingModeCodes();
    void unknownStoredModeStartsNothing();
    void modeSwitchReports_data();
    void modeSwitchReports();
    void autoScanWithoutAnticollision();
    void reportFromTheControlSide();
    void gateCountReport_data();
    void gateCountReport();
    void faults_data();
    void faults();
};

void SimReaderTest::envelope_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray rom = wire::frame('O', hex("90 00"), kId);
    QByteArray badSum = rom;
    badSum[badSum.size() - 2] = char(badSum.at(badSum.size() - 2) + 1);
    QByteArray shortLen = rom; // LEN 1 but two data bytes: ETX is not where LEN puts it
    shortLen[3] = 1;
    QByteArray longLen = rom; // LEN 3: the frame never completes
    longLen[3] = 3;
    QTest::newRow("good frame") << rom << hex("30 90") + QByteArray("121 test");
    QTest::newRow("LEN too small") << shortLen << hex("31 41");
    QTest::newRow("LEN too large, line goes quiet") << longLen << hex("31 41");
    QTest::newRow("wrong SUM") << badSum << hex("31 42");
    QTest::newRow("other reader ID") << wire::frame('O', hex("90 00"), kId + 1) << hex("31 43");
    QTest::newRow("unknown command") << wire::frame('Z', {}, kId) << hex("31 44");
    QTest::newRow("unknown query") << wire::frame('O', hex("77"), kId) << hex("31 44");
    QTest::newRow("query with a missing byte") << wire::frame('O', hex("90"), kId) << hex("31 41");
    QTest::newRow("noise before STX") << hex("FF 0D 55") + rom << hex("30 90") + QByteArray("121 test");
    QTest::newRow("EEPROM read past area 1") << wire::frame('O', hex("70 14 02"), kId) << hex("31 41");
}

void SimReaderTest::envelope()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reply);
    Bench b;
    QVERIFY(b.start(kTwoTags, {"--rom", "121 test"}));
    b.sock.write(bytes);
    const QByteArray f = b.rx.next();
    QCOMPARE(wire::body(f).toHex(' '), reply.toHex(' '));
    QCOMPARE(uint8_t(f.at(1)), kId); // the reply carries the reader's own ID
}

void SimReaderTest::resynchronisesOnTheNextStx_data()
{
    QTest::addColumn<QByteArray>("burst");
    QTest::addColumn<QByteArrayList>("replies"); // kind + data of each reply, in order
    // Reader 3's ROM query; each burst holds broken frames first and then it.
    const QByteArray rom = hex("02 03 4F 02 90 00 03 E9 0D");
    const QByteArray romReply = hex("30 90") + QByteArray("121 test");
    const QByteArray nack41 = hex("31 41");
    QTest::newRow("LEN too small") << hex("02 03 4F 01 90 00 03 E9 0D") + rom << QByteArrayList{nack41, romReply};
    QTest::newRow("CR missing") << hex("02 03 4F 01 00 03 58") + rom << QByteArrayList{nack41, romReply};
    QTest::newRow("ETX out of place") << hex("02 03 4F 01 00 04 58 0D") + rom << QByteArrayList{nack41, romReply};
    QTest::newRow("wrong SUM") << hex("02 03 4F 01 00 03 59 0D") + rom << QByteArrayList{hex("31 42"), romReply};
    QTest::newRow("noise, then two broken frames")
        << hex("FF 55") + hex("02 03 4F 01 90 00 03 E9 0D") + hex("02 03 4F 01 00 03 58") + rom
        << QByteArrayList{nack41, nack41, romReply};
    // LEN reaches beyond the burst: the frame is given up once the line goes
    // quiet, and the STX after its own still starts the next frame.
    QTest::newRow("LEN beyond the burst") << hex("02 03 4F F0 90 00 03 E9 0D") + rom
                                          << QByteArrayList{nack41, romReply};
}

void SimReaderTest::resynchronisesOnTheNextStx()
{
    QFETCH(QByteArray, burst);
    QFETCH(QByteArrayList, replies);
    Bench b;
    QVERIFY(b.start(kTwoTags, {"--rom", "121 test"}));
    b.sock.write(burst);
    b.sock.flush();
    for (const QByteArray &expected : replies)
        QCOMPARE(wire::body(b.rx.next()).toHex(' '), expected.toHex(' '));
    QCOMPARE(b.rx.drain(400), QByteArray());
}

void SimReaderTest::refusedFieldValues_data()
{
    QTest::addColumn<QByteArray>("request"); // command code, then DATA
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("check");      // a control command run afterwards ("" = none)
    QTest::addColumn<QString>("expect");     // text its reply must contain
    auto row = [](const char *name, const char *req, int id, const char *reply, const char *check = "",
                  const char *expect = "") {
        QTest::newRow(name) << withUids(req) << id << withUids(reply) << QString::fromLatin1(check)
                            << QString::fromLatin1(expect);
    };
    // Operating-mode setting: store flag, mode, mode byte 2, flags, 0x01, polling time.
    row("mode setting: fixed byte 00 instead of 01", "4E 00 01 00 2C 00 00 05", kId, "31 44", "get mode", "OK 00 18");
    row("write test mode: byte after the block not 00", "4E 00 51 00 2C 01 03 01", kId, "31 44", "get mode", "OK 00 18");
    row("polling write: UID mode 3", "4E 00 23 00 2C 01 00 05 03 01 41 03", kId, "31 44", "get mode", "OK 00 18");
    row("polling write: select flag with the UID", "4E 00 23 00 2C 01 00 05 03 01 41 05 <A>", kId, "31 44");
    // ROM version query: [1] is 0x00.
    row("ROM version query: second byte 01", "4F 90 01", kId, "31 44");
    row("gate ROM version query: second byte 01", "47 90 01", kId, "31 44");
    // Inventories carry no identifier: their UID mode bits are clear.
    row("Inventory with UID mode 1", "78 01 41", kId, "31 44");
    row("Inventory with UID mode 2", "78 01 02", kId, "31 44");
    row("Inventory2 with UID mode 3", "78 F0 03 00", kId, "31 44");
    row("TI inventory read with UID mode 1", "78 A4 00 01 00", kId, "31 44");
    row("NXP inventory read with UID mode 2", "78 C0 00 01 02 00", kId, "31 44");
    row("tag command with UID mode 3", "78 20 00 03", kId, "31 44");
    row("SelectTag with the select flag", "78 25 04 <B>", kId, "31 44", "tag get E007000000000002", "state=ready");
    // Reader ID 0 is taken only by the gate sub-commands sent with it.
    row("reader query with ID 0", "4F 90 00", 0, "31 43");
    row("gate mode query with ID 0", "47 00", 0, "31 43");
    row("gate EEPROM read with ID 0", "47 01 01 07", 0, "31 43");
    row("gate mode query with the reader's ID", "47 00", kId, "30 00 00");
    row("gate speed query with ID 0", "47 9E", 0, "30 9E 01");
    row("melody and lamp command with ID 0", "47 2A 02 00 00 00 96 00", 0, "30 2A");
    row("I/O board EEPROM initialisation with ID 0", "47 91", 0, "30 91");
    row("programming mode, wrong access code", "47 9B 35 38 33 39 31 34 32 37 31", 0, "31 44");
    row("programming mode, the access code", "47 9B 35 38 33 39 31 34 32 37 30", 0, "30 9B");
    row("gate speed code 3", "47 9C 03", 0, "31 44");
    // Other fixed bytes and coded values of the command tables.
    row("buzzer: first byte 01", "42 01 00", kId, "31 44");
    row("data write: header byte not 00", "4A 00 00 01 00 41", kId, "31 44");
    row("RAM read: trailing byte not 00", "4F 91 00 10 02 00 00 00 01 00 00", kId, "31 44");
    row("RAM write: count 0", "4E 92 00 10 00 00 00 00 00 00 00", kId, "31 44");
    row("RAM write: count 5", "4E 92 00 10 05 01 02 03 04 05 00", kId, "31 44");
    row("RAM write: byte after the value not 00", "4E 92 00 10 01 AB 00 00 00 00 01", kId, "31 44");
    row("RAM write of two bytes", "4E 92 00 10 02 AB CD 00 00 00 00", kId, "30 92");
    row("my-d read: third byte not 00", "78 B0 00 01 00", kId, "31 44");
    row("S6700 byte with a wrong parity bit", "4E 09 54", kId, "31 44");
    row("S6700 byte with its parity bit", "4E 09 D4", kId, "30 09");
    row("antenna 64", "4E 9C 40", kId, "31 44");
    row("transmitter switch 3", "4E 9E 03", kId, "31 44");
    row("LED 2", "4E 55 02 00 05", kId, "31 44");
    row("LED control mode 3", "4E 55 00 03 05", kId, "31 44");
    row("LED and buzzer: LED mode 3", "4E 57 00 03 05 00 00", kId, "31 44");
    row("cancel with reply mode 3", "51 03", kId, "31 44");
    row("ReadBytes of 0 bytes", "78 A0 00 00 01 <A>", kId, "31 44");
    row("Fujitsu EAS setting 2", "78 C9 02 00", kId, "31 44");
    row("16-slot loop: AFI switch 10", "78 F1 00 10 00 00 00 00 00 00 00 00 00 00", kId, "31 44");
}

void SimReaderTest::refusedFieldValues()
{
    QFETCH(QByteArray, request);
    QFETCH(int, id);
    QFETCH(QByteArray, reply);
    QFETCH(QString, check);
    QFETCH(QString, expect);
    Bench b;
    QVERIFY(b.start(kTwoTags, {"--gate", "W20"}));
    QCOMPARE(b.ask(request, uint8_t(id)).toHex(' '), reply.toHex(' '));
    // A refused request starts nothing.
    if (reply.startsWith('1'))
        QCOMPARE(b.rx.drain(300), QByteArray());
    if (!check.isEmpty()) {
        const QString got = b.sim.control(check);
        QVERIFY2(got.contains(expect), qPrintable(got));
    }
}

void SimReaderTest::settingsEchoTheirSubCommand_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("query");      // reads the setting back
    QTest::addColumn<QByteArray>("queryReply");
    QTest::newRow("S6700 byte") << hex("4E 09 D4") << hex("30 09") << hex("4F 09") << hex("30 09 D4");
    QTest::newRow("S6700 byte, stored") << hex("4E 19 E4") << hex("30 19") << hex("4F 70 03 01")
                                        << hex("30 70 03 01 E4 00");
    QTest::newRow("operating mode") << hex("4E 00 00 00 1C 01 00 05") << hex("30 00") << hex("4F 00")
                                    << hex("30 00 00 00 1C");
    QTest::newRow("operating mode, stored") << hex("4E 10 00 00 1C 01 00 05") << hex("30 10") << hex("4F 70 05 01")
                                            << hex("30 70 05 01 1C 00");
    QTest::newRow("numbered parameter") << hex("4E AC 08") << hex("30 AC") << hex("4F AC") << hex("30 AC 08");
    QTest::newRow("reader AFI") << hex("4E 51 07") << hex("30 51") << hex("4F 51") << hex("30 51 07");
    QTest::newRow("gate mode") << hex("47 20 05") << hex("30 20") << hex("47 00") << hex("30 00 05");
}

void SimReaderTest::settingsEchoTheirSubCommand()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, queryReply);
    Bench b;
    QVERIFY(b.start(kTwoTags, {"--gate", "W20"}));
    QCOMPARE(b.ask(request).toHex(' '), reply.toHex(' '));
    QCOMPARE(b.ask(query).toHex(' '), queryReply.toHex(' '));
}

void SimReaderTest::powerUpDefaults()
{
    // What a reader answers before anything was set, as the monitor finds it
    // at start-up: ID 0, the default ROM text, command mode with the factory
    // flags, the factory S6700 byte and parameter record.
    Bench b;
    QVERIFY(b.start(kTwoTags, {}, false));
    b.sock.write(hex("02 00 4F 02 90 00 03 E6 0D"));
    const QByteArray f = b.rx.next();
    QVERIFY(f.size() > 2);
    QCOMPARE(uint8_t(f.at(1)), uint8_t(0));
    QVERIFY2(wire::body(f).startsWith(hex("30 90") + "121 kx9sim "), f.toHex(' ').constData());
    QCOMPARE(b.ask(hex("4F 00"), 0).toHex(' '), hex("30 00 00 00 18").toHex(' '));
    QCOMPARE(b.ask(hex("4F 09"), 0).toHex(' '), hex("30 09 D5").toHex(' '));
    QCOMPARE(b.ask(hex("4F 51"), 0).toHex(' '), hex("30 51 00").toHex(' '));
    QCOMPARE(b.ask(hex("4F 70 01 14"), 0).toHex(' '),
             hex("30 70 01 14 00 00 00 00 D5 00 00 30 18 00 17 11 00 00 1A 06 00 00 1A 06 "
                 "00 00 01 00 05 00 05 0A 00 0A 30 1E 00 FF 1E 18 04 08 01 00").toHex(' '));
}

void SimReaderTest::tagBehaviour_data()
{
    QTest::addColumn<QString>("setup");     // control commands, ';'-separated
    QTest::addColumn<QByteArray>("before"); // a request sent first, its reply ignored
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("check");     // a control command run afterwards
    QTest::addColumn<QString>("expect");    // text its reply must contain

    auto row = [](const char *name, const char *setup, const char *before, const char *req, const char *reply,
                  const char *check = "", const char *expect = "") {
        QTest::newRow(name) << QString::fromLatin1(setup) << withUids(before) << withUids(req) << withUids(reply)
                            << QString::fromLatin1(check) << QString::fromLatin1(expect);
    };
    row("read addressed", "", "", "78 20 00 01 <A>", "30 20 41 42 43 44");
    row("read with option flag: security byte first", "", "", "78 20 02 11 <A>", "30 20 01 49 4A 4B 4C");
    row("read past the last block", "", "", "78 20 08 01 <A>", "31 05 10");
    row("write single block", "", "", "78 21 01 31 32 33 34 01 <A>", "30 21",
        "block get E004010000000001 1", "OK 31323334");
    row("locked block refuses a write", "", "", "78 21 02 31 32 33 34 01 <A>", "31 05 12",
        "block get E004010000000001 2", "OK 494A4B4C locked");
    row("lock a block", "", "", "78 22 03 01 <A>", "30 22", "block get E004010000000001 3", "locked");
    row("lock a locked block", "", "", "78 22 02 01 <A>", "31 05 11");
    row("write with a short block", "", "", "78 21 01 31 32 33 01 <A>", "31 41");
    row("unaddressed, two tags collide", "", "", "78 20 00 00", "31 03");
    row("unaddressed, one tag", "tag remove E007000000000002", "", "78 20 00 00", "30 20 41 42 43 44");
    row("addressed, tag absent", "", "", "78 20 00 01 09 00 00 00 00 01 04 E0", "31 04");
    row("quiet tag ignores unaddressed", "tag set E007000000000002 state=quiet", "", "78 20 00 00",
        "30 20 41 42 43 44");
    row("stay quiet then unaddressed", "", "78 02 00 <B>", "78 20 00 00", "30 20 41 42 43 44");
    row("select flag reaches the selected tag", "", "78 25 00 <B>", "78 20 00 04", "30 20 61 62 63 64");
    // The select flag excludes every kind of addressing: refused (NACK 44),
    // and nothing is done; without a selected tag nobody answers it.
    row("select flag, no tag selected", "", "", "78 20 00 04", "31 04");
    row("write with the select and option flags", "", "78 25 00 <B>", "78 21 03 5A 00 00 00 14", "30 21",
        "block get E007000000000002 3", "OK 5A000000");
    row("select flag with the UID in the frame", "", "78 25 00 <B>", "78 20 00 05 <B>", "31 44");
    row("select flag with UID mode 2", "", "78 25 00 <B>", "78 20 00 06", "31 44");
    row("select flag with the address flag", "", "78 25 00 <B>", "78 20 00 0C", "31 44");
    row("write with select flag and the UID of an unselected tag", "", "", "78 21 01 31 32 33 34 05 <B>", "31 44",
        "block get E007000000000002 1", "OK 65666768");
    row("raw request addressed", "", "", "78 00 01 07 23 20 <A> 00 E6 64", "30 00 00 41 42 43 44 9B 1E");
    row("raw request with select and address flags", "", "", "78 00 01 07 33 20 <A> 00 A3 15", "31 04");
    row("UID mode 2 uses the current UID", "", "4E 50 <B>", "78 20 01 02", "30 20 65 66 67 68");
    row("one-slot inventory, two tags collide", "", "", "78 01 40", "31 03");
    row("one-slot inventory, one tag", "tag remove E007000000000002", "", "78 01 40", "30 01 11 <A>",
        "get uid", "OK 01000000000104E0");
    row("16-slot inventory picks a lone slot", "", "", "78 01 00", "30 01 11 <A>");
    row("16-slot inventory with the reader's AFI", "", "4E 51 07", "78 01 20", "30 01 11 <A>");
    row("16-slot inventory with an AFI no tag carries", "", "4E 51 05", "78 01 20", "31 04");
    row("no tag: no answer", "tag remove all", "", "78 01 40", "31 04");
    row("system information", "", "", "78 2B 01 <A>", "30 2B 0F <A> 11 07 07 03 01");
    row("read multiple with option flag", "", "", "78 23 01 01 11 <A>", "30 23 00 45 46 47 48 01 49 4A 4B 4C");
    row("write multiple", "", "", "78 24 04 01 31 31 31 31 32 32 32 32 01 <A>", "30 24",
        "block get E004010000000001 5", "OK 32323232");
    row("write multiple over a locked block", "", "", "78 24 01 01 31 31 31 31 32 32 32 32 01 <A>", "31 05 12");
    row("block security status", "", "", "78 2C 01 02 01 <A>", "30 2C 00 01 00");
    row("write AFI", "", "", "78 27 42 01 <A>", "30 27", "tag get E004010000000001", "afi=42");
    row("write AFI when locked", "tag set E004010000000001 afilock=1", "", "78 27 42 01 <A>", "31 05 12");
    row("lock DSFID twice", "tag set E004010000000001 dsfidlock=1", "", "78 2A 01 <A>", "31 05 11");
    row("write DSFID", "", "", "78 29 3C 01 <A>", "30 29", "tag get E004010000000001", "dsfid=3C");
    row("lock AFI", "", "", "78 28 01 <A>", "30 28", "tag get E004010000000001", "afilock=1");
    row("lock DSFID", "", "", "78 2A 01 <A>", "30 2A", "tag get E004010000000001", "dsfidlock=1");
    row("reset to ready wakes a quiet tag", "tag set E007000000000002 state=quiet", "", "78 26 01 <B>", "30 26",
        "tag get E007000000000002", "state=ready");
    row("read bytes across blocks", "", "", "78 A0 01 06 01 <A>", "30 A0 45 46 47 48 49 4A");
    row("vendor command of another maker", "", "", "78 C2 01 <B>", "31 05 01");
    row("TI two-block lock on another maker's tag", "", "", "78 A3 00 01 <A>", "31 05 01",
        "tag get E004010000000001", "lock=2");
    row("vendor command of the tag's maker", "", "", "78 C2 01 <A>", "30 C2", "tag get E004010000000001",
        "eas=1");
    row("EAS alarm without EAS", "", "", "78 C5 01 <A>", "31 04");
    row("TI two-block write", "", "", "78 A2 00 31 31 31 31 32 32 32 32 01 <B>", "30 A2",
        "block get E007000000000002 1", "OK 32323232");
    row("raw request with its CRC", "tag remove E007000000000002", "", "78 00 01 07 03 20 00 9B 0A",
        "30 00 00 41 42 43 44 9B 1E");
    row("raw request with a bad CRC", "tag remove E007000000000002", "", "78 00 01 07 03 20 00 9B 0B", "31 04");
    row("Tag-it outside the Tag-it protocol", "tag add tagit 11223344 text=WXYZ", "", "75 01 00 00", "31 04");
    row("Tag-it in the Tag-it protocol", "tag add tagit 11223344 text=WXYZ", "4E 09 88", "75 01 00 00",
        "30 01 57 58 59 5A");
    row("ISO tags are silent in the Tag-it protocol", "", "4E 09 88", "78 20 00 01 <A>", "31 04");
    row("carrier off: no tag answers", "", "4E 9E 00", "78 20 00 01 <A>", "31 04");
}

void SimReaderTest::tagBehaviour()
{
    QFETCH(QString, setup);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QString, check);
    QFETCH(QString, expect);
    Bench b;
    QVERIFY(b.start(kTwoTags));
    for (const QString &cmd : setup.split(';', Qt::SkipEmptyParts))
        QVERIFY2(b.sim.control(cmd).startsWith("OK"), qPrintable(cmd));
    if (!before.isEmpty())
        QCOMPARE(b.ask(before).left(1), QByteArray("0"));
    QCOMPARE(b.ask(request).toHex(' '), reply.toHex(' '));
    if (!check.isEmpty()) {
        const QString got = b.sim.control(check);
        QVERIFY2(got.contains(expect), qPrintable(got));
    }
}

void SimReaderTest::inventoryFindsEveryTag()
{
    // 24 tags; several share their low UID bits, so the 16-slot rounds must
    // go deeper under collided slots to find all of them.
    QByteArray population;
    QSet<QByteArray> expected;
    QRandomGenerator rng(1234);
    for (int i = 0; i < 24; ++i) {
        QByteArray wireUid(8, '\0');
        wireUid[0] = char(i % 3 == 0 ? 0x05 : rng.bounded(256)); // every third tag in slot 5
        for (int k = 1; k < 6; ++k)
            wireUid[k] = char(rng.bounded(256));
        wireUid[6] = char(0x04);
        wireUid[7] = char(0xE0);
        QByteArray shown;
        for (int k = 7; k >= 0; --k)
            shown.append(wireUid.at(k));
        population += shown.toHex().toUpper() + "\n";
        expected.insert(wireUid);
    }
    Bench b;
    QVERIFY(b.start(population));
    QCOMPARE(b.ask(hex("78 F0 00 01")).toHex(' '), hex("30 F0 18").toHex(' '));
    QSet<QByteArray> seen;
    const QByteArray report = wire::body(b.rx.next());
    QCOMPARE(report.left(2), QByteArray("i\x18"));
    for (int i = 0; i < 24; ++i)
        seen.insert(report.mid(4 + 8 * i, 8));
    QCOMPARE(seen, expected);
    // The reader keeps the list: count and an entry by index.
    QCOMPARE(b.ask(hex("4F 53")).toHex(' '), hex("30 53 18").toHex(' '));
    const QByteArray entry = b.ask(hex("4F 54 18"));
    QCOMPARE(entry.left(3), hex("30 54 18"));
    QCOMPARE(entry.mid(4), report.mid(4 + 8 * 23, 8));
}

void SimReaderTest::parameterRecord()
{
    Bench b;
    QVERIFY(b.start(kTwoTags));
    // Area 2 as it leaves the factory, and word 19 of area 1 (block sizes 4 and 8).
    QCOMPARE(b.ask(hex("4F 72 01 0A")).toHex(' '),
             hex("30 72 01 0A 00 00 00 00 00 00 01 04 00 00 00 00 00 00 00 00 00 00 00 00").toHex(' '));
    QCOMPARE(b.ask(hex("4F 70 13 01")).toHex(' '), hex("30 70 13 01 04 08").toHex(' '));
    // The numbered parameter 0xAC is the tag block size byte of the record.
    QCOMPARE(b.ask(hex("4E 70 13 01 08 08")).toHex(' '), hex("30 70").toHex(' '));
    QCOMPARE(b.ask(hex("4F AC")).toHex(' '), hex("30 AC 08").toHex(' '));
    QCOMPARE(b.ask(hex("4E AC 04")).toHex(' '), hex("30 AC").toHex(' '));
    QCOMPARE(b.ask(hex("4F 70 13 01")).toHex(' '), hex("30 70 13 01 04 08").toHex(' '));
    // A write past the area is refused and changes nothing; initialisation
    // brings the defaults back but keeps the reader's ID.
    QCOMPARE(b.ask(hex("4E 70 14 02 01 01 01 01")).toHex(' '), hex("31 41").toHex(' '));
    QCOMPARE(b.ask(hex("4E AB 00")).toHex(' '), hex("30 AB").toHex(' '));
    QCOMPARE(b.ask(hex("4E 71")).toHex(' '), hex("30 71").toHex(' '));
    QCOMPARE(b.ask(hex("4F AB")).toHex(' '), hex("30 AB 1E").toHex(' '));
    QCOMPARE(b.ask(hex("4F A3")).toHex(' '), (hex("30 A3") + char(kId)).toHex(' '));
}

void SimReaderTest::operatingModeCodes_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("mode"); // "get mode" afterwards
    auto setting = [](const char *code) { return hex((QByteArray("4E 00 ") + code + " 00 2C 01 00 05").constData()); };
    // Flags 0x2C: a mode that starts reads both tags and reports them.
    for (const char *code : {"00", "01", "02", "03", "24", "50", "52", "53", "54", "56", "57", "58", "59"})
        QTest::newRow(code) << setting(code) << true << QStringLiteral("OK %1 2C").arg(code);
    QTest::newRow("51 with its block") << hex("4E 00 51 00 2C 01 03 00") << true << "OK 51 2C";
    QTest::newRow("23 polling write") << hex("4E 00 23 00 2C 01 00 05 03 01 41 00") << true << "OK 23 2C";
    // Codes outside the mode list: refused, and the reader stays in command mode.
    for (const char *code : {"04", "22", "25", "4F", "55", "5A", "80", "FF"})
        QTest::newRow(code) << setting(code) << false << "OK 00 18";
}

void SimReaderTest::operatingModeCodes()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, accepted);
    QFETCH(QString, mode);
    Bench b;
    QVERIFY(b.start(kTwoTags));
    QCOMPARE(b.ask(request).toHex(' '), (accepted ? hex("30 00") : hex("31 44")).toHex(' '));
    QCOMPARE(b.sim.control("get mode"), mode);
    if (!accepted)
        QCOMPARE(b.rx.drain(700), QByteArray()); // nothing runs
}

void SimReaderTest::unknownStoredModeStartsNothing()
{
    // Area-1 word 5 holds the flags and the mode code the reader powers up with.
    Bench b;
    QVERIFY(b.start(kTwoTags));
    QCOMPARE(b.ask(hex("4E 70 05 01 2C 55")).toHex(' '), hex("30 70").toHex(' '));
    QCOMPARE(b.ask(hex("4E 9D")).toHex(' '), hex("30 9D").toHex(' '));
    QCOMPARE(b.sim.control("get mode"), QString("OK 00 2C"));
    QCOMPARE(b.rx.drain(700), QByteArray());
    // A code of the list is started at power-up.
    QCOMPARE(b.ask(hex("4E 70 05 01 2C 01")).toHex(' '), hex("30 70").toHex(' '));
    QCOMPARE(b.ask(hex("4E 9D")).toHex(' '), hex("30 9D").toHex(' '));
    QCOMPARE(b.sim.control("get mode"), QString("OK 01 2C"));
    QCOMPARE(wire::body(b.rx.next()).left(1), QByteArray("d"));
}

void SimReaderTest::modeSwitchReports_data()
{
    QTest::addColumn<QByteArray>("before");    // a setting sent first, its ACK checked
    QTest::addColumn<QByteArray>("start");     // the request that starts the reports
    QTest::addColumn<QByteArray>("ack");
    QTest::addColumn<char>("kind");
    QTest::addColumn<QByteArray>("expected");  // data of one expected report
    QTest::addColumn<int>("distinct");         // distinct reports to expect
    // Flags 0x0C: anticollision + continuous; 0x20 adds the identifier to the data.
    const QByteArray none;
    QTest::newRow("auto-scan, user data only")
        << none << hex("4E 00 01 00 0C 01 00 05") << hex("30 00") << 'D' << QByteArray("EFGH") << 2;
    QTest::newRow("auto-scan, UID + data")
        << none << hex("4E 00 01 00 2C 01 00 05") << hex("30 00") << 'd' << withUids("<B>") + QByteArray("efgh") << 2;
    QTest::newRow("auto-scan, Tag-it protocol: 4-byte SID + data")
        << hex("4E 09 88") << hex("4E 00 01 00 2C 01 00 05") << hex("30 00") << 'd'
        << hex("44 33 22 11") + QByteArray("wxyz") << 1;
    QTest::newRow("continuous inventory")
        << none << hex("4E 00 50 00 0C 01 00 05") << hex("30 00") << 'I' << withUids("00 <B>") << 2;
    QTest::newRow("RDLOOP mode")
        << none << hex("4E 00 58 00 0C 01 00 05") << hex("30 00") << 'L' << withUids("<B>") + QByteArray("efgh") << 2;
    QTest::newRow("16-slot inventory loop")
        << none << hex("78 F1 00 00 00 00 00 00 00 00 00 00 00 00") << hex("30 F1") << 'i'
        << withUids("02 00 00 <A> <B>") << 1;
}

void SimReaderTest::modeSwitchReports()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, ack);
    QFETCH(char, kind);
    QFETCH(QByteArray, expected);
    QFETCH(int, distinct);
    Bench b;
    QVERIFY(b.start(QByteArray(kTwoTags) + "tagit 11223344 text=WXYZwxyz\n"));
    if (!before.isEmpty())
        QCOMPARE(b.ask(before).left(1), QByteArray("0"));
    QCOMPARE(b.ask(start).toHex(' '), ack.toHex(' '));
    // The tags are reported, repeatedly, until command mode is set again.
    QSet<QByteArray> reports;
    for (int i = 0; i < 8 && reports.size() < distinct; ++i) {
        const QByteArray r = wire::body(b.rx.next());
        QCOMPARE(r.left(1), QByteArray(1, kind));
        reports.insert(r.mid(1));
    }
    QCOMPARE(reports.size(), distinct);
    QVERIFY2(reports.contains(expected), qPrintable(QStringList([&] {
                 QStringList l;
                 for (const QByteArray &r : reports)
                     l << QString::fromLatin1(r.toHex(' '));
                 return l;
             }()).join(" | ")));
    b.sock.write(wire::frame('N', hex("00 00 00 0C 01 00 05"), kId));
    // Reports already on their way may still come; the ACK ends them.
    QByteArray f;
    do {
        f = wire::body(b.rx.next());
    } while (!f.isEmpty() && f.at(0) == kind);
    QCOMPARE(f.toHex(' '), hex("30 00").toHex(' '));
    QCOMPARE(b.rx.drain(700), QByteArray());
    QCOMPARE(b.sim.control("get mode"), QString("OK 00 0C"));
}

void SimReaderTest::autoScanWithoutAnticollision()
{
    // The factory flags 0x18 (one tag at a time, continuous, user data only):
    // two tags answering at once collide and nothing is read; a lone tag is
    // reported with its user data (area 2: from block 1, four bytes).
    Bench b;
    QVERIFY(b.start(kTwoTags));
    QCOMPARE(b.ask(hex("4E 00 01 00 18 01 00 05")).toHex(' '), hex("30 00").toHex(' '));
    QCOMPARE(b.rx.drain(700), QByteArray());
    QVERIFY(b.sim.control("tag remove E007000000000002").startsWith("OK"));
    QCOMPARE(b.rx.next().toHex(' '), hex("02 03 44 04 45 46 47 48 03 6A 0D").toHex(' '));
}

void SimReaderTest::reportFromTheControlSide()
{
    Bench b;
    QVERIFY(b.start(kTwoTags));
    QCOMPARE(b.sim.control("report D 54414731"), QString("OK"));
    QCOMPARE(b.rx.next().toHex(' '), hex("02 03 44 04 54 41 47 31 03 5D 0D").toHex(' '));
}

void SimReaderTest::gateCountReport_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("W20, sensor 2") << "W20" << "gate pass 2 3 1"
                                   << hex("47 80 00 00 00 00 03 00 00 00 00 00 01 00");
    QTest::newRow("W30, sensor 5") << "W30" << "gate pass 5 2 1"
                                   << hex("47 81") + QByteArray(24, '\0') + hex("02 00 00 00 00 00 00 00 01 00 00 00");
}

void SimReaderTest::gateCountReport()
{
    QFETCH(QString, model);
    QFETCH(QString, pass);
    QFETCH(QByteArray, report);
    Bench b;
    QVERIFY(b.start(kTwoTags, {"--gate", model}));
    // Passing people are counted but not sent while automatic transmission is off.
    QVERIFY(b.sim.control(pass).startsWith("OK"));
    QCOMPARE(b.rx.drain(300), QByteArray());
    // Counting-mode word 2 = 1: send the counters at every sensor interruption.
    QCOMPARE(b.ask(hex("47 23 33 00 01 00 FF 00")).toHex(' '), hex("30 23").toHex(' '));
    // Counters back to zero, then one more pass reports just that pass.
    b.ask(model == "W20" ? hex("47 24 00 00 00 00 00 00 00 00 00 00 00 00")
                         : hex("47 28") + QByteArray(36, '\0'));
    QVERIFY(b.sim.control(pass).startsWith("OK"));
    const QByteArray f = b.rx.next();
    QCOMPARE(wire::body(f).toHex(' '), report.toHex(' '));
    // Gate commands sent with ID 0 are answered too.
    QCOMPARE(b.ask(hex("47 9E"), 0).toHex(' '), hex("30 9E 01").toHex(' '));
}

void SimReaderTest::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("wire"); // bytes that arrive for one ROM query; empty: nothing
    const QByteArray ok = wire::frame('0', hex("90") + "121 test", kId);
    QByteArray badSum = ok;
    badSum[badSum.size() - 2] = char(badSum.at(badSum.size() - 2) + 1);
    QTest::newRow("drop") << "fault drop" << QByteArray();
    QTest::newRow("wrong SUM") << "fault sum" << badSum;
    QTest::newRow("missing CR") << "fault nocr" << ok.left(ok.size() - 1);
    QTest::newRow("garbage before STX") << "fault garbage FF00AA" << hex("FF 00 AA") + ok;
    QTest::newRow("NACK 05 12") << "fault nack 05,12" << wire::frame('1', hex("05 12"), kId);
    QTest::newRow("split") << "fault split 4 400" << ok;
    QTest::newRow("delay") << "fault delay 300" << ok;
}

void SimReaderTest::faults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, wire);
    Bench b;
    QVERIFY(b.start(kTwoTags, {"--rom", "121 test"}));
    QCOMPARE(b.sim.control(fault), QString("OK"));
    b.sock.write(wire::frame('O', hex("90 00"), kId));
    if (fault.contains("split")) {
        // The first piece comes alone: four bytes, then a pause.
        QVERIFY(b.sock.waitForReadyRead(2000));
        QCOMPARE(b.sock.readAll().toHex(' '), wire.left(4).toHex(' '));
    }
    if (fault.contains("delay"))
        QCOMPARE(b.rx.drain(150), QByteArray());
    const QByteArray got = b.rx.drain(fault.contains("split") ? 2000 : 600);
    QCOMPARE(got.toHex(' '), wire.mid(fault.contains("split") ? 4 : 0).toHex(' '));
    // The fault was for one reply: the next one is clean again.
    b.sock.write(wire::frame('O', hex("90 00"), kId));
    QCOMPARE(b.rx.next().toHex(' '), wire::frame('0', hex("90") + "121 test", kId).toHex(' '));
}

QTEST_GUILESS_MAIN(SimReaderTest)
#include "sim_reader_test.moc"
