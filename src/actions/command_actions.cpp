#include "actions/command_actions.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "link/options.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QWidget>

namespace kx9 {

namespace {

const QString kBlockNoCaption = QStringLiteral("ブロックＮＯ");
const QString kBlockNoPrompt = QStringLiteral("ブロックＮＯを入力してください");
const QString kValuesCaption = QStringLiteral("設定値の入力");

void setNumber(IntEdit *e, int radix, int value)
{
    e->setRadix(radix);
    e->setRange(0, 255);
    e->setValue(value);
}

void hideNumber(QLabel *prompt, IntEdit *field)
{
    prompt->setText(QString());
    field->hide();
}

} // namespace

CommandActions::CommandActions(ActionHost &host, QObject *parent) : QObject(parent), ActionSteps(host) {}


bool CommandActions::askBlockNo(uint8_t &block)
{
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(kBlockNoCaption);
    dlg.STTitle->setText(kBlockNoPrompt);
    setNumber(dlg.IntEd, 10, block);
    if (dlg.exec() != kModalOk)
        return false;
    block = uint8_t(dlg.IntEd->value());
    return true;
}

bool CommandActions::askSingleBlockText(uint8_t &block, QByteArray &bytes)
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ"));
    setNumber(dlg.IntEd1, 10, st().LastBlockNo);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(QStringLiteral("データ（%1文字）").arg(opt().TagBlockSize));
    dlg.EdString->setText(st().LastDataText);
    if (dlg.exec() != kModalOk)
        return false;
    st().LastBlockNo = uint8_t(dlg.IntEd1->value());
    st().LastDataText = dlg.EdString->text();
    block = st().LastBlockNo;
    bytes = TextToBlockBytes(st().LastDataText, opt().TagBlockSize);
    return true;
}

bool CommandActions::refuseWrite(int dataBytes, int overhead, uint8_t flags)
{
    const QString why = BlockWriteRefusal(dataBytes, overhead, flags);
    if (why.isEmpty())
        return false;
    QMessageBox::warning(host_.hostWindow(), QStringLiteral("書き込みできません"), why);
    return true;
}

// ---------------------------------------------------------------- ISO 15693 menu

void CommandActions::MnInventoryClick(bool oneSlot)
{
    const uint8_t f = InventoryFlags(opt(), oneSlot);
    run([f](TTComXDlg &c) { return c.ISO15693_Inventory(f); }, true);
}

void CommandActions::Inventory21Click()
{
    const uint8_t f = Inventory2Flags(opt());
    const uint8_t param = uint8_t(opt().fInventory2);
    run([f, param](TTComXDlg &c) { return c.ISO15693_Inventory2(f, param); }, true);
}

void CommandActions::MnStayQuitClick()
{
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Uid, true);
    // No wait: a reply to it is left to the decoder.
    run([f](TTComXDlg &c) { return c.StayQuiet(f, c.CurrentUidBytes()); }, false);
}

void CommandActions::MnReadSingleBlockClick()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Read, true);
    run([=](TTComXDlg &c) { return c.ISO15693_ReadSingleBlock(block, f); }, true);
}

void CommandActions::MnWriteSingleBlockClick()
{
    uint8_t block = 0;
    QByteArray bytes;
    if (opt().fBinaryWrite != 0) {
        TWrData1Dlg dlg(host_.hostWindow());
        dlg.EdAddr->setValue(st().LastBlockNo);
        for (IntEdit *e : {dlg.EdData3, dlg.EdData2, dlg.EdData1, dlg.EdData0})
            e->setValue(0);
        if (dlg.exec() != kModalOk)
            return;
        st().LastBlockNo = uint8_t(dlg.EdAddr->value());
        block = st().LastBlockNo;
        bytes = BinaryBlockBytes(uint8_t(dlg.EdData3->value()), uint8_t(dlg.EdData2->value()),
                                 uint8_t(dlg.EdData1->value()), uint8_t(dlg.EdData0->value()),
                                 opt().TagBlockSize);
    } else if (!askSingleBlockText(block, bytes)) {
        return;
    }
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    if (refuseWrite(opt().TagBlockSize, 3, f))
        return;
    run([=](TTComXDlg &c) { return c.ISO15693_WriteSingleBlock(block, bytes, f); }, true);
}

