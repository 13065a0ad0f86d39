#pragma once
// The serial backend for Linux terminals: real UARTs, USB-serial adapters and
// pseudo-terminals, through termios and the tty ioctls.
//
// What a Linux terminal cannot do, and what is done instead:
// - DTR/DSR handshake: the kernel has none; the setting is refused.
// - 1.5 stop bits: only with 5 data bits, where the UART makes two stop bits
//   one and a half; otherwise refused.
// - Driver buffer sizes and XON/XOFF limits are the kernel's own; the requests
//   are accepted and have no effect.
// - Line errors and breaks come from the driver's counters (TIOCGICOUNT);
//   drivers without them (ptys, many USB adapters) report none.
// - A pty carries bytes both ways but forces 8 data bits without parity, has
//   no modem lines (their ioctls fail, which opening tolerates) and ignores
//   break and the bit rate.
#include "serial_backend.h"

#include <atomic>

namespace kx9 {

class TermiosSerialBackend : public SerialBackend {
public:
    TermiosSerialBackend() = default;
    ~TermiosSerialBackend() override;

    bool open(const QString &device, QString *reason) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    int handle() const override { return fd_; }

    bool setBuffers(int inputBytes, int outputBytes) override;
    bool purge(bool output, bool input) override;

    bool setBitRate(int bitsPerSecond) override;
    bool setCharSize(int bits) override;
    bool setParity(int parity) override;
    bool setStopBits(int stopBits) override;
    bool setFlowControl(SerialFlow flow, int xonLimit, int xoffLimit) override;
    bool setTimeouts(int readConstantMs, int writeConstantMs) override;
    bool setXonChar(uint8_t c) override;
    bool setXoffChar(uint8_t c) override;

    int read(uint8_t *buffer, int max) override;
    int inputWaiting() override;
    int write(const uint8_t *bytes, int count) override;
    WaitResult waitWritable(int timeoutMs) override;
    void drainOutput() override;

    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    int modemStatus() override;
    bool setBreak(bool on) override;
    SerialLineErrors takeLineErrors() override;

    Event waitEvent() override;
    void wakeWaiters() override;

    // The termios speed constant for a bit rate, or 0 when there is none.
    static unsigned speedConstant(int bitsPerSecond);

private:
    struct Counters {
        long overrun = 0, parity = 0, frame = 0, brk = 0;
    };
    bool readCounters(Counters &c) const;

    int fd_ = -1;
    int wakeFd_ = -1;
    int epollFd_ = -1;
    bool watching_ = false;        // the port is still in the event set
    bool haveCounters_ = false;
    Counters base_;
};

} // namespace kx9
