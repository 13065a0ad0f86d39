#include "comm_module.h"

#include "link_channel.h"
#include "link_tap.h"
#include "log_target.h"
#include "main_state.h"
#include "serial_channel.h"
#include "serial_ports.h"
#include "tag_list.h"
#include "tcp_channel.h"
#include "tick_timer.h"
#include "usb_channel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cstring>

namespace kx9 {

namespace {
// A partial frame is dropped after this many empty polls of the default
// 100 ms period; a faster poll counts more of them, so the time stays 10 s.
constexpr int kIdlePolls = 100;
constexpr int kDefaultPollMs = 100;
constexpr int kMinPollMs = 5;
constexpr uint32_t kReplyWaitMs = 2000;
constexpr uint32_t kConnectWaitMs = 5000;
// How often a wait wakes up to look at the clock when nothing else happens.
constexpr int kWaitWakeMs = 10;

const QString kFormatError = QStringLiteral("レスポンスフォーマットエラー");
const QString kReplyTimeout = QStringLiteral("レスポンス待ち　タイムオーバー");

enum ReplyState {
    StateNone = 0, StateRouted = 1, StateAck = 2, StateText = 3, StateUidData = 4,
    StateUidList = 5, StateNack = 6, StateUid = 7, StateReadLoop = 8, StateGate = 9
};
} // namespace

struct CommModule::Private : LinkHost {
    explicit Private(CommModule &m) : module(m) {}

    void channelReceived(const uint8_t *bytes, int n) override { module.RingPut(bytes, n); }
    void channelLog(const QString &line) override { module.CommLog(line); }
    void channelConnected(bool up) override { module.setConnected(up); }
    int channelRoom() const override { return module.ringRoom(); }
    int channelReadInto(int n, const std::function<int(uint8_t *, int)> &read) override
    {
        return module.ringFill(n, read);
    }
    void channelOpenFailed(const QString &message, const QString &reason) override
    {
        emit module.linkOpenFailed(message, reason);
    }

    CommModule &module;
    std::unique_ptr<LinkChannel> channel;

    uint8_t ring[kRingSize] = {};
    uint8_t rxFrame[kRxFrameSize] = {};
    int frameCount = 0;
    int frameEnd = 0;
    int rxFrameValid = 0;        // bytes of rxFrame that hold the current/last frame
    int idleCount = 0;
    int headSnapshot = 0;
    bool draining = false;

    // Copies of the last ACK/NACK and the last gate report, STX through CR.
    uint8_t lastReply[kRxFrameSize] = {};
    int lastReplySize = 0;
    uint8_t lastGateReply[kRxFrameSize] = {};
    int lastGateReplySize = 0;

    // Copies the frame just assembled into one of the kept-reply buffers.
    void keepFrame(uint8_t *dst, int &size) const
    {
        std::memcpy(dst, rxFrame, size_t(rxFrameValid));
        size = rxFrameValid;
    }

