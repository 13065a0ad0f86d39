#include "config/settings_actions.h"

#include "actions/action_host.h"
#include "actions/action_util.h"
#include "commands/ttcomxdlg.h"
#include "actions/action_steps.h"
#include "config/eeprom2_dialog.h"
#include "config/environment_dialog.h"
#include "config/mode_actions.h"
#include "config/param_io.h"
#include "config/peripheral_dialogs.h"
#include "config/rw_param_dialog.h"
#include "config/wide_int_edit.h"
#include "link/main_state.h"
#include "link/options.h"
#include "link/tag_list.h"
#include "link/text_codec.h"
#include "ui/input_dialogs.h"
#include "ui/int_edit.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

namespace kx9 {

namespace {

constexpr int kRestartPauseMs = 200;

void setBox(IntEdit *box, int radix, int lo, int hi, int value)
{
    box->setRadix(radix);
    box->setRange(lo, hi);
    box->setValue(value);
}

// The prompt and box of a three-value dialog that an action does not use.
void hideField(QLabel *prompt, QWidget *box)
{
    prompt->clear();
    box->setVisible(false);
}

} // namespace

SettingsActions::SettingsActions(ActionHost &host, QObject *parent) : QObject(parent), ActionSteps(host) {}


void SettingsActions::pause(int ms)
{
    // The receiver keeps running meanwhile, so the restart's own ACK is
    // routed before the next query goes out.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void SettingsActions::setItemVisible(const char *name, bool visible)
{
    if (QAction *a = host_.findAction(QLatin1String(name)))
        a->setVisible(visible);
}

// ---------------------------------------------------------------- R/W parameter dialog

void SettingsActions::MnSetPara3Click()
{
    bool r = false;
    {
        QuietScope busy(host_);
        r = rwParamSequence();
    }
    host_.AppLog(r ? QStringLiteral("SET EEPROM : OK") : QStringLiteral("SET EEPROM : NG"));
}

bool SettingsActions::rwParamSequence()
{
    TTComXDlg *c = comm();
    uint8_t code = 0, mode2 = 0, flags = 0;
    if (!c->DousaModeSet_O(code, mode2, flags)) {
        message(QStringLiteral("リーダーライターとの通信が出来ません、接続を確認してください"));
        return false;
    }
    if (code != 0x00) {
        message(QStringLiteral("コマンドモードに変更してから、再実行してください"));
        return true;   // nothing failed: the query itself was answered
    }
    const bool rom121 = c->RomVersionCompare(121) >= 0;
    ParamArea1 a1{};
    ParamArea2 a2{};
    QByteArray words;
    if (!c->EEPROM_RDWR_CMD_RX(1, kArea1Words, words) || !PutAreaWords(a1, 1, words))
        return false;
    if (rom121 && (!c->EEPROM_RDWR_CMD2_RX(4, 1, words) || !PutAreaWords(a2, 4, words)))
        return false;

    TParamSet3Dlg dlg(rom121, host_.hostWindow());
    dlg.setEnabled(true);   // its owner is disabled, the dialog is the operator's
    dlg.ShowParams(a1, a2);
    connect(&dlg, &TParamSet3Dlg::panelCtrlClicked, this, [this, rom121] {
        // A second click while the export still waits for the reader is ignored.
        TTComXDlg *m = comm();
        if (m && !m->InWait())
            ExportReaderSettings(host_, rom121, exportFolder);
    });
    if (dlg.exec() != kModalOk)
        return true;
    dlg.TakeParams(a1, a2);
    if (!(c = comm()))
        return false;

    bool written = WriteArea1Words(*c, a1, 1, kArea1Words);
    if (written && rom121)
        written = WriteArea2Words(*c, a2, 4, 1);

    if (dlg.selectTag()) {
        const TagFamily family = dlg.family();
        host_.appOptions().TagBlockSize = family == TagFamily::Fujitsu ? 8 : 4;
        SetTagGroupS6700(host_, family);
    }
    // The restart runs whatever the writes got back: the reader takes what it stored.
    if (!(c = comm()))
        return false;
    c->RESTART_CMD();
    pause(kRestartPauseMs);
    if (!(c = comm()))
        return false;
    const bool r = c->DousaModeSet_O(code, mode2, flags);
    if (r && code != 0x00) {
        host_.ApplyMenuProfile();
        followReaderMode(code, mode2, flags);
    }
    // A refused write is a failure even when the reader answers after its restart.
    return r && written;
}

void SettingsActions::followReaderMode(uint8_t code, uint8_t mode2, uint8_t flags)
{
    // The pop-up mode items "オートスキャン" and "連続インベントリ": the toolbar
    // button pressed, then the quick switch into that mode.
    const char *button = code == 0x01 ? "TBtSetATRMD" : code == 0x50 ? "TBtSetTest1Mode" : nullptr;
    if (!button)
        return;
    if (QAction *b = host_.findAction(QLatin1String(button)))
        b->setChecked(true);
    AppOptions &o = host_.appOptions();
    if (o.fInvTxOff != 0)
        txOffStep();
    // The reader has just said which flags and mode byte 2 it restarted with:
    // those go back, so the switch does not overwrite them with the tool's
    // older copy.
    o.SysMode = flags;
    host_.ApplyCommandModeGating(false);
    if (TTComXDlg *c = comm())
        c->DousaModeSet_N(false, code, mode2, o.SysMode, o.PolingTime);
}

void SettingsActions::txOffStep()
{
    TTComXDlg *c = comm();
    if (!c)
        return;
    QuietScope quiet(host_);
    uint8_t memSwitch3 = 0;
    if (c->RXParamData(kParamMemorySwitch3, memSwitch3)) {
        c->TxSetParamData(kParamMemorySwitch3, uint8_t(memSwitch3 | 0x18));
        c->WaitAck();
    }
}

// ---------------------------------------------------------------- antenna and I/O port dialog

void SettingsActions::antennaDialog(AntennaUse use)
{
    QuietScope busy(host_);
    TTComXDlg *c = comm();
    ParamArea1 area{};
    const QVector<int> words = AntennaUseWords(use);
    for (int w : words) {
        QByteArray bytes;
        const bool read = c->EEPROM_RDWR_CMD_RX(uint8_t(w), 1, bytes) && PutAreaWords(area, w, bytes);
        // The switch words are checked once more, as the switches do; the
        // port-function word stands on its own read.
        const bool checked = w == 16 || c->WaitAck();
        if (!read || !checked)
            return;
    }
    TSetAnt1Rom1Dlg dlg(use, host_.hostWindow());
    dlg.setEnabled(true);
    dlg.ShowWords(area);
    connect(&dlg, &TSetAnt1Rom1Dlg::cascadeRequested, this, [this, &dlg] { BtSetCascadeClick(&dlg); });
    if (dlg.exec() != kModalOk)
        return;
    dlg.TakeWords(area);
    for (int w : words) {
        if (!(c = comm()) || !WriteArea1Words(*c, area, w, 1))
            return;   // the words already written stay written
    }
}

void SettingsActions::BtSetCascadeClick(QWidget *over)
{
    TTComXDlg *c = comm();
    if (!c || c->InWait())
        return;
    QuietScope busy(host_);
    ParamArea2 area{};
    QByteArray bytes;
    if (!c->EEPROM_RDWR_CMD2_RX(1, 3, bytes) || !PutAreaWords(area, 1, bytes))
        return;
    ParamDialogContext ctx;
    ctx.options = &host_.appOptions();
    TSetEEPROM2Dlg dlg(ctx, over);
    // Only the antenna outputs: the other pages show the form as it is made
    // and are neither filled nor read back.
    for (const QString &title : {QStringLiteral("RFLOOPモード"), QStringLiteral("MemSw7"), QStringLiteral("MemSw8")})
        for (int i = 0; i < dlg.PageControl1->count(); ++i)
            if (dlg.PageControl1->tabText(i) == title)
                dlg.PageControl1->setTabVisible(i, false);
    if (QWidget *wait = dlg.control(QStringLiteral("EdChgWaitTime"))) {
        wait->setVisible(false);
        for (QLabel *l : wait->parentWidget()->findChildren<QLabel *>())
            if (l->buddy() == wait || l->text() == QLatin1String("ms"))
                l->setVisible(false);
    }
    ParamValues v;
    for (int k = 0; k < 4; ++k) {
        v.insert(QStringLiteral("EdANT%1_SELNUM").arg(2 * k + 1), area[2 + k] & 0x0F);
        v.insert(QStringLiteral("EdANT%1_SELNUM").arg(2 * k + 2), area[2 + k] >> 4);
    }
    dlg.setValues(v);
    if (dlg.exec() != kModalOk)
        return;
    const ParamValues got = dlg.values();
    for (int k = 0; k < 4; ++k) {
        const int odd = got.value(QStringLiteral("EdANT%1_SELNUM").arg(2 * k + 1)) & 0x0F;
        const int even = got.value(QStringLiteral("EdANT%1_SELNUM").arg(2 * k + 2)) & 0x0F;
        area[2 + k] = uint8_t(odd | (even << 4));
    }
    if ((c = comm()))
        WriteArea2Words(*c, area, 1, 3);
}

// ---------------------------------------------------------------- peripherals

void SettingsActions::MnSetBuz1Click(bool askNumber)
{
    uint8_t sound = 0;
    if (askNumber) {
        TInputIntDlg dlg(host_.hostWindow());
        dlg.setWindowTitle(QStringLiteral("ブザーＮＯの設定"));
        dlg.STTitle->setText(QStringLiteral("ＮＯを入力してください"));
        setBox(dlg.IntEd, 10, 0, 8, 0);
        if (dlg.exec() != kModalOk)
            return;
        sound = uint8_t(dlg.IntEd->value());
    }
    if (TTComXDlg *c = comm())
        c->Buzzer_Command(sound);
}

void SettingsActions::MnLED1Click()
{
    TLEDContDlg dlg(host_.hostWindow());
    if (dlg.exec() != kModalOk)
        return;
    if (TTComXDlg *c = comm())
        c->SET_LEDCONT(uint8_t(dlg.led()), uint8_t(dlg.controlMode()), uint8_t(dlg.time() & 0xFF));
}

void SettingsActions::MnGetRomVerClick() { comm()->RomVersionQuery(); }

void SettingsActions::MnIOPORT1InClick() { comm()->Port_Read_Command(); }

void SettingsActions::MnIOPORT2InClick()
{
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("汎用ポートの設定"));
    dlg.STTitle1->setText(QStringLiteral("ポートの指示(HEX)"));
    setBox(dlg.IntEd1, 16, 0, 0xFF, 0);
    dlg.STTitle2->setText(QStringLiteral("ポートの設定値(HEX)"));
    setBox(dlg.IntEd2, 16, 0, 0xFF, 0);
    hideField(dlg.STTitle3, dlg.EdString);
    if (dlg.exec() != kModalOk)
        return;
    if (TTComXDlg *c = comm())
        c->Port_Write_Command(uint8_t(dlg.IntEd1->value()), uint8_t(dlg.IntEd2->value()));
}

void SettingsActions::MnGetPWModeClick() { comm()->POWERDOWN_CMD_O(); }

void SettingsActions::MnSimpleReadClick()
{
    TTComXDlg *c = comm();
    c->Simple_Read_Command();
    if (!c->WaitAnyReply()) {
        host_.AppLog(QStringLiteral("コマンドエラー"));
        return;
    }
    // A copy: the reassembly buffer is the receiver's.
    const QByteArray frame = c->RxFrame().bytes();
    const FrameView f(frame);
    const QByteArray data = f.dataBytes();   // what LEN announced and what arrived
    const auto text = [](const QByteArray &bytes) {
        QByteArray b = bytes;
        b.replace(char(0), QByteArray());   // a zero byte adds nothing
        return DecodeCp932(b);
    };
    switch (f.kind()) {
    case '1':
        host_.AppLog(QStringLiteral("NAK 受信"));
        break;
    case 'D':
        host_.AppLog(QStringLiteral("D_command 受信"));
        host_.AppLog(text(data));
        break;
    case 'd': {
        host_.AppLog(QStringLiteral("d_command 受信"));
        // The UID most significant byte first; a report shorter than a UID
        // shows the bytes it has, never bytes it did not bring.
        QString uid;
        for (int i = std::min<int>(8, int(data.size())) - 1; i >= 0; --i)
            uid += QStringLiteral("%1 ").arg(uint8_t(data.at(i)), 2, 16, QLatin1Char('0')).toUpper();
        host_.AppLog(uid);
        host_.AppLog(text(data.mid(8)));
        break;
    }
    default:
        host_.AppLog(QStringLiteral("コマンドエラー"));
        break;
    }
}

void SettingsActions::MnSelAntenaClick()
{
    TTComXDlg *c = comm();
    uint8_t antenna = 0;
    if (!c->SELANTENA_CMD_O(antenna))
        return;   // the wait has said why
    TInputIntDlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("アンテナの選択[0-7]"));
    dlg.STTitle->setText(QStringLiteral("アンテナの番号（アンテナ 1-->0）"));
    setBox(dlg.IntEd, 10, 0, 63, antenna);
    if (dlg.exec() != kModalOk)
        return;
    if (!(c = comm()))
        return;
    c->SELANTENA_CMD_N(uint8_t(dlg.IntEd->value()));
    c->WaitAck();
}