void CommandActions::MnLockBlockClick()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    run([=](TTComXDlg &c) { return c.ISO15693_LockBlock(block, f); }, true);
}

bool CommandActions::askFirstAndCount(bool withText)
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ"));
    dlg.STTitle2->setText(QStringLiteral("ブロック数"));
    setNumber(dlg.IntEd1, 10, st().MultiFirstBlock);
    setNumber(dlg.IntEd2, 10, st().MultiBlockCount);
    if (withText) {
        dlg.STTitle3->setText(QStringLiteral("データ（文字列）"));
        dlg.EdString->setText(st().LastDataText);
    } else {
        dlg.STTitle3->setText(QString());
        dlg.EdString->hide();
    }
    if (dlg.exec() != kModalOk)
        return false;
    st().MultiFirstBlock = uint8_t(dlg.IntEd1->value());
    st().MultiBlockCount = uint8_t(dlg.IntEd2->value());
    if (withText)
        st().LastDataText = dlg.EdString->text();
    return true;
}

void CommandActions::MnReadMultiBlockClick()
{
    if (!askFirstAndCount(false))
        return;
    const uint8_t first = st().MultiFirstBlock, count = st().MultiBlockCount;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Read, true);
    run([=](TTComXDlg &c) { return c.ISO15693_ReadMultiBlock(first, count, f); }, true);
}

void CommandActions::MnWriteMultiBlockClick()
{
    if (!askFirstAndCount(true))
        return;
    const uint8_t first = st().MultiFirstBlock, count = st().MultiBlockCount;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    const int n = (int(count) + 1) * opt().TagBlockSize;
    if (refuseWrite(n, 4, f))
        return;
    const QByteArray bytes = TextToBlockBytes(st().LastDataText, n);
    run([=](TTComXDlg &c) { return c.ISO15693_WriteMultiBlock(first, count, bytes, f); }, true);
}

void CommandActions::MnSelectTagClick()
{
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Uid, true);
    run([f](TTComXDlg &c) { return c.ISO15693_SelectTag(f, c.CurrentUidBytes()); }, true);
}

void CommandActions::MnResetToReadyClick()
{
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Uid, true);
    run([f](TTComXDlg &c) { return c.ISO15693_ResetToReady(f); }, true);
}

bool CommandActions::askAfiDsfid(uint8_t &value)
{
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    hideNumber(dlg.STTitle1, dlg.IntEd1);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(QStringLiteral("データ（１６進）"));
    setNumber(dlg.IntEd3, 16, st().LastAfiDsfid & 0xFF);
    if (dlg.exec() != kModalOk)
        return false;
    st().LastAfiDsfid = uint16_t(dlg.IntEd3->value());
    value = uint8_t(st().LastAfiDsfid);
    return true;
}

void CommandActions::MnWriteAFIClick()
{
    uint8_t afi = 0;
    if (!askAfiDsfid(afi))
        return;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    run([=](TTComXDlg &c) { return c.ISO15693_WriteAFI(afi, f); }, true);
}

void CommandActions::MnLockAFIClick()
{
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    run([f](TTComXDlg &c) { return c.ISO15693_LockAFI(f); }, true);
}

void CommandActions::MnWrietDSFIDClick()
{
    uint8_t dsfid = 0;
    if (!askAfiDsfid(dsfid))
        return;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    run([=](TTComXDlg &c) { return c.ISO15693_WrietDSFID(dsfid, f); }, true);
}

void CommandActions::MNLockDSFIDClick()
{
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Write, true);
    run([f](TTComXDlg &c) { return c.ISO15693_LockDSFID(f); }, true);
}

