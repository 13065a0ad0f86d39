// The command module against kx9sim over loopback TCP: queries with their
// values, a tag inventory and block reads, and the NACK of a locked block.
#include "commands/ttcomxdlg.h"
#include "../support/memory_log.h"
#include "link/main_state.h"
#include "link/options.h"
#include "sim_process.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

// Area-1 parameter words 1-20 as a reader leaves the factory (R/W ID 0).
const QByteArray kDefaultArea1 = QByteArray::fromHex(
    "00 00 00 00 D5 00 00 30 18 00 17 11 00 00 1A 06 00 00 1A 06 "
    "00 00 01 00 05 00 05 0A 00 0A 30 1E 00 FF 1E 18 04 08 01 00");

const QByteArray kUid = QByteArray::fromHex("78563412000104E0");   // wire order of E004010012345678

} // namespace

class TestCommandSim : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void romVersion();
    void operatingModeQuery();
    void eepromArea1Defaults();
    void inventoryAndReadSingleBlock();
    void lockedBlockIsNacked();

private:
    QStringList logSince(int from) const { return log.lines.mid(from); }

    std::unique_ptr<SimProcess> sim;
    QTemporaryDir dir;
    kx9::AppOptions options;
    kx9::MainState state;
    kx9test::MemoryLog log;
    std::unique_ptr<kx9::TTComXDlg> module;
    std::unique_ptr<QTimer> timer1;
};

void TestCommandSim::init()
{
    sim = std::make_unique<SimProcess>();
    QVERIFY2(sim->start({"--listen", "0", "--id", "0", "--rom", "121 kx9sim"}), qPrintable(sim->errorString()));
    QCOMPARE(sim->control("tag add E004010012345678 blocks=8 bs=4 text=HELLOSIM lock=3"),
             QStringLiteral("OK E004010012345678"));

    options = kx9::AppOptions();
    state = kx9::MainState();
    log.lines.clear();
    kx9::LinkConfig cfg;
    cfg.LinkMode = 2;
    cfg.TcpServerMode = 0;
    cfg.TcpRemoteAddress = QStringLiteral("127.0.0.1");
    cfg.TcpRemotePort = sim->listenPort();
    module = std::make_unique<kx9::TTComXDlg>(cfg, dir.filePath(QStringLiteral("kx9monitor.ini")), options, state, &log);
    module->comDebug().IDNo = 0;
    module->setLogRx(0);
    module->Open();
    QVERIFY(module->Connected());
    timer1 = std::make_unique<QTimer>();
    connect(timer1.get(), &QTimer::timeout, module.get(), &kx9::CommModule::DrainReceiver);
    timer1->start(100);
}

void TestCommandSim::cleanup()
{
    timer1.reset();
    module.reset();
    sim.reset();
}

void TestCommandSim::romVersion()
{
    QCOMPARE(module->RomVersionCompare(121), 0);
    QCOMPARE(module->RomVersionText, QStringLiteral("121 kx9sim"));
    QVERIFY(log.lines.contains(QStringLiteral("ROMバージョン取得")));
    QCOMPARE(module->RomVersionCompare(120), 1);
    QCOMPARE(module->RomVersionCompare(122), -1);
}

void TestCommandSim::operatingModeQuery()
{
    uint8_t mode = 0xFF, mode2 = 0xFF, flags = 0;
    QVERIFY(module->DousaModeSet_O(mode, mode2, flags));
    QCOMPARE(mode, uint8_t(0x00));     // command mode
    QCOMPARE(flags, uint8_t(0x18));
    // The S6700 byte comes back as the EEPROM holds it.
    uint8_t s6700 = 0;
    QVERIFY(module->RX_S6700ModeSet(s6700));
    QCOMPARE(s6700, uint8_t(0xD5));
}

void TestCommandSim::eepromArea1Defaults()
{
    QByteArray words;
    QVERIFY(module->EEPROM_RDWR_CMD_RX(1, 20, words));
    QCOMPARE(words.toHex(' ').toUpper(), kDefaultArea1.toHex(' ').toUpper());
}

void TestCommandSim::inventoryAndReadSingleBlock()
{
    int from = int(log.lines.size());
    QVERIFY(module->ISO15693_Inventory(0x40));
    QVERIFY(module->WaitAck());
    QStringList lines = logSince(from);
    QVERIFY2(lines.contains(QStringLiteral("ISO15693_Inventory受信")), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains(QStringLiteral("UID(hex): 78 56 34 12 00 01 04 E0 ")));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(state.CurrentUid), 8), kUid);

    // Addressed read (UID mode 1): the UID travels in the request.
    from = int(log.lines.size());
    QVERIFY(module->ISO15693_ReadSingleBlock(1, 0x01));
    QVERIFY(module->WaitAck());
    lines = logSince(from);
    QVERIFY2(lines.contains(QStringLiteral("data(Hex): 4F 53 49 4D ")), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains(QStringLiteral("data: OSIM")));
    QCOMPARE(module->LastReadData.left(4), QByteArray("OSIM"));

    // With the option flag the block security byte comes first.
    from = int(log.lines.size());
    QVERIFY(module->ISO15693_ReadSingleBlock(3, 0x10));
    QVERIFY(module->WaitAck());
    lines = logSince(from);
    QVERIFY2(lines.contains(QStringLiteral("Block Security data: 0x01")), qPrintable(lines.join('\n')));
    QCOMPARE(module->LastReadSecurity, uint8_t(0x01));
}

void TestCommandSim::lockedBlockIsNacked()
{
    const int from = int(log.lines.size());
    QVERIFY(module->ISO15693_WriteSingleBlock(3, "ABCD", 0x00));
    QVERIFY(!module->WaitAck());
    const QStringList lines = logSince(from);
    QVERIFY2(lines.size() >= 4, qPrintable(lines.join('\n')));
    QCOMPARE(lines.mid(lines.size() - 2),
             QStringList({QStringLiteral("The specified block is locked and its content cannot be changed."),
                          QStringLiteral("NACK 受信")}));
    QCOMPARE(sim->control("block get E004010012345678 3"), QStringLiteral("OK 00000000 locked"));
}

QTEST_MAIN(TestCommandSim)
#include "test_command_sim.moc"
