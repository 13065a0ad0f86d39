// The mode and area-2 dialogs on their real widgets, offscreen, and the byte
// rules under them: what a dialog shows for the bytes it is given and the
// bytes it builds back from what the operator chose.
#include "config/eeprom2_dialog.h"
#include "config/mode_dialogs.h"
#include "config/mode_logic.h"
#include "config/param_widgets.h"
#include "config/wide_int_edit.h"
#include "link/options.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace kx9;

class TestModeDialogs : public QObject {
    Q_OBJECT
private slots:
    void s6700FromTheDialog_data();
    void s6700FromTheDialog();
    void s6700ForATagFamily_data();
    void s6700ForATagFamily();
    void successRate_data();
    void successRate();
    void area2Data();

    void modeDialogShowsAndBuilds();
    void pollingTimeOnlyInPollingMode();
    void speedListFollowsTheRomOption();
    void s6700DialogShowsAndBuilds();
    void easDialog();
    void eeprom2RoundTripsEveryByte();
    void eeprom2BuildingRules();
    void wideBoxHoldsThirtyTwoBits();
};

void TestModeDialogs::s6700FromTheDialog_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("modul");
    QTest::addColumn<int>("amfm");
    QTest::addColumn<int>("byte");
    // 0x54 before the parity: three ones in bits 1-6 set bit 7.
    QTest::newRow("100% FSK 1/4") << 0 << 1 << 0 << 0xD4;
    QTest::newRow("10% FSK 1/4 (parity stays clear)") << 0 << 0 << 0 << 0x44;
    QTest::newRow("10% ASK 1/4") << 0 << 0 << 1 << 0xE4;
    QTest::newRow("100% ASK 1/256") << 1 << 1 << 1 << 0xFC;
    QTest::newRow("10% FSK 1/256") << 1 << 0 << 0 << 0xCC;
}

void TestModeDialogs::s6700FromTheDialog()
{
    QFETCH(int, tag);
    QFETCH(int, modul);
    QFETCH(int, amfm);
    QFETCH(int, byte);
    QCOMPARE(int(S6700FromDialog(tag, modul, amfm)), byte);
}

void TestModeDialogs::s6700ForATagFamily_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("fujitsu");
    QTest::addColumn<int>("byte");
    QTest::newRow("Fujitsu from D4") << 0xD4 << true << 0xE4;
    QTest::newRow("TI from D4") << 0xD4 << false << 0xD4;
    // Tag-it, bit 0 set, low data rate: all of it replaced.
    QTest::newRow("TI from Tag-it 09") << 0x09 << false << 0xD4;
    QTest::newRow("Fujitsu from Tag-it 09") << 0x09 << true << 0xE4;
    QTest::newRow("TI from 10% AM 1/256 (FF)") << 0xFF << false << 0xD4;
}

void TestModeDialogs::s6700ForATagFamily()
{
    QFETCH(int, from);
    QFETCH(bool, fujitsu);
    QFETCH(int, byte);
    QCOMPARE(int(S6700ForTagFamily(uint8_t(from), fujitsu ? TagFamily::Fujitsu : TagFamily::TiMydPhilips)), byte);
}

void TestModeDialogs::successRate_data()
{
    QTest::addColumn<uint>("s");
    QTest::addColumn<uint>("f");
    QTest::addColumn<QString>("line");
    QTest::newRow("1/2") << 1u << 2u << QStringLiteral("成功率: 0.333[1, 2]");
    QTest::newRow("nothing counted") << 0u << 0u << QStringLiteral("成功率: 0[0, 0]");
    QTest::newRow("all good") << 5u << 0u << QStringLiteral("成功率: 1[5, 0]");
    QTest::newRow("rounded up") << 2u << 1u << QStringLiteral("成功率: 0.667[2, 1]");
    QTest::newRow("trailing zeros") << 1u << 1u << QStringLiteral("成功率: 0.5[1, 1]");
    // The sum of two full counters must not wrap.
    QTest::newRow("full counters") << 0xFFFFFFFFu << 0xFFFFFFFFu << QStringLiteral("成功率: 0.5[4294967295, 4294967295]");
}

