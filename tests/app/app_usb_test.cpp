// Start-up on the USB link with the real main window offscreen, its dialogs
// answered by the dialog driver, and the tests' USB bus with kx9sim's reader
// model behind it: the port check dialog's three buttons ("再試行" that works
// the second time or ends the tool, "ＣＯＭポート" onto kx9sim on a pty,
// "キャンセル"), then a ReadSingleBlock and an auto-scan report flood through
// the USB link into the log and the grid.
#include "../link/tst_link_usb_fake.h"
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/tag_grid.h"
#include "commands/ttcomxdlg.h"
#include "dialog_driver.h"
#include "link/usb_channel.h"
#include "link/usb_device.h"
#include "sim_process.h"
#include "wire_frame.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using kx9::TKX9AppForm;
using kx9test::FakeUsbBus;

namespace {

const QString kReader = QStringLiteral("USB bus 2 port 1.3 ID 1209:0001");
const QByteArray kRomQuery = kx9test::WireFrame('O', QByteArray::fromHex("9000"));

QStringList openedLines(const QString &path)
{
    return {"DeviceName = (" + path + ")\n", "DeviceName = (" + path + "\\PIPE01)", "Opened successfully.",
            "DeviceName = (" + path + "\\PIPE00)", "Opened successfully."};
}
QStringList busyLines(const QString &path)
{
    return {"Failed to open (" + path + ") = -6 (LIBUSB_ERROR_BUSY)",
            "Failed to GetUsbDeviceFileName[-6 (LIBUSB_ERROR_BUSY)]",
            "Failed to GetUsbDeviceFileName[-6 (LIBUSB_ERROR_BUSY)]"};
}

struct UsbRig {
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("kx9monitor.ini"));
    FakeUsbBus bus;
    kx9test::DialogDriver driver;
    std::unique_ptr<TKX9AppForm> window;

    // UseUSB=1 starts with the LAN connection dialog (confirmed here), then opens the reader.
    void start(const QByteArray &more = {})
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Option]\r\nUseUSB=1\r\nfUseGrobalIP=1\r\nfMenuDisp=1\r\nTagBlockSize=4\r\nfDufaultTab=1\r\n" + more
                + "[ComDebug]\r\nfDispTxInfo=1\r\nfDispRecInfo=1\r\n");
        f.close();
        window = std::make_unique<TKX9AppForm>(ini);
        driver.expect(QStringLiteral("TSetTCPIPDlg")).press(QStringLiteral("接続"));
    }
    // Shows the window and waits until start-up has run or ended.
    TKX9AppForm::StartState run()
    {
        window->show();
        (void)QTest::qWaitFor([this] {
            return window->startState() == TKX9AppForm::StartState::Running
                || window->startState() == TKX9AppForm::StartState::Ended;
        }, 20000);
        return window->startState();
    }
    // The port check as the operator sees it: caption, message and the three buttons.
    void expectPortCheck(const QString &button, std::function<void()> meanwhile = {})
    {
        driver.expectMessage(QStringLiteral("NG : TSPTUsbC1")).pressOk();
        driver.expect(QStringLiteral("TPortCheck1"))
            .expectShown(QStringLiteral("Label1"), QStringLiteral("ポートが開けません！！"))
            .then([meanwhile](QWidget *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("ポートのチェック"));
                for (const char *name : {"BtRetry", "BtComPort", "BtCancel"})
                    QVERIFY(d->findChild<QWidget *>(QLatin1String(name)));
                // Nothing to add when the cause is not a permission.
                QVERIFY(!d->findChild<QWidget *>(QStringLiteral("LbReason"))->isVisible());
                if (meanwhile)
                    meanwhile();
            })
            .press(button);
    }
    QStringList log() const { return window->logPane()->lines(); }
};

int countOf(const QStringList &lines, const QString &line)
{
    return int(lines.count(line));
}

} // namespace

