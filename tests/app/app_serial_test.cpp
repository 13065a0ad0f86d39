// Connection setup on a serial link, with the real main window offscreen and
// its real dialogs answered by the dialog driver, against kx9sim on a
// pseudo-terminal (and silent ptys of our own where no reader answers).
#include "app/main_window.h"
#include "app/serial_setup.h"
#include "commands/ttcomxdlg.h"
#include "dialog_driver.h"
#include "link/serial_ports.h"
#include "sim_process.h"
#include "wire_frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using kx9::TKX9AppForm;
using kx9test::DialogDriver;

namespace {

const QString kOpenFailure = QStringLiteral("がオープン出来ません!!\n\n  ポートを及びパラメータ設定を再確認してください。");

// A pty whose far end nobody answers on: what the monitor sends is kept.
class SilentPort {
public:
    SilentPort()
    {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = QString::fromLocal8Bit(name);
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~SilentPort()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    QString path() const { return path_; }
    QByteArray received()
    {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0)
            got_.append(buf, int(n));
        return got_;
    }

private:
    int master_ = -1, slave_ = -1;
    QString path_;
    QByteArray got_;
};

struct SerialRig {
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("kx9monitor.ini"));
    DialogDriver driver;
    std::unique_ptr<TKX9AppForm> window;

    // Only the mapped ports are listed, so no test touches the machine's own serial ports.
    void create(int comPort, const QMap<int, QString> &ports, const QByteArray &more = {})
    {
        QByteArray text = "[Option]\r\nUseUSB=0\r\nComPort=" + QByteArray::number(comPort) + "\r\nComSpeed=0\r\n" + more
            + "[ComPorts]\r\nSystemPorts=0\r\n";
        for (auto it = ports.begin(); it != ports.end(); ++it)
            text += "COM" + QByteArray::number(it.key()) + "=" + it.value().toLocal8Bit() + "\r\n";
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        window = std::make_unique<TKX9AppForm>(ini);
    }
    bool run(int ms = 30000)
    {
        window->show();
        const bool ended = QTest::qWaitFor([this] { return window->startState() == TKX9AppForm::StartState::Running
                                                        || window->startState() == TKX9AppForm::StartState::Ended; },
                                           ms);
        return ended && window->startState() == TKX9AppForm::StartState::Running;
    }
    QStringList log() const
    {
        return window->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"))->toPlainText().split(u'\n');
    }
    QComboBox *combo(const char *name) const { return window->findChild<QComboBox *>(QLatin1String(name)); }
    ~SerialRig()
    {
        if (window)
            window->close();
    }
};

// The ROM version query as it goes on the wire from reader ID 0.
const QByteArray kRomQuery = QByteArray::fromHex("02004F029000");

int countOf(const QByteArray &hay, const QByteArray &needle)
{
    int n = 0;
    for (int i = hay.indexOf(needle); i >= 0; i = hay.indexOf(needle, i + 1))
        ++n;
    return n;
}

} // namespace

class AppSerialTest : public QObject {
    Q_OBJECT
private slots:
    void speedCodesAndModeFlags()
    {
        QCOMPARE(kx9::ListIndexToSpeedCode(0), 1);   // "9600bps"
        QCOMPARE(kx9::ListIndexToSpeedCode(1), 0);   // "19.2kbps"
        QCOMPARE(kx9::ListIndexToSpeedCode(2), 2);
        QCOMPARE(kx9::SpeedCodeToBps(1), 9600);
        QCOMPARE(kx9::SpeedCodeToBps(7), 19200);
        QCOMPARE(kx9::BpsToSpeedCode(57600), 2);
        QCOMPARE(int(kx9::ModeFlagsForSpeed(0x80, 9600)), 0x40);
        QCOMPARE(int(kx9::ModeFlagsForSpeed(0xC0, 19200)), 0x00);
        QCOMPARE(int(kx9::ModeFlagsForSpeed(0x18, 38400)), 0x98);
    }

