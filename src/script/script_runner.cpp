#include "script/script_runner.h"
#include "script/dialog_answerer.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTableView>
#include <QTextEdit>
#include <QTextStream>
#include <QToolBar>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace kx9 {

namespace {

constexpr int kPollMs = 20;
// After a failure the monitor closes the normal way; if an action refuses to
// let go for this long, the process ends anyway so a script never hangs.
constexpr int kFailExitDeadlineMs = 15000;

QString answerText(const ScriptStep &s)
{
    switch (s.kind) {
    case ScriptStep::Dialog: return QStringLiteral("dialog");
    case ScriptStep::Question: return QStringLiteral("question");
    default: return QStringLiteral("message");
    }
}

// An item is reachable when it and every menu on the way to it is visible and
// enabled; a toolbar button counts when its toolbar is shown.
bool reachable(QAction *a, int depth = 0)
{
    if (!a->isVisible() || !a->isEnabled() || depth > 16)
        return false;
    const QList<QObject *> owners = a->associatedObjects();
    if (owners.isEmpty())
        return true;
    for (QObject *o : owners) {
        if (auto *menu = qobject_cast<QMenu *>(o)) {
            QAction *up = menu->menuAction();
            if (up->associatedObjects().isEmpty())
                return menu->isEnabled();        // a pop-up menu of its own
            if (menu->isEnabled() && reachable(up, depth + 1))
                return true;
        } else if (auto *bar = qobject_cast<QToolBar *>(o)) {
            if (!bar->isHidden() && bar->isEnabled())
                return true;
        } else if (auto *w = qobject_cast<QWidget *>(o)) {
            if (w->isEnabled())
                return true;
        }
    }
    return false;
}

} // namespace

ScriptRunner::ScriptRunner(ScriptProgram program, QTextStream &out, QTextStream &err, QObject *parent)
    : QObject(parent), program_(std::move(program)), out_(out), err_(err)
{
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &ScriptRunner::poll);
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::beginStartup()
{
    while (next_ < program_.steps.size() && program_.steps[next_].isAnswer())
        answers_.append(program_.steps[next_++]);
    headDeadline_.setRemainingTime(kAnswerTimeoutMs);
    pollTimer_.start();
}

void ScriptRunner::run(QWidget *mainWindow)
{
    window_ = mainWindow;
    if (!pollTimer_.isActive())
        beginStartup();
    finishStep();
}

void ScriptRunner::windowClosed()
{
    if (finished_)
        return;
    const int line = next_ > 0 && next_ <= program_.steps.size() ? program_.steps[next_ - 1].line : 0;
    fail(line, QStringLiteral("the monitor closed before the script ended"));
}

void ScriptRunner::poll()
{
    // Forget dialogs that are gone, so a new one at the same address is seen.
    for (int i = seenGuards_.size() - 1; i >= 0; --i)
        if (seenGuards_[i].isNull())
            seenGuards_.removeAt(i);

    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal->property(kSelfClosingProperty).toBool()) {
        // A wait box is never answered, but a script must not wait on it forever.
        if (selfClosing_ != modal) {
            selfClosing_ = modal;
            selfClosingDeadline_.setRemainingTime(kAnswerTimeoutMs);
        } else if (failing_ || selfClosingDeadline_.hasExpired()) {
            if (!failing_)
                fail(0, QStringLiteral("%1 did not close within %2 s").arg(DescribeDialog(modal)).arg(kAnswerTimeoutMs / 1000));
            if (auto *d = qobject_cast<QDialog *>(modal))
                d->reject();
        }
        if (!failing_)
            headDeadline_.setRemainingTime(kAnswerTimeoutMs);   // answers wait behind the box
    } else if (modal) {
        bool seen = false;
        for (const auto &g : seenGuards_)
            seen = seen || g.data() == modal;
        if (!seen) {
            seenGuards_.append(modal);
            handleModal(modal);
        } else if (failing_) {
            if (auto *d = qobject_cast<QDialog *>(modal))
                d->reject();
        }
    }
    if (failing_) {
        if (!running_) {
            pollTimer_.stop();
            if (window_)
                window_->close();
            QCoreApplication::exit(exitCode_);
        }
        return;
    }
    if (finished_)
        return;
    if (!answers_.isEmpty() && headDeadline_.hasExpired()) {
        const ScriptStep head = answers_.first();
        fail(head.line, QStringLiteral("no dialog opened for this %1 answer within %2 s")
                            .arg(answerText(head)).arg(kAnswerTimeoutMs / 1000));
        return;
    }
    if (waitingAnswers_ && answers_.isEmpty()) {
        waitingAnswers_ = false;
        finishStep();
    }
    if (expecting_)
        checkExpectLog();
}

