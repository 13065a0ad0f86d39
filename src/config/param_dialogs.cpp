#include "config/param_dialogs.h"

#include "config/param_widgets.h"
#include "link/options.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kx9 {

namespace {

const QStringList kZeroOne{QStringLiteral("０"), QStringLiteral("１")};

// A page laid out as a grid of radio groups, two to a row.
QGridLayout *groupGrid(QWidget *page)
{
    auto *outer = new QVBoxLayout(page);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch(1);
    return grid;
}

void placeGroups(QGridLayout *grid, const QList<QWidget *> &groups, int perRow = 2)
{
    for (int i = 0; i < groups.size(); ++i)
        grid->addWidget(groups[i], i / perRow, i % perRow);
}

} // namespace

// ---------------------------------------------------------------- shared parts

ParamDialogBase::ParamDialogBase(const ParamDialogContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx)
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
}

void ParamDialogBase::reject() { done(kModalCancel); }

QWidget *ParamDialogBase::addPage(const QString &title)
{
    auto *page = new QWidget(PageControl1);
    page->setObjectName(QStringLiteral("TabSheet%1").arg(PageControl1->count() + 1));
    PageControl1->addTab(page, title);
    return page;
}

IntEdit *ParamDialogBase::addNumber(QGridLayout *grid, int row, const QString &name, const QString &caption, int lo,
                                    int hi, int radix, const QString &hint)
{
    QWidget *page = grid->parentWidget();
    auto *edit = new IntEdit(page);
    edit->setObjectName(name);
    edit->setRadix(radix);
    edit->setRange(lo, hi);
    edit->setValue(lo);
    auto *label = new QLabel(caption, page);
    label->setBuddy(edit);   // with a buddy "&&" shows as one "&"
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    if (!hint.isEmpty())
        grid->addWidget(new QLabel(hint, page), row, 2);
    controls_.insert(name, edit);
    ranges_.insert(name, {lo, hi});
    return edit;
}

ParamRadioGroup *ParamDialogBase::addGroup(const QString &name, const QString &title, const QStringList &items,
                                           int columns)
{
    auto *g = new ParamRadioGroup(title, items, columns, this);
    g->setObjectName(name);
    controls_.insert(name, g);
    return g;
}

QComboBox *ParamDialogBase::addList(const QString &name, const QStringList &items)
{
    auto *c = new QComboBox(this);
    c->setObjectName(name);
    c->addItems(items);
    controls_.insert(name, c);
    return c;
}

