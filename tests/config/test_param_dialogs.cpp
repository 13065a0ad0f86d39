// The full and the reduced parameter dialog on real widgets, offscreen: every
// field of the record has its control, pages and captions are as the
// operator knows them, and an area shown and built back through the controls
// comes out as the rules say.
#include "config/param_dialogs.h"
#include "config/param_widgets.h"
#include "link/options.h"
#include "ui/int_edit.h"

#include "script/dialog_answerer.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>

using namespace kx9;

namespace {

QByteArray hexOf(const uint8_t *p, int n) { return QByteArray(reinterpret_cast<const char *>(p), n).toHex(' '); }
template <size_t N> QByteArray hexOf(const std::array<uint8_t, N> &a) { return hexOf(a.data(), int(N)); }

QStringList tabTitles(const QTabWidget *tabs)
{
    QStringList l;
    for (int i = 0; i < tabs->count(); ++i)
        l << tabs->tabText(i);
    return l;
}

struct Fixture {
    AppOptions options;
    uint8_t byte0 = 0;
    ParamDialogContext ctx()
    {
        ParamDialogContext c;
        c.options = &options;
        c.area2Byte0 = &byte0;
        return c;
    }
};

// What a write of a shown area 1 must send: the area as shown, except where
// the building rules decide.
ParamArea1 expectedBuild(ParamArea1 a, uint8_t sysMode, bool ver121)
{
    a[4] = S6700Parity(a[4]);
    uint8_t speed = a[8] & 0xC0;
    if (speed & 0x80)
        speed = ver121 ? 0x80 : 0x00;
    a[8] = uint8_t((a[8] & 0x3C) | (sysMode & 3) | speed);
    a[9] = ModeCodeForItem(ModeItemForCode(a[9]));
    return a;
}

QString shown(QWidget *dlg, const QString &name)
{
    for (const ControlState &c : ReadControls(dlg))
        if (c.name == name)
            return c.value;
    return QStringLiteral("<none>");
}

} // namespace

class TestParamDialogs : public QObject {
    Q_OBJECT
private slots:
    void everyFieldHasItsControl();
    void pagesInOrder();
    void captionsAndLists();
    void fullRoundTripOfRandomAreas();
    void area2RoundTripRemembersByte0();
    void outOfRangeValuesAreKept();
    void defaultsThenWrite();
    void editedControlsBuildTheirBits_data();
    void editedControlsBuildTheirBits();
    void speedListFollowsVer121();
    void unknownModeShowsCommandMode();
    void p15HidesTheAreaTwoPages();
    void reducedDialogKeepsWhatItHasNoFieldFor();
    void reducedDefaultShowsDefaultsOnly();
    void colourCodes_data();
    void colourCodes();
    void checkColouring();
};

void TestParamDialogs::everyFieldHasItsControl()
{
    Fixture f;
    TAllSetRom1Dlg full(f.ctx());
    for (const ParamField &field : Area1Fields())
        QVERIFY2(full.control(field.control), qPrintable(field.control));
    for (const ParamField &field : Area2Fields())
        QVERIFY2(full.control(field.control), qPrintable(field.control));
    QVERIFY(full.findChild<IntEdit *>("EdMem5"));
    QVERIFY(!full.findChild<IntEdit *>("EdMem5")->isVisibleTo(&full));
    QVERIFY(!full.findChild<IntEdit *>("EdMem9")->isEnabled());
    QVERIFY(!full.control("RGDCMDASCII")->isEnabled());
    QVERIFY(!full.control("RGMemSw14")->isEnabled());
    for (const char *name : {"EdFName", "BtDefault", "BtLoad", "BtSave", "BtCheck1", "BtOK", "BtCancel"})
        QVERIFY2(full.findChild<QWidget *>(name), name);

    TSetRom1Dlg reduced(f.ctx());
    QStringList have = reduced.controlNames();
    QStringList want = ReducedControls();
    have.sort();
    want.sort();
    QCOMPARE(have, want);
}

