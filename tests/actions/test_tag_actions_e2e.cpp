// The vendor and utility tag menus end to end: the real main window and its
// real dialogs (filled and pressed by the dialog driver, questions answered
// like an operator) against kx9sim over loopback TCP. Expected frames are
// written out as hex here and compared with what the simulator logged as
// received; kx9sim's tag state is read back through its control interface.
#include "e2e_fixture.h"

#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>
#include <algorithm>

using e2e::requestFrame;

namespace {

// The tags, each with its UID in wire order (least significant byte first).
#define TI_UID "01563412000007E0"
#define NXP_UID "02436587000104E0"
#define IFX_UID "03332211000005E0"
#define FUJ_UID "0433AA55000108E0"
#define ST_UID "05778899000002E0"
#define TAGIT_SID "4D3C2B1A"

const char *kTi = "tag add E007000012345601 blocks=12 bs=4 afi=07 pwd=D4C3B2A1 text=TI-TAG-IT-PLUS";
const char *kNxp = "tag add E004010087654302 blocks=28 bs=4 afi=07 text=NXP-SLI-TAG";
const char *kIfx = "tag add E005000011223303 blocks=29 bs=8 text=INFINEON-MY-D";
const char *kFuj = "tag add E008010055AA3304 blocks=32 bs=8";
const char *kSt = "tag add E002000099887705 blocks=16 bs=4";
const char *kTagIt = "tag add tagit 1A2B3C4D blocks=16 bs=4 text=TAGITHF";

const QString kNotSupported = QStringLiteral("The command is not supported, i.e. the request code is not recognised.");

// One dialog answer: the dialog (class, objectName or title), then "field=text"
// entries, then the button. A dialog written "?text" is a question box whose
// text contains `text`, answered "yes" or "no".
struct Answer {
    QString dialog;
    QStringList fields;
    QString press = QStringLiteral("OKBtn");
};

Answer question(const char *text, bool yes = true)
{
    return {QStringLiteral("?") + QString::fromUtf8(text), {}, yes ? QStringLiteral("yes") : QStringLiteral("no")};
}

// Tag actions whose table row logs the execution time.
const QStringList kTimed = {"MnWrLightPass", "ReadBytes1", "WriteBytes1", "MnLockBytes1"};

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestTagActionsE2e : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void initialActionMemory();
    void menuRows_data();
    void menuRows();
    void anotherMakersTag_data();
    void anotherMakersTag();
    void cancelSendsNothing_data();
    void cancelSendsNothing();
    void noToAQuestionSendsNothing_data();
    void noToAQuestionSendsNothing();
    void dialogsShowTheirTextsAndMemory();
    void lightPasswordProtectsTheTag();
    void anotherActionDuringAWaitIsIgnored();
    void lightAfiWritesOnlyAfterAnAcknowledgedRead();
    void lightAfiKeepsTheBlocksOwnBytes();
    void dataWriteLimits();
    void dataWriteBarCodeFocus();
    void passwordSavedWithTheOptions();

private:
    QList<QByteArray> runItem(const QString &item, const QList<Answer> &answers, int settleMs, bool expectSome = true);
    void queue(const QList<Answer> &answers);
    void resetOptions();
    bool applyOptions(const QString &options);
    void setTagItMode(bool on);
    void setField(const QStringList &commands);
    bool waitForReceived(int count, int ms = 3000);

    std::unique_ptr<e2e::Monitor> m_;
    bool tagItMode_ = false;
};

void TestTagActionsE2e::initTestCase()
{
    m_ = std::make_unique<e2e::Monitor>();
    QVERIFY2(m_->ok, qPrintable(m_->error));
    // The tag menus are command-mode menus: switch the reader there first.
    m_->item("TBtSetCmdMode")->trigger();
    QVERIFY(QTest::qWaitFor([this] { return m_->item("MnCustomCmd")->isEnabled(); }, 3000));
    QTest::qWait(300);
}

void TestTagActionsE2e::cleanupTestCase()
{
    m_.reset();
}

void TestTagActionsE2e::resetOptions()
{
    kx9::AppOptions &o = m_->window->appOptions();
    o.UidFlag = 0;
    o.ReadOptionFlag = 0;
    o.ReadUidFlag = 0;
    o.WriteOptionFlag = 1;
    o.WriteUidFlag = 0;
    o.fUSESetOption = 0;
    o.Prog15693FLAG = 0;
    o.fBinaryWrite = 0;
    o.fTimeOut = 1;
    o.TagBlockSize = 4;
    o.fBarCodeReader = 0;
    o.TagWriteNum = 200;
    o.EAS_ON_VALUE = 0x31;
    o.EAS_OFF_VALUE = 0x30;
}

bool TestTagActionsE2e::applyOptions(const QString &options)
{
    kx9::AppOptions &o = m_->window->appOptions();
    kx9::MainState &s = m_->window->mainState();
    bool tagIt = false;
    for (const QString &kv : options.split(' ', Qt::SkipEmptyParts)) {
        const QString key = kv.section('=', 0, 0);
        const QString val = kv.section('=', 1);
        const int value = val.toInt(nullptr, 0);
        if (key == "UidFlag") o.UidFlag = value;
        else if (key == "ReadOptionFlag") o.ReadOptionFlag = value;
        else if (key == "ReadUidFlag") o.ReadUidFlag = value;
        else if (key == "WriteOptionFlag") o.WriteOptionFlag = value;
        else if (key == "WriteUidFlag") o.WriteUidFlag = value;
        else if (key == "fUSESetOption") o.fUSESetOption = value;
        else if (key == "Prog15693FLAG") o.Prog15693FLAG = uint8_t(value);
        else if (key == "fBinaryWrite") o.fBinaryWrite = value;
        else if (key == "TagBlockSize") o.TagBlockSize = value;
        else if (key == "TagWriteNum") o.TagWriteNum = value;
        else if (key == "EAS_ON_VALUE") o.EAS_ON_VALUE = uint8_t(value);
        else if (key == "tagit") tagIt = value != 0;
        else if (key == "uid") memcpy(s.CurrentUid, QByteArray::fromHex(val.toLatin1()).constData(), 8);
        else if (key == "sid") memcpy(s.CurrentSid, QByteArray::fromHex(val.toLatin1()).constData(), 4);
        else return false;
    }
    setTagItMode(tagIt);
    return true;
}

// The reader's protocol (S6700 word, bits 1-3 = 4 for Tag-it) and the monitor's copy of it.
void TestTagActionsE2e::setTagItMode(bool on)
{
    m_->window->appOptions().S6700Conf = on ? 0xD8 : 0xD4;
    if (on == tagItMode_)
        return;
    kx9::TTComXDlg *c = m_->window->comm();
    c->S6700ModeSet(on ? 0xD9 : 0xD5, false);
    QVERIFY(c->WaitAck());
    tagItMode_ = on;
}

void TestTagActionsE2e::setField(const QStringList &commands)
{
    QCOMPARE(m_->sim.control("tag remove all"), QString("OK"));
    for (const QString &cmd : commands) {
        if (cmd.startsWith('!')) {
            // A monitor action the row needs first (its frames are not the row's).
            m_->item(cmd.mid(1))->trigger();
            QTest::qWait(300);
            continue;
        }
        QCOMPARE(m_->sim.control(cmd).left(2), QString("OK"));
    }
}

bool TestTagActionsE2e::waitForReceived(int count, int ms)
{
    return QTest::qWaitFor([&] { return m_->received() >= count; }, ms);
}

void TestTagActionsE2e::queue(const QList<Answer> &answers)
{
    for (const Answer &ans : answers) {
        if (ans.dialog.startsWith('?')) {
            m_->driver.expectMessage(ans.dialog.mid(1))
                .pressStandard(ans.press == "yes" ? QDialogButtonBox::Yes : QDialogButtonBox::No);
            continue;
        }
        auto &step = m_->driver.expect(ans.dialog);
        for (const QString &f : ans.fields)
            step.setText(f.section('=', 0, 0), f.section('=', 1));
        step.press(ans.press);
    }
}

