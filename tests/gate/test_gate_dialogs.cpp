// The gate dialogs on their real widgets, offscreen: bytes to controls and
// back, the bits no control covers, fields whose control shows no selection,
// the voice lists, and the count dialogs' polling, reports, log and chart.
#include "dialog_driver.h"
#include "gate/count_dialogs.h"
#include "gate/gate_dialogs.h"
#include "read_only_folder.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kx9;
using namespace kx9::gate;

namespace {

template <class T>
T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("no %s", qPrintable(name));
    return c;
}

int indexOf(QWidget *dlg, const QString &name) { return BitControls::valueOf(dlg->findChild<QWidget *>(name)); }

// Every control an operator can reach to its first item or to 0.
void clearAll(QWidget *dlg)
{
    for (auto *g : dlg->findChildren<gate::RadioGroup *>())
        if (!g->isHidden())
            g->button(0)->click();
    for (auto *c : dlg->findChildren<QComboBox *>())
        c->setCurrentIndex(0);
    for (auto *e : dlg->findChildren<IntEdit *>())
        e->setValue(0);
}

QString fieldText(QWidget *dlg, const QString &name) { return child<QLabel>(dlg, name)->text(); }

} // namespace

class TestGateDialogs : public QObject {
    Q_OBJECT
private slots:
    void modeBit7IsWrittenBackAsRead();
    void memorySwitchesRoundTrip();
    void memorySwitchBitsWithoutControlSurvive();
    void fieldWithoutItemKeepsTheValueRead_data();
    void fieldWithoutItemKeepsTheValueRead();
    void voiceLists();
    void dispOutStateW20AndW30();
    void sensorStates();
    void rawWriteBytes_data();
    void rawWriteBytes();
    void rawReadShowsHex();
    void melodyCommand();
    void countModeWords();
    void countValueEditor();
    void countDialogTimer();
    void pollIsNeverReentered();
    void countReports();
    void chartFollowsTheValues();
    void readOnlyLogFolderKeepsTheDialogUsable();
};

void TestGateDialogs::modeBit7IsWrittenBackAsRead()
{
    TGDousaModeDlg dlg;
    dlg.ShowMode(0x80);
    for (gate::RadioGroup *g : {dlg.RG_bit01, dlg.RG_bit2, dlg.RG_bit3, dlg.RG_bit4, dlg.RG_bit5, dlg.RG_bit6})
        QCOMPARE(g->index(), 0);
    dlg.RG_bit01->button(3)->click();
    dlg.RG_bit5->button(1)->click();
    QCOMPARE(dlg.TakeMode(0x80), uint8_t(0x80 | 0x03 | 0x20));
    // 0x2D: in/out sensors "入" (1), reverse, error response, person sensor off, EAS mode.
    dlg.ShowMode(0x2D);
    QCOMPARE(dlg.RG_bit01->index(), 1);
    QCOMPARE(dlg.RG_bit2->index(), 1);
    QCOMPARE(dlg.RG_bit3->index(), 1);
    QCOMPARE(dlg.RG_bit4->index(), 0);
    QCOMPARE(dlg.RG_bit5->index(), 1);
    QCOMPARE(dlg.RG_bit6->index(), 0);
    QCOMPARE(dlg.TakeMode(0x2D), uint8_t(0x2D));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ゲートの動作モード"));
    QCOMPARE(dlg.OKBtn->text(), QStringLiteral("設定(&S)"));
}

