#include "config/environment_dialog.h"

#include "config/click_panel.h"
#include "config/param_widgets.h"
#include "link/options.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kx9 {

namespace {

const QStringList kUidItems{QStringLiteral("指定しない"), QStringLiteral("コマンドで指定"),
                            QStringLiteral("カレントのＵＩＤを使用する")};
const QStringList kBit{QStringLiteral("0"), QStringLiteral("1")};

QCheckBox *check(QWidget *parent, const char *name, const QString &caption)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QComboBox *uidList(QWidget *parent, const char *name)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems(kUidItems);
    return c;
}

ParamRadioGroup *group(QWidget *parent, const char *name, const QString &title, const QStringList &items)
{
    auto *g = new ParamRadioGroup(title, items, 0, parent);
    g->setObjectName(QLatin1String(name));
    return g;
}

IntEdit *number(QWidget *parent, const char *name, int lo, int hi, int radix)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setRadix(radix);
    e->setRange(lo, hi);
    e->setValue(lo);
    return e;
}

// A list shows an item index; a value it has no item for shows no item.
void showIndex(QComboBox *c, int v) { c->setCurrentIndex(v >= 0 && v < c->count() ? v : -1); }
void showIndex(ParamRadioGroup *g, int v) { g->setItemIndex(v >= 0 && v < g->count() ? v : -1); }

void takeIndex(const QComboBox *c, int &option)
{
    if (c->currentIndex() >= 0)
        option = c->currentIndex();
}
void takeIndex(const ParamRadioGroup *g, int &option)
{
    if (g->itemIndex() >= 0)
        option = g->itemIndex();
}

int bitOf(int v, int bit) { return (v >> bit) & 1; }

} // namespace