QList<QByteArray> TestTagActionsE2e::runItem(const QString &item, const QList<Answer> &answers, int settleMs,
                                             bool expectSome)
{
    QAction *a = m_->item(item);
    if (!a) {
        qWarning("no item %s", qPrintable(item));
        return {};
    }
    queue(answers);
    const int before = m_->received();
    a->trigger();
    if (expectSome)
        waitForReceived(before + 1, 3000);
    QTest::qWait(settleMs);
    return m_->receivedSince(before);
}

// ------------------------------------------------------------------ start values

void TestTagActionsE2e::initialActionMemory()
{
    resetOptions();
    setField({kNxp});
    // SID_Poll: mask length 4, mask 0; the inventory reads: AFI 0.
    m_->driver.expect("SID_Poll　コマンド").expectShown("IntEd1", "4").expectShown("IntEd3", "00000000").pressCancel();
    runItem("MnSID_Poll", {}, 200, false);
    m_->driver.expect("設定値の入力").expectShown("IntEd3", "00").pressCancel();
    runItem("InventoryRead11", {}, 200, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

// ------------------------------------------------------------------ every row

void TestTagActionsE2e::menuRows_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("field");     // control commands after "tag remove all"; "!item" runs a monitor item
    QTest::addColumn<QString>("options");       // key=value (tagit=1: the reader in Tag-it mode; uid/sid: current tag)
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("frames");    // "C hex": command character and DATA, in order
    QTest::addColumn<QStringList>("lines");     // lines the log must show, in this order
    QTest::addColumn<QString>("outcome");       // ack / nack (the wait's), sent+ack / sent+nack / sent (no wait)
    QTest::addColumn<QStringList>("state");     // "control command => text its reply contains"

    const QList<Answer> none;
    const auto blockNo = [](const char *dlg, const char *n) { return QList<Answer>{{dlg, {QString("IntEd=") + n}}}; };
    const auto blockText = [](const char *n, const char *text) {
        return QList<Answer>{{"TInp3Data2Dlg", {QString("IntEd1=") + n, QString("EdString=") + text}}};
    };
    const auto three = [](const char *a, const char *b, const char *c) {
        return QList<Answer>{{"TInp3Data1Dlg", {QString("IntEd1=") + a, QString("IntEd2=") + b, QString("IntEd3=") + c}}};
    };
    const auto two = [](const char *a, const char *b) {
        return QList<Answer>{{"TInp3Data2Dlg", {QString("IntEd1=") + a, QString("IntEd2=") + b}}};
    };
    const QStringList ti{kTi}, nxp{kNxp}, ifx{kIfx}, fuj{kFuj}, st{kSt}, tagit{kTagIt};

    // ---- TAG-ITコマンド (reader in Tag-it mode)
    QTest::newRow("Tag-it GetBlock") << "MnGetBlock" << tagit << "tagit=1" << blockNo("GetBlock コマンド", "1")
                                     << QStringList{"u 010100"} << QStringList{} << "sent+ack" << QStringList{};
    QTest::newRow("Tag-it GetBlock with SID") << "MnGetBlock" << tagit << "tagit=1 UidFlag=1 sid=" TAGIT_SID
                                              << blockNo("TInputIntDlg", "2")
                                              << QStringList{"u 010201" TAGIT_SID} << QStringList{} << "sent+ack"
                                              << QStringList{};
    QTest::newRow("Tag-it GetVersion") << "MnGetVersion" << tagit << "tagit=1" << none << QStringList{"u 0300"}
                                       << QStringList{} << "sent+ack" << QStringList{};
    QTest::newRow("Tag-it PutBlock") << "MnPutBlock" << tagit << "tagit=1" << blockText("3", "WXYZ")
                                     << QStringList{"u 05035758595A00"} << QStringList{} << "sent+ack"
                                     << QStringList{"block get 1A2B3C4D 3 => OK 5758595A"};
    QTest::newRow("Tag-it PutBlockLock") << "MnPutBlockLock" << tagit << "tagit=1" << blockText("4", "AB")
                                         << QStringList{"u 0704414200000" "0"} << QStringList{} << "sent+ack"
                                         << QStringList{"block get 1A2B3C4D 4 => OK 41420000 locked"};
    QTest::newRow("Tag-it LockBlock") << "MnLockBlock2" << tagit << "tagit=1" << blockNo("LockBlock　コマンド", "5")
                                      << QStringList{"u 080500"} << QStringList{} << "sent+ack"
                                      << QStringList{"block get 1A2B3C4D 5 => locked"};
    QTest::newRow("Tag-it SID_Poll match") << "MnSID_Poll" << tagit << "tagit=1"
                                           << QList<Answer>{{"SID_Poll　コマンド", {"IntEd1=16", "IntEd3=1A2B3C4D"}}}
                                           << QStringList{"u 0A0010" TAGIT_SID} << QStringList{} << "sent+ack"
                                           << QStringList{};
    // The whole 32-bit range reaches the wire (no tag has that identifier).
    QTest::newRow("Tag-it SID_Poll full mask") << "MnSID_Poll" << tagit << "tagit=1"
                                               << QList<Answer>{{"TInp3Data1Dlg", {"IntEd1=31", "IntEd3=FFFFFFFF"}}}
                                               << QStringList{"u 0A001FFFFFFFFF"} << QStringList{"タグからの応答なし"}
                                               << "sent+nack" << QStringList{};
    QTest::newRow("Tag-it Quiet") << "MnQuiet" << tagit << "tagit=1" << none << QStringList{"u 0B00"}
                                  << QStringList{} << "sent+ack" << QStringList{"tag get 1A2B3C4D => state=quiet"};

    // ---- my-dコマンド
    QTest::newRow("my-d Read") << "MnMydRead1" << ifx << "" << blockNo("ブロックＮＯ", "0")
                               << QStringList{"x B0000000"}
                               << QStringList{"Myd_ReadCommand OK", "data(Hex): 49 4E 46 49 4E 45 4F 4E ",
                                              "data: INFINEON"}
                               << "sent+ack" << QStringList{};
    QTest::newRow("my-d Write") << "MnMydWrite1" << ifx << ""
                                << QList<Answer>{{"書き込みデータの入力", {"IntEd1=2", "EdString=ABCDEFGHIJ"}}}
                                << QStringList{"x B10200414243444546474810"} << QStringList{"Myd_WriteCommand OK"}
                                << "sent+ack" << QStringList{"block get E005000011223303 2 => OK 4142434445464748"};
    QTest::newRow("my-d WriteByte") << "MnMydWriteByte1" << ifx << "WriteOptionFlag=0 WriteUidFlag=1 uid=" IFX_UID
                                    << QList<Answer>{{"書き込みデータの設定", {"IntEd1=2", "IntEd2=3", "IntEd3=7e"}}}
                                    << QStringList{"x B20200037E01" IFX_UID} << QStringList{"Myd_WriteByteCommand OK"}
                                    << "sent+ack" << QStringList{"block get E005000011223303 2 => OK 0000007E00000000"};
    QTest::newRow("my-d WriteReread") << "MnMydWriteReread1" << ifx << "" << blockText("3", "12345678")
                                      << QStringList{"x B30300313233343536373810"}
                                      << QStringList{"Myd_WriteRereadCommand OK", "data: 12345678"} << "sent+ack"
                                      << QStringList{"block get E005000011223303 3 => OK 3132333435363738"};

    // ---- カスタムコマンド > TI
    QTest::newRow("TI Inventory Read 1") << "MnTIInventoryRead11" << ti << "" << two("1", "0")
                                         << QStringList{"x A4014000"} << QStringList{"TI_InventoryRead受信"}
                                         << "sent+ack" << QStringList{};
    QTest::newRow("TI Inventory Read 16 AFI option") << "MnTIInventoryRead161" << ti << "ReadOptionFlag=1"
                                                     << two("1", "07") << QStringList{"x A4013007"}
                                                     << QStringList{"TI_InventoryRead受信"} << "sent+ack"
                                                     << QStringList{};
    QTest::newRow("TI Inventory Multi Read 1") << "MnTIInventoryMultiRead11" << ti << "" << three("0", "2", "0")
                                               << QStringList{"x A500024000"} << QStringList{"TI_InventoryMultiRead受信"}
                                               << "sent+ack" << QStringList{};
    QTest::newRow("TI Inventory Multi Read 16") << "MnTIInventoryMultiRead161" << ti << "" << three("1", "1", "7")
                                                << QStringList{"x A501012007"}
                                                << QStringList{"TI_InventoryMultiRead受信"} << "sent+ack"
                                                << QStringList{};
    QTest::newRow("TI Inventory GetSystemInfo 1") << "MnTIInventoryGetSystemInfo11" << ti << ""
                                                  << blockNo("設定値の入力", "0") << QStringList{"x A64000"}
                                                  << QStringList{"TI_InventoryGetSystemInfo受信"} << "sent+ack"
                                                  << QStringList{};
    QTest::newRow("TI Inventory GetSystemInfo 16") << "MnTIInventoryGetSystemInfo161" << ti << ""
                                                   << blockNo("TInputIntDlg", "07") << QStringList{"x A62007"}
                                                   << QStringList{"TI_InventoryGetSystemInfo受信"} << "sent+ack"
                                                   << QStringList{};
    QTest::newRow("TI Inventory GetSecInfo 1") << "MnTIInventoryGetSecInfo11" << ti << "" << three("0", "3", "0")
                                               << QStringList{"x A700034000"}
                                               << QStringList{"TI_InventoryGetSecInfo受信"} << "sent+ack"
                                               << QStringList{};
    QTest::newRow("TI Inventory GetSecInfo 16") << "MnTIInventoryGetSecInfo161" << ti << "" << three("2", "1", "0")
                                                << QStringList{"x A702010000"}
                                                << QStringList{"TI_InventoryGetSecInfo受信"} << "sent+ack"
                                                << QStringList{};

    // ---- カスタムコマンド > TI Light
    QTest::newRow("TI Light password") << "MnWrLightPass" << ti << ""
                                       << QList<Answer>{{"TWrData1Dlg",
                                                         {"EdData3=11", "EdData2=22", "EdData1=33", "EdData0=44"}}}
                                       << QStringList{"x 210B4433221110"}
                                       << QStringList{"ISO15693_WriteSingleBlock受信"} << "ack"
                                       << QStringList{"block get E007000012345601 11 => OK 44332211"};
    QTest::newRow("TI Light password write UID") << "MnWrLightPass" << ti << "WriteUidFlag=1 uid=" TI_UID
                                                 << QList<Answer>{{"TWrData1Dlg", {"EdData3=00", "EdData2=00", "EdData1=00", "EdData0=01"}}}
                                                 << QStringList{"x 210B0100000011" TI_UID}
                                                 << QStringList{"ISO15693_WriteSingleBlock受信"} << "ack"
                                                 << QStringList{"block get E007000012345601 11 => OK 01000000"};
    QTest::newRow("TI Light RP") << "MnSetRP" << ti << "" << QList<Answer>{question("RPビットを有効とする為に")}
                                 << QStringList{"x 220B10"} << QStringList{"ISO15693_LockBlock受信"} << "ack"
                                 << QStringList{"block get E007000012345601 11 => locked"};
    QTest::newRow("TI Light AFI") << "MnLightAFI1" << QStringList{kTi, "block set E007000012345601 10 C1C2C3C4"} << ""
                                  << QList<Answer>{{"AFI値の設定", {"IntEd=5a"}}}
                                  << QStringList{"x 200A00", "x 210A5AC2C3C410"}
                                  << QStringList{"ISO15693_ReadSingleBlock受信", "data(Hex): C1 C2 C3 C4 ",
                                                 "ISO15693_WriteSingleBlock受信"}
                                  << "ack" << QStringList{"block get E007000012345601 10 => OK 5AC2C3C4"};
    QTest::newRow("TI Light WriteSingleBlockPwd") << "WriteSingleBlockPwd1" << ti << "uid=" TI_UID
                                                  << QList<Answer>{{"Write Single Block Pwd Command",
                                                                    {"EdData3=A1", "EdData2=B2", "EdData1=C3",
                                                                     "EdData0=D4", "IntEd1=3", "EdWrdata3=01",
                                                                     "EdWrdata2=02", "EdWrdata1=03", "EdWrdata0=04"}}}
                                                  << QStringList{"x A911" TI_UID "D4C3B2A10304030201"}
                                                  << QStringList{"TI_WRSIBK_Psw受信"} << "ack"
                                                  << QStringList{"block get E007000012345601 3 => OK 04030201"};
    QTest::newRow("TI Light Kill") << "MnKill1" << ti << "uid=" TI_UID
                                   << QList<Answer>{question("KILLコマンドを実行すると"),
                                                    {"KILL Command",
                                                     {"EdData3=A1", "EdData2=B2", "EdData1=C3", "EdData0=D4"}}}
                                   << QStringList{"x A811" TI_UID "D4C3B2A1"} << QStringList{"TI_KillCommand受信"}
                                   << "ack" << QStringList{"tag get E007000012345601 => killed=1"};
    QTest::newRow("TI Light Kill wrong password") << "MnKill1" << ti << "uid=" TI_UID
                                                  << QList<Answer>{question("KILLコマンドを実行すると"),
                                                                   {"TWritePwdDlg", {"EdData0=00", "EdData3=00"}}}
                                                  << QStringList{"x A811" TI_UID "00C3B200"}
                                                  << QStringList{"Unknown error.", "NACK 受信"} << "nack"
                                                  << QStringList{"tag get E007000012345601 => killed=0"};

    // ---- カスタムコマンド > フィリップス
    QTest::newRow("SLI Inventory Read 1") << "InventoryRead11" << nxp << "" << three("0", "1", "0")
                                          << QStringList{"x C000014000"} << QStringList{"SLI_InventoryRead受信"}
                                          << "sent+ack" << QStringList{};
    QTest::newRow("SLI Inventory Read 16 AFI option") << "InventoryRead161" << nxp << "ReadOptionFlag=1"
                                                      << three("2", "1", "07") << QStringList{"x C002013007"}
                                                      << QStringList{"SLI_InventoryRead受信"} << "sent+ack"
                                                      << QStringList{};
    QTest::newRow("SLI Fast Inventory Read 1") << "FastInventoryRead11" << nxp << "" << three("2", "0", "0")
                                               << QStringList{"x C102004000"}
                                               << QStringList{"SLI_FastInventoryRead受信"} << "sent+ack"
                                               << QStringList{};
    QTest::newRow("SLI Fast Inventory Read 16") << "FastInventoryRead161" << nxp << "" << three("0", "0", "0")
                                                << QStringList{"x C100000000"}
                                                << QStringList{"SLI_FastInventoryRead受信"} << "sent+ack"
                                                << QStringList{};
    QTest::newRow("SLI Set EAS") << "MnSetEAS1" << nxp << "" << none << QStringList{"x C200"}
                                 << QStringList{"SLI_SetEASCommand受信"} << "ack"
                                 << QStringList{"tag get E004010087654302 => eas=1"};
    QTest::newRow("SLI Set EAS write UID") << "MnSetEAS1" << nxp << "WriteUidFlag=1 ReadUidFlag=0 uid=" NXP_UID
                                           << none << QStringList{"x C201" NXP_UID}
                                           << QStringList{"SLI_SetEASCommand受信"} << "ack"
                                           << QStringList{"tag get E004010087654302 => eas=1"};
    QTest::newRow("SLI Reset EAS") << "MnResetEAS1" << QStringList{QString(kNxp) + " eas=1"} << "" << none
                                   << QStringList{"x C300"} << QStringList{"SLI_ResetEASCommand受信"} << "ack"
                                   << QStringList{"tag get E004010087654302 => eas=0"};
    // Locked, the EAS bit can no longer be set.
    QTest::newRow("SLI Lock EAS") << "MnLockEAS1" << nxp << "" << none << QStringList{"x C400"}
                                  << QStringList{"SLI_LockEASCommand受信"} << "ack"
                                  << QStringList{"tag set E004010087654302 eas=0 => OK"};
    QTest::newRow("SLI EAS Alarm read UID") << "MnEASAlarm1" << QStringList{QString(kNxp) + " eas=1"}
                                            << "ReadUidFlag=1 WriteUidFlag=0 uid=" NXP_UID << none
                                            << QStringList{"x C501" NXP_UID} << QStringList{"SLI_EASAlarmCommand受信"}
                                            << "ack" << QStringList{};

    // ---- カスタムコマンド > 富士通
    QTest::newRow("MB89 EAS") << "MnMB89EAS1" << QStringList{QString(kFuj) + " eas=1"} << "UidFlag=1 ReadUidFlag=1"
                              << none << QStringList{"x C800"} << QStringList{} << "ack" << QStringList{};
    QTest::newRow("MB89 Write EAS ON") << "MnFujiEASON" << fuj << "" << none << QStringList{"x C90110"}
                                       << QStringList{} << "ack" << QStringList{"tag get E008010055AA3304 => eas=1"};
    QTest::newRow("MB89 Write EAS OFF") << "MnFujiEASOFF" << QStringList{QString(kFuj) + " eas=1"} << "" << none
                                        << QStringList{"x C90010"} << QStringList{} << "ack"
                                        << QStringList{"tag get E008010055AA3304 => eas=0"};
    QTest::newRow("MB89 Refresh") << "MnMB89Refresh" << fuj << "WriteOptionFlag=0" << none << QStringList{"x CA00"}
                                  << QStringList{} << "ack" << QStringList{};
    QTest::newRow("MB89 Read Multi Blocks Unlimited") << "MnMB89ReadMulitiBlocksUnlimited1" << fuj
                                                      << "ReadOptionFlag=1" << two("3", "2")
                                                      << QStringList{"x CB030210"} << QStringList{} << "ack"
                                                      << QStringList{};

    // ---- カスタムコマンド > STマイクロ
    QTest::newRow("LRI ACTIVATE EAS") << "MnACTIVATEEAS1" << st << "" << none << QStringList{"x B800"}
                                      << QStringList{} << "ack" << QStringList{"tag get E002000099887705 => eas=1"};
    QTest::newRow("LRI DEACTIVATE EAS UID") << "MnDEACTIVATEEAS1" << QStringList{QString(kSt) + " eas=1"}
                                            << "WriteUidFlag=1 uid=" ST_UID << none << QStringList{"x B901" ST_UID}
                                            << QStringList{} << "ack"
                                            << QStringList{"tag get E002000099887705 => eas=0"};
    QTest::newRow("LRI POOL EAS") << "POOLEAS1" << st << "WriteUidFlag=1 ReadUidFlag=1 UidFlag=1" << none
                                  << QStringList{"x BA00"} << QStringList{} << "ack" << QStringList{};

    // ---- 汎用コマンド
    QTest::newRow("PowerDown") << "MnPowerDown" << nxp << "" << none << QStringList{"N 52"} << QStringList{}
                               << "sent+ack" << QStringList{};
    QTest::newRow("Error status") << "MnGetErrStatus" << nxp << "" << none << QStringList{"O 80"}
                                  << QStringList{"Get ERROR STATUS: "} << "sent+ack" << QStringList{};
    QTest::newRow("ReadBytes") << "ReadBytes1" << nxp << "" << QList<Answer>{{"読み取り範囲の入力", {"IntEd1=0", "IntEd2=7"}}}
                               << QStringList{"x A0000700"} << QStringList{"ISO15693_ReadBytes受信", "data: NXP-SLI"}
                               << "ack" << QStringList{};
    QTest::newRow("ReadBytes read UID") << "ReadBytes1" << nxp << "ReadOptionFlag=1 ReadUidFlag=1 uid=" NXP_UID
                                        << two("1", "3") << QStringList{"x A0010311" NXP_UID}
                                        << QStringList{"ISO15693_ReadBytes受信", "data: SLI"} << "ack"
                                        << QStringList{};
    QTest::newRow("WriteBytes hex") << "WriteBytes1" << nxp << "fBinaryWrite=1"
                                    << QList<Answer>{{"TInp3Data2Dlg", {"IntEd1=1", "EdString=0A 0B 0C"}}}
                                    << QStringList{"x A101030A0B0C10"} << QStringList{"ISO15693_WriteBytes受信"}
                                    << "ack" << QStringList{"block get E004010087654302 1 => OK 0A0B0C2D"};
    QTest::newRow("WriteBytes text") << "WriteBytes1" << nxp << "" << blockText("2", "hello")
                                     << QStringList{"x A1020568656C6C6F10"} << QStringList{"ISO15693_WriteBytes受信"}
                                     << "ack" << QStringList{"block get E004010087654302 2 => OK 68656C6C",
                                                             "block get E004010087654302 3 => OK 6F"};
    QTest::newRow("WriteBytes empty text") << "WriteBytes1" << nxp << "" << blockText("2", "")
                                           << QStringList{"x A1020010"} << QStringList{"ISO15693_WriteBytes受信"}
                                           << "ack" << QStringList{"block get E004010087654302 2 => OK 54414700"};
    QTest::newRow("LockBytes override") << "MnLockBytes1" << nxp << "fUSESetOption=1 Prog15693FLAG=0x10"
                                        << two("4", "2") << QStringList{"x F3040210"}
                                        << QStringList{"ISO15693_LockBytes OK"} << "ack"
                                        << QStringList{"block get E004010087654302 5 => locked",
                                                       "block get E004010087654302 6 => OK 00000000"};
    QTest::newRow("UID count") << "MnGetUIDNum" << QStringList{kNxp, kSt, "!Inventory21"} << "" << none
                               << QStringList{"O 53"} << QStringList{"GETUIDNUMBER_CMD受信", "受信UID数: 2"}
                               << "sent+ack" << QStringList{};
    QTest::newRow("UID data") << "GetUIDData" << QStringList{kNxp, "!Inventory21"} << ""
                              << QList<Answer>{{"ＵＩＤデータの取得", {"IntEd=1"}}} << QStringList{"O 5401"}
                              << QStringList{"GETUIDDATA_CMD受信", "UID: E0 04 01 00 87 65 43 02 "} << "sent+ack"
                              << QStringList{};
    QTest::newRow("Cancel command no reply") << "MnQUIT_Cmd1" << nxp << "" << none << QStringList{"Q 00"}
                                             << QStringList{} << "sent" << QStringList{};
    QTest::newRow("Cancel command always ACK") << "MnQUIT_Cmd2" << nxp << "" << none << QStringList{"Q 01"}
                                               << QStringList{} << "sent+ack" << QStringList{};
    QTest::newRow("Cancel command ACK/NACK") << "MnQUIT_Cmd3" << nxp << "" << none << QStringList{"Q 02"}
                                             << QStringList{"CMD_TIME_OVER受信"} << "sent+nack" << QStringList{};
    QTest::newRow("CommCommand Read") << "MnCommRead1" << QStringList{kNxp, "block set E004010087654302 5 31323334"}
                                      << "" << blockNo("ブロックＮＯ", "5") << QStringList{"x 000107032005365D"}
                                      << QStringList{} << "sent+ack" << QStringList{};
    QTest::newRow("CommCommand Write option") << "MnCommWrite1" << nxp << "WriteOptionFlag=1"
                                              << blockText("6", "WXYZ") << QStringList{"x 0002034321065758595AED67"}
                                              << QStringList{} << "sent+ack"
                                              << QStringList{"block get E004010087654302 6 => OK 5758595A"};
    QTest::newRow("CommCommand Write 2-byte blocks") << "MnCommWrite1" << nxp << "WriteOptionFlag=0 TagBlockSize=2"
                                                     << blockText("6", "ABCD")
                                                     << QStringList{"x 00020303210641420000" "0F27"} << QStringList{}
                                                     << "sent+ack"
                                                     << QStringList{"block get E004010087654302 6 => OK 41420000"};
    QTest::newRow("CommCommand Transmit") << "MnTransmit1" << nxp << "uid=" NXP_UID << none
                                          << QStringList{"x 0000002302" NXP_UID "54B7"} << QStringList{} << "sent+ack"
                                          << QStringList{"tag get E004010087654302 => state=quiet"};

    // ---- コマンド > データ書き込み... (then the buzzer: sound 0 after an ACK, 1 otherwise)
    QTest::newRow("Data write") << "MnDataWrite" << nxp << ""
                                << QList<Answer>{{"タグデータの書き込み", {"EdString=HELLO"}}}
                                << QStringList{"J 0000000048454C4C4F", "B 0000"} << QStringList{"書き込み成功！！"}
                                << "ack" << QStringList{"block get E004010087654302 1 => OK 48454C4C",
                                                        "block get E004010087654302 2 => OK 4F"};
    QTest::newRow("Data write toolbar, no tag") << "TBtDataWrite" << QStringList{} << ""
                                                << QList<Answer>{{"TInp3Data2Dlg", {"EdString=AB"}}}
                                                << QStringList{"J 000000004142", "B 0001"}
                                                << QStringList{"タグからの応答なし", "NACK 受信", "書き込み失敗！！"}
                                                << "nack" << QStringList{};
    QTest::newRow("Data write Tag-it") << "MnDataWrite" << tagit << "tagit=1"
                                       << QList<Answer>{{"TInp3Data2Dlg", {"EdString=tag"}}}
                                       << QStringList{"J 00000000746167", "B 0000"} << QStringList{"書き込み成功！！"}
                                       << "ack" << QStringList{"block get 1A2B3C4D 1 => OK 74616700"};

    // ---- 設定 > EASの設定 (no wait)
    QTest::newRow("EAS ON") << "MnEASON1" << nxp << "" << none << QStringList{"x 273110"}
                            << QStringList{"ISO15693_WriteAFI受信"} << "sent+ack"
                            << QStringList{"tag get E004010087654302 => afi=31"};
    QTest::newRow("EAS ON other value, write UID") << "MnEASON1" << nxp << "EAS_ON_VALUE=0x5C WriteOptionFlag=0 WriteUidFlag=1 uid=" NXP_UID
                                                   << none << QStringList{"x 275C01" NXP_UID}
                                                   << QStringList{"ISO15693_WriteAFI受信"} << "sent+ack"
                                                   << QStringList{"tag get E004010087654302 => afi=5C"};
    QTest::newRow("EAS OFF") << "MnEASOFF1" << nxp << "" << none << QStringList{"x 273010"}
                             << QStringList{"ISO15693_WriteAFI受信"} << "sent+ack"
                             << QStringList{"tag get E004010087654302 => afi=30"};
}

void TestTagActionsE2e::menuRows()
{
    QFETCH(QString, item);
    QFETCH(QStringList, field);
    QFETCH(QString, options);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, frames);
    QFETCH(QStringList, lines);
    QFETCH(QString, outcome);
    QFETCH(QStringList, state);

    resetOptions();
    QVERIFY2(applyOptions(options), qPrintable(options));
    setField(field);
    m_->clearLog();

    const bool waits = !outcome.startsWith("sent");
    QList<QByteArray> expected;
    for (const QString &f : frames)
        expected << requestFrame(f.at(0).toLatin1(), QByteArray::fromHex(f.mid(2).toLatin1()));

    // An action with a wait has had its reply when trigger() returns; the
    // others get time for the reply to be routed and decoded.
    const QList<QByteArray> sent = runItem(item, answers, waits ? 100 : 500);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(sent.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(sent[i].toHex(' '), expected[i].toHex(' '));

    const QStringList log = m_->log();
    const QString all = log.join('\n');
    // The monitor logged each frame as its hex TX line.
    for (const QByteArray &e : expected) {
        const QString tx = QString::fromLatin1(e.toHex(' ').toUpper());
        QVERIFY2(std::any_of(log.begin(), log.end(), [&](const QString &l) { return l.trimmed() == tx; }),
                 qPrintable(all));
    }
    // The decoder's (and the action's) lines, in order.
    int at = -1;
    for (const QString &line : lines) {
        const int i = int(log.indexOf(line, at + 1));
        QVERIFY2(i > at, qPrintable(QString("missing \"%1\" in:\n%2").arg(line, all)));
        at = i;
    }
    // The wait's outcome (its own lines), or the reply seen in the receive log.
    const bool nackLine = all.contains("NACK 受信");
    QVERIFY2(!all.contains("レスポンス待ち　タイムオーバー"), qPrintable(all));
    if (outcome == "ack" || outcome.startsWith("sent"))
        QVERIFY2(!nackLine, qPrintable(all));
    if (outcome == "nack")
        QVERIFY2(nackLine, qPrintable(all));
    if (outcome == "sent+ack" || outcome == "sent+nack") {
        const QString kind = outcome == "sent+ack" ? " 30 " : " 31 ";
        QVERIFY2(std::any_of(log.begin(), log.end(),
                             [&](const QString &l) { return l.startsWith("RX:02 ") && l.mid(3, 12).contains(kind); }),
                 qPrintable(all));
    }
    if (outcome == "sent")
        QVERIFY2(log.filter(QRegularExpression("^RX:")).isEmpty(), qPrintable(all));
    QCOMPARE(log.filter(QRegularExpression("^実行時間: \\d\\d:\\d\\d:\\d{2,3}$")).size(), kTimed.contains(item) ? 1 : 0);

    for (const QString &check : state) {
        const QString cmd = check.section(" => ", 0, 0), want = check.section(" => ", 1);
        const QString reply = m_->sim.control(cmd);
        QVERIFY2(reply.contains(want), qPrintable(cmd + " -> " + reply + " (wanted " + want + ")"));
    }
}

// ------------------------------------------------------------------ wrong maker

void TestTagActionsE2e::anotherMakersTag_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("waits");
    const QList<Answer> none;
    QTest::newRow("my-d Read on an NXP tag") << "MnMydRead1" << kNxp << "" << QList<Answer>{{"TInputIntDlg", {"IntEd=0"}}}
                                             << false;
    QTest::newRow("SLI Set EAS on a TI tag") << "MnSetEAS1" << kTi << "" << none << true;
    QTest::newRow("MB89 Refresh on an ST tag") << "MnMB89Refresh" << kSt << "" << none << true;
    QTest::newRow("LRI POOL EAS on a Fujitsu tag") << "POOLEAS1" << kFuj << "" << none << true;
    QTest::newRow("TI Kill on an Infineon tag") << "MnKill1" << kIfx << "uid=" IFX_UID
                                                << QList<Answer>{question("KILLコマンド"), {"KILL Command", {}}} << true;
    QTest::newRow("TI WriteSingleBlockPwd on an NXP tag") << "WriteSingleBlockPwd1" << kNxp << "uid=" NXP_UID
                                                          << QList<Answer>{{"TWritePwdDlg", {}}} << true;
}

