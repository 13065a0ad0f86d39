#include "simcontrolsocket.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kx9sim {

namespace {
class ControlConnection : public QObject {
public:
    ControlConnection(int fd, const ControlSocketServer::RunFn &run, QObject *parent)
        : QObject(parent), m_fd(fd), m_run(run), m_read(new QSocketNotifier(fd, QSocketNotifier::Read, this)),
          m_write(new QSocketNotifier(fd, QSocketNotifier::Write, this))
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_write->setEnabled(false);
        connect(m_read, &QSocketNotifier::activated, this, &ControlConnection::readable);
        connect(m_write, &QSocketNotifier::activated, this, &ControlConnection::flush);
    }
    ~ControlConnection() override { ::close(m_fd); }

private:
    void readable()
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                m_in.append(buf, int(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            // End of the client's sending side (or a broken connection): answer
            // what came, then close.
            m_eof = true;
            m_read->setEnabled(false);
            break;
        }
        int nl;
        while ((nl = int(m_in.indexOf('\n'))) >= 0) {
            const QByteArray line = m_in.left(nl);
            m_in.remove(0, nl + 1);
            answer(line);
        }
        if (m_eof) {
            answer(m_in);
            m_in.clear();
        }
        flush();
    }

    void answer(const QByteArray &line)
    {
        if (!line.trimmed().isEmpty())
            m_out += m_run(line) + '\n';
    }

    void flush()
    {
        while (!m_out.isEmpty()) {
            const ssize_t n = ::send(m_fd, m_out.constData(), size_t(m_out.size()), MSG_NOSIGNAL);
            if (n > 0) {
                m_out.remove(0, int(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                m_write->setEnabled(true);
                return;
            }
            return close(); // the client is gone altogether
        }
        m_write->setEnabled(false);
        if (m_eof)
            close();
    }

    void close()
    {
        m_read->setEnabled(false);
        m_write->setEnabled(false);
        deleteLater();
    }

    int m_fd;
    const ControlSocketServer::RunFn &m_run;
    QSocketNotifier *m_read;
    QSocketNotifier *m_write;
    QByteArray m_in;
    QByteArray m_out;
    bool m_eof = false;
};
} // namespace

ControlSocketServer::ControlSocketServer(RunFn run, QObject *parent) : QLocalServer(parent), m_run(std::move(run)) {}

void ControlSocketServer::incomingConnection(quintptr socketDescriptor)
{
    new ControlConnection(int(socketDescriptor), m_run, this);
}

} // namespace kx9sim
