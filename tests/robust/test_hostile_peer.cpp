// Hostile peers: a reader that floods random bytes and broken or random
// frames (over TCP or the serial pty: the link is the first argument), and a
// LAN console that answers with random bytes and Telnet commands. Neither may
// crash or hang the monitor, and a normal exchange works afterwards.
// KX9_HOSTILE_SECONDS sets the flood's length (default 3).
#include "hostile_stream.h"
#include "robust_fixture.h"

#include "link/log_target.h"
#include "net/lan_module.h"
#include "net/telnet_link.h"
#include "loopback.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

robust::Link g_link = robust::Link::TcpClient;

int FloodSeconds() { return qEnvironmentVariableIntValue("KX9_HOSTILE_SECONDS") > 0 ? qEnvironmentVariableIntValue("KX9_HOSTILE_SECONDS") : 3; }

quint32 Seed()
{
    const quint32 seed = qEnvironmentVariableIsSet("KX9_HOSTILE_SEED") ? quint32(qEnvironmentVariableIntValue("KX9_HOSTILE_SEED"))
                                                                      : quint32(QDateTime::currentMSecsSinceEpoch());
    qInfo("hostile seed %u (KX9_HOSTILE_SEED replays it)", seed);
    return seed;
}

// The event loop's lateness: a 10 ms timer that records how late it fires.
class Lateness : public QObject {
public:
    Lateness()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            worst_ = std::max(worst_, now - last_ - 10);
            last_ = now;
        });
        clock_.start();
        timer_.start(10);
    }
    qint64 worst() const { return worst_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 worst_ = 0;
};

class NullLog : public kx9::LogTarget {
public:
    int lineCount() const override { return n; }
    void clearLog() override { n = 0; }
    void appendLine(const QString &) override { ++n; }
    int n = 0;
};

} // namespace

class TestHostilePeer : public QObject {
    Q_OBJECT
private slots:
    void readerFlood();
    void consoleFlood();
};

void TestHostilePeer::readerFlood()
{
    robust::Monitor m(g_link);
    QVERIFY2(m.ok, qPrintable(m.error));
    QCOMPARE(m.sim.control(QStringLiteral("tag add E004010012345678 bs=4 blocks=28")).left(2), QString("OK"));
    m.item(QStringLiteral("TBtSetCmdMode"))->trigger();
    QTest::qWait(300);

    QRandomGenerator rng(Seed());
    Lateness late;
    QElapsedTimer t;
    t.start();
    qint64 sent = 0;
    while (t.elapsed() < FloodSeconds() * 1000) {
        const QByteArray chunk = robust::HostileChunk(rng, 1500);
        QCOMPARE(m.sim.control(QStringLiteral("send ") + QString::fromLatin1(chunk.toHex())).left(2), QString("OK"));
        sent += chunk.size();
        // About 150 kB/s: more than the receive poll drains (the ring
        // overflows), yet a backlog kx9sim works off within seconds.
        QTest::qWait(10);
    }
    // Whatever is still on its way arrives, and the link stays quiet long
    // enough for the receiver to drop a frame the flood left cut off (10 s
    // without bytes): the ring stops moving for 10.5 s.
    QElapsedTimer quiet;
    quiet.start();
    int head = m.window->comm()->RxHead();
    for (QElapsedTimer cap; quiet.elapsed() < 10500;) {
        if (!cap.isValid())
            cap.start();
        QVERIFY2(cap.elapsed() < 90000, "the link never went quiet");
        QTest::qWait(50);
        if (m.window->comm()->RxHead() != head) {
            head = m.window->comm()->RxHead();
            quiet.restart();
        }
    }
    qInfo("flooded %lld bytes in %lld ms, worst timer lateness %lld ms", sent, t.elapsed(), late.worst());
    QVERIFY2(late.worst() < 2000, qPrintable(QString::number(late.worst())));
    QVERIFY(m.window->isVisible());
    QVERIFY(m.tags().count() <= m.tags().capacity());

    // A normal command works afterwards.
    QVERIFY(m.waitConnected());
    m.clearLog();
    QVERIFY2(m.runAndWait(QStringLiteral("MnReadSingleBlock"), QStringLiteral("5")), qPrintable(m.log().join('\n')));
    QVERIFY2(m.log().contains(QStringLiteral("ISO15693_ReadSingleBlock受信")), qPrintable(m.log().join('\n')));
    QVERIFY2(m.driver.ok(), qPrintable(m.driver.report()));
}

void TestHostilePeer::consoleFlood()
{
    if (g_link != robust::Link::TcpClient)
        QSKIP("the console runs over TCP only; tested with tcp-client");
    const QString address = kx9test::OwnLoopbackAddress();
    const QString refusal = kx9test::ConsolePortRefusal(address);
    if (!refusal.isEmpty())
        QSKIP(qPrintable(refusal));

    // A console that answers every line, and the connection itself, with noise.
    QTcpServer console;
    QVERIFY(console.listen(QHostAddress(address), kx9::TTelNetCont1Dlg::kConsolePort));
    QRandomGenerator rng(Seed());
    auto noise = [&rng](int n) {
        QByteArray b(n, Qt::Uninitialized);
        for (char &c : b) {
            const int k = int(rng.bounded(16));
            c = k == 0 ? char(0xFF) : k == 1 ? '>' : k == 2 ? '\r' : k == 3 ? '0' : char(rng.bounded(256));
        }
        return b;
    };
    QObject::connect(&console, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *peer = console.nextPendingConnection()) {
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            peer->write(rng.bounded(2) ? QByteArray("PASSWORD:") + noise(64) : noise(200));
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, &noise] {
                peer->readAll();
                peer->write(noise(300));
            });
        }
    });

    Lateness late;
    NullLog log;
    int sessions = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < FloodSeconds() * 1000) {
        kx9::TTelNetCont1Dlg link;
        if (link.TelnetOpen(&log, 1, address)) {
            kx9::LanModuleSettings s;
            kx9::LanModuleRead(link, s, [](const QString &) {});
            for (int g : s.ownAddress)
                QVERIFY(g >= 0 && g <= 255);
            QVERIFY(s.mask >= 0 && s.mask <= 32);
        }
        QVERIFY(int(link.received().size()) <= kx9::TTelNetCont1Dlg::kBufferSize);
        ++sessions;
    }
    qInfo("%d console sessions, worst timer lateness %lld ms", sessions, late.worst());
    QVERIFY(sessions > 0);
    QVERIFY2(late.worst() < 2500, qPrintable(QString::number(late.worst())));
    console.close();

    // A real console (kx9sim's) is read in full afterwards.
    SimProcess sim;
    QVERIFY2(sim.start({"--bind", address, "--listen", "0", "--telnet", "23"}), qPrintable(sim.errorString()));
    kx9::TTelNetCont1Dlg link;
    QVERIFY(link.TelnetOpen(&log, 1, address));
    kx9::LanModuleSettings s;
    QCOMPARE(kx9::LanModuleRead(link, s, [](const QString &) {}), kx9::kAllLanKeys & ~kx9::Bit(kx9::LanKey::Save));
}

int main(int argc, char **argv)
{
    g_link = robust::LinkFromArgs(argc, argv);
    QApplication app(argc, argv);
    TestHostilePeer t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_hostile_peer.moc"
