#include "simdevice.h"

#include "simgate.h"
#include "simreader.h"
#include "simrules.h"

#include <QDateTime>
#include <QFile>
#include <QTimer>
#include <cstdio>

namespace kx9sim {

Device::Device(QObject *parent)
    : QObject(parent), m_reader(new Reader(field, this)), m_expire(new QTimer(this)), m_pumpTimer(new QTimer(this))
{
    m_reader->setSend([this](uint8_t kind, const QByteArray &d) { sendFrame(kind, d); });
    connect(m_reader, &Reader::restarted, this, [this](int baud) { m_baud = baud; });
    m_rx = std::make_unique<FrameReader>([this](const RxFrame &f) { onFrame(f); },
                                         [this](FrameReader::Error e, const QByteArray &raw) { onError(e, raw); },
                                         [this](const QByteArray &skipped) { logLine("RX? " + hexBytes(skipped)); });
    // A frame whose bytes stop arriving is cut off after a quiet line.
    m_expire->setSingleShot(true);
    m_expire->setInterval(300);
    connect(m_expire, &QTimer::timeout, this, [this] {
        m_rx->expire();
        // What followed the next STX in the dropped bytes may itself be incomplete.
        if (m_rx->pending())
            m_expire->start();
    });
    m_pumpTimer->setSingleShot(true);
    connect(m_pumpTimer, &QTimer::timeout, this, [this] {
        if (!m_queue.isEmpty())
            sendFirst();
        pump();
    });
}

Device::~Device() = default;

void Device::setGate(int model)
{
    if (model == 0) {
        delete m_gate;
        m_gate = nullptr;
        return;
    }
    if (!m_gate) {
        m_gate = new Gate(model == 30, this);
        m_gate->setSend([this](uint8_t kind, const QByteArray &d) { sendFrame(kind, d); });
        connect(m_gate, &Gate::restarted, this, [this](int baud) { m_baud = baud; });
    }
    m_gate->setW30(model == 30);
}

void Device::logLine(const QByteArray &line)
{
    const QByteArray l = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toLatin1() + line + '\n';
    if (m_log) {
        m_log->write(l);
        if (auto *f = qobject_cast<QFile *>(m_log))
            f->flush();
    } else {
        std::fputs(l.constData(), stderr);
        std::fflush(stderr);
    }
}

void Device::receive(const QByteArray &bytes, int linkBaud)
{
    if (bytes.isEmpty())
        return;
    if (linkBaud != 0 && linkBaud != m_baud) {
        // Sampled at the wrong bit rate the bytes are noise to the reader's
        // UART: it frames none of them and stays silent.
        logLine("RX? speed " + QByteArray::number(linkBaud) + " != " + QByteArray::number(m_baud) + ": " +
                hexBytes(bytes));
        return;
    }
    m_rx->feed(bytes);
    if (m_rx->pending())
        m_expire->start();
    else
        m_expire->stop();
}

void Device::onError(FrameReader::Error e, const QByteArray &raw)
{
    logLine("RX " + hexBytes(raw) + (e == FrameReader::Error::Sum ? " (SUM error)" : " (length error)"));
    sendFrame('1', QByteArray(1, char(e == FrameReader::Error::Sum ? NackSum : NackLength)));
}

void Device::onFrame(const RxFrame &f)
{
    logLine("RX " + hexBytes(f.raw));
    // A refused frame is answered with its NACK and changes nothing.
    if (const uint8_t nack = requestRefusal(f.cmd, f.data, f.id, m_reader->readerId())) {
        sendFrame('1', QByteArray(1, char(nack)));
        return;
    }
    if (f.cmd == 'G') {
        if (!m_gate)
            sendFrame('1', QByteArray(1, char(NackCommand)));
        else
            m_gate->handle(f.data);
        return;
    }
    m_reader->handle(f);
}

void Device::sendFrame(uint8_t kind, const QByteArray &data)
{
    QByteArray frame = buildFrame(m_reader->readerId(), kind, data);
    int delay = 0, chunk = 0, pause = 0;
    bool drop = false, disconnect = false;
    QByteArray garbage;
    for (Fault &f : m_faults) {
        if (f.remaining <= 0)
            continue;
        --f.remaining;
        switch (f.kind) {
        case Fault::Kind::Drop: drop = true; break;
        case Fault::Kind::Delay: delay += f.a; break;
        case Fault::Kind::Split: chunk = f.a; pause = f.b; break;
        case Fault::Kind::BadSum: frame[frame.size() - 2] = char(uint8_t(frame.at(frame.size() - 2)) + 1); break;
        case Fault::Kind::NoCr: frame.chop(1); break;
        case Fault::Kind::Garbage: garbage += f.bytes; break;
        case Fault::Kind::Nack: {
            QByteArray d(1, char(f.a));
            if (f.b >= 0)
                d.append(char(f.b));
            frame = buildFrame(m_reader->readerId(), '1', d);
            break;
        }
        case Fault::Kind::Disconnect: disconnect = true; break;
        }
    }
    m_faults.erase(std::remove_if(m_faults.begin(), m_faults.end(), [](const Fault &f) { return f.remaining <= 0; }),
                   m_faults.end());
    if (disconnect) {
        logLine("TX (disconnect instead of) " + hexBytes(frame));
        m_queue.append({{}, delay, true});
        pump();
        return;
    }
    if (drop) {
        logLine("TX (dropped) " + hexBytes(frame));
        return;
    }
    const QByteArray all = garbage + frame;
    logLine("TX " + hexBytes(all));
    if (chunk > 0) {
        for (int i = 0; i < all.size(); i += chunk)
            m_queue.append({all.mid(i, chunk), i == 0 ? delay : pause, false});
    } else {
        m_queue.append({all, delay, false});
    }
    pump();
}

void Device::sendRawBytes(const QByteArray &bytes)
{
    logLine("TX " + hexBytes(bytes));
    m_queue.append({bytes, 0, false});
    pump();
}

void Device::pump()
{
    while (!m_queue.isEmpty() && !m_pumpTimer->isActive()) {
        if (m_queue.first().waitMs > 0) {
            m_pumpTimer->start(m_queue.first().waitMs);
            return;
        }
        sendFirst();
    }
}

void Device::sendFirst()
{
    const Out o = m_queue.takeFirst();
    if (o.disconnect)
        emit disconnectLink();
    else
        emit transmit(o.bytes);
}

} // namespace kx9sim
