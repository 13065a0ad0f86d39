#include "runner/runner_actions.h"

#include "actions/action_steps.h"

#include "actions/action_host.h"
#include "actions/action_util.h"
#include "commands/ttcomxdlg.h"
#include "link/frame.h"
#include "link/options.h"
#include "runner/command_runner.h"
#include "runner/guage_dialog.h"
#include "runner/loop_dialogs.h"
#include "runner/runner_widgets.h"
#include "runner/tag_data_dialog.h"
#include "ui/int_edit.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QWidget>

namespace kx9 {

void AttachRunnerActions(ActionHost &host)
{
    QWidget *window = host.hostWindow();
    if (window && window->findChild<RunnerActions *>(QStringLiteral("RunnerActions"), Qt::FindDirectChildrenOnly))
        return;
    auto *actions = new RunnerActions(host, window);
    actions->setObjectName(QStringLiteral("RunnerActions"));
    actions->attach();
}

RunnerActions::RunnerActions(ActionHost &host, QObject *parent) : QObject(parent), host_(host) {}

AppOptions &RunnerActions::opt() { return host_.appOptions(); }
TTComXDlg *RunnerActions::comm() { return host_.comm(); }

void RunnerActions::guarded(const std::function<void()> &body)
{
    if (busy_)
        return;
    busy_ = true;
    const QPointer<RunnerActions> self(this);
    body();
    if (self)
        busy_ = false;
}

void RunnerActions::attach()
{
    const auto on = [this](const char *name, std::function<void()> handler) {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler] { guarded(handler); });
    };
    on("N14", [this] { N14Click(); });
    on("ReadLoop1", [this] { ReadLoop1Click(); });
    on("Inventory16Slots1", [this] { Inventory16Slots1Click(); });
    on("MnRDLoopPolCmd", [this] { MnRDLoopPolCmdClick(); });
    on("MnRDLoopPolGet", [this] { MnRDLoopPolGetClick(); });
    on("MnCmdOutp", [this] { MnCmdOutpClick(); });
    on("MnTagTest1ON", [this] { MnTagTest1ONClick(true); });
    on("MnTagTest1OFF", [this] { MnTagTest1ONClick(false); });
    on("MnTagTest1Para", [this] { MnTagTest1ParaClick(); });
    on("MnRDLoop1", [this] { MnRDLoop1Click(); });
    on("MnTagData1", [this] { MnTagData1Click(); });
}

// ------------------------------------------------------------------ runner

void RunnerActions::N14Click()
{
    TCoomandDlg1 dlg(host_, host_.hostWindow());
    dlg.exec();
}

// ------------------------------------------------------------------ reader loops

void RunnerActions::ReadLoop1Click()
{
    TRFLoopDlg dlg(host_.hostWindow());
    dlg.EdBlockNum->setValue(mem_.LoopStartBlock);
    dlg.EdLen->setValue(mem_.LoopDataLength);
    dlg.EdAFI->setValue(mem_.LoopAfi);
    dlg.CBUseAFI->setChecked(mem_.LoopUseAfi);
    GroupsFromBits(dlg.RGMemSW, mem_.ReadLoopMode);
    if (dlg.exec() != kModalOk)
        return;
    mem_.LoopStartBlock = uint8_t(dlg.EdBlockNum->value());
    mem_.LoopDataLength = uint8_t(dlg.EdLen->value());
    mem_.LoopAfi = uint8_t(dlg.EdAFI->value());
    mem_.LoopUseAfi = dlg.CBUseAFI->isChecked();
    mem_.ReadLoopMode = BitsFromGroups(dlg.RGMemSW);
    const uint8_t flags = uint8_t(GroupFlags(opt(), FlagGroup::Read) | (mem_.LoopUseAfi ? 0x20 : 0x00));
    if (TTComXDlg *c = comm())
        c->Read_Loop_Command_F2(mem_.ReadLoopMode, flags, mem_.LoopStartBlock, mem_.LoopDataLength, mem_.LoopAfi);
}

void RunnerActions::Inventory16Slots1Click()
{
    TInv16SDlg dlg(host_.hostWindow());
    dlg.EdAFI->setValue(mem_.LoopAfi);
    dlg.CBUseAFI->setChecked(mem_.LoopUseAfi);
    GroupsFromBits(dlg.RGMemSW, mem_.Inv16Mode);
    // The mask is not offered here: length and bytes stay 0.
    dlg.MaskPanel->hide();
    if (dlg.exec() != kModalOk)
        return;
    mem_.LoopAfi = uint8_t(dlg.EdAFI->value());
    mem_.LoopUseAfi = dlg.CBUseAFI->isChecked();
    mem_.Inv16Mode = BitsFromGroups(dlg.RGMemSW);
    uint64_t mask = 0;
    for (int i = 0; i < 8; ++i)
        mask |= uint64_t(mem_.Inv16Mask[i]) << (8 * i);
    if (TTComXDlg *c = comm())
        c->Read_Loop_Command_F1(mem_.Inv16Mode, mem_.LoopUseAfi, mem_.LoopAfi, mem_.Inv16MaskLength, mask);
}