void SettingsActions::MnReadRAM1Click()
{
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("ＲＡＭデータの取得"));
    dlg.STTitle1->setText(QStringLiteral("アドレス(HEX)"));
    setBox(dlg.IntEd1, 16, 0, 0xFFFF, 0);
    hideField(dlg.STTitle2, dlg.IntEd2);
    dlg.STTitle3->setText(QStringLiteral("データ長"));
    setBox(dlg.IntEd3, 10, 1, 4, 1);
    if (dlg.exec() != kModalOk)
        return;
    if (TTComXDlg *c = comm())
        c->RAM_Read_Command(uint16_t(dlg.IntEd1->value()), uint8_t(dlg.IntEd3->value()));
}

void SettingsActions::MnWriteRAM1Click()
{
    TInp3Data1Dlg dlg(host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("ＲＡＭデータの設定(HEX)"));
    dlg.STTitle1->setText(QStringLiteral("アドレス（HEX）"));
    dlg.STTitle2->setText(QStringLiteral("書き込むデータ(HEX)"));
    dlg.IntEd1->setRadix(16);
    dlg.IntEd2->setRadix(16);
    // Both take full 32-bit values, more than the shared number box holds.
    WideIntEdit *address = ReplaceWithWideBox(&dlg, dlg.IntEd1);
    WideIntEdit *value = ReplaceWithWideBox(&dlg, dlg.IntEd2);
    for (WideIntEdit *b : {address, value}) {
        b->setRadix(16);
        b->setRange(0, 0xFFFFFFFFLL);
        b->setValue(0);
    }
    dlg.STTitle3->setText(QStringLiteral("データ長"));
    setBox(dlg.IntEd3, 10, 1, 4, 1);
    if (dlg.exec() != kModalOk)
        return;
    const int n = dlg.IntEd3->value();
    // The command sends the n most significant bytes of what it is given, so
    // the n low-order bytes of the value go first in line.
    const uint32_t shifted = n >= 4 ? uint32_t(value->value()) : uint32_t(value->value()) << (8 * (4 - n));
    if (TTComXDlg *c = comm())
        c->RAM_Write_Command(uint16_t(address->value() & 0xFFFF), uint8_t(n), shifted);
}

