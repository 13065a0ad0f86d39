#include "runner/tag_data_dialog.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "link/ini_file.h"
#include "runner/guage_dialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kx9 {

namespace {

constexpr uint8_t kBlockSizeParam = 0xAC;
const QString kCsvFilter = QStringLiteral("CSVファイル (*.csv)");
const QString kHexFilter = QStringLiteral("ダンプファイル (*.txt)");

QString hex2(uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }

QLineEdit *field(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    return e;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TDispTagDataDlg::TDispTagDataDlg(ActionHost &host, QWidget *parent)
    : QDialog(parent), host_(host), window_(host.hostWindow())
{
    setObjectName(QStringLiteral("TDispTagDataDlg"));
    setWindowTitle(QStringLiteral("タグのデータ"));
    setModal(true);

    if (TTComXDlg *c = host_.comm())
        iniPath_ = c->iniPath();
    if (!iniPath_.isEmpty()) {
        IniFile ini;
        ini.load(iniPath_);
        DispDir = ini.readInteger(QLatin1String(kSection), QLatin1String(kDispDirKey), 1);
    }

    EdDSFID = field(this, "EdDSFID");
    EdAFI = field(this, "EdAFI");
    EdUID = field(this, "EdUID");
    EdBlockNum = field(this, "EdBlockNum");
    EdBlockSize = field(this, "EdBlockSize");
    EdManufacturer = field(this, "EdManufacturer");
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    EdUID->setFont(mono);
    EdUID->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(QStringLiteral("00 ")) * 8 + 12);

    auto *fields = new QGridLayout;
    const auto row = [&](int r, int col, const QString &text, QLineEdit *e) {
        auto *l = new QLabel(text, this);
        l->setBuddy(e);
        fields->addWidget(l, r, col);
        fields->addWidget(e, r, col + 1);
    };
    row(0, 0, QStringLiteral("UID(Hex)"), EdUID);
    row(0, 2, QStringLiteral("Tag Manufacturer"), EdManufacturer);
    row(1, 0, QStringLiteral("DSFID(Hex)"), EdDSFID);
    row(1, 2, QStringLiteral("AFI(Hex)"), EdAFI);
    row(2, 0, QStringLiteral("Block Number"), EdBlockNum);
    row(2, 2, QStringLiteral("Block Size"), EdBlockSize);
    fields->setColumnStretch(1, 2);
    fields->setColumnStretch(3, 1);

    StringGrid1 = new QTableWidget(0, 4, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setHorizontalHeaderLabels({QStringLiteral("Block Num."),
                                            DispDir != 0 ? QStringLiteral("data(MSB --- LSB)")
                                                         : QStringLiteral("data(LSB --- MSB)"),
                                            QStringLiteral("Security data"), QStringLiteral("Text")});
    StringGrid1->verticalHeader()->setVisible(false);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setAlternatingRowColors(true);
    StringGrid1->setFont(mono);
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    StringGrid1->setMinimumSize(520, 320);

    LbCompare = new QLabel(this);
    LbCompare->setObjectName(QStringLiteral("LbCompare"));
    LbCompare->setWordWrap(true);

    BtSave = button(this, "BtSave", QStringLiteral("保存(&S)..."));
    BtCompare = button(this, "BtCompare", QStringLiteral("再読込・比較(&R)"));
    OKBtn = button(this, "OKBtn", QStringLiteral("OK"));
    OKBtn->setDefault(true);
    CancelBtn = button(this, "CancelBtn", QStringLiteral("キャンセル"));
    connect(BtSave, &QPushButton::clicked, this, &TDispTagDataDlg::BtSaveClick);
    connect(BtCompare, &QPushButton::clicked, this, &TDispTagDataDlg::BtCompareClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *lay = new QVBoxLayout(this);
    lay->addLayout(fields);
    lay->addWidget(StringGrid1, 1);
    lay->addWidget(LbCompare);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BtSave);
    buttons->addWidget(BtCompare);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    lay->addLayout(buttons);

    showHeader();
}

TDispTagDataDlg::~TDispTagDataDlg()
{
    delete guage_.data();
}

TTComXDlg *TDispTagDataDlg::comm() const { return window_ ? host_.comm() : nullptr; }

bool TDispTagDataDlg::hostGone() const
{
    // The main window closing ends a read: its module is closing, and every
    // further request would only wait out its time-out.
    return !window_ || !window_->isVisible() || !host_.comm();
}

bool TDispTagDataDlg::stopRequested() const
{
    return abort_ || (guage_ && !guage_->running()) || hostGone();
}

void TDispTagDataDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // The read runs once the viewer is on screen, inside its own modal loop.
    QTimer::singleShot(0, this, &TDispTagDataDlg::readTag);
}

void TDispTagDataDlg::done(int r)
{
    saveDispDir();
    if (reading_) {
        // The read ends at its next reply; the viewer closes then.
        closeRequest_ = r;
        abort_ = true;
        return;
    }
    QDialog::done(r);
}

void TDispTagDataDlg::saveDispDir()
{
    if (iniPath_.isEmpty())
        return;
    IniFile ini;
    ini.load(iniPath_);
    ini.writeInteger(QLatin1String(kSection), QLatin1String(kDispDirKey), DispDir);
    ini.save(iniPath_);
}

void TDispTagDataDlg::readTag()
{
    if (reading_)
        return;
    const QPointer<TDispTagDataDlg> self(this);
    reading_ = true;
    abort_ = false;
    BtSave->setEnabled(false);
    BtCompare->setEnabled(false);

    auto *g = new TGuage1Dlg(this);
    guage_ = g;
    // Unlike the original box, this one can be cancelled: a long read can
    // be stopped and what was read stays.
    g->Button1->setVisible(true);
    g->ProgressBar1->setRange(0, 100);
    g->setPosition(0);
    g->showInFront();
    QCoreApplication::processEvents();
    if (!self)
        return;
    if (guage_)
        guage_->setWindowTitle(QStringLiteral("Read Tag Data ..."));

    readInto();
    if (!self)
        return;

    delete guage_.data();
    reading_ = false;
    BtSave->setEnabled(true);
    BtCompare->setEnabled(true);
    emit readFinished();
    if (!self)
        return;
    if (closeRequest_ < 0 && hostGone())
        closeRequest_ = QDialog::Rejected;
    if (closeRequest_ >= 0) {
        const int r = closeRequest_;
        closeRequest_ = -1;
        QDialog::done(r);
    }
}

void TDispTagDataDlg::readInto()
{
    dump_ = TagDump{};
    ViewAfi = 0;
    ViewBlockCount = ViewBlockSize = 0;
    resetGrid(0);
    showGeometry();
    const Step s = identify();
    if (s != Step::Ok) {
        if (s == Step::Failed)
            QMessageBox::warning(this, windowTitle(), QStringLiteral("タグのデータが読み込めません!!"));
        return;
    }
    TagPlanChoice choice;
    if (geometry(choice) != Step::Ok)
        return;
    runPlan(choice);
}

TDispTagDataDlg::Step TDispTagDataDlg::ask(const Sender &send)
{
    if (stopRequested())
        return Step::Stop;
    TTComXDlg *c = comm();
    if (!c)
        return Step::Stop;
    send(*c);
    // The wait runs the event loop: the module may be gone when it returns.
    const bool ok = c->WaitAck();
    if (stopRequested())
        return Step::Stop;
    return ok ? Step::Ok : Step::Failed;
}

TDispTagDataDlg::Step TDispTagDataDlg::identify()
{
    ViewMaker = 0;
    ViewChipCode = 0;
    ViewUid = QByteArray(8, '\0');
    ViewDsfid = 0;
    EdManufacturer->setText(ManufacturerName(0));
    Step s = ask([](TTComXDlg &c) { return c.ISO15693_Inventory(0x40); });
    if (s == Step::Ok) {
        // DATA: code, DSFID, UID (8 bytes). A reply cut short identifies nothing.
        const FrameView r = comm()->LastReply();
        if (r.data(0) == 0x01 && r.dataSize() >= 10) {
            ViewUid = r.dataBytes(2, 8);
            ViewDsfid = r.data(1);
            ViewMaker = uint8_t(ViewUid.at(6));
            ViewChipCode = kx9::ViewChipCode(ViewMaker, uint8_t(ViewUid.at(5)));
        } else {
            s = Step::Failed;
        }
    }
    dump_.uid = ViewUid;
    dump_.dsfid = ViewDsfid;
    dump_.maker = ViewMaker;
    showHeader();
    return s;
}

TDispTagDataDlg::Step TDispTagDataDlg::geometry(TagPlanChoice &choice)
{
    choice = ChooseTagPlan(ViewMaker, ViewChipCode);
    if (!choice.fromSystemInfo) {
        ViewBlockCount = choice.blockCount;
        ViewBlockSize = choice.blockSize;
        showGeometry();
        return Step::Ok;
    }
    Step s = ask([](TTComXDlg &c) { return c.ISO15693_GetSystemInfo(0x00); });
    if (s != Step::Ok)
        return s;
    // DATA: code, info flags, UID, then DSFID, AFI, memory size, IC reference
    // as the flags say. Without the memory size there is nothing to read.
    const FrameView r = comm()->LastReply();
    const uint8_t flags = r.data(1);
    int pos = 10;
    if (flags & 0x01)
        ++pos;
    uint8_t afi = 0;
    if (flags & 0x02)
        afi = r.data(pos++);
    if (r.data(0) != 0x2B || !(flags & 0x04) || !r.has(pos + 1))
        return Step::Failed;
    ViewAfi = afi;
    ViewBlockCount = int(r.data(pos)) + 1;
    ViewBlockSize = (r.data(pos + 1) & 0x1F) + 1;
    choice.blockCount = ViewBlockCount;
    choice.blockSize = ViewBlockSize;
    dump_.afi = ViewAfi;
    showGeometry();
    return Step::Ok;
}

TDispTagDataDlg::Step TDispTagDataDlg::runPlan(const TagPlanChoice &choice)
{
    dump_.blockSize = ViewBlockSize;
    uint8_t oldSize = 0;
    bool restore = false;
    if (choice.setBlockSizeParam) {
        TTComXDlg *c = comm();
        if (!c || stopRequested())
            return Step::Stop;
        restore = c->RXParamData(kBlockSizeParam, oldSize);
        if (restore && !stopRequested()) {
            const uint8_t size = uint8_t(ViewBlockSize);
            ask([size](TTComXDlg &m) { return m.TxSetParamData(kBlockSizeParam, size); });
        }
    }

    Step s = Step::Stop;
    if (!stopRequested()) {
        switch (choice.plan) {
        case ReadPlan::SingleWithSec:
            resetGrid(ViewBlockCount);
            s = singleBlocks(true, true, 0, ViewBlockCount);
            break;
        case ReadPlan::SingleNoSec:
            // Block 17 follows in its own row, the two rows before it stay empty.
            resetGrid(ViewBlockCount + 3);
            s = singleBlocks(false, true, 0, ViewBlockCount);
            if (s == Step::Ok)
                s = readBlock(17, false);
            break;
        case ReadPlan::TiBlocks:
            resetGrid(ViewBlockCount);
            s = tiBlocks();
            break;
        case ReadPlan::Chunks:
            resetGrid(ViewBlockCount);
            s = chunks();
            break;
        case ReadPlan::None:
            break;
        }
    }

    // The reader's block size goes back however the read ended, unless the
    // main window (and its link) has gone.
    if (restore && !hostGone()) {
        if (TTComXDlg *c = comm()) {
            c->TxSetParamData(kBlockSizeParam, oldSize);
            c->WaitAck();
        }
    }
    return s;
}

TDispTagDataDlg::Step TDispTagDataDlg::readBlock(int block, bool withSecurity)
{
    const uint8_t b = uint8_t(block), f = withSecurity ? 0x10 : 0x00;
    const Step s = ask([b, f](TTComXDlg &c) { return c.ISO15693_ReadSingleBlock(b, f); });
    if (s != Step::Ok)
        return s;
    // DATA: code, (security byte), the block. A reply shorter than a block
    // ends the plan rather than showing bytes of an earlier read.
    const FrameView r = comm()->LastReply();
    const int at = withSecurity ? 2 : 1;
    if (r.data(0) != 0x20 || r.dataSize() < at + ViewBlockSize || block >= dump_.blocks.size())
        return Step::Failed;
    TagDump::Block &blk = dump_.blocks[block];
    blk.read = true;
    blk.data = r.dataBytes(at, ViewBlockSize);
    blk.hasSecurity = withSecurity;
    blk.security = withSecurity ? r.data(1) : 0;
    showRow(block);
    return Step::Ok;
}

TDispTagDataDlg::Step TDispTagDataDlg::singleBlocks(bool withSecurity, bool progress, int firstBlock,
                                                    int lastBlock)
{
    const int n = ViewBlockCount;
    for (int i = firstBlock; i < lastBlock; ++i) {
        if (progress && guage_ && n > 0) {
            guage_->setPosition((i * 100 + 100) / n);
            guage_->setLabel(QStringLiteral("%1 / %2 リード中").arg(i + 1).arg(n));
        }
        const Step s = readBlock(i, withSecurity);
        if (s != Step::Ok)
            return s;
    }
    return Step::Ok;
}

TDispTagDataDlg::Step TDispTagDataDlg::tiBlocks()
{
    const int n = ViewBlockCount;
    int k = 0;
    for (; k < n - 1; ++k) {
        const Step s = readBlock(k, true);
        if (s == Step::Stop)
            return s;
        if (s == Step::Failed)
            break;
    }
    // The block where the pass stopped (the last one after a full pass) once more.
    return readBlock(k, true);
}

TDispTagDataDlg::Step TDispTagDataDlg::chunks()
{
    const int s = ViewBlockSize;
    for (const ChunkRequest &q : ChunkReads(ViewBlockCount, s)) {
        const uint8_t first = uint8_t(q.firstBlock), count = uint8_t(q.field);
        const Step st = ask([first, count](TTComXDlg &c) { return c.ISO15693_ReadBytes(first, count, 0x00); });
        if (st != Step::Ok)
            return st;
        const FrameView r = comm()->LastReply();
        if (r.data(0) != 0xA0 || r.dataSize() < 1 + q.field)
            return Step::Failed;
        for (int b = 0; b < q.blocks; ++b) {
            const int block = q.firstBlock + b;
            if (block >= dump_.blocks.size())
                break;
            TagDump::Block &blk = dump_.blocks[block];
            blk.read = true;
            blk.data = r.dataBytes(1 + b * s, s);
            showRow(block);
        }
    }
    for (const ChunkRequest &q : SecurityReads(ViewBlockCount)) {
        const uint8_t first = uint8_t(q.firstBlock), count = uint8_t(q.field);
        const Step st = ask([first, count](TTComXDlg &c) { return c.ISO15693_GetMBlockSecSt(first, count, 0x00); });
        if (st != Step::Ok)
            return st;
        const FrameView r = comm()->LastReply();
        if (r.data(0) != 0x2C || r.dataSize() < 1 + q.blocks)
            return Step::Failed;
        for (int b = 0; b < q.blocks; ++b) {
            const int block = q.firstBlock + b;
            if (block >= dump_.blocks.size())
                break;
            TagDump::Block &blk = dump_.blocks[block];
            blk.hasSecurity = true;
            blk.security = r.data(1 + b);
            showRow(block);
        }
    }
    return Step::Ok;
}

// ------------------------------------------------------------------ display

void TDispTagDataDlg::showHeader()
{
    EdUID->setText(UidText(ViewUid));
    EdDSFID->setText(hex2(ViewDsfid));
    EdManufacturer->setText(ManufacturerName(ViewMaker));
}

void TDispTagDataDlg::showGeometry()
{
    EdAFI->setText(hex2(ViewAfi));
    EdBlockNum->setText(QString::number(ViewBlockCount));
    EdBlockSize->setText(QString::number(ViewBlockSize));
}

void TDispTagDataDlg::resetGrid(int rows)
{
    StringGrid1->clearContents();
    StringGrid1->setRowCount(rows);
    dump_.blocks = QVector<TagDump::Block>(rows);
    dump_.blockSize = ViewBlockSize;
    const QFontMetrics fm(StringGrid1->font());
    const int pad = 16;
    StringGrid1->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("Block Num.")) + pad);
    StringGrid1->setColumnWidth(1, qMax(fm.horizontalAdvance(QStringLiteral("data(MSB --- LSB)")),
                                        fm.horizontalAdvance(QStringLiteral("00 ")) * qMax(1, ViewBlockSize))
                                       + pad);
    StringGrid1->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("Security data")) + pad);
}

