#include "net/icmp_echo.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kx9 {

namespace {

constexpr int kPayload = 56;   // the usual ping size: 64 bytes with the header

IcmpEchoOpener &opener()
{
    static IcmpEchoOpener o;
    return o;
}

uint16_t checksum(const uint8_t *p, int n)
{
    uint32_t sum = 0;
    for (int i = 0; i + 1 < n; i += 2)
        sum += uint32_t(p[i] << 8 | p[i + 1]);
    if (n & 1)
        sum += uint32_t(p[n - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

uint16_t be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }

QString dotted(const uint8_t a[4]) { return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]); }

class LinuxIcmpEcho final : public IcmpEcho {
public:
    LinuxIcmpEcho(int fd, bool raw) : fd_(fd), raw_(raw), id_(uint16_t(::getpid())) {}
    ~LinuxIcmpEcho() override { ::close(fd_); }

    QString kind() const override { return raw_ ? QStringLiteral("raw") : QStringLiteral("datagram"); }

    void echo(const uint8_t host[4], int timeoutMs, const std::function<void(const EchoReport &)> &report) override
    {
        EchoReport r;
        r.from = dotted(host);
        r.sequence = ++seq_;
        std::memcpy(&target_, host, 4);

        uint8_t packet[8 + kPayload] = {};
        packet[0] = ICMP_ECHO;
        packet[4] = uint8_t(id_ >> 8);
        packet[5] = uint8_t(id_);
        packet[6] = uint8_t(seq_ >> 8);
        packet[7] = uint8_t(seq_);
        for (int i = 0; i < kPayload; ++i)
            packet[8 + i] = uint8_t(0x10 + i);
        // The kernel fills in its own identifier and checksum on a datagram socket.
        const uint16_t sum = checksum(packet, int(sizeof packet));
        packet[2] = uint8_t(sum >> 8);
        packet[3] = uint8_t(sum);

        sockaddr_in dst{};
        dst.sin_family = AF_INET;
        std::memcpy(&dst.sin_addr, host, 4);
        QElapsedTimer clock;
        clock.start();
        if (::sendto(fd_, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&dst), sizeof dst) < 0) {
            r.status = EchoReport::Status::Error;
            report(r);
            return;
        }
        for (;;) {
            const qint64 left = std::max<qint64>(0, timeoutMs - clock.elapsed());
            pollfd pfd{fd_, POLLIN, 0};
            const int n = ::poll(&pfd, 1, int(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                r.status = EchoReport::Status::Timeout;
                r.timeMs = int(clock.elapsed());
                report(r);
                return;
            }
            const bool done = (pfd.revents & POLLERR) ? readError(r) : readReply(r);
            if (done) {
                r.timeMs = int(clock.elapsed());
                report(r);
                return;
            }
        }
    }

private:
    // One incoming message; true when it answers our request.
    bool readReply(EchoReport &r)
    {
        uint8_t buf[1500];
        sockaddr_in from{};
        char control[64];
        iovec iov{buf, sizeof buf};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (got <= 0)
            return false;
        int n = int(got);
        const uint8_t *icmp = buf;
        int ttl = 0;
        if (raw_) {
            // A raw socket hands over the IP header as well.
            if (n < 20)
                return false;
            const int ihl = (buf[0] & 0x0F) * 4;
            if (ihl < 20 || n < ihl + 8)
                return false;
            ttl = buf[8];
            icmp = buf + ihl;
            n -= ihl;
        } else {
            if (n < 8)
                return false;
            for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            }
        }
        const uint8_t type = icmp[0];
        if (type == ICMP_ECHOREPLY) {
            // Our own requests also show up on a raw socket on lo (type 8,
            // passed over above); a reply counts only when it is to this
            // request from the host asked.
            if (from.sin_addr.s_addr != target_ || be16(icmp + 6) != seq_)
                return false;
            if (raw_ && be16(icmp + 4) != id_)
                return false;
            r.status = EchoReport::Status::EchoReply;
            r.bytes = n;
            r.ttl = ttl;
            return true;
        }
        if (raw_ && (type == ICMP_DEST_UNREACH || type == ICMP_TIME_EXCEEDED) && n >= 8 + 20 + 8) {
            // The error quotes the IP header and the first bytes of our request.
            const uint8_t *inner = icmp + 8;
            const int ihl = (inner[0] & 0x0F) * 4;
            if (ihl < 20 || n < 8 + ihl + 8)
                return false;
            const uint8_t *req = inner + ihl;
            uint32_t innerDst;
            std::memcpy(&innerDst, inner + 16, 4);
            if (req[0] != ICMP_ECHO || be16(req + 4) != id_ || be16(req + 6) != seq_ || innerDst != target_)
                return false;
            r.status = type == ICMP_DEST_UNREACH ? EchoReport::Status::Unreachable : EchoReport::Status::TtlExceeded;
            r.bytes = n;
            r.ttl = buf[8];
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            r.from = QString::fromLatin1(text);
            return true;
        }
        return false;
    }

