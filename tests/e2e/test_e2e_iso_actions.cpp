// The "ISO15693コマンド" menu and the quick mode switch, end to end: the real
// main window and the real input dialogs (filled and pressed by the dialog
// driver) against kx9sim over loopback TCP. Frames are read from the
// simulator's own log of what it received.
#include "e2e_fixture.h"

#include "link/main_state.h"
#include "link/options.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <algorithm>

using e2e::requestFrame;

namespace {

// The one tag in the field: UID E0 04 01 00 12 34 56 78, 28 blocks of 4 bytes.
const QByteArray kUidWire = QByteArray::fromHex("78563412000104E0");
const char *kTagSpec = "tag add E004010012345678 dsfid=3A afi=07 ic=01 bs=4 blocks=28";

// One dialog answer of a table row: the dialog, then "field=text" entries, then OK.
struct Answer {
    QString dialog;
    QStringList fields;
};

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestE2eIsoActions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void commandMenusFollowTheMode();
    void continuousInventoryWithTxOff();
    void test2AsksForTheBlockNumber();

    void menuRows_data();
    void menuRows();
    void getSystemInfoSummary();
    void actionMemoryPrefillsTheDialogs();
    void cancelSendsNothing_data();
    void cancelSendsNothing();
    void oversizeWriteMultiBlockIsRefused();
    void nackAndSilentReader();
    void anotherActionDuringAWaitIsIgnored();

private:
    // Triggers a menu item with the answers queued, and returns the frames the
    // simulator received meanwhile (waiting a little for actions without a wait).
    // With `settleMs`, first waits (up to 5 s) for the first frame when `expectSome`, then settleMs more.
    QList<QByteArray> runItem(const QString &item, const QList<Answer> &answers = {}, int settleMs = 0,
                              bool expectSome = true);
    void resetOptions();
    bool waitForReceived(int count, int ms = 3000);

    std::unique_ptr<e2e::Monitor> m_;
};

void TestE2eIsoActions::initTestCase()
{
    m_ = std::make_unique<e2e::Monitor>();
    QVERIFY2(m_->ok, qPrintable(m_->error));
    QCOMPARE(m_->sim.control(QString::fromLatin1(kTagSpec)).left(2), QString("OK"));
}

void TestE2eIsoActions::cleanupTestCase()
{
    m_.reset();
}

void TestE2eIsoActions::resetOptions()
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
    o.fMenuDisp = 0;
    o.fInvTxOff = 0;
}

bool TestE2eIsoActions::waitForReceived(int count, int ms)
{
    return QTest::qWaitFor([&] { return m_->received() >= count; }, ms);
}

QList<QByteArray> TestE2eIsoActions::runItem(const QString &item, const QList<Answer> &answers, int settleMs,
                                             bool expectSome)
{
    QAction *a = m_->item(item);
    if (!a) {
        qWarning("no item %s", qPrintable(item));
        return {};
    }
    for (const Answer &ans : answers) {
        auto &step = m_->driver.expect(ans.dialog);
        for (const QString &f : ans.fields)
            step.setText(f.section('=', 0, 0), f.section('=', 1));
        step.press(QStringLiteral("OKBtn"));
    }
    const int before = m_->received();
    a->trigger();
    if (settleMs > 0) {
        if (expectSome)
            waitForReceived(before + 1, 5000);
        QTest::qWait(settleMs);
    }
    return m_->receivedSince(before);
}

// ------------------------------------------------------------------ mode switch and gating

