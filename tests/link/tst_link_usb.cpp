// The USB link over the tests' USB bus (tst_link_usb_fake.h), with kx9sim's
// reader model answering behind it: TSPTUsbC1's search and pipe opening with
// every log line, a busy first reader, a refused pipe and the retry, closed
// and unplugged pipes; the module's USB channel (sending, the 64-byte poll
// through the staging, the port check's three answers, closing).
#include "link/comm_module.h"
#include "link/main_state.h"
#include "link/text_codec.h"
#include "link/usb_channel.h"
#include "link/usb_device.h"
#include "link_test_util.h"
#include "pty_pair.h"
#include "tst_link_usb_fake.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace kx9;
using kx9test::FakeUsbBus;

namespace {

const QString kA = QStringLiteral("USB bus 1 port 2 ID 1209:0001");
const QString kB = QStringLiteral("USB bus 1 port 3 ID 1209:0001");
const QByteArray kRomQuery = kx9test::WireFrame('O', QByteArray::fromHex("9000"));

// The receiver's log line for bytes moved in one poll.
QString rxLine(const QByteArray &bytes)
{
    QString s = QStringLiteral("RX:");
    for (char c : bytes)
        s += QStringLiteral("%1 ").arg(uint8_t(c), 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

// What a whole opening of one device logs when it works.
QStringList openedLines(const QString &path)
{
    return {"DeviceName = (" + path + ")\n", "DeviceName = (" + path + "\\PIPE01)", "Opened successfully.",
            "DeviceName = (" + path + "\\PIPE00)", "Opened successfully."};
}

enum Bus { OneReader, FirstBusy, NoDevice, AllBusy, AccessRefused, OutPipeRefused, InPipeRefused, ListFails };

void build(FakeUsbBus &bus, int kind)
{
    switch (kind) {
    case OneReader:
        bus.addReader(kA);
        break;
    case FirstBusy:
        bus.addReader(kA).openError = UsbErrorBusy;
        bus.addReader(kB);
        break;
    case NoDevice:
        break;
    case AllBusy:
        bus.addReader(kA).openError = UsbErrorBusy;
        break;
    case AccessRefused:
        bus.addReader(kA).openError = UsbErrorAccess;
        break;
    case OutPipeRefused:
        bus.addReader(kA).pipeError[0] = UsbErrorIo;
        break;
    case InPipeRefused:
        bus.addReader(kA).pipeError[1] = UsbErrorPipe;
        break;
    case ListFails:
        bus.listError = UsbErrorOther;
        break;
    }
}

} // namespace

class TestLinkUsb : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    AppOptions opts_;
    MainState state_;
    kx9test::MemoryLog log_;

    QString ini() const { return dir_.filePath("kx9monitor.ini"); }
    std::unique_ptr<CommModule> makeModule(int comPort = 1)
    {
        LinkConfig cfg;
        cfg.LinkMode = 1;
        cfg.ComPort = comPort;
        auto m = std::make_unique<CommModule>(cfg, ini(), opts_, state_, &log_);
        return m;
    }
    static std::unique_ptr<QTimer> drainEvery100ms(CommModule &m)
    {
        auto t = std::make_unique<QTimer>();
        QObject::connect(t.get(), &QTimer::timeout, &m, [&m] { m.DrainReceiver(); });
        t->start(100);
        return t;
    }
    // Reads the IN pipe until `n` bytes came or 3 s passed.
    static QByteArray readSome(TSPTUsbC1 &usb, int n)
    {
        QByteArray got;
        (void)QTest::qWaitFor([&] {
            uint8_t buf[64];
            const int k = usb.UsbRead(buf, 64);
            got.append(reinterpret_cast<const char *>(buf), k);
            return got.size() >= n;
        }, 3000);
        return got;
    }

private slots:
    void init()
    {
        log_.lines.clear();
        QFile::remove(ini());
    }

    void openingLogsEveryStep_data()
    {
        QTest::addColumn<int>("bus");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("permission");
        QTest::newRow("one reader") << int(OneReader) << openedLines(kA) << true << false;
        // The busy first reader is passed over by every search, so both pipes are the second one's.
        QTest::newRow("first busy") << int(FirstBusy) << openedLines(kB) << true << false;
        // The path of the previous row's device is gone: a new channel starts with none.
        QTest::newRow("no device") << int(NoDevice)
                                   << QStringList{"Failed to open () = -4 (LIBUSB_ERROR_NO_DEVICE)",
                                                  "Failed to GetUsbDeviceFileName[-4 (LIBUSB_ERROR_NO_DEVICE)]",
                                                  "Failed to GetUsbDeviceFileName[-4 (LIBUSB_ERROR_NO_DEVICE)]"}
                                   << false << false;
        QTest::newRow("only reader busy") << int(AllBusy)
                                          << QStringList{"Failed to open (" + kA + ") = -6 (LIBUSB_ERROR_BUSY)",
                                                         "Failed to GetUsbDeviceFileName[-6 (LIBUSB_ERROR_BUSY)]",
                                                         "Failed to GetUsbDeviceFileName[-6 (LIBUSB_ERROR_BUSY)]"}
                                          << false << false;
        QTest::newRow("access refused") << int(AccessRefused)
                                        << QStringList{"Failed to open (" + kA + ") = -3 (LIBUSB_ERROR_ACCESS)",
                                                       TSPTUsbC1::PermissionHint(),
                                                       "Failed to GetUsbDeviceFileName[-3 (LIBUSB_ERROR_ACCESS)]",
                                                       "Failed to GetUsbDeviceFileName[-3 (LIBUSB_ERROR_ACCESS)]"}
                                        << false << true;
        QTest::newRow("PIPE00 refused") << int(OutPipeRefused)
                                        << QStringList{"DeviceName = (" + kA + ")\n",
                                                       "DeviceName = (" + kA + "\\PIPE01)", "Opened successfully.",
                                                       "DeviceName = (" + kA + "\\PIPE00)",
                                                       "Failed to open (" + kA + "\\PIPE00) = -1 (LIBUSB_ERROR_IO)"}
                                        << false << false;
        QTest::newRow("PIPE01 refused") << int(InPipeRefused)
                                        << QStringList{"DeviceName = (" + kA + ")\n",
                                                       "DeviceName = (" + kA + "\\PIPE01)",
                                                       "Failed to open (" + kA + "\\PIPE01) = -9 (LIBUSB_ERROR_PIPE)",
                                                       "DeviceName = (" + kA + "\\PIPE00)", "Opened successfully."}
                                        << false << false;
        QTest::newRow("device list unreadable")
            << int(ListFails)
            << QStringList{"Failed to open () = -99 (LIBUSB_ERROR_OTHER)",
                           "Failed to GetUsbDeviceFileName[-99 (LIBUSB_ERROR_OTHER)]",
                           "Failed to GetUsbDeviceFileName[-99 (LIBUSB_ERROR_OTHER)]"}
            << false << false;
    }
    void openingLogsEveryStep()
    {
        QFETCH(int, bus);
        QFETCH(QStringList, lines);
        QFETCH(bool, opened);
        QFETCH(bool, permission);
        FakeUsbBus fake;
        build(fake, bus);
        auto transfer = fake.makeTransfer();
        QStringList logged;
        TSPTUsbC1 usb(*transfer, [&](const QString &l) { logged << l; });
        QCOMPARE(logged, lines);
        QCOMPARE(usb.Opened(), opened);
        QCOMPARE(usb.PermissionDenied(), permission);
        if (bus == FirstBusy) {
            // Tried once by each of the three searches, never claimed.
            QCOMPARE(fake.device(0).deviceOpens, 3);
            QCOMPARE(fake.device(0).pipeOpens[0] + fake.device(0).pipeOpens[1], 0);
            QCOMPARE(fake.device(1).pipeOpens[0], 1);
            QCOMPARE(fake.device(1).pipeOpens[1], 1);
            int written = 0;
            QVERIFY(usb.UsbWrite(reinterpret_cast<const uint8_t *>(kRomQuery.constData()), int(kRomQuery.size()), written));
            QCOMPARE(written, int(kRomQuery.size()));
            QCOMPARE(fake.device(1).written, kRomQuery);
            QVERIFY(fake.device(0).written.isEmpty());
        }
        usb.UsbClose();
        for (int i = 0; i < (bus == FirstBusy ? 2 : bus == NoDevice || bus == ListFails ? 0 : 1); ++i)
            QCOMPARE(fake.device(i).claims, 0);
    }

    // A refused PIPE00 leaves the channel closed though PIPE01 opened; the
    // owner's retry (close, then open) reopens both and the reader answers.
    void retryAfterARefusedOutPipeReopensBoth()
    {
        FakeUsbBus fake;
        FakeUsbBus::Device &dev = fake.addReader(kA);
        dev.pipeError[0] = UsbErrorIo;
        auto transfer = fake.makeTransfer();
        QStringList logged;
        TSPTUsbC1 usb(*transfer, [&](const QString &l) { logged << l; });
        QVERIFY(!usb.Opened());
        int written = -1;
        QVERIFY(!usb.UsbWrite(reinterpret_cast<const uint8_t *>(kRomQuery.constData()), int(kRomQuery.size()), written));
        QCOMPARE(written, 0);
        usb.UsbClose();
        QCOMPARE(dev.claims, 0);

        dev.pipeError[0] = UsbOk;
        logged.clear();
        QVERIFY(usb.UsbOpen());
        QCOMPARE(logged, openedLines(kA));
        QCOMPARE(dev.pipeOpens[0], 2);
        QCOMPARE(dev.pipeOpens[1], 2);
        QVERIFY(usb.UsbWrite(reinterpret_cast<const uint8_t *>(kRomQuery.constData()), int(kRomQuery.size()), written));
        const QList<QByteArray> sent = dev.simFrames("TX");
        QCOMPARE(dev.simFrames("RX"), QList<QByteArray>{kRomQuery});
        QCOMPARE(sent.size(), 1);
        QCOMPARE(readSome(usb, int(sent.first().size())), sent.first());
        // One device handle and two pipes, no more: an opening never holds a claim twice.
        QCOMPARE(dev.claims, 3);
        QVERIFY(usb.UsbOpen());
        QCOMPARE(dev.claims, 3);
    }

    void closedOrUnpluggedPipesFail()
    {
        FakeUsbBus fake;
        auto transfer = fake.makeTransfer();
        TSPTUsbC1 none(*transfer, {});
        uint8_t buf[64];
        std::fill(std::begin(buf), std::end(buf), uint8_t(0xAA));
        QCOMPARE(none.UsbRead(buf, 64), 0);
        QVERIFY(std::all_of(std::begin(buf), std::end(buf), [](uint8_t b) { return b == 0xAA; }));

        FakeUsbBus::Device &dev = fake.addReader(kA);
        TSPTUsbC1 usb(*transfer, {});
        QVERIFY(usb.Opened());
        int written = 0;
        QVERIFY(usb.UsbWrite(reinterpret_cast<const uint8_t *>(kRomQuery.constData()), int(kRomQuery.size()), written));
        // The reader is pulled out with its answer on the way: nothing more
        // is read or written, and plugging it back in does not revive the pipes.
        dev.unplug();
        dev.present = true;
        QCOMPARE(usb.UsbRead(buf, 64), 0);
        QVERIFY(std::all_of(std::begin(buf), std::end(buf), [](uint8_t b) { return b == 0xAA; }));
        QVERIFY(!usb.UsbWrite(reinterpret_cast<const uint8_t *>(kRomQuery.constData()), int(kRomQuery.size()), written));
        QCOMPARE(written, 0);
        QCOMPARE(dev.written, kRomQuery);
        QVERIFY(usb.Opened());   // no reconnection, and no notice of the loss either
        usb.UsbClose();
        QCOMPARE(usb.UsbRead(buf, 64), 0);
    }

    void stagingKeeps4096BytesAndDropsAbove()
    {
        UsbStaging s;
        int next = 0;
        auto pattern = [&](uint8_t *dst, int max) {
            for (int i = 0; i < max; ++i)
                dst[i] = uint8_t(next++);
            return max;
        };
        for (int i = 0; i < UsbStaging::kSize / UsbStaging::kReadSize; ++i)
            QCOMPARE(s.stage(pattern), 64);
        QCOMPARE(s.count(), 4096);
        for (int i = 0; i < 4096; ++i)
            QCOMPARE(s.data()[i], uint8_t(i));
        // One byte more than 4096 staged: everything staged is dropped.
        QCOMPARE(s.stage([&](uint8_t *dst, int) { dst[0] = 0x55; return 1; }), 1);
        QCOMPARE(s.count(), 0);
        uint8_t out[64];
        QCOMPARE(s.take(out, 64), 0);
        // Then it carries on from empty; what is left after a take moves to the front.
        QCOMPARE(s.stage(pattern), 64);
        QCOMPARE(s.stage(pattern), 64);
        QCOMPARE(s.take(out, 64), 64);
        QCOMPARE(out[0], uint8_t(4096));
        QCOMPARE(s.count(), 64);
        QCOMPARE(s.data()[0], uint8_t(4096 + 64));
        // A failed read stages nothing.
        QCOMPARE(s.stage([](uint8_t *, int) { return 0; }), 0);
        QCOMPARE(s.count(), 64);
    }

    // The module on USB: frames out through PIPE00, the reader's answer in
    // through the 100 ms poll; the serial-port question says "not open";
    // the module's close and reopen leave the USB link alone.
    void moduleCarriesFramesBothWays()
    {
        FakeUsbBus fake;
        FakeUsbBus::Device &dev = fake.addReader(kA);
        auto m = makeModule();
        QStringList appLog;
        m->SetAppLog([&](const QString &l) { appLog << l; });
        QSignalSpy failed(m.get(), &CommModule::linkOpenFailed);
        m->Open();
        QCOMPARE(appLog, openedLines(kA));
        QCOMPARE(failed.count(), 0);
        QVERIFY(m->UsbLink());
        QVERIFY(!m->IsLinkOpen());
        auto timer = drainEvery100ms(*m);

        QVERIFY(m->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray::fromHex("9000")));
        QVERIFY(m->WaitAck());
        QCOMPARE(dev.written, kRomQuery);
        const QByteArray reply = dev.simFrames("TX").value(0);
        QVERIFY(!reply.isEmpty());
        QCOMPARE(m->LastReply().bytes(), reply);
        QVERIFY(log_.lines.contains(rxLine(reply)));

        m->LinkClose();
        m->LinkReopen();
        QVERIFY(m->UsbLink());
        QCOMPARE(dev.claims, 3);
        QVERIFY(m->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray::fromHex("9000")));
        QVERIFY(m->WaitAck());
        QCOMPARE(dev.written, kRomQuery + kRomQuery);

