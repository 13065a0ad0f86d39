// Every action of "ゲート用コマンド" and "W30用コマンド" end to end: the real
// main window, the real dialogs filled by the dialog driver, kx9sim's gate as
// the peer. Each case checks the frames on the wire (written out in full),
// what the dialog showed after its read, and the gate's state after a write.
#include "gate_e2e.h"

#include <QPushButton>

using gate_e2e::GateMonitor;

namespace {

QByteArray hex(const char *h) { return QByteArray::fromHex(h); }

// A click on a button that keeps its dialog open; returns when its work (a
// command and its reply wait) is done.
std::function<void(QWidget *)> clickButton(const char *name)
{
    return [name](QWidget *dlg) {
        auto *b = dlg->findChild<QPushButton *>(QLatin1String(name));
        QVERIFY(b);
        b->click();
    };
}

} // namespace

class TestGateE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void operatingMode();
    void operatingModeReadFails();
    void memorySwitches();
    void displayAndOutputsW20();
    void displayAndOutputsW30();
    void sensorStates();
    void sensorDialogStaysShutWhenTheIoRequestFails();
    void rawEepromWriteAndRead();
    void melodyAndLamps();
    void ioBoardEepromInit();
    void speakerVolume();
    void speedAndRestart();
    void romVersionModelNameAndProgrammingMode();
    void countingMode();
    void counterValuesW20();
    void counterValuesW30();
    void timingReset();

private:
    bool logHas(const QString &line) const { return m_->log().contains(line); }
    // The driver's failures of this case only.
    bool driverOk() const { return m_->driver.failures().size() == failuresBefore_ && m_->driver.pendingAnswers() == 0; }
    QString driverReport() const { return m_->driver.report() + QStringLiteral("\nlog:\n") + m_->log().join(u'\n'); }
    qsizetype failuresBefore_ = 0;
    std::unique_ptr<GateMonitor> m_;
};

void TestGateE2e::initTestCase()
{
    m_ = std::make_unique<GateMonitor>();
    QVERIFY2(m_->ok, qPrintable(m_->error));
}

void TestGateE2e::init()
{
    QVERIFY(m_->freshGate(false));
    m_->clearLog();
    failuresBefore_ = m_->driver.failures().size();
}

void TestGateE2e::cleanupTestCase() { m_.reset(); }

