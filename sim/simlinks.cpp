#include "simlinks.h"

#include "simdevice.h"
#include "simlan.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <libtelnet.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kx9sim {

namespace {
// With a LAN module in front, the TCP data reaches the reader only when the
// module's RS-232C speed matches the reader's.
int tcpBaud(const Device &dev)
{
    return dev.lanPresent ? dev.lan.baud() : 0;
}
} // namespace

// ------------------------------------------------------------ TCP server

TcpServerLink::TcpServerLink(Device &dev, QObject *parent) : QObject(parent), m_dev(dev), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_server->nextPendingConnection()) {
            if (m_sock) {
                m_dev.logLine("LINK replaced by a new TCP connection");
                m_sock->disconnect(this);
                m_sock->abort();
                m_sock->deleteLater();
            }
            m_sock = s;
            m_sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_dev.logLine("LINK TCP connection from " + s->peerAddress().toString().toLatin1() + ":" +
                          QByteArray::number(s->peerPort()));
            connect(s, &QTcpSocket::readyRead, this, [this, s] { m_dev.receive(s->readAll(), tcpBaud(m_dev)); });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                if (m_sock == s) {
                    m_dev.logLine("LINK TCP connection closed");
                    m_sock = nullptr;
                }
                s->deleteLater();
            });
        }
    });
    connect(&m_dev, &Device::transmit, this, &TcpServerLink::send);
    connect(&m_dev, &Device::disconnectLink, this, [this] {
        if (m_sock)
            m_sock->disconnectFromHost();
    });
}

bool TcpServerLink::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server->listen(address, port))
        return true;
    *error = m_server->errorString();
    return false;
}

quint16 TcpServerLink::port() const { return m_server->serverPort(); }

void TcpServerLink::send(const QByteArray &bytes)
{
    if (m_sock && m_sock->state() == QAbstractSocket::ConnectedState)
        m_sock->write(bytes);
}

// ------------------------------------------------------------ TCP client

TcpClientLink::TcpClientLink(Device &dev, const QString &host, quint16 port, QObject *parent)
    : QObject(parent), m_dev(dev), m_host(host), m_port(port), m_sock(new QTcpSocket(this)), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(500);
    connect(m_retry, &QTimer::timeout, this, &TcpClientLink::start);
    connect(m_sock, &QTcpSocket::connected, this, [this] {
        m_sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_dev.logLine("LINK connected to " + m_host.toLatin1() + ":" + QByteArray::number(m_port));
    });
    connect(m_sock, &QTcpSocket::readyRead, this, [this] { m_dev.receive(m_sock->readAll(), tcpBaud(m_dev)); });
    connect(m_sock, &QTcpSocket::disconnected, this, [this] {
        m_dev.logLine("LINK connection closed; reconnecting");
        m_retry->start();
    });
    connect(m_sock, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_sock->state() != QAbstractSocket::ConnectedState && !m_retry->isActive())
            m_retry->start();
    });
    connect(&m_dev, &Device::transmit, this, &TcpClientLink::send);
    connect(&m_dev, &Device::disconnectLink, this, [this] { m_sock->disconnectFromHost(); });
}

void TcpClientLink::start()
{
    if (m_sock->state() != QAbstractSocket::UnconnectedState)
        m_sock->abort();
    m_sock->connectToHost(m_host, m_port);
}

void TcpClientLink::send(const QByteArray &bytes)
{
    if (m_sock->state() == QAbstractSocket::ConnectedState)
        m_sock->write(bytes);
}

// ------------------------------------------------------------------- pty

PtyLink::PtyLink(Device &dev, QObject *parent) : QObject(parent), m_dev(dev)
{
    connect(&m_dev, &Device::transmit, this, &PtyLink::send);
}

PtyLink::~PtyLink()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyLink::open(QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        *error = QStringLiteral("ptsname failed");
        return false;
    }
    m_path = QString::fromLocal8Bit(name);
    // Holding the other side open keeps the master readable while the monitor
    // closes and reopens the port; raw mode so nothing is echoed or cooked.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave >= 0) {
        termios t{};
        ::tcgetattr(m_slave, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        ::tcsetattr(m_slave, TCSANOW, &t);
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLink::readable);
    return true;
}

int PtyLink::lineBaud() const
{
    termios t{};
    if (::tcgetattr(m_slave >= 0 ? m_slave : m_master, &t) != 0)
        return 0;
    switch (::cfgetospeed(&t)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 1;
    }
}

void PtyLink::readable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_dev.receive(QByteArray(buf, int(n)), lineBaud());
            continue;
        }
        if (n < 0 && errno == EIO) {
            // Nobody holds the terminal side: poll again a little later.
            m_notifier->setEnabled(false);
            QTimer::singleShot(100, this, [this] { m_notifier->setEnabled(true); });
        }
        return;
    }
}