    void openDialogPreselects_data()
    {
        QTest::addColumn<int>("comPort");
        QTest::addColumn<int>("row");
        QTest::newRow("COM1 is not COM10") << 1 << 0;
        QTest::newRow("COM3") << 3 << 2;
        QTest::newRow("missing port: first entry") << 7 << 0;
    }
    void openDialogPreselects()
    {
        QFETCH(int, comPort);
        QFETCH(int, row);
        kx9::TOpenCom1Dlg dlg;
        dlg.Show({{1, "/dev/ttyS0", "COM1", false}, {10, "/dev/ttyACM1", "COM10", false}, {3, "/dev/ttyS2", "COM3", false}},
                 comPort, 1);
        QCOMPARE(dlg.selectedRow(), row);
        QCOMPARE(dlg.STComPort->text(), dlg.LBComPort->item(row)->text());
        QCOMPARE(dlg.speedCode(), 1);
    }

    // Open without Auto Check: one probe on the configured port, then the
    // reader answers commands; the panel shows the port and speed.
    void startUpOpensTheConfiguredPort()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo"}), qPrintable(sim.errorString()));
        SerialRig rig;
        rig.create(5, {{5, sim.ptyPath()}});
        rig.driver.expect(QStringLiteral("TOpenCom1Dlg"))
            .expectShown(QStringLiteral("STComPort"), QStringLiteral("COM5 (%1)").arg(sim.ptyPath()))
            .expectShown(QStringLiteral("RGComSpeed"), QStringLiteral("1"))
            .pressOk();
        QVERIFY2(rig.run(), qPrintable(rig.driver.report()));
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        QVERIFY2(rig.log().contains(QStringLiteral("Find KX9 R/W")), qPrintable(rig.log().join(u'\n')));
        QCOMPARE(countOf(sim.frameLog(), "RX 02 00 4F 02 90 00"), 1);
        QCOMPARE(rig.combo("CBCOMPort")->currentData().toInt(), 5);
        QCOMPARE(rig.combo("CBSpeed")->currentText(), QStringLiteral("19.2kbps"));
        kx9::TTComXDlg *c = rig.window->comm();
        QVERIFY(c->RomVersionQuery());
        QVERIFY(c->WaitAck());

        // A burst of text reports larger than the receive ring and the pty's
        // own buffer: every one arrives, in order, none garbled.
        QStringList texts;
        c->SetTextReportDecoder([&](const QByteArray &t) { texts << QString::fromLatin1(t); });
        const int count = 5500;
        QByteArray burst;
        for (int i = 0; i < count; ++i)
            burst += kx9test::WireFrame('D', QByteArray::number(i).rightJustified(6, '0'), 1);
        QVERIFY(burst.size() > 64 * 1024);
        QCOMPARE(sim.control("send " + QString::fromLatin1(burst.toHex())), QStringLiteral("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(texts.size() >= count, 30000);
        QCOMPARE(texts.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(texts[i].toInt(), i);
        QCOMPARE(rig.log().count(QStringLiteral("SUM EEROR")), 0);
    }

    // Auto Check: a port that cannot be opened is reported and passed over,
    // a silent port gets a probe at every speed, and the reader is found on
    // the next port at its own speed.
    void autoCheckScansPortsAndSpeeds()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo"}), qPrintable(sim.errorString()));
        SilentPort silent;
        QVERIFY(!silent.path().isEmpty());
        SerialRig rig;
        // A folder exists but is no serial port: opening it fails.
        rig.create(2, {{2, rig.dir.path()}, {3, silent.path()}, {4, sim.ptyPath()}});
        rig.driver.setAnswerTimeout(30000);
        rig.driver.expect(QStringLiteral("TOpenCom1Dlg")).setChecked(QStringLiteral("CBAutoCheck")).pressOk();
        rig.driver.expectMessage(QStringLiteral("COM2") + kOpenFailure).pressOk();
        rig.driver.tolerate(QStringLiteral("WaitBox"));
        QVERIFY2(rig.run(40000), qPrintable(rig.driver.report()));
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        const QStringList log = rig.log();
        const int found = log.indexOf(QStringLiteral("Find KX9 R/W "));
        QVERIFY2(found >= 0, qPrintable(log.join(u'\n')));
        QCOMPARE(log.value(found + 1), QStringLiteral("PORT:4"));
        QCOMPARE(log.value(found + 2), QStringLiteral("Speed:19200"));
        // COM3 at 9600, 19200, 38400; COM4 heard noise at 9600, then answered at 19200.
        QCOMPARE(countOf(silent.received(), kRomQuery), 3);
        const QByteArray simLog = sim.frameLog();
        QCOMPARE(countOf(simLog, "RX 02 00 4F 02 90 00"), 2);   // the scan's find and the start-up probe
        QVERIFY2(simLog.contains("RX? "), simLog.constData());
        QVERIFY(simLog.indexOf("RX? ") < simLog.indexOf("RX 02 00 4F 02 90 00"));
    }

    void checkPortsWithNothingAttached()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo"}), qPrintable(sim.errorString()));
        SerialRig rig;
        QMap<int, QString> ports;
        for (int n = 1; n <= 10; ++n)
            ports[n] = rig.dir.path();
        ports[11] = sim.ptyPath();
        rig.create(11, ports);
        rig.driver.expect(QStringLiteral("TOpenCom1Dlg")).pressOk();
        QVERIFY2(rig.run(), qPrintable(rig.driver.report()));
        for (int n = 1; n <= 10; ++n)
            rig.driver.expectMessage(QStringLiteral("COM%1").arg(n) + kOpenFailure).pressOk();
        rig.window->findChild<QAction *>(QStringLiteral("MnChkPort"))->trigger();
        QVERIFY2(rig.driver.ok(), qPrintable(rig.driver.report()));
        QCOMPARE(rig.driver.pendingAnswers(), 0);
        const QStringList log = rig.log();
        int at = log.indexOf(QStringLiteral("------- Check KX9 R/W ---------- "));
        QVERIFY(at >= 0);
        QCOMPARE(log.value(at + 1), QStringLiteral("------- しばらくお待ちください ---------- "));
        for (int n = 1; n <= 10; ++n)
            QCOMPARE(log.value(at + 1 + n), QStringLiteral("Check PORT:%1").arg(n));
        QCOMPARE(log.value(at + 12), QStringLiteral("Not Find KX9 R/W "));
        QCOMPARE(rig.combo("CBCOMPort")->currentIndex(), -1);
        QCOMPARE(rig.combo("CBSpeed")->currentIndex(), -1);
    }

