#pragma once
// The TCP/IP links: a server the reader connects to, or a client that connects
// to the reader. Socket events run on the GUI thread.
#include "link_channel.h"

#include <QHostAddress>
#include <QList>
#include <QPointer>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace kx9 {

class TcpServerChannel : public LinkChannel {
    Q_OBJECT
public:
    static constexpr int kMaxRead = 256;   // bytes taken per read event

    TcpServerChannel(LinkHost &host, int port, QObject *parent = nullptr);
    ~TcpServerChannel() override;

    void open() override;
    void close() override;
    int send(const uint8_t *bytes, int count) override;

    quint16 listeningPort() const;
    int activeConnections() const { return int(sockets_.size()); }

private:
    void onNewConnection();
    void onRead(QTcpSocket *socket);
    void onDisconnected(QTcpSocket *socket);
    void dropAll();

    int port_;
    QTcpServer *server_;
    QList<QTcpSocket *> sockets_;   // in the order they were accepted
};

class TcpClientChannel : public LinkChannel {
    Q_OBJECT
public:
    static constexpr int kMaxRead = 1024;

    TcpClientChannel(LinkHost &host, const QString &address, int port, QObject *parent = nullptr);
    ~TcpClientChannel() override;

    void open() override;
    void close() override;
    int send(const uint8_t *bytes, int count) override;
    bool needsConnectWait() const override { return true; }

    // Delay before the next reconnect after `failures` errors in a row.
    static int reconnectDelayMs(int failures);

private:
    void connectNow();
    void onRead();
    void onError();

    QString address_;
    int port_;
    QTcpSocket *socket_;
    QTimer *reconnect_;
    int failures_ = 0;
    bool closed_ = true;
    bool readPending_ = false;
};

} // namespace kx9
