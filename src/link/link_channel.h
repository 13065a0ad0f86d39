#pragma once
// A link channel moves bytes between the module and one kind of link (TCP
// server, TCP client; serial and USB later). The module's receiver only ever
// sees the ring the channel writes into, so adding a channel never touches it.
#include <QObject>
#include <QString>
#include <cstdint>

namespace kx9 {

// What a channel may do to the module that owns it.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    virtual void channelReceived(const uint8_t *bytes, int n) = 0;   // into the receive ring
    virtual void channelLog(const QString &line) = 0;                // through CommLog
    virtual void channelConnected(bool up) = 0;                      // the Connected flag
};

class LinkChannel : public QObject {
    Q_OBJECT
public:
    explicit LinkChannel(LinkHost &host, QObject *parent = nullptr) : QObject(parent), host_(host) {}
    ~LinkChannel() override = default;

    virtual void open() = 0;
    virtual void close() = 0;
    // Returns the number of bytes handed to the link, 0 when nothing was sent.
    virtual int send(const uint8_t *bytes, int count) = 0;
    // True when open() started a connect that the module must wait for.
    virtual bool needsConnectWait() const { return false; }
    // Run at the start of every receiver poll; for links that are read by polling.
    virtual void poll() {}

protected:
    LinkHost &host_;
};

} // namespace kx9