void ParamDialogBase::addButtons(const QList<QPushButton *> &before)
{
    QHBoxLayout *row = OkCancelRow(this, BtOK, BtCancel, QStringLiteral("書き込み(&O)"),
                                   QStringLiteral("キャンセル(&C)"), false, before);
    connect(BtOK, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(BtCancel, &QPushButton::clicked, this, &ParamDialogBase::reject);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
}

ParamValues ParamDialogBase::values() const
{
    ParamValues v;
    for (auto it = controls_.constBegin(); it != controls_.constEnd(); ++it) {
        if (auto *e = qobject_cast<IntEdit *>(it.value()))
            v.insert(it.key(), e->value());
        else if (auto *g = qobject_cast<ParamRadioGroup *>(it.value()))
            v.insert(it.key(), g->itemIndex());
        else if (auto *c = qobject_cast<QComboBox *>(it.value()))
            v.insert(it.key(), c->currentIndex());
    }
    return v;
}

void ParamDialogBase::setValues(const ParamValues &v)
{
    for (auto it = v.constBegin(); it != v.constEnd(); ++it) {
        QWidget *w = controls_.value(it.key());
        if (auto *e = qobject_cast<IntEdit *>(w)) {
            const QPair<int, int> r = ranges_.value(it.key());
            e->setRange(std::min(r.first, it.value()), std::max(r.second, it.value()));
            e->setValue(it.value());
            e->setModified(false);
        } else if (auto *g = qobject_cast<ParamRadioGroup *>(w)) {
            g->setItemIndex(it.value());
        } else if (auto *c = qobject_cast<QComboBox *>(w)) {
            c->setCurrentIndex(it.value() < c->count() ? it.value() : -1);
        }
    }
}

void ParamDialogBase::buildCodesPage(bool reduced)
{
    QWidget *page = addPage(QStringLiteral("各コードの設定"));
    auto *outer = new QVBoxLayout(page);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch(1);
    int row = 0;
    const QString t32 = QStringLiteral("× 3.2 usec");
    addNumber(grid, row++, QStringLiteral("EdUserCode"), QStringLiteral("ユーザーコード　　　 ："), 0, 65535, 10,
              QStringLiteral("（0 - 65535）"));
    addNumber(grid, row++, QStringLiteral("EdProdCode"), QStringLiteral("製品コード　　　 　　　："), 0, 255, 10,
              QStringLiteral("（0 - 255）"));
    addNumber(grid, row++, QStringLiteral("EdTagId"), QStringLiteral("タグＩＤ　　　　　 　 　　："), 0, 255, 10,
              QStringLiteral("（0 - 15）"));
    if (!reduced)
        addNumber(grid, row++, QStringLiteral("EdRWID"), QStringLiteral("R/W ＩＤ　　　　 　 　　："), 0, 255);
    addNumber(grid, row++, QStringLiteral("EdChkDataNum"), QStringLiteral("チェックするデータ数："), 1, 255);
    addNumber(grid, row++, QStringLiteral("EdOUTPTime"), QStringLiteral("LED&&ポート出力時間："), 1, 255, 10,
              QStringLiteral("× 50ms"));
    addNumber(grid, row++, QStringLiteral("EdInputChkTime"), QStringLiteral("入力信号チェック時間："), 1, 255, 10,
              QStringLiteral("× 10ms"));
    addNumber(grid, row++, QStringLiteral("EdRetry"), QStringLiteral("リトライ回数："), 0, 255);
    if (reduced)
        return;
    addNumber(grid, row++, QStringLiteral("EdAFIValue"), QStringLiteral("AFI値："), 0, 255, 16, QStringLiteral("(Hex)"));
    addNumber(grid, row++, QStringLiteral("EdTimer1"), QStringLiteral("ライト時のＡＣＫ待ち時間："), 0, 1000000, 10, t32);
    addNumber(grid, row++, QStringLiteral("EdTimer2"), QStringLiteral("リード間隔時間："), 0, 1000000, 10, t32);
    addNumber(grid, row++, QStringLiteral("EdTimer3"), QStringLiteral("ライト時のﾍﾞﾘﾌｧｲﾃﾞｰﾀ待ち時間："), 0, 1000000, 10,
              t32);
    addNumber(grid, row++, QStringLiteral("EdTXOffTime1"), QStringLiteral("TX OFF時間："), 0, 255, 10,
              QStringLiteral("× 100 usec"));
    addNumber(grid, row++, QStringLiteral("EdTimRegData"), QStringLiteral("タイミングレジスタ値："), 0, 255, 16,
              QStringLiteral("Hex"));
    addNumber(grid, row++, QStringLiteral("EdBlockSize"), QStringLiteral("ブロックサイズ："), 0, 255);
    addNumber(grid, row++, QStringLiteral("EdmydBlockSize"), QStringLiteral("my-dブロックサイズ："), 0, 255);
    addNumber(grid, row++, QStringLiteral("EdChkDataTime"), QStringLiteral("タイマー（未使用）："), 0, 255, 10,
              QStringLiteral("× 200 msec"));
}

void ParamDialogBase::buildSwitch1Page()
{
    QWidget *page = addPage(QStringLiteral("メモリスイッチ１"));
    auto *outer = new QVBoxLayout(page);
    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(new QLabel(QStringLiteral("出力モード（ロングレンジ）"), page));
    modeRow->addWidget(addList(QStringLiteral("CBMode2"), {QStringLiteral("TX1"), QStringLiteral("TX2"),
                                                            QStringLiteral("TX1/TX2"), QStringLiteral("TX1+TX2")}));
    modeRow->addStretch(1);
    outer->addLayout(modeRow);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch(1);
    auto *carrier = new QWidget(page);
    auto *carrierBox = new QVBoxLayout(carrier);
    carrierBox->setContentsMargins(0, 0, 0, 0);
    carrierBox->addWidget(addGroup(QStringLiteral("RG5VCONT"), QStringLiteral("送信キャリアのON/OFF制御"),
                                   {QStringLiteral("行わない"), QStringLiteral("行う")}));
    carrierBox->addWidget(new QLabel(QStringLiteral("（トリガー、ポーリングモード時）"), carrier));
    ParamRadioGroup *ascii = addGroup(QStringLiteral("RGDCMDASCII"), QStringLiteral("'D'コマンド、アスキーフォーマット"),
                                      {QStringLiteral("未対応"), QStringLiteral("対応")});
    ascii->setEnabled(false);
    placeGroups(grid, {carrier,
                       addGroup(QStringLiteral("RGRF5VOFF_ST"), QStringLiteral("パワーダウンモード"),
                                {QStringLiteral("ＯＦＦ"), QStringLiteral("ＯＮ")}),
                       addGroup(QStringLiteral("RGBRCOMD"), QStringLiteral("ノーリードコマンド"),
                                {QStringLiteral("未使用"), QStringLiteral("使用")}),
                       addGroup(QStringLiteral("RGCHKDATANUM"), QStringLiteral("タグのデータ数チェック"),
                                {QStringLiteral("しない"), QStringLiteral("する")}),
                       ascii,
                       addGroup(QStringLiteral("RGTWICECHK"), QStringLiteral("システム予約（０固定）"),
                                {QStringLiteral("しない"), QStringLiteral("する")})});
}

void ParamDialogBase::buildSwitch2Page()
{
    QWidget *page = addPage(QStringLiteral("メモリスイッチ２"));
    const QStringList noYes{QStringLiteral("しない"), QStringLiteral("する")};
    ParamRadioGroup *slot = addGroup(QStringLiteral("RGMemSw14"), QStringLiteral("スロット切り替え時間（i-code2対応）"),
                                     {QStringLiteral("固定"), QStringLiteral("指定時間")});
    slot->setEnabled(false);
    placeGroups(groupGrid(page),
                {addGroup(QStringLiteral("RGD_NOCHK"), QStringLiteral("データのフォーマットチェック"),
                          {QStringLiteral("する"), QStringLiteral("しない")}),
                 addGroup(QStringLiteral("RGMemSw9"), QStringLiteral("書込コマンドのｲﾝﾍﾞﾝﾄﾘ時のＡＦＩのチェック"), noYes),
                 addGroup(QStringLiteral("RGMemSw10"), QStringLiteral("書込コマンド時オプションフラグを０とする"),
                          {QStringLiteral("ｵﾌﾟｼｮﾝ１"), QStringLiteral("ｵﾌﾟｼｮﾝ０")}),
                 addGroup(QStringLiteral("RGMemSw11"), QStringLiteral("書込コマンド時のUIDの使用"), noYes),
                 addGroup(QStringLiteral("RGMemSw12"), QStringLiteral("書き込み後のべリファイ（ACK未受信時）"), noYes),
                 addGroup(QStringLiteral("RGMemSw13"), QStringLiteral("タグの自動識別"), noYes), slot,
                 addGroup(QStringLiteral("RGMemSw15"), QStringLiteral("パワーダウンモード時のモード"),
                          {QStringLiteral("WAIT"), QStringLiteral("STOP")})});
}

void ParamDialogBase::buildSwitch3Page()
{
    QWidget *page = addPage(QStringLiteral("メモリースイッチ３"));
    const QStringList noYes{QStringLiteral("しない"), QStringLiteral("する")};
    placeGroups(groupGrid(page),
                {addGroup(QStringLiteral("RGMemSW40"), QStringLiteral("ＩＯ３の機能選択"),
                          {QStringLiteral("RS485制御"), QStringLiteral("エラー出力")}),
                 addGroup(QStringLiteral("RGMemSW41"), QStringLiteral("Tag-it HF-I 2BlockWrite使用"),
                          {QStringLiteral("使用しない"), QStringLiteral("使用する")}),
                 addGroup(QStringLiteral("RGMemSW42"), QStringLiteral("インベントリコマンド間隔"),
                          {QStringLiteral("高速"), QStringLiteral("等間隔")}),
                 addGroup(QStringLiteral("RGMemSW43"), QStringLiteral("インベントリコマンド時のTXOFF"), noYes),
                 addGroup(QStringLiteral("RGMemSW44"), QStringLiteral("アンチコリジョン時のTXOFF"), noYes),
                 addGroup(QStringLiteral("RGMemSW45"), QStringLiteral("UIDを使用したCRCの計算"), noYes),
                 addGroup(QStringLiteral("RGMemSW46"), QStringLiteral("Timing Register"),
                          {QStringLiteral("設定しない"), QStringLiteral("設定する")}),
                 addGroup(QStringLiteral("RGMemSW47"), QStringLiteral("検波信号の出力"),
                          {QStringLiteral("ＯＦＦ"), QStringLiteral("出力する")})});
}

void ParamDialogBase::buildPortsPage()
{
    QWidget *page = addPage(QStringLiteral("Ｉ／Ｏポートの設定"));
    auto *outer = new QVBoxLayout(page);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("入／出力ポート"), page), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("デフォルト値"), page), 0, 3);
    static const char *const fixedUse[8] = {"LED", "トリガー", "RS485", nullptr, nullptr, nullptr, "ブザー", nullptr};
    for (int port = 1; port <= 8; ++port) {
        const int row = port;
        grid->addWidget(new QLabel(QStringLiteral("Ｉ／Ｏポート") + QChar(0xFF10 + port), page), row, 0);
        if (const char *use = fixedUse[port - 1])
            grid->addWidget(addGroup(QStringLiteral("RGPORTSEL%1").arg(port), QString(),
                                     {QString::fromUtf8(use), QStringLiteral("ポート")}),
                            row, 1);
        grid->addWidget(addGroup(QStringLiteral("RGPORTIO%1").arg(port), QString(),
                                 {QStringLiteral("入力"), QStringLiteral("出力")}),
                        row, 2);
        grid->addWidget(addGroup(QStringLiteral("RGPORTDefault%1").arg(port), QString(),
                                 {QStringLiteral("0"), QStringLiteral("1")}),
                        row, 3);
    }
}