void TestE2eIsoActions::commandMenusFollowTheMode()
{
    resetOptions();
    QAction *iso = m_->item("MnISO15693");
    QVERIFY(iso);
    // At start the reader's mode is unknown: the command menus are off.
    QVERIFY(!iso->isEnabled());
    QVERIFY(!iso->menu()->isEnabled());
    QVERIFY(!m_->item("TBtModeSet")->isEnabled());
    QVERIFY(m_->item("TBtSetCmdMode")->isEnabled());

    // "コマンドモードへ": reads the mode once, then sets code 0x00 (no store),
    // mode byte 2 as read, the flags as read (0x18), 0x01, polling time 5.
    QList<QByteArray> sent = runItem("TBtSetCmdMode", {}, 400);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[0], requestFrame('O', QByteArray::fromHex("00")));
    QCOMPARE(sent[1], requestFrame('N', QByteArray::fromHex("00000018010005")));
    QVERIFY(iso->isEnabled());
    QVERIFY(m_->item("TBtModeSet")->isEnabled());
    QVERIFY(m_->item("TBtSetCmdMode")->isChecked());
    QVERIFY(!m_->window->mainState().ModeRereadFlag);

    // The mode was read: the next switch sends at once.
    sent = runItem("TBtSetATRMD", {}, 400);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0], requestFrame('N', QByteArray::fromHex("00010018010005")));
    QVERIFY(!iso->isEnabled());
    QVERIFY(!m_->item("TBtSetConf")->isEnabled());
    QVERIFY(m_->item("TBtSetATRMD")->isChecked());
    QVERIFY(!m_->item("TBtSetCmdMode")->isChecked());
    // The mode buttons stay usable in every mode.
    QVERIFY(m_->item("TBtSetCmdMode")->isEnabled());

    // The pop-up "コマンドモード" (F5) presses the button and switches back.
    sent = runItem("MnSetCmd1", {}, 400);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0], requestFrame('N', QByteArray::fromHex("00000018010005")));
    QVERIFY(m_->item("TBtSetCmdMode")->isChecked());
    QVERIFY(iso->isEnabled());

    // fMenuDisp keeps them enabled whatever the mode.
    m_->window->appOptions().fMenuDisp = 1;
    sent = runItem("MnAutoScan", {}, 400);
    QCOMPARE(sent.value(0), requestFrame('N', QByteArray::fromHex("00010018010005")));
    QVERIFY(iso->isEnabled());
    m_->window->appOptions().fMenuDisp = 0;
    runItem("MnSetCmdMode", {}, 400);
    QVERIFY(iso->isEnabled());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestE2eIsoActions::continuousInventoryWithTxOff()
{
    resetOptions();
    m_->window->appOptions().fInvTxOff = 1;
    m_->clearLog();
    // Read memory switch 3 (0xAB), write it back with the two TX-off bits,
    // wait for that, then the mode 0x50; quietly and with the window disabled.
    bool disabledDuring = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] { disabledDuring |= !m_->window->isEnabled(); });
    probe.start(5);
    const QList<QByteArray> sent = runItem("TBtSetTest1Mode", {}, 400);
    probe.stop();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent[0], requestFrame('O', QByteArray::fromHex("AB")));
    QCOMPARE(sent[1].mid(2, 3), QByteArray::fromHex("4E02AB"));
    QVERIFY2((uint8_t(sent[1].at(5)) & 0x18) == 0x18, sent[1].toHex(' ').constData());
    QCOMPARE(sent[2], requestFrame('N', QByteArray::fromHex("00500018010005")));
    QVERIFY(disabledDuring);
    QVERIFY(m_->window->isEnabled());
    QVERIFY(m_->window->logSwitch());
    // The exchange itself stays out of the log; the mode setting (after it) is logged again.
    const QString log = m_->log().join('\n');
    QVERIFY2(!log.contains("RXParamData") && !log.contains("TxSetParamData"), qPrintable(log));
    QVERIFY2(log.contains("DousaModeSet"), qPrintable(log));
    QVERIFY(!m_->item("MnISO15693")->isEnabled());
    runItem("TBtSetCmdMode", {}, 400);
    QVERIFY(m_->item("MnISO15693")->isEnabled());
}