    std::array<FrameDecoder, 256> ackDecoders;
    FrameDecoder nackDecoder;
    TextDecoder textDecoder;
    UidDataDecoder uidDataDecoder;
};

CommModule::CommModule(const LinkConfig &config, const QString &iniPath, AppOptions &options,
                       MainState &state, LogTarget *logPane, QObject *parent)
    : QObject(parent), config_(config), d_(std::make_unique<Private>(*this)), iniPath_(iniPath),
      options_(options), state_(state)
{
    setObjectName(QStringLiteral("TTComXDlg"));
    // 1. link mode, log pane, no command sent yet, no reply.
    linkMode_ = config.LinkMode;
    logTarget_ = logPane;
    lastCommandCode_ = 0;
    responseWaitState_ = StateNone;
    // 2. the ComDebug section.
    LoadComDebug(iniPath_, comDebug_);
    logRx_ = comDebug_.fDispRecInfo;
    logTx_ = comDebug_.fDispTxInfo;
    // 3. the start-up choice of port and speed overrides the saved ones.
    comDebug_.Port = uint8_t(config.ComPort);
    comDebug_.BaudRate = config.ComSpeed == 1 ? 9600 : config.ComSpeed == 2 ? 38400 : 19200;
    // 4. TCP values are kept in config_; no connection yet.
    connected_ = 0;
    // 5. the tag list.
    tagList_ = std::make_unique<TagList>(comDebug_.MAX_REC_NO);
    tagList_->setOptions(&options_);

    if (linkMode_ == 2)
        makeTcpChannel();
    if (linkMode_ == 0)
        makeSerialChannel();
    // The USB (1) channel is made by Open(): constructing it opens the reader.
}

void CommModule::makeSerialChannel()
{
    // COM numbers are looked up in the option file at every open, so a
    // mapping written while the tool runs is used by the next reopen.
    const QString ini = iniPath_;
    d_->channel = std::make_unique<SerialChannel>(*d_, comDebug_, [ini](int n) { return ResolveComPort(n, ini); });
}

void CommModule::makeTcpChannel()
{
    if (config_.TcpServerMode != 0)
        d_->channel = std::make_unique<TcpServerChannel>(*d_, config_.TcpListenPort);
    else
        d_->channel = std::make_unique<TcpClientChannel>(*d_, config_.TcpRemoteAddress, config_.TcpRemotePort);
}

void CommModule::SetTcpValues(int serverMode, int listenPort, int remotePort, const QString &remoteAddress)
{
    config_.TcpServerMode = serverMode;
    config_.TcpListenPort = listenPort;
    config_.TcpRemotePort = remotePort;
    config_.TcpRemoteAddress = remoteAddress;
    if (linkMode_ != 2)
        return;
    // The channel holds its role and peer from creation: a new one takes the
    // values, the old one is closed so nothing of it fires afterwards.
    LinkClose();
    makeTcpChannel();
}

CommModule::~CommModule()
{
    // The channel's own destructor drops its sockets without raising events.
    d_->channel.reset();
}

void CommModule::Open()
{
    if (linkMode_ == 1)
        openUsb();
    else
        openLink();
}

void CommModule::openUsb()
{
    std::function<void(const QString &)> log = appLog_;
    if (!log)
        log = [this](const QString &line) { CommLog(line); };
    d_->channel = std::make_unique<UsbChannel>(*d_, MakeUsbTransfer(iniPath_), log);
    const QPointer<UsbChannel> usb = UsbLink();
    if (usb->usb().Opened())
        return;
    const QString reason = usb->usb().PermissionDenied() ? TSPTUsbC1::PermissionHint() : QString();
    // The message box and the dialog run event loops: the module may be gone
    // (the window closed) when they return.
    const QPointer<CommModule> self(this);
    emit linkOpenFailed(QStringLiteral("NG : TSPTUsbC1"), reason);
    if (!self || !usb)
        return;
    usb->usb().UsbClose();
    const UsbPortCheckChoice choice = usbPortCheck_ ? usbPortCheck_(reason) : UsbPortCheckChoice::Cancel;
    if (!self || !usb)
        return;
    switch (choice) {
    case UsbPortCheckChoice::Retry:
        if (!usb->usb().UsbOpen())
            toolEndRequested_ = true;
        break;
    case UsbPortCheckChoice::ComPort:
        // The serial link on ComPort takes over for the rest of the run.
        linkMode_ = 0;
        LinkReopen();
        break;
    case UsbPortCheckChoice::Cancel:
        toolEndRequested_ = true;
        break;
    }
}

UsbChannel *CommModule::UsbLink() const
{
    return dynamic_cast<UsbChannel *>(d_->channel.get());
}

void CommModule::openLink()
{
    // USB is opened once, by Open(); a reopen leaves it as it is.
    if (linkMode_ == 1)
        return;
    // A link that falls back to serial (LinkMode set to 0 after creation)
    // gets its port here.
    if (linkMode_ == 0 && !dynamic_cast<SerialChannel *>(d_->channel.get()))
        makeSerialChannel();
    if (!d_->channel)
        return;
    d_->channel->open();
    if (d_->channel->needsConnectWait())
        ConnectWait();
}

void CommModule::Close()
{
    if (closed_)
        return;
    closed_ = true;
    SaveComDebug(iniPath_, comDebug_);
    if (UsbLink()) {
        // Destroying the channel closes the pipes and the device; the device
        // is given a moment before anything may open it again.
        d_->channel.reset();
        QThread::msleep(kUsbClosePauseMs);
    }
    LinkClose();
}

// ---------------------------------------------------------------- link

int CommModule::LinkSend(const uint8_t *bytes, int count)
{
    if (!d_->channel || !bytes || count <= 0)
        return 0;
    if (linkMode_ == 2 && !connected_)
        return 0;
    const int sent = d_->channel->send(bytes, count);
    if (linkTap_ && sent > 0)
        linkTap_->linkBytes(LinkDirection::Sent, linkMode_, bytes, std::min(sent, count));
    return sent;
}

void CommModule::LinkClose()
{
    // A listening server or a client still connecting is closed too, not only
    // an established connection: otherwise a reopen would listen twice or race
    // a pending connect.
    if (d_->channel)
        d_->channel->close();
    setConnected(false);
}

bool CommModule::IsLinkOpen() const
{
    // TCP/IP: the Connected flag; every other mode asks the serial port.
    if (linkMode_ == 2)
        return connected_ != 0;
    const TCommX *port = SerialPort();
    return port && port->IsOpen();
}

TCommX *CommModule::SerialPort() const
{
    auto *serial = dynamic_cast<SerialChannel *>(d_->channel.get());
    return serial ? &serial->port() : nullptr;
}

void CommModule::SetSerialBitRate(int bitsPerSecond)
{
    comDebug_.BaudRate = bitsPerSecond;
    TCommX *port = SerialPort();
    if (!port)
        return;
    try {
        port->SetBitRate(bitsPerSecond);
    } catch (const ECommError &) {
        // The port keeps its old rate; the reopen that follows a speed change
        // reports the failure to the operator.
    }
}

void CommModule::SerialParamDialog(const SerialParamEditor &edit)
{
    // 1. The line is not touched while the operator edits it.
    if (auto *serial = dynamic_cast<SerialChannel *>(d_->channel.get()))
        serial->close();
    setConnected(false);
    // 2. An unset rate starts the dialog at 9600.
    if (comDebug_.BaudRate == -1)
        comDebug_.BaudRate = 9600;
    SerialLineParams p;
    p.BitRate = comDebug_.BaudRate;
    p.CharSize = comDebug_.ByteSize;
    p.Parity = comDebug_.ParityBits;
    p.StopBits = comDebug_.StopBits;
    p.Flow = comDebug_.FlowCont;
    if (edit && edit(p, comDebug_.Port)) {
        comDebug_.BaudRate = p.BitRate;
        comDebug_.ByteSize = p.CharSize;
        comDebug_.ParityBits = uint8_t(p.Parity);
        comDebug_.StopBits = uint8_t(p.StopBits);
        comDebug_.FlowCont = p.Flow;
        CommLog(QStringLiteral("設定OK"));
        SaveComDebug(iniPath_, comDebug_);
    }
    LinkReopen();
}

int CommModule::RxPollMs() const
{
    return qBound(kMinPollMs, comDebug_.RxPollMs, kDefaultPollMs);
}

void CommModule::LinkReopen()
{
    LinkClose();
    rxHead_ = 0;
    rxTail_ = 0;
    d_->headSnapshot = 0;
    d_->idleCount = 0;
    inFrame_ = 0;
    openLink();
}

void CommModule::LinkReopenOnPort(int port)
{
    comDebug_.Port = uint8_t(port);
    LinkReopen();
}

void CommModule::setConnected(bool up)
{
    const int v = up ? 1 : 0;
    const bool changed = v != connected_;
    connected_ = v;
    if (changed)
        emit connectedChanged(up);
}

quint16 CommModule::ListeningPort() const
{
    auto *server = dynamic_cast<TcpServerChannel *>(d_->channel.get());
    return server ? server->listeningPort() : 0;
}

int CommModule::ringRoom() const
{
    const int unread = (rxHead_ - rxTail_ + kRingSize) % kRingSize;
    // One place stays empty: a full ring would look like an empty one.
    return kRingSize - 1 - unread;
}

int CommModule::ringFill(int n, const std::function<int(uint8_t *dst, int max)> &read)
{
    // The same placement as RingPut, with the link writing into the ring
    // itself: up to the end of the ring first, the rest from its start.
    if (n <= 0)
        return 0;
    n = std::min(n, int(kRingSize));
    const int first = std::min(n, kRingSize - rxHead_);
    const int got = read(d_->ring + rxHead_, first);
    if (got <= 0)
        return 0;
    if (linkTap_)
        linkTap_->linkBytes(LinkDirection::Received, linkMode_, d_->ring + rxHead_, std::min(got, first));
    rxHead_ += std::min(got, first);
    int put = std::min(got, first);
    if (rxHead_ >= kRingSize)
        rxHead_ = 0;
    if (put == first && n > first) {
        const int more = read(d_->ring + rxHead_, n - first);
        if (more > 0) {
            if (linkTap_)
                linkTap_->linkBytes(LinkDirection::Received, linkMode_, d_->ring + rxHead_, std::min(more, n - first));
            rxHead_ += std::min(more, n - first);
            put += std::min(more, n - first);
        }
    }
    return put;
}

const uint8_t *CommModule::RxRing() const
{
    return d_->ring;
}

void CommModule::RingPut(const uint8_t *bytes, int n)
{
    if (!bytes || n <= 0)
        return;
    // The tap sees the delivery whole, even what an overrun will overwrite.
    if (linkTap_)
        linkTap_->linkBytes(LinkDirection::Received, linkMode_, bytes, n);
    // A delivery is never larger than the ring (at most 1024 bytes per read);
    // a larger one keeps only its last kRingSize bytes rather than writing past.
    if (n > kRingSize) {
        bytes += n - kRingSize;
        n = kRingSize;
    }
    if (rxHead_ + n <= kRingSize) {
        std::memcpy(d_->ring + rxHead_, bytes, size_t(n));
        rxHead_ += n;
    } else {
        const int first = kRingSize - rxHead_;
        std::memcpy(d_->ring + rxHead_, bytes, size_t(first));
        std::memcpy(d_->ring, bytes + first, size_t(n - first));
        rxHead_ = n - first;
    }
    if (rxHead_ >= kRingSize)
        rxHead_ = 0;
}

// ---------------------------------------------------------------- logging

void CommModule::CommLog(const QString &text)
{
    if (!logTarget_)
        return;
    if (logTarget_->lineCount() >= 250)
        logTarget_->clearLog();
    logTarget_->appendLine(text);
}

// ---------------------------------------------------------------- sending

bool CommModule::SendCommand(const QString &label, uint8_t command, const QByteArray &data, int id)
{
    const uint8_t readerId = id < 0 ? comDebug_.IDNo : uint8_t(id);
    const std::optional<QByteArray> frame = BuildFrame(readerId, command, data);
    if (!frame) {
        // LEN is one byte: such a command cannot be framed at all.
        CommLog(label + QStringLiteral("DATA が 255 バイトを超えるため送信しません（%1 バイト）")
                            .arg(data.size()));
        return false;
    }
    lastCommandCode_ = command;
    if (logTx_) {
        CommLog(label);
        CommLog(FormatHexBytes(*frame));
    }
    responseWaitState_ = StateNone;
    return LinkSend(*frame) != 0;
}

// ---------------------------------------------------------------- receiver

void CommModule::DrainReceiver()
{
    // A decoder that processes events must not start a second drain inside
    // this one; the next timer tick picks up whatever it left.
    if (d_->draining)
        return;
    d_->draining = true;
    if (d_->channel)
        d_->channel->poll();

    d_->headSnapshot = rxHead_;
    int available = 0;
    if (d_->headSnapshot > rxTail_)
        available = d_->headSnapshot - rxTail_;
    else if (d_->headSnapshot < rxTail_)
        available = kRingSize - rxTail_ + d_->headSnapshot;

    if (available == 0) {
        if (d_->idleCount > 0)
            --d_->idleCount;
        else
            inFrame_ = 0;
        d_->draining = false;
        return;
    }

    d_->idleCount = (kIdlePolls * kDefaultPollMs + RxPollMs() - 1) / RxPollMs();
    const bool logRx = logRx_ != 0;   // one decision for the whole drain
    QString line;
    if (logRx) {
        line.reserve(3 + available * 3);
        line = QStringLiteral("RX:");
    }
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < available; ++i) {
        const uint8_t c = d_->ring[rxTail_];
        rxTail_ = rxTail_ + 1 == kRingSize ? 0 : rxTail_ + 1;
        if (logRx) {
            line += QLatin1Char(digits[c >> 4]);
            line += QLatin1Char(digits[c & 0x0F]);
            line += QLatin1Char(' ');
        }
        feedAssembler(c);
    }
    if (logRx)
        CommLog(line);
    d_->draining = false;
}

