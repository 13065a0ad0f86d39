// The communication module over real loopback TCP: the server and client
// links, the receiver and router fed by a peer socket, and the reply waits.
#include "link/comm_module.h"
#include "link/frame.h"
#include "link/main_state.h"
#include "link_test_util.h"

#include <QElapsedTimer>
#include <sys/resource.h>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace kx9;
using kx9test::hex;
using kx9test::makeFrame;

namespace {
// The log's hex form, written here rather than taken from the code under test.
QString hexText(const QByteArray &b)
{
    return b.isEmpty() ? QString() : QString::fromLatin1(b.toHex(' ').toUpper()) + u' ';
}
} // namespace

class TestLinkTcp : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    AppOptions opts_;
    MainState state_;
    kx9test::MemoryLog log_;
    std::unique_ptr<CommModule> module_;
    std::unique_ptr<QTcpSocket> peer_;

    std::unique_ptr<CommModule> makeServer()
    {
        LinkConfig cfg;
        cfg.LinkMode = 2;
        cfg.TcpServerMode = 1;
        cfg.TcpListenPort = 0;   // ephemeral
        auto m = std::make_unique<CommModule>(cfg, dir_.filePath("t.ini"), opts_, state_, &log_);
        m->Open();
        return m;
    }

    std::unique_ptr<QTcpSocket> connectPeer(CommModule &m)
    {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, m.ListeningPort());
        if (!s->waitForConnected(3000))
            return nullptr;
        return s;
    }

    // Writes bytes from the peer and waits until they are in the ring.
    bool deliver(const QByteArray &bytes)
    {
        const int want = (module_->RxHead() + int(bytes.size())) % CommModule::kRingSize;
        peer_->write(bytes);
        peer_->flush();
        QElapsedTimer t;
        t.start();
        while (module_->RxHead() != want && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return module_->RxHead() == want;
    }

    // Log lines written by the receiver and router (socket event lines left out).
    QStringList receiverLines() const
    {
        QStringList out;
        for (const QString &l : log_.lines)
            if (!l.startsWith("ServerSocket1"))
                out << l;
        return out;
    }

    // The decoders of the commands layer, stood in for by lines that show what
    // the router handed them.
    void attachMarkers(CommModule &m)
    {
        m.SetAckDecoder('x', [&m](const FrameView &f) { m.CommLog("ACK-x " + hexText(f.dataBytes())); });
        m.SetNackDecoder([&m](const FrameView &f) { m.CommLog("NACK " + hexText(f.dataBytes())); });
        m.SetTextReportDecoder([&m](const QByteArray &t) { m.CommLog("TEXT " + hexText(t)); });
        m.SetUidDataDecoder([&m](char kind, const QByteArray &uid, const QByteArray &data) {
            m.CommLog(QStringLiteral("UID-%1 %2| %3").arg(kind).arg(hexText(uid), hexText(data)));
        });
    }

private slots:
    void init()
    {
        opts_ = AppOptions{};
        state_ = MainState{};
        log_.lines.clear();
        module_ = makeServer();
        QVERIFY(module_->ListeningPort() != 0);
        peer_ = connectPeer(*module_);
        QVERIFY(peer_);
        QTRY_VERIFY(module_->IsLinkOpen());
        attachMarkers(*module_);
        module_->setLastCommandCode('x');
        log_.lines.clear();
    }
    void cleanup()
    {
        peer_.reset();
        module_.reset();
    }

    void serverSendsToLastPeerAndStopsOnAnyDisconnect()
    {
        QCOMPARE(log_.lines, QStringList());
        auto second = connectPeer(*module_);
        QVERIFY(second);
        QTRY_COMPARE(log_.count("ActiveConnections: 2"), 1);
        QCOMPARE(log_.lines.first(), QStringLiteral("ServerSocket1ClientConnect"));

        QVERIFY(module_->LinkSend(QByteArray("abc")) == 3);
        QTRY_VERIFY(second->bytesAvailable() >= QByteArray("abc").size());
        QCOMPARE(second->readAll(), QByteArray("abc"));
        QTest::qWait(50);
        QCOMPARE(peer_->bytesAvailable(), 0);

        QSignalSpy down(module_.get(), &CommModule::connectedChanged);
        peer_->disconnectFromHost();
        QTRY_COMPARE(log_.count("ServerSocket1ClientDisconnect"), 1);
        QVERIFY(!module_->IsLinkOpen());
        QCOMPARE(down.size(), 1);
        QCOMPARE(down.at(0).at(0).toBool(), false);
        QCOMPARE(module_->LinkSend(QByteArray("def")), 0);
        QTest::qWait(50);
        QCOMPARE(second->bytesAvailable(), 0);

        // A new connection brings the link back and is the one sent on.
        auto third = connectPeer(*module_);
        QVERIFY(third);
        QTRY_VERIFY(module_->IsLinkOpen());
        QVERIFY(module_->LinkSend(QByteArray("ghi")) > 0);
        QTRY_VERIFY(third->bytesAvailable() >= QByteArray("ghi").size());
        QCOMPARE(third->readAll(), QByteArray("ghi"));
        QCOMPARE(second->bytesAvailable(), 0);
    }

    void burstIsReadIn256ByteEvents()
    {
        QList<int> headAtRead;
        log_.onAppend = [&](const QString &line) {
            if (line == "ServerSocket1ClientRead")
                headAtRead << module_->RxHead();
        };
        QByteArray burst;
        for (int i = 0; i < 300; ++i)
            burst.append(char(i));
        QVERIFY(deliver(burst));
        QTest::qWait(50);
        log_.onAppend = nullptr;
        QCOMPARE(headAtRead, QList<int>({0, 256}));
        QCOMPARE(module_->RxHead(), 300);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(module_->RxRing()), 300), burst);
    }

    void receiver_data()
    {
        QTest::addColumn<QList<QByteArray>>("drains");   // each delivered, then one drain
        QTest::addColumn<char>("command");               // LastCommandCode when the bytes arrive
        QTest::addColumn<int>("s6700");
        QTest::addColumn<int>("state");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("lastReply");

        const QByteArray ack = hex("02 01 30 00 03 36 0D");
        QTest::newRow("ACK in one drain") << QList<QByteArray>{ack} << 'Q' << 212 << 2
                                          << QStringList{"RX:02 01 30 00 03 36 0D "} << ack;
        QTest::newRow("ACK split over two drains")
            << QList<QByteArray>{hex("02 01 30"), hex("00 03 36 0D")} << 'Q' << 212 << 2
            << QStringList{"RX:02 01 30 ", "RX:00 03 36 0D "} << ack;
        QTest::newRow("wrong SUM") << QList<QByteArray>{hex("02 01 30 00 03 37 0D")} << 'Q' << 212 << 0
                                   << QStringList{"SUM EEROR", "RX:02 01 30 00 03 37 0D "} << QByteArray();
        QTest::newRow("missing ETX") << QList<QByteArray>{hex("02 01 30 00 04 37 0D")} << 'Q' << 212 << 0
                                     << QStringList{"SUM EEROR", "RX:02 01 30 00 04 37 0D "} << QByteArray();
        QTest::newRow("no CR") << QList<QByteArray>{hex("02 01 30 00 03 36 0A")} << 'Q' << 212 << 0
                               << QStringList{"ERROR： NO CR_CODE", "RX:02 01 30 00 03 36 0A "} << QByteArray();
        QTest::newRow("bytes before STX") << QList<QByteArray>{hex("00 FF 02 01 30 00 03 36 0D")} << 'Q' << 212 << 2
                                          << QStringList{"RX:00 FF 02 01 30 00 03 36 0D "} << ack;
        const QByteArray ackWithStx = makeFrame(1, '0', hex("02"));
        QTest::newRow("STX inside a frame is data")
            << QList<QByteArray>{ackWithStx} << 'Q' << 212 << 2 << QStringList{"RX:" + hexText(ackWithStx)} << ackWithStx;
        const QByteArray ackX = makeFrame(1, '0', hex("20 11 22 33 44"));
        QTest::newRow("ACK goes to the decoder of the last command")
            << QList<QByteArray>{ackX} << 'x' << 212 << 2
            << QStringList{"ACK-x 20 11 22 33 44 ", "RX:" + hexText(ackX)} << ackX;
        const QByteArray nack = makeFrame(1, '1', hex("05 10"));
        QTest::newRow("ACK after a command without a decoder: nothing more")
            << QList<QByteArray>{ackX} << 'G' << 212 << 2 << QStringList{"RX:" + hexText(ackX)} << ackX;
        QTest::newRow("NACK") << QList<QByteArray>{nack} << 'Q' << 212 << 6
                              << QStringList{"NACK 05 10 ", "RX:" + hexText(nack)} << nack;
        const QByteArray text = makeFrame(1, 'D', hex("41 00 42"));
        QTest::newRow("two frames in one drain, state of the second")
            << QList<QByteArray>{ack + text} << 'Q' << 212 << 3
            << QStringList{"TEXT 41 00 42 ", "RX:" + hexText(ack + text)} << ack;
        QTest::newRow("D text ends at zero in Tag-it mode")
            << QList<QByteArray>{text} << 'Q' << 8 << 3 << QStringList{"TEXT 41 ", "RX:" + hexText(text)} << QByteArray();
        const QByteArray d = makeFrame(1, 'd', hex("78 56 34 12 00 01 04 E0 41 42 43"));
        QTest::newRow("d report") << QList<QByteArray>{d} << 'Q' << 212 << 4
                                  << QStringList{"UID-d 78 56 34 12 00 01 04 E0 | 41 42 43 ", "RX:" + hexText(d)}
                                  << QByteArray();
        const QByteArray dTagIt = makeFrame(1, 'd', hex("11 22 33 44 41 42 00 43"));
        QTest::newRow("d report in Tag-it mode")
            << QList<QByteArray>{dTagIt} << 'Q' << 8 << 4
            << QStringList{"UID-d 11 22 33 44 | 41 42 00 43 ", "RX:" + hexText(dTagIt)} << QByteArray();
        const QByteArray dShort = makeFrame(1, 'd', hex("11 22 33"));
        QTest::newRow("d report shorter than its UID")
            << QList<QByteArray>{dShort} << 'Q' << 212 << 4
            << QStringList{"レスポンスフォーマットエラー", "RX:" + hexText(dShort)} << QByteArray();
        const QByteArray i = makeFrame(1, 'i', hex("03 00 00 01 02 03 04 05 06 07 08 11 12 13 14 15 16 17 18"));
        QTest::newRow("i count larger than the UIDs present")
            << QList<QByteArray>{i} << 'Q' << 212 << 5
            << QStringList{"UID-i 01 02 03 04 05 06 07 08 | ", "UID-i 11 12 13 14 15 16 17 18 | ",
                           "RX:" + hexText(i)}
            << QByteArray();
        const QByteArray one = makeFrame(1, 'I', hex("00 01 02 03 04 05 06 07 08"));
        QTest::newRow("I report") << QList<QByteArray>{one} << 'Q' << 212 << 7
                                  << QStringList{"UID: 01 02 03 04 05 06 07 08 ", "RX:" + hexText(one)} << QByteArray();
        const QByteArray oneShort = makeFrame(1, 'I', hex("00 01 02 03 04 05 06 07"));
        QTest::newRow("I report shorter than 9")
            << QList<QByteArray>{oneShort} << 'Q' << 212 << 7
            << QStringList{"レスポンスフォーマットエラー", "RX:" + hexText(oneShort)} << QByteArray();
        const QByteArray loop = makeFrame(1, 'L', hex("01 02 03 04 05 06 07 08 61"));
        QTest::newRow("L report") << QList<QByteArray>{loop} << 'Q' << 212 << 8
                                  << QStringList{"UID-L 01 02 03 04 05 06 07 08 | 61 ", "RX:" + hexText(loop)}
                                  << QByteArray();
        const QByteArray odd = makeFrame(1, 'Z', {});
        QTest::newRow("unknown kind") << QList<QByteArray>{odd} << 'Q' << 212 << 1
                                      << QStringList{"レスポンスフォーマットエラー", "RX:" + hexText(odd)} << QByteArray();
        QByteArray data255(255, char(0x02));
        const QByteArray big = makeFrame(1, '0', data255);
        QTest::newRow("LEN 255 waits for its CR at index 261")
            << QList<QByteArray>{big.left(261), big.mid(261)} << 'Q' << 212 << 2
            << QStringList{"RX:" + hexText(big.left(261)), "RX:0D "} << big;
    }
    void receiver()
    {
        QFETCH(QList<QByteArray>, drains);
        QFETCH(char, command);
        QFETCH(int, s6700);
        QFETCH(int, state);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, lastReply);
        opts_.S6700Conf = uint8_t(s6700);
        module_->setLastCommandCode(uint8_t(command));
        for (const QByteArray &chunk : drains) {
            QVERIFY(deliver(chunk));
            module_->DrainReceiver();
        }
        QCOMPARE(receiverLines(), lines);
        QCOMPARE(module_->ResponseWaitState(), state);
        QCOMPARE(module_->LastReply().bytes(), lastReply);
        QVERIFY(!module_->InFrame());
    }

    void reportsSetTheCurrentTag()
    {
        QVERIFY(deliver(makeFrame(7, 'i', hex("03 00 00 01 02 03 04 05 06 07 08 11 12 13 14 15 16 17 18"))));
        module_->DrainReceiver();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(state_.CurrentUid), 8), hex("11 12 13 14 15 16 17 18"));
        QCOMPARE(int(module_->ReplyId()), 7);
        // A short I report leaves it alone.
        QVERIFY(deliver(makeFrame(1, 'I', hex("00 AA BB"))));
        module_->DrainReceiver();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(state_.CurrentUid), 8), hex("11 12 13 14 15 16 17 18"));
        opts_.S6700Conf = 8;
        QVERIFY(deliver(makeFrame(1, 'd', hex("11 22 33 44 41"))));
        module_->DrainReceiver();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(state_.CurrentSid), 4), hex("11 22 33 44"));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(state_.CurrentUid), 8), hex("11 12 13 14 15 16 17 18"));
    }

    void gateReport_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("tag");
        QTest::newRow("0x80 LEN 12: not passed on") << hex("80 01 02 03 04 05 06 07 08 09 0A 0B") << 0;
        QTest::newRow("0x80 LEN 13") << hex("80 01 02 03 04 05 06 07 08 09 0A 0B 0C") << 10;
        QTest::newRow("0x81 LEN 13") << hex("81 01 02 03 04 05 06 07 08 09 0A 0B 0C") << 11;
        QTest::newRow("other sub-kind") << hex("82 01 02 03 04 05 06 07 08 09 0A 0B 0C") << 0;
    }
    void gateReport()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, tag);
        QSignalSpy spy(module_.get(), &CommModule::gateCountReport);
        const QByteArray frame = makeFrame(1, 'G', data);
        QVERIFY(deliver(frame));
        module_->DrainReceiver();
        QCOMPARE(module_->ResponseWaitState(), 9);
        QCOMPARE(module_->LastGateReply().bytes(), frame);
        QCOMPARE(module_->LastReply().size(), 0);
        QCOMPARE(spy.size(), tag ? 1 : 0);
        if (tag) {
            QCOMPARE(spy.at(0).at(0).toInt(), tag);
            QCOMPARE(spy.at(0).at(1).toInt(), 13);
            QCOMPARE(spy.at(0).at(2).toByteArray(), data.mid(1));
        }
    }

    void partialFrameDroppedAfter101EmptyPolls_data()
    {
        QTest::addColumn<int>("emptyPolls");
        QTest::addColumn<int>("acks");
        QTest::newRow("100 empty polls: the frame goes on") << 100 << 2;
        QTest::newRow("101 empty polls: dropped") << 101 << 1;
    }
    void partialFrameDroppedAfter101EmptyPolls()
    {
        QFETCH(int, emptyPolls);
        QFETCH(int, acks);
        int seen = 0;
        module_->SetAckDecoder('x', [&seen](const FrameView &) { ++seen; });
        QVERIFY(deliver(hex("02 01 30")));
        module_->DrainReceiver();
        for (int i = 0; i < emptyPolls; ++i)
            module_->DrainReceiver();
        QCOMPARE(module_->InFrame(), emptyPolls <= 100);
        // The rest of the first frame, then a whole one.
        QVERIFY(deliver(hex("00 03 36 0D 02 01 30 00 03 36 0D")));
        module_->DrainReceiver();
        QCOMPARE(seen, acks);
        QCOMPARE(log_.count("SUM EEROR") + log_.count("ERROR： NO CR_CODE"), 0);
    }

    void linkReopenClearsTheReceiveState()
    {
        QVERIFY(deliver(hex("02 01 30 00 03 36 0D 02 01")));
        module_->DrainReceiver();
        QVERIFY(module_->InFrame());
        module_->LinkReopen();
        QCOMPARE(module_->RxHead(), 0);
        QCOMPARE(module_->RxTail(), 0);
        QVERIFY(!module_->InFrame());
        QCOMPARE(module_->ResponseWaitState(), 2);          // kept
        QCOMPARE(module_->LastReply().size(), 7);           // kept
        QVERIFY(module_->ListeningPort() != 0);             // listening again
    }

    // ---- waits, with the receive timer running as the main window runs it
    void waits_data()
    {
        QTest::addColumn<QString>("wait");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("tail");   // last log lines
        QTest::addColumn<bool>("timesOut");
        const QByteArray ack = makeFrame(1, '0', hex("02"));
        const QByteArray nack = makeFrame(1, '1', hex("05 10"));
        const QByteArray report = makeFrame(1, 'D', hex("41"));
        QTest::newRow("WaitAck ACK") << "ack" << ack << true << QStringList{"RX:" + hexText(ack)} << false;
        QTest::newRow("WaitAck NACK")
            << "ack" << nack << false << QStringList{"NACK 05 10 ", "RX:" + hexText(nack), "NACK 受信"} << false;
        QTest::newRow("WaitAck report") << "ack" << report << false
                                        << QStringList{"TEXT 41 ", "RX:" + hexText(report)} << false;
        QTest::newRow("WaitAck silence") << "ack" << QByteArray() << false
                                         << QStringList{"レスポンス待ち　タイムオーバー"} << true;
        QTest::newRow("WaitAnyReply report") << "any" << report << true
                                             << QStringList{"TEXT 41 ", "RX:" + hexText(report)} << false;
        QTest::newRow("WaitAnyReply silence") << "any" << QByteArray() << false
                                              << QStringList{"レスポンス待ち　タイムオーバー"} << true;
        QTest::newRow("WaitReplyState(2) ACK") << "state2" << ack << true << QStringList{"RX:" + hexText(ack)} << false;
        QTest::newRow("WaitReplyState(2) NACK runs into the timeout")
            << "state2" << nack << false
            << QStringList{"NACK 05 10 ", "RX:" + hexText(nack), "レスポンス待ち　タイムオーバー"} << true;
    }
    void waits()
    {
        QFETCH(QString, wait);
        QFETCH(QByteArray, reply);
        QFETCH(bool, result);
        QFETCH(QStringList, tail);
        QFETCH(bool, timesOut);
        QTimer timer1;
        connect(&timer1, &QTimer::timeout, module_.get(), &CommModule::DrainReceiver);
        timer1.start(100);
        // The peer answers the command as a reader would.
        QByteArray got;
        connect(peer_.get(), &QTcpSocket::readyRead, this, [&] {
            got += peer_->readAll();
            if (got.endsWith('\r') && !reply.isEmpty())
                peer_->write(reply);
        });
        module_->comDebug().IDNo = 1;
        module_->setLogTx(0);
        QVERIFY(module_->SendCommand("ISO15693_ReadSingleBlock: ", 'x', hex("20 02 05")));
        QElapsedTimer t;
        t.start();
        bool r = false;
        if (wait == "ack")
            r = module_->WaitAck();
        else if (wait == "any")
            r = module_->WaitAnyReply();
        else
            r = module_->WaitReplyState(2);
        const qint64 ms = t.elapsed();
        QCOMPARE(got, hex("02 01 78 03 20 02 05 03 A8 0D"));
        QCOMPARE(r, result);
        QCOMPARE(receiverLines().mid(std::max<qsizetype>(0, receiverLines().size() - tail.size())), tail);
        QCOMPARE(log_.count("レスポンス待ち　タイムオーバー"), timesOut ? 1 : 0);
        if (timesOut)
            QVERIFY2(ms >= 1990 && ms < 3000, qPrintable(QString::number(ms)));
        else
            QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));
    }

    void moduleDestroyedDuringAWait()
    {
        // The window may close while a command waits; the wait must end
        // without touching the module again.
        CommModule *raw = module_.get();
        QTimer::singleShot(50, this, [this] { module_.reset(); });
        QElapsedTimer t;
        t.start();
        QVERIFY(!raw->WaitAck());
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(!module_);
        QCOMPARE(log_.count("レスポンス待ち　タイムオーバー"), 0);
    }

    void replyBeforeTheWaitIsSeenAtOnce()
    {
        module_->SendCommand("x: ", 'x', {});
        QVERIFY(deliver(makeFrame(1, '0', {})));
        module_->DrainReceiver();
        QElapsedTimer t;
        t.start();
        QVERIFY(module_->WaitAck());
        QVERIFY(t.elapsed() < 100);
    }
};

