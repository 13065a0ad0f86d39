#include "config/rw_param_dialog.h"

#include "config/click_panel.h"
#include "config/param_widgets.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kx9 {

namespace {

int bitOf(uint8_t byte, int bit) { return (byte >> bit) & 1; }

void putBit(uint8_t &byte, int bit, bool on)
{
    byte = on ? uint8_t(byte | (1u << bit)) : uint8_t(byte & ~(1u << bit));
}

// A radio group with no choice leaves its bit as read.
void takeBit(const ParamRadioGroup *g, uint8_t &byte, int bit)
{
    if (g->itemIndex() >= 0)
        putBit(byte, bit, g->itemIndex() == 1);
}

} // namespace

TParamSet3Dlg::TParamSet3Dlg(bool rom121, QWidget *parent) : QDialog(parent), rom121_(rom121)
{
    setObjectName(QStringLiteral("TParamSet3Dlg"));
    setWindowTitle(QStringLiteral("R/Wのパラメータ設定"));
    auto *top = new QVBoxLayout(this);
    Panel1 = new ClickPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    top->addWidget(Panel1, 1);
    auto *grid = new QGridLayout(Panel1);
    int row = 0;

    const auto number = [&](const char *name, const QString &label, int radix) {
        auto *e = new IntEdit(Panel1);
        e->setObjectName(QLatin1String(name));
        e->setRadix(radix);
        e->setRange(0, 255);
        e->setValue(0);
        auto *l = new QLabel(label, Panel1);
        l->setBuddy(e);
        grid->addWidget(l, row, 0);
        grid->addWidget(e, row, 1);
        ++row;
        return e;
    };
    const auto group = [&](const char *name, const QString &label, const QStringList &items) {
        auto *g = new ParamRadioGroup(label, items, 0, Panel1);
        g->setObjectName(QLatin1String(name));
        grid->addWidget(g, row, 0, 1, 2);
        ++row;
        return g;
    };
    EdRWID = number("EdRWID", QStringLiteral("R/WのID（RS485使用時以外は,0を設定）[0-255]"), 10);
    EdRetryNum = number("EdRetryNum", QStringLiteral("リトライ回数（２で１回リトライを行う）"), 10);
    EdBlockSize = number("EdBlockSize", QStringLiteral("ブロックサイズ(Tag-it HFI, I-code SLIの場合は4)"), 10);
    EdAFI = number("EdAFI", QStringLiteral("R/WのAFI値の設定値（16進[0-255]）"), 16);
    EdRdStAddr = number("EdRdStAddr", QStringLiteral("RDLOOPモード：　読み出しスタートブロック（0-255）"), 10);
    EdDataLen = number("EdDataLen", QStringLiteral("RDLOOPモード：　読み出しデータ長（0-255)"), 10);
    RGAntic = group("RGAntic", QStringLiteral("アンチコリジョン処理の設定"),
                    {QStringLiteral("通常処理"), QStringLiteral("高速処理")});
    RGInvAFI = group("RGInvAFI", QStringLiteral("インベントリコマンド時のAFI値"),
                     {QStringLiteral("使用しない"), QStringLiteral("使用する")});
    RGInvTrg = group("RGInvTrg", QStringLiteral("インベントリ時のトリガー入力"), {QStringLiteral("無効"), QStringLiteral("有効")});
    RGBuzType = group("RGBuzType", QStringLiteral("ブザー種別の設定（ハード設定）"),
                      {QStringLiteral("標準"), QStringLiteral("ブザー音大")});
    RGIOPORT3 = group("RGIOPORT3", QStringLiteral("IOPORT3の機能"),
                      {QStringLiteral("RS485制御信号"), QStringLiteral("エラー出力")});
    RGBRCmd = group("RGBRCmd", QStringLiteral("ノーリードコマンド"), {QStringLiteral("使用しない"), QStringLiteral("使用する")});
    RGUseUID1 = group("RGUseUID1", QStringLiteral("シンプルライトコマンド時UIDを使用"),
                      {QStringLiteral("しない"), QStringLiteral("する")});
    CBSelTag1 = new QCheckBox(QStringLiteral("タグの選択を行う"), Panel1);
    CBSelTag1->setObjectName(QStringLiteral("CBSelTag1"));
    grid->addWidget(CBSelTag1, row++, 0, 1, 2);
    RGTagSel = group("RGTagSel", QString(), {QStringLiteral("TI,my-d,フィリップス"), QStringLiteral("富士通")});

    top->addLayout(OkCancelRow(this, BtOK, BtCancel, QStringLiteral("OK"), QStringLiteral("キャンセル"), true));

    connect(BtOK, &QPushButton::clicked, this, [this] {
        // A number typed out of range is shown as the bound it is taken as.
        for (IntEdit *e : Panel1->findChildren<IntEdit *>())
            e->setValue(e->value());
        done(kModalOk);
    });
    connect(BtCancel, &QPushButton::clicked, this, &TParamSet3Dlg::reject);
    connect(CBSelTag1, &QCheckBox::clicked, this, &TParamSet3Dlg::CBSelTag1Click);
    for (int i = 0; i < RGTagSel->count(); ++i)
        connect(RGTagSel->item(i), &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RGTagSelClick();
        });
    connect(Panel1, &ClickPanel::clicked, this, [this](Qt::KeyboardModifiers m) {
        if (m & Qt::ControlModifier)
            emit panelCtrlClicked();
    });

    CBSelTag1->setChecked(false);
    CBSelTag1Click();
    if (!rom121_) {
        EdRdStAddr->setEnabled(false);
        EdDataLen->setEnabled(false);
        RGAntic->setEnabled(false);
    }
}

