#pragma once
// The communication module's core: the link channel, the receive ring, the
// frame assembler, the reply router and the reply waits. The command
// operations and the decoders are added on top of this by TTComXDlg
// (commands folder), which fills the router's decoder table.
#include "frame.h"
#include "options.h"
#include "serial_params.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace kx9 {

class LinkTap;
class LogTarget;
class TagList;
class TCommX;
class UsbChannel;
struct MainState;

// The operator's answer in the USB port check dialog.
enum class UsbPortCheckChoice { Retry, ComPort, Cancel };

// What the creator passes in (start-up or the serial opening dialog).
struct LinkConfig {
    int LinkMode = 0;             // 0 serial, 1 USB, 2 TCP/IP
    int ComPort = 1;
    int ComSpeed = 0;
    int TcpServerMode = 1;
    int TcpListenPort = 3335;
    int TcpRemotePort = 10777;
    QString TcpRemoteAddress;
};

class CommModule : public QObject {
    Q_OBJECT
public:
    static constexpr int kRingSize = 16384;
    static constexpr int kRxFrameSize = 272;

    // Creation steps 1-5 (options, ComDebug, tag list). `Open()` is step 6.
    CommModule(const LinkConfig &config, const QString &iniPath, AppOptions &options,
               MainState &state, LogTarget *logPane, QObject *parent = nullptr);
    ~CommModule() override;

    // Opens the link (a client connect runs the 5000 ms connect wait here).
    // On USB a reader that does not open is reported (linkOpenFailed with
    // "NG : TSPTUsbC1") and the port check decides: one more try, the serial
    // port instead, or the end of the tool (ToolEndRequested).
    void Open();
    // Closing when the main window closes: SaveComDebug, then the link.
    void Close();

    // ---- link
    int LinkSend(const uint8_t *bytes, int count);
    int LinkSend(const QByteArray &bytes) { return LinkSend(reinterpret_cast<const uint8_t *>(bytes.constData()), int(bytes.size())); }
    void LinkClose();
    bool IsLinkOpen() const;
    void LinkReopen();
    void LinkReopenOnPort(int port);
    // TCP/IP: the role, ports and remote address the next reopen uses (the
    // LAN connection dialog). An open connection is closed first.
    void SetTcpValues(int serverMode, int listenPort, int remotePort, const QString &remoteAddress);
    void RingPut(const uint8_t *bytes, int n);
    // The observer of the link's traffic (the frame capture): every chunk
    // LinkSend handed to the link and every chunk the link delivered into the
    // ring, whatever the log switches say. nullptr: none.
    void SetLinkTap(LinkTap *tap) { linkTap_ = tap; }
    LinkTap *linkTap() const { return linkTap_; }

    // ---- serial link
    // The port number and bit rate the next serial open uses.
    int SerialPortNo() const { return comDebug_.Port; }
    int SerialBitRate() const { return comDebug_.BaudRate; }
    // Sets the bit rate; an open port takes it at once (a refusal is left to
    // the reopen that follows it).
    void SetSerialBitRate(int bitsPerSecond);
    // The port component CommX1; nullptr when the link is not serial.
    TCommX *SerialPort() const;
    // Edits the serial line values: closes the port, lets `edit` change the
    // values (the dialog; true when confirmed), logs "設定OK" and saves the
    // ComDebug section when confirmed, and reopens the port in every case.
    using SerialParamEditor = std::function<bool(SerialLineParams &params, int portNo)>;
    void SerialParamDialog(const SerialParamEditor &edit);

    // ---- USB link
    // The main window's own log writer (AppLog): the USB opening lines go
    // there. Without one they go through CommLog.
    void SetAppLog(std::function<void(const QString &)> appLog) { appLog_ = std::move(appLog); }
    // Asks the operator what to do when the USB link did not open; `reason`
    // names a permission problem (empty otherwise). Without one: Cancel.
    void SetUsbPortCheck(std::function<UsbPortCheckChoice(const QString &reason)> ask) { usbPortCheck_ = std::move(ask); }
    // The operator ended the tool at the USB port check (キャンセル, or a
    // retry that failed too): the creator closes the main window.
    bool ToolEndRequested() const { return toolEndRequested_; }
    // The USB channel; nullptr when the link is not USB.
    UsbChannel *UsbLink() const;
    static constexpr int kUsbClosePauseMs = 50;

    // ---- logging
    void CommLog(const QString &text);
    void setLogTarget(LogTarget *target) { logTarget_ = target; }
    LogTarget *logTarget() const { return logTarget_; }

    // ---- framing and sending: the six steps every command operation performs.
    // `id` < 0 uses the reader ID from IDNo. Returns false when nothing was sent
    // (DATA longer than 255 bytes is refused with a log line; link closed).
    bool SendCommand(const QString &label, uint8_t command, const QByteArray &data, int id = -1);

