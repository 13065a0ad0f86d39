#include "runner/loop_dialogs.h"

#include "runner/runner_widgets.h"
#include "ui/int_edit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kx9 {

namespace {

struct BitRow {
    const char *label;
    const char *item0;
    const char *item1;
};

IntEdit *number(QWidget *parent, const char *name, int radix, int lo, int hi)
{
    auto *e = new IntEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setRadix(radix);
    e->setRange(lo, hi);
    return e;
}

QLabel *label(QWidget *parent, const QString &text, QWidget *buddy = nullptr)
{
    auto *l = new QLabel(text, parent);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

// The eight bit groups of a mode byte, two to a row.
QGroupBox *bitGroups(QWidget *parent, const QString &title, const BitRow (&rows)[8], QList<ChoiceGroup *> &out)
{
    auto *box = new QGroupBox(title, parent);
    auto *g = new QGridLayout(box);
    for (int i = 0; i < 8; ++i) {
        auto *rg = new ChoiceGroup(QStringLiteral("RGMemSW%1").arg(i), QString::fromUtf8(rows[i].label),
                                  {QString::fromUtf8(rows[i].item0), QString::fromUtf8(rows[i].item1)}, 2, box);
        rg->setItemIndex(0);
        g->addWidget(rg, i / 2, i % 2);
        out << rg;
    }
    return box;
}

QCheckBox *useAfi(QWidget *parent)
{
    auto *c = new QCheckBox(QStringLiteral("AFIを指定する"), parent);
    c->setObjectName(QStringLiteral("CBUseAFI"));
    return c;
}

constexpr BitRow kReadLoopBits[8] = {
    {"連続／データ受信後コマンドモードへ移行", "連続", "移行"},
    {"受信データが無いときのレスポンス", "返さない", "返す"},
    {"ビット２", "0", "1"},
    {"ビット３", "0", "1"},
    {"ビット４", "0", "1"},
    {"データを受信時の緑LED制御", "しない", "する"},
    {"データを受信していない時の、赤LED制御", "しない", "する"},
    {"データ受信時のブザー制御", "しない", "する"},
};

constexpr BitRow kInv16Bits[8] = {
    {"連続／UID受信後コマンドモードへ移行", "連続", "移行"},
    {"受信データが無いときのレスポンス", "返さない", "返す"},
    {"コリジョンデータのみの受信時のレスポンス", "返す", "返さない"},
    {"StayQuietの発行", "しない", "する"},
    {"ビット４", "0", "1"},
    {"データを受信時の緑LED制御", "しない", "する"},
    {"データを受信していない時の、赤LED制御", "しない", "する"},
    {"データ受信時のブザー制御", "しない", "する"},
};

constexpr BitRow kRdLoopPolBits[8] = {
    {"アンテナIDを返す", "返さない", "返す"},
    {"タイムオーバー時、データを返す", "返す", "返さない"},
    {"読み取り毎にデータを返す", "返さない", "返す"},
    {"ビット３", "0", "1"},
    {"ビット４", "0", "1"},
    {"ビット５", "0", "1"},
    {"ビット６", "0", "1"},
    {"ビット７", "0", "1"},
};

} // namespace

TRFLoopDlg::TRFLoopDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TRFLoopDlg"));
    setWindowTitle(QStringLiteral("Read Loop コマンド"));
    auto *lay = new QVBoxLayout(this);
    auto *g = new QGridLayout;
    EdBlockNum = number(this, "EdBlockNum", 10, 0, 255);
    EdLen = number(this, "EdLen", 10, 0, 255);
    EdAFI = number(this, "EdAFI", 16, 0, 255);
    g->addWidget(label(this, QStringLiteral("読み出し開始ブロック"), EdBlockNum), 0, 0);
    g->addWidget(EdBlockNum, 0, 1);
    g->addWidget(label(this, QStringLiteral("読み出しデータ長"), EdLen), 1, 0);
    g->addWidget(EdLen, 1, 1);
    LbAFI = label(this, QStringLiteral("AFI値(Hex)"), EdAFI);
    LbAFI->setObjectName(QStringLiteral("LbAFI"));
    LbAFI->hide();   // the check box beside the field says what it is
    CBUseAFI = useAfi(this);
    g->addWidget(LbAFI, 2, 0);
    g->addWidget(CBUseAFI, 2, 0);
    g->addWidget(EdAFI, 2, 1);
    lay->addLayout(g);
    lay->addWidget(bitGroups(this, QStringLiteral("モード指定"), kReadLoopBits, RGMemSW));
    lay->addWidget(buttonRow());
}

