#pragma once
// The USB transfer layer the reader's USB channel sits on: find the devices
// that fit, open and claim one, open its two bulk pipes, write and read them,
// close. libusb-1.0 is the layer in use (usb_libusb.h); the tests put a fake
// behind the same interface, since their machines have no USB bus.
//
// A reader is a USB device whose vendor and product ID are in the [USB]
// section's DeviceIds list and that has a vendor-specific interface with one
// bulk OUT endpoint (the pipe "PIPE00", host to reader) and one bulk IN
// endpoint ("PIPE01", reader to host).
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

namespace kx9 {

// Error numbers are libusb's (LIBUSB_ERROR_*), whichever layer reports them,
// so the log shows the same numbers for a fake as for a real device.
enum UsbError : int {
    UsbOk = 0,
    UsbErrorIo = -1,
    UsbErrorInvalidParam = -2,
    UsbErrorAccess = -3,
    UsbErrorNoDevice = -4,
    UsbErrorNotFound = -5,
    UsbErrorBusy = -6,
    UsbErrorTimeout = -7,
    UsbErrorOverflow = -8,
    UsbErrorPipe = -9,
    UsbErrorInterrupted = -10,
    UsbErrorNoMem = -11,
    UsbErrorNotSupported = -12,
    UsbErrorOther = -99,
};

// "-3 (LIBUSB_ERROR_ACCESS)": the number and libusb's name for it.
QString UsbErrorText(int error);

enum class UsbPipe { Out, In };   // "PIPE00", "PIPE01"
const char *UsbPipeName(UsbPipe pipe);

struct UsbDeviceId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    bool operator==(const UsbDeviceId &o) const { return vendor == o.vendor && product == o.product; }
};

// The IDs a reader may have when the option file names none: the test
// product ID of pid.codes, which no other kind of device carries.
QList<UsbDeviceId> DefaultUsbDeviceIds();
// "1209:0001, 1234:abcd": hexadecimal vendor:product pairs separated by commas
// or blanks. Entries that do not parse are skipped; `bad` gets them.
QList<UsbDeviceId> ParseUsbDeviceIds(const QString &text, QStringList *bad = nullptr);
// [USB] DeviceIds of the option file, or the default when the key is missing
// or names no valid pair.
QList<UsbDeviceId> ReadUsbDeviceIds(const QString &iniPath);

class UsbTransfer {
public:
    virtual ~UsbTransfer() = default;

    // The devices that fit, in bus order (bus number, then port path), as
    // the path texts the log shows ("USB bus 1 port 1.4 ID 1209:0001").
    // Returns UsbOk, or the error that kept the list from being read.
    virtual int listDevices(QStringList &paths) = 0;
    // Opens the device at `path` and claims its reader interface. Opening a
    // device this process already holds shares it (another handle on the same
    // claim), as a second open of a shared device file would. Returns a
    // handle > 0, or an error < 0.
    virtual int openDevice(const QString &path) = 0;
    // Opens one pipe of the device at `path` (opening the device as above).
    // The IN pipe keeps a read in flight from here on, so data that arrives
    // between polls waits in the layer. Returns a handle > 0 or an error < 0.
    virtual int openPipe(const QString &path, UsbPipe pipe) = 0;
    // Writes the whole block to an OUT pipe, blocking until it went out or
    // the write timed out. `written` gets the bytes that went out. Returns
    // UsbOk or an error.
    virtual int write(int pipe, const uint8_t *bytes, int count, int &written) = 0;
    // Takes up to `max` bytes that already arrived on an IN pipe; never
    // waits. Returns the count (0: nothing waiting) or an error < 0 (the
    // device is gone, the pipe failed). Writes nothing to `buffer` on an error.
    virtual int read(int pipe, uint8_t *buffer, int max) = 0;
    // Closes a device or pipe handle; the claim ends with the last handle on it.
    virtual void close(int handle) = 0;
};

// Makes the transfer layer for a channel; `iniPath` is the option file (for
// the [USB] section). The default makes the libusb layer.
using UsbTransferFactory = std::function<std::unique_ptr<UsbTransfer>(const QString &iniPath)>;
std::unique_ptr<UsbTransfer> MakeUsbTransfer(const QString &iniPath);
// Replaces the factory (tests put their fake here); an empty one restores libusb.
void SetUsbTransferFactory(UsbTransferFactory factory);

} // namespace kx9