void TestGateE2e::operatingMode()
{
    // Bit 7 has no group: a gate that reads 0x80 gets it back.
    QVERIFY(m_->comm().G_SetModeCmd(0x80));
    m_->driver.expect("TGDousaModeDlg")
        .expectShown("RG_bit01", "0")
        .expectShown("RG_bit4", "0")
        .expectShown("RG_bit6", "0")
        .setIndex("RG_bit01", 3)
        .setIndex("RG_bit4", 1)
        .press("OKBtn");
    QCOMPARE(m_->run("MnGateMode", 2), (QStringList{"0201470100034E0D", "02014702209303020D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QCOMPARE(m_->gateGet("mode"), QStringLiteral("93"));
    QVERIFY(logHas("OK: GateGetModeCmd"));
    QVERIFY(logHas("OK: GateSetModeCmd"));

    // Cancel: the read only.
    m_->driver.expect("TGDousaModeDlg").expectShown("RG_bit01", "3").expectShown("RG_bit4", "1").press("CancelBtn");
    QCOMPARE(m_->run("MnGateMode", 1), (QStringList{"0201470100034E0D"}));
    QCOMPARE(m_->gateGet("mode"), QStringLiteral("93"));
}

void TestGateE2e::operatingModeReadFails()
{
    QCOMPARE(m_->sim.control("fault nack 44"), QString("OK"));
    QCOMPARE(m_->run("MnGateMode", 1), (QStringList{"0201470100034E0D"}));
    QVERIFY(logHas("Error: GateGetModeCmd"));
    QVERIFY(!logHas("OK: GateGetModeCmd"));
    QVERIFY2(driverOk(), qPrintable(driverReport()));   // no dialog came up
}

void TestGateE2e::memorySwitches()
{
    // Words 1-7 with the bits no control covers set (word 3 L bit 3, word 4 L
    // bit 4, word 5 H bit 0, word 6 H bit 7, word 7 bits 4-15), and an in
    // voice of 9, which a W20's 8-entry list does not have.
    QVERIFY(m_->comm().GateSetEEPROMCmd(1, 7, hex("5151242898105123532524 94C4AB")));
    m_->driver.expect("TGEEPROMDlg")
        .expectShown("EEP1_Lbit012", "1")
        .expectShown("EEP1_Lbit34", "2")
        .expectShown("EEP3_Lbit4567", " [-1]")
        .expectShown("EEP3_Hbit0123", "00h:おはようございます [0]")
        .expectShown("EEP3_Hbit4567", "01h:ピンポンパンポン(音階：右下り) [1]")
        .expectShown("EEP4_Hbit0123", "3")
        .expectShown("EEP6_Hbit4", "1")
        .expectShown("EdVolume", "4")
        .setIndex("EEP1_Lbit34", 3)
        .setIndex("EEP3_Hbit0123", 2)
        .setText("EEP4_Hbit0123", "7")
        .press("OKBtn");
    QCOMPARE(m_->run("MnGeteEEPROM", 2),
             (QStringList{"0201470301010703590D", "02014711210107595124289812512753252494C4AB033E0D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QVERIFY(logHas("OK: GateGetEEPROMCmd"));
    QVERIFY(logHas("OK: GateSetEEPROMCmd"));
    // The gate holds what was written: the voice of 9 and every uncovered bit as they were.
    QByteArray words;
    QVERIFY(m_->comm().GateGetEEPROMCmd(1, 7, words));
    QCOMPARE(words, hex("595124289812512753252494C4AB"));

    // A refused write says so.
    m_->clearLog();
    m_->driver.expect("TGEEPROMDlg").then([this](QWidget *) { m_->sim.control("fault nack 44"); }).press("OKBtn");
    QCOMPARE(m_->run("MnGeteEEPROM", 2).size(), 2);
    QVERIFY(logHas("NG: GateSetEEPROMCmd"));
}

void TestGateE2e::displayAndOutputsW20()
{
    QVERIFY(m_->comm().GateSetDispOutStateCmd_22(hex("81F0")));
    m_->driver.expect("TGDispOutStateDlg")
        .expectShown("DOS1_bit0", "1")
        .expectShown("DOS1_bit7", "1")
        .expectShown("DOS2_bit0", "0")
        .setIndex("DOS1_bit0", 0)
        .setIndex("DOS1_bit1", 1)
        .setIndex("DOS2_bit1", 1)
        .press("OKBtn");
    // Byte 2 bits 4-7 have no group on a W20 and go back as read.
    QCOMPARE(m_->run("MnGateDispOutSate", 2), (QStringList{"020147010203500D", "020147032282F203E60D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QCOMPARE(m_->gateGet("out"), QStringLiteral("82F200"));
    QVERIFY(logHas("OK:GateGetDispOutStateCmd"));
    QVERIFY2(logHas("OK: GateSetDispOutStateCmd"), qPrintable(m_->log().join(u'\n')));
}

void TestGateE2e::displayAndOutputsW30()
{
    QVERIFY(m_->freshGate(true));
    QVERIFY(m_->comm().GateSetDispOutStateCmd_26(hex("01E0A5")));
    m_->driver.expect("TGDispOutStateDlg")
        .expectShown("DOS1_bit0", "1")
        .expectShown("DOS2_bit7", "1")
        .expectShown("DOS3_bit0", "1")
        .expectShown("DOS3_bit1", "0")
        .setIndex("DOS1_bit3", 1)
        .setIndex("DOS2_bit7", 0)
        .setIndex("DOS3_bit1", 1)
        .press("OKBtn");
    // Byte 3 bits 4-7 (A) as read.
    QCOMPARE(m_->run("MnW30outinfo", 2), (QStringList{"020147010803560D", "02014704260960A703870D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QCOMPARE(m_->gateGet("out"), QStringLiteral("0960A7"));
    QVERIFY2(logHas("OK: GateSetDispOutStateCmd"), qPrintable(m_->log().join(u'\n')));

    // A W20 has no three-byte query: the read fails and no dialog opens.
    QVERIFY(m_->freshGate(false));
    m_->options().fW30 = 1;
    m_->clearLog();
    QCOMPARE(m_->run("MnW30outinfo", 1), (QStringList{"020147010803560D"}));
    QVERIFY(logHas("NG:GateGetDispOutStateCmd"));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
}

void TestGateE2e::sensorStates()
{
    QVERIFY(m_->freshGate(true));
    QCOMPARE(m_->sim.control("gate sensors 01 A5 2A 01"), QString("OK"));
    m_->driver.expect("TSensorStateDlg")
        .expectShown("SW_bit0", "1")
        .expectShown("ST_DIPSW", "A5")
        .expectShown("IO_bit0", "0")
        .expectShown("IO_bit1", "1")
        .expectShown("IO_bit5", "1")
        .expectShown("Person_bit0", "1")
        .press("OKBtn");
    QCOMPARE(m_->run("MnSensorState", 3), (QStringList{"020147010303510D", "020147010403520D", "020147010503530D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    for (const char *l : {"OK:GateGetSwSensorCmd", "OK:GateGetIoSensorCmd", "OK:GateGetPersonSensorCmd"})
        QVERIFY2(logHas(l), l);
}

void TestGateE2e::sensorDialogStaysShutWhenTheIoRequestFails()
{
    // The switch sensor's answer is held back 1.5 s; meanwhile the next answer
    // (the I/O sensor's) is made a NACK.
    QCOMPARE(m_->sim.control("fault delay 1500 1"), QString("OK"));
    QTimer::singleShot(400, [this] { m_->sim.control("fault nack 44"); });
    QCOMPARE(m_->run("MnSensorState", 2), (QStringList{"020147010303510D", "020147010403520D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    const QStringList log = m_->log();
    const int sw = log.indexOf("OK:GateGetSwSensorCmd"), io = log.indexOf("NG:GateGetIoSensorCmd"),
              person = log.indexOf("NG:GateGetPersonSensorCmd");
    QVERIFY2(sw >= 0 && io > sw && person > io, qPrintable(log.join('\n')));
}

void TestGateE2e::rawEepromWriteAndRead()
{
    // Both items are hidden by the menu profile; their actions work all the same.
    m_->driver.expect("TEEPROM_WriteDlg")
        .expectShown("EdString", "")
        .setText("IntEd1", "3")
        .setText("IntEd2", "2")
        .setText("EdString", "1234")
        .then(clickButton("Bt_EEPROM_Write"))
        .press("CancelBtn");
    QCOMPARE(m_->run("MnGateEEPROM_WRITE", 1), (QStringList{"020147072103023412341203060D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QByteArray words;
    QVERIFY(m_->comm().GateGetEEPROMCmd(2, 3, words));
    QCOMPARE(words, hex("2428 3412 3412"));

    m_->driver.expect("TEEPROM_ReadDlg")
        .setText("IntEd1", "3")
        .setText("IntEd2", "2")
        .then(clickButton("Bt_EEPROM_Read"))
        .expectShown("EdString", "34 12 34 12 ")
        .press("OKBtn");
    QCOMPARE(m_->run("MnGateEEPROM_READ", 1), (QStringList{"0201470301030203560D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
}

void TestGateE2e::melodyAndLamps()
{
    m_->driver.expect("TGBuzLedDlg")
        .expectShown("CB_CmdMode", "メロディ使用 [2]")
        .expectShown("EdTime", "150")
        .expectShown("CBLanpMode", "制御しない [0]")
        .press("OKBtn");
    // Sent with reader ID 0, as a raw gate command.
    QCOMPARE(m_->run("MnMelodyLEDCmd", 1), (QStringList{"020047072A02000000960003150D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QVERIFY(!logHas("NACK 受信"));
    QVERIFY(!logHas("レスポンス待ち　タイムオーバー"));
    // Cancel sends nothing.
    m_->driver.expect("TGBuzLedDlg").press("CancelBtn");
    QCOMPARE(m_->run("MnMelodyLEDCmd", 0), QStringList());
}

void TestGateE2e::ioBoardEepromInit()
{
    QVERIFY(m_->comm().GateSetEEPROMCmd(1, 1, hex("0000")));
    m_->options().fW30 = 1;
    QCOMPARE(m_->run("IOBEEPROMCmd", 1), (QStringList{"020047019103DE0D"}));
    // The gate is back at its factory words.
    QByteArray words;
    QVERIFY(m_->comm().GateGetEEPROMCmd(1, 1, words));
    QCOMPARE(words, hex("5151"));
}

void TestGateE2e::speakerVolume()
{
    QVERIFY(m_->freshGate(true));
    m_->driver.expect("TInputIntDlg")
        .expectShown("STTitle", "電子ボリューム値（0:OFF, 8:Max）[書き込みは、内部EEPROM値へ]")
        .expectShown("IntEd", "4")
        .setText("IntEd", "7")
        .press("OKBtn");
    QCOMPARE(m_->run("MnW30spkvolume", 2), (QStringList{"020147010C035A0D", "020147022907037F0D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QCOMPARE(m_->gateGet("volume"), QStringLiteral("7"));
    QCOMPARE(m_->driver.answered().last(), QStringLiteral("電子ボリューム値"));
}

void TestGateE2e::speedAndRestart()
{
    QVERIFY(m_->freshGate(true));
    m_->options().fW30Cmd = 1;
    m_->driver.expect("TInputIntDlg")
        .expectShown("STTitle", "通信スピード(0:9600, 1:19.2k, 2:38.4k)")
        .expectShown("IntEd", "1")
        .setText("IntEd", "2")
        .press("OKBtn");
    QCOMPARE(m_->run("MnW30Bps", 2), (QStringList{"020047019E03EB0D", "020047029C0203EC0D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    // The new speed waits for the restart.
    m_->driver.expect("TInputIntDlg").expectShown("IntEd", "1").press("CancelBtn");
    QCOMPARE(m_->run("MnW30Bps", 1), (QStringList{"020047019E03EB0D"}));
    QCOMPARE(m_->run("MnW30ReStart", 1), (QStringList{"020047019D03EA0D"}));
    QCOMPARE(m_->sim.control("get speed"), QStringLiteral("OK 38400"));
    // Back to 19200 bit/s for the cases after this one.
    QVERIFY(m_->comm().GateSetBPSSpeedComad(1));
    QVERIFY(m_->comm().GateReStartComad());
    QVERIFY(QTest::qWaitFor([this] { return m_->sim.control("get speed") == QLatin1String("OK 19200"); }, 3000));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
}

void TestGateE2e::romVersionModelNameAndProgrammingMode()
{
    QVERIFY(m_->freshGate(true));
    QCOMPARE(m_->run("MnW30ROM1", 1), (QStringList{"02014702900003DF0D"}));
    QVERIFY(logHas("ＲＯＭのバージョン情報 取得ＯＫ"));
    QCOMPARE(m_->run("MnW30GetType", 1), (QStringList{"020147019303E10D"}));
    QVERIFY(logHas("機種名（ModelName）の取得ＯＫ"));
    m_->options().fW30Cmd = 1;
    // The access code as ASCII digits, reader ID 0; kx9sim refuses any other code.
    QCOMPARE(m_->run("MnW30ProgMode", 1), (QStringList{"0200470A9B35383339313432373003C80D"}));
    QVERIFY(!logHas("NACK 受信"));
    QVERIFY(!logHas("レスポンス待ち　タイムオーバー"));
}

void TestGateE2e::countingMode()
{
    QVERIFY(m_->comm().GateWmcountmodeCmd(0x0033, 0x0A12, 0xF8FF));
    m_->driver.expect("TMCountSetDlg")
        .expectShown("EEP11_Lb0", "1")
        .expectShown("EEP11_Hb0", "0")
        .expectShown("EEP12_Lb03", "インターバル毎に上位へ送信 [2]")
        .expectShown("CBInterVal", "時間 [1]")
        .expectShown("EEP12_Hb", "10")
        .setIndex("EEP12_Lb03", 1)
        .setIndex("EEP11_Hb0", 1)
        .setText("EEP12_Hb", "0")
        .press("OKBtn");
    // Word 3 is written back as read although a W20 does not show its page.
    QCOMPARE(m_->run("MnCountEEPROM", 2), (QStringList{"020147010603540D", "020147072333011100FFF803B30D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QVERIFY(logHas("OK: McountMode_Cmd"));
    uint16_t a = 0, b = 0, c = 0;
    QVERIFY(m_->comm().GateRmcountmodeCmd(a, b, c));
    QCOMPARE(QList<uint16_t>({a, b, c}), QList<uint16_t>({0x0133, 0x0011, 0xF8FF}));
    // The gate now counts half the interruptions and reports at every one.
    QCOMPARE(m_->sim.control("gate pass 1 4"), QString("OK"));
    QCOMPARE(m_->gateGet("people"), QStringLiteral("2,0"));
}

void TestGateE2e::counterValuesW20()
{
    QCOMPARE(m_->sim.control("gate pass 1 5 1"), QString("OK"));
    QCOMPARE(m_->sim.control("gate pass 2 10 2"), QString("OK"));
    m_->driver.expect("TMCountValue")
        .expectShown("S1Mcount", "5")
        .expectShown("S2Mcount", "10")
        .expectShown("S1Acount", "1")
        .expectShown("S2Acount", "2")
        .setText("S1Mcount", "1000")
        .setText("S2Acount", "7")
        .press("OKBtn");
    QCOMPARE(m_->run("MnCountData", 2), (QStringList{"020147010703550D", "0201470D24E80300000A00000001000700037B0D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QCOMPARE(m_->gateGet("people"), QStringLiteral("1000,10"));
    QCOMPARE(m_->gateGet("alarms"), QStringLiteral("1,7"));
    QCOMPARE(m_->log().count("OK: McountValue_Cmd"), 2);

    m_->clearLog();
    QCOMPARE(m_->sim.control("fault nack 44"), QString("OK"));
    QCOMPARE(m_->run("MnCountData", 1), (QStringList{"020147010703550D"}));
    QVERIFY(logHas("NG: McountValue_Cmd"));
}

void TestGateE2e::counterValuesW30()
{
    QVERIFY(m_->freshGate(true));
    QCOMPARE(m_->sim.control("gate pass 3 4 2"), QString("OK"));
    m_->driver.expect("TMCountValue")
        .expectShown("EdCount1", "0")
        .expectShown("EdCount5", "4")
        .expectShown("EdCount7", "2")
        .setText("EdCount1", "123456")
        .setText("EdCount8", "9")
        .setText("EdCount12", "65535")
        .press("OKBtn");
    QCOMPARE(m_->run("MnW30mcountvalu", 2),
             (QStringList{"020147010B03590D",
                          "020147252840E20100000000000000000004000000000000000200090000000000000000000000FFFF03CA0D"}));
    QVERIFY2(driverOk(), qPrintable(driverReport()));
    QCOMPARE(m_->gateGet("people"), QStringLiteral("123456,0,4,0,0,0"));
    QCOMPARE(m_->gateGet("alarms"), QStringLiteral("0,0,2,9,0,65535"));
    QCOMPARE(m_->log().count("OK: McountValue_Cmd"), 2);
}

void TestGateE2e::timingReset()
{
    QCOMPARE(m_->run("MnContTimgRes", 1), (QStringList{"020147012503730D"}));
    QVERIFY(!logHas("NACK 受信"));
    QCOMPARE(m_->sim.control("fault nack 44"), QString("OK"));
    QCOMPARE(m_->run("MnContTimgRes", 1), (QStringList{"020147012503730D"}));
    QVERIFY(logHas("NACK 受信"));
}

QTEST_MAIN(TestGateE2e)
#include "test_gate_e2e.moc"
