#include "gate/gate_dialogs.h"

#include "gate/gate_bits.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kx9::gate {

namespace {

const QStringList kBuzzerSounds{QStringLiteral("ピー　～"), QStringLiteral("ピッ、ピッ、･･･"),
                                QStringLiteral("ピロ、ロ、･･･"), QStringLiteral("ツートトツー、･･･")};
const QStringList kVolumes{QStringLiteral("OFF"), QStringLiteral("小"), QStringLiteral("中"), QStringLiteral("大")};
const QStringList kBaseTimes{QStringLiteral("0.25 Sec"), QStringLiteral("0.5 Sec"), QStringLiteral("1.0 Sec"),
                             QStringLiteral("10.0 Sec")};
const QStringList kBaseTimesWide{QStringLiteral("0.25 ｓec"), QStringLiteral("0.5 ｓec"), QStringLiteral("1.0 ｓec"),
                                 QStringLiteral("10.0 ｓec")};
const QStringList kLamps{QStringLiteral("消灯"), QStringLiteral("点滅"), QStringLiteral("点灯"),
                         QStringLiteral("フラッシング")};
const QStringList kDirection{QStringLiteral("順方向"), QStringLiteral("逆方向")};
const QStringList kErrorResponse{QStringLiteral("出力しない"), QStringLiteral("出力する")};
const QStringList kOffOn{QStringLiteral("無効"), QStringLiteral("有効")};
const QStringList kEas{QStringLiteral("EEPROM有効"), QStringLiteral("EASモード")};
const QStringList kLampTest{QStringLiteral("無効"), QStringLiteral("テストモード")};
const QStringList kBaseTime = {QStringLiteral("ベースタイム　×")};

const char *const kVoiceA[] = {
    "00h:おはようございます", "01h:おつかれさまでした", "02h:いってらっしゃい", "03h:おかえりなさい",
    "04h:ピンポンパンポン(音階：右上り)", "05h:ピンポンパンポン(音階：右下り)",
    "06h:ウー　・　・　・     (音階：右上り後右下り)", "07h:ピンポンパンポン(音階：右上り後右下り)",
};
const char *const kVoiceB[] = {
    "00h:ピンポンパンポン(音階：右上り)", "01h:ピンポンパンポン(音階：右下り)",
    "02h:ウー　・　・　・     (音階：右上り後右下り)", "03h:ピンポンパンポン(音階：右上り後右下り)",
    "04h:おはようございます", "05h:おつかれさまでした", "06h:いってらっしゃい", "07h:おかえりなさい",
};
const char *const kVoiceW30[] = {
    "08h:カウンターまでお戻りください", "09h:不正持ち出しです。カウンターまでお戻りください",
    "0ah:カード読取エラーです", "0bh:ここから先は立ち入り禁止です", "0ch:ピー", "0dh:ピッピッピッピッ",
    "0eh:ピロロロロ", "0fh:ツートトツー",
};

QWidget *page(QTabWidget *tabs, const QString &title)
{
    auto *w = new QWidget(tabs);
    new QVBoxLayout(w);
    tabs->addTab(w, title);
    return w;
}

void put(QWidget *page, QWidget *control) { static_cast<QVBoxLayout *>(page->layout())->addWidget(control); }

IntEdit *numberBox(QWidget *parent, const QString &name, int max)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(name);
    e->setRadix(10);
    e->setRange(0, max);
    e->setValue(0);
    e->setFixedWidth(60);
    return e;
}

// A titled number with the texts before and after it.
IntEdit *numberGroup(QWidget *page, const QString &name, const QString &title, int max, const QString &before,
                     const QString &after = {})
{
    auto *g = new QGroupBox(title, page);
    auto *row = new QHBoxLayout(g);
    if (!before.isEmpty())
        row->addWidget(new QLabel(before, g));
    IntEdit *e = numberBox(g, name, max);
    row->addWidget(e);
    if (!after.isEmpty())
        row->addWidget(new QLabel(after, g));
    row->addStretch();
    put(page, g);
    return e;
}

QComboBox *comboGroup(QWidget *page, const QString &name, const QString &title, const QStringList &items)
{
    auto *g = new QGroupBox(title, page);
    auto *row = new QHBoxLayout(g);
    auto *c = new QComboBox(g);
    c->setObjectName(name);
    c->addItems(items);
    row->addWidget(c);
    put(page, g);
    return c;
}