void CommModule::feedAssembler(uint8_t c)
{
    Private &p = *d_;
    if (!inFrame_) {
        if (c == STX) {
            inFrame_ = 1;
            p.rxFrame[0] = c;
            p.frameCount = 1;
            p.frameEnd = 7;
            p.rxFrameValid = 1;
        }
        return;
    }
    if (p.frameCount == 3) {
        p.rxFrame[3] = c;
        p.frameCount = 4;
        p.frameEnd = c + 6;
        p.rxFrameValid = 4;
        return;
    }
    if (p.frameCount == p.frameEnd) {
        inFrame_ = 0;
        if (c == CR) {
            p.rxFrame[p.frameEnd] = c;
            p.rxFrameValid = p.frameEnd + 1;
            replyId_ = p.rxFrame[1];
            if (p.rxFrame[p.frameEnd - 1] == FrameChecksum(p.rxFrame, size_t(p.rxFrameValid))
                && p.rxFrame[p.frameEnd - 2] == ETX)
                RouteReply();
            else
                CommLog(QStringLiteral("SUM EEROR"));
        } else {
            CommLog(QStringLiteral("ERROR： NO CR_CODE"));
            // The byte that stood where the CR belonged may be the next
            // frame's STX: a reply that lost its CR must not take the next
            // reply down with it.
            if (c == STX)
                feedAssembler(c);
        }
        return;
    }
    // frameCount < frameEnd <= 261 here, inside the 272-byte buffer.
    p.rxFrame[p.frameCount++] = c;
    p.rxFrameValid = p.frameCount;
}

