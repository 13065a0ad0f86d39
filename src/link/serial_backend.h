#pragma once
// What TCommX needs from the operating system's serial driver. One backend
// object serves one TCommX for its whole life and is opened and closed with
// the port. The termios backend (termios_backend.h) drives real ports and
// ptys; the tests plug in a fake to show what a pty cannot (parity, modem
// lines, RTS keying, line errors).
//
// Threads: the GUI thread calls everything except write/waitWritable (the
// transmit thread), waitEvent (the receive thread) and drainOutput/setRts
// (both the GUI thread and the transmit thread). wakeWaiters may be called
// from any thread. Implementations must make those concurrent calls safe.
#include <QString>
#include <cstdint>

namespace kx9 {

// Modem status bits as the port reports them.
enum SerialModemBits : int {
    kModemCts = 0x10,
    kModemDsr = 0x20,
    kModemRing = 0x40,
    kModemRlsd = 0x80,
};

// Line error bits handed to OnError.
enum SerialErrorBits : int {
    kLineOverrun = 0x02,
    kLineParity = 0x04,
    kLineFraming = 0x08,
};

// How the flow-control setting reaches the driver.
enum class SerialFlow {
    RtsCts,        // hardware handshake on RTS/CTS, DTR held high
    DtrDsr,        // handshake on DTR/DSR, RTS held high
    XonXoff,       // software handshake both ways, DTR and RTS high
    RtsProgram,    // no handshake, DTR high, RTS driven by the program (starts low)
    None,          // no handshake, DTR and RTS high
};

struct SerialLineErrors {
    int bits = 0;      // kLineOverrun | kLineParity | kLineFraming seen since the last call
    int breaks = 0;    // breaks detected since the last call
};

class SerialBackend {
public:
    virtual ~SerialBackend() = default;

    // Opens `device` for exclusive read and write. On failure `reason` says
    // why in the system's words.
    virtual bool open(const QString &device, QString *reason) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The descriptor, or -1 (only meaningful for descriptor-based backends).
    virtual int handle() const { return -1; }

    // Driver queue sizes (a request the driver may treat as a hint).
    virtual bool setBuffers(int inputBytes, int outputBytes) = 0;
    virtual bool purge(bool output, bool input) = 0;

    // Each setter changes the line at once and reports whether the driver
    // took the value. parity: 0 none, 1 odd, 2 even; stopBits: 0 one,
    // 1 one and a half, 2 two.
    virtual bool setBitRate(int bitsPerSecond) = 0;
    virtual bool setCharSize(int bits) = 0;
    virtual bool setParity(int parity) = 0;
    virtual bool setStopBits(int stopBits) = 0;
    virtual bool setFlowControl(SerialFlow flow, int xonLimit, int xoffLimit) = 0;
    virtual bool setTimeouts(int readConstantMs, int writeConstantMs) = 0;
    virtual bool setXonChar(uint8_t c) = 0;
    virtual bool setXoffChar(uint8_t c) = 0;

    // Reads what waits, up to `max` bytes, without blocking: the count read,
    // 0 when nothing waits, -1 on a failure.
    virtual int read(uint8_t *buffer, int max) = 0;
    // Bytes waiting in the driver's input queue.
    virtual int inputWaiting() = 0;
    // Writes without blocking: the count taken, 0 when the driver cannot take
    // more now, -1 on a failure.
    virtual int write(const uint8_t *bytes, int count) = 0;
    enum class WaitResult { Ready, TimedOut, Woken, Failed };
    // Blocks until the driver can take more output, `timeoutMs` passed, or
    // wakeWaiters was called.
    virtual WaitResult waitWritable(int timeoutMs) = 0;
    // Blocks until everything written has left the driver (used before RTS
    // is dropped at the end of a half-duplex burst).
    virtual void drainOutput() = 0;

    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
    // kModem* bits; 0 when the driver has no modem lines.
    virtual int modemStatus() = 0;
    virtual bool setBreak(bool on) = 0;
    virtual SerialLineErrors takeLineErrors() = 0;

    enum class Event { Received, Woken, Failed };
    // Blocks until new input arrives (once per arrival, not for bytes that
    // were already waiting when the previous event was reported) or
    // wakeWaiters was called. Line errors and breaks are looked at with
    // takeLineErrors after every event.
    virtual Event waitEvent() = 0;
    // Makes waitEvent and waitWritable return Woken at once, now and until
    // the next open: used to stop the port's threads.
    virtual void wakeWaiters() = 0;
};

} // namespace kx9
