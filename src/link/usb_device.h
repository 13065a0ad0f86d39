#pragma once
// TSPTUsbC1: the reader's USB link on a transfer layer. It finds the first
// reader it can open, opens its input pipe "PIPE01" and its output pipe
// "PIPE00", and offers plain write and read; no thread, no framing. Its
// opening steps are logged through the main window's log (AppLog).
#include "usb_transfer.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace kx9 {

class TSPTUsbC1 {
public:
    using LogFn = std::function<void(const QString &line)>;

    // Runs UsbOpen; the owner then looks at Opened().
    TSPTUsbC1(UsbTransfer &transfer, LogFn appLog);
    ~TSPTUsbC1();
    TSPTUsbC1(const TSPTUsbC1 &) = delete;
    TSPTUsbC1 &operator=(const TSPTUsbC1 &) = delete;

    // Finds the device and opens both pipes; true when both are open.
    bool UsbOpen();
    // Closes the pipes, then the device handle.
    void UsbClose();
    // One blocking write of the whole block; false when the output pipe is
    // closed or the write failed. `written` gets what went out.
    bool UsbWrite(const uint8_t *bytes, int count, int &written);
    // At most `max` bytes that arrived; 0 when the input pipe is closed, the
    // read failed or nothing is waiting. Never waits for input.
    int UsbRead(uint8_t *buffer, int max);

    bool Opened() const { return opened_; }
    // The last UsbOpen failed because the system refused access to a reader
    // it found (the device node's permissions).
    bool PermissionDenied() const { return permissionDenied_; }

    // The device path last tried, shared by the whole program; cleared when
    // a channel is constructed.
    static QString DevicePath();
    // The pipe path last built (device path, "\" and the pipe name).
    QString PipePath() const { return pipePath_; }

    // The line logged after a refused open, naming the fix.
    static QString PermissionHint();

private:
    // The first device in bus order that opens; 0 when none does. Leaves
    // the device path and the error of the last attempt.
    int FindUsbDevice();
    // 0 when the pipe could not be opened.
    int OpenPipe(UsbPipe pipe);
    void log(const QString &line);
    void noteError(int error);
    // Logs the permission hint once a refusal has been shown.
    void flushHint();

    UsbTransfer &transfer_;
    LogFn appLog_;
    int device_ = 0;
    int inPipe_ = 0;
    int outPipe_ = 0;
    int lastError_ = UsbOk;
    bool opened_ = false;
    bool permissionDenied_ = false;
    bool pendingHint_ = false;
    QString pipePath_;
};

} // namespace kx9
