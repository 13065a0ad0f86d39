#pragma once
// What every menu action shares: the host's options, state, module and log,
// the guard against starting a command under another one's reply wait, and
// the send-then-wait step with its optional execution time.
#include <functional>

class QString;

namespace kx9 {

class ActionHost;
struct AppOptions;
struct MainState;
class TTComXDlg;

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
    void guarded(const std::function<void()> &body);
    // Sends, waits for the reply when `wait`, and logs the execution time
    // when `timed` and fTimeOut. Returns the wait's outcome (false without a
    // wait or without a module).
    bool sendStep(const std::function<bool(TTComXDlg &)> &send, bool wait, bool timed);

    ActionHost &host_;
    bool busy_ = false;
};

} // namespace kx9