void TestE2eIsoActions::test2AsksForTheBlockNumber()
{
    resetOptions();
    m_->window->mainState().LastBlockNo = 7;
    // Cancelled: still switches to 0x51, with the previous block number in the frame.
    m_->driver.expect("TInputIntDlg").pressCancel();
    QList<QByteArray> sent = runItem("Test21", {}, 400);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0], requestFrame('N', QByteArray::fromHex("00510018010700")));
    QCOMPARE(int(m_->window->mainState().LastBlockNo), 7);
    QVERIFY(!m_->item("MnISO15693")->isEnabled());

    QString caption, prompt;
    m_->driver.expect("TInputIntDlg")
        .then([&](QWidget *d) {
            caption = d->windowTitle();
            prompt = d->findChild<QLabel *>("STTitle")->text();
        })
        .setText("IntEd", "12")
        .press("OKBtn");
    sent = runItem("Test21", {}, 400);
    QCOMPARE(caption, QString("ブロックＮＯ"));
    QCOMPARE(prompt, QString("ブロックＮＯを入力してください"));
    QCOMPARE(sent.value(0), requestFrame('N', QByteArray::fromHex("00510018010C00")));
    QCOMPARE(int(m_->window->mainState().LastBlockNo), 12);
    runItem("TBtSetCmdMode", {}, 400);
    QVERIFY(m_->item("MnISO15693")->isEnabled());
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

// ------------------------------------------------------------------ the menu rows