void ScriptRunner::handleModal(QWidget *modal)
{
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (box) {
        out_ << "message: " << box->text() << Qt::endl;
        out_.flush();
    }
    if (failing_ || finished_) {
        if (auto *d = qobject_cast<QDialog *>(modal))
            d->reject();
        return;
    }
    if (answers_.isEmpty()) {
        const int line = next_ > 0 && next_ <= program_.steps.size() ? program_.steps[next_ - 1].line : 0;
        fail(line, QStringLiteral("a dialog opened with no answer for it: %1").arg(DescribeDialog(modal)));
        if (auto *d = qobject_cast<QDialog *>(modal))
            d->reject();
        return;
    }
    const ScriptStep head = answers_.takeFirst();
    headDeadline_.setRemainingTime(kAnswerTimeoutMs);
    QString error;
    if (box && head.kind == ScriptStep::Dialog)
        error = QStringLiteral("expected a dialog, but a message box opened: %1").arg(box->text());
    else if (!box && head.kind != ScriptStep::Dialog)
        error = QStringLiteral("expected a %1 box, but %2 opened").arg(answerText(head), DescribeDialog(modal));
    else if (box)
        error = AnswerMessageBox(box, head.kind == ScriptStep::Question ? head.name : QString());
    else
        error = AnswerDialog(modal, head.fields, head.name);
    if (!error.isEmpty()) {
        fail(head.line, error);
        if (auto *d = qobject_cast<QDialog *>(modal))
            d->reject();
    }
}

void ScriptRunner::finishStep()
{
    QTimer::singleShot(0, this, &ScriptRunner::nextStep);
}

void ScriptRunner::queueAnswersAfter(int index)
{
    next_ = index;
    const bool wasEmpty = answers_.isEmpty();
    while (next_ < program_.steps.size() && program_.steps[next_].isAnswer())
        answers_.append(program_.steps[next_++]);
    if (wasEmpty)
        headDeadline_.setRemainingTime(kAnswerTimeoutMs);
}

void ScriptRunner::nextStep()
{
    if (finished_ || failing_ || running_)
        return;
    if (next_ >= program_.steps.size()) {
        if (!answers_.isEmpty()) {
            // Answers still wait for their dialogs; the poll fails them in time.
            waitingAnswers_ = true;
            return;
        }
        finish(0);
        return;
    }
    const ScriptStep step = program_.steps[next_++];
    if (step.isAnswer()) {
        // An answer after a step that opens no dialog of its own: it waits for
        // whatever dialog opens next.
        queueAnswersAfter(next_ - 1);
        finishStep();
        return;
    }
    runStep(step);
}

void ScriptRunner::runStep(const ScriptStep &step)
{
    switch (step.kind) {
    case ScriptStep::Menu: {
        QString why;
        QAction *action = findAction(step.name, &why);
        if (!action) {
            fail(step.line, why);
            return;
        }
        queueAnswersAfter(next_);
        running_ = true;
        action->trigger();   // runs the real action, its dialogs answered by the poll
        running_ = false;
        if (failing_ || finished_)
            return;
        if (!answers_.isEmpty())
            waitingAnswers_ = true;
        else
            finishStep();
        return;
    }
    case ScriptStep::Wait:
        QTimer::singleShot(step.ms, this, &ScriptRunner::finishStep);
        return;
    case ScriptStep::ExpectLog:
        expecting_ = true;
        expectStep_ = step;
        expectDeadline_.setRemainingTime(step.ms);
        checkExpectLog();
        return;
    case ScriptStep::SaveLog:
    case ScriptStep::SaveGrid: {
        QString why;
        const QString text = step.kind == ScriptStep::SaveLog ? logText() : gridText();
        if (!writeFile(step.name, text, &why)) {
            fail(step.line, why);
            return;
        }
        finishStep();
        return;
    }
    case ScriptStep::Quit:
        finish(0);
        return;
    default:
        finishStep();
        return;
    }
}

