// The Telnet console of the LAN module, from the monitor's side: a peer on
// loopback plays the console from the fuzzer's bytes (Telnet commands and
// options included: libtelnet parses them in front of our buffer), and the
// monitor logs in and runs one of its console sequences: reading every
// setting (TelnetReadValue, TelnetReadMac, ParseIPv4, ParseMac,
// HexGroupToInt), writing them back, the speed change, or a bare exchange.
//
// Input: [op][arg][segment]...; a segment is [n][n bytes]. The peer sends
// segment 0 when the monitor connects and the next one each time a line
// (LF) from the monitor arrives.
//
// The waits run on the program's tick timer. Here the clock stands still
// while bytes are on their way (in a socket buffer or not yet read) and jumps
// ahead once nothing moves, so a wait ends as soon as its answer can no longer
// come, and the result never depends on the machine's speed.
#include "fuzz_support.h"

#include "link/log_target.h"
#include "link/tick_timer.h"
#include "net/lan_module.h"
#include "net/telnet_link.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kx9;

namespace {

int Pending(const QTcpSocket *s)
{
    if (!s)
        return 0;
    if (s->state() == QAbstractSocket::HostLookupState || s->state() == QAbstractSocket::ConnectingState)
        return 1;   // on loopback the answer is a moment away
    if (s->state() != QAbstractSocket::ConnectedState)
        return 0;
    int n = 0;
    if (s->socketDescriptor() >= 0)
        ioctl(int(s->socketDescriptor()), FIONREAD, &n);
    return n + int(s->bytesAvailable()) + int(s->bytesToWrite());
}

struct Console {
    QTcpServer server;
    QString address;
    QList<QPointer<QTcpSocket>> peers;
    QList<QByteArray> segments;
    int next = 0;
    QTcpSocket *client = nullptr;   // the monitor's socket while one is open

    Console()
    {
        // A loopback address of our own, port 23 as the module has it.
        const quint32 pid = quint32(getpid());
        address = QStringLiteral("127.77.%1.%2").arg((pid >> 8) & 0xFF).arg((pid & 0xFF) | 1);
        if (!server.listen(QHostAddress(address), TTelNetCont1Dlg::kConsolePort)) {
            fprintf(stderr, "kx9fuzz: cannot listen on %s:23\n", qPrintable(address));
            abort();
        }
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *peer = server.nextPendingConnection()) {
                peers.append(peer);
                QObject::connect(peer, &QTcpSocket::readyRead, peer, [this, peer] {
                    const QByteArray in = peer->readAll();
                    for (char c : in)
                        if (c == '\n')
                            sendNext(peer);
                });
                sendNext(peer);
            }
        });
    }

    void sendNext(QTcpSocket *peer)
    {
        if (next < segments.size())
            peer->write(segments.at(next++));
        peer->flush();
    }

    bool busy() const
    {
        if (server.hasPendingConnections() || Pending(client) > 0)
            return true;
        for (const QPointer<QTcpSocket> &p : peers)
            if (Pending(p.data()) > 0)
                return true;
        return false;
    }

    void dropPeers()
    {
        for (const QPointer<QTcpSocket> &p : peers)
            if (p) {
                p->abort();
                p->deleteLater();
            }
        peers.clear();
    }
};

Console *g_console = nullptr;
uint32_t g_now = 0;
int g_frozen = 0;

uint32_t Clock()
{
    // A guard against a peer that keeps bytes moving for ever.
    if (g_console && g_console->busy() && ++g_frozen < 300)
        return g_now;
    g_frozen = 0;
    g_now += 2500;
    return g_now;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kx9fuzz::App();
    static Console *console = [] {
        auto *c = new Console;
        g_console = c;
        TickTimer::instance().setClock(&Clock);
        TTelNetCont1Dlg::setIdleSliceMs(0);
        return c;
    }();

    kx9fuzz::Input in(data, size);
    const uint8_t op = in.byte();
    const uint8_t arg = in.byte();
    console->segments.clear();
    console->next = 0;
    while (!in.empty())
        console->segments.append(in.take(in.byte()));

    kx9fuzz::CountingLog log;
    int appLines = 0;
    const AppLogFn appLog = [&](const QString &) { ++appLines; };
    {
        TTelNetCont1Dlg link;
        console->client = link.findChild<QTcpSocket *>(QStringLiteral("TelnetClient1"));
        const bool open = link.TelnetOpen(&log, op & 0x80 ? 1 : 0, console->address);
        KX9_FUZZ_CHECK(int(link.received().size()) <= TTelNetCont1Dlg::kBufferSize);
        if (open) {
            switch (op & 7) {
            case 0: {
                LanModuleSettings s;
                const LanKeys read = LanModuleRead(link, s, appLog);
                KX9_FUZZ_CHECK((read & ~kAllLanKeys) == 0);
                for (int g : s.mac)
                    KX9_FUZZ_CHECK(g >= 0 && g <= 255);
                for (int g : s.ownAddress)
                    KX9_FUZZ_CHECK(g >= 0 && g <= 255);
                KX9_FUZZ_CHECK(s.ownPort >= 0 && s.ownPort <= 65535);
                KX9_FUZZ_CHECK(s.mask >= 0 && s.mask <= 32);
                KX9_FUZZ_CHECK(s.speedIndex >= 0 && s.speedIndex <= 2);
                if (arg & 1)
                    (void)LanModuleWrite(link, s, appLog, kWritableLanKeys & (LanKeys(arg) << 1));
                break;
            }
            case 1: {
                LanModuleSettings s;
                (void)LanModuleWrite(link, s, appLog, kWritableLanKeys);
                break;
            }
            case 2:
                if (link.TelnetReadMac(arg)) {
                    KX9_FUZZ_CHECK(link.valueText().startsWith(QLatin1Char('0')));
                    std::array<int, 6> mac;
                    (void)ParseMac(link.valueText(), mac);
                }
                break;
            case 3:
                if (link.TelnetQuery("l_ip")) {
                    KX9_FUZZ_CHECK(!link.valueText().contains(QLatin1Char('\r')));
                    std::array<int, 4> ip;
                    (void)ParseIPv4(link.valueText(), ip);
                    (void)HexGroupToInt(link.valueText());
                }
                break;
            case 4:
                (void)link.TelnetCommand(QByteArray("save\r\n"), QByteArray(">OK"));
                break;
            case 5:
                (void)LanModuleWake(link);
                break;
            default:
                break;
            }
        }
        KX9_FUZZ_CHECK(int(link.received().size()) <= TTelNetCont1Dlg::kBufferSize);
        console->client = nullptr;
    }
    if ((op & 7) == 6) {
        // The speed change opens a link of its own.
        (void)LanModuleSetSpeed(&log, 1, console->address, arg % 3, appLog);
    }
    console->dropPeers();
    QCoreApplication::processEvents();
    return 0;
}
