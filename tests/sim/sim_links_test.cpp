// kx9sim's other doors: the LAN module's Telnet console (driven by a real
// Telnet client built on libtelnet), the speed gate between the LAN module and
// the reader, the pseudo-terminal with its line speed, the client role, the
// disconnect fault and the control socket.
#include "sim_process.h"
#include "sim_wire.h"

#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <libtelnet.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using wire::hex;

namespace {
// A minimal Telnet client: it answers the server's negotiation the way a dumb
// terminal would and collects the text the server sends.
class TelnetClient {
public:
    TelnetClient()
    {
        static const telnet_telopt_t opts[] = {
            {TELNET_TELOPT_ECHO, TELNET_WONT, TELNET_DO},
            {TELNET_TELOPT_SGA, TELNET_WONT, TELNET_DO},
            {TELNET_TELOPT_TTYPE, TELNET_WILL, TELNET_DONT},
            {-1, 0, 0},
        };
        m_t = telnet_init(opts, &TelnetClient::event, 0, this);
    }
    ~TelnetClient() { telnet_free(m_t); }

    bool connect(quint16 port, const QHostAddress &address = QHostAddress(QHostAddress::LocalHost))
    {
        m_sock.connectToHost(address, port);
        return m_sock.waitForConnected(3000);
    }
    bool connected() const { return m_sock.state() == QAbstractSocket::ConnectedState; }
    bool waitDisconnected(int ms = 3000)
    {
        QDeadlineTimer dl(ms);
        while (connected() && !dl.hasExpired())
            m_sock.waitForDisconnected(50);
        return !connected();
    }
    void send(const QByteArray &text) { telnet_send(m_t, text.constData(), size_t(text.size())); }
    // Waits until the collected text contains `what`; returns all text so far and clears it.
    QByteArray waitFor(const QByteArray &what, int ms = 3000)
    {
        QDeadlineTimer dl(ms);
        while (!m_text.contains(what) && !dl.hasExpired()) {
            if (m_sock.bytesAvailable() == 0)
                m_sock.waitForReadyRead(50);
            const QByteArray in = m_sock.readAll();
            telnet_recv(m_t, in.constData(), size_t(in.size()));
        }
        QByteArray t = m_text;
        m_text.clear();
        return t;
    }
    bool serverWillEcho() const { return m_willEcho; }

private:
    static void event(telnet_t *, telnet_event_t *ev, void *user)
    {
        auto *self = static_cast<TelnetClient *>(user);
        if (ev->type == TELNET_EV_DATA)
            self->m_text.append(ev->data.buffer, int(ev->data.size));
        else if (ev->type == TELNET_EV_SEND)
            self->m_sock.write(ev->data.buffer, qint64(ev->data.size));
        else if (ev->type == TELNET_EV_WILL && ev->neg.telopt == TELNET_TELOPT_ECHO)
            self->m_willEcho = true;
    }
    QTcpSocket m_sock;
    telnet_t *m_t;
    QByteArray m_text;
    bool m_willEcho = false;
};

bool setLineSpeed(int fd, speed_t speed)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}
} // namespace

class SimLinksTest : public QObject {
    Q_OBJECT
private slots:
    void telnetConsole();
    void lanSpeedGatesData();
    void lanConsoleKnobs();
    void bindAddress();
    void ptyHonoursLineSpeed();
    void clientRoleReconnects();
    void controlSocket();
    void controlSocketAnswersAHalfClosedClient_data();
    void controlSocketAnswersAHalfClosedClient();
};