void PtyLink::send(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    // Nobody may read for a long time (the monitor's port closed): keep a
    // few megabytes, like a host's driver buffer, and lose what goes beyond.
    constexpr qsizetype kMaxPending = 4 * 1024 * 1024;
    if (m_pending.size() + bytes.size() > kMaxPending) {
        m_dev.logLine("PTY output buffer full: " + QByteArray::number(bytes.size()) + " bytes lost");
        return;
    }
    m_pending += bytes;
    flush();
}

void PtyLink::flush()
{
    qsizetype done = 0;
    while (done < m_pending.size()) {
        const ssize_t n = ::write(m_master, m_pending.constData() + done, size_t(m_pending.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // The line is gone: what is left would never arrive.
            m_dev.logLine("PTY write failed: " + QByteArray(std::strerror(errno)));
            done = m_pending.size();
        }
        break; // full: wait until the terminal side has room
    }
    m_pending.remove(0, done);
    if (!m_writable) {
        m_writable = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
        connect(m_writable, &QSocketNotifier::activated, this, &PtyLink::flush);
    }
    m_writable->setEnabled(!m_pending.isEmpty());
}

// ---------------------------------------------------------------- Telnet

namespace {
const telnet_telopt_t kTelopts[] = {
    {TELNET_TELOPT_ECHO, TELNET_WILL, TELNET_DONT},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_NAWS, TELNET_WONT, TELNET_DO},
    {-1, 0, 0},
};

// One console session: the socket, its Telnet state and the console itself.
class TelnetSession : public QObject {
public:
    TelnetSession(QTcpSocket *sock, Device &dev) : QObject(sock), m_sock(sock), m_dev(dev), m_console(dev.lan)
    {
        m_telnet = telnet_init(kTelopts, &TelnetSession::event, 0, this);
        connect(sock, &QTcpSocket::readyRead, this, [this] {
            const QByteArray in = m_sock->readAll();
            telnet_recv(m_telnet, in.constData(), size_t(in.size()));
        });
        connect(sock, &QTcpSocket::disconnected, sock, &QObject::deleteLater);
        telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_ECHO);
        telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_SGA);
        out(m_console.greeting());
    }
    ~TelnetSession() override { telnet_free(m_telnet); }

private:
    static void event(telnet_t *, telnet_event_t *ev, void *user)
    {
        auto *self = static_cast<TelnetSession *>(user);
        switch (ev->type) {
        case TELNET_EV_DATA: {
            const QByteArray in(ev->data.buffer, int(ev->data.size));
            self->m_dev.logLine("TELNET RX " + in.toHex(' ').toUpper());
            self->out(self->m_console.feed(in));
            break;
        }
        case TELNET_EV_SEND:
            self->m_sock->write(ev->data.buffer, qint64(ev->data.size));
            break;
        case TELNET_EV_ERROR:
            self->m_dev.logLine(QByteArray("TELNET error: ") + ev->error.msg);
            self->m_sock->disconnectFromHost();
            break;
        default:
            break;
        }
    }
    void out(const QByteArray &b)
    {
        if (b.isEmpty())
            return;
        m_dev.logLine("TELNET TX " + b.toHex(' ').toUpper());
        telnet_send(m_telnet, b.constData(), size_t(b.size()));
    }

    QTcpSocket *m_sock;
    Device &m_dev;
    LanConsole m_console;
    telnet_t *m_telnet = nullptr;
};
} // namespace

TelnetConsoleServer::TelnetConsoleServer(Device &dev, QObject *parent)
    : QObject(parent), m_dev(dev), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TelnetConsoleServer::accept);
    m_dev.lan.hangUp = [this] {
        int n = 0;
        for (const QPointer<QTcpSocket> &s : std::as_const(m_sessions)) {
            if (s && s->state() == QAbstractSocket::ConnectedState) {
                s->disconnectFromHost();
                ++n;
            }
        }
        if (n)
            m_dev.logLine("TELNET hung up " + QByteArray::number(n) + " session(s)");
        return n;
    };
    m_dev.lan.sessions = [this] {
        int n = 0;
        for (const QPointer<QTcpSocket> &s : std::as_const(m_sessions))
            n += s && s->state() == QAbstractSocket::ConnectedState;
        return n;
    };
}

TelnetConsoleServer::~TelnetConsoleServer()
{
    m_dev.lan.hangUp = nullptr;
    m_dev.lan.sessions = nullptr;
}

bool TelnetConsoleServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server->listen(address, port))
        return true;
    *error = m_server->errorString();
    return false;
}

quint16 TelnetConsoleServer::port() const { return m_server->serverPort(); }

void TelnetConsoleServer::accept()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        m_dev.logLine("TELNET session from " + s->peerAddress().toString().toLatin1());
        m_sessions.removeAll(QPointer<QTcpSocket>());
        m_sessions.append(s);
        connect(s, &QTcpSocket::disconnected, this, [this] { m_dev.logLine("TELNET session closed"); });
        new TelnetSession(s, m_dev);
    }
}

} // namespace kx9sim
