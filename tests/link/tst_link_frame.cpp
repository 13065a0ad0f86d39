// Frame helpers, the framing and logging of a command, the receive ring and
// the program-wide tick timer.
#include "link/comm_module.h"
#include "link/frame.h"
#include "link/main_state.h"
#include "link/tick_timer.h"
#include "link_test_util.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kx9;
using kx9test::hex;

class TestLinkFrame : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    AppOptions opts_;
    MainState state_;
    kx9test::MemoryLog log_;

    // A module with no link: bytes reach it only through RingPut. (A mode
    // outside 0..2 opens nothing; serial would open this machine's COM1.)
    std::unique_ptr<CommModule> makeModule()
    {
        LinkConfig cfg;
        cfg.LinkMode = 3;
        log_.lines.clear();
        auto m = std::make_unique<CommModule>(cfg, dir_.filePath("t.ini"), opts_, state_, &log_);
        m->Open();
        return m;
    }

private slots:
    void checksum_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("sum");
        QTest::newRow("read block") << hex("02 01 78 02 01 00 03") << 0x81;
        QTest::newRow("valid frame") << hex("02 00 78 02 01 40 03 C0 0D") << 0xC0;
        QTest::newRow("LEN 0 covers 5 bytes") << hex("02 01 30 00 03 FF FF") << 0x36;
        QTest::newRow("wraps to 00") << hex("02 FB 00 00 03") << 0x00;
        QTest::newRow("short buffer sums what it has") << hex("02 01 30 05") << 0x38;
    }
    void checksum()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, sum);
        QCOMPARE(int(FrameChecksum(frame)), sum);
    }

    void buildFrame()
    {
        const auto f = BuildFrame(0x01, 'x', hex("01 00"));
        QVERIFY(f);
        QCOMPARE(*f, hex("02 01 78 02 01 00 03 81 0D"));
        QCOMPARE(FormatHexBytes(*f), QStringLiteral("02 01 78 02 01 00 03 81 0D "));
        QCOMPARE(BuildFrame(0, 'Q', {})->size(), 7);
        QCOMPARE(BuildFrame(0, 'x', QByteArray(255, 'a'))->size(), 262);
        QVERIFY(!BuildFrame(0, 'x', QByteArray(256, 'a')));
    }

    void formatHex()
    {
        QCOMPARE(FormatHexBytes(hex("0A FF")), QStringLiteral("0A FF "));
        QCOMPARE(FormatHexBytes(QByteArray()), QString());
    }

    void hexToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("1G") << "1G" << 0x10u;
        QTest::newRow("1 blank") << "1 " << 0x10u;
        QTest::newRow("mixed case") << "aB" << 0xABu;
        QTest::newRow("empty") << "" << 0u;
        QTest::newRow("32 bits") << "FFFFFFFF" << 0xFFFFFFFFu;
        QTest::newRow("wraps past 32 bits") << "123456789" << 0x23456789u;
    }
    void hexToInt()
    {
        QFETCH(QString, text);
        QFETCH(uint, value);
        QCOMPARE(HexToInt(text), value);
    }

    void hexTextToBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("blank separated") << "02 00 78 02 01 40 03 C0 0D" << hex("02 00 78 02 01 40 03 C0 0D");
        QTest::newRow("no blanks") << "020078020140 03C00D" << hex("02 00 78 02 01 40 03 C0 0D");
        QTest::newRow("2 blank 0 0") << "2 00" << hex("20 00");
        QTest::newRow("odd length") << "ABC" << hex("AB");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("one char") << "A" << QByteArray();
        QTest::newRow("leading blanks are a pair") << "  01" << hex("00 01");
        QTest::newRow("control chars skipped after a pair") << "01\t\r\n02" << hex("01 02");
    }
    void hexTextToBytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QByteArray out("keep");
        QCOMPARE(HexTextToBytes(text, out), int(bytes.size()));
        QCOMPARE(out, QByteArray("keep") + bytes);
    }

    void frameViewStaysInBounds()
    {
        // LEN says 10, only two DATA bytes arrived.
        const QByteArray arrived = hex("02 01 64 0A 11 22");
        const FrameView v(arrived);
        QCOMPARE(v.len(), 10);
        QCOMPARE(v.dataSize(), 2);
        QVERIFY(v.has(1));
        QVERIFY(!v.has(2));
        QCOMPARE(int(v.data(1)), 0x22);
        QCOMPARE(int(v.data(5)), 0);
        QCOMPARE(int(v.data(-1)), 0);
        QCOMPARE(v.dataBytes(0, 8), hex("11 22"));
        QCOMPARE(v.dataBytes(1), hex("22"));
        QCOMPARE(v.dataBytes(4), QByteArray());
        QCOMPARE(int(v.at(40)), 0);
        // LEN smaller than what arrived: DATA ends at LEN.
        const QByteArray longer = hex("02 01 30 01 AA 03 DF 0D");
        QCOMPARE(FrameView(longer).dataBytes(), hex("AA"));
    }

    void sendCommandFramesAndLogs()
    {
        auto m = makeModule();
        m->comDebug().IDNo = 1;
        QVERIFY(!m->SendCommand(QStringLiteral("ISO15693_ReadSingleBlock: "), 'x', hex("01 00")));  // no link
        QCOMPARE(log_.lines, QStringList({"ISO15693_ReadSingleBlock: ", "02 01 78 02 01 00 03 81 0D "}));
        QCOMPARE(int(m->LastCommandCode()), int('x'));
        QCOMPARE(m->ResponseWaitState(), 0);

        log_.lines.clear();
        m->setLogTx(0);
        m->SendCommand(QStringLiteral("QUIT_command: "), 'Q', {}, 0);
        QCOMPARE(log_.lines, QStringList());
        QCOMPARE(int(m->LastCommandCode()), int('Q'));

        // DATA of 256 bytes cannot be framed: refused with one line, nothing recorded.
        m->setLogTx(1);
        QVERIFY(!m->SendCommand(QStringLiteral("WriteBytes: "), 'x', QByteArray(256, 'a')));
        QCOMPARE(log_.lines.size(), 1);
        QVERIFY(log_.lines[0].startsWith("WriteBytes: "));
        QVERIFY(log_.lines[0].contains("255"));
        QCOMPARE(int(m->LastCommandCode()), int('Q'));
    }

    void ringWrap_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("head");
        QTest::newRow("10 bytes: 4 at the end, 6 at the start") << 10 << 6;
        QTest::newRow("exactly 4 bytes") << 4 << 0;
        QTest::newRow("fits") << 3 << 16383;
    }
    void ringWrap()
    {
        QFETCH(int, n);
        QFETCH(int, head);
        auto m = makeModule();
        const QByteArray fill(1000, char(0xEE));
        while (m->RxHead() < 16380)
            m->RingPut(reinterpret_cast<const uint8_t *>(fill.constData()), std::min(1000, 16380 - m->RxHead()));
        QCOMPARE(m->RxHead(), 16380);
        QByteArray bytes;
        for (int i = 0; i < n; ++i)
            bytes.append(char(0xA0 + i));
        m->RingPut(reinterpret_cast<const uint8_t *>(bytes.constData()), n);
        QCOMPARE(m->RxHead(), head);
        const uint8_t *ring = m->RxRing();
        for (int i = 0; i < n; ++i)
            QCOMPARE(int(ring[(16380 + i) % 16384]), 0xA0 + i);
        // Nothing written past the delivery.
        const int next = (16380 + n) % 16384;
        QCOMPARE(int(ring[next]), next < 16380 ? 0xEE : 0);
    }

    void frameAcrossTheWrapIsRouted()
    {
        auto m = makeModule();
        m->setLogRx(0);
        const QByteArray fill(1000, char(0xEE));
        while (m->RxHead() < 16380)
            m->RingPut(reinterpret_cast<const uint8_t *>(fill.constData()), std::min(1000, 16380 - m->RxHead()));
        m->DrainReceiver();
        QCOMPARE(m->RxTail(), 16380);
        m->setLogRx(1);
        log_.lines.clear();
        const QByteArray ack = hex("02 01 30 00 03 36 0D");
        m->RingPut(reinterpret_cast<const uint8_t *>(ack.constData()), int(ack.size()));
        m->DrainReceiver();
        QCOMPARE(m->ResponseWaitState(), 2);
        QCOMPARE(m->LastReply().bytes(), ack);
        QCOMPARE(m->RxTail(), 3);
        QCOMPARE(log_.lines, QStringList{"RX:02 01 30 00 03 36 0D "});
    }

    void overrunKeepsNewestBytes()
    {
        // 16384 bytes delivered before a drain: the ring holds only the newest,
        // and the receiver sees what lies between its tail and the new head.
        auto m = makeModule();
        m->setLogRx(0);
        QByteArray junk(1024, char(0x55));
        for (int i = 0; i < 16; ++i)
            m->RingPut(reinterpret_cast<const uint8_t *>(junk.constData()), 1024);
        QCOMPARE(m->RxHead(), 0);
        m->DrainReceiver();   // head == tail: nothing seen
        QCOMPARE(m->RxTail(), 0);
    }

    void tickTimerWraps()
    {
        uint32_t now = 0xFFFFFFF0u;
        TickTimer &t = TickTimer::instance();
        t.setClock([&now] { return now; });
        t.Start();
        now = 0x0000000Fu;
        QCOMPARE(t.Elapsed(), 0x1Fu);
        QVERIFY(t.Expired(0x1F));
        QVERIFY(!t.Expired(0x20));
        // Starting again moves the start of a wait already running.
        t.Start();
        QVERIFY(!t.Expired(1));
        t.setClock(nullptr);
        const uint32_t a = t.Now();
        QTest::qWait(20);
        QVERIFY(uint32_t(t.Now() - a) >= 15);
    }
};

QTEST_GUILESS_MAIN(TestLinkFrame)
#include "tst_link_frame.moc"