    // 19200 -> 9600: the stored mode flags get bit 6, the reader restarts, and
    // the port reopens at the new speed, where the reader answers again.
    void readerSpeedChange()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo"}), qPrintable(sim.errorString()));
        SerialRig rig;
        rig.create(5, {{5, sim.ptyPath()}});
        rig.driver.expect(QStringLiteral("TOpenCom1Dlg")).pressOk();
        QVERIFY2(rig.run(), qPrintable(rig.driver.report()));
        rig.window->findChild<QAction *>(QStringLiteral("Mn9600bps"))->trigger();
        const QByteArray simLog = sim.frameLog();
        QVERIFY2(simLog.contains("RX 02 00 4E 07 10 00 00 58 01 00 05"), simLog.constData());
        QVERIFY2(simLog.contains("RX 02 00 4E 01 9D"), simLog.constData());
        QCOMPARE(sim.control("get speed"), QStringLiteral("OK 9600"));
        QCOMPARE(rig.combo("CBSpeed")->currentText(), QStringLiteral("9600bps"));
        QCOMPARE(rig.window->appOptions().ComSpeed, 1);
        kx9::TTComXDlg *c = rig.window->comm();
        QVERIFY(c->RomVersionQuery());
        QVERIFY(c->WaitAck());
    }

    void fastSpeedRefusedOnAnOldRom()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--pty", "--demo", "--rom", "120 old"}), qPrintable(sim.errorString()));
        SerialRig rig;
        rig.create(5, {{5, sim.ptyPath()}});
        rig.driver.expect(QStringLiteral("TOpenCom1Dlg")).pressOk();
        QVERIFY2(rig.run(), qPrintable(rig.driver.report()));
        const int before = sim.frameLog().size();
        rig.window->findChild<QAction *>(QStringLiteral("Mn384kbps"))->trigger();
        QVERIFY(rig.log().contains(QStringLiteral("このROMバージョンは対応していません")));
        const QByteArray after = sim.frameLog().mid(before);
        QCOMPARE(countOf(after, "RX "), 1);   // the version query, nothing else
        QVERIFY(after.contains("RX 02 00 4F 02 90 00"));
        QCOMPARE(sim.control("get speed"), QStringLiteral("OK 19200"));
    }
};

QTEST_MAIN(AppSerialTest)
#include "app_serial_test.moc"
