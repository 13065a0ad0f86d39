// TCommX over the fake driver: opening and its failures, property writes,
// chunked sending, the receive hand-off to the GUI thread, half-duplex RTS
// keying, modem lines, and closing while the threads are busy.
#include "fake_serial_backend.h"
#include "link/commx.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <thread>

using namespace kx9;
using kx9test::FakeSerialBackend;
using Clock = std::chrono::steady_clock;

namespace {

struct Port {
    FakeSerialBackend *fake;
    std::unique_ptr<TCommX> commx;
};

Port makePort()
{
    auto backend = std::make_unique<FakeSerialBackend>();
    FakeSerialBackend *fake = backend.get();
    auto commx = std::make_unique<TCommX>(nullptr, std::move(backend));
    commx->setDeviceResolver([](int n) { return QStringLiteral("/dev/fake%1").arg(n); });
    return {fake, std::move(commx)};
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

QByteArray pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

qint64 msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

// Waits without running the event loop (so no hand-off completes).
bool spinUntil(const std::function<bool()> &cond, int ms = 3000)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

class TestLinkCommX : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        auto p = makePort();
        TCommX &c = *p.commx;
        QCOMPARE(c.PortNo(), 1);
        QCOMPARE(c.BitRate(), 9600);
        QCOMPARE(c.CharSize(), 8);
        QCOMPARE(c.ParityBit(), int(cpbNone));
        QCOMPARE(c.StopBit(), int(csb1));
        QCOMPARE(c.FlowCtrl(), int(cfcRtsCts));
        QCOMPARE(c.TimeOutTrans(), 3000);
        QCOMPARE(c.TimeOutReceive(), 3000);
        QCOMPARE(c.XonChar(), uint8_t(0x11));
        QCOMPARE(c.XoffChar(), uint8_t(0x13));
        QCOMPARE(c.BufLenTrans(), 2048);
        QCOMPARE(c.BufLenReceive(), 2048);
        QCOMPARE(c.Handle(), -1);
        QVERIFY(!c.IsOpen());
    }

    void openConfiguresTheLineInOrder()
    {
        auto p = makePort();
        p.commx->SetPortNo(3);
        p.commx->SetBitRate(19200);
        p.commx->SetParityBit(cpbEven);
        QElapsedTimer t;
        t.start();
        p.commx->PortOpen();
        QVERIFY(t.elapsed() >= 100);   // the threads are given their start
        QVERIFY(p.commx->IsOpen());
        QCOMPARE(p.commx->Handle(), 99);
        const QStringList expected{
            "open /dev/fake3", "buffers 2048 2048", "purge out", "purge in", "bitRate 19200", "charSize 8",
            "parity 2", "stopBits 0", "flow RtsCts 512 512", "dtr 1", "rts 1", "timeouts 3000 3000",
            "xon 17", "xoff 19"};
        QCOMPARE(p.fake->calls(), expected);

        p.fake->clearCalls();
        t.restart();
        p.commx->PortClose();
        QVERIFY(t.elapsed() >= 300);
        QVERIFY(!p.commx->IsOpen());
        QCOMPARE(p.commx->Handle(), -1);
        // Lines down, queues cleared, threads gone, then the handle.
        QCOMPARE(p.fake->calls(), QStringList({"dtr 0", "rts 0", "purge out", "purge in", "close"}));
        p.fake->clearCalls();
        p.commx->PortClose();   // closed: nothing at all
        QCOMPARE(p.fake->calls(), QStringList());
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("message");
        QTest::newRow("device") << "open" << "ポートをオープンできませんでした";
        QTest::newRow("buffers") << "buffers" << "通信用ポートのバッファを準備できませんでした";
        QTest::newRow("bit rate") << "bitRate" << "通信速度の設定でエラーが発生しました";
        QTest::newRow("char size") << "charSize" << "通信ビット数の設定でエラーが発生しました";
        QTest::newRow("parity") << "parity" << "通信パリティチェックの設定でエラーが発生しました";
        QTest::newRow("stop bits") << "stopBits" << "通信ストップビット数の設定でエラーが発生しました";
        QTest::newRow("flow") << "flow" << "通信フロー制御の設定で失敗しました";
        QTest::newRow("timeouts") << "timeouts" << "通信タイムアウト時間の設定で失敗しました";
        QTest::newRow("xon") << "xon" << "Ｘｏｎ文字の設定でエラーが発生しました";
        QTest::newRow("xoff") << "xoff" << "Ｘｏｆｆ文字の設定でエラーが発生しました";
    }
    void openFailures()
    {
        QFETCH(QString, step);
        QFETCH(QString, message);
        auto p = makePort();
        p.fake->refuse(step);
        QCOMPARE(raised([&] { p.commx->PortOpen(); }), message);
        QVERIFY(!p.commx->IsOpen());
        QVERIFY(!p.fake->isOpen());
        QVERIFY(!p.commx->TransBlock(QByteArray("x")));
        QCOMPARE(p.commx->ReceiveChar(), -1);
        if (step != "open") {
            // Opened far enough to be closed again, lines dropped first.
            const QStringList calls = p.fake->calls();
            QCOMPARE(calls.last(), QStringLiteral("close"));
            QVERIFY(calls.lastIndexOf("dtr 0") >= 0 && calls.lastIndexOf("dtr 0") < calls.lastIndexOf("close"));
        }
        // Once the driver agrees, the same object opens.
        p.fake->allow(step);
        p.commx->PortOpen();
        QVERIFY(p.commx->IsOpen());
    }

