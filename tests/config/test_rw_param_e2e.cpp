// "R/Wのパラメータ設定..." end to end: the real communication module against
// kx9sim over loopback TCP, the real dialog answered by the dialog driver.
// What the reader got is read from the simulator's frame log, what it holds
// from its control interface.
#include "rw_fixture.h"
#include "dialog_driver.h"

#include "config/param_io.h"
#include "config/settings_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

using kx9test::DialogAnswer;
using kx9test::DialogDriver;
using kx9test::Hex;
using kx9test::RwHost;
using kx9test::WireFrame;

namespace {

QByteArray simArea(SimProcess &sim, const char *which)
{
    const QString r = sim.control(QStringLiteral("eeprom get %1").arg(QLatin1String(which)));
    return r.startsWith(QLatin1String("OK ")) ? QByteArray::fromHex(r.mid(3).toLatin1()) : QByteArray();
}

QString hexWords(const QByteArray &b) { return QString::fromLatin1(b.toHex().toUpper()); }

// An area write as the reader receives it, from our own frame builder.
QByteArray areaWrite(uint8_t sub, uint8_t first, uint8_t count, const QByteArray &area)
{
    return WireFrame('N', QByteArray() + char(sub) + char(first) + char(count) + area.mid((first - 1) * 2, 2 * count));
}

const char *kModeQuery = "02 00 4F 01 00 03 55 0D";
const char *kRomQuery = "02 00 4F 02 90 00 03 E6 0D";
const char *kArea1Read = "02 00 4F 03 70 01 14 03 DC 0D";
const char *kArea2Word4Read = "02 00 4F 03 72 04 01 03 CE 0D";
const char *kRestart = "02 00 4E 01 9D 03 F1 0D";

} // namespace

class TestRwParamE2e : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void romVersionDecidesArea2_data();
    void romVersionDecidesArea2();
    void anticollisionShownAndWritten_data();
    void anticollisionShownAndWritten();
    void untickedFamilyLeavesItsBits();
    void tagFamilyWritesItsPresets_data();
    void tagFamilyWritesItsPresets();
    void restartFollowsTheReadersMode_data();
    void restartFollowsTheReadersMode();
    void cancelWritesNothing();
    void refusedWriteEndsInNg();
    void readerNotReady_data();
    void readerNotReady();
    void ctrlClickOnThePanelExports();

private:
    int received() const { return int(sim_->receivedFrames().size()); }
    QList<QByteArray> receivedSince(int from) const { return sim_->receivedFrames().mid(from); }
    void setArea1Byte(int byte, uint8_t value);

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<RwHost> host_;
    std::unique_ptr<DialogDriver> driver_;
};

void TestRwParamE2e::init()
{
    sim_ = std::make_unique<SimProcess>();
    QVERIFY2(sim_->start({QStringLiteral("--listen"), QStringLiteral("0")}), qPrintable(sim_->errorString()));
    host_ = std::make_unique<RwHost>(sim_->listenPort());
    QVERIFY(QTest::qWaitFor([this] { return host_->connected(); }, 5000));
    host_->options.fVER121 = 1;
    host_->options.SysMode = 0;
    driver_ = std::make_unique<DialogDriver>();
}

void TestRwParamE2e::cleanup()
{
    if (driver_)
        QVERIFY2(driver_->ok(), qPrintable(driver_->report()));
    driver_.reset();
    host_.reset();
    sim_.reset();
}

void TestRwParamE2e::setArea1Byte(int byte, uint8_t value)
{
    QByteArray a = simArea(*sim_, "area1");
    QCOMPARE(a.size(), 40);
    a[byte] = char(value);
    const int word = byte / 2 + 1;
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area1 %1 %2").arg(word).arg(hexWords(a.mid((word - 1) * 2, 2)))),
             QString("OK"));
}

// ROM 1.21 and later: the RDLOOP boxes and the anticollision choice, and
// area-2 word 4 read and written. ROM 1.20: none of it, and the two
// anticollision bits go back as the reader held them.
void TestRwParamE2e::romVersionDecidesArea2_data()
{
    QTest::addColumn<QString>("rom");
    QTest::addColumn<bool>("area2");
    QTest::newRow("ROM 1.21") << "121 kx9sim" << true;
    QTest::newRow("ROM 1.22") << "122" << true;
    QTest::newRow("ROM 1.20") << "120 kx9sim" << false;
    QTest::newRow("no digits") << "V1.3" << false;
}