void TestTagActionsE2e::anotherMakersTag()
{
    QFETCH(QString, item);
    QFETCH(QString, tag);
    QFETCH(QString, options);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, waits);
    resetOptions();
    QVERIFY(applyOptions(options));
    setField({tag});
    m_->clearLog();
    const QList<QByteArray> sent = runItem(item, answers, waits ? 100 : 500);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(sent.size(), 1);
    const QStringList log = m_->log();
    const int i = int(log.indexOf(kNotSupported));
    QVERIFY2(i >= 0, qPrintable(log.join('\n')));
    // A waiting action adds its own line after the decoder's.
    QCOMPARE(log.indexOf("NACK 受信") > i, waits);
}

// ------------------------------------------------------------------ Cancel and No

void TestTagActionsE2e::cancelSendsNothing_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QList<Answer>>("before");   // answered first (a question)
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("binary");
    const QList<Answer> none;
    const struct {
        const char *item, *dialog;
    } rows[] = {
        {"MnGetBlock", "TInputIntDlg"},           {"MnPutBlock", "TInp3Data2Dlg"},
        {"MnPutBlockLock", "TInp3Data2Dlg"},      {"MnLockBlock2", "TInputIntDlg"},
        {"MnSID_Poll", "TInp3Data1Dlg"},          {"MnMydRead1", "TInputIntDlg"},
        {"MnMydWrite1", "TInp3Data2Dlg"},         {"MnMydWriteByte1", "TInp3Data1Dlg"},
        {"MnMydWriteReread1", "TInp3Data2Dlg"},   {"MnTIInventoryRead11", "TInp3Data2Dlg"},
        {"MnTIInventoryRead161", "TInp3Data2Dlg"}, {"MnTIInventoryMultiRead11", "TInp3Data1Dlg"},
        {"MnTIInventoryGetSystemInfo161", "TInputIntDlg"}, {"MnTIInventoryGetSecInfo11", "TInp3Data1Dlg"},
        {"MnWrLightPass", "TWrData1Dlg"},         {"MnLightAFI1", "TInputIntDlg"},
        {"WriteSingleBlockPwd1", "TWritePwdDlg"}, {"InventoryRead11", "TInp3Data1Dlg"},
        {"FastInventoryRead161", "TInp3Data1Dlg"}, {"MnMB89ReadMulitiBlocksUnlimited1", "TInp3Data2Dlg"},
        {"ReadBytes1", "TInp3Data2Dlg"},          {"WriteBytes1", "TInp3Data2Dlg"},
        {"MnLockBytes1", "TInp3Data2Dlg"},        {"GetUIDData", "TInputIntDlg"},
        {"MnCommRead1", "TInputIntDlg"},          {"MnCommWrite1", "TInp3Data2Dlg"},
        {"MnDataWrite", "TInp3Data2Dlg"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.item) << r.item << none << r.dialog << 0;
    QTest::newRow("WriteBytes1 hex") << "WriteBytes1" << none << "TInp3Data2Dlg" << 1;
    QTest::newRow("MnKill1 after Yes") << "MnKill1" << QList<Answer>{question("KILL")} << "TWritePwdDlg" << 0;
}