TInv16SDlg::TInv16SDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TInv16SDlg"));
    setWindowTitle(QStringLiteral("Inventory16Slotsコマンド"));
    auto *lay = new QVBoxLayout(this);
    auto *g = new QGridLayout;
    EdAFI = number(this, "EdAFI", 16, 0, 255);
    g->addWidget(label(this, QStringLiteral("AFI値(Hex)"), EdAFI), 0, 0);
    g->addWidget(EdAFI, 0, 1);
    CBUseAFI = useAfi(this);
    g->addWidget(CBUseAFI, 0, 2);
    lay->addLayout(g);
    MaskPanel = new QWidget(this);
    MaskPanel->setObjectName(QStringLiteral("MaskPanel"));
    auto *mg = new QGridLayout(MaskPanel);
    mg->setContentsMargins(0, 0, 0, 0);
    EdMasklen = number(MaskPanel, "EdMasklen", 10, 0, 64);
    mg->addWidget(label(MaskPanel, QStringLiteral("マスク長"), EdMasklen), 0, 0);
    mg->addWidget(EdMasklen, 0, 1);
    mg->addWidget(label(MaskPanel, QStringLiteral("上位バイト(Hex)")), 1, 0);
    mg->addWidget(label(MaskPanel, QStringLiteral("下位バイト")), 1, 9);
    for (int i = 0; i < 8; ++i) {
        IntEdit *e = number(MaskPanel, "", 16, 0, 255);
        e->setObjectName(QStringLiteral("IntEdit%1").arg(i + 1));
        e->setMaximumWidth(40);
        mg->addWidget(e, 1, 1 + i);
        IntEdit1to8 << e;
    }
    lay->addWidget(MaskPanel);
    lay->addWidget(bitGroups(this, QStringLiteral("モード指定"), kInv16Bits, RGMemSW));
    lay->addWidget(buttonRow());
}

TRDLoopPol1Dlg::TRDLoopPol1Dlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TRDLoopPol1Dlg"));
    setWindowTitle(QStringLiteral("RDLoopPolコマンド"));
    auto *lay = new QVBoxLayout(this);
    auto *g = new QGridLayout;
    EdBlockNum = number(this, "EdBlockNum", 10, 0, 255);
    EdLen = number(this, "EdLen", 10, 0, 255);
    EdAFI = number(this, "EdAFI", 16, 0, 255);
    EdTime = number(this, "EdTime", 10, 0, 65535);
    g->addWidget(label(this, QStringLiteral("読み出し開始ブロック"), EdBlockNum), 0, 0);
    g->addWidget(EdBlockNum, 0, 1);
    g->addWidget(label(this, QStringLiteral("読み出しデータ長"), EdLen), 1, 0);
    g->addWidget(EdLen, 1, 1);
    g->addWidget(label(this, QStringLiteral("AFI値(Hex)"), EdAFI), 2, 0);
    g->addWidget(EdAFI, 2, 1);
    CBUseAFI = useAfi(this);
    g->addWidget(CBUseAFI, 2, 2);
    g->addWidget(label(this, QStringLiteral("ポーリング時間"), EdTime), 3, 0);
    g->addWidget(EdTime, 3, 1);
    g->addWidget(label(this, QStringLiteral("×　10ms")), 3, 2);
    lay->addLayout(g);
    lay->addWidget(bitGroups(this, QStringLiteral("パラメータ"), kRdLoopPolBits, RGMemSW));
    lay->addWidget(buttonRow());
}