void TestRwParamE2e::romVersionDecidesArea2()
{
    QFETCH(QString, rom);
    QFETCH(bool, area2);
    QCOMPARE(sim_->control(QStringLiteral("rom ") + rom), QString("OK"));
    // Inventory interval 高速 with EOF control 10%/100%: neither item of the
    // anticollision choice holds exactly this.
    setArea1Byte(31, 0x1A);
    const QByteArray a1Before = simArea(*sim_, "area1");
    const QByteArray a2Before = simArea(*sim_, "area2");

    bool windowWasEnabled = true, loggingDuring = true;
    DialogAnswer &a = driver_->expect(QStringLiteral("TParamSet3Dlg"));
    a.expectShown(QStringLiteral("EdRetryNum"), QStringLiteral("1"))
        .expectShown(QStringLiteral("EdBlockSize"), QStringLiteral("4"))
        .expectShown(QStringLiteral("RGAntic"), QStringLiteral("0"))
        .expectShown(QStringLiteral("CBSelTag1"), QStringLiteral("0"))
        .then([&](QWidget *dlg) {
            windowWasEnabled = host_->window.isEnabled();
            loggingDuring = host_->logging;
            for (const char *n : {"EdRdStAddr", "EdDataLen", "RGAntic"})
                QCOMPARE(dlg->findChild<QWidget *>(QLatin1String(n))->isEnabled(), area2);
            QVERIFY(!dlg->findChild<QWidget *>(QStringLiteral("RGTagSel"))->isEnabled());
            QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("EdRWID"))->isEnabled());
        })
        .setText(QStringLiteral("EdRetryNum"), QStringLiteral("5"));
    if (area2)
        a.expectShown(QStringLiteral("EdRdStAddr"), QStringLiteral("1")).setText(QStringLiteral("EdRdStAddr"), QStringLiteral("9"));
    a.press(QStringLiteral("OK"));
    const int from = received();
    const int line = int(host_->appLines.size());
    host_->trigger("MnSetPara3");
    QVERIFY(!windowWasEnabled);
    QVERIFY(!loggingDuring);
    QVERIFY(host_->window.isEnabled());
    QVERIFY(host_->logging);

    QByteArray a1 = a1Before, a2 = a2Before;
    a1[22] = 5;
    if (area2) {
        a1[31] = char(0x1E);   // "通常処理": bit 2 set, bit 3 of byte 38 clear
        a2[6] = 9;
    }
    QList<QByteArray> want{Hex(kModeQuery), Hex(kRomQuery), Hex(kArea1Read)};
    if (area2)
        want << Hex(kArea2Word4Read);
    want << areaWrite(0x70, 1, 20, a1);
    if (area2)
        want << areaWrite(0x72, 4, 1, a2);
    want << Hex(kRestart) << Hex(kModeQuery);
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got[i].toHex(' '), want[i].toHex(' '));
    QCOMPARE(simArea(*sim_, "area1").toHex(' '), a1.toHex(' '));
    QCOMPARE(simArea(*sim_, "area2").toHex(' '), a2.toHex(' '));
    QCOMPARE(host_->appLinesSince(line), QStringList{"SET EEPROM : OK"});
    QVERIFY(host_->gating.isEmpty());   // back in command mode: the menus stay as they are
    QCOMPARE(host_->menuProfiles, 0);
}

void TestRwParamE2e::anticollisionShownAndWritten_data()
{
    QTest::addColumn<int>("byte31");
    QTest::addColumn<int>("byte38");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("want31");
    QTest::addColumn<int>("want38");
    QTest::newRow("fast shown, normal chosen") << 0x1A << 0x09 << 1 << 0 << 0x1E << 0x01;
    QTest::newRow("both bits set shows normal, fast chosen") << 0x1E << 0x09 << 0 << 1 << 0x1A << 0x09;
    QTest::newRow("normal kept") << 0x1E << 0x01 << 0 << 0 << 0x1E << 0x01;
}

void TestRwParamE2e::anticollisionShownAndWritten()
{
    QFETCH(int, byte31);
    QFETCH(int, byte38);
    QFETCH(int, shown);
    QFETCH(int, chosen);
    QFETCH(int, want31);
    QFETCH(int, want38);
    setArea1Byte(31, uint8_t(byte31));
    setArea1Byte(38, uint8_t(byte38));
    driver_->expect(QStringLiteral("TParamSet3Dlg"))
        .expectShown(QStringLiteral("RGAntic"), QString::number(shown))
        .setIndex(QStringLiteral("RGAntic"), chosen)
        .press(QStringLiteral("OK"));
    host_->trigger("MnSetPara3");
    const QByteArray a1 = simArea(*sim_, "area1");
    QCOMPARE(int(uint8_t(a1[31])), want31);
    QCOMPARE(int(uint8_t(a1[38])), want38);
}

