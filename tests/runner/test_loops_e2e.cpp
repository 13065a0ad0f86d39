// The reader loop commands, the raw command sender and the tag test and
// RDLoop parameter sequences against kx9sim: the frames on the wire as literal
// hex, the reports decoded into the grid and the log, and the reader's EEPROM
// and mode afterwards.
#include "runner_fixture.h"

#include "app/tag_grid.h"
#include "link/main_state.h"
#include "link/options.h"
#include "runner/loop_dialogs.h"
#include "runner/runner_widgets.h"
#include "ui/int_edit.h"

#include <QCheckBox>

using e2e::requestFrame;
using runner_test::Hex;

namespace {
const QByteArray kUidWire = QByteArray::fromHex("78563412000104E0");
const QString kUidText = QStringLiteral("E0 04 01 00 12 34 56 78 ");
const QString kUid2Text = QStringLiteral("E0 04 01 00 12 34 56 99 ");

int intValue(QWidget *dialog, const char *name)
{
    auto *e = dialog->findChild<kx9::IntEdit *>(QLatin1String(name));
    return e ? e->value() : -1;
}
int groupIndex(QWidget *dialog, const char *name)
{
    auto *g = dialog->findChild<kx9::ChoiceGroup *>(QLatin1String(name));
    return g ? g->itemIndex() : -2;
}
} // namespace

class TestLoops : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void readLoopFrameAndReport();
    void inventory16SlotsFrameAndReport();
    void rdLoopPollingFrameAndReports();
    void rawSender_data();
    void rawSender();
    void rawSenderRefusesLongText();
    void tagTestModeOnAndOff();
    void tagTestParameters();
    void rdLoopParameter();

private:
    // Rows of the result grid whose UID column reads `uid`, as their data texts.
    QStringList gridData(const QString &uid) const;
    QList<QByteArray> trigger(const QString &item, int settleMs);
    std::unique_ptr<e2e::Monitor> m_;
};

void TestLoops::initTestCase()
{
    m_ = runner_test::StartMonitor();
    QVERIFY2(m_->ok, qPrintable(m_->error));
    QCOMPARE(m_->sim.control("tag add E004010012345678 afi=07 bs=4 blocks=28 text=HELLOWORLD").left(2), QString("OK"));
    memcpy(m_->window->mainState().CurrentUid, kUidWire.constData(), 8);
}

void TestLoops::cleanupTestCase() { m_.reset(); }

void TestLoops::init()
{
    kx9::AppOptions &o = m_->window->appOptions();
    o.ReadOptionFlag = 0;
    o.ReadUidFlag = 0;
    m_->window->ClearResults();
    m_->clearLog();
}

QStringList TestLoops::gridData(const QString &uid) const
{
    QStringList out;
    kx9::TagGrid *g = m_->window->grid();
    for (int r = 1; r < g->rowCount(); ++r)
        if (g->cell(r, 3) == uid)
            out << g->cell(r, 2);
    return out;
}

QList<QByteArray> TestLoops::trigger(const QString &item, int settleMs)
{
    const int before = m_->received();
    m_->item(item)->trigger();
    // The callers look at driver.ok(): an answer nobody took is a failure there.
    m_->driver.waitAllAnswered(5000);
    QTest::qWait(settleMs);
    return m_->receivedSince(before);
}