// ---- client side, its own fixture-free cases
class TestLinkTcpClient : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    AppOptions opts_;
    MainState state_;
    kx9test::MemoryLog log_;

    std::unique_ptr<CommModule> makeClient(quint16 port)
    {
        LinkConfig cfg;
        cfg.LinkMode = 2;
        cfg.TcpServerMode = 0;
        cfg.TcpRemoteAddress = QStringLiteral("127.0.0.1");
        cfg.TcpRemotePort = port;
        return std::make_unique<CommModule>(cfg, dir_.filePath("c.ini"), opts_, state_, &log_);
    }

private slots:
    void connectsAndSends()
    {
        QTcpServer reader;
        QVERIFY(reader.listen(QHostAddress::LocalHost, 0));
        auto m = makeClient(reader.serverPort());
        QSignalSpy spy(m.get(), &CommModule::connectedChanged);
        QElapsedTimer t;
        t.start();
        m->Open();   // the connect wait ends as soon as the connection is up
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(m->IsLinkOpen());
        QCOMPARE(log_.lines, QStringList{"ClientSocket1Connect"});
        QCOMPARE(spy.size(), 1);
        QTRY_VERIFY(reader.hasPendingConnections());
        std::unique_ptr<QTcpSocket> s(reader.nextPendingConnection());
        QVERIFY(m->LinkSend(hex("02 00 4F 00 03 54 0D")) > 0);
        QTRY_VERIFY(s->bytesAvailable() >= hex("02 00 4F 00 03 54 0D").size());
        QCOMPARE(s->readAll(), hex("02 00 4F 00 03 54 0D"));
        // 1500 bytes from the reader: read in pieces of at most 1024.
        s->write(QByteArray(1500, 'z'));
        QTRY_COMPARE(m->RxHead(), 1500);
        s->disconnectFromHost();
        QTRY_VERIFY(!m->IsLinkOpen());
        QCOMPARE(log_.lines.last(), QStringLiteral("ClientSocket1Disconnect"));
        QCOMPARE(log_.count("ClientSocket1Error"), 0);
    }

    void closedPortTimesOutOnceWithoutSpinning()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        auto m = makeClient(port);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        QElapsedTimer t;
        t.start();
        m->Open();
        const qint64 ms = t.elapsed();
        getrusage(RUSAGE_SELF, &after);
        QVERIFY2(ms >= 4990 && ms < 6500, qPrintable(QString::number(ms)));
        QCOMPARE(log_.count("コネクト待ち　タイムオーバー"), 1);
        QVERIFY(!m->IsLinkOpen());
        const int errors = log_.count("ClientSocket1Error");
        QVERIFY2(errors >= 2 && errors <= 20, qPrintable(QString::number(errors)));
        const auto cpuMs = [](const rusage &r) {
            return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
        };
        QVERIFY2(cpuMs(after) - cpuMs(before) < 500, "the reconnects kept the CPU busy");
        // It keeps trying, quietly, after the wait.
        QTest::qWait(1200);
        QVERIFY(log_.count("ClientSocket1Error") > errors);
        QCOMPARE(log_.count("コネクト待ち　タイムオーバー"), 1);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TestLinkTcp t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestLinkTcpClient t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_link_tcp.moc"
