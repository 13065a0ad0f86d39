#include "usb_libusb.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <algorithm>
#include <libusb.h>

namespace kx9 {

// One claimed interface of one opened device, shared by every handle on it.
struct LibUsbTransfer::Claim {
    libusb_device_handle *handle = nullptr;
    int interfaceNo = -1;
    uint8_t outEndpoint = 0, inEndpoint = 0;
    int inPacketSize = 64;
    ~Claim()
    {
        if (handle) {
            libusb_release_interface(handle, interfaceNo);
            libusb_close(handle);
        }
    }
};

// The reads kept in flight on an IN pipe and what they brought.
struct LibUsbTransfer::InStream {
    libusb_context *ctx = nullptr;
    std::shared_ptr<Claim> claim;
    QVector<libusb_transfer *> transfers;
    QVector<QByteArray> buffers;
    QVector<bool> inFlight;
    QByteArray queue;
    int error = UsbOk;     // the pipe failed (the device is gone): reads fail once the queue is empty

    static void LIBUSB_CALL done(libusb_transfer *t)
    {
        auto *s = static_cast<InStream *>(t->user_data);
        const int i = int(s->transfers.indexOf(t));
        if (i >= 0)
            s->inFlight[i] = false;
        switch (t->status) {
        case LIBUSB_TRANSFER_COMPLETED:
            s->queue.append(reinterpret_cast<const char *>(t->buffer), t->actual_length);
            s->submitIdle();
            break;
        case LIBUSB_TRANSFER_CANCELLED:
            break;
        case LIBUSB_TRANSFER_NO_DEVICE:
            s->error = UsbErrorNoDevice;
            break;
        case LIBUSB_TRANSFER_STALL:
            s->error = UsbErrorPipe;
            break;
        case LIBUSB_TRANSFER_OVERFLOW:
            s->error = UsbErrorOverflow;
            break;
        default:
            s->error = UsbErrorIo;
            break;
        }
    }

    // Puts every idle read back in flight, unless the unread input is
    // already large or the pipe has failed.
    void submitIdle()
    {
        if (error != UsbOk || queue.size() >= kInQueueLimit)
            return;
        for (int i = 0; i < transfers.size(); ++i) {
            if (inFlight[i])
                continue;
            const int r = libusb_submit_transfer(transfers[i]);
            if (r == LIBUSB_SUCCESS) {
                inFlight[i] = true;
            } else {
                error = r;
                return;
            }
        }
    }

    bool anyInFlight() const { return std::find(inFlight.begin(), inFlight.end(), true) != inFlight.end(); }