void TestParamDialogs::pagesInOrder()
{
    Fixture f;
    TAllSetRom1Dlg full(f.ctx());
    QCOMPARE(full.windowTitle(), QString("R/WのEEPROMの設定"));
    QCOMPARE(tabTitles(full.PageControl1),
             QStringList({"各コードの設定", "S6700制御モード", "動作モード", "メモリスイッチ１", "メモリスイッチ２",
                          "メモリースイッチ３", "Ｉ／Ｏポートの設定", "メモリースイッチ５", "メモリースイッチ６",
                          "ScanModeの設定", "切替基板カスケード接続", "MemSw7", "MemSw8", "RFLOOPモード",
                          "その他EEPROM2"}));
    TSetRom1Dlg reduced(f.ctx());
    QCOMPARE(reduced.windowTitle(), QString("ダイアログ"));
    QCOMPARE(tabTitles(reduced.PageControl1),
             QStringList({"各コードの設定", "動作モード", "メモリスイッチ１", "メモリスイッチ２", "メモリースイッチ３",
                          "Ｉ／Ｏポートの設定", "メモリースイッチ５", "メモリースイッチ６"}));
    // The buttons, left to right.
    const QList<QPushButton *> buttons = {full.BtDefault, full.BtLoad, full.BtSave, full.BtCheck1, full.BtOK,
                                          full.BtCancel};
    QStringList captions;
    full.show();
    int x = -1;
    for (QPushButton *b : buttons) {
        captions << b->text();
        QVERIFY(b->mapTo(&full, QPoint(0, 0)).x() > x);
        x = b->mapTo(&full, QPoint(0, 0)).x();
    }
    QCOMPARE(captions, QStringList({"デフォルト(&I)", "Load", "Save", "&Check", "書き込み(&O)", "キャンセル(&C)"}));
    QCOMPARE(reduced.BtDefault->text(), QString("デフォルト(&I)"));
}

void TestParamDialogs::captionsAndLists()
{
    Fixture f;
    TAllSetRom1Dlg full(f.ctx());
    auto group = [&](QWidget *dlg, const char *name) { return dlg->findChild<ParamRadioGroup *>(name); };
    QCOMPARE(group(&full, "RGTag")->title(), QString("タグの選択"));
    QCOMPARE(group(&full, "RGTag")->item(7)->text(), QString("Configuration commnads"));
    QCOMPARE(group(&full, "RGSpeed")->title(), QString("Baurd rate"));
    QCOMPARE(group(&full, "RGMemSW56")->title(), QString("通信スピード 9600bps/38.4kbps"));
    QCOMPARE(group(&full, "RGD_NOCHK")->item(0)->text(), QString("する"));   // bit 0 clear means "check"
    QCOMPARE(group(&full, "RGPORTSEL7")->item(0)->text(), QString("ブザー"));
    QCOMPARE(group(&full, "RGMemSW66")->item(1)->text(), QString("行わない"));
    auto *modes = full.findChild<QComboBox *>("ComboBox1");
    QCOMPARE(modes->count(), 14);
    QCOMPARE(modes->itemText(0), QString("コマンドモード"));
    QCOMPARE(modes->itemText(13), QString("RFLOOPモード２"));
    QCOMPARE(full.findChild<QComboBox *>("CBMode2")->itemText(3), QString("TX1+TX2"));
    QCOMPARE(full.findChild<IntEdit *>("EdAFIValue")->radix(), 16);
    QCOMPARE(full.findChild<IntEdit *>("EdScanM_mode")->maximum(), 16);
    QCOMPARE(full.findChild<IntEdit *>("EdTimer1")->maximum(), 1000000);
    QCOMPARE(full.findChild<IntEdit *>("EdChkDataNum")->minimum(), 1);
    QCOMPARE(full.findChild<IntEdit *>("EdMem10")->radix(), 16);
    // "&&" on the form shows as one "&": the label is the box's buddy.
    bool ledLabel = false;
    for (QLabel *l : full.findChildren<QLabel *>())
        if (l->text() == QStringLiteral("LED&&ポート出力時間："))
            ledLabel = l->buddy() == full.findChild<QWidget *>("EdOUTPTime");
    QVERIFY(ledLabel);
    TSetRom1Dlg reduced(f.ctx());
    QCOMPARE(group(&reduced, "RGMemSW56")->title(), QString("ビット６"));
    QCOMPARE(group(&reduced, "RGMemSW56")->item(1)->text(), QString("１"));
}

void TestParamDialogs::fullRoundTripOfRandomAreas()
{
    QRandomGenerator rng(4711);
    for (bool ver121 : {true, false}) {
        Fixture f;
        f.options.fVER121 = ver121;
        TAllSetRom1Dlg dlg(f.ctx());
        for (int round = 0; round < 60; ++round) {
            ParamArea1 a;
            for (auto &b : a)
                b = uint8_t(rng.bounded(256));
            if (round % 3 == 0)   // a known mode code now and then
                a[9] = ModeCodes()[rng.bounded(ModeCodes().size())].code;
            f.options.SysMode = uint8_t(rng.bounded(256));
            dlg.ShowParamArea1(a);
            QCOMPARE(hexOf(dlg.TakeParamArea1()), hexOf(expectedBuild(a, f.options.SysMode, ver121)));
        }
    }
}

