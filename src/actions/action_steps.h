#pragma once
// What every menu action shares: the host's options, state, module and log,
// the guard against starting a command under another one's reply wait, and
// the send-then-wait step with its optional execution time.
#include <QPointer>
#include <QWidget>

#include <functional>

class QString;

namespace kx9 {

class ActionHost;
struct AppOptions;
struct MainState;
class TTComXDlg;

// The main window disabled while a sequence runs (so no other command starts
// inside its reply waits), given back on every way out. An inner scope
// leaves a window that an outer one disabled as it found it.
class WindowDisabledScope {
public:
    explicit WindowDisabledScope(QWidget *window);
    ~WindowDisabledScope();
    WindowDisabledScope(const WindowDisabledScope &) = delete;
    WindowDisabledScope &operator=(const WindowDisabledScope &) = delete;

private:
    QPointer<QWidget> window_;
    bool restore_ = false;
};

// The same with the log suspended as well (the quiet multi-command
// sequences); only the outermost of nested scopes resumes it.
class QuietScope {
public:
    explicit QuietScope(ActionHost &host);
    ~QuietScope();
    QuietScope(const QuietScope &) = delete;
    QuietScope &operator=(const QuietScope &) = delete;

private:
    ActionHost &host_;
    WindowDisabledScope window_;
};

class ActionSteps {
protected:
    explicit ActionSteps(ActionHost &host) : host_(host) {}

    AppOptions &opt();
    MainState &st();
    TTComXDlg *comm();
    void log(const QString &text);

    // Runs `body` unless an action is still inside a reply wait (this one's
    // or any other, the communication module knows); the wait processes
    // window messages, so a second command could otherwise start under it.
    // With `needsModule`, nothing runs before the communication module exists.
    // Nothing thrown leaves a menu action: the scopes give back the window
    // and the log on the way out.
    void guarded(const std::function<void()> &body, bool needsModule = false);
    // A warning box the operator can answer although the window is disabled.
    void message(const QString &text);
    // Sends, waits for the reply when `wait`, and logs the execution time
    // when `timed` and fTimeOut. Returns the wait's outcome (false without a
    // wait or without a module).
    bool sendStep(const std::function<bool(TTComXDlg &)> &send, bool wait, bool timed);

    ActionHost &host_;
    bool busy_ = false;
};

} // namespace kx9
