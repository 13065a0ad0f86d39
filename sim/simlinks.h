#pragma once
// The ways the simulated unit is reached: TCP as a server or as a client that
// keeps reconnecting, a pseudo-terminal standing in for the serial line, and
// the LAN module's Telnet console.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QHostAddress;

class QTcpServer;
class QTcpSocket;
class QTimer;
class QSocketNotifier;

namespace kx9sim {

class Device;

// The monitor connects here (port 0: the system picks one). A new connection
// replaces the previous one.
class TcpServerLink : public QObject {
    Q_OBJECT
public:
    TcpServerLink(Device &dev, QObject *parent = nullptr);
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

private:
    void send(const QByteArray &bytes);
    Device &m_dev;
    QTcpServer *m_server;
    QTcpSocket *m_sock = nullptr;
};

// The unit connects to the monitor's server port, every 500 ms until it is
// accepted and again after the connection is lost.
class TcpClientLink : public QObject {
    Q_OBJECT
public:
    TcpClientLink(Device &dev, const QString &host, quint16 port, QObject *parent = nullptr);
    void start();

private:
    void send(const QByteArray &bytes);
    Device &m_dev;
    QString m_host;
    quint16 m_port;
    QTcpSocket *m_sock;
    QTimer *m_retry;
};

// A pty pair: the monitor opens path() as its serial port. The speed it sets
// on the line is compared with the unit's own.
class PtyLink : public QObject {
    Q_OBJECT
public:
    PtyLink(Device &dev, QObject *parent = nullptr);
    ~PtyLink() override;
    bool open(QString *error);
    QString path() const { return m_path; }
    int lineBaud() const;

private:
    void readable();
    void send(const QByteArray &bytes);
    void flush();
    Device &m_dev;
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    // What the terminal side has not taken yet, sent as soon as it has room:
    // a reader's UART does not drop bytes because the host reads slowly.
    QByteArray m_pending;
    QSocketNotifier *m_writable = nullptr;
};

// The LAN module's Telnet console (real Telnet through libtelnet). It lets
// the control commands hang up its sessions and count them.
class TelnetConsoleServer : public QObject {
    Q_OBJECT
public:
    TelnetConsoleServer(Device &dev, QObject *parent = nullptr);
    ~TelnetConsoleServer() override;
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

private:
    void accept();
    Device &m_dev;
    QTcpServer *m_server;
    QList<QPointer<QTcpSocket>> m_sessions;
};

} // namespace kx9sim
