#include "tcp_channel.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace kx9 {

namespace {
// Reads at most `max` bytes of what waits on the socket into the host's ring.
// Returns true when more is waiting (the caller raises the read event again).
bool readChunk(QTcpSocket *socket, LinkHost &host, int max)
{
    uint8_t buf[TcpClientChannel::kMaxRead];
    const qint64 n = socket->read(reinterpret_cast<char *>(buf), std::min(max, int(sizeof buf)));
    if (n > 0)
        host.channelReceived(buf, int(n));
    return socket->bytesAvailable() > 0;
}

bool isPeerClose(QAbstractSocket::SocketError e)
{
    // A peer closing its end is a disconnect, not a socket error.
    return e == QAbstractSocket::RemoteHostClosedError;
}
} // namespace

// ---------------------------------------------------------------- server

TcpServerChannel::TcpServerChannel(LinkHost &host, int port, QObject *parent)
    : LinkChannel(host, parent), port_(port), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &TcpServerChannel::onNewConnection);
}

TcpServerChannel::~TcpServerChannel()
{
    // Quietly: the module is going away and must not hear of these closes.
    for (QTcpSocket *s : std::as_const(sockets_)) {
        s->disconnect(this);
        s->abort();
        delete s;
    }
    sockets_.clear();
    server_->close();
}

void TcpServerChannel::open()
{
    if (server_->isListening())
        return;
    if (server_->listen(QHostAddress::Any, quint16(port_)))
        host_.channelLog(QStringLiteral("ServerSocket1Listen"));
    else {
        host_.channelLog(QStringLiteral("ServerSocket1ListenError: ") + server_->errorString());
        // No reader can ever connect: the operator must hear why.
        host_.channelOpenFailed(QStringLiteral("TCPポート%1で接続を待つことが出来ません!!\n\n  %2")
                                    .arg(port_)
                                    .arg(server_->errorString()),
                                server_->errorString());
    }
}

void TcpServerChannel::dropAll()
{
    // Aborting a connected socket raises its disconnect event, which takes it
    // out of the list; copy first.
    const QList<QTcpSocket *> all = sockets_;
    for (QTcpSocket *s : all)
        s->abort();
}

void TcpServerChannel::close()
{
    server_->close();
    dropAll();
}

quint16 TcpServerChannel::listeningPort() const
{
    return server_->isListening() ? server_->serverPort() : 0;
}

void TcpServerChannel::onNewConnection()
{
    while (QTcpSocket *s = server_->nextPendingConnection()) {
        sockets_.append(s);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { onDisconnected(s); });
        connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError e) {
            if (isPeerClose(e))
                return;
            QPointer<QTcpSocket> guard(s);
            // Closed from the event loop, not from inside the socket's own signal.
            QMetaObject::invokeMethod(this, [guard] { if (guard) guard->abort(); }, Qt::QueuedConnection);
            host_.channelLog(QStringLiteral("ServerSocket1ClientError"));
        });
        host_.channelLog(QStringLiteral("ServerSocket1ClientConnect"));
        host_.channelLog(QStringLiteral("ActiveConnections: ") + QString::number(sockets_.size()));
        host_.channelConnected(true);
    }
}

void TcpServerChannel::onRead(QTcpSocket *socket)
{
    if (!sockets_.contains(socket) || socket->bytesAvailable() <= 0)
        return;
    host_.channelLog(QStringLiteral("ServerSocket1ClientRead"));
    if (readChunk(socket, host_, kMaxRead)) {
        // The rest stays in the socket and comes back as a read event of its own.
        QPointer<QTcpSocket> guard(socket);
        QMetaObject::invokeMethod(this, [this, guard] { if (guard) onRead(guard); }, Qt::QueuedConnection);
    }
}

void TcpServerChannel::onDisconnected(QTcpSocket *socket)
{
    if (!sockets_.removeOne(socket))
        return;
    socket->disconnect(this);
    socket->deleteLater();
    host_.channelLog(QStringLiteral("ServerSocket1ClientDisconnect"));
    // Any connection going down ends the link, even if others remain: the
    // reader that answers may have been the one that left.
    host_.channelConnected(false);
}

int TcpServerChannel::send(const uint8_t *bytes, int count)
{
    if (sockets_.isEmpty() || count <= 0)
        return 0;
    QTcpSocket *s = sockets_.last();   // the one accepted last among those active
    const qint64 n = s->write(reinterpret_cast<const char *>(bytes), count);
    if (n <= 0)
        return 0;
    s->flush();
    return int(n);
}

// ---------------------------------------------------------------- client

TcpClientChannel::TcpClientChannel(LinkHost &host, const QString &address, int port, QObject *parent)
    : LinkChannel(host, parent), address_(address), port_(port), socket_(new QTcpSocket(this)),
      reconnect_(new QTimer(this))
{
    reconnect_->setSingleShot(true);
    connect(reconnect_, &QTimer::timeout, this, &TcpClientChannel::connectNow);
    connect(socket_, &QTcpSocket::connected, this, [this] {
        failures_ = 0;
        host_.channelLog(QStringLiteral("ClientSocket1Connect"));
        host_.channelConnected(true);
    });
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        host_.channelLog(QStringLiteral("ClientSocket1Disconnect"));
        host_.channelConnected(false);
    });
    connect(socket_, &QTcpSocket::readyRead, this, &TcpClientChannel::onRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (!isPeerClose(e))
            onError();
    });
}

TcpClientChannel::~TcpClientChannel()
{
    reconnect_->stop();
    socket_->disconnect(this);
    socket_->abort();
}

int TcpClientChannel::reconnectDelayMs(int failures)
{
    // The first reconnect after an error goes out at once. A reader that keeps
    // refusing (nothing listening on the port) answers within microseconds on a
    // local network, so repeated errors back off up to one second instead of
    // spinning the GUI thread on connect attempts.
    if (failures <= 1)
        return 0;
    return std::min(1000, 50 << std::min(failures - 1, 5));
}

void TcpClientChannel::open()
{
    closed_ = false;
    failures_ = 0;
    connectNow();
}

void TcpClientChannel::connectNow()
{
    if (closed_)
        return;
    socket_->abort();
    const QHostAddress addr(address_);
    if (!addr.isNull())
        socket_->connectToHost(addr, quint16(port_));
    else
        socket_->connectToHost(address_, quint16(port_));
}

void TcpClientChannel::onError()
{
    ++failures_;
    if (!closed_)
        reconnect_->start(reconnectDelayMs(failures_));
    host_.channelLog(QStringLiteral("ClientSocket1Error"));
}

void TcpClientChannel::close()
{
    closed_ = true;
    reconnect_->stop();
    socket_->abort();
}

void TcpClientChannel::onRead()
{
    readPending_ = false;
    if (socket_->bytesAvailable() <= 0)
        return;
    if (readChunk(socket_, host_, kMaxRead) && !readPending_) {
        readPending_ = true;
        QMetaObject::invokeMethod(this, &TcpClientChannel::onRead, Qt::QueuedConnection);
    }
}

int TcpClientChannel::send(const uint8_t *bytes, int count)
{
    if (socket_->state() != QAbstractSocket::ConnectedState || count <= 0)
        return 0;
    const qint64 n = socket_->write(reinterpret_cast<const char *>(bytes), count);
    if (n <= 0)
        return 0;
    socket_->flush();
    return int(n);
}

} // namespace kx9