    void openTwiceKeepsTheFirstOpening()
    {
        auto p = makePort();
        p.commx->PortOpen();
        p.fake->clearCalls();
        QCOMPARE(raised([&] { p.commx->PortOpen(); }), QStringLiteral("ポートは、すでにオープンされています"));
        QCOMPARE(p.fake->calls(), QStringList());
        QVERIFY(p.commx->IsOpen());
        QVERIFY(p.commx->TransBlock(QByteArray("still here")));
        QTRY_COMPARE(p.fake->output(), QByteArray("still here"));
    }

    void writesWhileOpen_data()
    {
        QTest::addColumn<int>("property");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QStringList>("applied");
        QTest::addColumn<QString>("message");
        QTest::newRow("BitRate") << 0 << "bitRate" << QStringList{"bitRate 38400"} << "通信速度の設定でエラーが発生しました";
        QTest::newRow("CharSize") << 1 << "charSize" << QStringList{"charSize 7"} << "通信ビット数の設定でエラーが発生しました";
        QTest::newRow("ParityBit") << 2 << "parity" << QStringList{"parity 1"} << "通信パリティチェックの設定でエラーが発生しました";
        QTest::newRow("StopBit") << 3 << "stopBits" << QStringList{"stopBits 2"} << "通信ストップビット数の設定でエラーが発生しました";
        QTest::newRow("FlowCtrl") << 4 << "flow" << QStringList{"flow XonXoff 512 512", "dtr 1", "rts 1"} << "通信フロー制御の設定で失敗しました";
        QTest::newRow("TimeOutTrans") << 5 << "timeouts" << QStringList{"timeouts 3000 500"} << "通信タイムアウト時間の設定で失敗しました";
        QTest::newRow("XonChar") << 6 << "xon" << QStringList{"xon 65"} << "Ｘｏｎ文字の設定でエラーが発生しました";
        QTest::newRow("XoffChar") << 7 << "xoff" << QStringList{"xoff 66"} << "Ｘｏｆｆ文字の設定でエラーが発生しました";
        QTest::newRow("BufLenReceive") << 8 << "buffers" << QStringList{"buffers 4096 2048", "flow RtsCts 1024 1024", "dtr 1", "rts 1"}
                                       << "通信用ポートのバッファを準備できませんでした";
    }
    void writesWhileOpen()
    {
        QFETCH(int, property);
        QFETCH(QString, step);
        QFETCH(QStringList, applied);
        QFETCH(QString, message);
        auto p = makePort();
        TCommX &c = *p.commx;
        const std::function<void()> write = [&] {
            switch (property) {
            case 0: c.SetBitRate(38400); break;
            case 1: c.SetCharSize(7); break;
            case 2: c.SetParityBit(cpbOdd); break;
            case 3: c.SetStopBit(csb2); break;
            case 4: c.SetFlowCtrl(cfcXonXoff); break;
            case 5: c.SetTimeOutTrans(500); break;
            case 6: c.SetXonChar('A'); break;
            case 7: c.SetXoffChar('B'); break;
            case 8: c.SetBufLenReceive(4096); break;
            }
        };
        // Closed: stored only.
        write();
        QCOMPARE(p.fake->calls(), QStringList());
        c.PortOpen();
        QVERIFY(p.fake->calls().join('|').contains(applied.first()));   // the stored value went in at open
        p.fake->clearCalls();
        write();
        QCOMPARE(p.fake->calls(), applied);
        p.fake->refuse(step);
        QCOMPARE(raised(write), message);
        QVERIFY(c.IsOpen());   // a refused setting leaves the port open
    }