FrameView CommModule::RxFrame() const
{
    return FrameView(d_->rxFrame, d_->rxFrameValid);
}

FrameView CommModule::LastReply() const
{
    return FrameView(d_->lastReply, d_->lastReplySize);
}

FrameView CommModule::LastGateReply() const
{
    return FrameView(d_->lastGateReply, d_->lastGateReplySize);
}

void CommModule::routeUidReport(char kind, const FrameView &f, int uidOffset, int uidSize)
{
    // A report too short for its identifier is not decoded at all: taking the
    // missing bytes would invent an identifier.
    if (f.dataSize() < uidOffset + uidSize) {
        CommLog(kFormatError);
        return;
    }
    const QByteArray uid = f.dataBytes(uidOffset, uidSize);
    if (uidSize == 8)
        std::memcpy(state_.CurrentUid, uid.constData(), 8);
    else
        std::memcpy(state_.CurrentSid, uid.constData(), 4);
    if (kind == 'I') {
        CommLog(QStringLiteral("UID: ") + FormatHexBytes(uid));
        return;
    }
    if (d_->uidDataDecoder)
        d_->uidDataDecoder(kind, uid, f.dataBytes(uidOffset + uidSize));
}

void CommModule::RouteReply()
{
    Private &p = *d_;
    const FrameView f(p.rxFrame, p.rxFrameValid);
    responseWaitState_ = StateRouted;
    switch (f.kind()) {
    case '0':
        responseWaitState_ = StateAck;
        p.keepFrame(p.lastReply, p.lastReplySize);
        if (const FrameDecoder &dec = p.ackDecoders[lastCommandCode_])
            dec(LastReply());
        break;
    case 'D': {
        responseWaitState_ = StateText;
        QByteArray text = f.dataBytes();
        if (options_.tagItMode()) {
            const qsizetype zero = text.indexOf('\0');
            if (zero >= 0)
                text.truncate(zero);
        }
        if (p.textDecoder)
            p.textDecoder(text);
        break;
    }
    case 'd':
        responseWaitState_ = StateUidData;
        routeUidReport('d', f, 0, options_.tagItMode() ? 4 : 8);
        break;
    case 'i': {
        responseWaitState_ = StateUidList;
        // Only the identifiers that lie wholly inside DATA are taken, whatever
        // the count byte claims.
        const int announced = f.data(0);
        for (int k = 0; k < announced; ++k) {
            const int at = 3 + 8 * k;
            if (at + 8 > f.dataSize())
                break;
            const QByteArray uid = f.dataBytes(at, 8);
            std::memcpy(state_.CurrentUid, uid.constData(), 8);
            if (p.uidDataDecoder)
                p.uidDataDecoder('i', uid, QByteArray());
        }
        break;
    }
    case '1':
        responseWaitState_ = StateNack;
        p.keepFrame(p.lastReply, p.lastReplySize);
        if (p.nackDecoder)
            p.nackDecoder(LastReply());
        break;
    case 'I':
        responseWaitState_ = StateUid;
        routeUidReport('I', f, 1, 8);
        break;
    case 'L':
        responseWaitState_ = StateReadLoop;
        routeUidReport('L', f, 0, 8);
        break;
    case 'G': {
        p.keepFrame(p.lastGateReply, p.lastGateReplySize);
        responseWaitState_ = StateGate;
        const int sub = f.data(0);
        if ((sub == 0x80 || sub == 0x81) && f.len() >= 13 && f.dataSize() == f.len())
            emit gateCountReport(sub == 0x80 ? 10 : 11, f.len(), f.dataBytes(1, f.len() - 1));
        break;
    }
    default:
        CommLog(kFormatError);
        break;
    }
}