void CommandActions::MnGetSystemInfoClick()
{
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Uid, true);
    if (!run([f](TTComXDlg &c) { return c.ISO15693_GetSystemInfo(f); }, true))
        return;
    for (const QString &line : SystemInfoLines(st().TagSystemInfo))
        log(line);
}

void CommandActions::MnGetMBlockSecStClick()
{
    if (!askFirstAndCount(false))
        return;
    const uint8_t first = st().MultiFirstBlock, count = st().MultiBlockCount;
    const uint8_t f = RequestFlagsFor(opt(), FlagGroup::Uid, true);
    run([=](TTComXDlg &c) { return c.ISO15693_GetMBlockSecSt(first, count, f); }, true);
}

void CommandActions::MnWrite2BlocksClick()
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(kValuesCaption);
    dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ"));
    setNumber(dlg.IntEd1, 10, st().MultiFirstBlock);
    hideNumber(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(QStringLiteral("データ（文字列）"));
    dlg.EdString->setText(st().LastDataText);
    if (dlg.exec() != kModalOk)
        return;
    st().MultiFirstBlock = uint8_t(dlg.IntEd1->value());
    st().LastDataText = dlg.EdString->text();
    const uint8_t first = st().MultiFirstBlock;
    const QByteArray bytes = TextToBlockBytes(st().LastDataText, 8);
    const uint8_t f = TwoBlockFlags(opt());
    run([=](TTComXDlg &c) { return c.ISO15693_Write2Blocks(first, bytes, f); }, true);
}

void CommandActions::MnLock2BlocksClick()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = TwoBlockFlags(opt());
    run([=](TTComXDlg &c) { return c.ISO15693_Lock2Blocks(block, f); }, true);
}

void CommandActions::Read1BlockSelect1Click()
{
    uint8_t block = st().LastBlockNo;
    if (!askBlockNo(block))
        return;
    st().LastBlockNo = block;
    const uint8_t f = uint8_t(GroupFlags(opt(), FlagGroup::Read) | 0x04);
    run([=](TTComXDlg &c) { return c.ISO15693_ReadSingleBlock(block, f); }, false, false);
}

void CommandActions::Write1BlockSelect1Click()
{
    uint8_t block = 0;
    QByteArray bytes;
    if (!askSingleBlockText(block, bytes))
        return;
    const uint8_t f = uint8_t(GroupFlags(opt(), FlagGroup::Write) | 0x04);
    if (refuseWrite(opt().TagBlockSize, 3, f))
        return;
    run([=](TTComXDlg &c) { return c.ISO15693_WriteSingleBlock(block, bytes, f); }, false, false);
}

// ---------------------------------------------------------------- operating mode

void CommandActions::txOffStep()
{
    TTComXDlg *c = comm();
    if (!c)
        return;
    QuietScope quiet(host_);
    uint8_t memSwitch3 = 0;
    if (c->RXParamData(0xAB, memSwitch3)) {
        c->TxSetParamData(0xAB, uint8_t(memSwitch3 | 0x18));
        c->WaitAck();
    }
}

void CommandActions::MnSetCmdModeClick(const QString &sender)
{
    TTComXDlg *c = comm();
    uint8_t mode2 = 0;
    if (st().ModeRereadFlag && c) {
        uint8_t mode = 0, flags = 0;
        if (c->DousaModeSet_O(mode, mode2, flags))
            opt().SysMode = flags;
        else
            mode2 = 0;
        st().ModeRereadFlag = false;
    }

    uint8_t code = 0x00;
    if (sender == QLatin1String("MnAutoScan") || sender == QLatin1String("TBtSetATRMD")) {
        if (opt().fInvTxOff != 0)
            txOffStep();
        code = 0x01;
    } else if (sender == QLatin1String("Test11") || sender == QLatin1String("TBtSetTest1Mode")) {
        if (opt().fInvTxOff != 0)
            txOffStep();
        code = 0x50;
    } else if (sender == QLatin1String("Test21")) {
        // Cancel keeps the old block number; the mode is switched either way.
        uint8_t block = st().LastBlockNo;
        if (askBlockNo(block))
            st().LastBlockNo = block;
        code = 0x51;
    } else if (sender == QLatin1String("Test31")) {
        code = 0x52;
    } else if (sender == QLatin1String("Test41")) {
        code = 0x53;
    } else if (sender == QLatin1String("Test51")) {
        code = 0x54;
    }

    host_.ApplyCommandModeGating(code == 0x00);
    if (c)
        c->DousaModeSet_N(false, code, mode2, opt().SysMode, opt().PolingTime);
}