void TestParamDialogs::area2RoundTripRemembersByte0()
{
    Fixture f;
    TAllSetRom1Dlg dlg(f.ctx());
    QRandomGenerator rng(17);
    for (int round = 0; round < 40; ++round) {
        ParamArea2 a;
        for (auto &b : a)
            b = uint8_t(rng.bounded(256));
        dlg.ShowParamArea2(a);
        QCOMPARE(int(f.byte0), int(a[0]));
        QCOMPARE(hexOf(dlg.TakeParamArea2()), hexOf(a));
    }
    // Byte 0 comes from the remembered value, not from the area last shown.
    f.byte0 = 0x5A;
    QCOMPARE(int(dlg.TakeParamArea2()[0]), 0x5A);
    // The nibbles go to their boxes, odd antenna low.
    ParamArea2 a{};
    a[2] = 0x21;
    a[5] = 0x87;
    dlg.ShowParamArea2(a);
    QCOMPARE(shown(&dlg, "EdANT1_SELNUM"), QString("1"));
    QCOMPARE(shown(&dlg, "EdANT2_SELNUM"), QString("2"));
    QCOMPARE(shown(&dlg, "EdANT8_SELNUM"), QString("8"));
}

void TestParamDialogs::outOfRangeValuesAreKept()
{
    // A stored value outside a box's range is shown as stored and written
    // back as it was, unless the operator changes it.
    Fixture f;
    TAllSetRom1Dlg dlg(f.ctx());
    ParamArea1 a = DefaultParamArea1();
    a[24] = 0x00;   // number of data to check 0 (box 1-255)
    a[25] = 0x00;
    a[26] = 0;      // LED time 0 (box 1-255)
    a[10] = 0xFF;   // write ACK wait above 1000000
    a[11] = 0xFF;
    a[12] = 0xFF;
    dlg.ShowParamArea1(a);
    QCOMPARE(shown(&dlg, "EdChkDataNum"), QString("0"));
    QCOMPARE(shown(&dlg, "EdTimer1"), QString::number(0xFFFFFF));
    const ParamArea1 b = dlg.TakeParamArea1();
    QCOMPARE(hexOf(b.data() + 10, 16), hexOf(a.data() + 10, 16));
    // The operator's entry is still limited to the range the box had.
    TAllSetRom1Dlg fresh(f.ctx());
    QVERIFY(SetDialogField(&fresh, "EdChkDataNum", "0").isEmpty());
    QCOMPARE(int(fresh.TakeParamArea1()[24]), 1);
}

void TestParamDialogs::defaultsThenWrite()
{
    Fixture f;
    f.options.SysMode = 0x03;
    TAllSetRom1Dlg dlg(f.ctx());
    ParamArea1 odd{};
    odd[30] = 0xFF;   // the reader's free port bits: replaced by the defaults' when defaulted
    dlg.ShowParamArea1(odd);
    ParamArea2 a2{};
    a2[0] = 0x33;
    dlg.ShowParamArea2(a2);
    QTest::mouseClick(dlg.BtDefault, Qt::LeftButton);
    const ParamArea1 b = dlg.TakeParamArea1();
    QCOMPARE(int(b[4]), 0xD4);
    QCOMPARE(int(b[8]), 0x1B);
    QCOMPARE(int(b[30]), 0x30);
    ParamArea1 want = DefaultParamArea1();
    want[4] = 0xD4;
    want[8] = 0x1B;
    QCOMPARE(hexOf(b), hexOf(want));
    ParamArea2 w2 = DefaultParamArea2();
    QCOMPARE(hexOf(dlg.TakeParamArea2()), hexOf(w2));   // the default's byte 0 is remembered too
    // Without area 2 the defaults leave it as it was.
    f.options.fVER121 = 0;
    dlg.ShowParamArea2(a2);
    QTest::mouseClick(dlg.BtDefault, Qt::LeftButton);
    QCOMPARE(int(f.byte0), 0x33);
}

