// The communication module's serial link: end to end against kx9sim on a
// pty, reopening on another port and speed, the open-failure message, a burst
// larger than the receive ring, the serial parameter edit; and the serial
// channel's mapping of ComDebug values and line errors over the fake driver.
#include "fake_serial_backend.h"
#include "link/comm_module.h"
#include "link/commx.h"
#include "link/ini_file.h"
#include "link/main_state.h"
#include "link/serial_channel.h"
#include "link/text_codec.h"
#include "link_test_util.h"
#include "pty_pair.h"
#include "sim_process.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <thread>

using namespace kx9;
using kx9test::PtyPair;

namespace {

const QString kRomQuery = QStringLiteral("ＲＯＭのバージョン情報");

QString openFailure(int n)
{
    return QStringLiteral("COM%1がオープン出来ません!!\n\n  ポートを及びパラメータ設定を再確認してください。").arg(n);
}

class TestHost : public LinkHost {
public:
    void channelReceived(const uint8_t *bytes, int n) override { received.append(reinterpret_cast<const char *>(bytes), n); }
    void channelLog(const QString &line) override { lines << line; }
    void channelConnected(bool up) override { connected = up; }
    void channelOpenFailed(const QString &message, const QString &reason) override { failures << message + " | " + reason; }
    QByteArray received;
    QStringList lines;
    QStringList failures;
    bool connected = false;
};

} // namespace

class TestLinkSerial : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    AppOptions opts_;
    MainState state_;
    kx9test::MemoryLog log_;

    QString ini() const { return dir_.filePath("kx9monitor.ini"); }
    bool writeIni(const QString &text)
    {
        QFile f(ini());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write(EncodeCp932(text));
        return true;
    }
    std::unique_ptr<CommModule> makeModule(int comPort, int comSpeed = 0)
    {
        LinkConfig cfg;
        cfg.LinkMode = 0;
        cfg.ComPort = comPort;
        cfg.ComSpeed = comSpeed;
        return std::make_unique<CommModule>(cfg, ini(), opts_, state_, &log_);
    }
    // The receive timer of the main window.
    static std::unique_ptr<QTimer> drainEvery100ms(CommModule &m)
    {
        auto t = std::make_unique<QTimer>();
        QObject::connect(t.get(), &QTimer::timeout, &m, [&m] { m.DrainReceiver(); });
        t->start(100);
        return t;
    }
    static QByteArray romQueryFrame() { return kx9test::WireFrame('O', QByteArray("\x90\x00", 2)); }

