#pragma once
// A USB bus for the tests, behind the monitor's USB transfer interface. The
// machines the tests run on have no USB bus, so the readers on this bus are
// kx9sim's own reader model, run in this process: what the monitor writes to
// a device's OUT pipe is fed to the simulated unit, and what the unit sends
// waits for the IN pipe, so every frame is answered by the independent peer.
//
//   kx9test::FakeUsbBus bus;                  // installs itself as the transfer layer
//   auto &dev = bus.addReader("USB bus 1 port 2 ID 1209:0001");
//   dev.control("tag add E004010012345678");  // kx9sim control commands
//   dev.openError = kx9::UsbErrorBusy;        // another program holds it
//
// Opening follows the libusb layer: an open of a device this process already
// holds shares it; `openError` stands for another program's claim (or the
// device node's permissions) and so refuses only a first claim.
#include "link/usb_transfer.h"

#include "simcontrol.h"
#include "simdevice.h"
#include "simreader.h"

#include <QBuffer>
#include <QMap>
#include <QRegularExpression>
#include <memory>

namespace kx9test {

class FakeUsbBus {
public:
    struct Device {
        QString path;
        int openError = kx9::UsbOk;       // refuses a first claim (busy elsewhere, access)
        int pipeError[2] = {kx9::UsbOk, kx9::UsbOk};   // [Out], [In]: refuses opening that pipe
        bool present = true;
        int generation = 0;               // bumped by unplug: older handles stay dead
        int claims = 0;                   // handles this process holds on it
        int deviceOpens = 0;              // openDevice calls that reached it
        int pipeOpens[2] = {0, 0};
        QByteArray written;               // everything the host wrote
        QByteArray in;                    // what the reader sent, not read yet
        std::unique_ptr<kx9sim::Device> sim;
        std::unique_ptr<kx9sim::Control> ctl;
        QBuffer simLog;

        // One kx9sim control command ("tag add ...", "mode 01 2C", "send <hex>").
        QString control(const QString &line) { return ctl ? ctl->exec(line) : QStringLiteral("ERR no reader"); }
        // Takes the device off the bus: its handles fail from now on.
        void unplug()
        {
            present = false;
            ++generation;
        }
        // Frames the simulated unit received / sent, from its frame log.
        QList<QByteArray> simFrames(const char *direction) const
        {
            QList<QByteArray> out;
            const QRegularExpression rx(QStringLiteral("^\\S+ %1 ([0-9A-F ]+)$").arg(QLatin1String(direction)));
            for (const QByteArray &line : simLog.data().split('\n')) {
                const auto m = rx.match(QString::fromLatin1(line));
                if (m.hasMatch())
                    out << QByteArray::fromHex(m.captured(1).toLatin1());
            }
            return out;
        }
    };

    FakeUsbBus()
    {
        kx9::SetUsbTransferFactory([this](const QString &) { return makeTransfer(); });
    }
    ~FakeUsbBus() { kx9::SetUsbTransferFactory({}); }
    FakeUsbBus(const FakeUsbBus &) = delete;
    FakeUsbBus &operator=(const FakeUsbBus &) = delete;

    // A device with no reader behind it (writes are kept, nothing answers).
    Device &addDevice(const QString &path)
    {
        devices_.push_back(std::make_unique<Device>());
        Device &d = *devices_.back();
        d.path = path;
        return d;
    }
    // A device with kx9sim's reader behind it, powered up as kx9sim starts one.
    Device &addReader(const QString &path)
    {
        Device &d = addDevice(path);
        d.sim = std::make_unique<kx9sim::Device>();
        d.ctl = std::make_unique<kx9sim::Control>(*d.sim);
        d.simLog.open(QIODevice::WriteOnly);
        d.sim->setLog(&d.simLog);
        d.sim->reader()->setRomText("121 kx9sim usb");
        d.sim->reader()->restart();
        Device *dp = &d;
        QObject::connect(d.sim.get(), &kx9sim::Device::transmit, d.sim.get(), [dp](const QByteArray &bytes) {
            if (dp->present)
                dp->in.append(bytes);
        });
        // The unit dropping its line is a reader pulled out of the port.
        QObject::connect(d.sim.get(), &kx9sim::Device::disconnectLink, d.sim.get(), [dp] { dp->unplug(); });
        return d;
    }
    Device &device(int i) { return *devices_.at(size_t(i)); }
    int transfersAlive() const { return alive_; }