void TestE2eIsoActions::menuRows_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("options");     // "key=value" pairs set on the main window's options
    QTest::addColumn<QString>("data");        // DATA of the 'x' frame, hex; "U" stands for the 8 UID bytes
    QTest::addColumn<QString>("decoded");     // a line the decoder must log ("" = none checked)
    QTest::addColumn<bool>("acked");          // the wait must end with an ACK: no NACK or timeout line

    const QList<Answer> none;
    const auto blockNo = [](const char *n) { return QList<Answer>{{"TInputIntDlg", {QString("IntEd=") + n}}}; };
    const auto textBlock = [](const char *n, const char *text) {
        return QList<Answer>{{"TInp3Data2Dlg", {QString("IntEd1=") + n, QString("EdString=") + text}}};
    };

    // The inventory comes first: its reply makes the tag the current one (for the UID rows).
    QTest::newRow("Inventory 1 Slot") << "MnInventory1Slot1" << none << "" << "0140" << "ISO15693_Inventory受信" << true;
    QTest::newRow("Inventory 16 Slots") << "MnInventory16Slots1" << none << "" << "0100" << "ISO15693_Inventory受信" << true;
    QTest::newRow("Inventory only the AFI bit of Prog15693FLAG") << "MnInventory1Slot1" << none
                                                                 << "fUSESetOption=1 Prog15693FLAG=0x13" << "0140" << ""
                                                                 << true;
    QTest::newRow("Inventory AFI bit from Prog15693FLAG") << "MnInventory16Slots1" << none
                                                          << "fUSESetOption=1 Prog15693FLAG=0x23" << "0120" << ""
                                                          << false;
    QTest::newRow("Inventory2") << "Inventory21" << none << "" << "F00001" << "" << true;
    QTest::newRow("StayQuiet carries the UID") << "MnStayQuit" << none << "" << "0200U" << "" << false;
    // Addressed, so the tag leaves the quiet state StayQuiet put it in.
    QTest::newRow("ResetToReady") << "MnResetToReady" << none << "UidFlag=1" << "2601U" << "ISO15693_ResetToReady受信"
                                  << true;
    QTest::newRow("ReadSingleBlock read group") << "MnReadSingleBlock" << blockNo("5") << "" << "200500"
                                                << "ISO15693_ReadSingleBlock受信" << true;
    QTest::newRow("ReadSingleBlock option+UID") << "MnReadSingleBlock" << blockNo("5")
                                                << "ReadOptionFlag=1 ReadUidFlag=1" << "200511U"
                                                << "Block Security data: 0x00" << true;
    QTest::newRow("ReadSingleBlock override") << "MnReadSingleBlock" << blockNo("6")
                                              << "fUSESetOption=1 Prog15693FLAG=0x02" << "200602"
                                              << "ISO15693_ReadSingleBlock受信" << true;
    QTest::newRow("WriteSingleBlock AB") << "MnWriteSingleBlock" << textBlock("3", "AB") << "" << "21034142000010"
                                         << "ISO15693_WriteSingleBlock受信" << true;
    QTest::newRow("WriteSingleBlock ABCDEF") << "MnWriteSingleBlock" << textBlock("3", "ABCDEF") << ""
                                             << "21034142434410" << "ISO15693_WriteSingleBlock受信" << true;
    QTest::newRow("WriteSingleBlock write UID 1") << "MnWriteSingleBlock" << textBlock("2", "wxyz")
                                                  << "WriteOptionFlag=0 WriteUidFlag=1" << "21027778797A01U"
                                                  << "ISO15693_WriteSingleBlock受信" << true;
    QTest::newRow("WriteSingleBlock binary") << "MnWriteSingleBlock"
                                             << QList<Answer>{{"TWrData1Dlg",
                                                               {"EdAddr=04", "EdData3=11", "EdData2=22",
                                                                "EdData1=33", "EdData0=44"}}}
                                             << "fBinaryWrite=1" << "21044433221110"
                                             << "ISO15693_WriteSingleBlock受信" << true;
    QTest::newRow("ReadMultiBlock") << "MnReadMultiBlock"
                                    << QList<Answer>{{"TInp3Data2Dlg", {"IntEd1=2", "IntEd2=1"}}} << "" << "23020100"
                                    << "ISO15693_ReadMultiBlock受信" << true;
    QTest::newRow("WriteMultiBlock 2 blocks") << "MnWriteMultiBlock"
                                              << QList<Answer>{{"TInp3Data2Dlg",
                                                                {"IntEd1=2", "IntEd2=1", "EdString=ABCDEFGHIJ"}}}
                                              << "" << "2402014142434445464748" "10"
                                              << "ISO15693_WriteMultiBlock受信" << true;
    QTest::newRow("WriteMultiBlock padded") << "MnWriteMultiBlock"
                                            << QList<Answer>{{"TInp3Data2Dlg",
                                                              {"IntEd1=8", "IntEd2=1", "EdString=XYZ"}}}
                                            << "" << "2408015859" "5A0000000000" "10"
                                            << "ISO15693_WriteMultiBlock受信" << true;
    QTest::newRow("GetMBlockSecSt") << "MnGetMBlockSecSt"
                                    << QList<Answer>{{"TInp3Data2Dlg", {"IntEd1=0", "IntEd2=3"}}} << "UidFlag=0"
                                    << "2C000300" << "ISO15693_GetMBlockSecSt受信" << true;
    QTest::newRow("WriteAFI") << "MnWriteAFI" << QList<Answer>{{"TInp3Data1Dlg", {"IntEd3=7e"}}} << "" << "277E10"
                              << "ISO15693_WriteAFI受信" << true;
    QTest::newRow("WrietDSFID") << "MnWrietDSFID" << QList<Answer>{{"TInp3Data1Dlg", {"IntEd3=3C"}}} << ""
                                << "293C10" << "ISO15693_WrietDSFID受信" << true;
    QTest::newRow("GetSystemInfo UID group") << "MnGetSystemInfo" << none << "UidFlag=1" << "2B01U"
                                             << "ISO15693_GetSystemInfo受信" << true;
    QTest::newRow("SelectTag carries the UID") << "MnSelectTag" << none << "" << "2500U"
                                               << "ISO15693_SelectTag受信" << true;
    QTest::newRow("Read1Block(Select)") << "Read1BlockSelect1" << blockNo("5") << "fUSESetOption=1 Prog15693FLAG=0x33"
                                        << "200504" << "" << false;
    QTest::newRow("Write1Block(Select)") << "Write1BlockSelect1" << textBlock("3", "Z")
                                         << "fUSESetOption=1 Prog15693FLAG=0x33" << "21035A00000014" << "" << false;
    // The two-block commands are the TI chips' own: this (NXP) tag refuses them.
    QTest::newRow("Write2Blocks") << "MnWrite2Blocks"
                                  << QList<Answer>{{"TInp3Data2Dlg", {"IntEd1=10", "EdString=12345678"}}}
                                  << "WriteUidFlag=0 WriteOptionFlag=0 fUSESetOption=1 Prog15693FLAG=0x01"
                                  << "A20A313233343536373810" << "NACK 受信" << false;
    QTest::newRow("LockBlock") << "MnLockBlock" << blockNo("20") << "" << "221410" << "ISO15693_LockBlock受信" << true;
    QTest::newRow("Lock2Blocks") << "MnLock2Blocks" << blockNo("24") << "" << "A31810" << "NACK 受信" << false;
    QTest::newRow("LockAFI") << "MnLockAFI" << none << "" << "2810" << "ISO15693_LockAFI受信" << true;
    QTest::newRow("LockDSFID") << "MNLockDSFID" << none << "" << "2A10" << "ISO15693_LockDSFID受信" << true;
}