void RunnerActions::MnRDLoopPolCmdClick()
{
    TRDLoopPol1Dlg dlg(host_.hostWindow());
    dlg.EdBlockNum->setValue(mem_.LoopStartBlock);
    dlg.EdLen->setValue(mem_.LoopDataLength);
    dlg.EdAFI->setValue(mem_.LoopAfi);
    dlg.CBUseAFI->setChecked(mem_.LoopUseAfi);
    dlg.EdTime->setValue(100);
    GroupsFromBits(dlg.RGMemSW, 0);
    if (dlg.exec() != kModalOk)
        return;
    mem_.LoopStartBlock = uint8_t(dlg.EdBlockNum->value());
    mem_.LoopDataLength = uint8_t(dlg.EdLen->value());
    mem_.LoopAfi = uint8_t(dlg.EdAFI->value());
    mem_.LoopUseAfi = dlg.CBUseAFI->isChecked();
    const uint8_t param = BitsFromGroups(dlg.RGMemSW);
    const uint16_t time = uint16_t(dlg.EdTime->value());
    const uint8_t flags = uint8_t(GroupFlags(opt(), FlagGroup::Read) | (mem_.LoopUseAfi ? 0x20 : 0x00));
    if (TTComXDlg *c = comm())
        c->RDLoopPol_Command(flags, param, time, mem_.LoopStartBlock, mem_.LoopDataLength, mem_.LoopAfi);
}

void RunnerActions::MnRDLoopPolGetClick()
{
    if (TTComXDlg *c = comm())
        c->RDLoopPolGet_Command();
}

// ------------------------------------------------------------------ raw sender

void RunnerActions::MnCmdOutpClick()
{
    TCmdOutpDlg dlg(host_.hostWindow());
    dlg.Edit1->setText(mem_.LastRawCommand);
    if (dlg.exec() != kModalOk)
        return;
    const QString text = dlg.Edit1->text();
    if (text.size() > kMaxRawText) {
        host_.AppLog(QStringLiteral("文字列が不正です。"));
        return;
    }
    mem_.LastRawCommand = text;
    QByteArray bytes;
    HexTextToBytes(text, bytes);
    // 512 characters make at most 256 bytes; the buffer never holds more.
    bytes.truncate(kMaxRawBytes);
    TTComXDlg *c = comm();
    if (!c)
        return;
    // The operator typed the whole frame: it goes out as typed, no SUM added
    // or corrected, and whatever answers is shown by the router.
    c->ClearReplyState();
    // The reply to a typed frame is decoded as the reply to the command it
    // carries, not to whatever was sent before it.
    if (bytes.size() >= 3 && uint8_t(bytes.at(0)) == STX)
        c->setLastCommandCode(uint8_t(bytes.at(2)));
    if (c->LogTx()) {
        c->CommLog(QStringLiteral("コマンド発行"));
        c->CommLog(FormatHexBytes(bytes));
    }
    c->LinkSend(bytes);
    c->WaitAck();
}

// ------------------------------------------------------------------ tag test mode

void RunnerActions::MnTagTest1ONClick(bool on)
{
    TTComXDlg *c = comm();
    if (!c)
        return;
    const QPointer<TTComXDlg> module(c);
    QuietScope quiet(host_);
    const auto alive = [&module] { return !module.isNull(); };

    // 1. The mode as it is; its flags become SysMode. Without them nothing
    //    below could be set back as it was, so the sequence ends here.
    uint8_t mode = 0, mode2 = 0, flags = 0;
    if (!c->DousaModeSet_O(mode, mode2, flags) || !alive())
        return;
    opt().SysMode = flags;
    // 2. Command mode for the changes, not stored.
    c->DousaModeSet_N(false, 0x00, mode2, flags, opt().PolingTime);
    if (!c->WaitAck() || !alive())
        return;
    // 3. Memory switch 3, IO3 function: error output while testing.
    QByteArray w;
    if (!c->EEPROM_RDWR_CMD_RX(16, 1, w) || !alive() || w.size() < 2)
        return;
    w[1] = char(on ? (uint8_t(w[1]) | 0x01) : (uint8_t(w[1]) & ~0x01));
    c->EEPROM_RDWR_CMD_TX(16, 1, w);
    if (!c->WaitAck() || !alive())
        return;
    // 4. Memory switch 1, the no-read command.
    if (!c->EEPROM_RDWR_CMD_RX(4, 1, w) || !alive() || w.size() < 2)
        return;
    w[0] = char(on ? (uint8_t(w[0]) | 0x10) : (uint8_t(w[0]) & ~0x10));
    c->EEPROM_RDWR_CMD_TX(4, 1, w);
    if (!c->WaitAck() || !alive())
        return;
    // 5. Test mode 5 (or command mode), stored.
    if (!c->DousaModeSet_O(mode, mode2, flags) || !alive())
        return;
    uint8_t newMode = 0x00;
    if (on) {
        newMode = 0x54;
        opt().SysMode = uint8_t(opt().SysMode & ~0x08);
    }
    c->DousaModeSet_N(true, newMode, mode2, opt().SysMode, opt().PolingTime);
    c->WaitAck();
}

