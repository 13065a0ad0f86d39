#pragma once
// The USB transfer layer on libusb-1.0. Everything runs on the calling (GUI)
// thread: libusb's events are handled whenever a pipe is read or written, so
// no thread of ours and no callback ever runs elsewhere.
#include "usb_transfer.h"

#include <QHash>
#include <QMap>
#include <QVector>
#include <memory>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_transfer;

namespace kx9 {

class LibUsbTransfer : public UsbTransfer {
public:
    // A bulk OUT write that the device does not take within this time fails.
    static constexpr int kWriteTimeoutMs = 1000;
    // Bulk IN reads kept in flight on the IN pipe, and the size of each.
    static constexpr int kInTransfers = 2;
    static constexpr int kInTransferPackets = 16;
    // Input that arrived and was not read yet. Above this no further read is
    // put in flight: the device then holds its data (USB flow control) until
    // the poll has taken some, so nothing is dropped on our side.
    static constexpr int kInQueueLimit = 256 * 1024;

    explicit LibUsbTransfer(QList<UsbDeviceId> ids);
    ~LibUsbTransfer() override;

    // UsbOk when libusb started; every operation fails with this otherwise.
    int initError() const { return initError_; }

    int listDevices(QStringList &paths) override;
    int openDevice(const QString &path) override;
    int openPipe(const QString &path, UsbPipe pipe) override;
    int write(int pipe, const uint8_t *bytes, int count, int &written) override;
    int read(int pipe, uint8_t *buffer, int max) override;
    void close(int handle) override;

    // The path text of a device: bus, port path and IDs.
    static QString PathText(int bus, const QVector<uint8_t> &ports, int address, uint16_t vendor, uint16_t product);

private:
    struct Candidate {
        QString path;
        libusb_device *device = nullptr;   // referenced while the candidate lives
        int interfaceNo = -1;
        uint8_t outEndpoint = 0, inEndpoint = 0;
        int inPacketSize = 64;
        int bus = 0;
        QVector<uint8_t> ports;
        int address = 0;
    };
    struct Claim;
    struct InStream;
    struct Handle;

    // The candidates in bus order; the caller unreferences them (releaseCandidates).
    int candidates(QVector<Candidate> &out);
    static void releaseCandidates(QVector<Candidate> &list);
    // A claim on the device at `path`: the one this process holds, or a new one.
    int claimFor(const QString &path, std::shared_ptr<Claim> &claim);
    int addHandle(std::unique_ptr<Handle> handle);
    Handle *pipeHandle(int handle, UsbPipe pipe);
    void handleEvents();

    QList<UsbDeviceId> ids_;
    libusb_context *ctx_ = nullptr;
    int initError_ = UsbOk;
    QHash<QString, std::weak_ptr<Claim>> claims_;
    QMap<int, std::shared_ptr<Handle>> handles_;
    int nextHandle_ = 1;
};

} // namespace kx9