void TestE2eIsoActions::menuRows()
{
    QFETCH(QString, item);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, options);
    QFETCH(QString, data);
    QFETCH(QString, decoded);
    QFETCH(bool, acked);
    const bool waits = !item.endsWith("Select1") && item != "MnStayQuit";

    resetOptions();
    kx9::AppOptions &o = m_->window->appOptions();
    for (const QString &kv : options.split(' ', Qt::SkipEmptyParts)) {
        const QString key = kv.section('=', 0, 0);
        const int value = kv.section('=', 1).toInt(nullptr, 0);
        if (key == "fUSESetOption") o.fUSESetOption = value;
        else if (key == "Prog15693FLAG") o.Prog15693FLAG = uint8_t(value);
        else if (key == "ReadOptionFlag") o.ReadOptionFlag = value;
        else if (key == "ReadUidFlag") o.ReadUidFlag = value;
        else if (key == "WriteOptionFlag") o.WriteOptionFlag = value;
        else if (key == "WriteUidFlag") o.WriteUidFlag = value;
        else if (key == "UidFlag") o.UidFlag = value;
        else if (key == "fBinaryWrite") o.fBinaryWrite = value;
        else QFAIL(qPrintable("unknown option " + key));
    }
    QByteArray expected = QByteArray::fromHex(data.section('U', 0, 0).toLatin1());
    if (data.contains('U'))
        expected += kUidWire;

    m_->clearLog();
    const QList<QByteArray> sent = runItem(item, answers, waits ? 0 : 400);
    // (an action with a wait has had its reply when trigger() returns)
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].toHex(' '), requestFrame('x', expected).toHex(' '));

    if (!waits)
        QTest::qWait(300);   // let Timer1 route whatever came back
    const QStringList log = m_->log();
    const QString all = log.join('\n');
    // The monitor logged the same frame as its hex TX line.
    const QString txLine = QString::fromLatin1(requestFrame('x', expected).toHex(' ').toUpper());
    QVERIFY2(std::any_of(log.begin(), log.end(), [&](const QString &l) { return l.trimmed() == txLine; }),
             qPrintable(all));
    if (!decoded.isEmpty())
        QVERIFY2(log.contains(decoded), qPrintable(all));
    const bool timed = !item.endsWith("Select1");
    QCOMPARE(log.filter(QRegularExpression("^実行時間: \\d\\d:\\d\\d:\\d{2,3}$")).size(), timed ? 1 : 0);
    if (acked) {
        QVERIFY2(!all.contains("NACK 受信"), qPrintable(all));
        QVERIFY2(!all.contains("レスポンス待ち　タイムオーバー"), qPrintable(all));
        // The time is logged after the reply was decoded.
        const int t = int(log.indexOf(QRegularExpression("^実行時間: .*")));
        if (!decoded.isEmpty() && waits)
            QVERIFY(log.indexOf(decoded) < t);
    }
}

