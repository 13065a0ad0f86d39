#pragma once
// The Telnet link to a LAN module's console: a TCP socket with the Telnet
// protocol handled by libtelnet (terminal type "dumb", every option we do not
// support refused), a fixed receive buffer the console's answers collect in,
// and the prompt-based exchange the module speaks: the answer to a line
// follows the module's echo of it as ">" + text + CR LF.
//
// It is a hidden form of its own; it lives only inside one operation, which
// opens it at its start and destroys it (disconnecting) at its end. Its log
// lines go to the main window's log pane through its own writer.
#include <QByteArray>
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QTcpSocket;
struct telnet_t;
union telnet_event_t;

namespace kx9 {

class LogTarget;

class TTelNetCont1Dlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBufferSize = 16000;
    static constexpr quint16 kConsolePort = 23;
    static constexpr uint32_t kWaitMs = 2000;
    static constexpr const char *kPassword = "QZV";

    explicit TTelNetCont1Dlg(QWidget *parent = nullptr);
    ~TTelNetCont1Dlg() override;

    // Connects to the console at `address` (port 23) and logs in: waits up to
    // 2000 ms for "PASSWORD:" and answers it with the module password. `logRx`
    // is the copy of the receive-logging switch that governs the "TX:" and the
    // receive lines. True when the password went out.
    bool TelnetOpen(LogTarget *logPane, int logRx, const QString &address);
    // Disconnects if connected.
    void TelnetClose();
    // Receive count = 0.
    void TelnetClear();
    // Sends the text character by character; a character that cannot be sent
    // drops the rest. CR LF goes out as the protocol's end of line, a CR on
    // its own as CR NUL.
    bool TelnetSend(const QByteArray &text);
    // Waits up to 2000 ms for the first '>' at or after `from` and for as many
    // bytes from it as `expected` has; true when they equal `expected`.
    bool TelnetWaitFor(int from, const QByteArray &expected);
    // The text after the first '>' up to the next CR, within 2000 ms.
    bool TelnetReadValue();
    // As TelnetReadValue, once at least `minCount` bytes are in, for a '>'
    // followed by '0'; the value starts at that '0'.
    bool TelnetReadMac(int minCount);
    // TelnetClear, TelnetSend(text), TelnetWaitFor(length of text, expected).
    bool TelnetCommand(const QByteArray &text, const QByteArray &expected);
    // TelnetClear, TelnetSend(key + CR LF), TelnetReadValue.
    bool TelnetQuery(const QByteArray &key);

    // Processes window messages for `ms` on the link's own timer.
    void Pause(uint32_t ms);

    // How long a wait sleeps between two looks at the clock when nothing
    // arrives (10 ms). A harness whose clock jumps ahead sets 0, so a wait
    // that can no longer be answered ends at once instead of sleeping.
    static void setIdleSliceMs(int ms);

    QString valueText() const { return value_; }
    bool isConnected() const;
    // The bytes in the receive buffer (count of them).
    QByteArray received() const { return QByteArray(buffer_, count_); }
    QString address() const { return address_; }

signals:
    // The console connection went down (the module hung up, or we closed it).
    void disconnected();

private:
    static void onTelnetEvent(telnet_t *telnet, telnet_event_t *event, void *user);
    void onReadyRead();
    void log(const QString &line);
    void writeRaw(const char *bytes, int size);
    // Processes messages until `done` holds (true) or `ms` pass on the link's
    // own timer (false, after the time-out line).
    bool waitUntil(uint32_t ms, const std::function<bool()> &done, bool logTimeout = true);
    int indexOf(char c, int from) const;

    QTcpSocket *TelnetClient1 = nullptr;
    telnet_t *telnet_ = nullptr;
    LogTarget *logPane_ = nullptr;
    int logSwitch_ = 0;
    QString address_;
    char buffer_[kBufferSize] = {};
    int count_ = 0;
    QByteArray chunk_;          // data of the packet being received
    QString value_;
    bool sendFailed_ = false;
    uint32_t start_ = 0;        // the link's own tick-count timer
};

} // namespace kx9
