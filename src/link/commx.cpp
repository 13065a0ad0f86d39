#include "commx.h"

#include "serial_ports.h"
#include "termios_backend.h"

#include <QCoreApplication>
#include <QPointer>
#include <chrono>
#include <cstring>
#include <system_error>

namespace kx9 {

namespace {

const char kAlreadyOpen[] = "ポートは、すでにオープンされています";
const char kOpenFailed[] = "ポートをオープンできませんでした";
const char kBufferFailed[] = "通信用ポートのバッファを準備できませんでした";
const char kBitRateFailed[] = "通信速度の設定でエラーが発生しました";
const char kCharSizeFailed[] = "通信ビット数の設定でエラーが発生しました";
const char kParityFailed[] = "通信パリティチェックの設定でエラーが発生しました";
const char kStopBitFailed[] = "通信ストップビット数の設定でエラーが発生しました";
const char kFlowFailed[] = "通信フロー制御の設定で失敗しました";
const char kTimeoutFailed[] = "通信タイムアウト時間の設定で失敗しました";
const char kXonFailed[] = "Ｘｏｎ文字の設定でエラーが発生しました";
const char kXoffFailed[] = "Ｘｏｆｆ文字の設定でエラーが発生しました";
const char kTxThreadFailed[] = "送信用スレッドを生成できませんでした";
const char kRxThreadFailed[] = "受信用スレッドを生成できませんでした";

constexpr int kMaxQueuedChunks = 32;
constexpr int kAllErrorBits = kLineOverrun | kLineParity | kLineFraming;

[[noreturn]] void raise(const char *message, const QString &reason = QString())
{
    throw ECommError(QString::fromUtf8(message), reason);
}

void pauseMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

SerialFlow toBackendFlow(int flow)
{
    switch (flow) {
    case cfcRtsCts: return SerialFlow::RtsCts;
    case cfcDtrDsr: return SerialFlow::DtrDsr;
    case cfcXonXoff: return SerialFlow::XonXoff;
    case cfcHalfHigh: return SerialFlow::RtsProgram;
    default: return SerialFlow::None;   // cfcHalfLow, cfcNone and anything else
    }
}

} // namespace

ECommError::ECommError(const QString &message, const QString &reason)
    : std::runtime_error(message.toStdString()), message_(message), reason_(reason)
{
}

TCustomCommX::TCustomCommX(QObject *parent, std::unique_ptr<SerialBackend> backend)
    : QObject(parent), backend_(backend ? std::move(backend) : std::make_unique<TermiosSerialBackend>())
{
    charTimeMs_ = characterTimeMs(bitRate_);
}

TCustomCommX::~TCustomCommX()
{
    PortClose();
}

int TCustomCommX::characterTimeMs(int bitRate)
{
    // Below 10 bit/s the formula would divide by zero; such a line is not used.
    const int rate = bitRate < 10 ? 10 : bitRate;
    return 1000 / (rate / 10) + 1;
}

QString TCustomCommX::deviceForPort(int portNo) const
{
    return resolver_ ? resolver_(portNo) : ResolveComPort(portNo, QString());
}

int TCustomCommX::Handle() const
{
    return open_ ? backend_->handle() : -1;
}

// ---------------------------------------------------------------- open / close

void TCustomCommX::PortOpen()
{
    if (open_)
        raise(kAlreadyOpen);
    lastOpenReason_.clear();
    QString reason;
    if (!backend_->open(deviceForPort(portNo_), &reason)) {
        lastOpenReason_ = reason;
        raise(kOpenFailed, reason);
    }
    open_ = true;
    {
        std::lock_guard lock(queueMutex_);
        pendingBytes_ = 0;
        queuedChunks_ = 0;
    }
    try {
        applyBuffers();
        backend_->purge(true, false);
        backend_->purge(false, true);
        applyBitRate();
        applyCharSize();
        applyParity();
        applyStopBits();
        applyFlowCtrl();
        applyTimeouts();
        applyXonChar();
        applyXoffChar();

        discard_ = false;
        txEnding_ = false;
        try {
            txThread_ = std::thread([this] { transmitThread(); });
        } catch (const std::system_error &) {
            raise(kTxThreadFailed);
        }
        rxSession_ = std::make_shared<RxSession>();
        try {
            rxThread_ = std::thread([this, s = rxSession_] { receiveThread(s); });
        } catch (const std::system_error &) {
            rxSession_.reset();
            raise(kRxThreadFailed);
        }
        pauseMs(100);
    } catch (const ECommError &e) {
        lastOpenReason_ = e.Reason();
        PortClose();
        throw;
    }
}

void TCustomCommX::PortClose()
{
    if (!open_)
        return;
    backend_->setDtr(false);
    backend_->setRts(false);
    ClearTransBuf();
    ClearReceiveBuf();
    pauseMs(100);
    stopThreads();
    backend_->close();
    open_ = false;
    pauseMs(200);
}

void TCustomCommX::stopThreads()
{
    {
        std::lock_guard lock(queueMutex_);
        txEnding_ = true;
    }
    queueCv_.notify_all();
    if (rxSession_) {
        {
            std::lock_guard lock(rxSession_->m);
            rxSession_->ending = true;
        }
        rxSession_->cv.notify_all();
    }
    // Wakes a receive thread waiting for the line and a transmit thread
    // waiting for room in the driver.
    backend_->wakeWaiters();
    // The receive thread may be waiting for the GUI thread, which is here:
    // the ending flag above releases it, so joining cannot deadlock. An event
    // it already posted is dropped when it arrives (the session is gone).
    if (txThread_.joinable())
        txThread_.join();
    if (rxThread_.joinable())
        rxThread_.join();
    rxSession_.reset();
    std::lock_guard lock(queueMutex_);
    queue_.clear();
    pendingBytes_ = 0;
    queuedChunks_ = 0;
}

// ---------------------------------------------------------------- properties

void TCustomCommX::SetPortNo(int n)
{
    portNo_ = n;
    if (open_) {
        PortClose();
        PortOpen();
    }
}

void TCustomCommX::SetBitRate(int bps)
{
    bitRate_ = bps;
    charTimeMs_ = characterTimeMs(bps);
    if (open_)
        applyBitRate();
}

void TCustomCommX::SetCharSize(int bits)
{
    charSize_ = bits;
    if (open_)
        applyCharSize();
}

void TCustomCommX::SetParityBit(int parity)
{
    parity_ = parity;
    if (open_)
        applyParity();
}

void TCustomCommX::SetStopBit(int stopBits)
{
    stopBits_ = stopBits;
    if (open_)
        applyStopBits();
}

void TCustomCommX::SetFlowCtrl(int flow)
{
    flow_ = flow;
    if (open_)
        applyFlowCtrl();
}

void TCustomCommX::SetTimeOutTrans(int ms)
{
    timeOutTrans_ = ms;
    if (open_)
        applyTimeouts();
}

void TCustomCommX::SetTimeOutReceive(int ms)
{
    timeOutReceive_ = ms;
    if (open_)
        applyTimeouts();
}

void TCustomCommX::SetXonChar(uint8_t c)
{
    xonChar_ = c;
    if (open_)
        applyXonChar();
}

void TCustomCommX::SetXoffChar(uint8_t c)
{
    xoffChar_ = c;
    if (open_)
        applyXoffChar();
}

void TCustomCommX::SetBufLenTrans(int bytes)
{
    bufLenTrans_ = bytes;
    if (open_)
        applyBuffers();
}

void TCustomCommX::SetBufLenReceive(int bytes)
{
    bufLenReceive_ = bytes;
    if (open_) {
        applyBuffers();
        applyFlowCtrl();   // the XON/XOFF limits follow the input buffer
    }
}

void TCustomCommX::applyBuffers()
{
    if (!backend_->setBuffers(bufLenReceive_, bufLenTrans_))
        raise(kBufferFailed);
}

void TCustomCommX::applyBitRate()
{
    if (!backend_->setBitRate(bitRate_))
        raise(kBitRateFailed);
}

void TCustomCommX::applyCharSize()
{
    if (!backend_->setCharSize(charSize_))
        raise(kCharSizeFailed);
}

void TCustomCommX::applyParity()
{
    if (parity_ < cpbNone || parity_ > cpbEven)
        return;   // kept, not applied
    if (!backend_->setParity(parity_))
        raise(kParityFailed);
}

void TCustomCommX::applyStopBits()
{
    if (stopBits_ < csb1 || stopBits_ > csb2)
        return;
    if (!backend_->setStopBits(stopBits_))
        raise(kStopBitFailed);
}

void TCustomCommX::applyFlowCtrl()
{
    const int limit = bufLenReceive_ / 4;
    if (!backend_->setFlowControl(toBackendFlow(flow_), limit, limit))
        raise(kFlowFailed);
}

void TCustomCommX::applyTimeouts()
{
    if (!backend_->setTimeouts(timeOutReceive_, timeOutTrans_))
        raise(kTimeoutFailed);
}

void TCustomCommX::applyXonChar()
{
    if (!backend_->setXonChar(xonChar_))
        raise(kXonFailed);
}

void TCustomCommX::applyXoffChar()
{
    if (!backend_->setXoffChar(xoffChar_))
        raise(kXoffFailed);
}

// ---------------------------------------------------------------- sending

bool TCustomCommX::TransBlock(const uint8_t *bytes, int count)
{
    if (count == 0)
        return true;
    if (!bytes || count < 0)
        return false;
    int done = 0;
    while (done < count) {
        if (!open_ || !txThread_.joinable())
            return false;
        {
            std::unique_lock lock(queueMutex_);
            if (queuedChunks_ >= kMaxQueuedChunks) {
                lock.unlock();
                // The GUI stays alive while the line catches up; the port
                // may be closed by an event run here, checked above.
                QCoreApplication::processEvents();
                pauseMs(1);
                continue;
            }
        }
        const int n = std::min(std::max(1, bufLenTrans_), count - done);
        Chunk c;
        c.bytes.reset(new (std::nothrow) uint8_t[size_t(n)]);
        c.size = n;
        if (c.bytes) {
            std::memcpy(c.bytes.get(), bytes + done, size_t(n));
            {
                std::lock_guard lock(queueMutex_);
                pendingBytes_ += n;
                ++queuedChunks_;
                queue_.push_back(std::move(c));
            }
            queueCv_.notify_one();
        }
        done += n;
    }
    return true;
}

bool TCustomCommX::TransChar(char c)
{
    return TransBlock(reinterpret_cast<const uint8_t *>(&c), 1);
}

bool TCustomCommX::TransString(const QByteArray &text)
{
    return TransBlock(text);
}

int TCustomCommX::GetTransLength()
{
    if (!open_)
        return 0;
    std::lock_guard lock(queueMutex_);
    return pendingBytes_;
}

void TCustomCommX::ClearTransBuf()
{
    if (!txThread_.joinable()) {
        std::lock_guard w(writeMutex_);
        backend_->purge(true, false);
        return;
    }
    discard_ = true;
    for (;;) {
        {
            std::lock_guard w(writeMutex_);
            backend_->purge(true, false);
        }
        pauseMs(1);
        std::lock_guard lock(queueMutex_);
        if (pendingBytes_ <= 0)
            break;
    }
    discard_ = false;
}

void TCustomCommX::transmitThread()
{
    for (;;) {
        {
            std::unique_lock lock(queueMutex_);
            queueCv_.wait(lock, [this] { return txEnding_ || !queue_.empty(); });
            if (txEnding_)
                break;
        }
        // One batch: every chunk that waits, and every chunk that arrives
        // while the batch is being written, under one RTS keying.
        bool halfStarted = false;
        for (;;) {
            Chunk c;
            {
                std::lock_guard lock(queueMutex_);
                if (queue_.empty() || txEnding_)
                    break;
                c = std::move(queue_.front());
                queue_.pop_front();
            }
            if (!discard_ && !txEnding_) {
                halfCtrlStart(halfStarted);
                writeChunk(c.bytes.get(), c.size);
            }
            std::lock_guard lock(queueMutex_);
            pendingBytes_ = std::max(0, pendingBytes_ - c.size);
            queuedChunks_ = std::max(0, queuedChunks_ - 1);
        }
        if (halfStarted)
            halfCtrlEnd();
    }
    pauseMs(100);
}

void TCustomCommX::writeChunk(const uint8_t *bytes, int size)
{
    const uint8_t *p = bytes;
    int left = size;
    // One round is one write of what is left, limited by the write timeout.
    // A round that ends part-way (timed out, failed after some bytes) reports
    // the line errors and writes the rest again; one that fails before any
    // byte went, or a cleared queue, or a closing port, ends the chunk.
    for (;;) {
        enum class End { Done, Stop, Again };
        End end = End::Again;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeOutTrans_.load());
        bool first = true;
        for (;;) {
            int n;
            {
                std::lock_guard w(writeMutex_);
                n = backend_->write(p, left);
            }
            if (n < 0) {
                end = first ? End::Stop : End::Again;
                break;
            }
            first = false;
            p += n;
            left -= n;
            if (left == 0) {
                end = End::Done;
                break;
            }
            if (discard_ || txEnding_) {
                end = End::Stop;
                break;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                break;
            const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()) + 1;
            const SerialBackend::WaitResult r = backend_->waitWritable(ms);
            if (r == SerialBackend::WaitResult::Ready)
                continue;
            if (r != SerialBackend::WaitResult::TimedOut)
                end = End::Stop;   // woken by a close, or the device went away
            break;
        }
        if (end == End::Done)
            return;
        postErrorBits(takeErrorBits());
        if (end == End::Stop || discard_ || txEnding_)
            return;
    }
}