void ParamDialogBase::buildSwitch5Page(bool reduced)
{
    QWidget *page = addPage(QStringLiteral("メモリースイッチ５"));
    const QStringList noYes{QStringLiteral("しない"), QStringLiteral("する")};
    const QStringList offOn{QStringLiteral("無効"), QStringLiteral("有効")};
    ParamRadioGroup *bit6 = reduced ? addGroup(QStringLiteral("RGMemSW56"), QStringLiteral("ビット６"), kZeroOne)
                                    : addGroup(QStringLiteral("RGMemSW56"), QStringLiteral("通信スピード 9600bps/38.4kbps"),
                                               {QStringLiteral("9600"), QStringLiteral("38.4")});
    placeGroups(groupGrid(page),
                {addGroup(QStringLiteral("RGMemSW50"), QStringLiteral("1BlockRead/Write時リトライする（P25）"), noYes),
                 addGroup(QStringLiteral("RGMemSW51"), QStringLiteral("スレッシュホールドの設定を行う for AM"), offOn),
                 addGroup(QStringLiteral("RGMemSW52"), QStringLiteral("アンチコリジョン時のデータ長０の処理"), offOn),
                 addGroup(QStringLiteral("RGMemSW53"), QStringLiteral("スロット切替EOF制御(P45,P55)"),
                          {QStringLiteral("10%/100%"), QStringLiteral("100%")}),
                 addGroup(QStringLiteral("RGMemSW54"), QStringLiteral("自励式ブザーの使用"), noYes),
                 addGroup(QStringLiteral("RGMemSW55"), QStringLiteral("インベントリ時のトリガー入力"), offOn), bit6,
                 addGroup(QStringLiteral("RGMemSW57"), QStringLiteral("ビット７"), kZeroOne)});
}

