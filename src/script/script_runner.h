#pragma once
// Runs an operator script through the monitor's real menu actions and real
// dialogs. A poll timer watches for modal dialogs and answers each from the
// queue of dialog/question/message lines; the steps themselves run one after
// the other on the event loop, so an action's nested wait keeps the poll alive.
#include "script/script_parser.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

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
    void done(int exitCode);

private:
    void poll();
    void handleModal(QWidget *modal);
    void nextStep();
    void runStep(const ScriptStep &step);
    void queueAnswersAfter(int index);
    void finishStep();
    void fail(int line, const QString &reason);
    void finish(int code);
    void checkExpectLog();
    QAction *findAction(const QString &name, QString *why) const;
    QWidget *findInWindow(const char *objectName) const;
    bool writeFile(const QString &path, const QString &text, QString *why) const;
    QString logText() const;
    QString gridText() const;

    ScriptProgram program_;
    QTextStream &out_;
    QTextStream &err_;
    QPointer<QWidget> window_;
    QTimer pollTimer_;
    QList<ScriptStep> answers_;          // queued answers, head first
    QDeadlineTimer headDeadline_;
    QList<QPointer<QWidget>> seenGuards_;
    QPointer<QWidget> selfClosing_;      // a wait box that closes by itself
    QDeadlineTimer selfClosingDeadline_;
    int next_ = 0;                       // index of the next step to run
    bool running_ = false;               // a step is in progress
    bool waitingAnswers_ = false;        // a menu step ended with answers left
    int waitingLine_ = 0;
    bool finished_ = false;
    bool failing_ = false;
    int exitCode_ = 0;
    // expect-log
    bool expecting_ = false;
    ScriptStep expectStep_;
    QDeadlineTimer expectDeadline_;
    int logCursor_ = 0;                  // lines of the log already matched past
    int lastLogLines_ = 0;
};

} // namespace kx9
