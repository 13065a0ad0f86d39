#pragma once
// A link channel moves bytes between the module and one kind of link (TCP
// server, TCP client, serial port; USB later). The module's receiver only ever
// sees the ring the channel writes into, so adding a channel never touches it.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace kx9 {

// What a channel may do to the module that owns it.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    virtual void channelReceived(const uint8_t *bytes, int n) = 0;   // into the receive ring
    virtual void channelLog(const QString &line) = 0;                // through CommLog
    virtual void channelConnected(bool up) = 0;                      // the Connected flag

    // Room in the receive ring: how many bytes can go in without overwriting
    // bytes the receiver has not read yet. Links that can leave bytes in
    // their driver take no more than this.
    virtual int channelRoom() const { return 1 << 30; }
    // Puts up to n bytes into the ring by letting `read` write them straight
    // into it (once, or twice when the block wraps round the ring's end).
    // `read` returns how many it wrote, or a value <= 0 for none. Returns the
    // number of bytes put.
    virtual int channelReadInto(int n, const std::function<int(uint8_t *dst, int max)> &read)
    {
        if (n <= 0)
            return 0;
        std::vector<uint8_t> buf(static_cast<size_t>(n));
        const int got = read(buf.data(), n);
        if (got > 0)
            channelReceived(buf.data(), got);
        return got > 0 ? got : 0;
    }
    // The link could not be opened. `message` is the operator's message box
    // text; `reason` the system's own words on what failed (may be empty).
    virtual void channelOpenFailed(const QString &message, const QString &reason)
    {
        (void)message;
        (void)reason;
    }
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