QTabWidget *pages(QWidget *parent)
{
    auto *t = new QTabWidget(parent);
    t->setObjectName(QStringLiteral("PageControl1"));
    return t;
}

void stack(QDialog *dlg, QWidget *body, QWidget *buttons)
{
    auto *v = new QVBoxLayout(dlg);
    v->addWidget(body);
    v->addWidget(buttons);
}

uint8_t byteAt(const QByteArray &b, int i) { return i < b.size() ? uint8_t(b[i]) : 0; }

} // namespace

GateDialog::GateDialog(const char *name, const QString &caption, const QString &okText, const QString &cancelText,
                       QWidget *parent)
    : InputDialogBase(parent)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
    OKBtn->setText(okText);
    CancelBtn->setText(cancelText);
}

// ------------------------------------------------------------------ operating mode

TGDousaModeDlg::TGDousaModeDlg(QWidget *parent)
    : GateDialog("TGDousaModeDlg", QStringLiteral("ゲートの動作モード"), QStringLiteral("設定(&S)"),
                 QStringLiteral("キャンセル(&C)"), parent)
{
    auto *body = new QWidget(this);
    auto *grid = new QGridLayout(body);
    RG_bit01 = new RadioGroup(QStringLiteral("RG_bit01"), QStringLiteral("入出センサー　モード"),
                              {QStringLiteral("未使用"), QStringLiteral("入"), QStringLiteral("出"), QStringLiteral("入・出")},
                              body);
    RG_bit2 = new RadioGroup(QStringLiteral("RG_bit2"), QStringLiteral("入出センサー　通過方向"), kDirection, body);
    RG_bit3 = new RadioGroup(QStringLiteral("RG_bit3"), QStringLiteral("入出力センサー　エラー時レスポンス"),
                             kErrorResponse, body);
    RG_bit4 = new RadioGroup(QStringLiteral("RG_bit4"), QStringLiteral("人センサー"), kOffOn, body);
    RG_bit5 = new RadioGroup(QStringLiteral("RG_bit5"), QStringLiteral("EASモード"), kEas, body);
    RG_bit6 = new RadioGroup(QStringLiteral("RG_bit6"), QStringLiteral("ランプテストモード"), kLampTest, body);
    const QList<RadioGroup *> groups{RG_bit01, RG_bit2, RG_bit3, RG_bit4, RG_bit5, RG_bit6};
    for (int i = 0; i < groups.size(); ++i)
        grid->addWidget(groups[i], i / 2, i % 2);
    bits_.add(RG_bit01, 0, 0, 2);
    for (int b = 2; b <= 6; ++b)
        bits_.add(groups[b - 1], 0, b, 1);
    stack(this, body, buttons());
}

void TGDousaModeDlg::ShowMode(uint8_t mode) { bits_.show({mode}); }

uint8_t TGDousaModeDlg::TakeMode(uint8_t read) const { return uint8_t(bits_.take({read}).value(0)); }

// ------------------------------------------------------------------ memory switches

QStringList VoiceListA(bool w30)
{
    QStringList l;
    for (const char *t : kVoiceA)
        l << QString::fromUtf8(t);
    if (w30)
        for (const char *t : kVoiceW30)
            l << QString::fromUtf8(t);
    return l;
}

QStringList VoiceListB(bool w30)
{
    QStringList l;
    for (int i = 0; i < (w30 ? 8 : 4); ++i)
        l << QString::fromUtf8(kVoiceB[i]);
    if (w30)
        for (const char *t : kVoiceW30)
            l << QString::fromUtf8(t);
    return l;
}

