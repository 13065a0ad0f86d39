#pragma once
// The network board settings: the dialog that shows every setting of the
// reader's LAN module, and the operation that reads them over the module's
// Telnet console, lets the operator edit them and writes them back.
#include "net/lan_module.h"

#include <QDialog>
#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;

namespace kx9 {

class ActionHost;
class IntEdit;

class TParaSet1Dlg : public QDialog {
    Q_OBJECT
public:
    explicit TParaSet1Dlg(QWidget *parent = nullptr);

    void showSettings(const LanModuleSettings &settings);
    LanModuleSettings takeSettings() const;

    // The settings that could not be read. "設定" then asks first whether the
    // shown values of those go into the module too, only the ones read, or
    // nothing (back to the dialog).
    void setUnread(LanKeys unread) { unread_ = unread & kWritableLanKeys; }
    // The settings the operator chose to write (all of them unless asked).
    LanKeys writeKeys() const { return writeKeys_; }

    void accept() override;

private:
    LanKeys unread_ = 0;
    LanKeys writeKeys_ = kWritableLanKeys;
    std::array<IntEdit *, 6> EdMac{};
    std::array<IntEdit *, 4> EdTCPIP1{};
    std::array<IntEdit *, 4> EdTCPIP2{};
    IntEdit *EdPort1 = nullptr;
    IntEdit *EdPort2 = nullptr;
    IntEdit *Edmask = nullptr;
    QCheckBox *CBAutoConnect = nullptr;
    QComboBox *ComboBox1 = nullptr;
    IntEdit *EdTxTiming = nullptr;
    QButtonGroup *keep_ = nullptr;
    IntEdit *EdChkTimer = nullptr;
};

// The "ネットワークボードの設定値..." action. `kept` holds the module's
// settings between uses while the tool runs.
void NetworkBoardSettings(ActionHost &host, LanModuleSettings &kept);

} // namespace kx9