void CommModule::SetAckDecoder(uint8_t commandCode, FrameDecoder decoder)
{
    d_->ackDecoders[commandCode] = std::move(decoder);
}

void CommModule::SetNackDecoder(FrameDecoder decoder)
{
    d_->nackDecoder = std::move(decoder);
}

void CommModule::SetTextReportDecoder(TextDecoder decoder)
{
    d_->textDecoder = std::move(decoder);
}

void CommModule::SetUidDataDecoder(UidDataDecoder decoder)
{
    d_->uidDataDecoder = std::move(decoder);
}

// ---------------------------------------------------------------- waits

CommModule::WaitResult CommModule::waitUntil(uint32_t ms, const std::function<bool()> &done)
{
    TickTimer &timer = TickTimer::instance();
    timer.Start();
    // Events run inside the wait, so the module may be destroyed by one of
    // them (the window closed): then the wait ends without touching it again.
    const QPointer<CommModule> self(this);
    ++waitDepth_;
    struct DepthGuard {
        QPointer<CommModule> m;
        ~DepthGuard() { if (m) --m->waitDepth_; }
    } depthGuard{self};
    // The wake-up timer only bounds how long the loop may sleep in the event
    // dispatcher, so the clock is looked at even when no event arrives.
    QTimer wake;
    wake.start(kWaitWakeMs);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!self)
            return WaitResult::Destroyed;
        if (done())
            return WaitResult::Done;
        if (timer.Expired(ms))
            return WaitResult::Expired;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (!self)
            return WaitResult::Destroyed;
    }
}