// Without the family tick, the family bits and the tool's block size stay.
void TestRwParamE2e::untickedFamilyLeavesItsBits()
{
    setArea1Byte(31, 0x5E);   // Timing Register 設定する
    setArea1Byte(38, 0x03);   // threshold for AM
    setArea1Byte(36, 8);
    host_->options.TagBlockSize = 7;
    driver_->expect(QStringLiteral("TParamSet3Dlg"))
        .expectShown(QStringLiteral("RGTagSel"), QStringLiteral("1"))   // bit 1 and block size 8: 富士通
        .setText(QStringLiteral("EdRetryNum"), QStringLiteral("2"))
        .setIndex(QStringLiteral("RGInvTrg"), 1)
        .press(QStringLiteral("OK"));
    const int from = received();
    host_->trigger("MnSetPara3");
    const QByteArray a1 = simArea(*sim_, "area1");
    QCOMPARE(int(uint8_t(a1[31])), 0x5E);
    QCOMPARE(int(uint8_t(a1[38])), 0x23);   // only the trigger input bit changed
    QCOMPARE(int(uint8_t(a1[36])), 8);
    QCOMPARE(int(uint8_t(a1[22])), 2);
    QCOMPARE(host_->options.TagBlockSize, 7);
    for (const QByteArray &f : receivedSince(from))
        QVERIFY2(!(f.size() > 4 && uint8_t(f[4]) == 0x09) && !(f.size() > 4 && uint8_t(f[4]) == 0x19),
                 "no S6700 query or setting without the family tick");
}

void TestRwParamE2e::tagFamilyWritesItsPresets_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("retry");
    QTest::addColumn<bool>("fujitsu");
    QTest::addColumn<QString>("s6700Frame");
    QTest::addColumn<QString>("s6700");
    QTest::newRow("富士通") << QList<int>{1} << 8 << 10 << true << "02 00 4E 02 19 E4 03 52 0D" << "E4";
    QTest::newRow("TI,my-d,フィリップス") << QList<int>{1, 0} << 4 << 3 << false << "02 00 4E 02 19 D4 03 42 0D" << "D4";
}

void TestRwParamE2e::tagFamilyWritesItsPresets()
{
    QFETCH(QList<int>, clicks);
    QFETCH(int, blockSize);
    QFETCH(int, retry);
    QFETCH(bool, fujitsu);
    QFETCH(QString, s6700Frame);
    QFETCH(QString, s6700);
    host_->options.TagBlockSize = 7;
    const QByteArray before = simArea(*sim_, "area1");
    DialogAnswer &a = driver_->expect(QStringLiteral("TParamSet3Dlg"));
    a.setChecked(QStringLiteral("CBSelTag1"), true)
        // Ticking alone changes neither box; the family choice is now open, the others closed.
        .expectShown(QStringLiteral("EdBlockSize"), QStringLiteral("4"))
        .expectShown(QStringLiteral("EdRetryNum"), QStringLiteral("1"))
        .then([](QWidget *dlg) {
            QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("RGTagSel"))->isEnabled());
            for (const char *n : {"EdRWID", "EdRetryNum", "EdBlockSize", "RGAntic", "RGInvAFI", "RGInvTrg",
                                  "RGBuzType", "RGIOPORT3", "RGBRCmd"})
                QVERIFY2(!dlg->findChild<QWidget *>(QLatin1String(n))->isEnabled(), n);
            for (const char *n : {"EdAFI", "EdRdStAddr", "EdDataLen", "RGUseUID1"})
                QVERIFY2(dlg->findChild<QWidget *>(QLatin1String(n))->isEnabled(), n);
        });
    for (int c : clicks)
        a.setIndex(QStringLiteral("RGTagSel"), c);
    a.expectShown(QStringLiteral("EdBlockSize"), QString::number(blockSize))
        .expectShown(QStringLiteral("EdRetryNum"), QString::number(retry))
        .press(QStringLiteral("OK"));
    const int from = received();
    host_->trigger("MnSetPara3");

    QByteArray want = before;
    want[36] = char(blockSize);
    want[22] = char(retry);
    want[31] = char(uint8_t(want[31]) | 0x40);
    want[38] = char(fujitsu ? (uint8_t(want[38]) | 0x02) : (uint8_t(want[38]) & ~0x02));
    QByteArray a1 = simArea(*sim_, "area1");
    want[4] = a1[4];   // the S6700 byte, checked below
    QCOMPARE(a1.toHex(' '), want.toHex(' '));
    QCOMPARE(host_->options.TagBlockSize, blockSize);
    QCOMPARE(int(host_->options.S6700Conf), s6700.toInt(nullptr, 16));
    QCOMPARE(sim_->control(QStringLiteral("get s6700")), QStringLiteral("OK ") + s6700);
    QCOMPARE(int(uint8_t(a1[4])), s6700.toInt(nullptr, 16));   // stored
    // The family is set after the writes and before the restart.
    const QList<QByteArray> got = receivedSince(from);
    const int set = int(got.indexOf(Hex(s6700Frame.toLatin1().constData())));
    QVERIFY2(set > 0, qPrintable(s6700Frame));
    QCOMPARE(got[set - 1].toHex(' '), Hex("02 00 4F 01 09 03 5E 0D").toHex(' '));
    QVERIFY(got.indexOf(Hex(kRestart)) > set);
}

