// TCommX on a real terminal (a pty pair): the line settings the kernel ends
// up with, bursts both ways complete and in order, and the ways an open fails.
#include "link/commx.h"
#include "pty_pair.h"

#include <QtTest>
#include <thread>

using namespace kx9;
using kx9test::PtyPair;

namespace {

QByteArray pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 13 + i / 256) & 0xFF);
    return b;
}

QString raised(const std::function<void()> &f)
{
    try {
        f();
    } catch (const ECommError &e) {
        return e.Message();
    }
    return QString();
}

std::unique_ptr<TCommX> portOn(const QString &path)
{
    auto c = std::make_unique<TCommX>();
    c->setDeviceResolver([path](int) { return path; });
    return c;
}

} // namespace

class TestLinkCommXPty : public QObject {
    Q_OBJECT

private slots:
    void lineSettingsReachTheTerminal_data()
    {
        QTest::addColumn<int>("flow");
        QTest::addColumn<int>("bitRate");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<bool>("rtscts");
        QTest::addColumn<bool>("xonxoff");
        QTest::addColumn<unsigned>("speed");
        QTest::newRow("RTS/CTS 19200") << int(cfcRtsCts) << 19200 << int(csb1) << true << false << unsigned(B19200);
        QTest::newRow("XON/XOFF 9600") << int(cfcXonXoff) << 9600 << int(csb1) << false << true << unsigned(B9600);
        QTest::newRow("none 38400, 2 stop bits") << int(cfcNone) << 38400 << int(csb2) << false << false << unsigned(B38400);
        QTest::newRow("half-duplex 115200") << int(cfcHalfHigh) << 115200 << int(csb1) << false << false << unsigned(B115200);
    }
    void lineSettingsReachTheTerminal()
    {
        QFETCH(int, flow);
        QFETCH(int, bitRate);
        QFETCH(int, stopBits);
        QFETCH(bool, rtscts);
        QFETCH(bool, xonxoff);
        QFETCH(unsigned, speed);
        PtyPair pty;
        QVERIFY(pty.ok());
        auto c = portOn(pty.path());
        c->SetFlowCtrl(flow);
        c->SetBitRate(bitRate);
        c->SetStopBit(stopBits);
        c->SetXonChar(0x21);
        c->SetXoffChar(0x22);
        c->PortOpen();   // the pty has no modem lines: that does not stop it
        QVERIFY(c->Handle() >= 0);
        const termios t = pty.line();
        QCOMPARE(unsigned(cfgetospeed(&t)), speed);
        QCOMPARE((t.c_cflag & CRTSCTS) != 0, rtscts);
        QCOMPARE((t.c_iflag & IXON) != 0, xonxoff);
        QCOMPARE((t.c_iflag & IXOFF) != 0, xonxoff);
        QCOMPARE((t.c_cflag & CSTOPB) != 0, stopBits == csb2);
        QCOMPARE(int(t.c_cc[VSTART]), 0x21);
        QCOMPARE(int(t.c_cc[VSTOP]), 0x22);
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));

        // Applied at once while open.
        c->SetBitRate(1200);
        const termios after = pty.line();
        QCOMPARE(unsigned(cfgetospeed(&after)), unsigned(B1200));
    }

    void settingsLinuxCannotDoAreRefused_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("DTR/DSR handshake") << 0 << "通信フロー制御の設定で失敗しました";
        QTest::newRow("bit rate without a termios speed") << 1 << "通信速度の設定でエラーが発生しました";
        QTest::newRow("1.5 stop bits with 8 data bits") << 2 << "通信ストップビット数の設定でエラーが発生しました";
        QTest::newRow("9 data bits") << 3 << "通信ビット数の設定でエラーが発生しました";
    }
    void settingsLinuxCannotDoAreRefused()
    {
        QFETCH(int, what);
        QFETCH(QString, message);
        PtyPair pty;
        QVERIFY(pty.ok());
        auto c = portOn(pty.path());
        switch (what) {
        case 0: c->SetFlowCtrl(cfcDtrDsr); break;
        case 1: c->SetBitRate(12345); break;
        case 2: c->SetStopBit(csb1p5); break;
        case 3: c->SetCharSize(9); break;
        }
        QCOMPARE(raised([&] { c->PortOpen(); }), message);
        QVERIFY(!c->IsOpen());
        // The terminal was let go: it opens again with sound settings.
        auto again = portOn(pty.path());
        again->PortOpen();
        QVERIFY(again->IsOpen());
    }

    void a64KBurstArrivesCompleteAndInOrder()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        auto c = portOn(pty.path());
        c->SetFlowCtrl(cfcNone);
        QByteArray got;
        int events = 0;
        c->OnReceive = [&](TCustomCommX *sender, int n) {
            ++events;
            QByteArray buf(n, '\0');
            const int r = sender->ReceiveBlock(reinterpret_cast<uint8_t *>(buf.data()), n);
            if (r > 0)
                got.append(buf.constData(), r);
        };
        c->PortOpen();
        const QByteArray burst = pattern(64 * 1024);
        bool written = false;
        std::thread writer([&] { written = pty.writeAll(burst); });
        QTRY_VERIFY_WITH_TIMEOUT(got.size() >= burst.size(), 20000);
        writer.join();
        QVERIFY(written);
        QCOMPARE(got.size(), burst.size());
        QVERIFY(got == burst);
        QVERIFY(events > 1);   // it came in several deliveries
    }

    void sendingMoreThan32ChunksArrivesCompleteAndInOrder()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        auto c = portOn(pty.path());
        c->SetFlowCtrl(cfcNone);
        c->PortOpen();
        const QByteArray data = pattern(100 * 1024);   // 50 chunks of 2048
        QByteArray got;
        std::thread reader([&] { got = pty.read(data.size(), 20000); });
        QVERIFY(c->TransBlock(data));
        reader.join();
        QCOMPARE(got.size(), data.size());
        QVERIFY(got == data);
        QTRY_COMPARE(c->GetTransLength(), 0);
    }

    void openFailures()
    {
        const QString text = QStringLiteral("ポートをオープンできませんでした");
        {
            auto c = portOn(QStringLiteral("/nonexistent/ttyKX9"));
            QCOMPARE(raised([&] { c->PortOpen(); }), text);
            QVERIFY(c->lastOpenReason().contains(QStringLiteral("/nonexistent/ttyKX9")));
            QVERIFY(!c->IsOpen());
        }
        {
            auto c = portOn(QStringLiteral("/dev/null"));   // not a terminal
            QCOMPARE(raised([&] { c->PortOpen(); }), text);
            QVERIFY(!c->lastOpenReason().isEmpty());
        }
        {
            auto c = std::make_unique<TCommX>();
            c->setDeviceResolver([](int) { return QString(); });   // no device for the number
            QCOMPARE(raised([&] { c->PortOpen(); }), text);
        }
    }

    void aPortIsNotShared()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        auto first = portOn(pty.path());
        first->PortOpen();
        auto second = portOn(pty.path());
        QCOMPARE(raised([&] { second->PortOpen(); }), QStringLiteral("ポートをオープンできませんでした"));
        QVERIFY(first->TransBlock(QByteArray("first")));
        QCOMPARE(pty.read(5, 3000), QByteArray("first"));
        // Closed, it is free for the other one.
        first->PortClose();
        second->PortOpen();
        QVERIFY(second->IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestLinkCommXPty)
#include "tst_link_commx_pty.moc"