void TestE2eIsoActions::getSystemInfoSummary()
{
    resetOptions();
    m_->clearLog();
    runItem("MnGetSystemInfo");
    const QStringList log = m_->log();
    const QString all = log.join('\n');
    // 28 blocks of 4 bytes: block count field 0x1B, block size field 0x03.
    QCOMPARE(int(m_->window->mainState().TagSystemInfo.infoFlags), 0x0F);
    QCOMPARE(int(m_->window->mainState().TagSystemInfo.blockCountMinus1), 0x1B);
    QCOMPARE(int(m_->window->mainState().TagSystemInfo.blockSizeMinus1 & 0x1F), 0x03);
    const int t = int(log.indexOf(QRegularExpression("^実行時間: .*")));
    QVERIFY2(t >= 0, qPrintable(all));
    // After the time, in this order; the AFI is the one written by the WriteAFI row.
    QCOMPARE(log.mid(t + 1, 4),
             (QStringList{"AFI: 126[0x7E]", "ブロック数: 28", "ブロックサイズ: 4", "ＩＣ基準: 0x01"}));
}

void TestE2eIsoActions::actionMemoryPrefillsTheDialogs()
{
    resetOptions();
    kx9::MainState &s = m_->window->mainState();
    s.LastBlockNo = 9;
    s.MultiFirstBlock = 3;
    s.MultiBlockCount = 2;
    s.LastDataText = "memo";
    s.LastAfiDsfid = 0x1A5;
    QString shown[8];
    m_->driver.expect("TInputIntDlg").then([&](QWidget *d) {
        shown[0] = d->findChild<QLineEdit *>("IntEd")->text();
    }).pressCancel();
    runItem("MnReadSingleBlock");
    m_->driver.expect("TInp3Data2Dlg").then([&](QWidget *d) {
        shown[1] = d->findChild<QLineEdit *>("IntEd1")->text();
        shown[2] = d->findChild<QLineEdit *>("IntEd2")->text();
        shown[3] = d->findChild<QLineEdit *>("EdString")->text();
        shown[4] = d->findChild<QLabel *>("STTitle3")->text();
        shown[5] = d->windowTitle();
    }).pressCancel();
    runItem("MnWriteMultiBlock");
    m_->driver.expect("TInp3Data1Dlg").then([&](QWidget *d) {
        shown[6] = d->findChild<QLineEdit *>("IntEd3")->text();
        shown[7] = d->findChild<QLineEdit *>("IntEd1")->isVisible() ? "shown" : "hidden";
    }).pressCancel();
    runItem("MnWriteAFI");
    QCOMPARE(shown[0], QString("9"));
    QCOMPARE(shown[1], QString("3"));
    QCOMPARE(shown[2], QString("2"));
    QCOMPARE(shown[3], QString("memo"));
    QCOMPARE(shown[4], QString("データ（文字列）"));
    QCOMPARE(shown[5], QString("設定値の入力"));
    QCOMPARE(shown[6], QString("A5"));
    QCOMPARE(shown[7], QString("hidden"));

    // The text entry of a single block names the block size.
    m_->window->appOptions().TagBlockSize = 8;
    QString prompt, second;
    m_->driver.expect("TInp3Data2Dlg").then([&](QWidget *d) {
        prompt = d->findChild<QLabel *>("STTitle3")->text();
        second = d->findChild<QLineEdit *>("IntEd2")->isVisible() ? "shown" : "hidden";
    }).pressCancel();
    runItem("MnWriteSingleBlock");
    QCOMPARE(prompt, QString("データ（8文字）"));
    QCOMPARE(second, QString("hidden"));
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestE2eIsoActions::cancelSendsNothing_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("binary");
    QTest::newRow("ReadSingleBlock") << "MnReadSingleBlock" << "TInputIntDlg" << 0;
    QTest::newRow("WriteSingleBlock text") << "MnWriteSingleBlock" << "TInp3Data2Dlg" << 0;
    QTest::newRow("WriteSingleBlock binary") << "MnWriteSingleBlock" << "TWrData1Dlg" << 1;
    QTest::newRow("LockBlock") << "MnLockBlock" << "TInputIntDlg" << 0;
    QTest::newRow("ReadMultiBlock") << "MnReadMultiBlock" << "TInp3Data2Dlg" << 0;
    QTest::newRow("WriteMultiBlock") << "MnWriteMultiBlock" << "TInp3Data2Dlg" << 0;
    QTest::newRow("WriteAFI") << "MnWriteAFI" << "TInp3Data1Dlg" << 0;
    QTest::newRow("WrietDSFID") << "MnWrietDSFID" << "TInp3Data1Dlg" << 0;
    QTest::newRow("GetMBlockSecSt") << "MnGetMBlockSecSt" << "TInp3Data2Dlg" << 0;
    // The two-block commands are the TI chips' own: this (NXP) tag refuses them.
    QTest::newRow("Write2Blocks") << "MnWrite2Blocks" << "TInp3Data2Dlg" << 0;
    QTest::newRow("Lock2Blocks") << "MnLock2Blocks" << "TInputIntDlg" << 0;
    QTest::newRow("Read1Block(Select)") << "Read1BlockSelect1" << "TInputIntDlg" << 0;
    QTest::newRow("Write1Block(Select)") << "Write1BlockSelect1" << "TInp3Data2Dlg" << 0;
}