void TestGateDialogs::memorySwitchesRoundTrip()
{
    TGEEPROMDlg dlg(true);
    // Word 1 = 0xA5C3: L C3 = 1100 0011, H A5 = 1010 0101.
    const QList<uint16_t> words{0xA5C3, 0x2824, 0x1002, 0x2341, 0x2453, 0x1424, 0x0004};
    dlg.ShowWords(words);
    QCOMPARE(indexOf(&dlg, "EEP1_Lbit012"), 3);
    QCOMPARE(indexOf(&dlg, "EEP1_Lbit34"), 0);
    QCOMPARE(indexOf(&dlg, "EEP1_Lbit567"), -1);   // 6: the list has no item for it
    QCOMPARE(indexOf(&dlg, "EEP1_Hbit01"), 1);
    QCOMPARE(indexOf(&dlg, "EEP1_Hbit234"), 1);
    QCOMPARE(indexOf(&dlg, "EEP1_Hbit56"), 1);
    QCOMPARE(indexOf(&dlg, "EEP1_Hbit7"), 1);
    QCOMPARE(indexOf(&dlg, "EEP2_Lbit4567"), 2);
    QCOMPARE(indexOf(&dlg, "EEP2_Hbit234"), 2);
    QCOMPARE(indexOf(&dlg, "EEP3_Lbit4567"), 0);
    QCOMPARE(indexOf(&dlg, "EEP3_Hbit4567"), 1);
    QCOMPARE(indexOf(&dlg, "EEP4_Hbit0123"), 3);
    QCOMPARE(indexOf(&dlg, "EEP5_Lbit0123"), 3);
    QCOMPARE(indexOf(&dlg, "EEP5_Lbit4567"), 5);
    QCOMPARE(indexOf(&dlg, "EEP6_Hbit2"), 1);
    QCOMPARE(indexOf(&dlg, "EdVolume"), 4);
    QCOMPARE(dlg.TakeWords(words), words);
    // A change lands in its own bits only.
    child<QComboBox>(&dlg, "EEP3_Hbit0123")->setCurrentIndex(12);
    child<IntEdit>(&dlg, "EEP2_Lbit4567")->setValue(15);
    QList<uint16_t> expected = words;
    expected[1] = 0x28F4;
    expected[2] = 0x1C02;
    QCOMPARE(dlg.TakeWords(words), expected);
}

void TestGateDialogs::memorySwitchBitsWithoutControlSurvive()
{
    // Word 3 L bit 3, word 4 L bit 4, word 5 H bit 0, word 6 H bit 7, word 7 bits 4-15.
    const QList<uint16_t> uncovered{0x0000, 0x0000, 0x0008, 0x0010, 0x0100, 0x8000, 0xFFF0};
    for (bool w30 : {false, true}) {
        TGEEPROMDlg dlg(w30);
        QList<uint16_t> read;
        for (int i = 0; i < 7; ++i)
            read << uint16_t(0xFFFF);
        dlg.ShowWords(read);
        clearAll(&dlg);
        QCOMPARE(dlg.TakeWords(read), uncovered);
        QCOMPARE(dlg.PageControl1->isTabVisible(6), w30);
        QCOMPARE(dlg.PageControl1->count(), 7);
        QCOMPARE(dlg.PageControl1->tabText(0), QStringLiteral("メモリースイッチ１"));
        QCOMPARE(dlg.PageControl1->tabText(6), QStringLiteral("メモリースイッチ7"));
    }
}

void TestGateDialogs::fieldWithoutItemKeepsTheValueRead_data()
{
    QTest::addColumn<bool>("w30");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("word");       // memory switch number
    QTest::addColumn<uint16_t>("value");  // the word as read
    // 3-bit field, 4 items: 5, 6, 7 have none.
    QTest::newRow("buzzer sound 5") << false << "EEP1_Lbit012" << 1 << uint16_t(0xFFFD);
    QTest::newRow("lamp 7 at H bits 5-7") << false << "EEP2_Hbit567" << 2 << uint16_t(0xE000);
    QTest::newRow("base time 6") << true << "EEP6_Lbit123" << 6 << uint16_t(0x000C);
    // 4-bit "音声出力回数" with two items.
    QTest::newRow("voice count 9") << false << "EEP4_Lbit0123" << 4 << uint16_t(0x0009);
    // W20 voice lists: 8 entries for in/out, 4 for errors.
    QTest::newRow("W20 in voice 9") << false << "EEP3_Lbit4567" << 3 << uint16_t(0x0090);
    QTest::newRow("W20 out voice 15") << false << "EEP3_Hbit0123" << 3 << uint16_t(0x5F00);
    QTest::newRow("W20 error voice 4") << false << "EEP3_Hbit4567" << 3 << uint16_t(0x4000);
}