void SettingsActions::MnPolWrite1Click()
{
    AppOptions &o = host_.appOptions();
    MainState &st = host_.mainState();
    TInp3Data2Dlg dlg(false, host_.hostWindow());
    dlg.setWindowTitle(QStringLiteral("設定値の入力"));
    dlg.STTitle1->setText(QStringLiteral("ブロックＮＯ"));
    setBox(dlg.IntEd1, 10, 0, 255, st.MultiFirstBlock);
    dlg.STTitle2->setText(QStringLiteral("ポーリング時間(*10ms)"));
    setBox(dlg.IntEd2, 10, 0, 255, 500);   // the box's range makes it 255
    dlg.STTitle3->setText(QStringLiteral("データ（文字列）"));
    dlg.EdString->setText(st.LastDataText);
    if (dlg.exec() != kModalOk)
        return;
    st.MultiFirstBlock = uint8_t(dlg.IntEd1->value());
    st.LastDataText = dlg.EdString->text();
    const int n = std::min<int>(int(EncodeCp932(st.LastDataText).size()), std::max(0, o.TagWriteNum));
    const QByteArray data = TextToBlockBytes(st.LastDataText, n);
    const uint8_t flags = uint8_t((o.WriteOptionFlag & 1) * 0x10 + (o.WriteUidFlag & 3));
    if (TTComXDlg *c = comm())
        c->PolWrite(st.MultiFirstBlock, data, flags, o.SysMode, uint16_t(dlg.IntEd2->value()));
}

