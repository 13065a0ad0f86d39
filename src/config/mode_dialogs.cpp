#include "config/mode_dialogs.h"

#include "config/mode_logic.h"
#include "config/param_block.h"
#include "config/param_widgets.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx9 {

namespace {

// The confirming and the cancelling button, right-aligned. The boxes show
// what the action receives even when the focus never left them.
QHBoxLayout *buttonRow(QDialog *dlg, QPushButton *&ok, QPushButton *&cancel, const QString &okText,
                       const QString &cancelText)
{
    ok = new QPushButton(okText, dlg);
    ok->setObjectName(QStringLiteral("BtOK"));
    ok->setDefault(true);
    cancel = new QPushButton(cancelText, dlg);
    cancel->setObjectName(QStringLiteral("BtCancel"));
    QObject::connect(ok, &QPushButton::clicked, dlg, [dlg] {
        for (IntEdit *e : dlg->findChildren<IntEdit *>())
            e->setValue(e->value());
        dlg->done(kModalOk);
    });
    QObject::connect(cancel, &QPushButton::clicked, dlg, [dlg] { dlg->done(kModalCancel); });
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

ParamRadioGroup *group(QWidget *parent, const char *name, const QString &title, const QStringList &items)
{
    auto *g = new ParamRadioGroup(title, items, 0, parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

IntEdit *number(QWidget *parent, const char *name, int radix, int lo, int hi)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setRadix(radix);
    e->setRange(lo, hi);
    return e;
}

} // namespace

// ---------------------------------------------------------------- operating mode

TDousaMode1Dlg::TDousaMode1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TDousaMode1Dlg"));
    setWindowTitle(QStringLiteral("動作モードの設定"));
    setModal(true);

    auto *grid = new QGridLayout;
    int row = 0;
    LbPolTime = new QLabel(QStringLiteral("ポーリング時間："), this);
    LbPolTime->setObjectName(QStringLiteral("LbPolTime"));
    EdPolTime = number(this, "EdPolTime", 10, 0, 65535);
    LbPolTimeUnit = new QLabel(QStringLiteral("× ２００ｍｓ"), this);
    LbPolTimeUnit->setObjectName(QStringLiteral("LbPolTimeUnit"));
    grid->addWidget(LbPolTime, row, 0);
    grid->addWidget(EdPolTime, row, 1);
    grid->addWidget(LbPolTimeUnit, row, 2);
    ++row;

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (const ModeCodeItem &m : ModeCodes())
        ComboBox1->addItem(QString::fromUtf8(m.text));
    grid->addWidget(new QLabel(QStringLiteral("動作モード："), this), row, 0);
    grid->addWidget(ComboBox1, row++, 1, 1, 2);

    GbBuzzer = group(this, "GbBuzzer", QStringLiteral("ブザー"), {QStringLiteral("鳴らさない"), QStringLiteral("鳴らす")});
    grid->addWidget(GbBuzzer, row++, 1, 1, 2);
    RGAntiCol = group(this, "RGAntiCol", QStringLiteral("アンチコリジョン"),
                      {QStringLiteral("単独読み取り"), QStringLiteral("複数同時読み取り")});
    grid->addWidget(new QLabel(QStringLiteral("ポート状態："), this), row, 0);
    grid->addWidget(RGAntiCol, row++, 1, 1, 2);
    GbReadMode = group(this, "GbReadMode", QStringLiteral("読み取りモード"),
                       {QStringLiteral("シングル読み取り"), QStringLiteral("連続読み取り")});
    grid->addWidget(new QLabel(QStringLiteral("読み取りﾓｰﾄﾞ ："), this), row, 0);
    grid->addWidget(GbReadMode, row++, 1, 1, 2);
    RGTxData = group(this, "RGTxData", QStringLiteral("送信データ"),
                     {QStringLiteral("ユーザーデータのみ"), QStringLiteral("ユーザーデータ＋ＵＩＤ")});
    grid->addWidget(new QLabel(QStringLiteral("送信データ ："), this), row, 0);
    grid->addWidget(RGTxData, row++, 1, 1, 2);
    CBSpeed = new QComboBox(this);
    CBSpeed->setObjectName(QStringLiteral("CBSpeed"));
    CBSpeed->addItems(SpeedItems(true));
    grid->addWidget(new QLabel(QStringLiteral("通信スピード："), this), row, 0);
    grid->addWidget(CBSpeed, row++, 1, 1, 2);

    CBWriteEEPROM = new QCheckBox(QStringLiteral("EEPROMへの書き込みを行う"), this);
    CBWriteEEPROM->setObjectName(QStringLiteral("CBWriteEEPROM"));

    auto *top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addWidget(CBWriteEEPROM);
    top->addLayout(buttonRow(this, BtOK, BtCancel, QStringLiteral("OK"), QStringLiteral("ｷｬﾝｾﾙ")));

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TDousaMode1Dlg::updatePollingTime);
    connect(CBSpeed, &QComboBox::currentIndexChanged, this, &TDousaMode1Dlg::updatePollingTime);
    updatePollingTime();
}

void TDousaMode1Dlg::reject() { done(kModalCancel); }