class TestAppUsb : public QObject {
    Q_OBJECT

private slots:
    void retryWorksTheSecondTime()
    {
        UsbRig rig;
        FakeUsbBus::Device &dev = rig.bus.addReader(kReader);
        dev.openError = kx9::UsbErrorBusy;
        rig.start();
        int claimsDuringDialog = -1;
        rig.expectPortCheck(QStringLiteral("再試行"), [&] {
            claimsDuringDialog = dev.claims;
            dev.openError = kx9::UsbOk;   // the other program let go of the reader
        });
        QCOMPARE(rig.run(), TKX9AppForm::StartState::Running);
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        QCOMPARE(claimsDuringDialog, 0);
        QCOMPARE(rig.window->comm()->LinkMode(), 1);
        QVERIFY(!rig.window->comm()->IsLinkOpen());
        const QStringList log = rig.log();
        const QStringList expected = busyLines(kReader) + openedLines(kReader);
        const int at = int(log.indexOf(expected.first()));
        QVERIFY2(at >= 0, qPrintable(log.join('\n')));
        // The line break after the device's name shows as an empty line in the log.
        QStringList shown;
        for (const QString &l : expected)
            shown << l.split('\n');
        QCOMPARE(log.mid(at, shown.size()), shown);

        // The reader answers through the reopened pipes.
        QVERIFY(rig.window->comm()->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray::fromHex("9000")));
        QVERIFY(rig.window->comm()->WaitAck());
        QCOMPARE(dev.written, kRomQuery);