void TestGateDialogs::fieldWithoutItemKeepsTheValueRead()
{
    QFETCH(bool, w30);
    QFETCH(QString, control);
    QFETCH(int, word);
    QFETCH(uint16_t, value);
    TGEEPROMDlg dlg(w30);
    QList<uint16_t> read(7, 0);
    read[word - 1] = value;
    dlg.ShowWords(read);
    QCOMPARE(indexOf(&dlg, control), -1);
    if (auto *c = dlg.findChild<QComboBox *>(control)) {
        // The value read is named where the list has no entry for it.
        const int v = FieldGet(value, control == "EEP3_Lbit4567" ? 4 : control == "EEP3_Hbit0123" ? 8 : 12, 4);
        QCOMPARE(c->placeholderText(), QStringLiteral("%1h:（一覧にない値）").arg(v, 2, 16, QChar(u'0')));
        QCOMPARE(c->currentText(), QString());
    }
    // Written back as read: neither all ones in the field nor a spill into its neighbours.
    QCOMPARE(dlg.TakeWords(read), read);
}

void TestGateDialogs::voiceLists()
{
    const QStringList a20 = VoiceListA(false), b20 = VoiceListB(false), a30 = VoiceListA(true), b30 = VoiceListB(true);
    QCOMPARE(a20.size(), 8);
    QCOMPARE(b20.size(), 4);
    QCOMPARE(a30.size(), 16);
    QCOMPARE(b30.size(), 16);
    QCOMPARE(a20[6], QStringLiteral("06h:ウー　・　・　・     (音階：右上り後右下り)"));
    QCOMPARE(b20[3], QStringLiteral("03h:ピンポンパンポン(音階：右上り後右下り)"));
    QCOMPARE(b30[4], QStringLiteral("04h:おはようございます"));
    QCOMPARE(a30[9], QStringLiteral("09h:不正持ち出しです。カウンターまでお戻りください"));
    QCOMPARE(a30[10], b30[10]);
    QCOMPARE(a30[10], QStringLiteral("0ah:カード読取エラーです"));
    // W30: value 9 is an entry.
    TGEEPROMDlg dlg(true);
    QList<uint16_t> read(7, 0);
    read[2] = 0x0090;
    dlg.ShowWords(read);
    QCOMPARE(dlg.EEP3_Lbit4567->currentIndex(), 9);
    QCOMPARE(dlg.EEP3_Lbit4567->count(), 16);
}

void TestGateDialogs::dispOutStateW20AndW30()
{
    TGDispOutStateDlg w20(false);
    QVERIFY(!w20.PageControl1->isTabVisible(2));
    QVERIFY(w20.findChild<QWidget *>("DOS2_bit5")->isHidden());
    QVERIFY(!w20.findChild<QWidget *>("DOS2_bit3")->isHidden());
    QCOMPARE(w20.DOS1_bit7->title(), QStringLiteral("基板上のタグ読取確認用LED"));
    w20.ShowState(QByteArray::fromHex("81F0"));
    QCOMPARE(indexOf(&w20, "DOS1_bit0"), 1);
    QCOMPARE(indexOf(&w20, "DOS1_bit7"), 1);
    QCOMPARE(indexOf(&w20, "DOS2_bit4"), 1);
    clearAll(&w20);
    child<gate::RadioGroup>(&w20, "DOS2_bit1")->button(1)->click();
    // Bits 4-7 of byte 2 go back as read (F0), whatever the hidden groups say.
    QCOMPARE(w20.TakeState(QByteArray::fromHex("81F0")), QByteArray::fromHex("00F2"));

    TGDispOutStateDlg w30(true);
    QVERIFY(w30.PageControl1->isTabVisible(2));
    QCOMPARE(w30.DOS1_bit7->title(), QStringLiteral("焦電センサー入力確認用ＬＥＤ"));
    QCOMPARE(w30.PageControl1->tabText(2), QStringLiteral("汎用I/O"));
    QCOMPARE(child<gate::RadioGroup>(&w30, "DOS3_bit3")->title(), QStringLiteral("汎用ＩＯ４"));
    QCOMPARE(child<gate::RadioGroup>(&w30, "DOS3_bit0")->button(1)->text(), QStringLiteral("1"));
    w30.ShowState(QByteArray::fromHex("00E0A5"));
    QCOMPARE(indexOf(&w30, "DOS2_bit7"), 1);
    QCOMPARE(indexOf(&w30, "DOS3_bit0"), 1);
    QCOMPARE(indexOf(&w30, "DOS3_bit1"), 0);
    clearAll(&w30);
    child<gate::RadioGroup>(&w30, "DOS2_bit6")->button(1)->click();
    child<gate::RadioGroup>(&w30, "DOS3_bit1")->button(1)->click();
    QCOMPARE(w30.TakeState(QByteArray::fromHex("00E0A5")), QByteArray::fromHex("0040A2"));
}