void ParamDialogBase::buildSwitch6Page()
{
    QWidget *page = addPage(QStringLiteral("メモリースイッチ６"));
    const QStringList offOn{QStringLiteral("無効"), QStringLiteral("有効")};
    auto *outer = new QVBoxLayout(page);
    auto *antenna = new QGridLayout;
    outer->addLayout(antenna);
    auto *grid = new QGridLayout;
    outer->addLayout(grid);
    outer->addStretch(1);
    // The number box sits on the page so its label lines up with it.
    addNumber(antenna, 0, QStringLiteral("EdSelAntena"), QStringLiteral("アンテナの選択："), 0, 7, 16);
    antenna->setColumnStretch(3, 1);
    placeGroups(grid, {addGroup(QStringLiteral("RGMemSW60"), QStringLiteral("外部アンテナの自動切り替え機能"), offOn),
                       addGroup(QStringLiteral("RGMemSW64"), QStringLiteral("自動切替のポートの選択(P45,P55)"),
                                {QStringLiteral("通常ポート"), QStringLiteral("拡張ポート")}),
                       addGroup(QStringLiteral("RGMemSW65"), QStringLiteral("カスケード接続"),
                                {QStringLiteral("しない"), QStringLiteral("する")}),
                       addGroup(QStringLiteral("RGMemSW66"), QStringLiteral("自動切り替え時のパワー制御"),
                                {QStringLiteral("行う"), QStringLiteral("行わない")}),
                       addGroup(QStringLiteral("RGMemSW67"), QStringLiteral("アンテナのIDを出力する（識別機能有効）"),
                                offOn)});
}

