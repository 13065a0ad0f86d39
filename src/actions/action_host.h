#pragma once
// What the menu actions need from the main window. The main window implements
// this; the actions attach themselves to its QActions by objectName.
#include <QString>

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

    // The command-mode gating: the command menus, the gated toolbar buttons
    // and the gated items of the gate menus are enabled when `commandMode` is
    // true, and always while the option fMenuDisp is set. The mode toggle
    // buttons and the pop-up menu are never part of it.
    virtual void ApplyCommandModeGating(bool commandMode) = 0;
    // The main window's menu profile again (as after the R/W parameter
    // dialog): hidden items hidden, option items by their options, and the
    // command menus disabled until the next switch to command mode.
    virtual void ApplyMenuProfile() = 0;
};

} // namespace kx9