    int listError = kx9::UsbOk;

    class Transfer : public kx9::UsbTransfer {
    public:
        explicit Transfer(FakeUsbBus &bus) : bus_(bus) { ++bus_.alive_; }
        ~Transfer() override
        {
            for (const Handle &h : std::as_const(handles_))
                if (h.dev)
                    --h.dev->claims;
            --bus_.alive_;
        }

        int listDevices(QStringList &paths) override
        {
            paths.clear();
            if (bus_.listError != kx9::UsbOk)
                return bus_.listError;
            for (const auto &d : bus_.devices_)
                if (d->present)
                    paths << d->path;
            return kx9::UsbOk;
        }
        int openDevice(const QString &path) override
        {
            Device *d = claim(path);
            if (!d)
                return error_;
            return add({d, d->generation, false, kx9::UsbPipe::Out});
        }
        int openPipe(const QString &path, kx9::UsbPipe pipe) override
        {
            Device *d = claim(path);
            if (!d)
                return error_;
            const int k = pipe == kx9::UsbPipe::Out ? 0 : 1;
            ++d->pipeOpens[k];
            if (d->pipeError[k] != kx9::UsbOk) {
                --d->claims;
                return d->pipeError[k];
            }
            return add({d, d->generation, true, pipe});
        }
        int write(int pipe, const uint8_t *bytes, int count, int &written) override
        {
            written = 0;
            Device *d = live(pipe, kx9::UsbPipe::Out);
            if (!d)
                return error_;
            const QByteArray block(reinterpret_cast<const char *>(bytes), count);
            d->written += block;
            written = count;
            if (d->sim)
                d->sim->receive(block);
            return kx9::UsbOk;
        }
        int read(int pipe, uint8_t *buffer, int max) override
        {
            Device *d = live(pipe, kx9::UsbPipe::In);
            if (!d)
                return error_;
            const int n = std::min<int>(max, int(d->in.size()));
            std::copy_n(reinterpret_cast<const uint8_t *>(d->in.constData()), n, buffer);
            d->in.remove(0, n);
            return n;
        }
        void close(int handle) override
        {
            const auto it = handles_.find(handle);
            if (it == handles_.end())
                return;
            if (it->dev)
                --it->dev->claims;
            handles_.erase(it);
        }

    private:
        struct Handle {
            Device *dev = nullptr;
            int generation = 0;
            bool isPipe = false;
            kx9::UsbPipe pipe = kx9::UsbPipe::Out;
        };
        Device *claim(const QString &path)
        {
            for (const auto &d : bus_.devices_) {
                if (d->path != path || !d->present)
                    continue;
                ++d->deviceOpens;
                // Another program's claim (or a refused node) stops only a
                // first claim; this process shares the one it holds.
                if (d->claims == 0 && d->openError != kx9::UsbOk) {
                    error_ = d->openError;
                    return nullptr;
                }
                ++d->claims;
                return d.get();
            }
            error_ = kx9::UsbErrorNoDevice;
            return nullptr;
        }
        int add(const Handle &h)
        {
            handles_.insert(next_, h);
            return next_++;
        }
        Device *live(int handle, kx9::UsbPipe pipe)
        {
            const auto it = handles_.constFind(handle);
            if (it == handles_.constEnd() || !it->isPipe || it->pipe != pipe) {
                error_ = kx9::UsbErrorInvalidParam;
                return nullptr;
            }
            if (!it->dev->present || it->dev->generation != it->generation) {
                error_ = kx9::UsbErrorNoDevice;
                return nullptr;
            }
            return it->dev;
        }

        FakeUsbBus &bus_;
        QMap<int, Handle> handles_;
        int next_ = 1;
        int error_ = kx9::UsbOk;
    };

    std::unique_ptr<kx9::UsbTransfer> makeTransfer() { return std::make_unique<Transfer>(*this); }

private:
    std::vector<std::unique_ptr<Device>> devices_;
    int alive_ = 0;
};

} // namespace kx9test
