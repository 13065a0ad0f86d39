#pragma once
// The "設定" menu as an operator sees it, and the reader's peripherals of
// "汎用コマンド", attached to the main window's items by objectName:
//  - "R/Wのパラメータ設定..." (Ctrl+Alt+P) with the tag family, the reader
//    restart and the tool following the mode the reader comes back in; a
//    Ctrl+click on its panel exports the reader's record to KX9RWConf.KXI;
//  - the antenna switching and I/O port dialog in its three uses, with the
//    cascade editor writing at once;
//  - buzzer, LED, ROM version, I/O port read and write, power state, simple
//    read, antenna selection and, among the items the menu profile hides,
//    RAM read and write, the polling write and the antenna relay selection;
//  - "環境設定...", the tool's own options, and what "OK" changes at once in
//    the main window (menus, result grid, the module's switches).
#include "config/antenna_dialogs.h"

#include "actions/action_steps.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace kx9 {

class ActionHost;
struct AppOptions;
class TTComXDlg;

class SettingsActions : public QObject, private ActionSteps {
    Q_OBJECT
public:
    explicit SettingsActions(ActionHost &host, QObject *parent = nullptr);
    void attach();

    // ---- reader parameters
    void MnSetPara3Click();
    void antennaDialog(AntennaUse use);   // MnKX9P80C1Click, MnSelAnt2Click, MnSetIO1Click
    // "カスケード接続の設定..." inside the antenna dialog `over`.
    void BtSetCascadeClick(QWidget *over);

    // ---- peripherals
    void MnSetBuz1Click(bool askNumber);   // "ブザー音１" / "ブザー音２"
    void MnLED1Click();
    void MnGetRomVerClick();
    void MnIOPORT1InClick();
    void MnIOPORT2InClick();
    void MnGetPWModeClick();
    void MnSimpleReadClick();
    void MnSelAntenaClick();
    void MnReadRAM1Click();
    void MnWriteRAM1Click();
    void MnPolWrite1Click();
    void MnSelRyClick();

    // ---- the tool's environment
    void MnConfig1Click();

    // Where the panel's Ctrl+click export writes KX9RWConf.KXI (empty: beside
    // the executable, or the user's data folder for an installed tool).
    QString exportFolder;

private:
    void guarded(const std::function<void()> &body, bool needsModule = true) { ActionSteps::guarded(body, needsModule); }
    // The sequence of the R/W parameter dialog; its result flag.
    bool rwParamSequence();
    // After the restart: the reader came back in `code` (not command mode).
    void followReaderMode(uint8_t code, uint8_t mode2, uint8_t flags);
    void txOffStep();
    void pause(int ms);
    void applyGridColumns(const AppOptions &o);
    void setItemVisible(const char *name, bool visible);

};

// Attaches the actions to the host's items (once per host: a second call does nothing).
void AttachSettingsActions(ActionHost &host);
SettingsActions *FindSettingsActions(ActionHost &host);

} // namespace kx9