void TParamSet3Dlg::reject() { done(kModalCancel); }

void TParamSet3Dlg::ShowParams(const ParamArea1 &a1, const ParamArea2 &a2)
{
    EdRWID->setValue(a1[28]);
    EdRetryNum->setValue(a1[22]);
    EdBlockSize->setValue(a1[36]);
    EdAFI->setValue(a1[5]);
    // Without area 2 the boxes stay disabled at 0: nothing of it is read or written.
    EdRdStAddr->setValue(rom121_ ? a2[6] : 0);
    EdDataLen->setValue(rom121_ ? a2[7] : 0);
    RGAntic->setItemIndex(bitOf(a1[38], 3) == 1 && bitOf(a1[31], 2) == 0 ? 1 : 0);
    RGInvAFI->setItemIndex(bitOf(a1[7], 1));
    RGInvTrg->setItemIndex(bitOf(a1[38], 5));
    RGBuzType->setItemIndex(bitOf(a1[38], 4));
    RGIOPORT3->setItemIndex(bitOf(a1[31], 0));
    RGBRCmd->setItemIndex(bitOf(a1[6], 4));
    RGUseUID1->setItemIndex(bitOf(a1[7], 3));
    CBSelTag1->setChecked(false);
    CBSelTag1Click();
    RGTagSel->setItemIndex(bitOf(a1[38], 1) == 1 && EdBlockSize->value() == 8 ? 1 : 0);
}

void TParamSet3Dlg::TakeParams(ParamArea1 &a1, ParamArea2 &a2) const
{
    a1[28] = uint8_t(EdRWID->value() & 0xFF);
    a1[22] = uint8_t(EdRetryNum->value() & 0xFF);
    a1[36] = uint8_t(EdBlockSize->value() & 0xFF);
    a1[5] = uint8_t(EdAFI->value() & 0xFF);
    if (rom121_) {
        a2[6] = uint8_t(EdRdStAddr->value() & 0xFF);
        a2[7] = uint8_t(EdDataLen->value() & 0xFF);
        if (RGAntic->itemIndex() >= 0) {
            const bool fast = RGAntic->itemIndex() == 1;
            putBit(a1[38], 3, fast);
            putBit(a1[31], 2, !fast);
        }
    }
    takeBit(RGInvAFI, a1[7], 1);
    takeBit(RGInvTrg, a1[38], 5);
    takeBit(RGBuzType, a1[38], 4);
    takeBit(RGIOPORT3, a1[31], 0);
    takeBit(RGBRCmd, a1[6], 4);
    takeBit(RGUseUID1, a1[7], 3);
    if (selectTag()) {
        putBit(a1[31], 6, true);
        putBit(a1[38], 1, family() == TagFamily::Fujitsu);
    }
}

bool TParamSet3Dlg::selectTag() const { return CBSelTag1->isChecked(); }

TagFamily TParamSet3Dlg::family() const
{
    return RGTagSel->itemIndex() == 1 ? TagFamily::Fujitsu : TagFamily::TiMydPhilips;
}

void TParamSet3Dlg::CBSelTag1Click()
{
    const bool on = CBSelTag1->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(EdRWID), static_cast<QWidget *>(EdRetryNum),
                       static_cast<QWidget *>(EdBlockSize), static_cast<QWidget *>(RGInvAFI),
                       static_cast<QWidget *>(RGInvTrg), static_cast<QWidget *>(RGBuzType),
                       static_cast<QWidget *>(RGIOPORT3), static_cast<QWidget *>(RGBRCmd)})
        w->setEnabled(!on);
    // The anticollision choice exists only on readers with ROM 1.21 or later.
    RGAntic->setEnabled(!on && rom121_);
    RGTagSel->setEnabled(on);
}

void TParamSet3Dlg::RGTagSelClick()
{
    if (!CBSelTag1->isChecked())
        return;
    const bool fujitsu = RGTagSel->itemIndex() == 1;
    EdBlockSize->setValue(fujitsu ? 8 : 4);
    EdRetryNum->setValue(fujitsu ? 10 : 3);
}

} // namespace kx9
