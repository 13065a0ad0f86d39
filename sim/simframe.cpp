#include "simframe.h"

namespace kx9sim {

uint8_t frameSum(const uint8_t *frame, int dataLen)
{
    unsigned sum = 0;
    for (int i = 0; i < dataLen + 5; ++i)
        sum += frame[i];
    return uint8_t(sum & 0xFF);
}

QByteArray buildFrame(uint8_t id, uint8_t kind, const QByteArray &data)
{
    const QByteArray d = data.left(255);
    QByteArray f;
    f.reserve(d.size() + 7);
    f.append(char(STX)).append(char(id)).append(char(kind)).append(char(d.size()));
    f.append(d);
    f.append(char(ETX));
    f.append(char(frameSum(reinterpret_cast<const uint8_t *>(f.constData()), int(d.size()))));
    f.append(char(CR));
    return f;
}

QByteArray hexBytes(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

FrameReader::FrameReader(FrameFn onFrame, ErrorFn onError, SkipFn onSkip)
    : m_onFrame(std::move(onFrame)), m_onError(std::move(onError)), m_onSkip(std::move(onSkip))
{
}

void FrameReader::feed(const QByteArray &bytes)
{
    m_buf += bytes;
    process();
}

bool FrameReader::expire()
{
    if (m_buf.isEmpty())
        return false;
    const QByteArray raw = m_buf;
    m_buf.clear();
    if (raw.at(0) == char(STX)) {
        m_onError(Error::Length, raw);
        return true;
    }
    if (m_onSkip)
        m_onSkip(raw);
    return false;
}

void FrameReader::process()
{
    for (;;) {
        int stx = m_buf.indexOf(char(STX));
        if (stx < 0) {
            if (!m_buf.isEmpty() && m_onSkip)
                m_onSkip(m_buf);
            m_buf.clear();
            return;
        }
        if (stx > 0) {
            if (m_onSkip)
                m_onSkip(m_buf.left(stx));
            m_buf.remove(0, stx);
        }
        if (m_buf.size() < 4)
            return;
        const int len = uint8_t(m_buf.at(3));
        if (m_buf.size() < len + 7)
            return;
        const QByteArray raw = m_buf.left(len + 7);
        const auto *p = reinterpret_cast<const uint8_t *>(raw.constData());
        if (p[4 + len] != ETX || p[6 + len] != CR) {
            // LEN does not fit what arrived: the rest of the burst belongs to
            // this broken frame, so drop it all and wait for a fresh STX.
            m_onError(Error::Length, m_buf);
            m_buf.clear();
            return;
        }
        m_buf.remove(0, len + 7);
        if (p[5 + len] != frameSum(p, len)) {
            m_onError(Error::Sum, raw);
            continue;
        }
        RxFrame f;
        f.id = p[1];
        f.cmd = p[2];
        f.data = raw.mid(4, len);
        f.raw = raw;
        m_onFrame(f);
    }
}

} // namespace kx9sim