void SettingsActions::MnSelRyClick()
{
    TTComXDlg *c = comm();
    const uint8_t port = c->Port_Read_Command();   // 0 when it was not answered
    TRYSelDlg dlg(host_.hostWindow());
    dlg.setAntenna(port & 7);
    if (dlg.exec() != kModalOk)
        return;
    if ((c = comm()))
        c->Port_Write_Command(0x07, uint8_t(dlg.antenna()));
}

// ---------------------------------------------------------------- environment

void SettingsActions::applyGridColumns(const AppOptions &o)
{
    QWidget *w = host_.hostWindow();
    auto *grid = w ? w->findChild<QTableWidget *>(QStringLiteral("StringGrid1")) : nullptr;
    if (!grid)
        return;
    const bool inOut = o.fUseInOutFormat != 0;
    grid->setColumnCount(inOut ? 5 : 4);
    if (inOut) {
        // The grid's own heading writer keeps the heading style.
        if (auto *view = dynamic_cast<TagListView *>(grid))
            view->setCell(0, 4, o.InOutTitle);
        else
            grid->setHorizontalHeaderItem(4, new QTableWidgetItem(o.InOutTitle));
    }
    grid->viewport()->update();
}

void SettingsActions::MnConfig1Click()
{
    AppOptions &o = host_.appOptions();
    TTComXDlg *c = comm();
    ModuleSettings m;
    if (c) {
        m.fDispRecInfo = c->LogRx();
        m.fDispTxInfo = c->LogTx();
        m.fWrDebug1 = c->comDebug().fWrDebug1;
        m.fDispCont1 = c->comDebug().fDispCont1;
        m.IDNo = c->comDebug().IDNo;
    }
    TConfig1Dlg dlg(host_.hostWindow());
    dlg.ShowOptions(o, m);
    if (dlg.exec() != kModalOk)
        return;

    dlg.TakeModuleAndFlags(o, m);
    if ((c = comm())) {
        // The live switches and the ComDebug values saved at close alike.
        c->setLogRx(m.fDispRecInfo);
        c->setLogTx(m.fDispTxInfo);
        c->comDebug().fDispRecInfo = m.fDispRecInfo;
        c->comDebug().fDispTxInfo = m.fDispTxInfo;
        c->comDebug().fWrDebug1 = m.fWrDebug1;
        c->comDebug().fDispCont1 = m.fDispCont1;
    }
    dlg.TakeRomVersion(o);
    setItemVisible("MnSetSpeed", o.fVER121 != 0);
    setItemVisible("MnSetAnci", o.fVER121 != 0);
    dlg.TakeGateCommands(o);
    setItemVisible("MnGateCmd", o.fGateCmd != 0);
    setItemVisible("W301", o.fGateCmd != 0 && o.fW30 != 0);
    dlg.TakeRequestOptions(o, m);
    if ((c = comm()))
        c->comDebug().IDNo = m.IDNo;
    applyGridColumns(o);
    dlg.TakeExtendedMenus(o);
    // "アンチコリジョン設定" ends up following this row, whatever the ROM row set.
    for (const char *name : {"MnInventoryAFI1", "MnSetBuz", "MnNoReadCmd", "MnSetRetry", "MnRDLoop1", "MnSetAnci",
                             "MnSetAFI", "MnAFI1", "MnSetRWIDNUM"})
        setItemVisible(name, o.fDispEXTSet1 != 0);
    dlg.TakeSwitches(o);
    dlg.TakeProgFlags(o);
}

