#pragma once
// The main window: menus, toolbar, connection panel, result grid, log and
// status bar; start-up and closing of the whole tool.
#include "actions/action_host.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabWidget;
class QTimer;
class QToolBar;

namespace kx9 {

class LogPane;
class SerialSetup;
class LogTarget;
class TagGrid;
class TTComXDlg;

class TKX9AppForm : public QMainWindow, public ActionHost {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 620;
    static constexpr int kDesignHeight = 523;
    static constexpr int kInOutExtraWidth = 65;
    static constexpr int kAppLogLimit = 1000;

    // Start-up steps up to the first show: options read from `iniPath`,
    // feature switches, headings, idle rule, menu profile. The link is opened
    // when the window is first shown.
    explicit TKX9AppForm(const QString &iniPath, QWidget *parent = nullptr);
    ~TKX9AppForm() override;

    // ---- ActionHost
    QWidget *hostWindow() override { return this; }
    AppOptions &appOptions() override { return options_; }
    MainState &mainState() override { return state_; }
    TTComXDlg *comm() override;
    void AppLog(const QString &text) override;
    void SuspendLogging() override;
    void ResumeLogging() override;
    QAction *findAction(const QString &objectName) override;

    const QString &iniPath() const { return iniPath_; }
    // Creates the communication module on the configured link; on a serial
    // link on COM `port` at the speed of `speedCode` (the option values stay
    // as they are). Every link that fails to open says so in a message box.
    bool CreateModule(int port, int speedCode);

    // Where start-up stands: running once the link is up and Timer1 runs;
    // ended when it was cancelled or the window has closed.
    enum class StartState { NotStarted, Starting, Running, Ended };
    StartState startState() const { return startState_; }

    // ---- menu rules
    // Option-dependent visibility of the feature switch table.
    void ApplyFeatureSwitches();
    // Items hidden for the whole run, items shown, the option-dependent items
    // of the profile, and the command menus disabled until the next switch to
    // command mode (unless fMenuDisp is set), at creation and when applied again.
    void ApplyMenuProfile() override;
    // Command-mode gating used by the mode actions: the gated set is enabled
    // in command mode, and always while fMenuDisp is set.
    void ApplyCommandModeGating(bool commandMode) override;
    // The rows re-applied after the environment settings dialog.
    void ApplyEnvironmentSwitches();
    // The idle rule: the lock items follow EnabLockBlock.
    void ApplyLockItemVisibility();
    // objectNames of the gated set (menus, submenus, items, toolbar buttons).
    static QStringList CommandModeGatedNames();
    // objectNames hidden for the whole run by the profile.
    static QStringList ProfileHiddenNames();

    // ---- logs
    LogPane *logPane() const { return Memo1; }
    LogTarget *mainLog() const;
    bool logSwitch() const { return logSwitch_; }
    // The main window's own log switch (the one AppLog obeys) alone.
    void setLogSwitch(bool on) { logSwitch_ = on; }
    // CommLog goes to `target` (e.g. the command runner's log) until RestoreCommLog.
    void RedirectCommLog(LogTarget *target);
    void RestoreCommLog();

    // ---- grid, file, clipboard
    TagGrid *grid() const { return StringGrid1; }
    void SaveGridCsv();
    // Writes the grid to `csvPath` as it is; false (and a message) when the file cannot be created.
    bool WriteGridCsv(const QString &csvPath);
    void CopyCell();
    // The pop-up "クリア".
    void ClearResults();

    // ---- status bar and timer
    void setStatusHint(const QString &text);
    QString statusHint() const;
    QString countText() const;
    QTimer *receiveTimer() const { return Timer1; }
    void ShowAboutBox();

signals:
    // Start-up has finished: `running` false when it ended the tool.
    void startUpFinished(bool running);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void destroyModuleWhenIdle();
    static constexpr int kModuleReapMs = 50;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();          // main_menu.cpp
    void buildToolBar();
    void buildConnectionPanel(QWidget *parent);
    void buildPages();
    void buildPopupMenu();
    void buildStatusBar();
    void connectOwnItems();
    void setItemVisible(const QString &name, bool visible);
    void setItemEnabled(const QString &name, bool enabled);
    void applyGateRows();
    void applyExtendedSettingsRow();
    void applyShownWhileSetRows();
    void StartUp();
    void finishStartUp();        // panel, timer, first page: the link is up
    void ChangeReaderSpeed(int bps);
    void CheckPorts();
    // Start-up ends on an option no link can work with, after saying which.
    void refuseOption(const QString &key, int value, const QString &hint);
    bool createModuleAndOpen();
    bool waitForTcpConnection();
    void showConnectionPanel();
    void endStartUp(bool running);
    void onIdle();

    QString iniPath_;
    AppOptions options_;
    MainState state_;
    QPointer<TTComXDlg> comm_;
    SerialSetup *serial_ = nullptr;
    bool linkOpenFailed_ = false;   // the last opening of the link failed (and said so)
    bool logSwitch_ = true;
    int savedLogRx_ = 1;
    int savedLogTx_ = 1;
    bool eepromInitFlag_ = false;
    // The lock items, looked up once: the idle rule runs every time the event
    // loop goes idle, far too often for a search of the whole window.
    QList<QAction *> lockItems_;
    bool startRequested_ = false;
    bool closed_ = false;
    bool closeRequested_ = false;   // a close asked for while start-up runs
    StartState startState_ = StartState::NotStarted;

    QToolBar *ToolBar1 = nullptr;
    QActionGroup *modeButtons_ = nullptr;
    QStackedWidget *Notebook1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    TagGrid *StringGrid1 = nullptr;
    LogPane *Memo1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QLabel *hintPanel_ = nullptr;
    QLabel *countPanel_ = nullptr;
    QLabel *ST_TCPAddress = nullptr;
    QLabel *ST_TCPPORT = nullptr;
    QTimer *Timer1 = nullptr;
};

} // namespace kx9
