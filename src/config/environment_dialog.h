#pragma once
// TConfig1Dlg "環境設定": the tool's own options (not the reader's) on four
// pages: how the ISO 15693 commands build their request flags, the EAS
// values, the log and display switches with the reader ID and block size,
// and the request-flag bits of the "各フラグ設定" override. Two pages and two
// controls are always hidden and two more are revealed by a Shift+Ctrl click
// on the "デバッグ" panel; hidden controls still carry their options.
#include <QDialog>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTabWidget;

namespace kx9 {

struct AppOptions;
class ClickPanel;
class IntEdit;
class ParamRadioGroup;

// The communication module's part of the dialog: its switches and the reader
// ID it puts into every request frame.
struct ModuleSettings {
    int fDispRecInfo = 1;
    int fDispTxInfo = 1;
    int fWrDebug1 = 0;
    int fDispCont1 = 1;
    uint8_t IDNo = 0;
};

class TConfig1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TConfig1Dlg(QWidget *parent = nullptr);

    // Every control from its option; the revealable check boxes are shown
    // only while their option is set.
    void ShowOptions(const AppOptions &o, const ModuleSettings &m);

    // Taking back, one group per step of "OK" (the caller interleaves what
    // each step changes in the main window). A list or radio group with no
    // item chosen (its option held a value it has no item for) leaves that
    // option as it was.
    void TakeModuleAndFlags(AppOptions &o, ModuleSettings &m) const;   // lock items, module switches, grid flags
    void TakeRomVersion(AppOptions &o) const;                          // fVER121
    void TakeGateCommands(AppOptions &o) const;                        // fGateCmd
    void TakeRequestOptions(AppOptions &o, ModuleSettings &m) const;   // UID/option flags, ID, block size, EAS
    void TakeExtendedMenus(AppOptions &o) const;                       // fDispEXTSet1
    void TakeSwitches(AppOptions &o) const;                            // fInvTxOff, fUSESetOption
    void TakeProgFlags(AppOptions &o) const;                           // Prog15693FLAG

    // Dialog handlers.
    void BtSetTagitClick();
    void BtSetICode2Click();
    void CBUseInOutFormatClick();
    void Panel2Click(Qt::KeyboardModifiers modifiers);

    void reject() override;

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabEnvironment = nullptr, *TabEas = nullptr, *TabDebug = nullptr, *TabFlags = nullptr;
    // "動作環境"
    QComboBox *CBSelUID = nullptr, *CBReadSelUID = nullptr, *CBWriteSelUID = nullptr;
    ParamRadioGroup *RGReadOption = nullptr, *RGWriteOption = nullptr;
    QCheckBox *CBEnabLockBlock = nullptr, *CBProgSetFlag = nullptr;
    QPushButton *BtSetTagit = nullptr, *BtSetICode2 = nullptr;
    // "EASの設定"
    IntEdit *IntEdEASON = nullptr, *IntEdEASOFF = nullptr;
    // "デバッグ"
    ClickPanel *Panel2 = nullptr;
    QCheckBox *CBfDispRecInfo = nullptr, *CBfDispTxInfo = nullptr, *CBfWrDebug1 = nullptr, *CBDispCont1 = nullptr;
    QCheckBox *CBInventory2 = nullptr, *CBUseInOutFormat = nullptr, *CBBinaryWrite = nullptr;
    ParamRadioGroup *RGChannelMode = nullptr;
    IntEdit *EdRWID = nullptr, *EdBlockSize = nullptr;
    QCheckBox *CBROMVer200 = nullptr, *CBGateCmd = nullptr, *CBDispEXTSet1 = nullptr, *CBInvTxOff = nullptr;
    // "フラグ設定"
    QComboBox *CBUidFlag = nullptr;
    ParamRadioGroup *RGSelect = nullptr, *RGAddress = nullptr, *RGOption = nullptr, *RGAFI = nullptr,
                    *RGNBSlots = nullptr, *RBDummy1 = nullptr;
    QPushButton *BtOK = nullptr, *BtCancel = nullptr;
};

} // namespace kx9
