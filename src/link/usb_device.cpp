#include "usb_device.h"

namespace kx9 {

namespace {
QString &sharedDevicePath()
{
    static QString path;
    return path;
}
} // namespace

TSPTUsbC1::TSPTUsbC1(UsbTransfer &transfer, LogFn appLog) : transfer_(transfer), appLog_(std::move(appLog))
{
    sharedDevicePath().clear();
    UsbOpen();
}

TSPTUsbC1::~TSPTUsbC1()
{
    UsbClose();
}

QString TSPTUsbC1::DevicePath()
{
    return sharedDevicePath();
}

QString TSPTUsbC1::PermissionHint()
{
    return QStringLiteral("USB のリーダーを開く権限がありません。udev 規則 70-kx9monitor.rules"
                          "（パッケージが /usr/lib/udev/rules.d/ に入れます。DeviceIds を変えたときは"
                          " /etc/udev/rules.d/ に写して ID を足してください）を入れ、リーダーを挿し直してください。");
}

void TSPTUsbC1::log(const QString &line)
{
    if (appLog_)
        appLog_(line);
}

void TSPTUsbC1::noteError(int error)
{
    lastError_ = error;
    // Said once per opening, right after the first line that shows it.
    if (error == UsbErrorAccess && !permissionDenied_) {
        permissionDenied_ = true;
        pendingHint_ = true;
    }
}

int TSPTUsbC1::FindUsbDevice()
{
    QStringList paths;
    const int listed = transfer_.listDevices(paths);
    if (listed != UsbOk) {
        noteError(listed);
        return 0;
    }
    // Nothing fits at all: the same number a search through an empty list gives.
    if (paths.isEmpty()) {
        noteError(UsbErrorNoDevice);
        return 0;
    }
    for (const QString &path : paths) {
        sharedDevicePath() = path;
        const int h = transfer_.openDevice(path);
        if (h > 0)
            return h;
        // A device held by another program (or refused to us) is passed
        // over for the next one; the last refusal is what gets reported.
        noteError(h);
    }
    return 0;
}

bool TSPTUsbC1::UsbOpen()
{
    // Handles of an earlier opening would keep the device claimed twice.
    UsbClose();
    opened_ = false;
    permissionDenied_ = false;
    pendingHint_ = false;
    device_ = FindUsbDevice();
    if (device_ <= 0)
        log(QStringLiteral("Failed to open (") + DevicePath() + QStringLiteral(") = ") + UsbErrorText(lastError_));
    else
        log(QStringLiteral("DeviceName = (") + DevicePath() + QStringLiteral(")\n"));
    flushHint();
    inPipe_ = OpenPipe(UsbPipe::In);
    outPipe_ = OpenPipe(UsbPipe::Out);
    if (inPipe_ <= 0 || outPipe_ <= 0)
        return false;
    opened_ = true;
    return true;
}

int TSPTUsbC1::OpenPipe(UsbPipe pipe)
{
    const int found = FindUsbDevice();
    if (found <= 0) {
        log(QStringLiteral("Failed to GetUsbDeviceFileName[") + UsbErrorText(lastError_) + QStringLiteral("]"));
        flushHint();
        return 0;
    }
    // The search only confirms the device and its path.
    transfer_.close(found);
    pipePath_ = DevicePath() + QLatin1Char('\\') + QLatin1String(UsbPipeName(pipe));
    const int h = transfer_.openPipe(DevicePath(), pipe);
    log(QStringLiteral("DeviceName = (") + pipePath_ + QStringLiteral(")"));
    if (h <= 0) {
        noteError(h);
        log(QStringLiteral("Failed to open (") + pipePath_ + QStringLiteral(") = ") + UsbErrorText(h));
        flushHint();
        return 0;
    }
    log(QStringLiteral("Opened successfully."));
    return h;
}

void TSPTUsbC1::flushHint()
{
    if (!pendingHint_)
        return;
    pendingHint_ = false;
    log(PermissionHint());
}

void TSPTUsbC1::UsbClose()
{
    if (inPipe_ > 0)
        transfer_.close(inPipe_);
    if (outPipe_ > 0)
        transfer_.close(outPipe_);
    inPipe_ = outPipe_ = 0;
    if (device_ > 0)
        transfer_.close(device_);
    device_ = 0;
    opened_ = false;
}

bool TSPTUsbC1::UsbWrite(const uint8_t *bytes, int count, int &written)
{
    written = 0;
    if (outPipe_ <= 0 || !bytes || count <= 0)
        return false;
    return transfer_.write(outPipe_, bytes, count, written) == UsbOk;
}

int TSPTUsbC1::UsbRead(uint8_t *buffer, int max)
{
    if (inPipe_ <= 0 || !buffer || max <= 0)
        return 0;
    const int n = transfer_.read(inPipe_, buffer, max);
    return n > 0 ? std::min(n, max) : 0;
}

} // namespace kx9