    void unknownParityAndStopBitsAreKeptNotApplied()
    {
        auto p = makePort();
        p.commx->SetParityBit(3);
        p.commx->SetStopBit(5);
        p.commx->PortOpen();
        QCOMPARE(p.commx->ParityBit(), 3);
        QCOMPARE(p.commx->StopBit(), 5);
        QVERIFY(p.fake->calls().filter("parity").isEmpty());
        QVERIFY(p.fake->calls().filter("stopBits").isEmpty());

        p.commx->SetParityBit(cpbEven);
        QCOMPARE(p.fake->parity(), 2);
        p.fake->clearCalls();
        p.commx->SetParityBit(3);
        QCOMPARE(p.commx->ParityBit(), 3);
        QCOMPARE(p.fake->calls(), QStringList());
        QCOMPARE(p.fake->parity(), 2);   // the line keeps even parity
    }

    void portNoReopensWhileOpenAndIsStoredWhileClosed()
    {
        auto p = makePort();
        p.commx->SetPortNo(4);
        QCOMPARE(p.commx->PortNo(), 4);
        QCOMPARE(p.fake->calls(), QStringList());
        p.commx->PortOpen();
        p.fake->clearCalls();
        p.commx->SetPortNo(6);
        QVERIFY(p.commx->IsOpen());
        const QStringList calls = p.fake->calls();
        QCOMPARE(calls.filter(QRegularExpression("^(open|close)")), QStringList({"close", "open /dev/fake6"}));
        QVERIFY(p.commx->TransBlock(QByteArray("on six")));
        QTRY_COMPARE(p.fake->output(), QByteArray("on six"));
        // A reopen that fails leaves the port closed with the new number.
        p.fake->refuse("open");
        QCOMPARE(raised([&] { p.commx->SetPortNo(7); }), QStringLiteral("ポートをオープンできませんでした"));
        QVERIFY(!p.commx->IsOpen());
        QCOMPARE(p.commx->PortNo(), 7);
    }

    void transBlockChunks_data()
    {
        QTest::addColumn<int>("bufLen");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("chunks");
        QTest::newRow("5000 at 2048") << 2048 << 5000 << QList<int>{2048, 2048, 904};
        QTest::newRow("exactly one chunk") << 2048 << 2048 << QList<int>{2048};
        QTest::newRow("small buffer") << 100 << 250 << QList<int>{100, 100, 50};
        QTest::newRow("one byte") << 2048 << 1 << QList<int>{1};
    }
    void transBlockChunks()
    {
        QFETCH(int, bufLen);
        QFETCH(int, count);
        QFETCH(QList<int>, chunks);
        auto p = makePort();
        p.commx->SetBufLenTrans(bufLen);
        p.commx->PortOpen();
        const QByteArray data = pattern(count);
        QVERIFY(p.commx->TransBlock(data));
        QTRY_COMPARE(p.fake->output().size(), data.size());
        QCOMPARE(p.fake->writeSizes(), chunks);
        QCOMPARE(p.fake->output(), data);
        QTRY_COMPARE(p.commx->GetTransLength(), 0);
    }