void TDispTagDataDlg::showRow(int block)
{
    if (block < 0 || block >= StringGrid1->rowCount() || block >= dump_.blocks.size())
        return;
    const TagDump::Block &b = dump_.blocks.at(block);
    const auto set = [this, block](int col, const QString &text, Qt::Alignment align) {
        auto *item = new QTableWidgetItem(text);
        item->setTextAlignment(align | Qt::AlignVCenter);
        StringGrid1->setItem(block, col, item);
    };
    set(0, QString::number(block), Qt::AlignRight);
    set(1, BlockHexText(b.data, DispDir != 0), Qt::AlignLeft);
    set(2, b.hasSecurity ? hex2(b.security) : QString(), Qt::AlignHCenter);
    set(3, BlockCharText(b.data), Qt::AlignLeft);
}

void TDispTagDataDlg::markDifferences()
{
    const QColor differs(255, 205, 205);
    for (int row = 0; row < StringGrid1->rowCount(); ++row) {
        const bool mark = diff_.contains(row);
        for (int col = 0; col < StringGrid1->columnCount(); ++col) {
            QTableWidgetItem *item = StringGrid1->item(row, col);
            if (!item && mark) {
                item = new QTableWidgetItem;
                StringGrid1->setItem(row, col, item);
            }
            if (!item)
                continue;
            item->setBackground(mark ? QBrush(differs) : QBrush());
            QString tip;
            if (mark) {
                const TagDump::Block none;
                const TagDump::Block &a = row < first_.blocks.size() ? first_.blocks.at(row) : none;
                tip = a.read ? QStringLiteral("1回目: %1 %2")
                                   .arg(BlockHexText(a.data, DispDir != 0),
                                        a.hasSecurity ? hex2(a.security) : QString())
                             : QStringLiteral("1回目: 読めませんでした");
            }
            item->setToolTip(tip);
        }
    }
}