    // ---- receiver and waits
    void DrainReceiver();
    bool WaitAnyReply();
    bool WaitAck();
    bool WaitReplyState(int state);
    // The receive poll period (ComDebug RxPollMs, held to 5-100 ms) the
    // main window's Timer1 runs at.
    int RxPollMs() const;
    // The reply state back to "nothing received", as every command does before
    // it sends; for bytes sent with LinkSend alone (the raw command sender).
    void ClearReplyState() { responseWaitState_ = 0; }
    // A wait (reply or connect) of this module is running somewhere up the stack.
    bool InWait() const { return waitDepth_ > 0; }

    // ---- decoder table the router calls (filled by TTComXDlg)
    using FrameDecoder = std::function<void(const FrameView &frame)>;
    using TextDecoder = std::function<void(const QByteArray &text)>;
    // kind is 'd', 'i' or 'L'; uid is the identifier as it arrived (8 bytes, or 4 in Tag-it mode for 'd').
    using UidDataDecoder = std::function<void(char kind, const QByteArray &uid, const QByteArray &data)>;
    void SetAckDecoder(uint8_t commandCode, FrameDecoder decoder);
    void SetNackDecoder(FrameDecoder decoder);
    void SetTextReportDecoder(TextDecoder decoder);
    void SetUidDataDecoder(UidDataDecoder decoder);

    // ---- state other folders read
    int LinkMode() const { return linkMode_; }
    bool Connected() const { return connected_ != 0; }
    uint8_t ReaderId() const { return comDebug_.IDNo; }
    uint8_t LastCommandCode() const { return lastCommandCode_; }
    void setLastCommandCode(uint8_t code) { lastCommandCode_ = code; }
    int ResponseWaitState() const { return responseWaitState_; }
    uint8_t ReplyId() const { return replyId_; }
    FrameView LastReply() const;        // last ACK/NACK, STX..CR
    FrameView LastGateReply() const;    // last 'G' report
    FrameView RxFrame() const;          // frame in the reassembly buffer
    int LogRx() const { return logRx_; }
    int LogTx() const { return logTx_; }
    void setLogRx(int on) { logRx_ = on; }
    void setLogTx(int on) { logTx_ = on; }
    ComDebugOptions &comDebug() { return comDebug_; }
    const QString &iniPath() const { return iniPath_; }
    AppOptions &options() { return options_; }
    MainState &state() { return state_; }
    TagList &tagList() { return *tagList_; }
    int RxHead() const { return rxHead_; }
    int RxTail() const { return rxTail_; }
    bool InFrame() const { return inFrame_ != 0; }
    const uint8_t *RxRing() const;      // the 16384-byte receive ring
    // TCP server: the port actually listened on (useful with TcpListenPort 0); 0 when not listening.
    quint16 ListeningPort() const;
    const LinkConfig &linkConfig() const { return config_; }

signals:
    // A connection came up or went down (TCP/IP) or the serial port opened/closed.
    void connectedChanged(bool connected);
    // A gate count report: tag 10 (sub-kind 0x80) or 11 (0x81), LEN and the LEN-1 bytes after DATA[0].
    void gateCountReport(int tag, int len, const QByteArray &bytes);
    // The link could not be opened: `message` is the text of the operator's
    // message box (serial: "COMnがオープン出来ません!!..."), `reason` what
    // the system said (may be empty). Emitted inside Open/LinkReopen, before
    // they return; the receiver shows the box there.
    void linkOpenFailed(const QString &message, const QString &reason);

protected:
    void RouteReply();

private:
    struct Private;
    friend struct Private;
    void openLink();
    void makeSerialChannel();
    void makeTcpChannel();
    void openUsb();
    bool ConnectWait();
    // Processes events (user input included) until `done` or `ms` on the
    // program-wide TickTimer; sleeps in the event loop between passes.
    enum class WaitResult { Done, Expired, Destroyed };
    WaitResult waitUntil(uint32_t ms, const std::function<bool()> &done);
    void feedAssembler(uint8_t c);
    void routeUidReport(char kind, const FrameView &f, int uidOffset, int uidSize);
    void setConnected(bool up);
    int ringRoom() const;
    int ringFill(int n, const std::function<int(uint8_t *dst, int max)> &read);

    LinkConfig config_;
    bool closed_ = false;
    std::unique_ptr<Private> d_;
    int linkMode_ = 0;
    int connected_ = 0;
    uint8_t lastCommandCode_ = 0;
    int responseWaitState_ = 0;
    uint8_t replyId_ = 0;
    int logRx_ = 1, logTx_ = 1;
    int rxHead_ = 0, rxTail_ = 0;
    int inFrame_ = 0;
    int waitDepth_ = 0;
    ComDebugOptions comDebug_;
    QString iniPath_;
    AppOptions &options_;
    MainState &state_;
    LogTarget *logTarget_ = nullptr;
    LinkTap *linkTap_ = nullptr;
    std::unique_ptr<TagList> tagList_;
    std::function<void(const QString &)> appLog_;
    std::function<UsbPortCheckChoice(const QString &)> usbPortCheck_;
    bool toolEndRequested_ = false;
};

} // namespace kx9