void TestTagActionsE2e::cancelSendsNothing()
{
    QFETCH(QString, item);
    QFETCH(QList<Answer>, before);
    QFETCH(QString, dialog);
    QFETCH(int, binary);
    resetOptions();
    m_->window->appOptions().fBinaryWrite = binary;
    m_->window->appOptions().TagDataStr = "data";
    kx9::MainState &s = m_->window->mainState();
    s.LastBlockNo = 1;
    s.MultiFirstBlock = 2;
    s.MultiBlockCount = 3;
    s.LastDataText = "keep";
    uint8_t *pass = m_->window->appOptions().PassData;
    pass[0] = 0x10, pass[1] = 0x20, pass[2] = 0x30, pass[3] = 0x40;
    setField({kNxp});
    m_->clearLog();
    queue(before);
    // Values typed, then Cancel: nothing of it is sent or kept.
    auto &step = m_->driver.expect(dialog);
    for (const char *f : {"IntEd", "IntEd1", "IntEd2", "IntEd3", "EdAddr", "EdData0", "EdData3", "EdWrdata0"})
        step.then([f](QWidget *d) {
            if (auto *e = d->findChild<QLineEdit *>(f); e && e->isVisible() && e->isEnabled())
                e->setText("09");
        });
    step.then([](QWidget *d) {
        if (auto *e = d->findChild<QLineEdit *>("EdString"); e && e->isVisible())
            e->setText("typed");
    });
    step.pressCancel();
    const QList<QByteArray> sent = runItem(item, {}, 400, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(sent.isEmpty());
    QCOMPARE(m_->log(), QStringList());
    QCOMPARE(int(s.LastBlockNo), 1);
    QCOMPARE(int(s.MultiFirstBlock), 2);
    QCOMPARE(int(s.MultiBlockCount), 3);
    QCOMPARE(s.LastDataText, QString("keep"));
    QCOMPARE(m_->window->appOptions().TagDataStr, QString("data"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(pass), 4), QByteArray::fromHex("10203040"));
}

void TestTagActionsE2e::noToAQuestionSendsNothing_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("text");
    QTest::newRow("RP") << "MnSetRP" << "RPビットを有効とする為に、Lockしますが宜しいですか？";
    QTest::newRow("Kill") << "MnKill1" << "KILLコマンドを実行するとタグが使用できなくなりますが、コマンドを実行しますか？";
}