// ---------------------------------------------------------------- full dialog

TAllSetRom1Dlg::TAllSetRom1Dlg(const ParamDialogContext &ctx, QWidget *parent) : ParamDialogBase(ctx, parent)
{
    setObjectName(QStringLiteral("TAllSetRom1Dlg"));
    setWindowTitle(QStringLiteral("R/WのEEPROMの設定"));
    auto *top = new QVBoxLayout(this);
    auto *fileRow = new QHBoxLayout;
    EdFName = new QLineEdit(this);
    EdFName->setObjectName(QStringLiteral("EdFName"));
    auto *fileLabel = new QLabel(QStringLiteral("設定ファイル"), this);
    fileLabel->setBuddy(EdFName);
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(EdFName, 1);
    top->addLayout(fileRow);
    top->addWidget(PageControl1, 1);

    buildCodesPage(false);

    {
        QWidget *page = addPage(QStringLiteral("S6700制御モード"));
        auto *grid = groupGrid(page);
        ParamRadioGroup *tag = addGroup(QStringLiteral("RGTag"), QStringLiteral("タグの選択"),
                                        {QStringLiteral("Direct Mode"), QStringLiteral("ISO14443(A)"),
                                         QStringLiteral("ISO15693(1/4)"), QStringLiteral("Reserved"),
                                         QStringLiteral("Tag-it"), QStringLiteral("Reserved"),
                                         QStringLiteral("ISO15693(1/256)"), QStringLiteral("Configuration commnads")},
                                        1);
        grid->addWidget(tag, 0, 0, 3, 1);
        grid->addWidget(addGroup(QStringLiteral("RGModul"), QStringLiteral("Modulation Depth"),
                                 {QStringLiteral("10%"), QStringLiteral("100%")}),
                        0, 1);
        grid->addWidget(addGroup(QStringLiteral("RGAmFm"), QStringLiteral("AM/FSK"),
                                 {QStringLiteral("FSK"), QStringLiteral("AM")}),
                        1, 1);
        grid->addWidget(addGroup(QStringLiteral("RGSpeed"), QStringLiteral("Baurd rate"),
                                 {QStringLiteral("Low Baud rate"), QStringLiteral("High Baud rate")}),
                        2, 1);
    }

    {
        QWidget *page = addPage(QStringLiteral("動作モード"));
        auto *outer = new QVBoxLayout(page);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        QStringList modes;
        for (const ModeCodeItem &m : ModeCodes())
            modes << QString::fromUtf8(m.text);
        grid->addWidget(new QLabel(QStringLiteral("動作モード："), page), 0, 0);
        grid->addWidget(addList(QStringLiteral("ComboBox1"), modes), 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("ポート状態："), page), 1, 0);
        grid->addWidget(addGroup(QStringLiteral("RGAntiCol"), QStringLiteral("アンチコリジョン"),
                                 {QStringLiteral("単独読み取り"), QStringLiteral("複数同時読み取り")}),
                        1, 1);
        grid->addWidget(new QLabel(QStringLiteral("読み取りﾓｰﾄﾞ ："), page), 2, 0);
        grid->addWidget(addGroup(QStringLiteral("GbReadMode"), QStringLiteral("読み取りモード"),
                                 {QStringLiteral("シングル読み取り"), QStringLiteral("連続読み取り")}),
                        2, 1);
        grid->addWidget(addGroup(QStringLiteral("GbBuzzer"), QStringLiteral("ブザー"),
                                 {QStringLiteral("鳴らさない"), QStringLiteral("鳴らす")}),
                        3, 1);
        grid->addWidget(new QLabel(QStringLiteral("送信データﾞ ："), page), 4, 0);
        grid->addWidget(addGroup(QStringLiteral("RGTxData"), QStringLiteral("送信データ"),
                                 {QStringLiteral("ユーザーデータのみ"), QStringLiteral("ユーザーデータ＋ＵＩＤ")}),
                        4, 1);
        grid->addWidget(new QLabel(QStringLiteral("通信スピード："), page), 5, 0);
        grid->addWidget(addList(QStringLiteral("CBSpeed"), SpeedItems(true)), 5, 1);
    }

    buildSwitch1Page();
    buildSwitch2Page();
    buildSwitch3Page();
    buildPortsPage();
    buildSwitch5Page(false);
    buildSwitch6Page();

    {
        QWidget *page = addPage(QStringLiteral("ScanModeの設定"));
        auto *outer = new QVBoxLayout(page);
        auto *numbers = new QGridLayout;
        outer->addLayout(numbers);
        addNumber(numbers, 0, QStringLiteral("EdScanM_mode"), QStringLiteral("スキャンモード："), 0, 16, 16);
        numbers->setColumnStretch(3, 1);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        placeGroups(grid, {addGroup(QStringLiteral("RGEdScanM_bit4"), QStringLiteral("ビット４"), kZeroOne),
                           addGroup(QStringLiteral("RGEdScanM_bit5"), QStringLiteral("TX1, TX2 同時出力禁止"), kZeroOne),
                           addGroup(QStringLiteral("RGEdScanM_bit6"), QStringLiteral("1/4 禁止"), kZeroOne),
                           addGroup(QStringLiteral("RGEdScanM_bit7"), QStringLiteral("100%禁止　10%のみ"), kZeroOne)});
    }

    {
        QWidget *page = addPage(QStringLiteral("切替基板カスケード接続"));
        auto *outer = new QVBoxLayout(page);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        addNumber(grid, 0, QStringLiteral("EdChgWaitTime"), QStringLiteral("切り替え後のウエイト時間"), 0, 8, 10,
                  QStringLiteral("ms"));
        grid->addWidget(new QLabel(QStringLiteral("使用するアンテナ数（0-8[0:未使用時]）"), page), 1, 0, 1, 3);
        grid->addWidget(new QLabel(QStringLiteral("１段目"), page), 2, 0);
        for (int i = 1; i <= 8; ++i) {
            if (i == 5)
                grid->addWidget(new QLabel(QStringLiteral("２段目"), page), 7, 0);
            const int row = i <= 4 ? 2 + i : 3 + i;
            addNumber(grid, row, QStringLiteral("EdANT%1_SELNUM").arg(i),
                      QStringLiteral("アンテナ") + QChar(0xFF10 + i) + QStringLiteral("出力"), 0, 8);
        }
    }

    {
        QWidget *page = addPage(QStringLiteral("MemSw7"));
        auto *outer = new QVBoxLayout(page);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        QList<QWidget *> bits;
        for (int b = 0; b < 8; ++b)
            bits << addGroup(QStringLiteral("RGMemSW7%1").arg(b), QStringLiteral("bit%1").arg(b),
                             {QStringLiteral("0"), QStringLiteral("1")});
        placeGroups(grid, bits, 4);
        auto *freq = new QGridLayout;
        outer->addLayout(freq);
        outer->addStretch(1);
        addNumber(freq, 0, QStringLiteral("EdBuzFreq"), QStringLiteral("ブザー周波数"), 0, 65535, 10,
                  QStringLiteral("1000000／100*8*2*設定値　KHZ"));
        freq->setColumnStretch(3, 1);
    }

    {
        QWidget *page = addPage(QStringLiteral("MemSw8"));
        QList<QWidget *> bits;
        for (int b = 0; b < 8; ++b)
            bits << addGroup(QStringLiteral("RGMemSW8%1").arg(b), QStringLiteral("bit%1").arg(b),
                             {QStringLiteral("0"), QStringLiteral("1")});
        placeGroups(groupGrid(page), bits, 4);
    }

    {
        QWidget *page = addPage(QStringLiteral("RFLOOPモード"));
        auto *outer = new QVBoxLayout(page);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        addNumber(grid, 0, QStringLiteral("EdRdStAddr"), QStringLiteral("読み出しスタートブロック（0-255）"), 0, 255);
        addNumber(grid, 1, QStringLiteral("EdDataLen"), QStringLiteral("読み出しデータ長（0-255)"), 0, 255);
    }

    {
        QWidget *page = addPage(QStringLiteral("その他EEPROM2"));
        auto *outer = new QVBoxLayout(page);
        auto *grid = new QGridLayout;
        outer->addLayout(grid);
        outer->addStretch(1);
        // Words 5 and 9 have a box on the form but no place in the record:
        // they are kept out of the control table.
        auto loose = [&](int row, const QString &name, const QString &caption) {
            IntEdit *e = addNumber(grid, row, name, caption, 0, 65535, 16);
            controls_.remove(name);
            ranges_.remove(name);
            return e;
        };
        IntEdit *mem5 = loose(0, QStringLiteral("EdMem5"), QStringLiteral("アドレス５"));
        mem5->setVisible(false);
        if (auto *l = qobject_cast<QLabel *>(grid->itemAtPosition(0, 0)->widget()))
            l->setVisible(false);
        addNumber(grid, 1, QStringLiteral("EdMem6"), QStringLiteral("アドレス６"), 0, 65535, 16);
        addNumber(grid, 2, QStringLiteral("EdMem7"), QStringLiteral("アドレス７"), 0, 65535, 16);
        addNumber(grid, 3, QStringLiteral("EdMem8"), QStringLiteral("アドレス８"), 0, 65535, 16);
        loose(4, QStringLiteral("EdMem9"), QStringLiteral("アドレス９"))->setEnabled(false);
        addNumber(grid, 5, QStringLiteral("EdMem10"), QStringLiteral("アドレス１０"), 0, 65535, 16);
    }

    BtDefault = new QPushButton(QStringLiteral("デフォルト(&I)"), this);
    BtDefault->setObjectName(QStringLiteral("BtDefault"));
    BtLoad = new QPushButton(QStringLiteral("Load"), this);
    BtLoad->setObjectName(QStringLiteral("BtLoad"));
    BtSave = new QPushButton(QStringLiteral("Save"), this);
    BtSave->setObjectName(QStringLiteral("BtSave"));
    BtCheck1 = new QPushButton(QStringLiteral("&Check"), this);
    BtCheck1->setObjectName(QStringLiteral("BtCheck1"));
    addButtons({BtDefault, BtLoad, BtSave, BtCheck1});
    connect(BtDefault, &QPushButton::clicked, this, &TAllSetRom1Dlg::BtDefaultClick);
    connect(BtLoad, &QPushButton::clicked, this, &TAllSetRom1Dlg::BtLoadClick);
    connect(BtSave, &QPushButton::clicked, this, &TAllSetRom1Dlg::BtSaveClick);
    connect(BtCheck1, &QPushButton::clicked, this, &TAllSetRom1Dlg::BtCheck1Click);
}

