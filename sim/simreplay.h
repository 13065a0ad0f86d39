#pragma once
// Replay of a capture made by the monitor (pcapng, as its capture menu item
// writes it): the unit answers each request with the reply bytes recorded
// after the same request in the capture, chunk by chunk and with the recorded
// delays, so a problem recorded on site can be played against the monitor in
// the lab. The simulated reader keeps running underneath but says nothing:
// its own answers (and the envelope NACKs of the unit) are dropped.
//
// Matching: the request's exact bytes first, then the same command, LEN and
// DATA with another reader ID, then the same command and first data byte. The
// nth time a request arrives it gets the nth recorded reply to it; once
// those run out, the last one again. A request the capture has no reply for
// is answered with silence. Bytes the reader sent before the first recorded
// request are not replayed.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <cstdint>

namespace kx9sim {

class Device;

// One recorded packet: microseconds since the epoch, direction, bytes.
struct CapturedChunk {
    uint64_t timeUs = 0;
    bool fromMonitor = false;   // outbound on the monitor's side: a request
    QByteArray bytes;
};

// Reads the packets of a pcapng file (either byte order; enhanced packet
// blocks with their direction flags). False with `error` set when the file
// is not a capture the replay can use.
bool readCapture(const QString &path, QVector<CapturedChunk> &chunks, QString *error);

class Replay : public QObject {
    Q_OBJECT
public:
    explicit Replay(QObject *parent = nullptr);
    ~Replay() override;

    bool load(const QString &path, QString *error);
    // Builds the exchanges from chunks already read (tests).
    void setChunks(const QVector<CapturedChunk> &chunks);
    int exchangeCount() const { return int(m_exchanges.size()); }

    // Takes over `dev`: its frame log goes through the replay to `log` (stderr
    // when null), where the requests are seen; its own sends are dropped.
    void attach(Device &dev, QIODevice *log);

private:
    struct Reply {
        qint64 delayUs = 0;      // after the request, as recorded
        QByteArray bytes;
    };
    struct Exchange {
        QByteArray request;      // the whole request frame
        QVector<Reply> replies;
    };
    struct Due {
        qint64 atMs;             // on m_clock
        QByteArray bytes;
    };
    class LogTee;

    void onLogLine(const QByteArray &line);
    void answer(const QByteArray &request);
    int find(const QByteArray &request, QString *rule);
    void sendDue();
    void schedule();

    Device *m_dev = nullptr;
    LogTee *m_tee = nullptr;
    QIODevice *m_log = nullptr;      // where the unit logged before
    QVector<Exchange> m_exchanges;
    QHash<QByteArray, int> m_used;     // times each exchange key was answered
    QList<Due> m_due;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QList<QByteArray> m_requests;      // seen in the log, answered from the event loop
};

} // namespace kx9sim