    ~InStream()
    {
        for (int i = 0; i < transfers.size(); ++i)
            if (inFlight[i])
                libusb_cancel_transfer(transfers[i]);
        // Cancelled reads complete through the event handler; a transfer is
        // freed only once libusb is done with it.
        const QDeadlineTimer deadline(1000);
        while (anyInFlight() && !deadline.hasExpired()) {
            timeval tv{0, 50 * 1000};
            libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
        }
        if (anyInFlight()) {
            // libusb still owns them: leaking is safer than freeing under it.
            for (libusb_transfer *t : transfers)
                t->callback = [](libusb_transfer *) {};
            return;
        }
        for (libusb_transfer *t : transfers)
            libusb_free_transfer(t);
    }
};

struct LibUsbTransfer::Handle {
    std::shared_ptr<Claim> claim;
    bool isPipe = false;
    UsbPipe pipe = UsbPipe::Out;
    std::unique_ptr<InStream> in;
};

LibUsbTransfer::LibUsbTransfer(QList<UsbDeviceId> ids) : ids_(std::move(ids))
{
    initError_ = libusb_init(&ctx_);
    if (initError_ != LIBUSB_SUCCESS)
        ctx_ = nullptr;
}

LibUsbTransfer::~LibUsbTransfer()
{
    // Pipes (with their reads in flight) first, then the claims they share.
    handles_.clear();
    claims_.clear();
    if (ctx_)
        libusb_exit(ctx_);
}

QString LibUsbTransfer::PathText(int bus, const QVector<uint8_t> &ports, int address, uint16_t vendor, uint16_t product)
{
    QStringList p;
    for (uint8_t n : ports)
        p << QString::number(n);
    const QString where = p.isEmpty() ? QStringLiteral("device %1").arg(address) : QStringLiteral("port ") + p.join(QLatin1Char('.'));
    return QStringLiteral("USB bus %1 %2 ID %3:%4")
        .arg(bus)
        .arg(where)
        .arg(vendor, 4, 16, QLatin1Char('0'))
        .arg(product, 4, 16, QLatin1Char('0'));
}

int LibUsbTransfer::candidates(QVector<Candidate> &out)
{
    out.clear();
    if (!ctx_)
        return initError_;
    libusb_device **list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_, &list);
    if (n < 0)
        return int(n);
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device *dev = list[i];
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(dev, &desc) != LIBUSB_SUCCESS)
            continue;
        if (!ids_.contains(UsbDeviceId{desc.idVendor, desc.idProduct}))
            continue;
        libusb_config_descriptor *config = nullptr;
        if (libusb_get_active_config_descriptor(dev, &config) != LIBUSB_SUCCESS
            && libusb_get_config_descriptor(dev, 0, &config) != LIBUSB_SUCCESS)
            continue;
        Candidate c;
        for (int k = 0; k < config->bNumInterfaces && c.interfaceNo < 0; ++k) {
            const libusb_interface &itf = config->interface[k];
            if (itf.num_altsetting < 1)
                continue;
            const libusb_interface_descriptor &alt = itf.altsetting[0];
            if (alt.bInterfaceClass != LIBUSB_CLASS_VENDOR_SPEC)
                continue;
            uint8_t out = 0, in = 0;
            int inPacket = 64;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor &ep = alt.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                    if (!in) {
                        in = ep.bEndpointAddress;
                        inPacket = std::max(8, ep.wMaxPacketSize & 0x7FF);
                    }
                } else if (!out) {
                    out = ep.bEndpointAddress;
                }
            }
            if (in && out) {
                c.interfaceNo = alt.bInterfaceNumber;
                c.inEndpoint = in;
                c.outEndpoint = out;
                c.inPacketSize = inPacket;
            }
        }
        libusb_free_config_descriptor(config);
        if (c.interfaceNo < 0)
            continue;
        uint8_t ports[8] = {};
        const int np = libusb_get_port_numbers(dev, ports, int(sizeof ports));
        for (int k = 0; k < np; ++k)
            c.ports.append(ports[k]);
        c.bus = libusb_get_bus_number(dev);
        c.address = libusb_get_device_address(dev);
        c.path = PathText(c.bus, c.ports, c.address, desc.idVendor, desc.idProduct);
        c.device = libusb_ref_device(dev);
        out.append(c);
    }
    libusb_free_device_list(list, 1);
    std::sort(out.begin(), out.end(), [](const Candidate &a, const Candidate &b) {
        if (a.bus != b.bus)
            return a.bus < b.bus;
        if (a.ports != b.ports)
            return std::lexicographical_compare(a.ports.begin(), a.ports.end(), b.ports.begin(), b.ports.end());
        return a.address < b.address;
    });
    return UsbOk;
}

void LibUsbTransfer::releaseCandidates(QVector<Candidate> &list)
{
    for (Candidate &c : list)
        libusb_unref_device(c.device);
    list.clear();
}

int LibUsbTransfer::listDevices(QStringList &paths)
{
    paths.clear();
    QVector<Candidate> list;
    const int r = candidates(list);
    for (const Candidate &c : list)
        paths << c.path;
    releaseCandidates(list);
    return r;
}

int LibUsbTransfer::claimFor(const QString &path, std::shared_ptr<Claim> &claim)
{
    if (std::shared_ptr<Claim> held = claims_.value(path).lock()) {
        claim = held;
        return UsbOk;
    }
    QVector<Candidate> list;
    int r = candidates(list);
    if (r != UsbOk)
        return r;
    auto it = std::find_if(list.begin(), list.end(), [&](const Candidate &c) { return c.path == path; });
    if (it == list.end()) {
        releaseCandidates(list);
        return UsbErrorNoDevice;
    }
    auto fresh = std::make_shared<Claim>();
    fresh->interfaceNo = it->interfaceNo;
    fresh->outEndpoint = it->outEndpoint;
    fresh->inEndpoint = it->inEndpoint;
    fresh->inPacketSize = it->inPacketSize;
    libusb_device_handle *h = nullptr;
    r = libusb_open(it->device, &h);
    releaseCandidates(list);
    if (r != LIBUSB_SUCCESS)
        return r;
    // A vendor interface normally has no kernel driver; one that has is
    // detached while we hold the interface and given back afterwards.
    libusb_set_auto_detach_kernel_driver(h, 1);
    r = libusb_claim_interface(h, fresh->interfaceNo);
    if (r != LIBUSB_SUCCESS) {
        libusb_close(h);
        return r;
    }
    fresh->handle = h;
    claims_.insert(path, fresh);
    claim = fresh;
    return UsbOk;
}

