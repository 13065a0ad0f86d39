#include "config/eeprom2_dialog.h"

#include "config/mode_logic.h"
#include "config/param_widgets.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kx9 {

namespace {

QGridLayout *pageGrid(QWidget *page)
{
    auto *outer = new QVBoxLayout(page);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch(1);
    return grid;
}

const QStringList kBit{QStringLiteral("0"), QStringLiteral("1")};

} // namespace

TSetEEPROM2Dlg::TSetEEPROM2Dlg(const ParamDialogContext &ctx, QWidget *parent) : ParamDialogBase(ctx, parent)
{
    setObjectName(QStringLiteral("TSetEEPROM2Dlg"));
    setWindowTitle(QStringLiteral("Ｒ／ＷのEEPROM2の設定"));
    auto *top = new QVBoxLayout(this);
    top->addWidget(PageControl1, 1);

    {
        QWidget *page = addPage(QStringLiteral("切り替え基板カスケード接続"));
        QGridLayout *grid = pageGrid(page);
        grid->addWidget(new QLabel(QStringLiteral("使用するアンテナ数（0-8[0:未使用時]）"), page), 0, 0, 1, 3);
        grid->addWidget(new QLabel(QStringLiteral("アンテナ出力"), page), 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("１段目"), page), 2, 0);
        for (int i = 1; i <= 8; ++i) {
            if (i == 5)
                grid->addWidget(new QLabel(QStringLiteral("２段目"), page), 7, 0);
            const int row = i <= 4 ? 2 + i : 3 + i;
            addNumber(grid, row, QStringLiteral("EdANT%1_SELNUM").arg(i),
                      QStringLiteral("アンテナ") + QChar(0xFF10 + i) + QStringLiteral("出力"), 0, 8);
        }
        addNumber(grid, 12, QStringLiteral("EdChgWaitTime"), QStringLiteral("切り替え後のウエイト時間"), 0, 8, 10,
                  QStringLiteral("ms"));
    }
    {
        QWidget *page = addPage(QStringLiteral("RFLOOPモード"));
        QGridLayout *grid = pageGrid(page);
        addNumber(grid, 0, QStringLiteral("EdRdStAddr"), QStringLiteral("読み出しスタートブロック（0-255）"), 0, 255);
        addNumber(grid, 1, QStringLiteral("EdDataLen"), QStringLiteral("読み出しデータ長（0-255)"), 0, 255);
    }
    {
        QWidget *page = addPage(QStringLiteral("MemSw7"));
        auto *outer = new QVBoxLayout(page);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        QList<QWidget *> bits;
        bits << addGroup(QStringLiteral("RGMemSW70"), QStringLiteral("Inventoryコマンド時、EOF発行"),
                         {QStringLiteral("しない"), QStringLiteral("する")});
        bits << addGroup(QStringLiteral("RGMemSW71"), QStringLiteral("ブザー周波数の設定"),
                         {QStringLiteral("5KHz固定"), QStringLiteral("設定周波数")});
        for (int b = 2; b < 8; ++b)
            bits << addGroup(QStringLiteral("RGMemSW7%1").arg(b), QStringLiteral("bit%1").arg(b), kBit);
        for (int i = 0; i < bits.size(); ++i)
            grid->addWidget(bits[i], i / 4, i % 4);
        auto *freq = new QGridLayout;
        outer->addLayout(freq);
        outer->addStretch(1);
        addNumber(freq, 0, QStringLiteral("EdBuzFreq"), QStringLiteral("ブザー周波数"), 0, 65535, 10,
                  QStringLiteral("1000000／100*8*2*設定値　KHZ"));
        freq->setColumnStretch(3, 1);
    }
    {
        QWidget *page = addPage(QStringLiteral("MemSw8"));
        QGridLayout *grid = pageGrid(page);
        for (int b = 0; b < 8; ++b)
            grid->addWidget(addGroup(QStringLiteral("RGMemSW8%1").arg(b), QStringLiteral("bit%1").arg(b), kBit), b / 4,
                            b % 4);
    }
    {
        QWidget *page = addPage(QStringLiteral("その他"));
        QGridLayout *grid = pageGrid(page);
        // Word 5 has a box on the form but no place in the record.
        IntEdit *mem5 = addNumber(grid, 0, QStringLiteral("EdMem5"), QStringLiteral("アドレス５"), 0, 65535, 16);
        controls_.remove(QStringLiteral("EdMem5"));
        ranges_.remove(QStringLiteral("EdMem5"));
        mem5->setEnabled(false);
        addNumber(grid, 1, QStringLiteral("EdMem6"), QStringLiteral("アドレス６"), 0, 65535, 16);
        addNumber(grid, 2, QStringLiteral("EdMem7"), QStringLiteral("アドレス７"), 0, 65535, 16);
        addNumber(grid, 3, QStringLiteral("EdMem8"), QStringLiteral("アドレス８"), 0, 65535, 16);
    }
    {
        QWidget *page = addPage(QStringLiteral("検査モード"));
        QGridLayout *grid = pageGrid(page);
        grid->addWidget(addGroup(QStringLiteral("RGCheckMode"), QStringLiteral("Check Mode"),
                                 {QStringLiteral("Inventory"), QStringLiteral("Read"), QStringLiteral("Write"),
                                  QStringLiteral("Write/Read")},
                                 1),
                        0, 0, 2, 1);
        grid->addWidget(addGroup(QStringLiteral("RGWriteData"), QStringLiteral("Write Data"),
                                 {QStringLiteral("AFIValue"), QStringLiteral("0xCC, 0x55")}, 1),
                        0, 1);
        auto *bits = new QGridLayout;
        for (int b = 3; b < 8; ++b)
            bits->addWidget(addGroup(QStringLiteral("RBKensa1_bit%1").arg(b), QStringLiteral("bit%1").arg(b), kBit), 0,
                            b - 3);
        grid->addLayout(bits, 2, 0, 1, 2);
        auto *kensa = new QGridLayout;
        grid->addLayout(kensa, 3, 0, 1, 2);
        addNumber(kensa, 0, QStringLiteral("IntEdit1"), QStringLiteral("MemSwKensa2"), 0, 0xFFFF, 16);
        kensa->setColumnStretch(3, 1);
    }

    // The dialog's own two buttons ("OK", "キャンセル").
    QHBoxLayout *row = OkCancelRow(this, BtOK, BtCancel, QStringLiteral("OK"), QStringLiteral("キャンセル"), false);
    connect(BtOK, &QPushButton::clicked, this, [this] {
        for (IntEdit *e : findChildren<IntEdit *>())
            e->setValue(e->value());
        done(kModalOk);
    });
    connect(BtCancel, &QPushButton::clicked, this, &ParamDialogBase::reject);
    top->addLayout(row);
}

void TSetEEPROM2Dlg::ShowArea2(const ParamArea2 &asRead)
{
    byte0_ = asRead[0];
    setValues(Eeprom2Values(asRead));
}

ParamArea2 TSetEEPROM2Dlg::TakeArea2() const
{
    return BuildEeprom2Area(values(), byte0_);
}

} // namespace kx9
