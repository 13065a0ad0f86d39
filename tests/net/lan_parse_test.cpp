// The text forms of the LAN module console: addresses, MAC addresses, hex
// groups and the speed values.
#include "link/options.h"
#include "net/lan_module.h"
#include "net/lan_presets.h"

#include <QTest>

using namespace kx9;

using Four = std::array<int, 4>;
using Six = std::array<int, 6>;
Q_DECLARE_METATYPE(Four)
Q_DECLARE_METATYPE(Six)

class LanParseTest : public QObject {
    Q_OBJECT
private slots:
    void parseIPv4_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Four>("groups");
        QTest::newRow("dotted") << "192.168.0.10" << true << Four{192, 168, 0, 10};
        QTest::newRow("dashes") << "10-1-2-3" << true << Four{10, 1, 2, 3};
        QTest::newRow("mixed, blanks around") << " 1.2-3.4 " << true << Four{1, 2, 3, 4};
        QTest::newRow("two dots only") << "192.168.0" << false << Four{};
        QTest::newRow("separator first") << ".1.2.3" << false << Four{};
        QTest::newRow("empty group") << "1..2.3" << false << Four{};
        QTest::newRow("empty last group") << "1.2.3." << false << Four{};
        QTest::newRow("module says NG") << "NG" << false << Four{};
        QTest::newRow("not decimal") << "1.2.3.x" << false << Four{};
        QTest::newRow("above 255") << "1.2.3.256" << false << Four{};
        QTest::newRow("five groups") << "1.2.3.4.5" << false << Four{};
        QTest::newRow("empty") << "" << false << Four{};
    }
    void parseIPv4()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(Four, groups);
        Four out{9, 9, 9, 9};
        QCOMPARE(ParseIPv4(text, out), ok);
        QCOMPARE(out, groups);
    }

    void parseMac_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Six>("groups");
        QTest::newRow("lower case") << "0a-1b-2c-3d-4e-5f" << true << Six{10, 27, 44, 61, 78, 95};
        QTest::newRow("upper case, dots") << "02.4B.58.00.00.FF" << true << Six{0x02, 0x4B, 0x58, 0, 0, 0xFF};
        QTest::newRow("four separators") << "0a-1b-2c-3d-4e" << false << Six{};
        QTest::newRow("group past a byte") << "0a-1b-2c-3d-4e-100" << false << Six{};
        QTest::newRow("empty group") << "0a--2c-3d-4e-5f" << false << Six{};
    }
    void parseMac()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(Six, groups);
        Six out{9, 9, 9, 9, 9, 9};
        QCOMPARE(ParseMac(text, out), ok);
        QCOMPARE(out, groups);
    }

    void hexGroupToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("upper") << "FF" << 255;
        QTest::newRow("lower") << "a0" << 160;
        QTest::newRow("other characters add nothing") << "1g2" << 0x102;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("long text stops at the int maximum") << "FFFFFFFFFFFFFFFF" << std::numeric_limits<int>::max();
    }
    void hexGroupToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(HexGroupToInt(text), value);
    }

    void speedCodes()
    {
        QCOMPARE((QList<int>{LanBpsValue(0), LanBpsValue(1), LanBpsValue(2)}), (QList<int>{15, 16, 17}));
        QCOMPARE(LanSpeedCodeOfBps(9600), 0);
        QCOMPARE(LanSpeedCodeOfBps(38400), 2);
        QCOMPARE(LanSpeedCodeOfBps(115200), -1);
        QCOMPARE(LanSpeedText(1), QStringLiteral("19.2kbps"));
        QCOMPARE(LanKeyMessage(LanKey::FIp, false), QStringLiteral("IPアドレス(接続先)　NG!!"));
        QCOMPARE(LanKeyMessage(LanKey::Bps, true), QStringLiteral("通信スピード(RS232C)　OK!!"));
    }

    // The ping dialog's board preset is the network of the default reader address.
    void boardNetworkIsTheDefaultAddressNetwork()
    {
        Four a;
        QVERIFY(ParseIPv4(AppOptions{}.TCPServAddr, a));
        QCOMPARE((std::array<int, 3>{a[0], a[1], a[2]}), kBoardNetwork);
        QVERIFY(kBoardResetNetwork != kBoardNetwork);
    }
};

QTEST_APPLESS_MAIN(LanParseTest)
#include "lan_parse_test.moc"
