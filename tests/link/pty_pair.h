#pragma once
// A pseudo-terminal pair for the serial tests: the test keeps the master (the
// "other end of the cable") and the slave open; the code under test opens the
// slave by its path, as it would open /dev/ttyUSB0.
#include <QByteArray>
#include <QString>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kx9test {

class PtyPair {
public:
    PtyPair()
    {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        path_ = QString::fromLocal8Bit(name);
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        // Raw on both sides, so no byte is echoed or translated before the
        // code under test sets the line up.
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    ~PtyPair()
    {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return master_ >= 0; }
    int master() const { return master_; }
    const QString &path() const { return path_; }
    // The line settings as the code under test left them.
    termios line() const
    {
        termios t{};
        ::tcgetattr(slave_, &t);
        return t;
    }
    // Blocking write of everything (the kernel holds the writer back while
    // the terminal's input queue is full).
    bool writeAll(const QByteArray &bytes) const
    {
        const char *p = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(master_, p, size_t(left));
            if (n <= 0)
                return false;
            p += n;
            left -= n;
        }
        return true;
    }
    // Reads until `count` bytes arrived or `ms` passed.
    QByteArray read(qsizetype count, int ms) const;

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

} // namespace kx9test

#include <poll.h>
#include <chrono>

inline QByteArray kx9test::PtyPair::read(qsizetype count, int ms) const
{
    QByteArray out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    char buf[4096];
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0)
            break;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, int(n));
    }
    return out;
}
