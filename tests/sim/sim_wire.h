#pragma once
// A test's own view of the reader link: frames built and cut by hand from the
// envelope rules (STX ID CMD LEN DATA ETX SUM CR), nothing shared with the
// programs under test.
#include "wire_frame.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QIODevice>
#include <QTcpSocket>
#include <QTest>

namespace wire {

inline QByteArray frame(char cmd, const QByteArray &data, uint8_t id = 0)
{
    return kx9test::WireFrame(cmd, data, id);
}

inline QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

// Collects bytes from a device and hands out complete frames.
class Reader {
public:
    explicit Reader(QIODevice *dev) : m_dev(dev) {}

    // The next whole frame (LEN+7 bytes from an STX), or empty after timeoutMs.
    QByteArray next(int timeoutMs = 2000)
    {
        QDeadlineTimer dl(timeoutMs);
        for (;;) {
            const int stx = int(m_buf.indexOf(char(0x02)));
            if (stx > 0)
                m_buf.remove(0, stx);
            if (stx >= 0 && m_buf.size() >= 4 && m_buf.size() >= uint8_t(m_buf.at(3)) + 7) {
                const int n = uint8_t(m_buf.at(3)) + 7;
                const QByteArray f = m_buf.left(n);
                m_buf.remove(0, n);
                return f;
            }
            if (dl.hasExpired())
                return {};
            pump(int(qMin<qint64>(50, dl.remainingTime())));
        }
    }
    // Every byte that arrives within ms.
    QByteArray drain(int ms)
    {
        QDeadlineTimer dl(ms);
        while (!dl.hasExpired())
            pump(int(qMin<qint64>(20, dl.remainingTime())));
        QByteArray b = m_buf;
        m_buf.clear();
        return b;
    }
    void pump(int ms)
    {
        if (m_dev->bytesAvailable() == 0)
            m_dev->waitForReadyRead(ms);
        m_buf += m_dev->readAll();
    }
    QByteArray &buffer() { return m_buf; }

private:
    QIODevice *m_dev;
    QByteArray m_buf;
};

// Kind and data of a frame ("0" + data for an ACK), for compact comparisons.
inline QByteArray body(const QByteArray &f)
{
    if (f.size() < 7)
        return {};
    return f.mid(2, 1) + f.mid(4, uint8_t(f.at(3)));
}

} // namespace wire
