#pragma once
// Records the traffic of the communication module's active link into a
// pcapng file: every chunk handed to the link and every chunk the link
// delivered, as it happened, with a microsecond time stamp and its direction.
// It sits on the module's link tap, below the log switches and the log page's
// line limits, so the file holds what the log cannot.
//
// The file is written beside its target as "<name>.part" and renamed over the
// target when the capture stops; a capture cut short by a crash is still a
// readable pcapng file under the .part name. Packets are collected in memory
// and written every 250 ms (or at 64 KiB), so the receive path never waits
// for the disk.
#include "capture/capture_file.h"
#include "link/link_tap.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

namespace kx9 {

class CommModule;

class LinkCapture : public QObject, public LinkTap {
    Q_OBJECT
public:
    explicit LinkCapture(QObject *parent = nullptr);
    ~LinkCapture() override;

    // Starts recording `module`'s link into `path` (replaced when the capture
    // stops). False when the file cannot be made or the module offers no link
    // tap; errorString() says why.
    bool start(CommModule &module, const QString &path);
    // Writes what is pending, closes the file and renames it over the target.
    // False when that failed (errorString()); the .part file is left then.
    bool stop();
    bool isRunning() const { return file_.isOpen() && !writeFailed_; }

    QString fileName() const { return file_.targetPath(); }
    QString errorString() const { return error_; }
    qint64 packetCount() const { return packets_; }
    qint64 byteCount(LinkDirection d) const { return bytes_[d == LinkDirection::Sent ? 0 : 1]; }

    // Microseconds since the epoch; the system clock unless a test sets one.
    void setClock(std::function<uint64_t()> clock) { clock_ = std::move(clock); }

    // The text recorded for a link kind: its settings at this moment.
    static QString LinkSettingsText(CommModule &module, int linkMode);

    void linkBytes(LinkDirection direction, int linkMode, const uint8_t *bytes, int count) override;

    // Bytes collected before a write is forced.
    static constexpr int kFlushBytes = 64 * 1024;
    static constexpr int kFlushIntervalMs = 250;

signals:
    // The capture ended by itself: the module went away or the disk refused
    // the file. `reason` is empty when the module went away.
    void stoppedByItself(const QString &reason);

private:
    uint32_t interfaceFor(int linkMode);
    void failWrite();
    void detach();
    // The settings that change what LinkSettingsText says, compared on every
    // chunk (a few integers) so a reopen with other values gets a note.
    struct SettingsKey {
        int mode = -1, id = 0, port = 0, baud = 0, bits = 0, parity = 0, stop = 0, flow = 0, server = 0, lport = 0, rport = 0;
        QString address;
        bool operator==(const SettingsKey &) const = default;
    };
    SettingsKey keyOf(int linkMode) const;

    QPointer<CommModule> module_;
    CaptureFile file_;
    QString error_;
    QTimer flushTimer_;
    std::array<int, 4> interfaces_{{-1, -1, -1, -1}};   // interface id per link kind (3: any other mode)
    SettingsKey lastKey_;
    qint64 packets_ = 0;
    qint64 bytes_[2] = {0, 0};
    bool writeFailed_ = false;
    std::function<uint64_t()> clock_;
};

} // namespace kx9