TConfig1Dlg::TConfig1Dlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TConfig1Dlg"));
    setWindowTitle(QStringLiteral("環境設定"));
    auto *top = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    top->addWidget(PageControl1, 1);
    const auto page = [this](const char *name, const QString &title) {
        auto *w = new QWidget(PageControl1);
        w->setObjectName(QLatin1String(name));
        PageControl1->addTab(w, title);
        return w;
    };

    // ---- "動作環境"
    TabEnvironment = page("TabSheet1", QStringLiteral("動作環境"));
    {
        auto *v = new QVBoxLayout(TabEnvironment);
        auto *uidRow = new QHBoxLayout;
        CBSelUID = uidList(TabEnvironment, "CBSelUID");
        auto *uidLabel = new QLabel(QStringLiteral("ＵＩＤの指定"), TabEnvironment);
        uidLabel->setBuddy(CBSelUID);
        uidRow->addWidget(uidLabel);
        uidRow->addWidget(CBSelUID, 1);
        v->addLayout(uidRow);
        const auto commandGroup = [this](const QString &title, const char *radio, const char *list,
                                         ParamRadioGroup *&rg, QComboBox *&cb) {
            auto *box = new QGroupBox(title, TabEnvironment);
            auto *g = new QGridLayout(box);
            rg = group(box, radio, QStringLiteral("オプションフラグ"), kBit);
            cb = uidList(box, list);
            auto *l = new QLabel(QStringLiteral("ＵＩＤの指定"), box);
            l->setBuddy(cb);
            g->addWidget(rg, 0, 0, 1, 2);
            g->addWidget(l, 1, 0);
            g->addWidget(cb, 1, 1);
            return box;
        };
        v->addWidget(commandGroup(QStringLiteral("リード関係のコマンド"), "RGReadOption", "CBReadSelUID", RGReadOption,
                                  CBReadSelUID));
        v->addWidget(commandGroup(QStringLiteral("ライト関係のコマンド"), "RGWriteOption", "CBWriteSelUID", RGWriteOption,
                                  CBWriteSelUID));
        CBEnabLockBlock = check(TabEnvironment, "CBEnabLockBlock", QStringLiteral("ロックブロック機能有効"));
        v->addWidget(CBEnabLockBlock);
        auto *presets = new QHBoxLayout;
        BtSetTagit = new QPushButton(QStringLiteral("Tag-itの設定"), TabEnvironment);
        BtSetTagit->setObjectName(QStringLiteral("BtSetTagit"));
        BtSetICode2 = new QPushButton(QStringLiteral("I-CODE2の設定"), TabEnvironment);
        BtSetICode2->setObjectName(QStringLiteral("BtSetICode2"));
        for (QPushButton *b : {BtSetTagit, BtSetICode2}) {
            b->setAutoDefault(false);
            presets->addWidget(b);
        }
        presets->addStretch(1);
        v->addLayout(presets);
        CBProgSetFlag = check(TabEnvironment, "CBProgSetFlag", QStringLiteral("各フラグ設定"));
        v->addWidget(CBProgSetFlag);
        v->addStretch(1);
    }

    // ---- "EASの設定"
    TabEas = page("TabSheet2", QStringLiteral("EASの設定"));
    {
        auto *g = new QGridLayout(TabEas);
        IntEdEASON = number(TabEas, "IntEdEASON", 0, 0xFF, 16);
        IntEdEASOFF = number(TabEas, "IntEdEASOFF", 0, 0xFF, 16);
        int row = 0;
        for (auto [box, caption] : {std::pair{IntEdEASON, "EAS ON"}, std::pair{IntEdEASOFF, "EAS OFF"}}) {
            auto *l = new QLabel(QLatin1String(caption), TabEas);
            l->setBuddy(box);
            g->addWidget(l, row, 0);
            g->addWidget(box, row, 1);
            g->addWidget(new QLabel(QStringLiteral("(1-0xff)"), TabEas), row, 2);
            ++row;
        }
        g->setRowStretch(row, 1);
    }

    // ---- "デバッグ"
    TabDebug = page("TabSheet3", QStringLiteral("デバッグ"));
    {
        auto *outer = new QVBoxLayout(TabDebug);
        outer->setContentsMargins(0, 0, 0, 0);
        Panel2 = new ClickPanel(TabDebug);
        Panel2->setObjectName(QStringLiteral("Panel2"));
        outer->addWidget(Panel2);
        auto *v = new QVBoxLayout(Panel2);
        CBfDispRecInfo = check(Panel2, "CBfDispRecInfo", QStringLiteral("fDispRecInfo"));
        CBfDispTxInfo = check(Panel2, "CBfDispTxInfo", QStringLiteral("fDispTxInfo"));
        CBfWrDebug1 = check(Panel2, "CBfWrDebug1", QStringLiteral("fWrDebug1"));
        CBDispCont1 = check(Panel2, "CBDispCont1", QStringLiteral("表示データの色を変える"));
        CBInventory2 = check(Panel2, "CBInventory2", QStringLiteral("インベントリ２時、UIDデータも受信する"));
        CBUseInOutFormat = check(Panel2, "CBUseInOutFormat", QStringLiteral("入出フォーマットを使用する"));
        for (QCheckBox *c : {CBfDispRecInfo, CBfDispTxInfo, CBfWrDebug1, CBDispCont1, CBInventory2, CBUseInOutFormat})
            v->addWidget(c);
        RGChannelMode = group(Panel2, "RGChannelMode", QString(), {QStringLiteral("入／出モード"), QStringLiteral("チャンネルモード")});
        v->addWidget(RGChannelMode);
        CBBinaryWrite = check(Panel2, "CBBinaryWrite", QStringLiteral("1BlockWrite時バイナリデータの書き込みを行う"));
        v->addWidget(CBBinaryWrite);
        v->addWidget(new QLabel(QStringLiteral("アプリケーション側の設定"), Panel2));
        auto *g = new QGridLayout;
        EdRWID = number(Panel2, "EdRWID", 0, 255, 10);
        EdBlockSize = number(Panel2, "EdBlockSize", 1, 255, 10);
        auto *idLabel = new QLabel(QStringLiteral("Ｒ／ＷのＩＤ"), Panel2);
        idLabel->setBuddy(EdRWID);
        auto *bsLabel = new QLabel(QStringLiteral("ブロックサイズ"), Panel2);
        bsLabel->setBuddy(EdBlockSize);
        g->addWidget(idLabel, 0, 0);
        g->addWidget(EdRWID, 0, 1);
        g->addWidget(bsLabel, 1, 0);
        g->addWidget(EdBlockSize, 1, 1);
        v->addLayout(g);
        CBROMVer200 = check(Panel2, "CBROMVer200", QStringLiteral("ＲＯＭバージョン1.21以降"));
        CBGateCmd = check(Panel2, "CBGateCmd", QStringLiteral("ゲート用コマンドを有効にする"));
        CBDispEXTSet1 = check(Panel2, "CBDispEXTSet1", QStringLiteral("拡張設定メニューの表示"));
        CBInvTxOff = check(Panel2, "CBInvTxOff", QStringLiteral("Tag IT HF-I Light　連続リード"));
        for (QCheckBox *c : {CBROMVer200, CBGateCmd, CBDispEXTSet1, CBInvTxOff})
            v->addWidget(c);
        v->addStretch(1);
    }

    // ---- "フラグ設定"
    TabFlags = page("TabSheet4", QStringLiteral("フラグ設定"));
    {
        auto *v = new QVBoxLayout(TabFlags);
        auto *uidRow = new QHBoxLayout;
        CBUidFlag = uidList(TabFlags, "CBUidFlag");
        auto *l = new QLabel(QStringLiteral("ＵＩＤの指定"), TabFlags);
        l->setBuddy(CBUidFlag);
        uidRow->addWidget(l);
        uidRow->addWidget(CBUidFlag, 1);
        v->addLayout(uidRow);
        auto *bits = new QGridLayout;
        RGSelect = group(TabFlags, "RGSelect", QStringLiteral("select_flag"), kBit);
        RGAddress = group(TabFlags, "RGAddress", QStringLiteral("address_flag"), kBit);
        RGOption = group(TabFlags, "RGOption", QStringLiteral("option_flag"), kBit);
        RGAFI = group(TabFlags, "RGAFI", QStringLiteral("AFI_flag"), kBit);
        RGNBSlots = group(TabFlags, "RGNBSlots", QStringLiteral("Nb_slots_flag"), kBit);
        RBDummy1 = group(TabFlags, "RBDummy1", QStringLiteral("未使用"), kBit);
        int i = 0;
        for (ParamRadioGroup *g : {RGSelect, RGAddress, RGOption, RGAFI, RGNBSlots, RBDummy1}) {
            bits->addWidget(g, i / 3, i % 3);
            ++i;
        }
        v->addLayout(bits);
        v->addStretch(1);
    }

    top->addLayout(OkCancelRow(this, BtOK, BtCancel, QStringLiteral("OK"), QStringLiteral("キャンセル"), true));
    connect(BtOK, &QPushButton::clicked, this, [this] {
        for (IntEdit *e : findChildren<IntEdit *>())
            e->setValue(e->value());
        done(kModalOk);
    });
    connect(BtCancel, &QPushButton::clicked, this, &TConfig1Dlg::reject);
    connect(BtSetTagit, &QPushButton::clicked, this, &TConfig1Dlg::BtSetTagitClick);
    connect(BtSetICode2, &QPushButton::clicked, this, &TConfig1Dlg::BtSetICode2Click);
    for (QCheckBox *c : {CBUseInOutFormat, CBBinaryWrite, CBROMVer200, CBGateCmd})
        connect(c, &QCheckBox::clicked, this, &TConfig1Dlg::CBUseInOutFormatClick);
    connect(Panel2, &ClickPanel::clicked, this, &TConfig1Dlg::Panel2Click);

    // Shown for no opening: the EAS values and the flag bits are set
    // elsewhere, the override switch and the gate switch only in the option file.
    PageControl1->setTabVisible(PageControl1->indexOf(TabEas), false);
    PageControl1->setTabVisible(PageControl1->indexOf(TabFlags), false);
    CBProgSetFlag->setVisible(false);
    CBGateCmd->setVisible(false);
}

