#include "config/mode_actions.h"

#include "actions/action_host.h"
#include "actions/action_steps.h"
#include "commands/ttcomxdlg.h"
#include "config/config_actions.h"
#include "config/mode_dialogs.h"
#include "link/main_state.h"
#include "link/options.h"
#include "ui/input_dialogs.h"

#include <QAction>
#include <QMessageBox>

namespace kx9 {

bool SetTagGroupS6700(ActionHost &host, TagFamily family)
{
    TTComXDlg *c = host.comm();
    uint8_t conf = 0;
    if (!c || !c->RX_S6700ModeSet(conf)) {
        host.AppLog(QStringLiteral("Error: KX9GetTagMode"));
        return false;
    }
    AppOptions &o = host.appOptions();
    o.S6700Conf = S6700ForTagFamily(conf, family);
    c->S6700ModeSet(o.S6700Conf, true);
    return c->WaitAck();
}

ModeActions::ModeActions(ActionHost &host, ConfigActions *config, QObject *parent)
    : QObject(parent), ActionSteps(host), config_(config)
{
}


// ---------------------------------------------------------------- operating mode

void ModeActions::MnSetDousaClick()
{
    TTComXDlg *c = comm();
    AppOptions &o = host_.appOptions();
    WindowDisabledScope disabled(host_.hostWindow());
    uint8_t code = 0, mode2 = 0, flags = 0;
    if (!c->DousaModeSet_O(code, mode2, flags)) {
        message(QStringLiteral("リーダーライターとの通信が出来ません、接続を確認してください"));
        return;
    }
    o.Cmdmode = code;
    o.SysMode = flags;
    host_.mainState().ModeRereadFlag = false;

    TDousaMode1Dlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.Show(o.PolingTime, code, flags, o.fVER121 != 0);
    if (dlg.exec() != kModalOk)
        return;
    o.Cmdmode = dlg.TakeCode();
    o.SysMode = dlg.TakeFlags();
    o.PolingTime = dlg.TakePollingTime();
    // Not waited for: a refusal shows up in the receiver's log.
    if ((c = comm()))
        c->DousaModeSet_N(dlg.storeInEeprom(), o.Cmdmode, mode2, o.SysMode, o.PolingTime);
    host_.ApplyCommandModeGating(o.Cmdmode == 0x00);
}

void ModeActions::MnSetMode2Click(bool storeInEeprom)
{
    TTComXDlg *c = comm();
    AppOptions &o = host_.appOptions();
    WindowDisabledScope disabled(host_.hostWindow());
    // A reader that does not answer leaves the byte the tool last knew.
    uint8_t conf = 0;
    if (c->RX_S6700ModeSet(conf))
        o.S6700Conf = conf;
    TModeSet2Dlg dlg(host_.hostWindow());
    dlg.setEnabled(true);
    dlg.Show(o.S6700Conf, storeInEeprom);
    if (dlg.exec() != kModalOk)
        return;
    o.S6700Conf = dlg.TakeS6700();
    if ((c = comm()))
        c->S6700ModeSet(o.S6700Conf, dlg.storeInEeprom());
}

void ModeActions::MnEnableEAS1Click()
{
    AppOptions &o = host_.appOptions();
    TSetEAS1Dlg dlg(host_.hostWindow());
    dlg.Show(o.EAS_ON_VALUE, o.EAS_OFF_VALUE);
    if (dlg.exec() != kModalOk)
        return;
    o.EAS_ON_VALUE = dlg.TakeOnValue();
    o.EAS_OFF_VALUE = dlg.TakeOffValue();
    TTComXDlg *c = comm();
    if (!c)
        return;
    QuietScope quiet(host_);
    c->AFI_RDWR_CMD_TX(o.EAS_ON_VALUE);
    if (!c->WaitAck())
        return;
    uint8_t code = 0, mode2 = 0, flags = 0;
    if (!c->DousaModeSet_O(code, mode2, flags))
        return;
    o.SysMode = flags;
    c->DousaModeSet_N(true, 0x24, mode2, o.SysMode, o.PolingTime);
    c->WaitAck();
}

void ModeActions::MnTxONClick(uint8_t onOff)
{
    comm()->TXON_OFF_CMD(onOff);
}

void ModeActions::MnRestartClick()
{
    host_.mainState().ModeRereadFlag = true;
    QuietScope quiet(host_);
    comm()->RESTART_CMD();
}

void ModeActions::MnGetErrRateClick()
{
    uint32_t s = 0, f = 0;
    if (!comm()->ERR_RATE_CMD_RX(s, f))
        return;
    host_.AppLog(SuccessRateText(s, f));
}

void ModeActions::MnClearErrRateClick()
{
    comm()->ERR_RATE_CMD_TX();
}

// ---------------------------------------------------------------- wiring

void ModeActions::attach()
{
    const auto on = [this](const char *name, std::function<void()> handler) {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler] { guarded(handler, true); });
    };
    on("MnSetDousa", [this] { MnSetDousaClick(); });
    on("MnSetMode2", [this] { MnSetMode2Click(false); });
    on("MnModeSet3", [this] { MnSetMode2Click(true); });
    on("MnEnableEAS1", [this] { MnEnableEAS1Click(); });
    on("MnTxON", [this] { MnTxONClick(1); });
    on("MnTXOFF", [this] { MnTxONClick(0); });
    on("MnTXOFFON1", [this] { MnTxONClick(2); });
    on("MnRestart", [this] { MnRestartClick(); });
    on("MnGetErrRate", [this] { MnGetErrRateClick(); });
    on("MnClearErrRate", [this] { MnClearErrRateClick(); });

    on("MnSetAFI", [this] { MnSetAFIClick(); });
    on("MnSetRWIDNUM", [this] { MnSetRWIDNUMClick(); });
    on("MnSetRetry", [this] { MnSetRetryClick(); });
    on("MnSetUserCode", [this] { MnSetUserCodeClick(); });
    on("MnSetMemSW", [this] { MnSetMemSWClick(); });
    on("MnSetWaitTimer", [this] { MnSetWaitTimerClick(); });
    // The two AFI items act on the same bit.
    const WordBit afi{4, true, 1}, buzzer{20, false, 4}, noRead{4, false, 4};
    on("MnAFIOff", [this, afi] { switchBit(afi, false); });
    on("MnAFIOn", [this, afi] { switchBit(afi, true); });
    on("MnInventoryAFI_OFF", [this, afi] { switchBit(afi, false); });
    on("MnInventoryAFI_ON", [this, afi] { switchBit(afi, true); });
    on("MnSetBuz_1", [this, buzzer] { switchBit(buzzer, false); });
    on("MnSetBuz_2", [this, buzzer] { switchBit(buzzer, true); });
    on("MnNoReadCmd_OFF", [this, noRead] { switchBit(noRead, false); });
    on("MnNoReadCmd_ON", [this, noRead] { switchBit(noRead, true); });
    on("MnAntiNormal", [this] { MnAntiNormalClick(false); });
    on("MnAntiFast", [this] { MnAntiNormalClick(true); });
    on("MnBuzFreq5KHz", [this] { MnBuzFreq5KHzClick(false); });
    on("MnBuzFreq2KHz", [this] { MnBuzFreq5KHzClick(true); });
    on("MnEEPROM1", [this] { MnEEPROM1Click(); });
    on("EEPROM21", [this] { EEPROM21Click(); });
    on("MnReadEEPROM2", [this] { MnReadEEPROM2Click(); });
    on("MnSetEEPROM2", [this] { MnSetEEPROM2Click(); });
}

} // namespace kx9