TGEEPROMDlg::TGEEPROMDlg(bool w30, QWidget *parent)
    : GateDialog("TGEEPROMDlg", QStringLiteral("ゲート用メモリースイッチの設定"), QStringLiteral("設定(&S)"),
                 QStringLiteral("キャンセル(&C)"), parent)
{
    PageControl1 = pages(this);
    const QString titles[kWords] = {QStringLiteral("メモリースイッチ１"), QStringLiteral("メモリースイッチ２"),
                                    QStringLiteral("メモリースイッチ3"), QStringLiteral("メモリースイッチ4"),
                                    QStringLiteral("メモリースイッチ5"), QStringLiteral("メモリースイッチ6"),
                                    QStringLiteral("メモリースイッチ7")};
    QWidget *p[kWords];
    for (int i = 0; i < kWords; ++i)
        p[i] = page(PageControl1, titles[i]);

    // word is the memory switch number; `lo` counts from bit 0 of L, H bits are 8-15.
    auto radio = [&](int word, int lo, int width, const char *name, const QString &title, const QStringList &items) {
        auto *g = new RadioGroup(QLatin1String(name), title, items, p[word - 1], items.size() > 2 ? 2 : 1);
        put(p[word - 1], g);
        bits_.add(g, word - 1, lo, width);
    };
    auto number = [&](int word, int lo, const char *name, const QString &title, const QString &before,
                      const QString &after = {}) {
        bits_.add(numberGroup(p[word - 1], QLatin1String(name), title, 15, before, after), word - 1, lo, 4);
    };

    radio(1, 0, 3, "EEP1_Lbit012", QStringLiteral("入時のブザー音"), kBuzzerSounds);
    radio(1, 3, 2, "EEP1_Lbit34", QStringLiteral("入時のブザー音量"), kVolumes);
    radio(1, 5, 3, "EEP1_Lbit567", QStringLiteral("出時のブザー音"), kBuzzerSounds);
    radio(1, 8, 2, "EEP1_Hbit01", QStringLiteral("出時のブザー音量"), kVolumes);
    radio(1, 10, 3, "EEP1_Hbit234", QStringLiteral("エラー時のブザー音"), kBuzzerSounds);
    radio(1, 13, 2, "EEP1_Hbit56", QStringLiteral("エラー時のブザー音量"), kVolumes);
    radio(1, 15, 1, "EEP1_Hbit7", QStringLiteral("音の選択"), {QStringLiteral("ブザー"), QStringLiteral("音声")});

    radio(2, 0, 1, "EEP2_Lbit0", QStringLiteral("ブザー＆ランプの連続"), {QStringLiteral("OFF"), QStringLiteral("ON")});
    radio(2, 1, 3, "EEP2_Lbit123", QStringLiteral("ブザー＆ランプ時間のベースタイム"), kBaseTimes);
    number(2, 4, "EEP2_Lbit4567", QStringLiteral("ブザー＆ランプ時間"), kBaseTime[0], QStringLiteral("（秒）"));
    radio(2, 8, 1, "EEP2_Hbit0", QStringLiteral("立上時DIPSWの有効指定"),
          {QStringLiteral("OFF ： DIPSW"), QStringLiteral("ON ： EEPROM")});
    radio(2, 9, 1, "EEP2_Hbit1", QStringLiteral("パネルLED使用の入出センサーテストモード"),
          {QStringLiteral("OFF ： パネルLED"), QStringLiteral("ON ： センサー入力")});
    radio(2, 10, 3, "EEP2_Hbit234", QStringLiteral("入側のランプ"), kLamps);
    radio(2, 13, 3, "EEP2_Hbit567", QStringLiteral("出側のランプ"), kLamps);

    radio(3, 0, 3, "EEP3_Lbit012", QStringLiteral("エラー時のランプ"), kLamps);
    EEP3_Lbit4567 = comboGroup(p[2], QStringLiteral("EEP3_Lbit4567"), QStringLiteral("入側の音声"), VoiceListA(w30));
    EEP3_Hbit0123 = comboGroup(p[2], QStringLiteral("EEP3_Hbit0123"), QStringLiteral("出側の音声"), VoiceListA(w30));
    EEP3_Hbit4567 = comboGroup(p[2], QStringLiteral("EEP3_Hbit4567"), QStringLiteral("エラー時の音声"), VoiceListB(w30));
    bits_.add(EEP3_Lbit4567, 2, 4, 4);
    bits_.add(EEP3_Hbit0123, 2, 8, 4);
    bits_.add(EEP3_Hbit4567, 2, 12, 4);

    radio(4, 0, 4, "EEP4_Lbit0123", QStringLiteral("音声出力回数"),
          {QStringLiteral("OFF ： 0 回"), QStringLiteral("ON ： 出力回数 1 回")});
    radio(4, 5, 3, "EEP4_Lbit567", QStringLiteral("入出時タグ読取有効時間のベースタイム"), kBaseTimes);
    number(4, 8, "EEP4_Hbit0123", QStringLiteral("入出時タグ読取有効時間"), kBaseTime[0], QStringLiteral("（秒）"));
    radio(4, 12, 2, "EEP4_Hbit45", QStringLiteral("入出判断時赤外センサーの動作間隔時間（タグ先読時のみ）"),
          {QStringLiteral("0.0 Sec"), QStringLiteral("0.5 Sec"), QStringLiteral("1.0 Sec"), QStringLiteral("2.0 Sec")});
    radio(4, 14, 1, "EEP4_Hbit6", QStringLiteral("ブザー＆ランプ等の自動制御有無"),
          {QStringLiteral("0 ： 有り"), QStringLiteral("1 ： 無し")});
    radio(4, 15, 1, "EEP4_Hbit7", QStringLiteral("入出センサーの使用モード"),
          {QStringLiteral("0 ： 入出用"), QStringLiteral("1 ： 通過用")});

    number(5, 0, "EEP5_Lbit0123", QStringLiteral("入出赤外センサーセンシング時間"), QStringLiteral("0.01 Sec　×"));
    number(5, 4, "EEP5_Lbit4567", QStringLiteral("入出センサーON/OFF後の無効時間"), QStringLiteral("0.1 Sec　×"));
    radio(5, 9, 3, "EEP5_Hbit123", QStringLiteral("人検知センサーON/OFF間のベースタイム"), kBaseTimesWide);
    number(5, 12, "EEP5_Hbit4567", QStringLiteral("人検知センサーON/OFF間の時間"), kBaseTime[0]);

    radio(6, 0, 1, "EEP6_Lbit0", QStringLiteral("リレー出力連続"), {QStringLiteral("0 ： OFF"), QStringLiteral("1 ： ON")});
    radio(6, 1, 3, "EEP6_Lbit123", QStringLiteral("リレー出力時間のベースタイム"), kBaseTimesWide);
    number(6, 4, "EEP6_Lbit4567", QStringLiteral("リレー出力時間"), kBaseTime[0]);
    radio(6, 8, 2, "EEP6_Hbit01", QStringLiteral("入出判断モード"),
          {QStringLiteral("0 ： OFF"), QStringLiteral("1 ： 入"), QStringLiteral("2 ： 出"), QStringLiteral("3 ： 入出")});
    radio(6, 10, 1, "EEP6_Hbit2", QStringLiteral("入出センサー　通過方向"), kDirection);
    radio(6, 11, 1, "EEP6_Hbit3", QStringLiteral("入出力センサー　エラー時レスポンス"), kErrorResponse);
    radio(6, 12, 1, "EEP6_Hbit4", QStringLiteral("人センサー"), kOffOn);
    radio(6, 13, 1, "EEP6_Hbit5", QStringLiteral("EASモード"), kEas);
    radio(6, 14, 1, "EEP6_Hbit6", QStringLiteral("ランプテストモード"), kLampTest);

    IntEdit *volume = numberGroup(p[6], QStringLiteral("EdVolume"), QStringLiteral("スピーカー音量"), 15, QString());
    put(p[6], new QLabel(QStringLiteral("0～8：　0:OFF, 8:最大音量"), p[6]));
    put(p[6], new QLabel(QStringLiteral("9～15：　未使用（設定時は、最大音量）"), p[6]));
    bits_.add(volume, 6, 0, 4);
    for (QWidget *w : p)
        static_cast<QVBoxLayout *>(w->layout())->addStretch();
    PageControl1->setTabVisible(6, w30);
    stack(this, PageControl1, buttons());
}