void TConfig1Dlg::reject() { done(kModalCancel); }

void TConfig1Dlg::ShowOptions(const AppOptions &o, const ModuleSettings &m)
{
    showIndex(CBSelUID, o.UidFlag);
    showIndex(RGReadOption, o.ReadOptionFlag);
    showIndex(CBReadSelUID, o.ReadUidFlag);
    showIndex(RGWriteOption, o.WriteOptionFlag);
    showIndex(CBWriteSelUID, o.WriteUidFlag);
    CBEnabLockBlock->setChecked(o.EnabLockBlock != 0);
    CBProgSetFlag->setChecked(o.fUSESetOption != 0);
    IntEdEASON->setValue(o.EAS_ON_VALUE);
    IntEdEASOFF->setValue(o.EAS_OFF_VALUE);
    CBfDispRecInfo->setChecked(m.fDispRecInfo != 0);
    CBfDispTxInfo->setChecked(m.fDispTxInfo != 0);
    CBfWrDebug1->setChecked(m.fWrDebug1 != 0);
    CBDispCont1->setChecked(m.fDispCont1 != 0);
    CBInventory2->setChecked(o.fInventory2 != 0);
    CBUseInOutFormat->setChecked(o.fUseInOutFormat != 0);
    showIndex(RGChannelMode, o.InOutMode);
    RGChannelMode->setEnabled(CBUseInOutFormat->isChecked());
    CBBinaryWrite->setChecked(o.fBinaryWrite != 0);
    EdRWID->setValue(m.IDNo);
    EdBlockSize->setValue(o.TagBlockSize);
    CBROMVer200->setChecked(o.fVER121 != 0);
    CBGateCmd->setChecked(o.fGateCmd != 0);
    CBDispEXTSet1->setChecked(o.fDispEXTSet1 != 0);
    CBDispEXTSet1->setVisible(o.fDispEXTSet1 != 0);
    CBInvTxOff->setChecked(o.fInvTxOff != 0);
    CBInvTxOff->setVisible(o.fInvTxOff != 0);
    const int f = o.Prog15693FLAG;
    // Bits 0-1 = 3 has no item; it shows none and goes back as 3.
    showIndex(CBUidFlag, f & 3);
    int bit = 2;
    for (ParamRadioGroup *g : {RGSelect, RGAddress, RGOption, RGAFI, RGNBSlots, RBDummy1})
        g->setItemIndex(bitOf(f, bit++));
}

