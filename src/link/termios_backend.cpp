#include "termios_backend.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kx9 {

namespace {

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Changes the line settings and reads them back: tcsetattr succeeds when any
// part of a change was taken, so only the read-back tells whether ours was.
template <class Change, class Check>
bool applyTermios(int fd, Change change, Check check)
{
    if (fd < 0)
        return false;
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    change(t);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return false;
    termios back{};
    if (::tcgetattr(fd, &back) != 0)
        return false;
    return check(back);
}

bool modemLine(int fd, int line, bool on)
{
    if (fd < 0)
        return false;
    int bits = line;
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

} // namespace

TermiosSerialBackend::~TermiosSerialBackend()
{
    close();
}

unsigned TermiosSerialBackend::speedConstant(int bps)
{
    switch (bps) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return 0;
    }
}

bool TermiosSerialBackend::open(const QString &device, QString *reason)
{
    close();
    auto fail = [&](int err) {
        if (reason)
            *reason = device + QStringLiteral(": ") + systemError(err);
        close();
        return false;
    };
    if (device.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("no device for this port number");
        return false;
    }
    // Non-blocking: neither the open nor a read may wait for carrier.
    fd_ = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return fail(errno);
    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
        return fail(errno);   // not a terminal
    // Not shared: another program (or a second monitor) that locks the same
    // way is refused; TIOCEXCL also keeps out programs that do not lock.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    ::ioctl(fd_, TIOCEXCL);

    // Byte-transparent line: no echo, no line editing, no translation, no
    // signals; reads return at once with what waits.
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~(IGNPAR | PARMRK | ISTRIP | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        return fail(errno);

    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (wakeFd_ < 0 || epollFd_ < 0)
        return fail(errno);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = wakeFd_;
    if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &ev) != 0)
        return fail(errno);
    // Edge-triggered: one event per arrival of bytes, as a "character
    // received" notification is. Bytes a handler leaves in the queue do not
    // raise the event again until more arrive, so the receive thread never
    // spins on a queue nobody empties.
    ev.events = EPOLLIN | EPOLLET;
    ev.data.fd = fd_;
    if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd_, &ev) != 0)
        return fail(errno);
    watching_ = true;
    haveCounters_ = readCounters(base_);
    return true;
}