        rig.window->close();
        QCOMPARE(dev.claims, 0);
        QCOMPARE(rig.bus.transfersAlive(), 0);
    }

    void retryThatFailsAgainEndsTheTool()
    {
        UsbRig rig;
        rig.bus.addReader(kReader).openError = kx9::UsbErrorBusy;
        rig.start();
        rig.expectPortCheck(QStringLiteral("再試行"));
        QCOMPARE(rig.run(), TKX9AppForm::StartState::Ended);
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(countOf(rig.log(), busyLines(kReader).first()), 2);
    }

    void cancelEndsTheTool()
    {
        UsbRig rig;
        rig.start();   // no reader on the bus at all
        rig.expectPortCheck(QStringLiteral("キャンセル"));
        QCOMPARE(rig.run(), TKX9AppForm::StartState::Ended);
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        QVERIFY(!rig.window->isVisible());
        QVERIFY(rig.log().contains(QStringLiteral("Failed to open () = -4 (LIBUSB_ERROR_NO_DEVICE)")));
        QVERIFY(!rig.log().contains(QStringLiteral("Opened successfully.")));
        QCOMPARE(rig.bus.transfersAlive(), 0);
        // The options are still written on the way out.
        QFile f(rig.ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("UseUSB=1"));
    }

    // A reader the system will not let us open: the log line and the dialog say why and what to do.
    void permissionRefusalIsExplained()
    {
        UsbRig rig;
        rig.bus.addReader(kReader).openError = kx9::UsbErrorAccess;
        rig.start();
        QString reason;
        bool reasonShown = false;
        rig.driver.expectMessage(QStringLiteral("NG : TSPTUsbC1")).pressOk();
        rig.driver.expect(QStringLiteral("TPortCheck1"))
            .then([&](QWidget *d) {
                auto *label = d->findChild<QLabel *>(QStringLiteral("LbReason"));
                QVERIFY(label);
                reason = label->text();
                reasonShown = label->isVisible();
            })
            .press(QStringLiteral("キャンセル"));
        QCOMPARE(rig.run(), TKX9AppForm::StartState::Ended);
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        QCOMPARE(reason, kx9::TSPTUsbC1::PermissionHint());
        QVERIFY(reasonShown);
        const QStringList log = rig.log();
        const int at = int(log.indexOf("Failed to open (" + kReader + ") = -3 (LIBUSB_ERROR_ACCESS)"));
        QVERIFY2(at >= 0, qPrintable(log.join('\n')));
        QCOMPARE(log.value(at + 1), kx9::TSPTUsbC1::PermissionHint());
    }

    void comPortButtonOpensTheSerialLink()
    {
        SimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--pty")}), qPrintable(sim.errorString()));
        UsbRig rig;
        rig.start("ComPort=5\r\nComSpeed=0\r\n[ComPorts]\r\nSystemPorts=0\r\nCOM5=" + sim.ptyPath().toLocal8Bit() + "\r\n");
        rig.expectPortCheck(QStringLiteral("ＣＯＭポート"));
        QCOMPARE(rig.run(), TKX9AppForm::StartState::Running);
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        kx9::TTComXDlg *comm = rig.window->comm();
        QCOMPARE(comm->LinkMode(), 0);
        QVERIFY(!comm->UsbLink());
        QVERIFY(comm->IsLinkOpen());
        QCOMPARE(comm->SerialPortNo(), 5);
        QCOMPARE(rig.bus.transfersAlive(), 0);
        // The panel is the serial one, on COM5.
        QVERIFY(rig.window->findAction(QStringLiteral("MnSetCOMPort"))->isVisible());
        QVERIFY(comm->SendCommand(QStringLiteral("ＲＯＭのバージョン情報"), 'O', QByteArray::fromHex("9000")));
        QVERIFY(comm->WaitAck());
        QVERIFY(sim.frameLog().contains("RX " + kRomQuery.toHex(' ').toUpper()));
    }

    // A command from the menu and a flood of autonomous reports, all through
    // the 64-byte polls: every report the reader sent is counted in the grid.
    void readSingleBlockAndReportFloodReachTheGrid()
    {
        UsbRig rig;
        FakeUsbBus::Device &dev = rig.bus.addReader(kReader);
        // Ten tags of 19-byte reports every 200 ms: more than the 640 bytes a
        // second that one 64-byte read per poll takes, so input queues up.
        QStringList uids;
        for (int i = 0; i < 10; ++i)
            uids << QStringLiteral("E0040100123456%1").arg(i, 2, 10, QLatin1Char('0'));
        for (int i = 0; i < uids.size(); ++i)
            QVERIFY(dev.control("tag add " + uids[i] + " bs=4 blocks=28 text=HEADDAT" + QString::number(i))
                        .startsWith("OK"));
        rig.start();
        QCOMPARE(rig.run(), TKX9AppForm::StartState::Running);
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));

        // ReadSingleBlock (Ctrl+F4) on block 1 of the one tag left in the field.
        for (int i = 1; i < uids.size(); ++i)
            QVERIFY(dev.control("tag remove " + uids[i]).startsWith("OK"));
        QVERIFY(dev.control("block set " + uids[0] + " 1 41424344").startsWith("OK"));
        rig.driver.expect(QStringLiteral("TInputIntDlg")).setText(QStringLiteral("IntEd"), QStringLiteral("1")).press(QStringLiteral("OKBtn"));
        rig.window->findAction(QStringLiteral("MnReadSingleBlock"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("data: ABCD")), 5000);
        QVERIFY(rig.log().contains(QStringLiteral("ISO15693_ReadSingleBlock受信")));
        QCOMPARE(dev.simFrames("RX").last(), kx9test::WireFrame('x', QByteArray::fromHex("200100")));

        // Auto-scan with UID and data, every tag on every cycle, for a while.
        for (int i = 1; i < uids.size(); ++i)
            QVERIFY(dev.control("tag add " + uids[i] + " bs=4 blocks=28 text=HEADDAT" + QString::number(i))
                        .startsWith("OK"));
        // No hold between two reads of one tag (R/W ID byte 28 stays 0, the hold is byte 29).
        QVERIFY(dev.control("eeprom set area1 15 0000").startsWith("OK"));
        QVERIFY(dev.control("mode 01 2C").startsWith("OK"));
        QTest::qWait(1500);
        QVERIFY(dev.control("mode 00").startsWith("OK"));
        const auto reports = [&] {
            int n = 0;
            for (const QByteArray &f : dev.simFrames("TX"))
                n += f.size() > 2 && f.at(2) == 'd';
            return n;
        };
        const int sent = reports();
        // The reader ran ahead of the polls: its reports wait in the USB layer, none dropped.
        const qsizetype backlog = dev.in.size();
        QVERIFY2(backlog > 2 * 64, qPrintable(QString::number(backlog)));
        QVERIFY2(sent >= 2 * uids.size(), qPrintable(QString::number(sent)));
        QTRY_VERIFY_WITH_TIMEOUT(dev.in.isEmpty(), 30000);
        auto counted = [&] {
            int n = 0;
            for (int row = 1; row < rig.window->grid()->rowCount(); ++row)
                n += rig.window->grid()->cell(row, 1).toInt();
            return n;
        };
        QTRY_COMPARE_WITH_TIMEOUT(counted(), sent, 3000);
        // One row per tag, each with its own data (block 1: "DATn", the first
        // tag's rewritten "ABCD"), and not one frame broken on the way.
        QStringList data, expectedData{QStringLiteral("ABCD")};
        for (int i = 0; i < uids.size(); ++i) {
            data << rig.window->grid()->cell(i + 1, 2);
            if (i > 0)
                expectedData << QStringLiteral("DAT%1").arg(i);
        }
        data.sort();
        QCOMPARE(data, expectedData);
        QVERIFY(rig.window->grid()->cell(uids.size() + 1, 2).isEmpty());
        for (const QString &bad : {QStringLiteral("SUM EEROR"), QStringLiteral("ERROR： NO CR_CODE"),
                                   QStringLiteral("レスポンスフォーマットエラー")})
            QCOMPARE(countOf(rig.log(), bad), 0);
    }
};

QTEST_MAIN(TestAppUsb)
#include "app_usb_test.moc"
