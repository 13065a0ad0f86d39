#pragma once
// ICMP echo (ping) for the ping sweep: one request to one host with a reply
// timeout, and a report of what came back. On Linux an ICMP datagram socket
// serves where net.ipv4.ping_group_range admits our group; otherwise a raw
// socket, which needs root or CAP_NET_RAW.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace kx9 {

struct EchoReport {
    enum class Status { EchoReply, Error, Timeout, Unreachable, TtlExceeded };
    Status status = Status::Timeout;
    int bytes = 0;          // of the ICMP message received
    QString from;           // sender's address
    int sequence = 0;
    int ttl = 0;
    int timeMs = 0;         // how long the echo took
};

class IcmpEcho {
public:
    virtual ~IcmpEcho() = default;
    // "datagram" or "raw": the kind of socket in use.
    virtual QString kind() const = 0;
    // Sends one echo request to the IPv4 address `host` (byte 0 is the first
    // dotted number), waits for the reply at most `timeoutMs` and reports it.
    // This one reports before it returns; another backend may report later.
    virtual void echo(const uint8_t host[4], int timeoutMs, const std::function<void(const EchoReport &)> &report) = 0;
};

// The system's echo facility, or nullptr when none may be used here; `why`
// then tells the operator what would allow it.
std::unique_ptr<IcmpEcho> OpenSystemIcmpEcho(QString *why);

// What the ping dialog uses: the opener set here, else the system's.
// (Another platform, or a test, puts its own opener in; nullptr restores the system's.)
using IcmpEchoOpener = std::function<std::unique_ptr<IcmpEcho>(QString *why)>;
void SetIcmpEchoOpener(IcmpEchoOpener opener);
std::unique_ptr<IcmpEcho> OpenIcmpEcho(QString *why);

} // namespace kx9