void TDousaMode1Dlg::updatePollingTime()
{
    const bool polling = ComboBox1->currentIndex() == ModeItemForCode(0x03);
    for (QWidget *w : {static_cast<QWidget *>(LbPolTime), static_cast<QWidget *>(EdPolTime),
                       static_cast<QWidget *>(LbPolTimeUnit)})
        w->setVisible(polling);
}

void TDousaMode1Dlg::Show(uint16_t pollingTime, uint8_t code, uint8_t flags, bool ver121)
{
    shownFlags_ = flags;
    EdPolTime->setValue(pollingTime);
    ComboBox1->setCurrentIndex(ModeItemForCode(code));
    RGAntiCol->setItemIndex((flags >> 2) & 1);
    GbReadMode->setItemIndex((flags >> 3) & 1);
    GbBuzzer->setItemIndex((flags >> 4) & 1);
    RGTxData->setItemIndex((flags >> 5) & 1);
    {
        // Refilled every time: the list has the fast speed only for readers that know it.
        const QSignalBlocker quiet(CBSpeed);
        CBSpeed->clear();
        CBSpeed->addItems(SpeedItems(ver121));
        CBSpeed->setCurrentIndex(SpeedItemForFlags(flags, ver121));
    }
    updatePollingTime();
}

uint8_t TDousaMode1Dlg::TakeCode() const { return ModeCodeForItem(ComboBox1->currentIndex()); }

uint8_t TDousaMode1Dlg::TakeFlags() const
{
    return BuildModeFlags(shownFlags_, RGAntiCol->itemIndex(), GbReadMode->itemIndex(), GbBuzzer->itemIndex(),
                          RGTxData->itemIndex(), CBSpeed->currentIndex());
}

uint16_t TDousaMode1Dlg::TakePollingTime() const { return uint16_t(EdPolTime->value()); }

bool TDousaMode1Dlg::storeInEeprom() const { return CBWriteEEPROM->isChecked(); }

// ---------------------------------------------------------------- S6700 mode

TModeSet2Dlg::TModeSet2Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TModeSet2Dlg"));
    setWindowTitle(QStringLiteral("タグの動作モードの設定"));
    setModal(true);
    RGTag1 = group(this, "RGTag1", QStringLiteral("Tag Speed"),
                   {QStringLiteral("ISO15693(1/4)"), QStringLiteral("ISO15693(1/256)")});
    RGModul = group(this, "RGModul", QStringLiteral("Modulation Depth"), {QStringLiteral("10%"), QStringLiteral("100%")});
    RGAmFm = group(this, "RGAmFm", QStringLiteral("FSK/ASK"), {QStringLiteral("FSK"), QStringLiteral("ASK")});
    CBWriteEEPROM = new QCheckBox(QStringLiteral("R/WのEEPROMへの書き込み"), this);
    CBWriteEEPROM->setObjectName(QStringLiteral("CBWriteEEPROM"));
    auto *top = new QVBoxLayout(this);
    top->addWidget(RGTag1);
    top->addWidget(RGModul);
    top->addWidget(RGAmFm);
    top->addWidget(CBWriteEEPROM);
    top->addLayout(buttonRow(this, BtOK, BtCancel, QStringLiteral("設定"), QStringLiteral("キャンセル")));
}

void TModeSet2Dlg::reject() { done(kModalCancel); }

void TModeSet2Dlg::Show(uint8_t s6700Conf, bool storeInEeprom)
{
    RGTag1->setItemIndex(S6700TagSpeedItem(s6700Conf));
    RGModul->setItemIndex((s6700Conf >> 4) & 1);
    RGAmFm->setItemIndex((s6700Conf >> 5) & 1);
    CBWriteEEPROM->setChecked(storeInEeprom);
}

uint8_t TModeSet2Dlg::TakeS6700() const
{
    return S6700FromDialog(RGTag1->itemIndex(), RGModul->itemIndex(), RGAmFm->itemIndex());
}

bool TModeSet2Dlg::storeInEeprom() const { return CBWriteEEPROM->isChecked(); }

// ---------------------------------------------------------------- EAS values

TSetEAS1Dlg::TSetEAS1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSetEAS1Dlg"));
    setWindowTitle(QStringLiteral("EASモードの設定"));
    setModal(true);
    IntEdit1 = number(this, "IntEdit1", 16, 0, 255);
    IntEdit2 = number(this, "IntEdit2", 16, 0, 255);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("ＥＡＳ　有効"), this), 0, 0);
    grid->addWidget(IntEdit1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("0-255 (HEX)"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("ＥＡＳ　無効"), this), 1, 0);
    grid->addWidget(IntEdit2, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("0-255 (HEX)"), this), 1, 2);
    auto *top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttonRow(this, BtOK, BtCancel, QStringLiteral("設定"), QStringLiteral("キャンセル")));
}

void TSetEAS1Dlg::reject() { done(kModalCancel); }

void TSetEAS1Dlg::Show(uint8_t onValue, uint8_t offValue)
{
    IntEdit1->setValue(onValue);
    IntEdit2->setValue(offValue);
}

uint8_t TSetEAS1Dlg::TakeOnValue() const { return uint8_t(IntEdit1->value()); }
uint8_t TSetEAS1Dlg::TakeOffValue() const { return uint8_t(IntEdit2->value()); }

} // namespace kx9