void TGEEPROMDlg::ShowWords(const QList<uint16_t> &words) { bits_.show(words); }

QList<uint16_t> TGEEPROMDlg::TakeWords(const QList<uint16_t> &read) const
{
    QList<uint16_t> in = read;
    while (in.size() < kWords)
        in.append(0);
    return bits_.take(in.mid(0, kWords));
}

// ------------------------------------------------------------------ display and output state

TGDispOutStateDlg::TGDispOutStateDlg(bool w30, QWidget *parent)
    : GateDialog("TGDispOutStateDlg", QStringLiteral("表示＆出力状態"), QStringLiteral("OK"),
                 QStringLiteral("キャンセル"), parent),
      w30_(w30)
{
    PageControl1 = pages(this);
    QWidget *p1 = page(PageControl1, QStringLiteral("ブザー／ＬＥＤ制御"));
    QWidget *p2 = page(PageControl1, QStringLiteral("パネルＬＥＤ／リレー制御"));
    QWidget *p3 = page(PageControl1, QStringLiteral("汎用I/O"));
    const QStringList offOn{QStringLiteral("OFF"), QStringLiteral("ON")};
    const QStringList zeroOne{QStringLiteral("0"), QStringLiteral("1")};
    auto group = [&](QWidget *p, int byte, int bit, const QString &title, const QStringList &items) {
        auto *g = new RadioGroup(QStringLiteral("DOS%1_bit%2").arg(byte).arg(bit), title, items, p, 2);
        put(p, g);
        bits_.add(g, byte - 1, bit, 1);
        return g;
    };
    const QString byte1[] = {QStringLiteral("入側のブザー／音声出力"), QStringLiteral("出側のブザー／音声出力"),
                             QStringLiteral("エラー時のブザー／音声出力"), QStringLiteral("ランプLED　ゲート0点灯"),
                             QStringLiteral("ランプLED　ゲート1点灯"), QStringLiteral("ランプLED　ゲート2点灯"),
                             QStringLiteral("ランプLED　ゲート3点灯"),
                             w30 ? QStringLiteral("焦電センサー入力確認用ＬＥＤ") : QStringLiteral("基板上のタグ読取確認用LED")};
    for (int b = 0; b < 8; ++b) {
        RadioGroup *g = group(p1, 1, b, byte1[b], offOn);
        if (b == 7)
            DOS1_bit7 = g;
    }
    const QString byte2[] = {QStringLiteral("入側LED"), QStringLiteral("出側LED"), QStringLiteral("エラー表示LED"),
                             QStringLiteral("外部リレー出力"), QStringLiteral("レディ表示用LED"),
                             QStringLiteral("リレー出力１"), QStringLiteral("リレー出力２"), QStringLiteral("リレー出力３")};
    for (int b = 0; b < 8; ++b) {
        RadioGroup *g = group(p2, 2, b, byte2[b], offOn);
        // The W20 has none of these: they go back as read.
        if (b >= 4 && !w30)
            g->hide();
    }
    for (int b = 0; b < 4; ++b)
        group(p3, 3, b, QStringLiteral("汎用ＩＯ%1").arg(QChar(u'１' + b)), zeroOne);
    for (QWidget *w : {p1, p2, p3})
        static_cast<QVBoxLayout *>(w->layout())->addStretch();
    PageControl1->setTabVisible(2, w30);
    stack(this, PageControl1, buttons());
}