    void transBlockOnAClosedPort()
    {
        auto p = makePort();
        QVERIFY(!p.commx->TransBlock(QByteArray("abc")));
        QVERIFY(!p.commx->TransChar('a'));
        QVERIFY(p.commx->TransBlock(nullptr, 0));
        QVERIFY(p.commx->TransString(QByteArray()));
        QCOMPARE(p.commx->GetTransLength(), 0);
        QCOMPARE(p.commx->GetReceiveLength(), 0);
        uint8_t buf[4];
        QCOMPARE(p.commx->ReceiveBlock(buf, 4), -1);
        QCOMPARE(p.fake->calls(), QStringList());
    }

    void atMost32ChunksWaitAndTheGuiStaysAlive()
    {
        auto p = makePort();
        p.commx->SetBufLenTrans(16);
        p.commx->PortOpen();
        p.fake->stallWrites(true);
        const QByteArray data = pattern(16 * 40);
        int pendingSeen = -1;
        bool timerRan = false;
        // Runs inside TransBlock, which waits for room in the queue.
        QTimer::singleShot(200, [&] {
            timerRan = true;
            pendingSeen = p.commx->GetTransLength();
            p.fake->stallWrites(false);
        });
        QVERIFY(p.commx->TransBlock(data));
        QVERIFY(timerRan);
        QCOMPARE(pendingSeen, 16 * 32);
        QTRY_COMPARE(p.fake->output(), data);
    }

    void clearTransBufReturnsWhenNothingIsPending()
    {
        auto p = makePort();
        p.commx->SetBufLenTrans(100);
        p.commx->PortOpen();
        p.fake->stallWrites(true);
        QVERIFY(p.commx->TransBlock(pattern(300)));
        QCOMPARE(p.commx->GetTransLength(), 300);
        p.commx->ClearTransBuf();
        QCOMPARE(p.commx->GetTransLength(), 0);
        p.fake->stallWrites(false);
        QTest::qWait(100);
        QCOMPARE(p.fake->output(), QByteArray());   // nothing queued survived
        // The queue works again afterwards.
        QVERIFY(p.commx->TransBlock(QByteArray("next")));
        QTRY_COMPARE(p.fake->output(), QByteArray("next"));
    }

    void receiveEventsReachTheGuiOneAtATime()
    {
        auto p = makePort();
        QStringList seen;
        int depth = 0, maxDepth = 0;
        QByteArray got;
        p.commx->OnReceive = [&](TCustomCommX *sender, int n) {
            QCOMPARE(sender, p.commx.get());
            QCOMPARE(QThread::currentThread(), qApp->thread());
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            seen << QStringLiteral("receive %1").arg(n);
            QByteArray buf(n, '\0');
            const int r = p.commx->ReceiveBlock(reinterpret_cast<uint8_t *>(buf.data()), n);
            got += buf.left(r);
            if (seen.size() == 1) {
                // More bytes arrive while the first event is handled, and the
                // event loop runs: the next event must wait for this one.
                p.fake->arrive("DEF");
                QTest::qWait(50);
            }
            --depth;
        };
        p.commx->PortOpen();
        p.fake->arrive("ABC");
        QTRY_COMPARE(got, QByteArray("ABCDEF"));
        QCOMPARE(maxDepth, 1);
        QCOMPARE(seen, QStringList({"receive 3", "receive 3"}));
    }

    void noOnReceiveWhenTheQueueIsAlreadyEmpty()
    {
        auto p = makePort();
        int calls = 0;
        p.commx->OnReceive = [&](TCustomCommX *, int) { ++calls; };
        p.commx->PortOpen();
        QVERIFY(spinUntil([&] { return p.fake->waits() == 1; }));
        p.fake->raiseEvent();
        // Handled once the thread watches the line again.
        QTRY_COMPARE(p.fake->waits(), 2);
        QCOMPARE(calls, 0);
        p.fake->arrive("x");
        QTRY_COMPARE(calls, 1);
    }

