#pragma once
// The module's USB link: a TSPTUsbC1 on its transfer layer, written whole
// frames at a time and polled for input at the start of every receiver poll.
#include "link_channel.h"
#include "usb_device.h"

#include <array>
#include <memory>

namespace kx9 {

// Bytes read from USB and not yet moved into the receive ring.
class UsbStaging {
public:
    static constexpr int kSize = 4096;
    static constexpr int kReadSize = 64;   // asked of the input pipe per poll

    // Reads up to kReadSize bytes after what is staged, through `read`
    // (which returns the count, <= 0 for none). When the staged count goes
    // above kSize everything staged is dropped. Returns the bytes read.
    int stage(const std::function<int(uint8_t *dst, int max)> &read);
    // Moves up to `max` bytes from the front into `out`; returns how many.
    int take(uint8_t *out, int max);
    int count() const { return count_; }
    const uint8_t *data() const { return bytes_.data(); }

private:
    // Room for one more read past a full buffer: a read lands after the
    // staged bytes before the overflow rule can drop them.
    std::array<uint8_t, kSize + kReadSize> bytes_{};
    int count_ = 0;
};

class UsbChannel : public LinkChannel {
    Q_OBJECT
public:
    // Constructing the channel runs UsbOpen; look at usb().Opened().
    UsbChannel(LinkHost &host, std::unique_ptr<UsbTransfer> transfer, TSPTUsbC1::LogFn appLog,
               QObject *parent = nullptr);
    ~UsbChannel() override;

    // The module's reopen and close leave the USB link as it is: it is
    // opened once at creation (and by the port check's retry) and closed
    // when the module is destroyed.
    void open() override {}
    void close() override {}
    // The number of bytes written (0 when nothing went out).
    int send(const uint8_t *bytes, int count) override;
    // UsbPoll: up to 64 bytes from the input pipe through the staging into the ring.
    void poll() override;

    TSPTUsbC1 &usb() { return *usb_; }
    const UsbStaging &staging() const { return staging_; }

private:
    std::unique_ptr<UsbTransfer> transfer_;
    std::unique_ptr<TSPTUsbC1> usb_;
    UsbStaging staging_;
};

} // namespace kx9