void TestGateDialogs::sensorStates()
{
    TSensorStateDlg w20(false);
    w20.ShowSensors(QByteArray::fromHex("01A5"), 0x2A, 0x01);
    QCOMPARE(indexOf(&w20, "SW_bit0"), 1);
    QCOMPARE(w20.ST_DIPSW->text(), QStringLiteral("A5"));
    QCOMPARE(indexOf(&w20, "IO_bit0"), 0);
    QCOMPARE(indexOf(&w20, "IO_bit1"), 1);
    QCOMPARE(indexOf(&w20, "Person_bit0"), 1);
    QVERIFY(w20.findChild<QWidget *>("IO_bit2")->isHidden());
    TSensorStateDlg w30(true);
    w30.ShowSensors(QByteArray::fromHex("000F"), 0x2A, 0x00);
    QCOMPARE(w30.ST_DIPSW->text(), QStringLiteral("0F"));
    QCOMPARE(indexOf(&w30, "IO_bit3"), 1);
    QCOMPARE(indexOf(&w30, "IO_bit5"), 1);
    QCOMPARE(indexOf(&w30, "Person_bit0"), 0);
    QVERIFY(!w30.findChild<QWidget *>("IO_bit5")->isHidden());
    // Display only: a click changes nothing.
    QTest::mouseClick(child<gate::RadioGroup>(&w30, "SW_bit0")->button(1), Qt::LeftButton);
    QCOMPARE(indexOf(&w30, "SW_bit0"), 0);
}

void TestGateDialogs::rawWriteBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("1234 twice") << "1234" << 2 << QByteArray::fromHex("34123412");
    QTest::newRow("not hexadecimal") << "xyz" << 1 << QByteArray::fromHex("0000");
    QTest::newRow("empty") << "" << 1 << QByteArray::fromHex("0000");
    QTest::newRow("ffff") << "ffff" << 3 << QByteArray::fromHex("FFFFFFFFFFFF");
    QTest::newRow("no words") << "12" << 0 << QByteArray();
}

void TestGateDialogs::rawWriteBytes()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QByteArray, bytes);
    QCOMPARE(TEEPROM_WriteDlg::WriteBytes(text, count), bytes);
}

void TestGateDialogs::rawReadShowsHex()
{
    int calls = 0;
    bool succeed = true;
    TEEPROM_ReadDlg dlg([&](uint8_t start, uint8_t count, QByteArray &bytes) {
        ++calls;
        if (!succeed)
            return false;
        bytes = QByteArray::fromHex("0A1B") + QByteArray(1, char(start)) + QByteArray(1, char(count));
        return true;
    });
    QCOMPARE(dlg.windowTitle(), QStringLiteral("EEPROM_READ"));
    QCOMPARE(dlg.IntEd1->maximum(), 14);
    QVERIFY(dlg.EdString->text().isEmpty());
    dlg.IntEd1->setValue(3);
    dlg.IntEd2->setValue(2);
    dlg.actionButton->click();
    QCOMPARE(dlg.EdString->text(), QStringLiteral("0A 1B 03 02 "));
    succeed = false;
    dlg.actionButton->click();
    QCOMPARE(calls, 2);
    QCOMPARE(dlg.EdString->text(), QStringLiteral("0A 1B 03 02 "));
}

void TestGateDialogs::melodyCommand()
{
    TGBuzLedDlg dlg;
    QCOMPARE(dlg.TakeCommand(), QByteArray::fromHex("2A020000009600"));
    dlg.CB_CmdMode->setCurrentIndex(1);
    dlg.CBOnryou->setChecked(true);
    dlg.CBUseTime->setChecked(true);
    dlg.EdOto->setValue(7);
    dlg.EdOnryou->setValue(200);
    dlg.CBLanpMode->setCurrentIndex(3);
    dlg.EdTime->setValue(65535);
    QCOMPARE(dlg.TakeCommand(), QByteArray::fromHex("2A0D07C803FFFF"));
}

