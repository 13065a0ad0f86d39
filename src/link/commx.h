#pragma once
// TCommX: the RS-232C/RS-485 port component. Sending is asynchronous:
// TransBlock queues chunks for a transmit thread, which keys RTS around each
// burst in the half-duplex modes. A receive thread waits for line events and
// hands each one to the GUI thread, waiting until it was handled before it
// watches for the next; the GUI thread reads the bytes itself in OnReceive.
// Configuration failures raise ECommError with the message the operator sees.
//
// All public operations belong to the GUI thread (the thread that owns the
// object); the events are called there too.
#include "serial_backend.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kx9 {

class ECommError : public std::runtime_error {
public:
    // `reason` is the system's word on what failed (device and error text);
    // empty when the message says it all.
    explicit ECommError(const QString &message, const QString &reason = QString());
    const QString &Message() const { return message_; }
    const QString &Reason() const { return reason_; }

private:
    QString message_;
    QString reason_;
};

enum TCommParityBits : int { cpbNone = 0, cpbOdd = 1, cpbEven = 2 };
enum TCommStopBits : int { csb1 = 0, csb1p5 = 1, csb2 = 2 };
enum TCommFlowCtrls : int {
    cfcRtsCts = 0, cfcDtrDsr = 1, cfcXonXoff = 2, cfcHalfHigh = 3, cfcHalfLow = 4, cfcNone = 5
};

class TCustomCommX : public QObject {
    Q_OBJECT
public:
    using ReceiveEvent = std::function<void(TCustomCommX *sender, int receiveSize)>;
    using BreakEvent = std::function<void(TCustomCommX *sender)>;
    using ErrorEvent = std::function<void(TCustomCommX *sender, int errorState)>;
    // Port number n → device path; an empty path cannot be opened.
    using DeviceResolver = std::function<QString(int portNo)>;

    // Without a backend the port drives a Linux terminal (termios).
    explicit TCustomCommX(QObject *parent = nullptr, std::unique_ptr<SerialBackend> backend = nullptr);
    ~TCustomCommX() override;

    // ---- opening and closing
    void PortOpen();
    void PortClose();
    bool IsOpen() const { return open_; }

    // ---- properties. Writes while closed only store; while open they are
    // applied at once and raise ECommError when the driver refuses.
    int PortNo() const { return portNo_; }
    void SetPortNo(int n);   // while open: closes and reopens on the new port
    int BitRate() const { return bitRate_; }
    void SetBitRate(int bps);
    int CharSize() const { return charSize_; }
    void SetCharSize(int bits);
    int ParityBit() const { return parity_; }
    void SetParityBit(int parity);        // TCommParityBits; other values are kept but not applied
    int StopBit() const { return stopBits_; }
    void SetStopBit(int stopBits);        // TCommStopBits; other values are kept but not applied
    int FlowCtrl() const { return flow_.load(); }
    void SetFlowCtrl(int flow);           // TCommFlowCtrls
    int TimeOutTrans() const { return timeOutTrans_.load(); }
    void SetTimeOutTrans(int ms);
    int TimeOutReceive() const { return timeOutReceive_; }
    void SetTimeOutReceive(int ms);
    uint8_t XonChar() const { return xonChar_; }
    void SetXonChar(uint8_t c);
    uint8_t XoffChar() const { return xoffChar_; }
    void SetXoffChar(uint8_t c);
    int BufLenTrans() const { return bufLenTrans_; }
    void SetBufLenTrans(int bytes);
    int BufLenReceive() const { return bufLenReceive_; }
    void SetBufLenReceive(int bytes);
    // The descriptor while open, -1 while closed.
    int Handle() const;

    ReceiveEvent OnReceive;
    BreakEvent OnBreak;
    ErrorEvent OnError;

