#include "config/antenna_dialogs.h"

#include "config/param_widgets.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kx9 {

namespace {

int bitOf(uint8_t byte, int bit) { return (byte >> bit) & 1; }

void takeBit(const ParamRadioGroup *g, uint8_t &byte, int bit)
{
    if (g->itemIndex() >= 0)
        byte = g->itemIndex() == 1 ? uint8_t(byte | (1u << bit)) : uint8_t(byte & ~(1u << bit));
}

QString fullWidthDigit(int n) { return QString(QChar(0xFF10 + n)); }

} // namespace

QVector<int> AntennaUseWords(AntennaUse use)
{
    switch (use) {
    case AntennaUse::KX9P80C: return {4, 20};
    case AntennaUse::SwitchBoard: return {16, 17, 20};
    case AntennaUse::IoPorts: return {16, 17};
    }
    return {};
}

TSetAnt1Rom1Dlg::TSetAnt1Rom1Dlg(AntennaUse use, QWidget *parent) : QDialog(parent), use_(use)
{
    setObjectName(QStringLiteral("TSetAnt1Rom1Dlg"));
    setWindowTitle(QStringLiteral("ダイアログ"));
    auto *top = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    top->addWidget(PageControl1, 1);

    const auto group = [this](QWidget *page, const QString &name, const QStringList &items) {
        auto *g = new ParamRadioGroup(QString(), items, 0, page);
        g->setObjectName(name);
        return g;
    };

    // ---- "Ｉ／Ｏポートの設定"
    TabPorts = new QWidget(PageControl1);
    TabPorts->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabPorts, QStringLiteral("Ｉ／Ｏポートの設定"));
    {
        auto *outer = new QVBoxLayout(TabPorts);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        grid->addWidget(new QLabel(QStringLiteral("入／出力ポート"), TabPorts), 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("デフォルト値"), TabPorts), 0, 2);
        for (int n = 1; n <= 8; ++n) {
            grid->addWidget(new QLabel(QStringLiteral("Ｉ／Ｏポート") + fullWidthDigit(n), TabPorts), n, 0);
            RGPORTIO[n - 1] = group(TabPorts, QStringLiteral("RGPORTIO%1").arg(n), {QStringLiteral("入力"), QStringLiteral("出力")});
            RGPORTDefault[n - 1] = group(TabPorts, QStringLiteral("RGPORTDefault%1").arg(n), {QStringLiteral("0"), QStringLiteral("1")});
            grid->addWidget(RGPORTIO[n - 1], n, 1);
            grid->addWidget(RGPORTDefault[n - 1], n, 2);
        }
        RGPORTSEL1 = group(TabPorts, QStringLiteral("RGPORTSEL1"), {QStringLiteral("LED"), QStringLiteral("ポート")});
        RGPORTSEL2 = group(TabPorts, QStringLiteral("RGPORTSEL2"), {QStringLiteral("トリガー"), QStringLiteral("ポート")});
        RGPORTSEL3 = group(TabPorts, QStringLiteral("RGPORTSEL3"), {QStringLiteral("RS485"), QStringLiteral("ポート")});
        RGPORTSEL7 = group(TabPorts, QStringLiteral("RGPORTSEL7"), {QStringLiteral("ブザー"), QStringLiteral("ポート")});
        grid->addWidget(RGPORTSEL1, 1, 3);
        grid->addWidget(RGPORTSEL2, 2, 3);
        grid->addWidget(RGPORTSEL3, 3, 3);
        grid->addWidget(RGPORTSEL7, 7, 3);
    }

    // ---- "メモリースイッチ"
    TabSwitches = new QWidget(PageControl1);
    TabSwitches->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSwitches, QStringLiteral("メモリースイッチ"));
    {
        auto *outer = new QVBoxLayout(TabSwitches);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        int row = 0;
        Label43 = new QLabel(QStringLiteral("出力モード（ロングレンジ）"), TabSwitches);
        Label43->setObjectName(QStringLiteral("Label43"));
        CBMode2 = new QComboBox(TabSwitches);
        CBMode2->setObjectName(QStringLiteral("CBMode2"));
        CBMode2->addItems({QStringLiteral("TX1"), QStringLiteral("TX2"), QStringLiteral("TX1/TX2"), QStringLiteral("TX1+TX2")});
        Label43->setBuddy(CBMode2);
        grid->addWidget(Label43, row, 0);
        grid->addWidget(CBMode2, row++, 1);

        const auto labelled = [&](QLabel *&label, const char *labelName, const QString &caption, QWidget *control) {
            label = new QLabel(caption, TabSwitches);
            label->setObjectName(QLatin1String(labelName));
            label->setBuddy(control);
            grid->addWidget(label, row, 0);
            grid->addWidget(control, row++, 1);
        };
        RGMemSW60 = group(TabSwitches, QStringLiteral("RGMemSW60"), {QStringLiteral("無効"), QStringLiteral("有効")});
        labelled(LbMemSW60, "LbMemSW60", QStringLiteral("外部アンテナの自動切り替え機能"), RGMemSW60);
        EdSelAntena = new IntEdit(TabSwitches);
        EdSelAntena->setObjectName(QStringLiteral("EdSelAntena"));
        EdSelAntena->setRadix(16);
        EdSelAntena->setRange(0, 7);
        EdSelAntena->setValue(0);
        labelled(LbSelAntena, "LbSelAntena", QStringLiteral("アンテナの選択："), EdSelAntena);
        RGMemSW64 = group(TabSwitches, QStringLiteral("RGMemSW64"), {QStringLiteral("通常ポート"), QStringLiteral("拡張ポート")});
        labelled(LbMemSW64, "LbMemSW64", QStringLiteral("自動切替のポートの選択(P45,P55)"), RGMemSW64);
        RGMemSW65 = group(TabSwitches, QStringLiteral("RGMemSW65"), {QStringLiteral("しない"), QStringLiteral("する")});
        labelled(LbMemSW65, "LbMemSW65", QStringLiteral("カスケード接続"), RGMemSW65);
        RGMemSW66 = group(TabSwitches, QStringLiteral("RGMemSW66"), {QStringLiteral("行う"), QStringLiteral("行わない")});
        labelled(LbMemSW66, "LbMemSW66", QStringLiteral("自動切り替え時のパワー制御"), RGMemSW66);
        RGMemSW67 = group(TabSwitches, QStringLiteral("RGMemSW67"), {QStringLiteral("無効"), QStringLiteral("有効")});
        labelled(LbMemSW67, "LbMemSW67", QStringLiteral("アンテナのIDを出力する（識別機能有効）"), RGMemSW67);
        BtSetCascade = new QPushButton(QStringLiteral("カスケード接続の設定..."), TabSwitches);
        BtSetCascade->setObjectName(QStringLiteral("BtSetCascade"));
        BtSetCascade->setAutoDefault(false);
        BtSetCascade->setVisible(false);
        grid->addWidget(BtSetCascade, row++, 1);
        for (int i = 0; i < RGMemSW65->count(); ++i)
            connect(RGMemSW65->item(i), &QRadioButton::toggled, this, [this](bool on) {
                if (on)
                    RGMemSW65Click();
            });
        connect(BtSetCascade, &QPushButton::clicked, this, &TSetAnt1Rom1Dlg::cascadeRequested);
    }

    QHBoxLayout *row = OkCancelRow(this, BtOK, BtCancel, QStringLiteral("書き込み(&O)"),
                                   QStringLiteral("キャンセル(&C)"), false);
    connect(BtOK, &QPushButton::clicked, this, [this] {
        EdSelAntena->setValue(EdSelAntena->value());
        done(kModalOk);
    });
    connect(BtCancel, &QPushButton::clicked, this, &TSetAnt1Rom1Dlg::reject);
    top->addLayout(row);

    // The use: one page or both, and what of the switch page it hides or disables.
    const auto hide = [](std::initializer_list<QWidget *> ws) {
        for (QWidget *w : ws)
            w->setVisible(false);
    };
    const auto disable = [](std::initializer_list<QWidget *> ws) {
        for (QWidget *w : ws)
            w->setEnabled(false);
    };
    switch (use_) {
    case AntennaUse::KX9P80C:
        PageControl1->setTabVisible(PageControl1->indexOf(TabPorts), false);
        hide({RGMemSW65, LbMemSW65, RGMemSW66, LbMemSW66});
        disable({RGMemSW60, EdSelAntena, RGMemSW64, RGMemSW66, LbMemSW60, LbSelAntena, LbMemSW64, LbMemSW65, LbMemSW66});
        break;
    case AntennaUse::SwitchBoard:
        hide({CBMode2, Label43, RGMemSW66, LbMemSW66});
        break;
    case AntennaUse::IoPorts:
        PageControl1->setTabVisible(PageControl1->indexOf(TabSwitches), false);
        hide({CBMode2, Label43, RGMemSW65, LbMemSW65, RGMemSW66, LbMemSW66});
        break;
    }
    PageControl1->setCurrentWidget(use_ == AntennaUse::IoPorts || use_ == AntennaUse::SwitchBoard ? TabPorts : TabSwitches);
}

