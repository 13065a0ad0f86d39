#include "usb_transfer.h"

#include "ini_file.h"
#include "usb_libusb.h"

#include <QRegularExpression>
#include <libusb.h>

namespace kx9 {

static_assert(int(UsbErrorIo) == int(LIBUSB_ERROR_IO)
              && int(UsbErrorInvalidParam) == int(LIBUSB_ERROR_INVALID_PARAM)
              && int(UsbErrorAccess) == int(LIBUSB_ERROR_ACCESS)
              && int(UsbErrorNoDevice) == int(LIBUSB_ERROR_NO_DEVICE)
              && int(UsbErrorNotFound) == int(LIBUSB_ERROR_NOT_FOUND)
              && int(UsbErrorBusy) == int(LIBUSB_ERROR_BUSY)
              && int(UsbErrorTimeout) == int(LIBUSB_ERROR_TIMEOUT)
              && int(UsbErrorOverflow) == int(LIBUSB_ERROR_OVERFLOW)
              && int(UsbErrorPipe) == int(LIBUSB_ERROR_PIPE)
              && int(UsbErrorInterrupted) == int(LIBUSB_ERROR_INTERRUPTED)
              && int(UsbErrorNoMem) == int(LIBUSB_ERROR_NO_MEM)
              && int(UsbErrorNotSupported) == int(LIBUSB_ERROR_NOT_SUPPORTED)
              && int(UsbErrorOther) == int(LIBUSB_ERROR_OTHER),
              "our error numbers are libusb's");

namespace {
const QString kSection = QStringLiteral("USB");
const QString kIdsKey = QStringLiteral("DeviceIds");

UsbTransferFactory &factory()
{
    static UsbTransferFactory f;
    return f;
}
} // namespace

QString UsbErrorText(int error)
{
    return QStringLiteral("%1 (%2)").arg(error).arg(QString::fromLatin1(libusb_error_name(error)));
}

const char *UsbPipeName(UsbPipe pipe)
{
    return pipe == UsbPipe::Out ? "PIPE00" : "PIPE01";
}

QList<UsbDeviceId> DefaultUsbDeviceIds()
{
    return {UsbDeviceId{0x1209, 0x0001}};
}

QList<UsbDeviceId> ParseUsbDeviceIds(const QString &text, QStringList *bad)
{
    QList<UsbDeviceId> ids;
    static const QRegularExpression sep(QStringLiteral("[,\\s]+"));
    static const QRegularExpression pair(QStringLiteral("^(?:0x)?([0-9A-Fa-f]{1,4}):(?:0x)?([0-9A-Fa-f]{1,4})$"));
    for (const QString &entry : text.split(sep, Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = pair.match(entry);
        if (!m.hasMatch()) {
            if (bad)
                bad->append(entry);
            continue;
        }
        const UsbDeviceId id{uint16_t(m.captured(1).toUInt(nullptr, 16)), uint16_t(m.captured(2).toUInt(nullptr, 16))};
        if (!ids.contains(id))
            ids.append(id);
    }
    return ids;
}

QList<UsbDeviceId> ReadUsbDeviceIds(const QString &iniPath)
{
    IniFile ini;
    ini.load(iniPath);
    const QList<UsbDeviceId> ids = ParseUsbDeviceIds(ini.readString(kSection, kIdsKey, QString()));
    return ids.isEmpty() ? DefaultUsbDeviceIds() : ids;
}

std::unique_ptr<UsbTransfer> MakeUsbTransfer(const QString &iniPath)
{
    if (factory())
        return factory()(iniPath);
    return std::make_unique<LibUsbTransfer>(ReadUsbDeviceIds(iniPath));
}

void SetUsbTransferFactory(UsbTransferFactory f)
{
    factory() = std::move(f);
}

} // namespace kx9