// After the restart the tool follows the mode the reader came back in: the
// toolbar button of that mode pressed, the command menus disabled, and the
// quick switch sent with the flags the reader reported. The TX-off step
// runs inside the action without giving the window or the log back early.
void TestRwParamE2e::restartFollowsTheReadersMode_data()
{
    QTest::addColumn<int>("storedMode");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("switchFrame");
    QTest::newRow("auto-scan") << 0x01 << "TBtSetATRMD" << "02 00 4E 07 00 01 00 18 01 00 05 03 79 0D";
    QTest::newRow("continuous inventory") << 0x50 << "TBtSetTest1Mode" << "02 00 4E 07 00 50 00 18 01 00 05 03 C8 0D";
    QTest::newRow("command mode") << 0x00 << "" << "";
}

void TestRwParamE2e::restartFollowsTheReadersMode()
{
    QFETCH(int, storedMode);
    QFETCH(QString, button);
    QFETCH(QString, switchFrame);
    setArea1Byte(9, uint8_t(storedMode));
    setArea1Byte(8, 0x18);
    host_->options.fInvTxOff = 1;
    host_->options.SysMode = 0x00;   // the tool's copy is older than what the reader holds
    driver_->expect(QStringLiteral("TParamSet3Dlg")).press(QStringLiteral("OK"));
    const int from = received();
    const int line = int(host_->appLines.size());
    host_->trigger("MnSetPara3");

    QList<QByteArray> got = receivedSince(from);
    const int restart = int(got.indexOf(Hex(kRestart)));
    QVERIFY(restart > 0);
    QCOMPARE(got[restart + 1].toHex(' '), Hex(kModeQuery).toHex(' '));
    QCOMPARE(host_->appLinesSince(line), QStringList{"SET EEPROM : OK"});
    QVERIFY(host_->window.isEnabled());
    QVERIFY(host_->logging);
    if (button.isEmpty()) {
        QCOMPARE(got.size(), restart + 2);
        QCOMPARE(host_->menuProfiles, 0);
        QVERIFY(host_->gating.isEmpty());
        for (const char *b : {"TBtSetATRMD", "TBtSetTest1Mode"})
            QVERIFY(!host_->findAction(QLatin1String(b))->isChecked());
        return;
    }
    QCOMPARE(host_->menuProfiles, 1);
    QCOMPARE(host_->gating, QList<bool>{false});
    QVERIFY(host_->findAction(button)->isChecked());
    // Still disabled and quiet at the switch, after the TX-off step's own exchange.
    QCOMPARE(host_->windowEnabledAtGating, QList<bool>{false});
    QCOMPARE(host_->loggingAtGating, QList<bool>{false});
    // The quick switch is not waited for: its frame may still be on its way.
    QVERIFY(QTest::qWaitFor([&] { return receivedSince(from).size() >= restart + 5; }, 3000));
    QTest::qWait(100);
    got = receivedSince(from);
    QCOMPARE(got.size(), restart + 5);
    QCOMPARE(got[restart + 2].toHex(' '), Hex("02 00 4F 01 AB 03 00 0D").toHex(' '));
    QCOMPARE(int(uint8_t(got[restart + 3][4])), 0xAB);
    QCOMPARE(int(uint8_t(got[restart + 3][5])) & 0x18, 0x18);
    QCOMPARE(got[restart + 4].toHex(' '), Hex(switchFrame.toLatin1().constData()).toHex(' '));
    QCOMPARE(int(host_->options.SysMode), 0x18);
    QCOMPARE(sim_->control(QStringLiteral("get mode")),
             QStringLiteral("OK %1 18").arg(QString::number(storedMode, 16).rightJustified(2, QLatin1Char('0')).toUpper()));
}