void TestTagActionsE2e::noToAQuestionSendsNothing()
{
    QFETCH(QString, item);
    QFETCH(QString, text);
    resetOptions();
    setField({kTi});
    m_->clearLog();
    QString shown, title;
    bool yesNo = false;
    m_->driver.expectMessage(text)
        .then([&](QWidget *d) {
            auto *box = qobject_cast<QMessageBox *>(d);
            QVERIFY(box);
            shown = box->text();
            title = box->windowTitle();
            yesNo = box->icon() == QMessageBox::Question && box->button(QMessageBox::Yes) &&
                    box->button(QMessageBox::No) && box->buttons().size() == 2;
        })
        .pressStandard(QDialogButtonBox::No);
    const QList<QByteArray> sent = runItem(item, {}, 400, false);
    // Nothing further opens (for Kill: not the password dialog).
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(sent.isEmpty());
    QCOMPARE(shown, text);
    QVERIFY(yesNo);
    QCOMPARE(m_->log(), QStringList());
    QCOMPARE(m_->sim.control("tag get E007000012345601").contains("killed=0"), true);
    QVERIFY(!m_->sim.control("block get E007000012345601 11").contains("locked"));
}

// ------------------------------------------------------------------ dialogs

void TestTagActionsE2e::dialogsShowTheirTextsAndMemory()
{
    resetOptions();
    setField({kNxp});
    kx9::MainState &s = m_->window->mainState();
    s.LastBlockNo = 9;
    s.MultiBlockCount = 2;
    uint8_t *pass = m_->window->appOptions().PassData;
    pass[0] = 0x01, pass[1] = 0x02, pass[2] = 0x03, pass[3] = 0x04;

    // What SID_Poll is given comes back next time.
    m_->driver.expect("TInp3Data1Dlg")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle1")->text(), QString("マスクビット長"));
            QCOMPARE(d->findChild<QLabel *>("STTitle2")->text(), QString());
            QCOMPARE(d->findChild<QLabel *>("STTitle3")->text(), QString("データ（１６進）"));
            QVERIFY(!d->findChild<QLineEdit *>("IntEd2")->isVisible());
        })
        .setText("IntEd1", "12")
        .setText("IntEd3", "89abcdef")
        .pressOk();
    runItem("MnSID_Poll", {}, 300);
    m_->driver.expect("TInp3Data1Dlg").expectShown("IntEd1", "12").expectShown("IntEd3", "89ABCDEF").pressCancel();
    runItem("MnSID_Poll", {}, 200, false);

    // The inventory reads share InventoryAfi (and the TI Light AFI action too).
    m_->driver.expect("設定値の入力")
        .expectShown("IntEd1", "9")
        .expectShown("IntEd2", "2")
        .expectShown("IntEd3", "00")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle3")->text(), QString("AFI値(Hex)"));
        })
        .setText("IntEd3", "3c")
        .pressOk();
    runItem("InventoryRead161", {}, 300);
    m_->driver.expect("TInp3Data2Dlg")
        .expectShown("IntEd2", "3C")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle2")->text(), QString("AFI値(Hex)"));
            QCOMPARE(d->findChild<QLabel *>("STTitle3")->text(), QString());
            QVERIFY(!d->findChild<QLineEdit *>("EdString")->isVisible());
        })
        .pressCancel();
    runItem("MnTIInventoryRead11", {}, 200, false);
    m_->driver.expect("AFI値の設定").expectShown("IntEd", "3C").pressCancel();
    runItem("MnLightAFI1", {}, 200, false);

    // The password dialogs start from PassData; the protected write shows its rows.
    m_->driver.expect("TWrData1Dlg")
        .expectShown("EdAddr", "0B")
        .expectShown("EdData0", "01")
        .expectShown("EdData3", "04")
        .then([](QWidget *d) { QVERIFY(!d->findChild<QLineEdit *>("EdAddr")->isEnabled()); })
        .pressCancel();
    runItem("MnWrLightPass", {}, 200, false);
    m_->driver.expect("Write Single Block Pwd Command")
        .expectShown("EdData0", "01")
        .expectShown("EdData3", "04")
        .expectShown("IntEd1", "9")
        .expectShown("EdWrdata0", "00")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle1")->text(), QString("ブロックＮＯ（０－Ｂ）"));
            QCOMPARE(d->findChild<QLabel *>("STTitle3")->text(), QString("データ(HEX)"));
            QVERIFY(d->findChild<QLineEdit *>("EdWrdata3")->isVisible());
        })
        .setText("IntEd1", "1F")   // beyond 0B: the box keeps it inside
        .pressCancel();
    runItem("WriteSingleBlockPwd1", {}, 200, false);
    m_->driver.expectMessage("KILL").pressStandard(QDialogButtonBox::Yes);
    m_->driver.expect("KILL Command")
        .expectShown("EdData1", "02")
        .then([](QWidget *d) {
            for (const char *n : {"STTitle1", "IntEd1", "STTitle3", "EdWrdata0", "EdWrdata3", "Label1", "Label5"})
                QVERIFY2(!d->findChild<QWidget *>(n)->isVisible(), n);
            QVERIFY(d->findChild<QWidget *>("EdData3")->isVisible());
        })
        .pressCancel();
    runItem("MnKill1", {}, 200, false);

    // Captions and ranges of the number boxes.
    m_->driver.expect("GetBlock コマンド").setText("IntEd", "99").expectShown("IntEd", "32").pressCancel();
    runItem("MnGetBlock", {}, 200, false);
    m_->driver.expect("ＵＩＤデータの取得")
        .expectShown("IntEd", "1")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle")->text(), QString("取得するUIDの番号を入力してください(１～)"));
        })
        .setText("IntEd", "0")
        .expectShown("IntEd", "1")
        .pressCancel();
    runItem("GetUIDData", {}, 200, false);
    m_->driver.expect("読み取り範囲の入力")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle2")->text(), QString("データ数[1-255]"));
        })
        .setText("IntEd2", "0")
        .expectShown("IntEd2", "1")
        .pressCancel();
    runItem("ReadBytes1", {}, 200, false);
    m_->window->appOptions().fBinaryWrite = 1;
    s.LastDataText = "not shown";
    m_->driver.expect("TInp3Data2Dlg")
        .expectShown("EdString", "")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle3")->text(), QString("データ（Hex）[１バイト２桁 例：00 01 02 03]"));
        })
        .pressCancel();
    runItem("WriteBytes1", {}, 200, false);
    m_->window->appOptions().fBinaryWrite = 0;
    m_->window->appOptions().TagBlockSize = 8;
    m_->driver.expect("TInp3Data2Dlg")
        .expectShown("EdString", "not shown")
        .then([](QWidget *d) {
            QCOMPARE(d->findChild<QLabel *>("STTitle3")->text(), QString("データ（8文字）"));
        })
        .pressCancel();
    runItem("MnCommWrite1", {}, 200, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));

    // A hex WriteBytes entry also becomes the byte count of the memory.
    resetOptions();
    m_->window->appOptions().fBinaryWrite = 1;
    m_->driver.expect("TInp3Data2Dlg").setText("IntEd1", "1").setText("EdString", "01 02 03 04 05").pressOk();
    runItem("WriteBytes1", {}, 100);
    QCOMPARE(int(s.MultiBlockCount), 5);
    QCOMPARE(int(s.MultiFirstBlock), 1);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

