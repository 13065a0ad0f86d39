#include "usb_channel.h"

#include <cstring>

namespace kx9 {

int UsbStaging::stage(const std::function<int(uint8_t *dst, int max)> &read)
{
    const int got = read(bytes_.data() + count_, kReadSize);
    if (got <= 0)
        return 0;
    count_ += std::min(got, kReadSize);
    if (count_ > kSize)
        count_ = 0;
    return got;
}

int UsbStaging::take(uint8_t *out, int max)
{
    const int n = std::min(max, count_);
    if (n <= 0)
        return 0;
    std::memcpy(out, bytes_.data(), size_t(n));
    std::memmove(bytes_.data(), bytes_.data() + n, size_t(count_ - n));
    count_ -= n;
    return n;
}

UsbChannel::UsbChannel(LinkHost &host, std::unique_ptr<UsbTransfer> transfer, TSPTUsbC1::LogFn appLog, QObject *parent)
    : LinkChannel(host, parent), transfer_(std::move(transfer)),
      usb_(std::make_unique<TSPTUsbC1>(*transfer_, std::move(appLog)))
{
}

UsbChannel::~UsbChannel()
{
    // The device goes before the layer it was opened on.
    usb_.reset();
}

int UsbChannel::send(const uint8_t *bytes, int count)
{
    int written = 0;
    usb_->UsbWrite(bytes, count, written);
    return written;
}

void UsbChannel::poll()
{
    if (staging_.stage([this](uint8_t *dst, int max) { return usb_->UsbRead(dst, max); }) <= 0)
        return;
    uint8_t taken[UsbStaging::kReadSize];
    const int n = staging_.take(taken, UsbStaging::kReadSize);
    if (n > 0)
        host_.channelReceived(taken, n);
}

} // namespace kx9