void RunnerActions::MnTagTest1ParaClick()
{
    TTComXDlg *c = comm();
    if (!c)
        return;
    const QPointer<TTComXDlg> module(c);
    QuietScope quiet(host_);
    const auto alive = [&module] { return !module.isNull(); };

    uint8_t mode = 0, mode2 = 0, flags = 0;
    if (!c->DousaModeSet_O(mode, mode2, flags) || !alive())
        return;
    c->DousaModeSet_N(false, 0x00, mode2, flags, opt().PolingTime);
    if (!c->WaitAck() || !alive())
        return;

    QByteArray w3, w14, w2_4, w2_10;
    if (!c->EEPROM_RDWR_CMD_RX(3, 1, w3) || !alive() || w3.size() < 2)
        return;
    if (!c->EEPROM_RDWR_CMD_RX(14, 1, w14) || !alive() || w14.size() < 2)
        return;
    if (!c->EEPROM_RDWR_CMD2_RX(4, 1, w2_4) || !alive() || w2_4.size() < 2)
        return;
    if (!c->EEPROM_RDWR_CMD2_RX(10, 1, w2_10) || !alive() || w2_10.size() < 2)
        return;
    mem_.TagTestCheckMode = uint8_t(w2_10[0]);
    mem_.TagTestWord10High = uint8_t(w2_10[1]);

    TKensaParaDlg dlg(host_.hostWindow());
    dlg.EdAFIValue->setValue(uint8_t(w3[1]));
    dlg.EdOUTPTime->setValue(uint8_t(w14[0]));
    dlg.EdInputChkTime->setValue(uint8_t(w14[1]));
    dlg.EdRdStAddr->setValue(uint8_t(w2_4[0]));
    dlg.EdDataLen->setValue(uint8_t(w2_4[1]));
    dlg.RGCheckMode->setItemIndex(mem_.TagTestCheckMode & 0x03);
    dlg.RGWriteData->setItemIndex((mem_.TagTestCheckMode >> 2) & 1);
    const bool set = dlg.exec() == kModalOk;
    if (!alive())
        return;
    if (set) {
        const auto word = [](int a, int b) { return QByteArray{} + char(uint8_t(a)) + char(uint8_t(b)); };
        c->EEPROM_RDWR_CMD_TX(3, 1, word(uint8_t(w3[0]), dlg.EdAFIValue->value()));
        c->WaitAck();
        if (!alive())
            return;
        c->EEPROM_RDWR_CMD_TX(14, 1, word(dlg.EdOUTPTime->value(), dlg.EdInputChkTime->value()));
        c->WaitAck();
        if (!alive())
            return;
        c->EEPROM_RDWR_CMD2_TX(4, 1, word(dlg.EdRdStAddr->value(), dlg.EdDataLen->value()));
        c->WaitAck();
        if (!alive())
            return;
        const int check = qMax(0, dlg.RGCheckMode->itemIndex()) & 0x03;
        const int write = qMax(0, dlg.RGWriteData->itemIndex()) & 0x01;
        mem_.TagTestCheckMode = uint8_t((mem_.TagTestCheckMode & ~0x07) | check | (write << 2));
        c->EEPROM_RDWR_CMD2_TX(10, 1, word(mem_.TagTestCheckMode, mem_.TagTestWord10High));
        c->WaitAck();
        if (!alive())
            return;
    }
    // Back to the mode it was in, not stored.
    c->DousaModeSet_N(false, mode, mode2, flags, opt().PolingTime);
    c->WaitAck();
}

// ------------------------------------------------------------------ RDLoop parameter

void RunnerActions::MnRDLoop1Click()
{
    TTComXDlg *c = comm();
    if (!c)
        return;
    const QPointer<TTComXDlg> module(c);
    QuietScope quiet(host_);
    QByteArray w;
    // The outcome is not examined: a failed read leaves the values last used.
    if (c->EEPROM_RDWR_CMD2_RX(4, 1, w) && w.size() >= 2) {
        mem_.RDLoopStartBlock = uint8_t(w[0]);
        mem_.RDLoopDataLength = uint8_t(w[1]);
    }
    if (!module)
        return;
    TRDLoopParamDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("RDLoopのパラメータの設定"));
    dlg.EdRdStAddr->setValue(mem_.RDLoopStartBlock);
    dlg.EdDataLen->setValue(mem_.RDLoopDataLength);
    if (dlg.exec() != kModalOk || !module)
        return;
    mem_.RDLoopStartBlock = uint8_t(dlg.EdRdStAddr->value());
    mem_.RDLoopDataLength = uint8_t(dlg.EdDataLen->value());
    c->EEPROM_RDWR_CMD2_TX(4, 1, QByteArray{} + char(mem_.RDLoopStartBlock) + char(mem_.RDLoopDataLength));
    c->WaitAck();
}

// ------------------------------------------------------------------ viewer

void RunnerActions::MnTagData1Click()
{
    TDispTagDataDlg dlg(host_, host_.hostWindow());
    dlg.exec();
}

} // namespace kx9
