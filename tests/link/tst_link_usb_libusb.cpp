// The USB link on libusb itself: it starts on a machine without a USB bus
// (or with none of the listed readers) and reports that no reader was found
// with libusb's number and name; the [USB] section's reader IDs; path texts.
#include "link/comm_module.h"
#include "link/main_state.h"
#include "link/text_codec.h"
#include "link/usb_channel.h"
#include "link/usb_device.h"
#include "link/usb_libusb.h"
#include "link_test_util.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kx9;

namespace {
// An ID pair no device carries, so the test finds nothing on a machine that has a bus.
const QList<UsbDeviceId> kNobody{UsbDeviceId{0xFFFF, 0xFFFE}};
} // namespace

Q_DECLARE_METATYPE(QList<kx9::UsbDeviceId>)

class TestLinkUsbLibusb : public QObject {
    Q_OBJECT

private slots:
    void libusbStartsAndFindsNoReader()
    {
        LibUsbTransfer usb(kNobody);
        QCOMPARE(UsbErrorText(usb.initError()), UsbErrorText(UsbOk));
        QStringList paths{"stale"};
        QCOMPARE(usb.listDevices(paths), int(UsbOk));
        QVERIFY(paths.isEmpty());
        QCOMPARE(usb.openDevice(QStringLiteral("USB bus 1 port 1 ID ffff:fffe")), int(UsbErrorNoDevice));
        QCOMPARE(usb.openPipe(QStringLiteral("USB bus 1 port 1 ID ffff:fffe"), UsbPipe::In), int(UsbErrorNoDevice));
        uint8_t buf[4] = {1, 2, 3, 4};
        int written = 7;
        QCOMPARE(usb.read(1, buf, 4), int(UsbErrorInvalidParam));
        QCOMPARE(usb.write(1, buf, 4, written), int(UsbErrorInvalidParam));
        QCOMPARE(written, 0);
        QCOMPARE(buf[0], uint8_t(1));
    }

    void channelOnLibusbLogsTheMissingReader()
    {
        LibUsbTransfer transfer(kNobody);
        QStringList logged;
        TSPTUsbC1 usb(transfer, [&](const QString &l) { logged << l; });
        QCOMPARE(logged, (QStringList{"Failed to open () = -4 (LIBUSB_ERROR_NO_DEVICE)",
                                      "Failed to GetUsbDeviceFileName[-4 (LIBUSB_ERROR_NO_DEVICE)]",
                                      "Failed to GetUsbDeviceFileName[-4 (LIBUSB_ERROR_NO_DEVICE)]"}));
        QVERIFY(!usb.Opened());
        QVERIFY(!usb.PermissionDenied());
    }

    // The module makes the libusb layer from the option file's IDs when no
    // test layer is installed, and asks the port check.
    void moduleUsesLibusbByDefault()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("kx9monitor.ini");
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[USB]\r\nDeviceIds=ffff:fffe\r\n");
        f.close();
        AppOptions opts;
        MainState state;
        kx9test::MemoryLog log;
        LinkConfig cfg;
        cfg.LinkMode = 1;
        CommModule m(cfg, ini, opts, state, &log);
        QStringList events;
        connect(&m, &CommModule::linkOpenFailed, this, [&](const QString &message, const QString &) { events << message; });
        m.SetUsbPortCheck([&](const QString &) {
            events << "port check";
            return UsbPortCheckChoice::Cancel;
        });
        m.Open();
        QCOMPARE(events, (QStringList{"NG : TSPTUsbC1", "port check"}));
        QCOMPARE(log.lines.value(0), QStringLiteral("Failed to open () = -4 (LIBUSB_ERROR_NO_DEVICE)"));
        QVERIFY(m.ToolEndRequested());
        QVERIFY(!m.IsLinkOpen());
        m.Close();
    }

    void deviceIds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<UsbDeviceId>>("ids");
        QTest::addColumn<QStringList>("bad");
        QTest::newRow("one") << "1209:0001" << QList<UsbDeviceId>{{0x1209, 0x0001}} << QStringList{};
        QTest::newRow("several, 0x and blanks")
            << " 0x1234:0xABcd,  04d8:000a 1234:abcd" << QList<UsbDeviceId>{{0x1234, 0xABCD}, {0x04D8, 0x000A}}
            << QStringList{};
        QTest::newRow("bad entries skipped") << "12345:1, 1234, 1:2, zz:01" << QList<UsbDeviceId>{{0x0001, 0x0002}}
                                             << QStringList{"12345:1", "1234", "zz:01"};
        QTest::newRow("empty") << "" << QList<UsbDeviceId>{} << QStringList{};
    }
    void deviceIds()
    {
        QFETCH(QString, text);
        QFETCH(QList<UsbDeviceId>, ids);
        QFETCH(QStringList, bad);
        QStringList gotBad;
        QCOMPARE(ParseUsbDeviceIds(text, &gotBad), ids);
        QCOMPARE(gotBad, bad);
    }

    void deviceIdsFromTheOptionFile()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("kx9monitor.ini");
        // No file, no section, nothing valid: the documented default.
        const QList<UsbDeviceId> def{{0x1209, 0x0001}};
        QCOMPARE(ReadUsbDeviceIds(ini), def);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Option]\r\nUseUSB=1\r\n[USB]\r\nDeviceIds=nonsense\r\n");
        f.close();
        QCOMPARE(ReadUsbDeviceIds(ini), def);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[USB]\r\nDeviceIds=abcd:0002, 1209:0001\r\n");
        f.close();
        QCOMPARE(ReadUsbDeviceIds(ini), (QList<UsbDeviceId>{{0xABCD, 0x0002}, {0x1209, 0x0001}}));
    }

    void pathAndErrorTexts()
    {
        QCOMPARE(LibUsbTransfer::PathText(1, {1, 4}, 9, 0x1209, 0x0001), QStringLiteral("USB bus 1 port 1.4 ID 1209:0001"));
        QCOMPARE(LibUsbTransfer::PathText(3, {}, 7, 0xABCD, 0x00EF), QStringLiteral("USB bus 3 device 7 ID abcd:00ef"));
        QCOMPARE(UsbErrorText(UsbErrorAccess), QStringLiteral("-3 (LIBUSB_ERROR_ACCESS)"));
        QCOMPARE(UsbErrorText(UsbErrorBusy), QStringLiteral("-6 (LIBUSB_ERROR_BUSY)"));
        QCOMPARE(QString::fromLatin1(UsbPipeName(UsbPipe::Out)), QStringLiteral("PIPE00"));
        QCOMPARE(QString::fromLatin1(UsbPipeName(UsbPipe::In)), QStringLiteral("PIPE01"));
    }
};

QTEST_GUILESS_MAIN(TestLinkUsbLibusb)
#include "tst_link_usb_libusb.moc"