void TCustomCommX::halfCtrlStart(bool &started)
{
    if (started)
        return;
    started = true;
    const int flow = flow_;
    if (flow != cfcHalfHigh && flow != cfcHalfLow)
        return;
    pauseMs(50);
    backend_->setRts(flow == cfcHalfHigh);
    pauseMs(charTimeMs_);
}

void TCustomCommX::halfCtrlEnd()
{
    const int flow = flow_;
    if (flow != cfcHalfHigh && flow != cfcHalfLow)
        return;
    // A write is complete on Linux once the driver has the bytes; the
    // transceiver may turn round only when they are on the wire.
    backend_->drainOutput();
    pauseMs(charTimeMs_);
    backend_->setRts(flow != cfcHalfHigh);
}

// ---------------------------------------------------------------- receiving

void TCustomCommX::receiveThread(std::shared_ptr<RxSession> s)
{
    for (;;) {
        const SerialBackend::Event ev = backend_->waitEvent();
        {
            std::lock_guard lock(s->m);
            if (s->ending)
                break;
        }
        if (ev == SerialBackend::Event::Woken)
            break;   // only a close wakes it
        SerialLineErrors errors;
        {
            std::lock_guard lock(lineErrorMutex_);
            errors = backend_->takeLineErrors();
        }
        if ((errors.bits & kAllErrorBits) && !handOff(s, MsgError, errors.bits & kAllErrorBits))
            break;
        if (errors.breaks > 0 && !handOff(s, MsgBreak, 0))
            break;
        if (ev == SerialBackend::Event::Received && !handOff(s, MsgReceive, 0))
            break;
    }
    pauseMs(100);
}

