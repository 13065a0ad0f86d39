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
    if (m_buf.at(0) != char(STX)) {
        if (m_onSkip)
            m_onSkip(m_buf);
        m_buf.clear();
        return false;
    }
    // The frame stopped arriving before LEN was reached: it is dropped up to
    // the next STX among the bytes that did come, and reading goes on there.
    m_onError(Error::Length, takeBrokenFrame());
    process();
    return true;
}

QByteArray FrameReader::takeBrokenFrame()
{
    const int next = int(m_buf.indexOf(char(STX), 1));
    const QByteArray bad = next < 0 ? m_buf : m_buf.left(next);
    m_buf.remove(0, bad.size());
    return bad;
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
            // LEN does not fit what arrived. The next STX starts a new frame,
            // so a frame that follows a broken one in the same burst is still read.
            m_onError(Error::Length, takeBrokenFrame());
            continue;
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