void TestLoops::readLoopFrameAndReport()
{
    m_->window->appOptions().ReadOptionFlag = 1;
    m_->driver.expect("TRFLoopDlg")
        .setText("EdBlockNum", "1")
        .setText("EdLen", "4")
        .setText("EdAFI", "07")
        .setChecked("CBUseAFI")
        .setIndex("RGMemSW0", 1)   // back to command mode after the first data
        .setIndex("RGMemSW7", 1)
        .press("OKBtn");
    const QList<QByteArray> sent = trigger("ReadLoop1", 800);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    // F2, mode, flags (read option 0x10 + AFI 0x20), first block, length, AFI, the current UID.
    QCOMPARE(sent.value(0).toHex(' '), requestFrame('x', Hex("F2813001040778563412000104E0")).toHex(' '));
    QCOMPARE(sent.size(), 1);
    // The reader's 'L' report: UID and blocks 1.. as bytes 4-7 of its memory.
    QCOMPARE(gridData(kUidText), QStringList{"OWOR"});

    // The dialog opens with what was entered last.
    m_->driver.expect("TRFLoopDlg")
        .expectShown("EdBlockNum", "1")
        .expectShown("CBUseAFI", "1")
        .expectShown("RGMemSW0", "1")
        .expectShown("RGMemSW1", "0")
        .pressCancel();
    QCOMPARE(trigger("ReadLoop1", 100).size(), 0);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestLoops::inventory16SlotsFrameAndReport()
{
    QCOMPARE(m_->sim.control("tag add E004010012345699 bs=4 blocks=28").left(2), QString("OK"));
    bool maskHidden = false;
    m_->driver.expect("TInv16SDlg")
        .then([&](QWidget *d) { maskHidden = !d->findChild<QWidget *>("MaskPanel")->isVisible(); })
        .setText("EdAFI", "00")
        .setChecked("CBUseAFI", false)
        .setIndex("RGMemSW0", 1)   // stop after the first find
        .press("OKBtn");
    const QList<QByteArray> sent = trigger("Inventory16Slots1", 800);
    m_->sim.control("tag remove E004010012345699");
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QVERIFY(maskHidden);
    QCOMPARE(sent.size(), 1);
    // F1, mode, AFI switch, AFI, mask length, eight mask bytes.
    QCOMPARE(sent.value(0).toHex(' '), requestFrame('x', Hex("F1010000000000000000000000")).toHex(' '));
    // One 'i' report with both tags.
    QCOMPARE(gridData(kUidText).size(), 1);
    QCOMPARE(gridData(kUid2Text).size(), 1);
}

void TestLoops::rdLoopPollingFrameAndReports()
{
    m_->window->appOptions().ReadOptionFlag = 1;
    m_->driver.expect("TRDLoopPol1Dlg")
        .expectShown("EdTime", "100")
        .setText("EdBlockNum", "0")
        .setText("EdLen", "4")
        .setText("EdTime", "50")
        .setIndex("RGMemSW2", 1)   // a report at every read
        .press("OKBtn");
    const QList<QByteArray> sent = trigger("MnRDLoopPolCmd", 900);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    // F4, flags, parameter, polling time (low byte first), first block, length, AFI.
    QCOMPARE(sent.value(0).toHex(' '), requestFrame('x', Hex("F410043200000400")).toHex(' '));
    QVERIFY(!gridData(kUidText).isEmpty());
    QCOMPARE(gridData(kUidText).first(), QString("HELL"));

    // The polling time and the parameter start anew each time; "データ受信" fetches.
    m_->driver.expect("TRDLoopPol1Dlg").expectShown("EdTime", "100").expectShown("RGMemSW2", "0").pressCancel();
    trigger("MnRDLoopPolCmd", 50);
    const QList<QByteArray> get = trigger("MnRDLoopPolGet", 400);
    QCOMPARE(get.value(0).toHex(' '), requestFrame('x', Hex("F5")).toHex(' '));
    QVERIFY(m_->log().contains("ISO15693_RDLOOPPOLGETCmd OK"));
}

void TestLoops::rawSender_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("onTheWire");   // as kx9sim logged it
    QTest::addColumn<QString>("logLine");
    QTest::newRow("inventory frame") << "02 00 78 02 01 40 03 C0 0D" << "02 00 78 02 01 40 03 C0 0D"
                                     << "ISO15693_Inventory受信";
    QTest::newRow("no blanks") << "02007802014003C00D" << "02 00 78 02 01 40 03 C0 0D" << "ISO15693_Inventory受信";
    // A wrong SUM goes out as typed; the reader's NACK 42 is shown.
    QTest::newRow("wrong SUM") << "02 00 78 02 01 40 03 C1 0D" << "02 00 78 02 01 40 03 C1 0D (SUM error)"
                               << "コマンドのサム値エラー";
}