// ------------------------------------------------------------------ TI Light password

void TestTagActionsE2e::lightPasswordProtectsTheTag()
{
    resetOptions();
    QVERIFY(applyOptions("uid=" TI_UID));
    setField({kTi});   // password D4 C3 B2 A1 (byte 0 first)
    // The new password goes to block 11, and the dialogs offer it from now on.
    runItem("MnWrLightPass", {{"TWrData1Dlg", {"EdData3=11", "EdData2=22", "EdData1=33", "EdData0=44"}}}, 100);
    QCOMPARE(m_->sim.control("block get E007000012345601 11"), QString("OK 44332211"));

    // The old password no longer kills the tag.
    m_->clearLog();
    QList<QByteArray> sent = runItem("MnKill1", {question("KILL"), {"KILL Command", {"EdData3=A1", "EdData2=B2",
                                                                                   "EdData1=C3", "EdData0=D4"}}},
                                     100);
    QCOMPARE(sent.value(0).toHex(' '), requestFrame('x', QByteArray::fromHex("A811" TI_UID "D4C3B2A1")).toHex(' '));
    QVERIFY2(m_->log().contains("Unknown error."), qPrintable(m_->log().join('\n')));
    QVERIFY(m_->sim.control("tag get E007000012345601").contains("killed=0"));

    // The protected write with the new one is taken (the dialog offers the
    // password entered last, the old one).
    m_->driver.expect("TWritePwdDlg")
        .expectShown("EdData0", "D4")
        .setText("EdData0", "44").setText("EdData1", "33").setText("EdData2", "22").setText("EdData3", "11")
        .setText("IntEd1", "2")
        .setText("EdWrdata0", "AA")
        .pressOk();
    sent = runItem("WriteSingleBlockPwd1", {}, 100);
    QCOMPARE(sent.value(0).toHex(' '),
             requestFrame('x', QByteArray::fromHex("A911" TI_UID "4433221102AA000000")).toHex(' '));
    QCOMPARE(m_->sim.control("block get E007000012345601 2"), QString("OK AA000000"));

    // RP locks block 11: the password cannot be written any more.
    runItem("MnSetRP", {question("RPビット")}, 100);
    m_->clearLog();
    runItem("MnWrLightPass", {{"TWrData1Dlg", {"EdData0=55"}}}, 100);
    QVERIFY2(m_->log().contains("The specified block is locked and its content cannot be changed."),
             qPrintable(m_->log().join('\n')));
    QCOMPARE(m_->sim.control("block get E007000012345601 11"), QString("OK 44332211 locked"));

    // Kill with the password in force.
    m_->driver.expectMessage("KILL").pressStandard(QDialogButtonBox::Yes);
    m_->driver.expect("KILL Command")
        .setText("EdData0", "44").setText("EdData1", "33").setText("EdData2", "22").setText("EdData3", "11")
        .pressOk();
    runItem("MnKill1", {}, 100);
    QVERIFY(m_->sim.control("tag get E007000012345601").contains("killed=1"));
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestTagActionsE2e::anotherActionDuringAWaitIsIgnored()
{
    resetOptions();
    setField({kNxp});
    // A slow reply keeps an action in its wait while the operator picks
    // another item: that second command would take the reply state from
    // under the first wait, so it is not started, whichever menu it is in.
    for (const char *first : {"ReadBytes1", "MnReadSingleBlock"}) {
        QCOMPARE(m_->sim.control("fault delay 600 1").left(2), QString("OK"));
        m_->clearLog();
        bool secondRan = false;
        const QString dialog = QString(first) == "ReadBytes1" ? "TInp3Data2Dlg" : "TInputIntDlg";
        m_->driver.expect(dialog).then([&](QWidget *) {
            QTimer::singleShot(300, m_->window.get(), [&] {
                m_->item("MnSetEAS1")->trigger();
                m_->item("MnEASON1")->trigger();
                secondRan = true;
            });
        }).pressOk();
        const QList<QByteArray> sent = runItem(first, {}, 300);
        QVERIFY(secondRan);
        QCOMPARE(sent.size(), 1);
        const QString all = m_->log().join('\n');
        QVERIFY2(!all.contains("SLI_SetEASCommand") && !all.contains("ISO15693_WriteAFI"), qPrintable(all));
        QVERIFY2(!all.contains("NACK 受信") && !all.contains("タイムオーバー"), qPrintable(all));
    }
    // Once the wait is over the items work again.
    QCOMPARE(runItem("MnSetEAS1", {}, 100).size(), 1);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

// ------------------------------------------------------------------ TI Light AFI

void TestTagActionsE2e::lightAfiWritesOnlyAfterAnAcknowledgedRead()
{
    resetOptions();
    setField({kTi, "block set E007000012345601 10 C1C2C3C4"});
    // An earlier read of another block leaves its bytes in the read buffer.
    runItem("MnReadSingleBlock", {{"TInputIntDlg", {"IntEd=0"}}}, 100);
    QVERIFY(m_->log().contains("data: TI-T"));

    // The read of block 10 is refused: nothing is written over the block.
    QCOMPARE(m_->sim.control("fault nack 05,10 1").left(2), QString("OK"));
    m_->clearLog();
    QList<QByteArray> sent = runItem("MnLightAFI1", {{"TInputIntDlg", {"IntEd=5a"}}}, 300);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].toHex(' '), requestFrame('x', QByteArray::fromHex("200A00")).toHex(' '));
    QStringList log = m_->log();
    QVERIFY2(log.contains("NACK 受信") && log.filter("書き込みを中止しました").size() == 1, qPrintable(log.join('\n')));
    QVERIFY(!log.join('\n').contains("ISO15693_WriteSingleBlock"));
    QCOMPARE(m_->sim.control("block get E007000012345601 10"), QString("OK C1C2C3C4"));

    // A silent reader: the same.
    QCOMPARE(m_->sim.control("fault drop 1").left(2), QString("OK"));
    m_->clearLog();
    sent = runItem("MnLightAFI1", {{"TInputIntDlg", {"IntEd=5a"}}}, 300);
    QCOMPARE(sent.size(), 1);
    log = m_->log();
    QVERIFY2(log.contains("レスポンス待ち　タイムオーバー") && log.filter("書き込みを中止しました").size() == 1,
             qPrintable(log.join('\n')));
    QCOMPARE(m_->sim.control("block get E007000012345601 10"), QString("OK C1C2C3C4"));
    QVERIFY(m_->window->isEnabled());

    // Acknowledged: written, with the rest of block 10 as read.
    sent = runItem("MnLightAFI1", {{"TInputIntDlg", {"IntEd=5a"}}}, 100);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[1].toHex(' '), requestFrame('x', QByteArray::fromHex("210A5AC2C3C410")).toHex(' '));
    QCOMPARE(m_->sim.control("block get E007000012345601 10"), QString("OK 5AC2C3C4"));
}