TCmdOutpDlg::TCmdOutpDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TCmdOutpDlg"));
    setWindowTitle(QStringLiteral("コマンド発行"));
    auto *lay = new QVBoxLayout(this);
    Label1 = label(this, QStringLiteral("コマンド列（例：02 00 78 02 01 40 03 C0 0D）"));
    Label1->setObjectName(QStringLiteral("Label1"));
    lay->addWidget(Label1);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(360);
    lay->addWidget(Edit1);
    lay->addWidget(buttonRow());
}

TKensaParaDlg::TKensaParaDlg(QWidget *parent) : InputDialogBase(parent)
{
    setObjectName(QStringLiteral("TKensaParaDlg"));
    setWindowTitle(QStringLiteral("検査パラメータの設定"));
    OKBtn->setText(QStringLiteral("設定"));
    auto *lay = new QVBoxLayout(this);
    auto *g = new QGridLayout;
    EdAFIValue = number(this, "EdAFIValue", 16, 0, 255);
    EdOUTPTime = number(this, "EdOUTPTime", 10, 1, 255);
    EdInputChkTime = number(this, "EdInputChkTime", 10, 0, 255);
    EdRdStAddr = number(this, "EdRdStAddr", 10, 0, 255);
    EdDataLen = number(this, "EdDataLen", 10, 0, 255);
    g->addWidget(label(this, QStringLiteral("ライトデータ（AFI値を使用）："), EdAFIValue), 0, 0);
    g->addWidget(EdAFIValue, 0, 1);
    // The label has a buddy, so "&&" shows as one ampersand.
    g->addWidget(label(this, QStringLiteral("LED&&ポート出力時間："), EdOUTPTime), 1, 0);
    g->addWidget(EdOUTPTime, 1, 1);
    g->addWidget(label(this, QStringLiteral("× 50ms")), 1, 2);
    g->addWidget(label(this, QStringLiteral("入力信号チェック時間："), EdInputChkTime), 2, 0);
    g->addWidget(EdInputChkTime, 2, 1);
    g->addWidget(label(this, QStringLiteral("× 10ms")), 2, 2);
    g->addWidget(label(this, QStringLiteral("読み出しスタートブロック（0-255）"), EdRdStAddr), 3, 0);
    g->addWidget(EdRdStAddr, 3, 1);
    g->addWidget(label(this, QStringLiteral("読み出しブロック長（0-255)[0で1Block]"), EdDataLen), 4, 0);
    g->addWidget(EdDataLen, 4, 1);
    lay->addLayout(g);
    RGCheckMode = new ChoiceGroup(QStringLiteral("RGCheckMode"), QStringLiteral("Check Mode"),
                                 {QStringLiteral("Inventory"), QStringLiteral("Read"), QStringLiteral("Write"),
                                  QStringLiteral("Write/Read")},
                                 4, this);
    RGWriteData = new ChoiceGroup(QStringLiteral("RGWriteData"), QStringLiteral("ライトデータ"),
                                 {QStringLiteral("AFI値を使用"), QStringLiteral("0xAA, 0x55を使用")}, 2, this);
    lay->addWidget(RGCheckMode);
    lay->addWidget(RGWriteData);
    lay->addWidget(buttonRow());
}

TRDLoopParamDlg::TRDLoopParamDlg(QWidget *parent) : InputDialogBase(parent)
{
    // Named as the second-EEPROM dialog whose one page it shows.
    setObjectName(QStringLiteral("TSetEEPROM2Dlg"));
    auto *lay = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto *page = new QWidget(PageControl1);
    auto *g = new QGridLayout(page);
    EdRdStAddr = number(page, "EdRdStAddr", 10, 0, 255);
    EdDataLen = number(page, "EdDataLen", 10, 0, 255);
    g->addWidget(label(page, QStringLiteral("読み出しスタートブロック（0-255）"), EdRdStAddr), 0, 0);
    g->addWidget(EdRdStAddr, 0, 1);
    g->addWidget(label(page, QStringLiteral("読み出しデータ長（0-255)"), EdDataLen), 1, 0);
    g->addWidget(EdDataLen, 1, 1);
    g->setRowStretch(2, 1);
    PageControl1->addTab(page, QStringLiteral("RFLOOPモード"));
    lay->addWidget(PageControl1);
    lay->addWidget(buttonRow());
}

} // namespace kx9