    // ---- data
    bool TransBlock(const uint8_t *bytes, int count);
    bool TransBlock(const QByteArray &bytes) { return TransBlock(reinterpret_cast<const uint8_t *>(bytes.constData()), int(bytes.size())); }
    bool TransChar(char c);
    bool TransString(const QByteArray &text);
    int ReceiveBlock(uint8_t *buffer, int count);
    int ReceiveChar();
    int GetReceiveLength();
    int GetTransLength();
    void ClearTransBuf();
    void ClearReceiveBuf();

    // ---- modem lines and break
    void SetRtsSignal(bool on);
    void SetDtrSignal(bool on);
    bool IsCtsSignal() { return IsSignal(kModemCts); }
    bool IsDsrSignal() { return IsSignal(kModemDsr); }
    bool IsRingSignal() { return IsSignal(kModemRing); }
    bool IsRlsdSignal() { return IsSignal(kModemRlsd); }
    bool IsSignal(int mask);
    void SendBreak();

    // ---- Linux specifics
    void setDeviceResolver(DeviceResolver resolver) { resolver_ = std::move(resolver); }
    QString deviceForPort(int portNo) const;
    // The system's reason for the last failed PortOpen (empty after a good one).
    const QString &lastOpenReason() const { return lastOpenReason_; }
    SerialBackend &backend() { return *backend_; }

    // One character time in ms as the transmit thread waits it: 1000 / (rate / 10) + 1.
    static int characterTimeMs(int bitRate);

private:
    struct Chunk {
        std::unique_ptr<uint8_t[]> bytes;
        int size = 0;
    };
    // One opening's hand-off between the receive thread and the GUI thread.
    struct RxSession {
        std::mutex m;
        std::condition_variable cv;
        bool handled = true;
        bool ending = false;
    };
    enum Message { MsgReceive = 0x500, MsgBreak = 0x501, MsgError = 0x502 };

    void applyBitRate();
    void applyCharSize();
    void applyParity();
    void applyStopBits();
    void applyFlowCtrl();
    void applyTimeouts();
    void applyXonChar();
    void applyXoffChar();
    void applyBuffers();

    void transmitThread();
    void writeChunk(const uint8_t *bytes, int size);
    void halfCtrlStart(bool &started);
    void halfCtrlEnd();
    void receiveThread(std::shared_ptr<RxSession> session);
    // Receive thread: hands one event to the GUI thread and waits until it was
    // handled or the port is closing. False when closing.
    bool handOff(const std::shared_ptr<RxSession> &session, int message, int arg);
    void deliver(const std::shared_ptr<RxSession> &session, int message, int arg);
    void dispatch(int message, int arg);
    int takeErrorBits();
    void postErrorBits(int bits);
    void stopThreads();

    std::unique_ptr<SerialBackend> backend_;
    DeviceResolver resolver_;
    QString lastOpenReason_;
    bool open_ = false;

    int portNo_ = 1;
    int bitRate_ = 9600;
    int charSize_ = 8;
    int parity_ = cpbNone;
    int stopBits_ = csb1;
    std::atomic<int> flow_{cfcRtsCts};
    std::atomic<int> timeOutTrans_{3000};
    int timeOutReceive_ = 3000;
    uint8_t xonChar_ = 0x11;
    uint8_t xoffChar_ = 0x13;
    int bufLenTrans_ = 2048;
    int bufLenReceive_ = 2048;

    // Transmit side: the queue of chunks, the pending bytes and the chunk
    // count under one lock; the driver write and the output purge under another.
    std::mutex queueMutex_;
    std::condition_variable queueCv_;
    std::deque<Chunk> queue_;
    int pendingBytes_ = 0;
    int queuedChunks_ = 0;
    std::mutex writeMutex_;
    std::mutex lineErrorMutex_;
    std::atomic<bool> discard_{false};
    std::atomic<bool> txEnding_{false};
    std::atomic<int> charTimeMs_{2};
    std::thread txThread_;
    std::thread rxThread_;
    std::shared_ptr<RxSession> rxSession_;
};

// The component as the forms use it: everything is in TCustomCommX.
class TCommX : public TCustomCommX {
    Q_OBJECT
public:
    using TCustomCommX::TCustomCommX;
};

} // namespace kx9