bool TCustomCommX::handOff(const std::shared_ptr<RxSession> &s, int message, int arg)
{
    std::unique_lock lock(s->m);
    if (s->ending)
        return false;
    s->handled = false;
    // Posted, then waited for: the same as a blocking queued call, except that
    // a closing port can release the wait (see stopThreads).
    QMetaObject::invokeMethod(this, [this, s, message, arg] { deliver(s, message, arg); }, Qt::QueuedConnection);
    s->cv.wait(lock, [&] { return s->handled || s->ending; });
    return !s->ending;
}

void TCustomCommX::deliver(const std::shared_ptr<RxSession> &s, int message, int arg)
{
    // Tell the thread it may go on, whatever the handler does (it may close
    // the port, reopen it or destroy this object).
    struct Done {
        const std::shared_ptr<RxSession> &s;
        ~Done()
        {
            {
                std::lock_guard lock(s->m);
                s->handled = true;
            }
            s->cv.notify_all();
        }
    } done{s};
    // An event of an earlier opening that arrived after the close is dropped.
    if (s != rxSession_)
        return;
    dispatch(message, arg);
}

void TCustomCommX::dispatch(int message, int arg)
{
    switch (message) {
    case MsgReceive:
        if (open_ && OnReceive) {
            const int n = GetReceiveLength();
            if (n > 0)
                OnReceive(this, n);
        }
        break;
    case MsgBreak:
        if (open_ && OnBreak)
            OnBreak(this);
        break;
    case MsgError:
        if (open_ && OnError)
            OnError(this, arg);
        break;
    default:
        break;
    }
}