void TermiosSerialBackend::close()
{
    if (epollFd_ >= 0)
        ::close(epollFd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (fd_ >= 0) {
        // The exclusive flag belongs to the terminal, not to our descriptor:
        // a pty whose other program keeps it open would stay closed to us
        // (and to every user but root) after we let it go.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);   // also releases the lock
    }
    epollFd_ = wakeFd_ = fd_ = -1;
    watching_ = false;
    haveCounters_ = false;
}

bool TermiosSerialBackend::setBuffers(int inputBytes, int outputBytes)
{
    // The kernel sizes its tty queues itself.
    return fd_ >= 0 && inputBytes > 0 && outputBytes > 0;
}

bool TermiosSerialBackend::purge(bool output, bool input)
{
    if (fd_ < 0)
        return false;
    if (output && input)
        return ::tcflush(fd_, TCIOFLUSH) == 0;
    if (output)
        return ::tcflush(fd_, TCOFLUSH) == 0;
    if (input)
        return ::tcflush(fd_, TCIFLUSH) == 0;
    return true;
}

bool TermiosSerialBackend::setBitRate(int bps)
{
    const speed_t s = speed_t(speedConstant(bps));
    if (s == 0)
        return false;
    return applyTermios(
        fd_, [s](termios &t) { ::cfsetispeed(&t, s); ::cfsetospeed(&t, s); },
        [s](const termios &t) { return ::cfgetospeed(&t) == s; });
}

bool TermiosSerialBackend::setCharSize(int bits)
{
    tcflag_t cs;
    switch (bits) {
    case 5: cs = CS5; break;
    case 6: cs = CS6; break;
    case 7: cs = CS7; break;
    case 8: cs = CS8; break;
    default: return false;
    }
    return applyTermios(
        fd_, [cs](termios &t) { t.c_cflag = (t.c_cflag & ~CSIZE) | cs; },
        [cs](const termios &t) { return (t.c_cflag & CSIZE) == cs; });
}

bool TermiosSerialBackend::setParity(int parity)
{
    if (parity < 0 || parity > 2)
        return false;
    const tcflag_t want = parity == 0 ? 0 : parity == 1 ? (PARENB | PARODD) : PARENB;
    return applyTermios(
        fd_,
        [want](termios &t) {
            t.c_cflag = (t.c_cflag & ~(PARENB | PARODD)) | want;
            // Parity is checked whenever it is generated; a bad character is
            // read as 0 and counted by the driver.
            if (want)
                t.c_iflag |= INPCK;
            else
                t.c_iflag &= ~INPCK;
        },
        [want](const termios &t) { return (t.c_cflag & (PARENB | PARODD)) == want; });
}

bool TermiosSerialBackend::setStopBits(int stopBits)
{
    if (stopBits < 0 || stopBits > 2)
        return false;
    if (stopBits == 1) {
        // One and a half exists only for 5-bit characters, where CSTOPB gives it.
        termios t{};
        if (fd_ < 0 || ::tcgetattr(fd_, &t) != 0 || (t.c_cflag & CSIZE) != CS5)
            return false;
    }
    const tcflag_t want = stopBits == 0 ? 0 : CSTOPB;
    return applyTermios(
        fd_, [want](termios &t) { t.c_cflag = (t.c_cflag & ~CSTOPB) | want; },
        [want](const termios &t) { return (t.c_cflag & CSTOPB) == want; });
}

bool TermiosSerialBackend::setFlowControl(SerialFlow flow, int, int)
{
    if (flow == SerialFlow::DtrDsr)
        return false;   // no DTR/DSR handshake in the Linux tty layer
    const bool hw = flow == SerialFlow::RtsCts;
    const bool sw = flow == SerialFlow::XonXoff;
    const bool ok = applyTermios(
        fd_,
        [hw, sw](termios &t) {
            if (hw)
                t.c_cflag |= CRTSCTS;
            else
                t.c_cflag &= ~CRTSCTS;
            if (sw)
                t.c_iflag |= IXON | IXOFF;
            else
                t.c_iflag &= ~(IXON | IXOFF);
            t.c_iflag &= ~IXANY;
        },
        [hw, sw](const termios &t) {
            return ((t.c_cflag & CRTSCTS) != 0) == hw && ((t.c_iflag & IXON) != 0) == sw
                   && ((t.c_iflag & IXOFF) != 0) == sw;
        });
    if (!ok)
        return false;
    // DTR is held high in every mode. RTS starts high (under RTS/CTS the
    // kernel then drops it while its input queue is full), except that the
    // program keys it itself in the half-duplex modes, where it rests low.
    // Ports without modem lines (ptys) refuse these, which is no reason to
    // refuse the port.
    setDtr(true);
    setRts(flow != SerialFlow::RtsProgram);
    return true;
}

bool TermiosSerialBackend::setTimeouts(int readConstantMs, int writeConstantMs)
{
    // Reads never wait in the driver (VMIN 0, VTIME 0); waiting for the first
    // byte and for the writer is done by TCommX with poll and these values.
    return fd_ >= 0 && readConstantMs >= 0 && writeConstantMs >= 0;
}

bool TermiosSerialBackend::setXonChar(uint8_t c)
{
    return applyTermios(
        fd_, [c](termios &t) { t.c_cc[VSTART] = cc_t(c); },
        [c](const termios &t) { return t.c_cc[VSTART] == cc_t(c); });
}

bool TermiosSerialBackend::setXoffChar(uint8_t c)
{
    return applyTermios(
        fd_, [c](termios &t) { t.c_cc[VSTOP] = cc_t(c); },
        [c](const termios &t) { return t.c_cc[VSTOP] == cc_t(c); });
}

int TermiosSerialBackend::read(uint8_t *buffer, int max)
{
    if (fd_ < 0 || !buffer || max < 0)
        return -1;
    if (max == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size_t(max));
        if (n >= 0)
            return int(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

int TermiosSerialBackend::inputWaiting()
{
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &n) != 0)
        return 0;
    return n;
}

int TermiosSerialBackend::write(const uint8_t *bytes, int count)
{
    if (fd_ < 0 || !bytes || count < 0)
        return -1;
    if (count == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::write(fd_, bytes, size_t(count));
        if (n >= 0)
            return int(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

SerialBackend::WaitResult TermiosSerialBackend::waitWritable(int timeoutMs)
{
    if (fd_ < 0)
        return WaitResult::Failed;
    pollfd p[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
    int r;
    do {
        r = ::poll(p, 2, timeoutMs < 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return WaitResult::Failed;
    if (r == 0)
        return WaitResult::TimedOut;
    if (p[1].revents & POLLIN)
        return WaitResult::Woken;
    if (p[0].revents & POLLOUT)
        return WaitResult::Ready;
    return WaitResult::Failed;   // POLLERR/POLLHUP: the device went away
}

void TermiosSerialBackend::drainOutput()
{
    if (fd_ >= 0)
        ::tcdrain(fd_);
}

bool TermiosSerialBackend::setRts(bool on)
{
    return modemLine(fd_, TIOCM_RTS, on);
}

bool TermiosSerialBackend::setDtr(bool on)
{
    return modemLine(fd_, TIOCM_DTR, on);
}

int TermiosSerialBackend::modemStatus()
{
    int bits = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &bits) != 0)
        return 0;
    int out = 0;
    if (bits & TIOCM_CTS)
        out |= kModemCts;
    if (bits & TIOCM_DSR)
        out |= kModemDsr;
    if (bits & TIOCM_RNG)
        out |= kModemRing;
    if (bits & TIOCM_CAR)
        out |= kModemRlsd;
    return out;
}

bool TermiosSerialBackend::setBreak(bool on)
{
    return fd_ >= 0 && ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0;
}

bool TermiosSerialBackend::readCounters(Counters &c) const
{
    serial_icounter_struct ic{};
    if (fd_ < 0 || ::ioctl(fd_, TIOCGICOUNT, &ic) != 0)
        return false;
    c.overrun = long(ic.overrun) + long(ic.buf_overrun);
    c.parity = ic.parity;
    c.frame = ic.frame;
    c.brk = ic.brk;
    return true;
}

SerialLineErrors TermiosSerialBackend::takeLineErrors()
{
    SerialLineErrors out;
    Counters now;
    if (!haveCounters_ || !readCounters(now))
        return out;
    if (now.overrun != base_.overrun)
        out.bits |= kLineOverrun;
    if (now.parity != base_.parity)
        out.bits |= kLineParity;
    if (now.frame != base_.frame)
        out.bits |= kLineFraming;
    out.breaks = int(now.brk - base_.brk);
    if (out.breaks < 0)
        out.breaks = 0;
    base_ = now;
    return out;
}

SerialBackend::Event TermiosSerialBackend::waitEvent()
{
    if (epollFd_ < 0)
        return Event::Failed;
    epoll_event evs[2];
    for (;;) {
        const int n = ::epoll_wait(epollFd_, evs, 2, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Event::Failed;
        }
        bool received = false, failed = false;
        for (int i = 0; i < n; ++i) {
            if (evs[i].data.fd == wakeFd_)
                return Event::Woken;
            if (evs[i].events & EPOLLIN)
                received = true;
            if (evs[i].events & (EPOLLERR | EPOLLHUP))
                failed = true;
        }
        if (failed && watching_) {
            // The device went away (adapter unplugged, the pty's other side
            // closed): stop watching it, or the wait would return at once
            // for ever. The thread then waits only for its stop request.
            ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd_, nullptr);
            watching_ = false;
        }
        if (received)
            return Event::Received;
        if (failed)
            return Event::Failed;
    }
}

void TermiosSerialBackend::wakeWaiters()
{
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

} // namespace kx9