bool CommModule::ConnectWait()
{
    const WaitResult r = waitUntil(kConnectWaitMs, [this] { return connected_ != 0; });
    if (r == WaitResult::Expired)
        CommLog(QStringLiteral("コネクト待ち　タイムオーバー"));
    return r == WaitResult::Done;
}

bool CommModule::WaitAnyReply()
{
    const WaitResult r = waitUntil(kReplyWaitMs, [this] { return responseWaitState_ != StateNone; });
    if (r == WaitResult::Expired)
        CommLog(kReplyTimeout);
    return r == WaitResult::Done;
}

bool CommModule::WaitAck()
{
    const WaitResult r = waitUntil(kReplyWaitMs, [this] { return responseWaitState_ != StateNone; });
    if (r == WaitResult::Expired)
        CommLog(kReplyTimeout);
    if (r != WaitResult::Done)
        return false;
    // Decided by the frame that ended the wait.
    if (responseWaitState_ == StateAck)
        return true;
    if (responseWaitState_ == StateNack)
        CommLog(QStringLiteral("NACK 受信"));
    return false;
}

bool CommModule::WaitReplyState(int state)
{
    const WaitResult r = waitUntil(kReplyWaitMs, [this, state] { return responseWaitState_ == state; });
    if (r == WaitResult::Expired)
        CommLog(kReplyTimeout);
    return r == WaitResult::Done;
}

} // namespace kx9