    void lineErrorsBreakAndDataInThatOrder()
    {
        auto p = makePort();
        QStringList seen;
        p.commx->OnError = [&](TCustomCommX *, int bits) { seen << QStringLiteral("error %1").arg(bits, 2, 16, QChar('0')); };
        p.commx->OnBreak = [&](TCustomCommX *) { seen << "break"; };
        p.commx->OnReceive = [&](TCustomCommX *c, int n) {
            seen << QStringLiteral("receive %1").arg(n);
            c->ClearReceiveBuf();
        };
        p.commx->PortOpen();
        p.fake->lineError(kLineFraming | kLineOverrun, 1);
        p.fake->arrive(QByteArray(2, '\0'));
        QTRY_COMPARE(seen, QStringList({"error 0a", "break", "receive 2"}));
        // Without handlers the events are dropped quietly.
        p.commx->OnError = nullptr;
        p.fake->lineError(kLineParity);
        p.fake->arrive("z");
        QTRY_COMPARE(seen.size(), 4);
        QCOMPARE(seen.last(), QStringLiteral("receive 1"));
    }

    void closeWhileAnEventIsBeingHandedOver()
    {
        auto p = makePort();
        int calls = 0;
        p.commx->OnReceive = [&](TCustomCommX *, int) { ++calls; };
        p.commx->PortOpen();
        p.fake->arrive("late");
        // The receive thread has posted the event and waits for the GUI
        // thread, which is busy closing the port.
        QVERIFY(spinUntil([&] { return p.fake->eventsTaken() == 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QElapsedTimer t;
        t.start();
        p.commx->PortClose();
        QVERIFY2(t.elapsed() < 10000, "PortClose waited for the receive thread's hand-off");
        QTest::qWait(50);
        QCOMPARE(calls, 0);   // the stale event found the port closed

        // Closing from inside the handler itself.
        p.commx->OnReceive = [&](TCustomCommX *c, int) {
            ++calls;
            c->PortClose();
        };
        p.commx->PortOpen();
        p.fake->arrive("x");
        QTRY_COMPARE(calls, 1);
        QVERIFY(!p.commx->IsOpen());
        // And it opens again cleanly.
        p.commx->OnReceive = [&](TCustomCommX *c, int n) { calls += n; c->ClearReceiveBuf(); };
        p.commx->PortOpen();
        p.fake->arrive("yy");
        QTRY_COMPARE(calls, 3);
    }

    void destroyedWhileAnEventIsPending()
    {
        auto p = makePort();
        int calls = 0;
        p.commx->OnReceive = [&](TCustomCommX *, int) { ++calls; };
        p.commx->PortOpen();
        p.fake->arrive("gone");
        QVERIFY(spinUntil([&] { return p.fake->eventsTaken() == 1; }));
        p.commx.reset();
        QTest::qWait(50);
        QCOMPARE(calls, 0);
    }

    void halfDuplexKeying_data()
    {
        QTest::addColumn<int>("flow");
        QTest::addColumn<int>("bitRate");
        QTest::addColumn<bool>("keyLevel");
        QTest::newRow("cfcHalfHigh 9600") << int(cfcHalfHigh) << 9600 << true;
        QTest::newRow("cfcHalfLow 9600") << int(cfcHalfLow) << 9600 << false;
        QTest::newRow("cfcHalfHigh 1200") << int(cfcHalfHigh) << 1200 << true;
    }
    void halfDuplexKeying()
    {
        QFETCH(int, flow);
        QFETCH(int, bitRate);
        QFETCH(bool, keyLevel);
        const int charMs = 1000 / (bitRate / 10) + 1;   // 2 ms at 9600, 9 ms at 1200
        auto p = makePort();
        p.commx->SetFlowCtrl(flow);
        p.commx->SetBitRate(bitRate);
        p.commx->SetBufLenTrans(10);
        p.commx->PortOpen();
        QCOMPARE(p.fake->rts(), !keyLevel);   // idle: receiving
        p.fake->clearStamps();
        const Clock::time_point queued = Clock::now();
        QVERIFY(p.commx->TransBlock(pattern(30)));   // one batch of three chunks
        QTRY_COMPARE(p.fake->output().size(), 30);
        QTRY_VERIFY(p.fake->stamps().size() >= 6);

        const auto stamps = p.fake->stamps();
        QStringList order;
        for (const auto &s : stamps)
            order << s.what;
        const QString on = QStringLiteral("rts %1").arg(keyLevel ? 1 : 0);
        const QString off = QStringLiteral("rts %1").arg(keyLevel ? 0 : 1);
        QCOMPARE(order, QStringList({on, "write 10", "write 10", "write 10", "drain", off}));
        // Lower bounds are what the keying promises; the upper bounds only
        // catch a keying that waits for something else (loose on a busy machine).
        const qint64 keyDelay = msBetween(queued, stamps[0].at);
        QVERIFY2(keyDelay >= 50 && keyDelay < 1000, qPrintable(QString::number(keyDelay)));
        const qint64 firstWrite = msBetween(stamps[0].at, stamps[1].at);
        QVERIFY2(firstWrite >= charMs && firstWrite < charMs + 500, qPrintable(QString::number(firstWrite)));
        const qint64 release = msBetween(stamps[3].at, stamps[5].at);
        QVERIFY2(release >= charMs && release < charMs + 500, qPrintable(QString::number(release)));
    }

    void noKeyingOutsideTheHalfDuplexModes()
    {
        auto p = makePort();
        p.commx->SetFlowCtrl(cfcNone);
        p.commx->PortOpen();
        p.fake->clearStamps();
        QVERIFY(p.commx->TransBlock(QByteArray("abc")));
        QTRY_COMPARE(p.fake->output(), QByteArray("abc"));
        QTest::qWait(20);
        // The write alone: RTS is not touched, before or after.
        const auto stamps = p.fake->stamps();
        QCOMPARE(stamps.size(), size_t(1));
        QCOMPARE(stamps[0].what, QStringLiteral("write 3"));
    }

    void modemLinesAndBreak()
    {
        auto p = makePort();
        p.fake->setModemStatus(kModemCts | kModemRlsd);
        QVERIFY(!p.commx->IsCtsSignal());   // closed: all false
        p.commx->SetFlowCtrl(cfcNone);
        p.commx->PortOpen();
        QVERIFY(p.commx->IsCtsSignal());
        QVERIFY(!p.commx->IsDsrSignal());
        QVERIFY(!p.commx->IsRingSignal());
        QVERIFY(p.commx->IsRlsdSignal());
        QVERIFY(p.commx->IsSignal(0x90));
        QVERIFY(!p.commx->IsSignal(0x60));
        QVERIFY(p.fake->dtr());
        p.commx->SetDtrSignal(false);
        QVERIFY(!p.fake->dtr());
        p.commx->SetRtsSignal(false);
        QVERIFY(!p.fake->rts());
        p.commx->SetRtsSignal(true);
        QVERIFY(p.fake->rts());

        p.fake->clearStamps();
        p.commx->SendBreak();
        const auto stamps = p.fake->stamps();
        QCOMPARE(stamps.size(), size_t(2));
        QCOMPARE(stamps[0].what, QStringLiteral("break 1"));
        QCOMPARE(stamps[1].what, QStringLiteral("break 0"));
        QVERIFY(msBetween(stamps[0].at, stamps[1].at) >= 300);
    }

    void receiveBlockWaitsForMoreThanWaits()
    {
        auto p = makePort();
        p.commx->SetTimeOutReceive(300);
        p.commx->PortOpen();
        p.fake->arrive("ab");
        uint8_t buf[8] = {};
        QCOMPARE(p.commx->ReceiveBlock(buf, 2), 2);   // what waits: at once
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), 2), QByteArray("ab"));
        QTimer::singleShot(50, [&] { p.fake->arrive("cd"); });
        QElapsedTimer t;
        t.start();
        QCOMPARE(p.commx->ReceiveBlock(buf, 4), 2);   // more than arrives: up to the timeout
        QVERIFY(t.elapsed() >= 290);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), 2), QByteArray("cd"));
        QCOMPARE(p.commx->ReceiveChar(), -1);
        QCOMPARE(p.commx->ReceiveBlock(nullptr, 4), -1);
    }
};

QTEST_GUILESS_MAIN(TestLinkCommX)
#include "tst_link_commx.moc"