void TestTagActionsE2e::lightAfiKeepsTheBlocksOwnBytes()
{
    resetOptions();
    kx9::TTComXDlg *c = m_->window->comm();
    // 8-byte blocks on both sides (the reader's block size is word 19 of its area 1).
    c->EEPROM_RDWR_CMD_TX(19, 1, QByteArray::fromHex("0808"));
    QVERIFY(c->WaitAck());
    m_->window->appOptions().TagBlockSize = 8;
    setField({"tag add E007000012345601 blocks=12 bs=8",
              "block set E007000012345601 10 C1C2C3C4C5C6C7C8", "block set E007000012345601 0 0102030405060708"});
    // A longer read before leaves other bytes after the block's in the buffer.
    runItem("MnReadMultiBlock", {{"TInp3Data2Dlg", {"IntEd1=0", "IntEd2=2"}}}, 100);
    const QList<QByteArray> sent = runItem("MnLightAFI1", {{"TInputIntDlg", {"IntEd=07"}}}, 100);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[0].toHex(' '), requestFrame('x', QByteArray::fromHex("200A00")).toHex(' '));
    QCOMPARE(sent[1].toHex(' '), requestFrame('x', QByteArray::fromHex("210A07C2C3C4C5C6C7C810")).toHex(' '));
    QCOMPARE(m_->sim.control("block get E007000012345601 10"), QString("OK 07C2C3C4C5C6C7C8"));
    c->EEPROM_RDWR_CMD_TX(19, 1, QByteArray::fromHex("0408"));
    QVERIFY(c->WaitAck());
}