// ------------------------------------------------------------------ beyond the read

void TDispTagDataDlg::BtCompareClick()
{
    if (reading_)
        return;
    first_ = dump_;
    diff_.clear();
    LbCompare->clear();
    const QPointer<TDispTagDataDlg> self(this);
    readTag();
    if (!self || isHidden())
        return;
    diff_ = CompareDumps(first_, dump_);
    if (first_.uid != dump_.uid) {
        diff_.clear();
        for (int i = 0; i < StringGrid1->rowCount(); ++i)
            diff_ << i;
        LbCompare->setText(QStringLiteral("比較: 1回目と別のタグを読みました（1回目 %1）").arg(UidText(first_.uid)));
    } else if (diff_.isEmpty()) {
        LbCompare->setText(QStringLiteral("比較: 2回の読み出しは一致しました（%1 ブロック）").arg(dump_.readCount()));
    } else {
        QStringList blocks;
        for (int b : std::as_const(diff_))
            blocks << QString::number(b);
        LbCompare->setText(QStringLiteral("比較: %1 ブロックが一致しません（ブロック %2）")
                               .arg(diff_.size())
                               .arg(blocks.join(QStringLiteral(", "))));
    }
    markDifferences();
}

void TDispTagDataDlg::BtSaveClick()
{
    if (reading_)
        return;
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SaveDialog1"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilters({kCsvFilter, kHexFilter});
    dlg.setDirectory(QCoreApplication::applicationDirPath());
    QByteArray uid = dump_.uid;
    std::reverse(uid.begin(), uid.end());
    dlg.selectFile(QStringLiteral("tag_%1.csv").arg(QString::fromLatin1(uid.toHex().toUpper())));
    connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString &f) {
        dlg.setDefaultSuffix(f == kHexFilter ? QStringLiteral("txt") : QStringLiteral("csv"));
    });
    dlg.setDefaultSuffix(QStringLiteral("csv"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    SaveDump(dlg.selectedFiles().first(), dlg.selectedNameFilter() == kHexFilter);
}

bool TDispTagDataDlg::SaveDump(const QString &path, bool hexDump)
{
    const QByteArray bytes = hexDump ? DumpHex(dump_) : DumpCsv(dump_);
    // Written beside the target and renamed over it: a failed write leaves
    // an older file as it was.
    QString why;
    if (!ReplaceFileAtomically(path, bytes, &why)) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("ファイルに書き込めません。\n%1\n%2").arg(path, why));
        return false;
    }
    return true;
}

} // namespace kx9