void TestRwParamE2e::cancelWritesNothing()
{
    const QByteArray a1 = simArea(*sim_, "area1");
    driver_->expect(QStringLiteral("TParamSet3Dlg")).setText(QStringLiteral("EdRWID"), QStringLiteral("9")).pressCancel();
    const int from = received();
    const int line = int(host_->appLines.size());
    host_->trigger("MnSetPara3");
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), 4);
    QCOMPARE(got.last().toHex(' '), Hex(kArea2Word4Read).toHex(' '));
    QCOMPARE(simArea(*sim_, "area1"), a1);
    QCOMPARE(host_->appLinesSince(line), QStringList{"SET EEPROM : OK"});
    QVERIFY(host_->window.isEnabled());
}

// A refused parameter write ends in "SET EEPROM : NG" although the reader
// answers after its restart; the area-2 write is skipped, the restart is not.
void TestRwParamE2e::refusedWriteEndsInNg()
{
    QCOMPARE(sim_->control(QStringLiteral("eeprom nack 1")), QString("OK"));
    const QByteArray a1 = simArea(*sim_, "area1");
    driver_->expect(QStringLiteral("TParamSet3Dlg")).setText(QStringLiteral("EdRWID"), QStringLiteral("0")).press(QStringLiteral("OK"));
    const int from = received();
    const int line = int(host_->appLines.size());
    host_->trigger("MnSetPara3");
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), 7);
    QCOMPARE(got[4], areaWrite(0x70, 1, 20, a1));
    QCOMPARE(got[5].toHex(' '), Hex(kRestart).toHex(' '));
    QCOMPARE(got[6].toHex(' '), Hex(kModeQuery).toHex(' '));
    QCOMPARE(host_->appLinesSince(line), QStringList{"SET EEPROM : NG"});
}

void TestRwParamE2e::readerNotReady_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::newRow("auto-scan") << "mode 01" << "コマンドモードに変更してから、再実行してください" << "SET EEPROM : OK";
    QTest::newRow("silent") << "fault drop 1" << "リーダーライターとの通信が出来ません、接続を確認してください"
                            << "SET EEPROM : NG";
}

void TestRwParamE2e::readerNotReady()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QFETCH(QString, line);
    QCOMPARE(sim_->control(setup), QString("OK"));
    driver_->expectMessage(message).pressStandard(QDialogButtonBox::Ok);
    const int from = received();
    const int at = int(host_->appLines.size());
    host_->trigger("MnSetPara3");
    const QList<QByteArray> got = receivedSince(from);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].toHex(' '), Hex(kModeQuery).toHex(' '));
    QCOMPARE(host_->appLinesSince(at), QStringList{line});
    QVERIFY(host_->window.isEnabled());
}

// Ctrl+click on the panel writes the reader's record to KX9RWConf.KXI beside
// the executable; a click without Ctrl does nothing; the dialog stays open.
void TestRwParamE2e::ctrlClickOnThePanelExports()
{
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("KX9RWConf.KXI"));
    QCOMPARE(kx9::ExportFilePath(), path);
    QFile::remove(path);
    QCOMPARE(sim_->control(QStringLiteral("eeprom set area2 1 7703214365870204A55A3412785634121000BEEF")), QString("OK"));
    bool plainClickWrote = true, ctrlClickWrote = false;
    driver_->expect(QStringLiteral("TParamSet3Dlg"))
        .click(QStringLiteral("Panel1"))
        .then([&](QWidget *) { plainClickWrote = QFile::exists(path); })
        .click(QStringLiteral("Panel1"), Qt::ControlModifier)
        .then([&](QWidget *dlg) { ctrlClickWrote = QFile::exists(path) && dlg->isVisible(); })
        .pressCancel();
    host_->trigger("MnSetPara3");
    QVERIFY(!plainClickWrote);
    QVERIFY(ctrlClickWrote);
    const kx9::ReaderParamBlock b = kx9::ReadSettingsFile(path, true);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(b.area1.data()), 40).toHex(' '), simArea(*sim_, "area1").toHex(' '));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(b.area2.data()), 20).toHex(' '), simArea(*sim_, "area2").toHex(' '));
    QFile::remove(path);
}

QTEST_MAIN(TestRwParamE2e)
#include "test_rw_param_e2e.moc"
