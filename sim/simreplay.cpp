#include "simreplay.h"

#include "simdevice.h"
#include "simframe.h"
#include "simgate.h"
#include "simreader.h"

#include <QFile>
#include <QRegularExpression>
#include <climits>
#include <cstdio>

namespace kx9sim {

// ---------------------------------------------------------------- pcapng

namespace {

constexpr uint32_t kShb = 0x0A0D0D0A;
constexpr uint32_t kIdb = 0x00000001;
constexpr uint32_t kEpb = 0x00000006;
constexpr uint32_t kMagic = 0x1A2B3C4D;
constexpr uint32_t kMagicSwapped = 0x4D3C2B1A;

class BlockReader {
public:
    BlockReader(const QByteArray &b) : m_b(b) {}
    bool swapped = false;
    uint32_t u32(qsizetype at) const
    {
        if (at < 0 || at + 4 > m_b.size())
            return 0;
        const auto *p = reinterpret_cast<const uint8_t *>(m_b.constData() + at);
        return swapped ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                       : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
    uint16_t u16(qsizetype at) const
    {
        if (at < 0 || at + 2 > m_b.size())
            return 0;
        const auto *p = reinterpret_cast<const uint8_t *>(m_b.constData() + at);
        return swapped ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }

private:
    const QByteArray &m_b;
};

// Microseconds from a time stamp in units of 10^-v or 2^-v seconds.
uint64_t toMicros(uint64_t ts, uint8_t resol)
{
    if (resol & 0x80) {
        const int shift = resol & 0x7F;
        if (shift >= 64)
            return 0;
        const long double s = (long double)ts / (long double)(uint64_t(1) << std::min(shift, 63));
        return uint64_t(s * 1e6L);
    }
    if (resol == 6)
        return ts;
    long double v = (long double)ts;
    for (int i = 6; i < resol; ++i)
        v /= 10;
    for (int i = resol; i < 6; ++i)
        v *= 10;
    return uint64_t(v);
}

} // namespace

bool readCapture(const QString &path, QVector<CapturedChunk> &chunks, QString *error)
{
    auto failWith = [error](const QString &e) {
        if (error)
            *error = e;
        return false;
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return failWith(QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
    const QByteArray b = f.readAll();
    BlockReader r(b);
    QVector<uint8_t> resolution;   // per interface of the current section
    bool sawDirection = false;
    qsizetype at = 0;
    bool inSection = false;
    while (at + 12 <= b.size()) {
        uint32_t type = r.u32(at);
        if (type == kShb) {
            const uint32_t magic = BlockReader(b).u32(at + 8);
            if (magic == kMagic)
                r.swapped = false;
            else if (magic == kMagicSwapped)
                r.swapped = true;
            else
                return failWith(QStringLiteral("%1: bad byte-order magic").arg(path));
            resolution.clear();
            inSection = true;
        } else if (!inSection) {
            return failWith(QStringLiteral("%1 is not a pcapng file").arg(path));
        }
        const uint32_t len = r.u32(at + 4);
        if (len < 12 || len % 4 != 0 || at + len > b.size())
            return failWith(QStringLiteral("%1: block at offset %2 is cut or malformed").arg(path).arg(at));
        const qsizetype end = at + len - 4;   // where the trailing length sits
        if (type == kIdb) {
            uint8_t resol = 6;
            for (qsizetype o = at + 16; o + 4 <= end;) {
                const uint16_t code = r.u16(o), olen = r.u16(o + 2);
                if (code == 0)
                    break;
                if (code == 9 && olen >= 1 && o + 4 < end)
                    resol = uint8_t(b.at(o + 4));
                o += 4 + ((olen + 3) & ~3);
            }
            resolution.append(resol);
        } else if (type == kEpb) {
            const uint32_t ifId = r.u32(at + 8);
            const uint64_t ts = uint64_t(r.u32(at + 12)) << 32 | r.u32(at + 16);
            const uint32_t caplen = r.u32(at + 20);
            if (at + 28 + qsizetype(caplen) > end)
                return failWith(QStringLiteral("%1: packet at offset %2 is longer than its block").arg(path).arg(at));
            CapturedChunk c;
            c.timeUs = toMicros(ts, ifId < uint32_t(resolution.size()) ? resolution[ifId] : 6);
            c.bytes = b.mid(at + 28, caplen);
            int direction = 0;
            for (qsizetype o = at + 28 + ((caplen + 3) & ~3u); o + 4 <= end;) {
                const uint16_t code = r.u16(o), olen = r.u16(o + 2);
                if (code == 0)
                    break;
                if (code == 2 && olen == 4)
                    direction = int(r.u32(o + 4) & 3);
                o += 4 + ((olen + 3) & ~3);
            }
            if (direction == 1 || direction == 2) {
                sawDirection = true;
                c.fromMonitor = direction == 2;
                chunks.append(c);
            }
        }
        at += len;
    }
    if (!inSection)
        return failWith(QStringLiteral("%1 is not a pcapng file").arg(path));
    if (!sawDirection)
        return failWith(QStringLiteral("%1 holds no packets with a direction").arg(path));
    return true;
}

// ---------------------------------------------------------------- the log tee

// Device's frame log, passed on unchanged; the "RX" lines name the requests.
class Replay::LogTee : public QIODevice {
public:
    LogTee(Replay &replay, QIODevice *out) : m_replay(replay), m_out(out) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        const QByteArray chunk(data, len);
        if (m_out) {
            m_out->write(chunk);
            if (auto *f = qobject_cast<QFile *>(m_out))
                f->flush();
        } else {
            std::fwrite(data, 1, size_t(len), stderr);
            std::fflush(stderr);
        }
        m_line += chunk;
        qsizetype nl;
        while ((nl = m_line.indexOf('\n')) >= 0) {
            m_replay.onLogLine(m_line.left(nl));
            m_line.remove(0, nl + 1);
        }
        return len;
    }

private:
    Replay &m_replay;
    QIODevice *m_out;
    QByteArray m_line;
};

// ---------------------------------------------------------------- replay

namespace {

// Cuts the monitor's bytes into whole frames (STX .. LEN+7 bytes).
QList<QByteArray> cutFrames(QByteArray &pending, const QByteArray &more)
{
    QList<QByteArray> frames;
    pending += more;
    for (;;) {
        const qsizetype stx = pending.indexOf(char(STX));
        if (stx < 0) {
            pending.clear();
            break;
        }
        pending.remove(0, stx);
        if (pending.size() < 4)
            break;
        const int total = uint8_t(pending.at(3)) + 7;
        if (pending.size() < total)
            break;
        frames << pending.left(total);
        pending.remove(0, total);
    }
    return frames;
}

bool sameBody(const QByteArray &a, const QByteArray &b)
{
    // Command, LEN, DATA and ETX: a frame sent with another reader ID.
    return a.size() == b.size() && a.size() >= 7 && a.mid(2, a.size() - 4) == b.mid(2, b.size() - 4);
}

bool sameCommand(const QByteArray &a, const QByteArray &b)
{
    if (a.size() < 7 || b.size() < 7 || a.at(2) != b.at(2))
        return false;
    const bool aData = uint8_t(a.at(3)) > 0, bData = uint8_t(b.at(3)) > 0;
    return aData == bData && (!aData || a.at(4) == b.at(4));
}

} // namespace

Replay::Replay(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Replay::sendDue);
}

Replay::~Replay()
{
    // The unit may log after the replay is gone: straight to its old log again.
    if (m_dev)
        m_dev->setLog(m_log);
}

bool Replay::load(const QString &path, QString *error)
{
    QVector<CapturedChunk> chunks;
    if (!readCapture(path, chunks, error))
        return false;
    setChunks(chunks);
    if (m_exchanges.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 holds no request from the monitor").arg(path);
        return false;
    }
    return true;
}

void Replay::setChunks(const QVector<CapturedChunk> &chunks)
{
    m_exchanges.clear();
    m_used.clear();
    QByteArray pending;
    uint64_t requestTime = 0;
    for (const CapturedChunk &c : chunks) {
        if (c.fromMonitor) {
            for (const QByteArray &frame : cutFrames(pending, c.bytes)) {
                m_exchanges.append({frame, {}});
                requestTime = c.timeUs;
            }
        } else if (!m_exchanges.isEmpty()) {
            const qint64 delay = c.timeUs >= requestTime ? qint64(c.timeUs - requestTime) : 0;
            m_exchanges.last().replies.append({delay, c.bytes});
        }
    }
}

void Replay::attach(Device &dev, QIODevice *log)
{
    m_dev = &dev;
    m_log = log;
    m_tee = new LogTee(*this, log);
    m_tee->setParent(this);
    dev.setLog(m_tee);
    // The model underneath keeps its state but its answers never leave.
    dev.reader()->setSend([](uint8_t, const QByteArray &) {});
    if (dev.gate())
        dev.gate()->setSend([](uint8_t, const QByteArray &) {});
    // What the unit itself still sends (the envelope NACKs) is dropped too;
    // the replayed bytes go out as raw bytes, past the faults.
    Fault mute;
    mute.kind = Fault::Kind::Drop;
    mute.remaining = INT_MAX;
    dev.addFault(mute);
}

void Replay::onLogLine(const QByteArray &line)
{
    // "hh:mm:ss.zzz RX 02 00 4F ..." and the same with " (SUM error)" or
    // " (length error)": a request as the unit saw it.
    static const QRegularExpression rx(QStringLiteral("^\\S+ RX ((?:[0-9A-F]{2} ?)+)"));
    const auto m = rx.match(QString::fromLatin1(line));
    if (!m.hasMatch())
        return;
    m_requests << QByteArray::fromHex(m.captured(1).toLatin1());
    // Answered from the event loop: the log is written from inside the unit.
    QTimer::singleShot(0, this, [this] {
        while (!m_requests.isEmpty())
            answer(m_requests.takeFirst());
    });
}

int Replay::find(const QByteArray &request, QString *rule)
{
    static const char *const rules[] = {"exact", "other reader ID", "same command"};
    for (int r = 0; r < 3; ++r) {
        QVector<int> hits;
        for (int i = 0; i < m_exchanges.size(); ++i) {
            const QByteArray &rec = m_exchanges[i].request;
            if ((r == 0 && rec == request) || (r == 1 && sameBody(rec, request)) || (r == 2 && sameCommand(rec, request)))
                hits << i;
        }
        if (hits.isEmpty())
            continue;
        int &used = m_used[request];
        const int idx = hits[std::min(used, int(hits.size()) - 1)];
        ++used;
        *rule = QString::fromLatin1(rules[r]);
        return idx;
    }
    return -1;
}

void Replay::answer(const QByteArray &request)
{
    if (!m_dev)
        return;
    // What the previous request still had to say came before this request in
    // the recording: it goes out first.
    const QList<Due> earlier = m_due;
    m_due.clear();
    m_timer.stop();
    for (const Due &d : earlier)
        m_dev->sendRawBytes(d.bytes);
    QString rule;
    const int idx = find(request, &rule);
    if (idx < 0) {
        m_dev->logLine("REPLAY no recorded reply");
        return;
    }
    const Exchange &ex = m_exchanges[idx];
    m_dev->logLine("REPLAY " + rule.toLatin1() + " #" + QByteArray::number(idx + 1) + ", " +
                   QByteArray::number(ex.replies.size()) + " chunk(s)");
    const qint64 now = m_clock.elapsed();
    for (const Reply &r : ex.replies)
        m_due.append({now + r.delayUs / 1000, r.bytes});
    sendDue();
}

void Replay::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_due.isEmpty() && m_due.first().atMs <= now)
        m_dev->sendRawBytes(m_due.takeFirst().bytes);
    schedule();
}

void Replay::schedule()
{
    if (m_due.isEmpty())
        return;
    const qint64 wait = m_due.first().atMs - m_clock.elapsed();
    m_timer.start(int(std::clamp<qint64>(wait, 0, INT_MAX)));
}

} // namespace kx9sim