int LibUsbTransfer::addHandle(std::unique_ptr<Handle> handle)
{
    const int id = nextHandle_++;
    handles_.insert(id, std::shared_ptr<Handle>(std::move(handle)));
    return id;
}

int LibUsbTransfer::openDevice(const QString &path)
{
    auto h = std::make_unique<Handle>();
    const int r = claimFor(path, h->claim);
    if (r != UsbOk)
        return r;
    return addHandle(std::move(h));
}

int LibUsbTransfer::openPipe(const QString &path, UsbPipe pipe)
{
    auto h = std::make_unique<Handle>();
    int r = claimFor(path, h->claim);
    if (r != UsbOk)
        return r;
    h->isPipe = true;
    h->pipe = pipe;
    if (pipe == UsbPipe::In) {
        auto s = std::make_unique<InStream>();
        s->ctx = ctx_;
        s->claim = h->claim;
        const int size = h->claim->inPacketSize * kInTransferPackets;
        for (int i = 0; i < kInTransfers; ++i) {
            libusb_transfer *t = libusb_alloc_transfer(0);
            if (!t)
                return UsbErrorNoMem;
            s->buffers.append(QByteArray(size, '\0'));
            s->transfers.append(t);
            s->inFlight.append(false);
        }
        for (int i = 0; i < kInTransfers; ++i)
            libusb_fill_bulk_transfer(s->transfers[i], h->claim->handle, h->claim->inEndpoint,
                                      reinterpret_cast<unsigned char *>(s->buffers[i].data()), size,
                                      &InStream::done, s.get(), 0);
        s->submitIdle();
        if (s->error != UsbOk)
            return s->error;
        h->in = std::move(s);
    }
    return addHandle(std::move(h));
}

LibUsbTransfer::Handle *LibUsbTransfer::pipeHandle(int handle, UsbPipe pipe)
{
    const auto it = handles_.constFind(handle);
    if (it == handles_.constEnd() || !it.value()->isPipe || it.value()->pipe != pipe)
        return nullptr;
    return it.value().get();
}

void LibUsbTransfer::handleEvents()
{
    if (!ctx_)
        return;
    timeval zero{0, 0};
    libusb_handle_events_timeout_completed(ctx_, &zero, nullptr);
}

int LibUsbTransfer::write(int pipe, const uint8_t *bytes, int count, int &written)
{
    written = 0;
    Handle *h = pipeHandle(pipe, UsbPipe::Out);
    if (!h)
        return UsbErrorInvalidParam;
    int done = 0;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    const int r = libusb_bulk_transfer(h->claim->handle, h->claim->outEndpoint, const_cast<uint8_t *>(bytes), count,
                                       &done, kWriteTimeoutMs);
    written = done;
    if (r == LIBUSB_ERROR_PIPE)
        libusb_clear_halt(h->claim->handle, h->claim->outEndpoint);
    return r;
}

int LibUsbTransfer::read(int pipe, uint8_t *buffer, int max)
{
    Handle *h = pipeHandle(pipe, UsbPipe::In);
    if (!h || !h->in)
        return UsbErrorInvalidParam;
    handleEvents();
    InStream &s = *h->in;
    if (s.queue.isEmpty())
        return s.error != UsbOk ? s.error : 0;
    const int n = std::min<int>(max, int(s.queue.size()));
    std::copy_n(reinterpret_cast<const uint8_t *>(s.queue.constData()), n, buffer);
    s.queue.remove(0, n);
    s.submitIdle();
    return n;
}

void LibUsbTransfer::close(int handle)
{
    handles_.remove(handle);
}

} // namespace kx9