void TSetAnt1Rom1Dlg::reject() { done(kModalCancel); }

void TSetAnt1Rom1Dlg::RGMemSW65Click()
{
    // Follows the group also where the group itself is hidden (use P).
    if (RGMemSW65->itemIndex() >= 0)
        BtSetCascade->setVisible(RGMemSW65->itemIndex() == 1);
}

void TSetAnt1Rom1Dlg::ShowWords(const ParamArea1 &a)
{
    const QVector<int> words = AntennaUseWords(use_);
    if (words.contains(4))
        CBMode2->setCurrentIndex(a[6] & 3);
    if (words.contains(16)) {
        RGPORTSEL1->setItemIndex(bitOf(a[30], 0));
        RGPORTSEL2->setItemIndex(bitOf(a[30], 1));
        RGPORTSEL3->setItemIndex(bitOf(a[30], 2));
        RGPORTSEL7->setItemIndex(bitOf(a[30], 6));
    }
    if (words.contains(17)) {
        for (int n = 0; n < 8; ++n) {
            RGPORTIO[n]->setItemIndex(bitOf(a[32], n));
            RGPORTDefault[n]->setItemIndex(bitOf(a[33], n));
        }
    }
    if (words.contains(20)) {
        const uint8_t m6 = a[39];
        RGMemSW60->setItemIndex(bitOf(m6, 0));
        EdSelAntena->setValue((m6 >> 1) & 7);
        RGMemSW64->setItemIndex(bitOf(m6, 4));
        RGMemSW65->setItemIndex(bitOf(m6, 5));
        RGMemSW66->setItemIndex(bitOf(m6, 6));
        RGMemSW67->setItemIndex(bitOf(m6, 7));
    }
}