        // Pulled out: sends report nothing sent and the wait runs out.
        dev.unplug();
        QVERIFY(!m->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray::fromHex("9000")));
        QCOMPARE(m->LinkSend(kRomQuery), 0);
    }

    // Each poll moves at most 64 bytes; nothing is lost or reordered however
    // much the reader sends between polls.
    void pollMovesAtMost64BytesAPoll()
    {
        FakeUsbBus fake;
        FakeUsbBus::Device &dev = fake.addReader(kA);
        auto m = makeModule();
        m->Open();
        QVERIFY(m->UsbLink() && m->UsbLink()->usb().Opened());
        QList<QByteArray> texts;
        m->SetTextReportDecoder([&](const QByteArray &t) { texts << t; });
        QByteArray burst;
        for (int i = 0; i < 12; ++i)
            burst += kx9test::WireFrame('D', QByteArray::number(i).rightJustified(6, '0'));
        QCOMPARE(dev.control("send " + QString::fromLatin1(burst.toHex())), QStringLiteral("OK"));
        QTRY_COMPARE(dev.in.size(), burst.size());
        log_.lines.clear();
        QByteArray moved;
        int polls = 0;
        while (moved.size() < burst.size() && polls < 20) {
            const int before = log_.lines.size();
            m->DrainReceiver();
            ++polls;
            QCOMPARE(log_.lines.size(), before + 1);
            const QString line = log_.lines.last();
            QVERIFY(line.startsWith("RX:"));
            const QByteArray bytes = QByteArray::fromHex(line.mid(3).remove(' ').toLatin1());
            QCOMPARE(bytes.size(), std::min<qsizetype>(64, burst.size() - moved.size()));
            moved += bytes;
        }
        QCOMPARE(moved, burst);
        QCOMPARE(polls, int((burst.size() + 63) / 64));
        QCOMPARE(texts.size(), 12);
        QCOMPARE(texts.last(), QByteArray("000011"));
        QCOMPARE(m->UsbLink()->staging().count(), 0);
    }

    void portCheck_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("fixBeforeRetry");
        QTest::addColumn<bool>("endsTool");
        QTest::addColumn<int>("linkMode");
        QTest::addColumn<bool>("outPipeRefused");   // else the reader is busy
        QTest::newRow("再試行, reader free again") << int(UsbPortCheckChoice::Retry) << true << false << 1 << false;
        QTest::newRow("再試行, still busy") << int(UsbPortCheckChoice::Retry) << false << true << 1 << false;
        QTest::newRow("キャンセル") << int(UsbPortCheckChoice::Cancel) << false << true << 1 << false;
        QTest::newRow("ＣＯＭポート") << int(UsbPortCheckChoice::ComPort) << false << false << 0 << false;
        // PIPE01 and the device were open: they are closed before the operator is asked.
        QTest::newRow("PIPE00 refused, 再試行") << int(UsbPortCheckChoice::Retry) << true << false << 1 << true;
    }
    void portCheck()
    {
        QFETCH(int, choice);
        QFETCH(bool, fixBeforeRetry);
        QFETCH(bool, endsTool);
        QFETCH(int, linkMode);
        QFETCH(bool, outPipeRefused);
        kx9test::PtyPair pty;
        QVERIFY(pty.ok());
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(EncodeCp932("[ComPorts]\nSystemPorts=0\nCOM4=" + pty.path() + "\n"));
        f.close();

        FakeUsbBus fake;
        FakeUsbBus::Device &dev = fake.addReader(kA);
        if (outPipeRefused)
            dev.pipeError[0] = UsbErrorIo;
        else
            dev.openError = UsbErrorBusy;
        auto m = makeModule(4);
        QStringList events;
        m->SetAppLog([&](const QString &l) { events << l; });
        connect(m.get(), &CommModule::linkOpenFailed, this,
                [&](const QString &message, const QString &) { events << "box: " + message; });
        int claimsWhileAsked = -1;
        m->SetUsbPortCheck([&](const QString &reason) {
            events << "port check" + reason;
            claimsWhileAsked = dev.claims;
            if (fixBeforeRetry)
                dev.openError = dev.pipeError[0] = UsbOk;
            return UsbPortCheckChoice(choice);
        });
        m->Open();

        const QStringList refused =
            outPipeRefused ? QStringList{"DeviceName = (" + kA + ")\n", "DeviceName = (" + kA + "\\PIPE01)",
                                         "Opened successfully.", "DeviceName = (" + kA + "\\PIPE00)",
                                         "Failed to open (" + kA + "\\PIPE00) = -1 (LIBUSB_ERROR_IO)"}
                           : QStringList{"Failed to open (" + kA + ") = -6 (LIBUSB_ERROR_BUSY)",
                                         "Failed to GetUsbDeviceFileName[-6 (LIBUSB_ERROR_BUSY)]",
                                         "Failed to GetUsbDeviceFileName[-6 (LIBUSB_ERROR_BUSY)]"};
        QStringList expected = refused + QStringList{"box: NG : TSPTUsbC1", "port check"};
        if (choice == int(UsbPortCheckChoice::Retry))
            expected += fixBeforeRetry ? openedLines(kA) : refused;
        QCOMPARE(events, expected);
        QCOMPARE(claimsWhileAsked, 0);
        QCOMPARE(m->ToolEndRequested(), endsTool);
        QCOMPARE(m->LinkMode(), linkMode);
        if (linkMode == 0) {
            QVERIFY(!m->UsbLink());
            QCOMPARE(fake.transfersAlive(), 0);
            QVERIFY(m->IsLinkOpen());
            QVERIFY(m->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray::fromHex("9000")));
            QCOMPARE(pty.read(kRomQuery.size(), 3000), kRomQuery);
        } else {
            QCOMPARE(m->UsbLink()->usb().Opened(), fixBeforeRetry);
        }
    }

    // A permission refusal is named to the operator's dialog as well.
    void portCheckHearsOfAPermissionRefusal()
    {
        FakeUsbBus fake;
        fake.addReader(kA).openError = UsbErrorAccess;
        auto m = makeModule();
        QString reason, boxReason;
        connect(m.get(), &CommModule::linkOpenFailed, this, [&](const QString &, const QString &r) { boxReason = r; });
        m->SetUsbPortCheck([&](const QString &r) {
            reason = r;
            return UsbPortCheckChoice::Cancel;
        });
        m->Open();
        QCOMPARE(reason, TSPTUsbC1::PermissionHint());
        QCOMPARE(boxReason, TSPTUsbC1::PermissionHint());
        QVERIFY(m->ToolEndRequested());
        // The lines go through CommLog when no AppLog writer is given.
        QVERIFY(log_.lines.contains(TSPTUsbC1::PermissionHint()));
    }

    void closeReleasesTheReaderAfterAPause()
    {
        FakeUsbBus fake;
        FakeUsbBus::Device &dev = fake.addReader(kA);
        auto m = makeModule();
        m->Open();
        QCOMPARE(dev.claims, 3);
        QElapsedTimer t;
        t.start();
        m->Close();
        QVERIFY(t.elapsed() >= CommModule::kUsbClosePauseMs);
        QCOMPARE(dev.claims, 0);
        QCOMPARE(fake.transfersAlive(), 0);
        QVERIFY(!m->UsbLink());
        QCOMPARE(m->LinkSend(kRomQuery), 0);
        m->DrainReceiver();
    }
};

QTEST_GUILESS_MAIN(TestLinkUsb)
#include "tst_link_usb.moc"