QComboBox *TAllSetRom1Dlg::speedList() const { return qobject_cast<QComboBox *>(control(QStringLiteral("CBSpeed"))); }

void TAllSetRom1Dlg::ShowParamArea1(const ParamArea1 &area)
{
    const bool ver121 = ctx_.options && ctx_.options->fVER121 != 0;
    QComboBox *speed = speedList();
    speed->clear();
    speed->addItems(SpeedItems(ver121));
    setValues(ShowValues1(area, ver121));
    shown1_ = area;
}

void TAllSetRom1Dlg::ShowParamArea2(const ParamArea2 &area)
{
    setValues(ShowValues2(area));
    if (ctx_.area2Byte0)
        *ctx_.area2Byte0 = area[0];
}

ParamArea1 TAllSetRom1Dlg::TakeParamArea1() const
{
    const uint8_t sysMode = ctx_.options ? ctx_.options->SysMode : 0;
    return BuildArea1(values(), sysMode, shown1_);
}

ParamArea2 TAllSetRom1Dlg::TakeParamArea2() const
{
    return BuildArea2(values(), ctx_.area2Byte0 ? *ctx_.area2Byte0 : 0);
}

void TAllSetRom1Dlg::hideAreaTwoPages()
{
    for (const QString &title : {QStringLiteral("切替基板カスケード接続"), QStringLiteral("MemSw7"), QStringLiteral("MemSw8"),
                                 QStringLiteral("RFLOOPモード"), QStringLiteral("その他EEPROM2")})
        for (int i = 0; i < PageControl1->count(); ++i)
            if (PageControl1->tabText(i) == title)
                PageControl1->setTabVisible(i, false);
}