void TGDispOutStateDlg::ShowState(const QByteArray &state)
{
    QList<uint16_t> w;
    for (int i = 0; i < 3; ++i)
        w << uint16_t(i < state.size() ? uint8_t(state[i]) : 0);
    bits_.show(w);
}

QByteArray TGDispOutStateDlg::TakeState(const QByteArray &read) const
{
    const int n = w30_ ? 3 : 2;
    QList<uint16_t> in;
    for (int i = 0; i < 3; ++i)
        in << uint16_t(i < read.size() ? uint8_t(read[i]) : 0);
    const QList<uint16_t> out = bits_.take(in);
    QByteArray bytes;
    for (int i = 0; i < n; ++i)
        bytes.append(char(out[i] & 0xFF));
    // A W20 has bits 4-7 of byte 2 only on its board: never from the (hidden) groups.
    if (!w30_)
        bytes[1] = char((uint8_t(bytes[1]) & 0x1F) | (byteAt(read, 1) & 0xE0));
    return bytes;
}

// ------------------------------------------------------------------ sensor states

TSensorStateDlg::TSensorStateDlg(bool w30, QWidget *parent)
    : GateDialog("TSensorStateDlg", QStringLiteral("センサー状態表示"), QStringLiteral("OK"),
                 QStringLiteral("キャンセル"), parent)
{
    PageControl1 = pages(this);
    const QStringList offOn{QStringLiteral("OFF"), QStringLiteral("ON")};
    auto show = [&](QWidget *p, const QString &name, const QString &title, int word, int bit) {
        auto *g = new RadioGroup(name, title, offOn, p, 2);
        g->setDisplayOnly();
        put(p, g);
        bits_.add(g, word, bit, 1);
        return g;
    };
    QWidget *sw = page(PageControl1, QStringLiteral("解除SW"));
    show(sw, QStringLiteral("SW_bit0"), QStringLiteral("解除SW"), 0, 0);
    QWidget *dip = page(PageControl1, QStringLiteral("DIPSW"));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("DIPSW ："), dip));
    ST_DIPSW = new QLabel(QStringLiteral("00"), dip);
    ST_DIPSW->setObjectName(QStringLiteral("ST_DIPSW"));
    row->addWidget(ST_DIPSW);
    row->addStretch();
    static_cast<QVBoxLayout *>(dip->layout())->addLayout(row);
    QWidget *io = page(PageControl1, QStringLiteral("入出センサー"));
    for (int b = 0; b < 6; ++b) {
        RadioGroup *g = show(io, QStringLiteral("IO_bit%1").arg(b), QStringLiteral("入出センサー%1").arg(b), 1, b);
        if (b >= 2 && !w30)
            g->hide();
    }
    QWidget *person = page(PageControl1, QStringLiteral("人検知センサー"));
    show(person, QStringLiteral("Person_bit0"), QStringLiteral("人検知センサー"), 2, 0);
    for (QWidget *w : {sw, dip, io, person})
        static_cast<QVBoxLayout *>(w->layout())->addStretch();
    CancelBtn->hide();
    stack(this, PageControl1, buttons());
}