void TestLoops::rawSender()
{
    QFETCH(QString, typed);
    QFETCH(QString, onTheWire);
    QFETCH(QString, logLine);
    m_->driver.expect("TCmdOutpDlg").setText("Edit1", typed).press("OKBtn");
    const int before = int(runner_test::SimRxLines(m_->sim).size());
    m_->item("MnCmdOutp")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QTRY_VERIFY_WITH_TIMEOUT(m_->log().contains(logLine), 3000);
    QCOMPARE(runner_test::SimRxLines(m_->sim).mid(before), QStringList{onTheWire});
    // The next time the field holds what was typed.
    m_->driver.expect("TCmdOutpDlg").expectShown("Edit1", typed).pressCancel();
    m_->item("MnCmdOutp")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
}

void TestLoops::rawSenderRefusesLongText()
{
    const QString text = QString("00").repeated(256) + QLatin1Char('0');   // 513 characters
    m_->driver.expect("TCmdOutpDlg").setText("Edit1", text).press("OKBtn");
    const int before = int(runner_test::SimRxLines(m_->sim).size());
    m_->item("MnCmdOutp")->trigger();
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QTest::qWait(200);
    QVERIFY(m_->log().contains("文字列が不正です。"));
    QCOMPARE(runner_test::SimRxLines(m_->sim).size(), before);
}

void TestLoops::tagTestModeOnAndOff()
{
    // Test mode 5 reports every tag it sees: with none in the field the
    // sequence back to command mode is not interrupted by reports.
    m_->sim.control("tag remove all");
    const QList<QByteArray> on = trigger("MnTagTest1ON", 200);
    QVERIFY(m_->window->isEnabled());
    QVERIFY(m_->window->logSwitch());
    QStringList subs;
    for (const QByteArray &f : on)
        subs << QString::fromLatin1(QByteArray(1, f.at(2)) + ' ' + f.mid(4, qMin(3, int(uint8_t(f.at(3))))).toHex(' ').toUpper());
    QCOMPARE(subs.size(), 8);
    QCOMPARE(subs.at(0), QString("O 00"));
    QVERIFY(subs.at(1).startsWith("N 00 00"));          // command mode, not stored
    QCOMPARE(subs.at(2), QString("O 70 10 01"));
    QCOMPARE(subs.at(3), QString("N 70 10 01"));
    QCOMPARE(subs.at(4), QString("O 70 04 01"));
    QCOMPARE(subs.at(5), QString("N 70 04 01"));
    QCOMPARE(subs.at(6), QString("O 00"));
    QVERIFY(subs.at(7).startsWith("N 10 54"));          // test mode 5, stored
    QVERIFY(m_->sim.control("get mode").startsWith("OK 54"));
    const auto word = [this](int w) {
        return QByteArray::fromHex(m_->sim.control(QStringLiteral("eeprom get area1 %1").arg(w)).mid(3).toLatin1());
    };
    QCOMPARE(uint8_t(word(16).at(1)) & 0x01, 0x01);
    QCOMPARE(uint8_t(word(4).at(0)) & 0x10, 0x10);
    // The stored flags go out without bit 3.
    const QByteArray last = on.last();
    QCOMPARE(uint8_t(last.at(4 + 3)) & 0x08, 0);

    trigger("MnTagTest1OFF", 200);
    QVERIFY(m_->sim.control("get mode").startsWith("OK 00"));
    QCOMPARE(uint8_t(word(16).at(1)) & 0x01, 0x00);
    QCOMPARE(uint8_t(word(4).at(0)) & 0x10, 0x00);
    QCOMPARE(m_->sim.control("tag add E004010012345678 afi=07 bs=4 blocks=28 text=HELLOWORLD").left(2), QString("OK"));
}