void TAllSetRom1Dlg::BtDefaultClick()
{
    ShowParamArea1(DefaultParamArea1());
    if (ctx_.options && ctx_.options->fVER121 != 0)
        ShowParamArea2(DefaultParamArea2());
}

QString TAllSetRom1Dlg::chooseFile(bool save)
{
    QFileDialog dlg(this);
    dlg.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The file is replaced as chosen, without a question.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = SettingsFileFilters();
    dlg.setNameFilters(filters);
    dlg.setDirectory(ctx_.startFolder.isEmpty() ? ToolDataFolder() : ctx_.startFolder);
    if (!save) {
        // A name typed without extension under the first filter is the .KXI file.
        dlg.setDefaultSuffix(QStringLiteral("KXI"));
        connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, filters](const QString &f) {
            dlg.setDefaultSuffix(f == filters.first() ? QStringLiteral("KXI") : QString());
        });
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return SettingsFileName(dlg.selectedFiles().first(), dlg.selectedNameFilter() == filters.first());
}

void TAllSetRom1Dlg::message(const QString &text)
{
    QMessageBox::information(this, windowTitle(), text);
}

void TAllSetRom1Dlg::BtLoadClick()
{
    const QString path = chooseFile(false);
    if (path.isEmpty())
        return;
    const bool ver121 = ctx_.options && ctx_.options->fVER121 != 0;
    fileData_ = ReadSettingsFile(path, ver121);
    ShowParamArea1(fileData_.area1);
    fileName_ = path;
    EdFName->setText(path);
    if (ver121)
        ShowParamArea2(fileData_.area2);
}