int TCustomCommX::takeErrorBits()
{
    std::lock_guard lock(lineErrorMutex_);
    return backend_->takeLineErrors().bits & kAllErrorBits;
}

void TCustomCommX::postErrorBits(int bits)
{
    if (!bits)
        return;
    // From the transmit thread the error is posted, not handed over: the GUI
    // thread may be waiting for this thread in ClearTransBuf.
    QMetaObject::invokeMethod(
        this, [this, bits] { if (open_) dispatch(MsgError, bits); }, Qt::QueuedConnection);
}

int TCustomCommX::ReceiveBlock(uint8_t *buffer, int count)
{
    if (!open_ || !rxThread_.joinable() || !buffer)
        return -1;
    if (count <= 0)
        return 0;
    int got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeOutReceive_));
    const QPointer<TCustomCommX> self(this);
    for (;;) {
        const int n = backend_->read(buffer + got, count - got);
        if (n < 0) {
            const int bits = takeErrorBits();
            if (bits)
                dispatch(MsgError, bits);
            return -1;
        }
        got += n;
        // What waited is returned at once; more than waited is waited for up
        // to the read timeout.
        if (got == count || std::chrono::steady_clock::now() >= deadline)
            return got;
        QCoreApplication::processEvents();
        if (!self || !open_)
            return -1;
        pauseMs(1);
        if (!open_)
            return -1;
    }
}

int TCustomCommX::ReceiveChar()
{
    uint8_t c = 0;
    return ReceiveBlock(&c, 1) == 1 ? int(c) : -1;
}

int TCustomCommX::GetReceiveLength()
{
    return open_ ? backend_->inputWaiting() : 0;
}

void TCustomCommX::ClearReceiveBuf()
{
    if (open_)
        backend_->purge(false, true);
}

// ---------------------------------------------------------------- modem lines

void TCustomCommX::SetRtsSignal(bool on)
{
    if (open_)
        backend_->setRts(on);
}

void TCustomCommX::SetDtrSignal(bool on)
{
    if (open_)
        backend_->setDtr(on);
}

bool TCustomCommX::IsSignal(int mask)
{
    return open_ && (backend_->modemStatus() & mask) != 0;
}

void TCustomCommX::SendBreak()
{
    if (!open_)
        return;
    backend_->setBreak(true);
    pauseMs(300);
    backend_->setBreak(false);
}

} // namespace kx9