private slots:
    void init()
    {
        opts_ = AppOptions{};
        state_ = MainState{};
        log_.lines.clear();
        QFile::remove(ini());
    }

    void answeredEndToEndOverAPtyAndRefusedAtTheWrongSpeed()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo"}), qPrintable(sim.errorString()));
        QVERIFY(!sim.ptyPath().isEmpty());
        QVERIFY(writeIni("[ComPorts]\nCOM21=" + sim.ptyPath() + "\n"));
        auto m = makeModule(21);
        QSignalSpy failed(m.get(), &CommModule::linkOpenFailed);
        m->Open();
        QCOMPARE(failed.size(), 0);
        QVERIFY(m->IsLinkOpen());
        QVERIFY(m->Connected());
        QCOMPARE(m->SerialPort()->BitRate(), 19200);
        auto timer = drainEvery100ms(*m);

        QVERIFY(m->SendCommand(kRomQuery, 'O', QByteArray("\x90\x00", 2)));
        QVERIFY(m->WaitAck());
        QCOMPARE(m->LastReply().kind(), '0');
        QVERIFY(sim.frameLog().contains("RX " + romQueryFrame().toHex(' ').toUpper()));
        QVERIFY(log_.lines.filter(QRegularExpression("^RX:02 [0-9A-F]{2} 30 ")).size() == 1);

        // The speed change as the connection setup does it: the bit rate,
        // then a reopen. The simulated reader stays at 19200 and hears noise.
        m->SetSerialBitRate(9600);
        m->LinkReopen();
        QVERIFY(m->IsLinkOpen());
        QCOMPARE(m->SerialPort()->BitRate(), 9600);
        log_.lines.clear();
        QVERIFY(m->SendCommand(kRomQuery, 'O', QByteArray("\x90\x00", 2)));
        QVERIFY(!m->WaitAck());
        QCOMPARE(log_.count(QStringLiteral("レスポンス待ち　タイムオーバー")), 1);
        QVERIFY(sim.frameLog().contains("RX? speed 9600 != 19200: " + romQueryFrame().toHex(' ').toUpper()));

        m->SetSerialBitRate(19200);
        m->LinkReopenOnPort(21);
        QVERIFY(m->SendCommand(kRomQuery, 'O', QByteArray("\x90\x00", 2)));
        QVERIFY(m->WaitAck());
        QCOMPARE(failed.size(), 0);
    }

    void reopenOnAnotherPortAndClose()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo"}), qPrintable(sim.errorString()));
        PtyPair other;
        QVERIFY(other.ok());
        QVERIFY(writeIni("[ComPorts]\nCOM21=" + sim.ptyPath() + "\nCOM22=" + other.path() + "\n"));
        auto m = makeModule(21);
        m->Open();
        QVERIFY(m->IsLinkOpen());

        m->LinkReopenOnPort(22);
        QVERIFY(m->IsLinkOpen());
        QCOMPARE(m->SerialPortNo(), 22);
        QCOMPARE(m->SerialPort()->PortNo(), 22);
        QCOMPARE(m->LinkSend(QByteArray("hello")), 1);
        QCOMPARE(other.read(5, 3000), QByteArray("hello"));
        QVERIFY(other.writeAll("xyz"));
        QTRY_COMPARE(m->RxHead(), 3);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(m->RxRing()), 3), QByteArray("xyz"));
        m->LinkReopen();
        QCOMPARE(m->RxHead(), 0);   // the reopen dropped the receive state

        m->Close();
        QVERIFY(!m->IsLinkOpen());
        QVERIFY(!m->Connected());
        QCOMPARE(m->LinkSend(QByteArray("x")), 0);
        // ComDebug is saved beside the mapping, which stays as written.
        IniFile saved;
        QVERIFY(saved.load(ini()));
        QCOMPARE(saved.readInteger("ComDebug", "Port", 0), 22);
        QCOMPARE(saved.readString("ComPorts", "COM22", ""), other.path());
    }

    void openFailureShowsTheMessageForThePort()
    {
        QVERIFY(writeIni("[ComPorts]\nCOM7=" + dir_.filePath("no-such-tty") + "\n"));
        auto m = makeModule(7);
        QSignalSpy failed(m.get(), &CommModule::linkOpenFailed);
        m->Open();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0][0].toString(), openFailure(7));
        QVERIFY(failed[0][1].toString().contains(dir_.filePath("no-such-tty")));
        QVERIFY(!m->IsLinkOpen());
        QVERIFY(!m->Connected());
        QCOMPARE(m->LinkSend(QByteArray("x")), 0);
        // Once per attempt.
        m->LinkReopen();
        QCOMPARE(failed.size(), 2);
        m->LinkReopenOnPort(12);
        QCOMPARE(failed.size(), 3);
        QCOMPARE(failed[2][0].toString(), openFailure(12));
    }

    void aBurstLargerThanTheRingArrivesCompleteAndInOrder()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(writeIni("[ComPorts]\nCOM22=" + pty.path() + "\n"));
        auto m = makeModule(22);
        m->setLogRx(0);
        QStringList texts;
        m->SetTextReportDecoder([&](const QByteArray &t) { texts << QString::fromLatin1(t); });
        m->Open();
        QVERIFY(m->IsLinkOpen());
        auto timer = drainEvery100ms(*m);

        // 5500 text reports of 13 bytes: 71,500 bytes, four rings full, as
        // fast as the pty takes them.
        const int count = 5500;
        QByteArray burst;
        for (int i = 0; i < count; ++i)
            burst += kx9test::WireFrame('D', QByteArray::number(i).rightJustified(6, '0'), 1);
        QVERIFY(burst.size() > 64 * 1024);
        bool written = false;
        std::thread writer([&] { written = pty.writeAll(burst); });
        QTRY_VERIFY_WITH_TIMEOUT(texts.size() >= count, 30000);
        writer.join();
        QVERIFY(written);
        QCOMPARE(texts.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(texts[i].toInt(), i);
        QCOMPARE(log_.count(QStringLiteral("SUM EEROR")), 0);
    }

    void serialParamDialogEditsSavesAndReopens()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(writeIni("[ComPorts]\nCOM22=" + pty.path() + "\n"));
        auto m = makeModule(22);
        m->Open();
        QVERIFY(m->IsLinkOpen());

        SerialLineParams shown;
        int shownPort = 0;
        bool openWhileEditing = true;
        m->SerialParamDialog([&](SerialLineParams &p, int port) {
            shown = p;
            shownPort = port;
            openWhileEditing = m->IsLinkOpen();
            p.BitRate = 38400;
            p.Flow = FlowControl::XonXoff;
            p.StopBits = 2;
            return true;
        });
        QCOMPARE(shownPort, 22);
        QCOMPARE(shown, (SerialLineParams{19200, 8, 0, 0, FlowControl::None}));
        QVERIFY(!openWhileEditing);
        QCOMPARE(log_.count(QStringLiteral("設定OK")), 1);
        QVERIFY(m->IsLinkOpen());
        const termios t = pty.line();
        QCOMPARE(cfgetospeed(&t), speed_t(B38400));
        QVERIFY(t.c_iflag & IXON);
        QVERIFY(t.c_cflag & CSTOPB);
        IniFile saved;
        QVERIFY(saved.load(ini()));
        QCOMPARE(saved.readInteger("ComDebug", "BaudRate", 0), 38400);
        QCOMPARE(saved.readInteger("ComDebug", "FlowCont", 0), 2);
        QCOMPARE(saved.readInteger("ComDebug", "StopBits", 0), 2);

        // Cancelled: nothing logged or saved, the port is reopened as it was.
        QVERIFY(writeIni("[ComPorts]\nCOM22=" + pty.path() + "\n"));
        m->SetSerialBitRate(-1);   // an unset rate is offered as 9600
        m->SerialParamDialog([&](SerialLineParams &p, int) {
            shown = p;
            p.BitRate = 1200;
            return false;
        });
        QCOMPARE(shown.BitRate, 9600);
        QCOMPARE(log_.count(QStringLiteral("設定OK")), 1);
        QVERIFY(m->IsLinkOpen());
        QCOMPARE(m->SerialBitRate(), 9600);
        QVERIFY(saved.load(ini()));
        QVERIFY(!saved.hasKey("ComDebug", "BaudRate"));
    }

    void channelOpensWithTheComDebugValues()
    {
        auto backend = std::make_unique<kx9test::FakeSerialBackend>();
        kx9test::FakeSerialBackend *fake = backend.get();
        TestHost host;
        ComDebugOptions cd;
        cd.Port = 9;
        cd.BaudRate = 38400;
        cd.ByteSize = 7;
        cd.ParityBits = 2;
        cd.StopBits = 2;
        cd.FlowCont = FlowControl::Hardware;
        SerialChannel ch(host, cd, [](int n) { return QStringLiteral("/dev/fake%1").arg(n); }, std::move(backend));
        ch.open();
        QVERIFY(host.connected);
        const QStringList calls = fake->calls();
        for (const char *want : {"open /dev/fake9", "bitRate 38400", "charSize 7", "parity 2", "stopBits 2", "flow RtsCts 512 512"})
            QVERIFY2(calls.contains(QLatin1String(want)), want);

        // A refused open: the operator's message, the system's reason, closed.
        ch.close();
        fake->refuse("open");
        cd.Port = 3;
        ch.open();
        QVERIFY(!host.connected);
        QCOMPARE(host.failures, QStringList({openFailure(3) + " | ポートをオープンできませんでした (/dev/fake3: No such file or directory)"}));
        QCOMPARE(ch.send(reinterpret_cast<const uint8_t *>("x"), 1), 0);
    }

    void lineErrorsAreLogged_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("0x0A") << 0x0A << QStringList{"CommX1Error", "フレーミングエラー", "バッファオーバーラン"};
        QTest::newRow("0x0E") << 0x0E << QStringList{"CommX1Error", "フレーミングエラー", "バッファオーバーラン", "パリティエラー"};
        QTest::newRow("parity") << 0x04 << QStringList{"CommX1Error", "パリティエラー"};
    }
    void lineErrorsAreLogged()
    {
        QFETCH(int, bits);
        QFETCH(QStringList, lines);
        auto backend = std::make_unique<kx9test::FakeSerialBackend>();
        kx9test::FakeSerialBackend *fake = backend.get();
        TestHost host;
        ComDebugOptions cd;
        SerialChannel ch(host, cd, [](int) { return QStringLiteral("/dev/fake"); }, std::move(backend));
        ch.open();
        fake->lineError(bits);
        fake->arrive("ok");
        QTRY_COMPARE(host.received, QByteArray("ok"));   // bytes already received stay
        QCOMPARE(host.lines, lines);
    }
};

QTEST_GUILESS_MAIN(TestLinkSerial)
#include "tst_link_serial.moc"