void TAllSetRom1Dlg::BtSaveClick()
{
    const bool ver121 = ctx_.options && ctx_.options->fVER121 != 0;
    ReaderParamBlock block;
    block.area1 = TakeParamArea1();
    if (ver121)
        block.area2 = TakeParamArea2();
    const QString path = chooseFile(true);
    if (path.isEmpty())
        return;
    QString why;
    if (!WriteSettingsFile(path, block, ver121, &why))
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("設定ファイルを保存できませんでした。元のファイルは変更されていません。\n%1\n%2")
                                 .arg(path, why));
}

void TAllSetRom1Dlg::showCheck(const SettingsCheck &check)
{
    const QPalette pal = palette();
    const QColor ok = ColorFromCode(ctx_.options ? ctx_.options->OkColor : int(0x8000000F), pal);
    const QColor ng = ColorFromCode(ctx_.options ? ctx_.options->NgColor : 255, pal);
    for (const QVector<FieldVerdict> *area : {&check.area1, &check.area2})
        for (const FieldVerdict &v : *area) {
            // The first antenna box always turns red, whatever NgColor says.
            const QColor bad = v.control == QLatin1String("EdANT1_SELNUM") ? QColor(255, 0, 0) : ng;
            SetControlColor(control(v.control), v.equal ? ok : bad);
        }
}

void TAllSetRom1Dlg::BtCheck1Click()
{
    if (EdFName->text().isEmpty()) {
        message(QStringLiteral("設定ファイル情報が読み込まれていません！！"));
        return;
    }
    const bool ver121 = ctx_.options && ctx_.options->fVER121 != 0;
    const bool p15 = ctx_.options && ctx_.options->fP15 != 0;
    ReaderParamBlock reader;
    if (!ctx_.readReader || !ctx_.readReader(reader)) {
        message(QStringLiteral("NG: 設定値は一致しませんでした"));
        return;
    }
    const SettingsCheck check = CompareWithFile(reader, fileData_, ver121, p15);
    ShowParamArea1(reader.area1);
    if (!check.area2.isEmpty())
        ShowParamArea2(reader.area2);
    showCheck(check);
    message(check.equal ? QStringLiteral("OK: 設定値は一致しました") : QStringLiteral("NG: 設定値は一致しませんでした"));
}

// ---------------------------------------------------------------- reduced dialog

TSetRom1Dlg::TSetRom1Dlg(const ParamDialogContext &ctx, QWidget *parent) : ParamDialogBase(ctx, parent)
{
    setObjectName(QStringLiteral("TSetRom1Dlg"));
    setWindowTitle(QStringLiteral("ダイアログ"));
    auto *top = new QVBoxLayout(this);
    top->addWidget(PageControl1, 1);
    buildCodesPage(true);
    addPage(QStringLiteral("動作モード"));
    buildSwitch1Page();
    buildSwitch2Page();
    buildSwitch3Page();
    buildPortsPage();
    buildSwitch5Page(true);
    buildSwitch6Page();
    BtDefault = new QPushButton(QStringLiteral("デフォルト(&I)"), this);
    BtDefault->setObjectName(QStringLiteral("BtDefault"));
    addButtons({BtDefault});
    connect(BtDefault, &QPushButton::clicked, this, &TSetRom1Dlg::BtDefaultClick);
}

void TSetRom1Dlg::ShowParamArea1(const ParamArea1 &asRead)
{
    read_ = asRead;
    setValues(ShowValues1(asRead, true));
}

ParamArea1 TSetRom1Dlg::TakeParamArea1() const { return BuildReducedArea1(values(), read_); }

void TSetRom1Dlg::BtDefaultClick() { setValues(ShowValues1(DefaultParamArea1(), true)); }

} // namespace kx9