void TSensorStateDlg::ShowSensors(const QByteArray &sw2, uint8_t io, uint8_t person)
{
    bits_.show({uint16_t(byteAt(sw2, 0)), uint16_t(io), uint16_t(person)});
    ST_DIPSW->setText(Hex2(byteAt(sw2, 1)));
}

// ------------------------------------------------------------------ raw EEPROM

TEEPROM_RWDlg::TEEPROM_RWDlg(bool write, QWidget *parent)
    : GateDialog(write ? "TEEPROM_WriteDlg" : "TEEPROM_ReadDlg",
                 write ? QStringLiteral("EEPROM_WRITE") : QStringLiteral("EEPROM_READ"), QStringLiteral("OK"),
                 QStringLiteral("キャンセル"), parent)
{
    auto *grid = new QGridLayout(this);
    IntEd1 = numberBox(this, QStringLiteral("IntEd1"), 14);
    IntEd2 = numberBox(this, QStringLiteral("IntEd2"), 14);
    EdString = new QLineEdit(this);
    EdString->setObjectName(QStringLiteral("EdString"));
    actionButton = new QPushButton(write ? QStringLiteral("書込み") : QStringLiteral("読込み"), this);
    actionButton->setObjectName(write ? QStringLiteral("Bt_EEPROM_Write") : QStringLiteral("Bt_EEPROM_Read"));
    actionButton->setAutoDefault(false);
    grid->addWidget(new QLabel(QStringLiteral("StartBlockNo"), this), 0, 0);
    grid->addWidget(IntEd1, 0, 1);
    grid->addWidget(new QLabel(write ? QStringLiteral("書込ワード数") : QStringLiteral("読込ワード数"), this), 1, 0);
    grid->addWidget(IntEd2, 1, 1);
    grid->addWidget(new QLabel(write ? QStringLiteral("Hexデータ (MAX ： FFFF)") : QStringLiteral("データ"), this), 2, 0);
    grid->addWidget(EdString, 2, 1, 1, 2);
    grid->addWidget(actionButton, 1, 2);
    grid->addWidget(buttons(), 3, 0, 1, 3);
}

TEEPROM_ReadDlg::TEEPROM_ReadDlg(Reader read, QWidget *parent) : TEEPROM_RWDlg(false, parent), read_(std::move(read))
{
    connect(actionButton, &QPushButton::clicked, this, &TEEPROM_ReadDlg::Bt_EEPROM_ReadClick);
}

void TEEPROM_ReadDlg::Bt_EEPROM_ReadClick()
{
    QByteArray bytes;
    if (!read_ || !read_(uint8_t(IntEd1->value()), uint8_t(IntEd2->value()), bytes))
        return;
    QString text;
    for (char b : bytes)
        text += Hex2(uint8_t(b)) + u' ';
    EdString->setText(text);
}

TEEPROM_WriteDlg::TEEPROM_WriteDlg(Writer write, QWidget *parent)
    : TEEPROM_RWDlg(true, parent), write_(std::move(write))
{
    connect(actionButton, &QPushButton::clicked, this, &TEEPROM_WriteDlg::Bt_EEPROM_WriteClick);
}