// ------------------------------------------------------------------ data write

void TestTagActionsE2e::dataWriteLimits()
{
    // Tag-it mode: at most 32 bytes, and TagDataNum says so.
    resetOptions();
    QVERIFY(applyOptions("tagit=1"));
    setField({kTagIt});
    const QString forty = QString("0123456789").repeated(4);
    QList<QByteArray> sent = runItem("MnDataWrite", {{"TInp3Data2Dlg", {"EdString=" + forty}}}, 100);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[0].toHex(' '), requestFrame('J', QByteArray(4, '\0') + forty.left(32).toLatin1()).toHex(' '));
    QCOMPARE(int(m_->window->appOptions().TagDataNum), 32);
    QCOMPARE(m_->window->appOptions().TagDataStr, forty);
    setTagItMode(false);

    // Otherwise TagWriteNum: 300 characters, 200 sent.
    resetOptions();
    setField({"tag add E004010087654302 blocks=128 bs=4"});
    const QString text300 = QString("ABCDEFGHIJ").repeated(30);
    m_->clearLog();
    sent = runItem("MnDataWrite", {{"TInp3Data2Dlg", {"EdString=" + text300}}}, 100);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(int(uint8_t(sent[0].at(3))), 4 + 200);
    QCOMPARE(sent[0].mid(8, 200), text300.left(200).toLatin1());
    QCOMPARE(int(m_->window->appOptions().TagDataNum), 200);
    QVERIFY(m_->log().contains("書き込み成功！！"));

    // A TagWriteNum above 255 is held to 255 (the operator is told); the
    // command itself carries at most 250.
    m_->window->appOptions().TagWriteNum = 400;
    m_->clearLog();
    sent = runItem("MnDataWrite", {{"TInp3Data2Dlg", {}}}, 100);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(int(uint8_t(sent[0].at(3))), 4 + 250);
    QCOMPARE(int(m_->window->appOptions().TagDataNum), 255);
    const QStringList log = m_->log();
    QVERIFY2(log.filter("TagWriteNum（400）").size() == 1, qPrintable(log.join('\n')));
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestTagActionsE2e::dataWriteBarCodeFocus()
{
    resetOptions();
    setField({kNxp});
    m_->window->appOptions().TagDataStr = "previous";
    m_->window->appOptions().fBarCodeReader = 1;
    m_->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_->window.get()));
    QString text = "?";
    bool focused = false, numbersHidden = false;
    QString caption, prompt;
    m_->driver.expect("TInp3Data2Dlg")
        .then([&](QWidget *d) {
            QTest::qWait(50);   // the dialog hands out its first focus after showing
            auto *e = d->findChild<QLineEdit *>("EdString");
            text = e->text();
            focused = e->hasFocus();
            numbersHidden = !d->findChild<QLineEdit *>("IntEd1")->isVisible() &&
                            !d->findChild<QLineEdit *>("IntEd2")->isVisible() &&
                            d->findChild<QLabel *>("STTitle1")->text().isEmpty();
            caption = d->windowTitle();
            prompt = d->findChild<QLabel *>("STTitle3")->text();
        })
        .pressCancel();
    // Ctrl+W as the operator presses it on the main window.
    const int before = m_->received();
    QTest::keyClick(m_->window.get(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(m_->driver.waitAllAnswered(5000));
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(text, QString());
    QVERIFY(focused);
    QVERIFY(numbersHidden);
    QCOMPARE(caption, QString("タグデータの書き込み"));
    QCOMPARE(prompt, QString("データ（文字列）"));
    QCOMPARE(m_->received(), before);
    QCOMPARE(m_->window->appOptions().TagDataStr, QString("previous"));

    // Without the scanner the last text is offered again.
    m_->window->appOptions().fBarCodeReader = 0;
    m_->driver.expect("TInp3Data2Dlg").expectShown("EdString", "previous").pressCancel();
    runItem("TBtDataWrite", {}, 200, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

// ------------------------------------------------------------------ options

void TestTagActionsE2e::passwordSavedWithTheOptions()
{
    resetOptions();
    setField({kTi});
    runItem("MnWrLightPass", {{"TWrData1Dlg", {"EdData3=DE", "EdData2=AD", "EdData1=BE", "EdData0=EF"}}}, 100);
    const uint8_t *pass = m_->window->appOptions().PassData;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(pass), 4), QByteArray::fromHex("EFBEADDE"));
    runItem("MnDataWrite", {{"TInp3Data2Dlg", {"EdString=saved"}}}, 100);
    // Closing the window writes the Option section.
    m_->window->close();
    m_->window.reset();
    QFile ini(m_->iniPath);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(ini.readAll());
    for (const char *line : {"PassData[0]=239", "PassData[1]=190", "PassData[2]=173", "PassData[3]=222",
                             "TagDataStr=saved", "TagDataNum=5"})
        QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
}

QTEST_MAIN(TestTagActionsE2e)
#include "test_tag_actions_e2e.moc"
