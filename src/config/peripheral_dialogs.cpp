#include "config/peripheral_dialogs.h"

#include "config/param_widgets.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>

namespace kx9 {

namespace {

QHBoxLayout *buttonRow(QPushButton *ok, QPushButton *cancel)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace

TLEDContDlg::TLEDContDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TLEDContDlg"));
    setWindowTitle(QStringLiteral("LED制御"));
    auto *top = new QVBoxLayout(this);
    RadioGroup1 = new ParamRadioGroup(QStringLiteral("LEDの選択"), {QStringLiteral("緑"), QStringLiteral("赤")}, 0, this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    top->addWidget(RadioGroup1);
    auto *grid = new QGridLayout;
    top->addLayout(grid);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({QStringLiteral("指定時間ON/OFF"), QStringLiteral("点滅"), QStringLiteral("常時ON/OFF")});
    auto *modeLabel = new QLabel(QStringLiteral("動作モード"), this);
    modeLabel->setBuddy(ComboBox1);
    grid->addWidget(modeLabel, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    EdTime = new IntEdit(this);
    EdTime->setObjectName(QStringLiteral("EdTime"));
    // The box has no limit of its own: the command takes the low 8 bits.
    EdTime->setRange(0, INT_MAX);
    auto *timeLabel = new QLabel(QStringLiteral("点灯時間／ON/OFF"), this);
    timeLabel->setBuddy(EdTime);
    grid->addWidget(timeLabel, 1, 0);
    grid->addWidget(EdTime, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("（時間：*50ms、ON->1,OFF->0）"), this), 2, 0, 1, 2);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    top->addLayout(buttonRow(OKBtn, CancelBtn));
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(CancelBtn, &QPushButton::clicked, this, &TLEDContDlg::reject);

    RadioGroup1->setItemIndex(0);
    ComboBox1->setCurrentIndex(0);
    EdTime->setValue(5);
}

void TLEDContDlg::reject() { done(kModalCancel); }
int TLEDContDlg::led() const { return RadioGroup1->itemIndex() == 1 ? 1 : 0; }
int TLEDContDlg::controlMode() const { return ComboBox1->currentIndex() < 0 ? 0 : ComboBox1->currentIndex(); }
int TLEDContDlg::time() const { return EdTime->value(); }

TRYSelDlg::TRYSelDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TRYSelDlg"));
    setWindowTitle(QStringLiteral("アンテナの選択"));
    auto *top = new QVBoxLayout(this);
    QStringList items;
    for (int i = 1; i <= 8; ++i)
        items << QStringLiteral("アンテナ") + QChar(0xFF10 + i);
    RadioGroup1 = new ParamRadioGroup(QStringLiteral("アンテナの選択"), items, 2, this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    top->addWidget(RadioGroup1);
    OKBtn = new QPushButton(QStringLiteral("設定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    top->addLayout(buttonRow(OKBtn, CancelBtn));
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(CancelBtn, &QPushButton::clicked, this, &TRYSelDlg::reject);
    RadioGroup1->setItemIndex(0);
}

void TRYSelDlg::reject() { done(kModalCancel); }
int TRYSelDlg::antenna() const { return RadioGroup1->itemIndex() < 0 ? 0 : RadioGroup1->itemIndex(); }
void TRYSelDlg::setAntenna(int index) { RadioGroup1->setItemIndex(index); }

} // namespace kx9
