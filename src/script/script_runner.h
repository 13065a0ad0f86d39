#pragma once
// Runs an operator script through the monitor's real menu actions and real
// dialogs. The lines run one after the other from the event loop; the next one
// starts when the monitor is the operator's again: nothing runs, or what runs
// waits on a dialog that opened since it began (modal or not). So a dialog can
// stay open across waits and log checks, be answered again when it reappears,
// and open further dialogs that the following lines answer.
#include "script/script_parser.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QAction;
class QTextStream;
class QWidget;

namespace kx9 {

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    static constexpr int kAnswerTimeoutMs = 10000;

    ScriptRunner(ScriptProgram program, QTextStream &out, QTextStream &err, QObject *parent = nullptr);
    ~ScriptRunner() override;

    // Queues the answers at the top of the script for the start-up dialogs and
    // starts watching for modal dialogs. Call before the window starts up.
    void beginStartup();
    // The window is up: run the remaining steps.
    void run(QWidget *mainWindow);
    // The window closed (normally or not); ends the run.
    void windowClosed();

    bool finished() const { return finished_; }
    int exitCode() const { return exitCode_; }

    // Dialogs that close by themselves (the start-up wait box) carry this
    // dynamic property and are never answered.
    static constexpr const char *kSelfClosingProperty = "kx9SelfClosing";

signals:
    // The outcome is known (a failure may still be closing dialogs).
    void done(int exitCode);
    // The runner has let go of the monitor: the main window was asked to
    // close; the application ends its event loop here.
    void ended(int exitCode);

private:
    // What the monitor is busy with: a menu action, a button press or a click
    // that has not returned yet, with the dialog that was in front when it began.
    struct Busy {
        QPointer<QWidget> front;
    };
    // A dialog seen open, with the script line that was running when it opened.
    struct Shown {
        QPointer<QWidget> dialog;
        int line = 0;
    };

    void poll();
    void watchDialogs();
    bool settled() const;
    QWidget *currentDialog() const;
    QWidget *openModal() const;
    QWidget *frontOrWindow() const;   // the dialog in front, else the main window
    int currentLine() const;
    void schedule();
    void startNext();
    void serviceStep();
    void runStep(const ScriptStep &step);
    void answer(ScriptStep step, QWidget *dialog);   // a copy: later lines may run inside the press
    void busyCall(const std::function<void()> &call);
    void completeStep();
    bool refuseOpenModal(int line);
    void fail(int line, const QString &reason);
    void finish(int code);
    bool checkExpectLog();
    QAction *findAction(const QString &name, bool hiddenToo, QString *why) const;
    QWidget *findInWindow(const char *objectName) const;
    bool writeFile(const QString &path, const QString &text, QString *why) const;
    QString logText() const;
    QString gridText() const;

    ScriptProgram program_;
    QTextStream &out_;
    QTextStream &err_;
    QPointer<QWidget> window_;
    QTimer pollTimer_;
    QList<Busy> busy_;                   // innermost last
    QList<Shown> shown_;
    QPointer<QWidget> selfClosing_;      // a wait box that closes by itself
    QDeadlineTimer selfClosingDeadline_;
    int next_ = 0;                       // index of the next step to run
    bool startupDone_ = false;           // the window is up: every kind of step may run
    bool scheduled_ = false;             // a step start or action is queued on the event loop
    bool active_ = false;                // `current_` is in progress (waits for something)
    ScriptStep current_;
    QDeadlineTimer stepDeadline_;
    bool finished_ = false;
    bool failing_ = false;
    int exitCode_ = 0;
    int logCursor_ = 0;                  // lines of the log already matched past
    int lastLogLines_ = 0;
};

} // namespace kx9