QByteArray TEEPROM_WriteDlg::WriteBytes(const QString &text, int count)
{
    bool ok = false;
    const qulonglong v = text.trimmed().toULongLong(&ok, 16);
    const uint16_t word = ok ? uint16_t(v & 0xFFFF) : 0;
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out.append(char(word & 0xFF)).append(char(word >> 8));
    return out;
}

void TEEPROM_WriteDlg::Bt_EEPROM_WriteClick()
{
    const int count = IntEd2->value();
    if (write_)
        write_(uint8_t(IntEd1->value()), uint8_t(count), WriteBytes(EdString->text(), count));
}

// ------------------------------------------------------------------ melody and lamps

TGBuzLedDlg::TGBuzLedDlg(QWidget *parent)
    : GateDialog("TGBuzLedDlg", QStringLiteral("メロディ＆LEDランプ制御"), QStringLiteral("OK"),
                 QStringLiteral("キャンセル"), parent)
{
    auto *v = new QVBoxLayout(this);
    auto *mode = new QGroupBox(QStringLiteral("制御モード"), this);
    mode->setObjectName(QStringLiteral("GBCtrlMode"));
    auto *mv = new QGridLayout(mode);
    mv->addWidget(new QLabel(QStringLiteral("ブザー／メロディ制御モード"), mode), 0, 0);
    CB_CmdMode = new QComboBox(mode);
    CB_CmdMode->setObjectName(QStringLiteral("CB_CmdMode"));
    CB_CmdMode->addItems({QStringLiteral("制御しない"), QStringLiteral("ブザー使用"), QStringLiteral("メロディ使用")});
    CB_CmdMode->setCurrentIndex(2);
    mv->addWidget(CB_CmdMode, 0, 1);
    CBOnryou = new QCheckBox(QStringLiteral("音量制御を行う（W30のみ有効）"), mode);
    CBOnryou->setObjectName(QStringLiteral("CBOnryou"));
    mv->addWidget(CBOnryou, 1, 0, 1, 2);
    CBUseTime = new QCheckBox(QStringLiteral("鳴動時間、ランプ点灯時間のパラメータ有効"), mode);
    CBUseTime->setObjectName(QStringLiteral("CBUseTime"));
    mv->addWidget(CBUseTime, 2, 0, 1, 2);
    v->addWidget(mode);

    auto *g = new QGridLayout;
    g->addWidget(new QLabel(QStringLiteral("音の選択"), this), 0, 0);
    EdOto = numberBox(this, QStringLiteral("EdOto"), 255);
    g->addWidget(EdOto, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("音量の選択"), this), 1, 0);
    EdOnryou = numberBox(this, QStringLiteral("EdOnryou"), 255);
    g->addWidget(EdOnryou, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("［W30でのみ有効、０で音量OFF］"), this), 1, 2);
    g->addWidget(new QLabel(QStringLiteral("ランプ制御モード"), this), 2, 0);
    CBLanpMode = new QComboBox(this);
    CBLanpMode->setObjectName(QStringLiteral("CBLanpMode"));
    CBLanpMode->addItems({QStringLiteral("制御しない"), QStringLiteral("点滅"), QStringLiteral("点灯"),
                          QStringLiteral("点灯フラッシング")});
    CBLanpMode->setCurrentIndex(0);
    g->addWidget(CBLanpMode, 2, 1);
    g->addWidget(new QLabel(QStringLiteral("制御時間"), this), 3, 0);
    EdTime = numberBox(this, QStringLiteral("EdTime"), 65535);
    EdTime->setValue(150);
    g->addWidget(EdTime, 3, 1);
    g->addWidget(new QLabel(QStringLiteral("× 10ms"), this), 3, 2);
    v->addLayout(g);
    v->addWidget(buttons());
}

QByteArray TGBuzLedDlg::TakeCommand() const
{
    const int cmdMode = qMax(CB_CmdMode->currentIndex(), 0) & 0x03;
    const uint8_t mode = uint8_t(cmdMode | (CBOnryou->isChecked() ? 0x04 : 0) | (CBUseTime->isChecked() ? 0x08 : 0));
    const int time = EdTime->value();
    QByteArray d;
    d.append(char(0x2A)).append(char(mode)).append(char(EdOto->value())).append(char(EdOnryou->value()));
    d.append(char(qMax(CBLanpMode->currentIndex(), 0))).append(char(time & 0xFF)).append(char((time >> 8) & 0xFF));
    return d;
}

} // namespace kx9::gate