void TestModeDialogs::successRate()
{
    QFETCH(uint, s);
    QFETCH(uint, f);
    QFETCH(QString, line);
    QCOMPARE(SuccessRateText(s, f), line);
}

void TestModeDialogs::area2Data()
{
    QCOMPARE(Area2DataBytes(0x11223344u, 2), QByteArray::fromHex("44332211"));
    QCOMPARE(Area2DataBytes(0x11223344u, 3), QByteArray::fromHex("44332211"));
    QCOMPARE(Area2DataBytes(0x11223344u, 1), QByteArray::fromHex("4433"));
    QCOMPARE(Area2DataBytes(0x11223344u, 0), QByteArray::fromHex("4433"));
    QCOMPARE(Area2DataValue(QByteArray::fromHex("44332211")), 0x11223344u);
    QCOMPARE(Area2DataValue(QByteArray::fromHex("BBAA")), 0xAABBu);
    QCOMPARE(Area2StartWord(0), 1);
    QCOMPARE(Area2StartWord(7), 7);
    QCOMPARE(Area2WordCount(0), 1);
    QCOMPARE(Area2WordCount(3), 2);
}

void TestModeDialogs::modeDialogShowsAndBuilds()
{
    TDousaMode1Dlg dlg;
    // Flags 0xAB: bits 0-1 = 3, anticollision 0, continuous 1, buzzer 0, UID 1, bit 7 (38.4k).
    dlg.Show(9, 0x50, 0xAB, true);
    QCOMPARE(dlg.ComboBox1->currentText(), QStringLiteral("連続インベントリ"));
    QCOMPARE(dlg.RGAntiCol->itemIndex(), 0);
    QCOMPARE(dlg.GbReadMode->itemIndex(), 1);
    QCOMPARE(dlg.GbBuzzer->itemIndex(), 0);
    QCOMPARE(dlg.RGTxData->itemIndex(), 1);
    QCOMPARE(dlg.CBSpeed->currentText(), QStringLiteral("38.4kbps"));
    QCOMPARE(dlg.EdPolTime->value(), 9);
    QVERIFY(!dlg.CBWriteEEPROM->isChecked());
    QCOMPARE(int(dlg.TakeFlags()), 0xAB);
    QCOMPARE(int(dlg.TakeCode()), 0x50);

    // Bits 0-1 stay as passed in; the rest as chosen.
    dlg.RGAntiCol->setItemIndex(1);
    dlg.GbBuzzer->setItemIndex(1);
    dlg.RGTxData->setItemIndex(0);
    dlg.CBSpeed->setCurrentIndex(1);
    dlg.ComboBox1->setCurrentIndex(5);
    QCOMPARE(int(dlg.TakeFlags()), 0x03 | 0x04 | 0x08 | 0x10 | 0x40);
    QCOMPARE(int(dlg.TakeCode()), 0x24);

    // A code the list does not have shows as command mode and is built back as 0x00.
    dlg.Show(5, 0x55, 0x00, true);
    QCOMPARE(dlg.ComboBox1->currentIndex(), 0);
    QCOMPARE(int(dlg.TakeCode()), 0x00);
}

void TestModeDialogs::pollingTimeOnlyInPollingMode()
{
    TDousaMode1Dlg dlg;
    dlg.Show(5, 0x01, 0x18, true);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(!dlg.EdPolTime->isVisible());
    QVERIFY(!dlg.LbPolTime->isVisible());
    dlg.ComboBox1->setCurrentIndex(3);   // ポーリングモード
    QVERIFY(dlg.EdPolTime->isVisible());
    QVERIFY(dlg.LbPolTime->isVisible());
    QVERIFY(dlg.LbPolTimeUnit->isVisible());
    QCOMPARE(dlg.LbPolTimeUnit->text(), QStringLiteral("× ２００ｍｓ"));
    // A change of the speed list keeps the rule.
    dlg.CBSpeed->setCurrentIndex(2);
    QVERIFY(dlg.EdPolTime->isVisible());
    dlg.ComboBox1->setCurrentIndex(2);
    QVERIFY(!dlg.EdPolTime->isVisible());
    // Shown again in the polling mode: the box comes back at once.
    dlg.Show(12, 0x03, 0x18, true);
    QVERIFY(dlg.EdPolTime->isVisible());
    QCOMPARE(dlg.TakePollingTime(), uint16_t(12));
    dlg.reject();
    QCOMPARE(dlg.result(), kModalCancel);
}

