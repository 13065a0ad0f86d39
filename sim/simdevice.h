#pragma once
// One simulated unit as the link sees it: the reader (with its tag field),
// optionally a gate on the same line and a LAN module in front of it. It
// checks the frame envelope, NACKs what it cannot accept, dispatches the rest,
// applies the injected faults to what it sends and logs every frame.
#include "simframe.h"
#include "simlan.h"
#include "simtag.h"

#include <QByteArray>
#include <QObject>
#include <QVector>
#include <memory>

class QIODevice;
class QTimer;

namespace kx9sim {

class Reader;
class Gate;

struct Fault {
    enum class Kind { Drop, Delay, Split, BadSum, NoCr, Garbage, Nack, Disconnect };
    Kind kind = Kind::Drop;
    int remaining = 1;   // outgoing frames still affected
    int a = 0;           // delay ms / chunk size / NACK code
    int b = -1;          // split pause ms / NACK second byte
    QByteArray bytes;    // garbage
};

class Device : public QObject {
    Q_OBJECT
public:
    explicit Device(QObject *parent = nullptr);
    ~Device() override;

    Field field;
    LanSettings lan;
    bool lanPresent = false;
    Reader *reader() const { return m_reader; }
    Gate *gate() const { return m_gate; }
    void setGate(int model); // 0 none, 20, 30

    // The frame log goes to this device (stderr when none is set).
    void setLog(QIODevice *dev) { m_log = dev; }
    void logLine(const QByteArray &line);

    // Bytes from a link. linkBaud is the speed the other end uses, 0 when the
    // link has no speed; a speed that differs from the unit's garbles them.
    void receive(const QByteArray &bytes, int linkBaud = 0);
    int baud() const { return m_baud; }

    void addFault(const Fault &f) { m_faults.append(f); }
    void clearFaults() { m_faults.clear(); }
    int pendingFaults() const { return int(m_faults.size()); }

    // Sends a frame from the unit (through the faults).
    void sendFrame(uint8_t kind, const QByteArray &data);
    void sendRawBytes(const QByteArray &bytes); // bypasses faults, still logged

signals:
    void transmit(const QByteArray &bytes);
    void disconnectLink();

private:
    void onFrame(const RxFrame &f);
    void onError(FrameReader::Error e, const QByteArray &raw);
    void enqueue(const QByteArray &bytes, int waitMs);
    void pump();      // sends what is due, arms the timer for the rest
    void sendFirst();

    Reader *m_reader;
    Gate *m_gate = nullptr;
    std::unique_ptr<FrameReader> m_rx;
    QTimer *m_expire;
    QTimer *m_pumpTimer;
    QIODevice *m_log = nullptr;
    QVector<Fault> m_faults;
    struct Out {
        QByteArray bytes;
        int waitMs;
        bool disconnect;
    };
    QVector<Out> m_queue;
    int m_baud = 19200;
};

} // namespace kx9sim