void SimLinksTest::telnetConsole()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--telnet", "0"}), qPrintable(sim.errorString()));
    QVERIFY(sim.telnetPort() != 0);
    TelnetClient c;
    QVERIFY(c.connect(sim.telnetPort()));
    QVERIFY(c.waitFor("PASSWORD:").endsWith("PASSWORD:"));
    QVERIFY(c.serverWillEcho());
    c.send("nope\r\n");
    QVERIFY(c.waitFor("PASSWORD:").contains("PASSWORD:"));
    c.send("QZV\r\n");
    c.waitFor("\r\n", 500);
    // Each line comes back as its echo, then ">" and the answer.
    const struct {
        const char *line;
        const char *answer;
    } steps[] = {
        {"", "\r\n>\r\n"},
        {"bps", "bps\r\n>16\r\n"},
        {"madr", "madr\r\n>02-4B-58-00-00-01\r\n"},
        {"l_ip=127.0.0.5", "l_ip=127.0.0.5\r\n>OK\r\n"},
        {"l_ip", "l_ip\r\n>127.0.0.5\r\n"},
        {"l_ip=300.1.1.1", "l_ip=300.1.1.1\r\n>NG\r\n"},
        {"mask=33", "mask=33\r\n>NG\r\n"},
        {"keep=1", "keep=1\r\n>OK\r\n"},
        {"bps=17", "bps=17\r\n>OK\r\n"},
        {"bps=18", "bps=18\r\n>NG\r\n"},
        {"what", "what\r\n>NG\r\n"},
        {"save", "save\r\n>OK\r\n"},
    };
    for (const auto &s : steps) {
        c.send(QByteArray(s.line) + "\r\n");
        QCOMPARE(c.waitFor(s.answer), QByteArray(s.answer));
    }
    // A terminal's Enter (CR NUL LF as some clients send it) ends one line, not two.
    c.send(QByteArray("timr", 4) + QByteArray("\r\0\n", 3));
    QCOMPARE(c.waitFor(">0\r\n"), QByteArray("timr\r\n>0\r\n"));
    QCOMPARE(c.waitFor(">", 300), QByteArray());
    QCOMPARE(sim.control("get lan"),
             QString("OK l_ip=127.0.0.5 l_pt=10777 f_ip=127.0.0.1 f_pt=3335 mask=8 conn=0 bps=17 timv=10 keep=1 timr=0"));
}

// The control commands the monitor's tests steer the console with.
void SimLinksTest::lanConsoleKnobs()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--telnet", "0"}), qPrintable(sim.errorString()));
    QCOMPARE(sim.control("lan set madr=0a-1b-2c-3d-4e-5f mask=24"), QString("OK"));
    QCOMPARE(sim.control("lan set mask=40"), QString("ERR bad setting mask=40"));
    QCOMPARE(sim.control("lan ng bps="), QString("OK"));          // settings of bps only
    QCOMPARE(sim.control("lan ng timv 2"), QString("OK"));        // the next two lines of timv
    QCOMPARE(sim.control("lan answer mask 24bit"), QString("OK"));
    QCOMPARE(sim.control("lan ng l_ip=x"), QString("ERR usage: lan ng <key>[=] [<lines>, 0 = every line] | "
                                                   "lan answer <key>[=] <text> [<lines>] | lan ng clear"));
    QCOMPARE(sim.control("lan prompt LOGIN:"), QString("OK"));
    QCOMPARE(sim.control("lan sessions"), QString("OK 0"));

    TelnetClient c;
    QVERIFY(c.connect(sim.telnetPort()));
    QVERIFY(c.waitFor("LOGIN:").endsWith("LOGIN:"));
    c.send("QZV\r\n");
    c.waitFor("\r\n", 500);
    QCOMPARE(sim.control("lan sessions"), QString("OK 1"));
    const struct {
        const char *line;
        const char *answer;
    } steps[] = {
        {"madr", "madr\r\n>0a-1b-2c-3d-4e-5f\r\n"},
        {"bps", "bps\r\n>16\r\n"},
        {"bps=17", "bps=17\r\n>NG\r\n"},
        {"timv", "timv\r\n>NG\r\n"},
        {"timv=30", "timv=30\r\n>NG\r\n"},
        {"timv=30", "timv=30\r\n>OK\r\n"},
        {"mask", "mask\r\n>24bit\r\n"},
        {"mask", "mask\r\n>24\r\n"},
        {"save", "save\r\n>OK\r\n"},
    };
    for (const auto &st : steps) {
        c.send(QByteArray(st.line) + "\r\n");
        QCOMPARE(c.waitFor(st.answer), QByteArray(st.answer));
    }
    QCOMPARE(sim.control("lan saves"), QString("OK 1"));
    QCOMPARE(sim.control("lan ng save 0"), QString("OK"));
    for (int i = 0; i < 2; ++i) {
        c.send("save\r\n");
        QCOMPARE(c.waitFor(">NG\r\n"), QByteArray("save\r\n>NG\r\n"));
    }
    QCOMPARE(sim.control("lan ng clear"), QString("OK"));
    c.send("bps=17\r\n");
    QCOMPARE(c.waitFor(">OK\r\n"), QByteArray("bps=17\r\n>OK\r\n"));
    QCOMPARE(sim.control("lan saves"), QString("OK 1"));
    QCOMPARE(sim.control("get lan").section(' ', 5, 8), QString("mask=24 conn=0 bps=17 timv=30"));

    // The module hangs up.
    QCOMPARE(sim.control("lan drop"), QString("OK 1"));
    QVERIFY(c.waitDisconnected());
    QTRY_COMPARE(sim.control("lan sessions"), QString("OK 0"));
    QCOMPARE(sim.control("lan drop"), QString("OK 0"));
}