void TConfig1Dlg::TakeModuleAndFlags(AppOptions &o, ModuleSettings &m) const
{
    o.EnabLockBlock = CBEnabLockBlock->isChecked() ? 1 : 0;
    m.fDispRecInfo = CBfDispRecInfo->isChecked() ? 1 : 0;
    m.fDispTxInfo = CBfDispTxInfo->isChecked() ? 1 : 0;
    m.fWrDebug1 = CBfWrDebug1->isChecked() ? 1 : 0;
    m.fDispCont1 = CBDispCont1->isChecked() ? 1 : 0;
    o.fInventory2 = CBInventory2->isChecked() ? 1 : 0;
    o.fUseInOutFormat = CBUseInOutFormat->isChecked() ? 1 : 0;
    takeIndex(RGChannelMode, o.InOutMode);
    o.fBinaryWrite = CBBinaryWrite->isChecked() ? 1 : 0;
}

void TConfig1Dlg::TakeRomVersion(AppOptions &o) const { o.fVER121 = CBROMVer200->isChecked() ? 1 : 0; }

void TConfig1Dlg::TakeGateCommands(AppOptions &o) const { o.fGateCmd = CBGateCmd->isChecked() ? 1 : 0; }

void TConfig1Dlg::TakeRequestOptions(AppOptions &o, ModuleSettings &m) const
{
    takeIndex(CBSelUID, o.UidFlag);
    takeIndex(RGReadOption, o.ReadOptionFlag);
    takeIndex(CBReadSelUID, o.ReadUidFlag);
    takeIndex(RGWriteOption, o.WriteOptionFlag);
    takeIndex(CBWriteSelUID, o.WriteUidFlag);
    m.IDNo = uint8_t(EdRWID->value() & 0xFF);
    o.TagBlockSize = EdBlockSize->value() & 0xFF;
    o.EAS_ON_VALUE = uint8_t(IntEdEASON->value() & 0xFF);
    o.EAS_OFF_VALUE = uint8_t(IntEdEASOFF->value() & 0xFF);
}

void TConfig1Dlg::TakeExtendedMenus(AppOptions &o) const { o.fDispEXTSet1 = CBDispEXTSet1->isChecked() ? 1 : 0; }

void TConfig1Dlg::TakeSwitches(AppOptions &o) const
{
    o.fInvTxOff = CBInvTxOff->isChecked() ? 1 : 0;
    o.fUSESetOption = CBProgSetFlag->isChecked() ? 1 : 0;
}

void TConfig1Dlg::TakeProgFlags(AppOptions &o) const
{
    int f = CBUidFlag->currentIndex() & 3;
    int bit = 2;
    for (const ParamRadioGroup *g : {RGSelect, RGAddress, RGOption, RGAFI, RGNBSlots, RBDummy1}) {
        if (g->itemIndex() == 1)
            f |= 1 << bit;
        ++bit;
    }
    o.Prog15693FLAG = uint8_t(f);
}

void TConfig1Dlg::BtSetTagitClick()
{
    RGReadOption->setItemIndex(0);
    RGWriteOption->setItemIndex(1);
}

void TConfig1Dlg::BtSetICode2Click()
{
    RGReadOption->setItemIndex(0);
    RGWriteOption->setItemIndex(0);
}

void TConfig1Dlg::CBUseInOutFormatClick() { RGChannelMode->setEnabled(CBUseInOutFormat->isChecked()); }

void TConfig1Dlg::Panel2Click(Qt::KeyboardModifiers modifiers)
{
    const bool both = (modifiers & Qt::ShiftModifier) && (modifiers & Qt::ControlModifier);
    const bool show = both && CBDispEXTSet1->isHidden();
    CBDispEXTSet1->setVisible(show);
    CBInvTxOff->setVisible(show);
}

} // namespace kx9
