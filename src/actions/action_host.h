#pragma once
// What the menu actions need from the main window. The main window implements
// this; the actions attach themselves to its QActions by objectName.
#include <QStringList>

class QAction;
class QWidget;

namespace kx9 {

struct AppOptions;
struct MainState;
class TTComXDlg;

class ActionHost {
public:
    virtual ~ActionHost() = default;
    virtual QWidget *hostWindow() = 0;                 // parent of the action dialogs
    virtual AppOptions &appOptions() = 0;
    virtual MainState &mainState() = 0;
    virtual TTComXDlg *comm() = 0;                     // null until the module exists
    virtual void AppLog(const QString &text) = 0;
    virtual void SuspendLogging() = 0;
    virtual void ResumeLogging() = 0;
    // Menu item or toolbar action by objectName (null if there is none).
    virtual QAction *findAction(const QString &objectName) = 0;

    // Enables or disables everything that is usable only while the reader is
    // in command mode: the toolbar buttons "タグの動作モードの設定",
    // "動作モードの設定", "タグへのデータの書き込み" and ToolButton2, the top
    // menus "汎用コマンド", "コマンド", "ISO15693コマンド", "my-dコマンド",
    // "TAG-ITコマンド", "設定", "カスタムコマンド", the submenu "TI Light" and
    // the gated items of the two gate menus. The mode toggle buttons and the
    // pop-up menu are never part of it. The default reaches the items it can
    // name through findAction (CommandModeGatedNames()); a window whose menus
    // carry other names overrides it.
    virtual void SetCommandModeItemsEnabled(bool enabled);
};

// objectNames the default SetCommandModeItemsEnabled looks up.
const QStringList &CommandModeGatedNames();

} // namespace kx9