void TestModeDialogs::speedListFollowsTheRomOption()
{
    TDousaMode1Dlg dlg;
    dlg.Show(5, 0, 0x80, false);
    QCOMPARE(dlg.CBSpeed->count(), 2);
    // Bit 7 has no item on an older reader: nothing is chosen, and both bits are built clear.
    QCOMPARE(dlg.CBSpeed->currentIndex(), -1);
    QCOMPARE(int(dlg.TakeFlags() & 0xC0), 0);
    dlg.Show(5, 0, 0x40, true);
    QCOMPARE(dlg.CBSpeed->count(), 3);
    QCOMPARE(dlg.CBSpeed->currentText(), QStringLiteral("9600bps"));
    // Bit 7 wins over bit 6.
    dlg.Show(5, 0, 0xC0, true);
    QCOMPARE(dlg.CBSpeed->currentIndex(), 2);
    QCOMPARE(int(dlg.TakeFlags() & 0xC0), 0x80);
}

void TestModeDialogs::s6700DialogShowsAndBuilds()
{
    TModeSet2Dlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("タグの動作モードの設定"));
    QCOMPARE(dlg.BtOK->text(), QStringLiteral("設定"));
    // Tag-it (bits 1-3 = 4), 100%, FSK: offered as ISO15693(1/256).
    dlg.Show(0xD8, false);
    QCOMPARE(dlg.RGTag1->itemIndex(), 1);
    QCOMPARE(dlg.RGModul->itemIndex(), 1);
    QCOMPARE(dlg.RGAmFm->itemIndex(), 0);
    QVERIFY(!dlg.CBWriteEEPROM->isChecked());
    QCOMPARE(int(dlg.TakeS6700()), 0x5C);
    dlg.Show(0xE4, true);
    QCOMPARE(dlg.RGTag1->itemIndex(), 0);
    QCOMPARE(dlg.RGModul->itemIndex(), 0);
    QCOMPARE(dlg.RGAmFm->itemIndex(), 1);
    QVERIFY(dlg.CBWriteEEPROM->isChecked());
    QCOMPARE(int(dlg.TakeS6700()), 0xE4);
}

void TestModeDialogs::easDialog()
{
    TSetEAS1Dlg dlg;
    dlg.Show(0x31, 0x30);
    QCOMPARE(dlg.IntEdit1->text(), QStringLiteral("31"));
    QCOMPARE(dlg.IntEdit2->text(), QStringLiteral("30"));
    dlg.IntEdit1->setText(QStringLiteral("1FF"));   // more than a byte: the box holds 255
    QCOMPARE(int(dlg.TakeOnValue()), 0xFF);
}

void TestModeDialogs::eeprom2RoundTripsEveryByte()
{
    // Every bit of bytes 1-19 has a control; out-of-range nibbles and bytes
    // (antenna 15, wait time 0x77) go back as read, byte 0 has no control.
    const QByteArray read = QByteArray::fromHex("5A77F10F8899A5C3123456789ABCDEF01357FEDC");
    ParamArea2 a{};
    std::copy(read.begin(), read.end(), reinterpret_cast<char *>(a.data()));
    AppOptions o;
    ParamDialogContext ctx;
    ctx.options = &o;
    TSetEEPROM2Dlg dlg(ctx);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Ｒ／ＷのEEPROM2の設定"));
    QStringList pages;
    for (int i = 0; i < dlg.PageControl1->count(); ++i)
        pages << dlg.PageControl1->tabText(i);
    QCOMPARE(pages, QStringList({"切り替え基板カスケード接続", "RFLOOPモード", "MemSw7", "MemSw8", "その他", "検査モード"}));
    dlg.ShowArea2(a);
    QCOMPARE(dlg.TakeArea2(), a);
    QCOMPARE(qobject_cast<IntEdit *>(dlg.control("EdANT1_SELNUM"))->value(), 1);
    QCOMPARE(qobject_cast<IntEdit *>(dlg.control("EdANT2_SELNUM"))->value(), 15);
    QCOMPARE(qobject_cast<ParamRadioGroup *>(dlg.control("RGCheckMode"))->itemIndex(), 2);
    QCOMPARE(qobject_cast<IntEdit *>(dlg.control("IntEdit1"))->text(), QStringLiteral("00DC"));
}