void TestGateDialogs::countModeWords()
{
    TMCountSetDlg w20(false);
    QVERIFY(!w20.PageControl1->isTabVisible(2));
    const QList<uint16_t> read{0x0033, 0x0A12, 0x00FF};
    w20.ShowWords(read);
    QCOMPARE(indexOf(&w20, "EEP11_Lb0"), 1);
    QCOMPARE(indexOf(&w20, "EEP11_Lb4"), 1);
    QCOMPARE(indexOf(&w20, "EEP11_Hb0"), 0);
    QCOMPARE(indexOf(&w20, "EEP12_Lb03"), 2);
    QCOMPARE(indexOf(&w20, "CBInterVal"), 1);
    QCOMPARE(indexOf(&w20, "EEP12_Hb"), 10);
    QCOMPARE(indexOf(&w20, "RG_MW3_7"), 1);
    QCOMPARE(w20.TakeWords(read), read);
    // Unlisted bits stay: word 1 bits 2-3, 6-7, 9-15; word 2 bits 6-7; word 3 bits 11-15.
    TMCountSetDlg w30(true);
    QVERIFY(w30.PageControl1->isTabVisible(2));
    const QList<uint16_t> ones{0xFFFF, 0xFFFF, 0xFFFF};
    w30.ShowWords(ones);
    // Every field holds a value: the combos 15 and 3 have no item.
    QCOMPARE(indexOf(&w30, "EEP12_Lb03"), -1);
    QCOMPARE(indexOf(&w30, "CBInterVal"), -1);
    QCOMPARE(w30.TakeWords(ones), ones);
    clearAll(&w30);
    QCOMPARE(w30.TakeWords(ones), (QList<uint16_t>{0xFECC, 0x00C0, 0xF800}));
    QCOMPARE(child<gate::RadioGroup>(&w30, "RG_MW3_10")->button(0)->text(), QStringLiteral("有効"));
}

void TestGateDialogs::countValueEditor()
{
    TMCountValue w20(Model::W20);
    QVERIFY(w20.PageControl1->isTabVisible(0));
    QVERIFY(!w20.PageControl1->isTabVisible(1));
    CountValues v;
    v.people = {4294967295u, 7};
    v.alarms = {65535, 2};
    w20.ShowValues(v);
    QCOMPARE(child<QLineEdit>(&w20, "S1Mcount")->text(), QStringLiteral("4294967295"));
    QCOMPARE(child<IntEdit>(&w20, "S2Acount")->text(), QStringLiteral("2"));
    QCOMPARE(w20.TakeValues(), v);
    QCOMPARE(w20.OKBtn->text(), QStringLiteral("設定"));
    QCOMPARE(w20.CancelBtn->text(), QStringLiteral("Close"));

    TMCountValue w30(Model::W30);
    QVERIFY(w30.PageControl1->isTabVisible(1));
    QVERIFY(!w30.PageControl1->isTabVisible(0));
    CountValues x;
    x.people = {1, 2, 3, 4, 5, 6};
    x.alarms = {11, 12, 13, 14, 15, 16};
    w30.ShowValues(x);
    // EdCount1..12: per record people A, people B, alarms A, alarms B.
    const QStringList shown{"1", "2", "11", "12", "3", "4", "13", "14", "5", "6", "15", "16"};
    for (int i = 0; i < 12; ++i)
        QCOMPARE(child<QLineEdit>(&w30, QStringLiteral("EdCount%1").arg(i + 1))->text(), shown[i]);
    child<QLineEdit>(&w30, "EdCount5")->setText("99999999999");
    child<QLineEdit>(&w30, "EdCount5")->editingFinished();
    QCOMPARE(w30.TakeValues().people[2], 4294967295u);
}