void ScriptRunner::checkExpectLog()
{
    const QStringList lines = logText().split(u'\n');
    if (lines.size() < lastLogLines_)
        logCursor_ = 0;   // the log was emptied at its line limit
    lastLogLines_ = int(lines.size());
    for (int i = logCursor_; i < lines.size(); ++i) {
        if (lines[i].contains(expectStep_.name)) {
            logCursor_ = i + 1;
            expecting_ = false;
            finishStep();
            return;
        }
    }
    if (expectDeadline_.hasExpired()) {
        expecting_ = false;
        fail(expectStep_.line, QStringLiteral("log line \"%1\" did not appear within %2 ms")
                                   .arg(expectStep_.name).arg(expectStep_.ms));
    }
}

void ScriptRunner::fail(int line, const QString &reason)
{
    if (finished_ || failing_)
        return;
    if (line > 0)
        err_ << "line " << line << ": " << reason << Qt::endl;
    else
        err_ << "start-up: " << reason << Qt::endl;
    err_.flush();
    exitCode_ = 1;
    failing_ = true;
    finished_ = true;
    expecting_ = false;
    waitingAnswers_ = false;
    answers_.clear();
    if (!pollTimer_.isActive())
        pollTimer_.start();
    QTimer::singleShot(kFailExitDeadlineMs, [] {
        std::fflush(nullptr);
        std::_Exit(1);
    });
    emit done(exitCode_);
}

void ScriptRunner::finish(int code)
{
    if (finished_)
        return;
    finished_ = true;
    exitCode_ = code;
    pollTimer_.stop();
    emit done(code);
    QTimer::singleShot(0, this, [this] {
        if (window_)
            window_->close();   // the normal way: options are saved
        QCoreApplication::exit(exitCode_);
    });
}

QAction *ScriptRunner::findAction(const QString &name, QString *why) const
{
    if (!window_) {
        *why = QStringLiteral("no main window");
        return nullptr;
    }
    const QList<QAction *> found = window_->findChildren<QAction *>(name);
    if (found.isEmpty()) {
        *why = QStringLiteral("no menu item or toolbar button named %1").arg(name);
        return nullptr;
    }
    for (QAction *a : found)
        if (reachable(a))
            return a;
    QAction *a = found.first();
    *why = QStringLiteral("menu item %1 is %2").arg(name, !a->isVisible() ? QStringLiteral("hidden")
                                                           : QStringLiteral("disabled"));
    return nullptr;
}

QWidget *ScriptRunner::findInWindow(const char *objectName) const
{
    return window_ ? window_->findChild<QWidget *>(QString::fromLatin1(objectName)) : nullptr;
}

QString ScriptRunner::logText() const
{
    QWidget *w = findInWindow("Memo1");
    if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        return plain->toPlainText();
    if (auto *text = qobject_cast<QTextEdit *>(w))
        return text->toPlainText();
    return {};
}

QString ScriptRunner::gridText() const
{
    auto *view = qobject_cast<QTableView *>(findInWindow("StringGrid1"));
    if (!view || !view->model())
        return {};
    const QAbstractItemModel *m = view->model();
    QString text;
    auto cellText = [m](int row, int col) { return m->index(row, col).data(Qt::DisplayRole).toString(); };
    int firstRow = 0;
    QStringList heading;
    if (!view->horizontalHeader()->isHidden()) {
        for (int c = 0; c < m->columnCount(); ++c)
            heading << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    } else {
        // The heading is the grid's first row.
        for (int c = 0; c < m->columnCount(); ++c)
            heading << cellText(0, c);
        firstRow = 1;
    }
    text += heading.join(u'\t') + u'\n';
    for (int r = firstRow; r < m->rowCount(); ++r) {
        QStringList cells;
        bool any = false;
        for (int c = 0; c < m->columnCount(); ++c) {
            cells << cellText(r, c);
            any = any || !cells.last().isEmpty();
        }
        if (any)
            text += cells.join(u'\t') + u'\n';
    }
    return text;
}

bool ScriptRunner::writeFile(const QString &path, const QString &text, QString *why) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    QString body = text;
    if (!body.isEmpty() && !body.endsWith(u'\n'))
        body += u'\n';
    f.write(body.toUtf8());
    if (!f.commit()) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

} // namespace kx9