// --bind puts the data port and the console on another loopback address.
void SimLinksTest::bindAddress()
{
    const QHostAddress own(QStringLiteral("127.%1.%2.9").arg(30 + ::getpid() % 200).arg(::getpid() / 200 % 250 + 1));
    SimProcess sim;
    QVERIFY2(sim.start({"--bind", own.toString(), "--listen", "0", "--telnet", "0"}), qPrintable(sim.errorString()));
    TelnetClient c;
    QVERIFY(c.connect(sim.telnetPort(), own));
    QVERIFY(c.waitFor("PASSWORD:").endsWith("PASSWORD:"));
    QTcpSocket data;
    data.connectToHost(own, sim.listenPort());
    QVERIFY(data.waitForConnected(3000));
    QTcpSocket elsewhere;
    elsewhere.connectToHost(QHostAddress::LocalHost, sim.listenPort());
    QVERIFY(!elsewhere.waitForConnected(1000));

    SimProcess refused;
    QVERIFY(!refused.start({"--bind", "192.0.2.1", "--telnet", "0"}, 3000));
    QVERIFY(refused.errorString().contains(QStringLiteral("--bind wants a loopback address")));
}

void SimLinksTest::lanSpeedGatesData()
{
    // Behind a LAN module, data passes only while the module's RS-232C speed
    // matches the reader's (19200 at power-up here).
    SimProcess sim;
    QVERIFY2(sim.start({"--listen", "0", "--telnet", "0"}), qPrintable(sim.errorString()));
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, sim.listenPort());
    QVERIFY(s.waitForConnected(3000));
    wire::Reader rx(&s);
    const QByteArray rom = wire::frame('O', hex("90 00"));
    s.write(rom);
    QCOMPARE(wire::body(rx.next()).left(2), hex("30 90"));

    TelnetClient c;
    QVERIFY(c.connect(sim.telnetPort()));
    c.waitFor("PASSWORD:");
    c.send("QZV\r\nbps=15\r\n");
    QVERIFY(c.waitFor(">OK").contains(">OK"));
    s.write(rom);
    QCOMPARE(rx.drain(500), QByteArray());
    c.send("bps=16\r\n");
    QVERIFY(c.waitFor(">OK").contains(">OK"));
    s.write(rom);
    QCOMPARE(wire::body(rx.next()).left(2), hex("30 90"));
}

void SimLinksTest::ptyHonoursLineSpeed()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--pty"}), qPrintable(sim.errorString()));
    QVERIFY(sim.ptyPath().startsWith("/dev/"));
    const int fd = ::open(sim.ptyPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    // Sends one frame at the given line speed; returns what comes back within 700 ms.
    auto exchange = [&](speed_t speed, const QByteArray &f) {
        if (!setLineSpeed(fd, speed))
            return QByteArray("tcsetattr failed");
        if (::write(fd, f.constData(), size_t(f.size())) != f.size())
            return QByteArray("write failed");
        QByteArray got;
        QDeadlineTimer dl(700);
        while (!dl.hasExpired()) {
            char buf[512];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, int(n));
            else
                QTest::qWait(20);
        }
        return got;
    };
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const QByteArray rom = wire::frame('O', hex("90 00"));
    QCOMPARE(exchange(B9600, rom), QByteArray()); // wrong speed: the reader hears noise
    QCOMPARE(wire::body(exchange(B19200, rom)).left(2), hex("30 90"));

    // Speed bits of the stored mode flags take effect at the next restart.
    QCOMPARE(wire::body(exchange(B19200, wire::frame('N', hex("10 00 00 98 01 00 05")))), hex("30 10"));
    QCOMPARE(sim.control("get speed"), QString("OK 19200"));
    QCOMPARE(wire::body(exchange(B19200, wire::frame('N', hex("9D")))), hex("30 9D"));
    QCOMPARE(sim.control("get speed"), QString("OK 38400"));
    QCOMPARE(exchange(B19200, rom), QByteArray());
    QCOMPARE(wire::body(exchange(B38400, rom)).left(2), hex("30 90"));
    ::close(fd);
}