void TestParamDialogs::editedControlsBuildTheirBits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");   // as a script types it
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("expected");
    QTest::newRow("scan mode 10 hex is 16: stored as 0") << "EdScanM_mode" << "10" << 23 << 0x00;
    QTest::newRow("scan mode F") << "EdScanM_mode" << "F" << 23 << 0x0F;
    QTest::newRow("antenna 7 in bits 1-3") << "EdSelAntena" << "7" << 39 << 0x0E;
    QTest::newRow("Tag-it protocol, parity") << "RGTag" << "4" << 4 << 0xD8;
    QTest::newRow("AM clears bit 5 to FSK") << "RGAmFm" << "0" << 4 << 0xD4;
    QTest::newRow("9600 speed") << "CBSpeed" << "9600bps" << 8 << 0x58;
    QTest::newRow("38.4k speed") << "CBSpeed" << "38.4kbps" << 8 << 0x98;
    QTest::newRow("mode EAS 1") << "ComboBox1" << "EASモード１" << 9 << 0x24;
    QTest::newRow("port 7 selector is bit 6") << "RGPORTSEL7" << "1" << 30 << 0x70;
    QTest::newRow("port 8 output") << "RGPORTIO8" << "1" << 32 << 0x80;
    QTest::newRow("retry 300 is limited to 255") << "EdRetry" << "300" << 22 << 255;
    QTest::newRow("AFI hex") << "EdAFIValue" << "A5" << 5 << 0xA5;
    QTest::newRow("user code low byte") << "EdUserCode" << "4660" << 2 << 0x34;
    QTest::newRow("user code high byte") << "EdUserCode" << "4660" << 3 << 0x12;
    QTest::newRow("timer third byte") << "EdTimer3" << "1000000" << 20 << 0x0F;
}

void TestParamDialogs::editedControlsBuildTheirBits()
{
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(int, byte);
    QFETCH(int, expected);
    Fixture f;
    TAllSetRom1Dlg dlg(f.ctx());
    dlg.ShowParamArea1(DefaultParamArea1());
    const QString err = SetDialogField(&dlg, control, value);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QCOMPARE(QString::number(dlg.TakeParamArea1()[byte], 16), QString::number(expected, 16));
}

void TestParamDialogs::speedListFollowsVer121()
{
    Fixture f;
    f.options.fVER121 = 0;
    TAllSetRom1Dlg dlg(f.ctx());
    ParamArea1 a = DefaultParamArea1();
    a[8] = 0x98;   // bit 7: 38.4k, which this reader does not offer
    dlg.ShowParamArea1(a);
    auto *speed = dlg.findChild<QComboBox *>("CBSpeed");
    QCOMPARE(speed->count(), 2);
    QCOMPARE(speed->currentIndex(), -1);
    QCOMPARE(int(dlg.TakeParamArea1()[8]), 0x18);
    // Refilled at each show.
    f.options.fVER121 = 1;
    dlg.ShowParamArea1(a);
    QCOMPARE(speed->count(), 3);
    QCOMPARE(speed->currentText(), QString("38.4kbps"));
}

void TestParamDialogs::unknownModeShowsCommandMode()
{
    Fixture f;
    TAllSetRom1Dlg dlg(f.ctx());
    ParamArea1 a = DefaultParamArea1();
    a[9] = 0x55;
    dlg.ShowParamArea1(a);
    QCOMPARE(dlg.findChild<QComboBox *>("ComboBox1")->currentText(), QString("コマンドモード"));
    QCOMPARE(int(dlg.TakeParamArea1()[9]), 0x00);
}

void TestParamDialogs::p15HidesTheAreaTwoPages()
{
    Fixture f;
    TAllSetRom1Dlg dlg(f.ctx());
    dlg.hideAreaTwoPages();
    QStringList visible;
    for (int i = 0; i < dlg.PageControl1->count(); ++i)
        if (dlg.PageControl1->isTabVisible(i))
            visible << dlg.PageControl1->tabText(i);
    QCOMPARE(visible.size(), 10);
    QCOMPARE(visible.last(), QString("ScanModeの設定"));
}

void TestParamDialogs::reducedDialogKeepsWhatItHasNoFieldFor()
{
    Fixture f;
    f.options.SysMode = 0x03;   // not used by the reduced dialog
    TSetRom1Dlg dlg(f.ctx());
    QRandomGenerator rng(5);
    for (int round = 0; round < 30; ++round) {
        ParamArea1 a;
        for (auto &b : a)
            b = uint8_t(rng.bounded(256));
        dlg.ShowParamArea1(a);
        QCOMPARE(hexOf(dlg.TakeParamArea1()), hexOf(a));
    }
    ParamArea1 a{};
    a[23] = 0xA7;   // scan mode, not on this dialog
    a[30] = 0xB8;   // port bits without a control
    dlg.ShowParamArea1(a);
    for (const char *port : {"RGPORTSEL1", "RGPORTSEL2", "RGPORTSEL3", "RGPORTSEL7"})
        QVERIFY(SetDialogField(&dlg, port, "1").isEmpty());
    QVERIFY(SetDialogField(&dlg, "EdRetry", "9").isEmpty());
    const ParamArea1 b = dlg.TakeParamArea1();
    QCOMPARE(int(b[23]), 0xA7);
    QCOMPARE(int(b[30]), 0xFF);
    QCOMPARE(int(b[22]), 9);
}