// ---------------------------------------------------------------- wiring

void SettingsActions::attach()
{
    const auto on = [this](const char *name, std::function<void()> handler, bool needsModule = true) {
        QAction *a = host_.findAction(QLatin1String(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, handler, needsModule] { guarded(handler, needsModule); });
    };
    on("MnSetPara3", [this] { MnSetPara3Click(); });
    on("MnKX9P80C1", [this] { antennaDialog(AntennaUse::KX9P80C); });
    on("MnSelAnt2", [this] { antennaDialog(AntennaUse::SwitchBoard); });
    on("MnSetIO1", [this] { antennaDialog(AntennaUse::IoPorts); });
    on("MnSetBuz1", [this] { MnSetBuz1Click(false); });
    on("MnSetBuz2", [this] { MnSetBuz1Click(true); });
    on("MnLED1", [this] { MnLED1Click(); });
    on("MnGetRomVer", [this] { MnGetRomVerClick(); });
    on("MnIOPORT1In", [this] { MnIOPORT1InClick(); });
    on("MnIOPORT2In", [this] { MnIOPORT2InClick(); });
    on("MnGetPWMode", [this] { MnGetPWModeClick(); });
    on("MnSimpleRead", [this] { MnSimpleReadClick(); });
    on("MnSelAntena", [this] { MnSelAntenaClick(); });
    on("MnReadRAM1", [this] { MnReadRAM1Click(); });
    on("MnWriteRAM1", [this] { MnWriteRAM1Click(); });
    on("MnPolWrite1", [this] { MnPolWrite1Click(); });
    on("MnSelRy", [this] { MnSelRyClick(); });
    on("MnConfig1", [this] { MnConfig1Click(); }, false);
}

void AttachSettingsActions(ActionHost &host)
{
    if (FindSettingsActions(host))
        return;
    auto *actions = new SettingsActions(host, host.hostWindow());
    actions->setObjectName(QStringLiteral("SettingsActions"));
    actions->attach();
}

SettingsActions *FindSettingsActions(ActionHost &host)
{
    QWidget *w = host.hostWindow();
    return w ? w->findChild<SettingsActions *>(QStringLiteral("SettingsActions"), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace kx9