void TestGateDialogs::countDialogTimer()
{
    QTemporaryDir dir;
    TGateCountDlg dlg(dir.filePath("log.csv"), [](CountValues &) { return false; });
    QCOMPARE(dlg.windowTitle(), QStringLiteral("人数カウントダイアログ"));
    QCOMPARE(dlg.IntEdit1->value(), 1);
    QCOMPARE(dlg.RadioGroup1->index(), 0);
    QVERIFY(dlg.pollTimer()->isActive());
    QCOMPARE(dlg.pollTimer()->interval(), 1000);
    for (const char *f : {"EdPeople1", "EdAlarm1", "EdPeople2", "EdAlarm2"})
        QCOMPARE(fieldText(&dlg, f), QStringLiteral("0"));
    dlg.IntEdit1->setText("5");
    QCOMPARE(dlg.pollTimer()->interval(), 5000);
    dlg.IntEdit1->setText("0");
    QVERIFY(!dlg.pollTimer()->isActive());
    dlg.IntEdit1->setText("2");
    QVERIFY(dlg.pollTimer()->isActive());
    QCOMPARE(dlg.pollTimer()->interval(), 2000);
    dlg.RadioGroup1->button(1)->click();      // "オート"
    QVERIFY(!dlg.pollTimer()->isActive());
    dlg.IntEdit1->setText("3");
    QVERIFY(!dlg.pollTimer()->isActive());
    dlg.RadioGroup1->button(0)->click();      // "マニュアル"
    QVERIFY(dlg.pollTimer()->isActive());
    QCOMPARE(dlg.pollTimer()->interval(), 3000);

    TGateCount2Dlg w30(dir.filePath("log30.csv"), {});
    QCOMPARE(w30.windowTitle(), QStringLiteral("人数カウントダイアログ２"));
    QCOMPARE(w30.findChildren<QGroupBox *>().first()->title(), QStringLiteral("通路１（入）"));
    QVERIFY(w30.findChild<QLabel *>("EdAlarm6"));
}

void TestGateDialogs::pollIsNeverReentered()
{
    QTemporaryDir dir;
    TGateCountDlg *self = nullptr;
    int polls = 0;
    TGateCountDlg dlg(dir.filePath("log.csv"), [&](CountValues &v) {
        ++polls;
        // A tick while this poll waits (the wait runs the event loop).
        self->PollTick();
        v.people[0] = 5;
        return true;
    });
    self = &dlg;
    dlg.PollTick();
    QCOMPARE(polls, 1);
    QVERIFY(!dlg.pollBusy());
    QCOMPARE(fieldText(&dlg, "EdPeople1"), QStringLiteral("5"));
    // A failed poll keeps the values.
    TGateCountDlg failing(dir.filePath("log2.csv"), [](CountValues &v) {
        v.people[0] = 77;
        return false;
    });
    failing.PollTick();
    QCOMPARE(fieldText(&failing, "EdPeople1"), QStringLiteral("0"));
    // "オート" does not poll.
    failing.RadioGroup1->button(1)->click();
    int autoPolls = 0;
    TGateCountDlg automatic(dir.filePath("log3.csv"), [&](CountValues &) { return ++autoPolls, true; });
    automatic.RadioGroup1->button(1)->click();
    automatic.PollTick();
    QCOMPARE(autoPolls, 0);
}

void TestGateDialogs::countReports()
{
    QTemporaryDir dir;
    TGateCountDlg w20(dir.filePath("a.csv"), {});
    const QByteArray block = QByteArray::fromHex("050000000A00000001000200");
    // 11 bytes (count 12): not a whole record.
    QVERIFY(!w20.ShowReport(12, block.left(11)));
    QVERIFY(!w20.ShowReport(11, block.left(10)));
    QCOMPARE(fieldText(&w20, "EdPeople1"), QStringLiteral("0"));
    QVERIFY(w20.ShowReport(13, block));
    QCOMPARE(fieldText(&w20, "EdPeople1"), QStringLiteral("5"));
    QCOMPARE(fieldText(&w20, "EdAlarm1"), QStringLiteral("1"));
    QCOMPARE(fieldText(&w20, "EdPeople2"), QStringLiteral("10"));
    QCOMPARE(fieldText(&w20, "EdAlarm2"), QStringLiteral("2"));
    // A count that claims more than the bytes brought reads no further than them.
    QVERIFY(w20.ShowReport(200, QByteArray::fromHex("070000000800000003000400")));
    QCOMPARE(fieldText(&w20, "EdPeople1"), QStringLiteral("7"));

    TGateCount2Dlg w30(dir.filePath("b.csv"), {});
    QByteArray three;
    for (int lane = 0; lane < 3; ++lane) {
        CountValues v;
        v.people[0] = uint32_t(10 * lane + 1);
        v.people[1] = uint32_t(10 * lane + 2);
        v.alarms[0] = uint16_t(10 * lane + 3);
        v.alarms[1] = uint16_t(10 * lane + 4);
        three += EncodeCountRecords(v, 1);
    }
    QVERIFY(!w30.ShowReport(23, three.left(22)));          // below 24: ignored
    // Count 24..36: 23..35 bytes. Only the whole records are shown.
    QVERIFY(w30.ShowReport(24, three.left(23)));
    QCOMPARE(fieldText(&w30, "EdPeople1"), QStringLiteral("1"));
    QCOMPARE(fieldText(&w30, "EdAlarm2"), QStringLiteral("4"));
    QCOMPARE(fieldText(&w30, "EdPeople3"), QStringLiteral("0"));
    QVERIFY(w30.ShowReport(36, three.left(35)));
    QCOMPARE(fieldText(&w30, "EdPeople3"), QStringLiteral("11"));
    QCOMPARE(fieldText(&w30, "EdAlarm4"), QStringLiteral("14"));
    QCOMPARE(fieldText(&w30, "EdPeople5"), QStringLiteral("0"));
    QVERIFY(w30.ShowReport(37, three));
    QCOMPARE(fieldText(&w30, "EdPeople5"), QStringLiteral("21"));
    QCOMPARE(fieldText(&w30, "EdAlarm6"), QStringLiteral("24"));
}