void TestParamDialogs::reducedDefaultShowsDefaultsOnly()
{
    Fixture f;
    TSetRom1Dlg dlg(f.ctx());
    ParamArea1 a;
    a.fill(0xFF);
    dlg.ShowParamArea1(a);
    QTest::mouseClick(dlg.BtDefault, Qt::LeftButton);
    const ParamArea1 b = dlg.TakeParamArea1();
    const ParamArea1 d = DefaultParamArea1();
    // Its fields take the defaults ...
    for (int i : {0, 1, 2, 3, 6, 7, 22, 24, 25, 26, 27, 31, 32, 33, 38, 39})
        QVERIFY2(b[i] == d[i], qPrintable(QString::number(i)));
    QCOMPARE(b[30] & 0x47, d[30] & 0x47);
    // ... everything else stays as read.
    QCOMPARE(int(b[23]), 0xFF);
    QCOMPARE(b[30] & 0xB8, 0xB8);
    for (int i : {4, 5, 8, 9, 10, 15, 21, 28, 29, 34, 37})
        QVERIFY2(b[i] == 0xFF, qPrintable(QString::number(i)));
}

void TestParamDialogs::colourCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("role");   // -1: a fixed colour
    QTest::addColumn<QString>("rgb");
    QTest::newRow("red 255") << 255 << -1 << "#ff0000";
    QTest::newRow("0x00BBGGRR") << 0x00102030 << -1 << "#302010";
    QTest::newRow("button face") << int(0x8000000F) << int(QPalette::Button) << "";
    QTest::newRow("window") << int(0x80000005) << int(QPalette::Base) << "";
    QTest::newRow("highlight") << int(0x8000000D) << int(QPalette::Highlight) << "";
    QTest::newRow("info background") << int(0x80000018) << int(QPalette::ToolTipBase) << "";
}

void TestParamDialogs::colourCodes()
{
    QFETCH(int, code);
    QFETCH(int, role);
    QFETCH(QString, rgb);
    QPalette pal;
    pal.setColor(QPalette::Button, QColor("#123456"));
    pal.setColor(QPalette::Base, QColor("#abcdef"));
    pal.setColor(QPalette::Highlight, QColor("#0000aa"));
    pal.setColor(QPalette::ToolTipBase, QColor("#ffffe0"));
    const QColor c = ColorFromCode(code, pal);
    if (role < 0)
        QCOMPARE(c.name(), rgb);
    else
        QCOMPARE(c.name(), pal.color(QPalette::ColorRole(role)).name());
}

void TestParamDialogs::checkColouring()
{
    Fixture f;
    f.options.OkColor = 0x0000FF00;   // green
    f.options.NgColor = 0x00FF0000;   // blue
    TAllSetRom1Dlg dlg(f.ctx());
    ReaderParamBlock reader, file;
    reader.area1 = file.area1 = DefaultParamArea1();
    reader.area1[22] = 9;
    reader.area2[2] = 0x01;   // antenna 1 differs
    reader.area2[3] = 0x30;   // antenna 4 differs
    dlg.showCheck(CompareWithFile(reader, file, true, false));
    QMap<QString, QString> bg;
    for (const ControlState &c : ReadControls(&dlg))
        bg[c.name] = c.background;
    QCOMPARE(bg["EdRetry"], QString("#0000ff"));
    QCOMPARE(bg["EdANT1_SELNUM"], QString("#ff0000"));   // always red
    QCOMPARE(bg["EdANT4_SELNUM"], QString("#0000ff"));
    QCOMPARE(bg["EdANT2_SELNUM"], QString("#00ff00"));
    QCOMPARE(bg["RGTag"], QString("#00ff00"));
    QCOMPARE(bg["ComboBox1"], QString("#00ff00"));
    QCOMPARE(bg["RGDCMDASCII"], QString("#00ff00"));   // a disabled control shows it too
    // Showing another area leaves the colours.
    dlg.ShowParamArea1(DefaultParamArea1());
    QCOMPARE(QColor(dlg.control("EdRetry")->palette().color(dlg.control("EdRetry")->backgroundRole())).name(),
             QString("#0000ff"));
}

QTEST_MAIN(TestParamDialogs)
#include "test_param_dialogs.moc"