void SimLinksTest::clientRoleReconnects()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SimProcess sim;
    QVERIFY2(sim.start({"--connect", QString("127.0.0.1:%1").arg(server.serverPort())}), qPrintable(sim.errorString()));
    QVERIFY(server.waitForNewConnection(3000));
    QTcpSocket *s = server.nextPendingConnection();
    wire::Reader rx(s);
    // The disconnect fault drops the link in place of the reply; the reader
    // comes back by itself and answers again.
    QCOMPARE(sim.control("fault disconnect"), QString("OK"));
    s->write(wire::frame('O', hex("90 00")));
    QVERIFY(s->waitForDisconnected(3000) || s->state() == QAbstractSocket::UnconnectedState);
    QVERIFY(server.waitForNewConnection(3000));
    QTcpSocket *s2 = server.nextPendingConnection();
    wire::Reader rx2(s2);
    s2->write(wire::frame('O', hex("90 00")));
    QCOMPARE(wire::body(rx2.next()).left(2), hex("30 90"));
}

void SimLinksTest::controlSocket()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ctl");
    SimProcess sim;
    QVERIFY2(sim.start({"--control-socket", path}), qPrintable(sim.errorString()));
    QLocalSocket c;
    c.connectToServer(path);
    QVERIFY(c.waitForConnected(3000));
    auto ask = [&](const QByteArray &line) {
        c.write(line + "\n");
        QDeadlineTimer dl(3000);
        while (!c.canReadLine() && !dl.hasExpired())
            c.waitForReadyRead(50);
        return c.readLine().trimmed();
    };
    QCOMPARE(ask("tag add E004010012345678"), QByteArray("OK E004010012345678"));
    QCOMPARE(ask("tags"), QByteArray("OK 1 E004010012345678"));
    QCOMPARE(ask("tag add E104010012345678"), QByteArray("ERR an ISO 15693 UID starts with E0: E104010012345678"));
    // Both control doors drive the same simulator.
    QCOMPARE(sim.control("tags"), QString("OK 1 E004010012345678"));
}

void SimLinksTest::controlSocketAnswersAHalfClosedClient_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::newRow("one command") << QByteArray("tags\n") << QByteArray("OK 0\n");
    QTest::newRow("several, the last without its newline")
        << QByteArray("tag add E004010012345678\ntags\nget mode") << QByteArray("OK E004010012345678\nOK 1 E004010012345678\nOK 00 18\n");
}

void SimLinksTest::controlSocketAnswersAHalfClosedClient()
{
    // The pipe as a user types it: socat sends the input, shuts its sending
    // side at the end of it and prints what comes back.
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QVERIFY2(!QStandardPaths::findExecutable("socat").isEmpty(), "socat, one of the test tools, is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath("ctl");
    SimProcess sim;
    QVERIFY2(sim.start({"--control-socket", path}), qPrintable(sim.errorString()));
    QProcess client;
    client.start("/bin/sh", {"-c", "printf '%s' \"$1\" | socat - UNIX-CONNECT:\"$2\"", "sh", QString::fromLatin1(input), path});
    QVERIFY(client.waitForFinished(5000));
    QCOMPARE(client.readAllStandardOutput(), output);
    QCOMPARE(client.exitCode(), 0);
}

QTEST_GUILESS_MAIN(SimLinksTest)
#include "sim_links_test.moc"