void TestE2eIsoActions::cancelSendsNothing()
{
    QFETCH(QString, item);
    QFETCH(QString, dialog);
    QFETCH(int, binary);
    resetOptions();
    m_->window->appOptions().fBinaryWrite = binary;
    kx9::MainState &s = m_->window->mainState();
    s.LastBlockNo = 1;
    s.MultiFirstBlock = 2;
    s.MultiBlockCount = 0;
    s.LastDataText = "keep";
    s.LastAfiDsfid = 0x11;
    m_->clearLog();
    // Values typed, then Cancel: nothing of it survives.
    auto &step = m_->driver.expect(dialog);
    for (const char *field : {"IntEd", "IntEd1", "IntEd2", "IntEd3", "EdAddr"})
        step.then([field](QWidget *d) {
            if (auto *e = d->findChild<QLineEdit *>(field); e && e->isVisible())
                e->setText("99");
        });
    step.pressCancel();
    const QList<QByteArray> sent = runItem(item, {}, 500, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(sent.isEmpty());
    QCOMPARE(m_->log(), QStringList());
    QCOMPARE(int(s.LastBlockNo), 1);
    QCOMPARE(int(s.MultiFirstBlock), 2);
    QCOMPARE(int(s.MultiBlockCount), 0);
    QCOMPARE(s.LastDataText, QString("keep"));
    QCOMPARE(int(s.LastAfiDsfid), 0x11);
}

void TestE2eIsoActions::oversizeWriteMultiBlockIsRefused()
{
    resetOptions();
    m_->clearLog();
    QString message;
    // 64 blocks of 4 bytes would be 256 data bytes: more than one frame holds.
    m_->driver.expect("TInp3Data2Dlg").setText("IntEd1", "0").setText("IntEd2", "63").setText("EdString", "X").press("OKBtn");
    m_->driver.expectMessage("256").then([&](QWidget *d) {
        message = d->property("text").toString();
    }).pressOk();
    QList<QByteArray> sent = runItem("MnWriteMultiBlock", {}, 300, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(sent.isEmpty());
    QVERIFY2(message.contains("251"), qPrintable(message));
    QCOMPARE(m_->log(), QStringList());
    // The entry is kept for the next try.
    QCOMPARE(int(m_->window->mainState().MultiBlockCount), 63);

    // With the UID in the frame the limit is 243 bytes: 61 blocks (244) are refused too.
    m_->window->appOptions().WriteUidFlag = 1;
    m_->driver.expect("TInp3Data2Dlg").setText("IntEd2", "60").press("OKBtn");
    m_->driver.expectMessage("243").pressOk();
    sent = runItem("MnWriteMultiBlock", {}, 300, false);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(sent.isEmpty());
    // 60 blocks (240 bytes) fit: sent with LEN 252.
    m_->driver.expect("TInp3Data2Dlg").setText("IntEd2", "59").press("OKBtn");
    sent = runItem("MnWriteMultiBlock");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(int(uint8_t(sent[0].at(3))), 4 + 240 + 8);
}

void TestE2eIsoActions::nackAndSilentReader()
{
    resetOptions();
    // A NACK: its text from the decoder, "NACK 受信" from the wait, then the time.
    QCOMPARE(m_->sim.control("fault nack 05,10 1").left(2), QString("OK"));
    m_->clearLog();
    runItem("MnReadSingleBlock", {{"TInputIntDlg", {"IntEd=5"}}});
    QStringList log = m_->log();
    QString all = log.join('\n');
    const int nack = int(log.indexOf("NACK 受信"));
    QVERIFY2(nack > 0, qPrintable(all));
    QVERIFY2(!log.contains("ISO15693_ReadSingleBlock受信"), qPrintable(all));
    QVERIFY2(QRegularExpression("^実行時間: 00:00:\\d{2,3}$").match(log.value(nack + 1)).hasMatch(), qPrintable(all));

    // GetSystemInfo refused: no summary lines.
    QCOMPARE(m_->sim.control("fault nack 05,0F 1").left(2), QString("OK"));
    m_->clearLog();
    runItem("MnGetSystemInfo");
    all = m_->log().join('\n');
    QVERIFY2(all.contains("NACK 受信") && all.contains("実行時間: "), qPrintable(all));
    QVERIFY2(!all.contains("ブロック数: ") && !all.contains("AFI: "), qPrintable(all));

    // A silent reader: the timeout line after 2000 ms, then the time.
    QCOMPARE(m_->sim.control("fault drop 1").left(2), QString("OK"));
    m_->clearLog();
    runItem("MnReadSingleBlock", {{"TInputIntDlg", {"IntEd=5"}}});
    log = m_->log();
    all = log.join('\n');
    const int to = int(log.indexOf("レスポンス待ち　タイムオーバー"));
    QVERIFY2(to >= 0, qPrintable(all));
    QVERIFY2(QRegularExpression("^実行時間: 00:02:\\d{2,3}$").match(log.value(to + 1)).hasMatch(), qPrintable(all));
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestE2eIsoActions::anotherActionDuringAWaitIsIgnored()
{
    resetOptions();
    // A slow reply keeps ReadSingleBlock in its wait while the operator
    // presses GetSystemInfo (Ctrl+F10): that second command would reset the
    // reply state under the first wait, so it is not started.
    QCOMPARE(m_->sim.control("fault delay 600 1").left(2), QString("OK"));
    m_->clearLog();
    bool secondRan = false;
    QList<bool> modeButtons;
    m_->driver.expect("TInputIntDlg").setText("IntEd", "5").then([&](QWidget *) {
        QTimer::singleShot(300, m_->window.get(), [&] {
            m_->item("MnGetSystemInfo")->trigger();
            // A mode button pressed during the wait is ignored too, and the
            // toolbar goes on showing command mode.
            m_->item("TBtSetATRMD")->trigger();
            modeButtons = {m_->item("TBtSetCmdMode")->isChecked(), m_->item("TBtSetATRMD")->isChecked()};
            secondRan = true;
        });
    }).press("OKBtn");
    const QList<QByteArray> sent = runItem("MnReadSingleBlock", {}, 300);
    QVERIFY(secondRan);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0], requestFrame('x', QByteArray::fromHex("200500")));
    const QString all = m_->log().join('\n');
    QVERIFY2(all.contains("ISO15693_ReadSingleBlock受信"), qPrintable(all));
    QVERIFY2(!all.contains("ISO15693_GetSystemInfo"), qPrintable(all));
    QVERIFY2(!all.contains("DousaModeSet"), qPrintable(all));
    QCOMPARE(modeButtons, (QList<bool>{true, false}));
    QVERIFY2(!all.contains("NACK 受信") && !all.contains("タイムオーバー"), qPrintable(all));
    // Once the first action has ended, the item works again.
    QCOMPARE(runItem("MnGetSystemInfo").size(), 1);
}

QTEST_MAIN(TestE2eIsoActions)
#include "test_e2e_iso_actions.moc"