void TestGateDialogs::chartFollowsTheValues()
{
    QTemporaryDir dir;
    TGateCountDlg dlg(dir.filePath("a.csv"), {});
    QCOMPARE(dlg.series().size(), 4);
    QCOMPARE(dlg.series()[0]->name(), QStringLiteral("人数１"));
    QCOMPARE(dlg.series()[3]->name(), QStringLiteral("アラーム２"));
    QCOMPARE(dlg.series()[0]->count(), 0);
    dlg.ShowReport(13, QByteArray::fromHex("050000000A00000001000200"));
    dlg.ShowReport(13, QByteArray::fromHex("060000000C00000001000300"));
    QCOMPARE(dlg.series()[0]->count(), 2);
    QCOMPARE(dlg.series()[0]->at(1).y(), 6.0);
    QCOMPARE(dlg.series()[2]->at(0).y(), 10.0);
    QCOMPARE(dlg.series()[3]->at(1).y(), 3.0);
    QVERIFY(dlg.series()[0]->at(1).x() >= dlg.series()[0]->at(0).x());
    TGateCount2Dlg w30(dir.filePath("b.csv"), {});
    QCOMPARE(w30.series().size(), 12);
    QCOMPARE(w30.series()[6]->name(), QStringLiteral("人数２（出）"));
}

void TestGateDialogs::readOnlyLogFolderKeepsTheDialogUsable()
{
    QTemporaryDir dir;
    kx9test::ReadOnlyFolder folder(dir.filePath("ro"));
    QVERIFY2(folder.holds(), "the folder could not be made read-only");
    const QString path = folder.filePath("W20LogFile.csv");
    kx9test::DialogDriver driver;
    driver.expectMessage(QStringLiteral("ログファイルが作成できません")).pressStandard(QDialogButtonBox::Ok);
    int polls = 0;
    TGateCountDlg dlg(path, [&](CountValues &v) {
        ++polls;
        v.people[1] = 42;
        return true;
    });
    QVERIFY(!dlg.CreateLogIfMissing());
    QVERIFY2(driver.waitAllAnswered(5000), qPrintable(driver.report()));
    dlg.show();
    driver.expectMessage(QStringLiteral("ログファイルが作成できません")).pressStandard(QDialogButtonBox::Ok);
    dlg.OKBtn->click();
    QVERIFY2(driver.waitAllAnswered(5000), qPrintable(driver.report()));
    QVERIFY2(driver.ok(), qPrintable(driver.report()));
    QVERIFY(!QFile::exists(path));
    // Still open and working: polling goes on and the fields follow.
    QVERIFY(dlg.isVisible());
    dlg.PollTick();
    QCOMPARE(polls, 1);
    QCOMPARE(fieldText(&dlg, "EdPeople2"), QStringLiteral("42"));
    dlg.IntEdit1->setText("4");
    QCOMPARE(dlg.pollTimer()->interval(), 4000);
}

QTEST_MAIN(TestGateDialogs)
#include "test_gate_dialogs.moc"