void CommandActions::MnGetModeClick()
{
    if (TTComXDlg *c = comm())
        c->DousaModeSetN(0x00);
}

void CommandActions::MnGetS6700ModeClick()
{
    if (TTComXDlg *c = comm())
        c->DousaModeSetN(0x09);
}

// ---------------------------------------------------------------- wiring

void CommandActions::attach()
{
    const auto on = [this](const char *name, std::function<void()> handler) {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler] { guarded(handler); });
    };
    on("MnInventory1Slot1", [this] { MnInventoryClick(true); });
    on("MnInventory16Slots1", [this] { MnInventoryClick(false); });
    on("Inventory21", [this] { Inventory21Click(); });
    on("MnStayQuit", [this] { MnStayQuitClick(); });
    on("MnReadSingleBlock", [this] { MnReadSingleBlockClick(); });
    on("MnWriteSingleBlock", [this] { MnWriteSingleBlockClick(); });
    on("MnLockBlock", [this] { MnLockBlockClick(); });
    on("MnReadMultiBlock", [this] { MnReadMultiBlockClick(); });
    on("MnWriteMultiBlock", [this] { MnWriteMultiBlockClick(); });
    on("MnSelectTag", [this] { MnSelectTagClick(); });
    on("MnResetToReady", [this] { MnResetToReadyClick(); });
    on("MnWriteAFI", [this] { MnWriteAFIClick(); });
    on("MnLockAFI", [this] { MnLockAFIClick(); });
    on("MnWrietDSFID", [this] { MnWrietDSFIDClick(); });
    on("MNLockDSFID", [this] { MNLockDSFIDClick(); });
    on("MnGetSystemInfo", [this] { MnGetSystemInfoClick(); });
    on("MnGetMBlockSecSt", [this] { MnGetMBlockSecStClick(); });
    on("MnWrite2Blocks", [this] { MnWrite2BlocksClick(); });
    on("MnLock2Blocks", [this] { MnLock2BlocksClick(); });
    on("Read1BlockSelect1", [this] { Read1BlockSelect1Click(); });
    on("Write1BlockSelect1", [this] { Write1BlockSelect1Click(); });

    // The three toolbar mode buttons are one exclusive group of check buttons.
    QActionGroup *group = nullptr;
    for (const char *name : {"TBtSetCmdMode", "TBtSetATRMD", "TBtSetTest1Mode"}) {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            continue;
        a->setCheckable(true);
        if (!a->actionGroup()) {
            if (!group) {
                group = new QActionGroup(this);
                group->setExclusive(true);
            }
            group->addAction(a);
        }
        const QString sender = QLatin1String(name);
        connect(a, &QAction::triggered, this, [this, a, sender] {
            if (busy_) {
                if (modeButton_)
                    modeButton_->setChecked(true);
                else
                    a->setChecked(false);
                return;
            }
            modeButton_ = a;
            guarded([this, sender] { MnSetCmdModeClick(sender); });
        });
    }
    for (const char *name : {"MnAutoScan", "MnSetCmdMode", "Test11", "Test21", "Test31", "Test41", "Test51"}) {
        const QString sender = QLatin1String(name);
        on(name, [this, sender] { MnSetCmdModeClick(sender); });
    }
    // The pop-up items "コマンドモード", "オートスキャン" and "連続インベントリ" are
    // the main window's: they press the toolbar button, which lands here.
    on("MnGetMode", [this] { MnGetModeClick(); });
    on("MnGetS6700Mode", [this] { MnGetS6700ModeClick(); });
}

} // namespace kx9