void TestModeDialogs::eeprom2BuildingRules()
{
    AppOptions o;
    ParamDialogContext ctx;
    ctx.options = &o;
    TSetEEPROM2Dlg dlg(ctx);
    ParamArea2 a{};
    a[0] = 0x42;
    dlg.ShowArea2(a);
    auto box = [&](const char *n) { return qobject_cast<IntEdit *>(dlg.control(QLatin1String(n))); };
    auto grp = [&](const char *n) { return qobject_cast<ParamRadioGroup *>(dlg.control(QLatin1String(n))); };
    box("EdANT1_SELNUM")->setText("8");
    box("EdANT4_SELNUM")->setText("3");
    box("EdChgWaitTime")->setText("9");        // above 0-8: the box holds 8
    box("IntEdit1")->setText("1FF");           // byte 19 takes the low 8 bits
    box("EdBuzFreq")->setText("1234");
    box("EdMem7")->setText("BEEF");
    grp("RGMemSW71")->setItemIndex(1);
    grp("RGMemSW87")->setItemIndex(1);
    grp("RGCheckMode")->setItemIndex(2);
    grp("RGWriteData")->setItemIndex(1);
    grp("RBKensa1_bit7")->setItemIndex(1);
    const ParamArea2 b = dlg.TakeArea2();
    QCOMPARE(int(b[0]), 0x42);
    QCOMPARE(int(b[1]), 8);
    QCOMPARE(int(b[2]), 0x08);
    QCOMPARE(int(b[3]), 0x30);
    QCOMPARE(int(b[8]), 0x02);
    QCOMPARE(int(b[9]), 0x80);
    QCOMPARE(int(b[12]), 0xEF);
    QCOMPARE(int(b[13]), 0xBE);
    QCOMPARE(int(b[16]), 1234 & 0xFF);
    QCOMPARE(int(b[17]), 1234 >> 8);
    QCOMPARE(int(b[18]), 0x02 | 0x04 | 0x80);
    QCOMPARE(int(b[19]), 0xFF);
}

void TestModeDialogs::wideBoxHoldsThirtyTwoBits()
{
    TInp3Data1Dlg dlg;
    WideIntEdit *w = ReplaceWithWideBox(&dlg, dlg.IntEd3);
    QVERIFY(!dlg.IntEd3);
    QCOMPARE(dlg.findChild<QWidget *>(QStringLiteral("IntEd3")), static_cast<QWidget *>(w));
    QCOMPARE(dlg.findChildren<QWidget *>(QStringLiteral("IntEd3")).size(), 1);
    w->setRadix(16);
    w->setRange(0, 0xFFFFFFFFLL);
    w->setValue(0xFFFFFFFFLL);
    QCOMPARE(w->text(), QStringLiteral("FFFFFFFF"));
    w->setText(QStringLiteral("100000000"));   // one more: the box holds its maximum
    QCOMPARE(w->value(), 0xFFFFFFFFLL);
    w->setRadix(10);
    w->setValue(4294967295LL);
    QCOMPARE(w->text(), QStringLiteral("4294967295"));
    w->setValue(-5);
    QCOMPARE(w->value(), 0LL);
}

QTEST_MAIN(TestModeDialogs)
#include "test_mode_dialogs.moc"