    // An error queued on a datagram socket (IP_RECVERR): an ICMP error about one of our requests.
    bool readError(EchoReport &r)
    {
        uint8_t buf[600];
        char control[512];
        sockaddr_in offender{};
        iovec iov{buf, sizeof buf};
        msghdr msg{};
        msg.msg_name = &offender;
        msg.msg_namelen = sizeof offender;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(fd_, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (got < 8)
            return false;
        if (be16(buf + 6) != seq_ || offender.sin_addr.s_addr != target_)
            return false;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR)
                continue;
            sock_extended_err ee;
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            if (ee.ee_origin != SO_EE_ORIGIN_ICMP)
                r.status = EchoReport::Status::Error;
            else if (ee.ee_type == ICMP_DEST_UNREACH)
                r.status = EchoReport::Status::Unreachable;
            else if (ee.ee_type == ICMP_TIME_EXCEEDED)
                r.status = EchoReport::Status::TtlExceeded;
            else
                r.status = EchoReport::Status::Error;
            // The address of whoever reported the error follows the record.
            if (c->cmsg_len >= CMSG_LEN(sizeof ee + sizeof(sockaddr_in))) {
                sockaddr_in sender;
                std::memcpy(&sender, CMSG_DATA(c) + sizeof ee, sizeof sender);
                if (sender.sin_family == AF_INET) {
                    char text[INET_ADDRSTRLEN] = {};
                    ::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
                    r.from = QString::fromLatin1(text);
                }
            }
            return true;
        }
        return false;
    }

    int fd_;
    bool raw_;
    uint16_t id_;
    uint16_t seq_ = 0;
    uint32_t target_ = 0;   // network order
};

} // namespace

std::unique_ptr<IcmpEcho> OpenSystemIcmpEcho(QString *why)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
        ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
        return std::make_unique<LinuxIcmpEcho>(fd, false);
    }
    const int datagramError = errno;
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // Only what can answer a request: replies and the two errors.
        icmp_filter filter{};
        filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_TIME_EXCEEDED));
        ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
        return std::make_unique<LinuxIcmpEcho>(fd, true);
    }
    const int rawError = errno;
    if (why) {
        const QString program = QCoreApplication::applicationFilePath();
        *why = QStringLiteral("この PC では PING（ICMP エコー）を送信する権限がありません。\n\n"
                              "次のどちらかの設定で送信できるようになります。\n"
                              "・ICMP データグラムソケットを許可する（グループ ID %1 を含める）:\n"
                              "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                              "・このプログラムに raw ソケットの権限（CAP_NET_RAW）を与える:\n"
                              "    sudo setcap cap_net_raw+ep %2\n\n"
                              "（datagram: %3 / raw: %4）")
                   .arg(::getgid())
                   .arg(program.isEmpty() ? QStringLiteral("kx9monitor") : program)
                   .arg(QString::fromLocal8Bit(std::strerror(datagramError)),
                        QString::fromLocal8Bit(std::strerror(rawError)));
    }
    return nullptr;
}

void SetIcmpEchoOpener(IcmpEchoOpener o) { opener() = std::move(o); }

std::unique_ptr<IcmpEcho> OpenIcmpEcho(QString *why) { return opener() ? opener()(why) : OpenSystemIcmpEcho(why); }

} // namespace kx9