void TestLoops::tagTestParameters()
{
    QCOMPARE(m_->sim.control("eeprom set area1 3 12AB"), QString("OK"));
    QCOMPARE(m_->sim.control("eeprom set area1 14 050A"), QString("OK"));
    QCOMPARE(m_->sim.control("eeprom set area2 4 0208"), QString("OK"));
    QCOMPARE(m_->sim.control("eeprom set area2 10 0677"), QString("OK"));
    const QString modeBefore = m_->sim.control("get mode");
    QList<int> shown;
    m_->driver.expect("TKensaParaDlg")
        .then([&shown](QWidget *d) {
            shown = {intValue(d, "EdAFIValue"), intValue(d, "EdOUTPTime"), intValue(d, "EdInputChkTime"),
                     intValue(d, "EdRdStAddr"), intValue(d, "EdDataLen"), groupIndex(d, "RGCheckMode"),
                     groupIndex(d, "RGWriteData")};
        })
        .setText("EdAFIValue", "CD")
        .setText("EdOUTPTime", "7")
        .setText("EdInputChkTime", "20")
        .setText("EdRdStAddr", "3")
        .setText("EdDataLen", "9")
        .setIndex("RGCheckMode", 3)
        .setIndex("RGWriteData", 0)
        .press("設定");
    trigger("MnTagTest1Para", 200);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(shown, (QList<int>{0xAB, 5, 10, 2, 8, 2, 1}));
    QCOMPARE(m_->sim.control("eeprom get area1 3"), QString("OK 12CD"));
    QCOMPARE(m_->sim.control("eeprom get area1 14"), QString("OK 0714"));
    QCOMPARE(m_->sim.control("eeprom get area2 4"), QString("OK 0309"));
    // Bits 0-2 of the check byte are the dialog's, the rest and the high byte as read.
    QCOMPARE(m_->sim.control("eeprom get area2 10"), QString("OK 0377"));
    QCOMPARE(m_->sim.control("get mode"), modeBefore);
    QVERIFY(m_->window->isEnabled());

    // Cancel writes nothing and still sets the mode back.
    const QString writes = m_->sim.control("eeprom writes");
    m_->driver.expect("TKensaParaDlg").setText("EdAFIValue", "11").pressCancel();
    trigger("MnTagTest1Para", 200);
    QCOMPARE(m_->sim.control("eeprom writes"), writes);
    QCOMPARE(m_->sim.control("eeprom get area1 3"), QString("OK 12CD"));
    QCOMPARE(m_->sim.control("get mode"), modeBefore);
}

void TestLoops::rdLoopParameter()
{
    QCOMPARE(m_->sim.control("eeprom set area2 4 0510"), QString("OK"));
    QList<int> shown;
    QString title;
    m_->driver.expect("TSetEEPROM2Dlg")
        .then([&](QWidget *d) {
            title = d->windowTitle();
            shown = {intValue(d, "EdRdStAddr"), intValue(d, "EdDataLen")};
        })
        .setText("EdRdStAddr", "6")
        .setText("EdDataLen", "20")
        .press("OKBtn");
    const QList<QByteArray> sent = trigger("MnRDLoop1", 200);
    QVERIFY2(m_->driver.ok(), qPrintable(m_->driver.report()));
    QCOMPARE(title, QString("RDLoopのパラメータの設定"));
    QCOMPARE(shown, (QList<int>{5, 16}));
    QCOMPARE(sent.last().toHex(' '), requestFrame('N', Hex("7204010614")).toHex(' '));
    QCOMPARE(m_->sim.control("eeprom get area2 4"), QString("OK 0614"));
    QVERIFY(m_->window->isEnabled());
}

QTEST_MAIN(TestLoops)
#include "test_loops_e2e.moc"