void TSetAnt1Rom1Dlg::TakeWords(ParamArea1 &a) const
{
    const QVector<int> words = AntennaUseWords(use_);
    if (words.contains(4) && CBMode2->currentIndex() >= 0)
        a[6] = uint8_t((a[6] & ~3) | (CBMode2->currentIndex() & 3));
    if (words.contains(16)) {
        takeBit(RGPORTSEL1, a[30], 0);
        takeBit(RGPORTSEL2, a[30], 1);
        takeBit(RGPORTSEL3, a[30], 2);
        takeBit(RGPORTSEL7, a[30], 6);
    }
    if (words.contains(17)) {
        for (int n = 0; n < 8; ++n) {
            takeBit(RGPORTIO[n], a[32], n);
            takeBit(RGPORTDefault[n], a[33], n);
        }
    }
    if (words.contains(20)) {
        uint8_t m6 = a[39];
        takeBit(RGMemSW60, m6, 0);
        m6 = uint8_t((m6 & ~0x0E) | ((EdSelAntena->value() & 7) << 1));
        takeBit(RGMemSW64, m6, 4);
        takeBit(RGMemSW65, m6, 5);
        takeBit(RGMemSW66, m6, 6);
        takeBit(RGMemSW67, m6, 7);
        a[39] = m6;
    }
}

} // namespace kx9
