#include "script/script_runner.h"

#include "link/ini_file.h"
#include "script/dialog_answerer.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalBlocker>
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

// An item is reachable when it and every menu on the way to it is visible and
// enabled; a toolbar button counts when its toolbar is shown. `hiddenToo`
// lets items the menu profile hides through, never disabled ones.
bool enabledEvenIfHidden(QAction *a)
{
    if (a->isVisible())
        return a->isEnabled();
    // A hidden action reads as disabled; shown for a moment (nothing is
    // painted in between) it tells whether it was disabled in its own right.
    const QSignalBlocker quiet(a);
    a->setVisible(true);
    const bool enabled = a->isEnabled();
    a->setVisible(false);
    return enabled;
}

bool reachable(QAction *a, bool hiddenToo, int depth = 0)
{
    if (depth > 16 || (!a->isVisible() && !hiddenToo) || !enabledEvenIfHidden(a))
        return false;
    const QList<QObject *> owners = a->associatedObjects();
    if (owners.isEmpty())
        return true;
    for (QObject *o : owners) {
        if (auto *menu = qobject_cast<QMenu *>(o)) {
            QAction *up = menu->menuAction();
            if (up->associatedObjects().isEmpty())
                return menu->isEnabled();        // a pop-up menu of its own
            if (menu->isEnabled() && reachable(up, hiddenToo, depth + 1))
                return true;
        } else if (auto *bar = qobject_cast<QToolBar *>(o)) {
            if ((hiddenToo || !bar->isHidden()) && bar->isEnabled())
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
    // The platform's own file dialogs are not widgets a script can fill.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::beginStartup()
{
    if (pollTimer_.isActive())
        return;
    // Start-up counts as one long action: its dialogs are answered by the
    // answer lines at the top of the script.
    busy_.append(Busy{});
    pollTimer_.start();
}

void ScriptRunner::run(QWidget *mainWindow)
{
    window_ = mainWindow;
    if (!pollTimer_.isActive())
        beginStartup();
    if (!startupDone_) {
        startupDone_ = true;
        if (!busy_.isEmpty())
            busy_.removeFirst();
    }
    poll();
}

void ScriptRunner::windowClosed()
{
    if (finished_)
        return;
    fail(currentLine(), QStringLiteral("the monitor closed before the script ended"));
}

int ScriptRunner::currentLine() const
{
    if (active_)
        return current_.line;
    return next_ > 0 && next_ <= program_.steps.size() ? program_.steps[next_ - 1].line : 0;
}

QWidget *ScriptRunner::currentDialog() const { return CurrentDialog(window_, kSelfClosingProperty); }

QWidget *ScriptRunner::frontOrWindow() const
{
    QWidget *front = currentDialog();
    return front ? front : window_.data();
}

QWidget *ScriptRunner::openModal() const
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal && modal->isVisible() && !modal->property(kSelfClosingProperty).toBool() ? modal : nullptr;
}

// The monitor is ready for the next line when nothing is running, or when
// whatever runs waits on a dialog that opened since it began: the operator's
// turn, as on the screen.
bool ScriptRunner::settled() const
{
    if (busy_.isEmpty())
        return true;
    QWidget *front = currentDialog();
    return front && front != busy_.last().front.data();
}

void ScriptRunner::watchDialogs()
{
    for (int i = shown_.size() - 1; i >= 0; --i)
        if (!shown_[i].dialog || !shown_[i].dialog->isVisible())
            shown_.removeAt(i);   // closed: shown again later, it is a new showing
    QList<QWidget *> open;
    if (QWidget *modal = QApplication::activeModalWidget())
        open << modal;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != window_.data() && w->isVisible() && qobject_cast<QDialog *>(w) && !open.contains(w))
            open << w;
    for (QWidget *w : open) {
        bool known = false;
        for (const Shown &s : shown_)
            known = known || s.dialog.data() == w;
        if (known || !w->isVisible())
            continue;
        shown_.append({w, currentLine()});
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            out_ << "message: " << box->text() << Qt::endl;
            out_.flush();
        }
    }
}

void ScriptRunner::poll()
{
    watchDialogs();

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
        if (active_ && current_.isAnswer())
            stepDeadline_.setRemainingTime(kAnswerTimeoutMs);   // answers wait behind the box
    }
    if (failing_) {
        if (QWidget *m = openModal()) {
            if (auto *d = qobject_cast<QDialog *>(m))
                d->reject();
        }
        // Leave once no action of ours is on the stack any more.
        if (busy_.size() <= (startupDone_ ? 0 : 1)) {
            pollTimer_.stop();
            if (window_)
                window_->close();
            emit ended(exitCode_);
        }
        return;
    }
    if (finished_)
        return;
    if (active_)
        serviceStep();
    else if (settled())
        schedule();
}

void ScriptRunner::schedule()
{
    if (scheduled_)
        return;
    scheduled_ = true;
    // A fresh timer each time: a step may open a nested loop (a dialog, a
    // reply wait) and the poll must keep running inside it.
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        startNext();
    });
}

bool ScriptRunner::refuseOpenModal(int line)
{
    QWidget *modal = openModal();
    if (!modal)
        return false;
    int opened = line;
    for (const Shown &s : shown_)
        if (s.dialog.data() == modal && s.line > 0)
            opened = s.line;
    fail(opened, QStringLiteral("a dialog opened with no answer for it: %1").arg(DescribeDialog(modal)));
    return true;
}

void ScriptRunner::startNext()
{
    if (finished_ || failing_ || active_ || !settled())
        return;
    if (next_ >= program_.steps.size()) {
        if (!startupDone_)
            return;   // the end of a script of start-up answers only: wait for the window
        if (!refuseOpenModal(currentLine()))
            finish(0);
        return;
    }
    const ScriptStep &step = program_.steps[next_];
    // Until the window is up only the start-up dialogs can be worked on.
    if (!startupDone_ && !step.worksBeforeWindow())
        return;
    ++next_;
    runStep(step);
}

void ScriptRunner::completeStep()
{
    active_ = false;
    if (settled())
        schedule();
}

void ScriptRunner::busyCall(const std::function<void()> &call)
{
    busy_.append(Busy{currentDialog()});
    call();
    busy_.removeLast();
    if (!active_ && !finished_ && settled())
        schedule();
}

void ScriptRunner::runStep(const ScriptStep &step)
{
    current_ = step;
    switch (step.kind) {
    case ScriptStep::Menu:
    case ScriptStep::Trigger: {
        if (refuseOpenModal(step.line))
            return;
        QString why;
        QAction *action = findAction(step.name, step.kind == ScriptStep::Trigger, &why);
        if (!action) {
            fail(step.line, why);
            return;
        }
        // Runs the real action; the lines after this one go on once it returns
        // or stops at a dialog of its own.
        busyCall([action] { action->trigger(); });
        return;
    }
    case ScriptStep::Dialog:
    case ScriptStep::Question:
    case ScriptStep::Message:
    case ScriptStep::File:
    case ScriptStep::ExpectLog:
    case ScriptStep::ExpectField:
        active_ = true;
        stepDeadline_.setRemainingTime(step.isAnswer() ? kAnswerTimeoutMs : step.ms);
        serviceStep();
        return;
    case ScriptStep::Wait:
        active_ = true;
        QTimer::singleShot(step.ms, this, [this, line = step.line] {
            if (active_ && current_.line == line && current_.kind == ScriptStep::Wait)
                completeStep();
        });
        return;
    case ScriptStep::Click: {
        QWidget *root = frontOrWindow();
        if (!root) {
            fail(step.line, QStringLiteral("no dialog or window is open to click %1 in").arg(step.name));
            return;
        }
        Qt::KeyboardModifiers mods;
        ParseModifiers(step.arg, &mods);
        QString error;
        busyCall([&] { error = ClickWidget(root, step.name, mods, step.doubleClick); });
        if (!error.isEmpty())
            fail(step.line, error);
        return;
    }
    case ScriptStep::Dump: {
        QWidget *root = frontOrWindow();
        QString why;
        if (!writeFile(step.name, FormatControls(ReadControls(root)), &why))
            fail(step.line, why);
        else
            completeStep();
        return;
    }
    case ScriptStep::Snapshot: {
        // The picture the operator would see of the dialog in front (or the window).
        QWidget *root = frontOrWindow();
        if (!root) {
            fail(step.line, QStringLiteral("no dialog or window is open to take a picture of"));
            return;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QString why;
        if (!root->grab().toImage().save(&buffer, "PNG"))
            fail(step.line, QStringLiteral("cannot draw the picture for %1").arg(step.name));
        else if (!ReplaceFileAtomically(step.name, png, &why))
            fail(step.line, QStringLiteral("cannot write %1: %2").arg(step.name, why));
        else
            completeStep();
        return;
    }
    case ScriptStep::SaveLog:
    case ScriptStep::SaveGrid: {
        QString why;
        const QString text = step.kind == ScriptStep::SaveLog ? logText() : gridText();
        if (!writeFile(step.name, text, &why))
            fail(step.line, why);
        else
            completeStep();
        return;
    }
    case ScriptStep::Quit:
        if (!refuseOpenModal(step.line))
            finish(0);
        return;
    }
}

// A step in progress: an answer waiting for its dialog, a log line or a
// control value waiting to show.
void ScriptRunner::serviceStep()
{
    if (!active_ || scheduled_)
        return;
    switch (current_.kind) {
    case ScriptStep::Dialog:
    case ScriptStep::Question:
    case ScriptStep::Message:
    case ScriptStep::File:
        if (settled()) {
            if (QWidget *dialog = currentDialog()) {
                scheduled_ = true;
                QPointer<QWidget> target(dialog);
                QTimer::singleShot(0, this, [this, target] {
                    scheduled_ = false;
                    if (!active_ || failing_)
                        return;
                    if (target && target->isVisible())
                        answer(current_, target);
                });
                return;
            }
        }
        if (stepDeadline_.hasExpired()) {
            QString what = current_.kind == ScriptStep::Dialog     ? QStringLiteral("dialog")
                           : current_.kind == ScriptStep::Question ? QStringLiteral("question")
                           : current_.kind == ScriptStep::File     ? QStringLiteral("file")
                                                                   : QStringLiteral("message");
            fail(current_.line, QStringLiteral("no dialog opened for this %1 answer within %2 s").arg(what).arg(kAnswerTimeoutMs / 1000));
        }
        return;
    case ScriptStep::ExpectLog:
        if (checkExpectLog()) {
            completeStep();
        } else if (stepDeadline_.hasExpired()) {
            QString reason = QStringLiteral("log line \"%1\" did not appear within %2 ms").arg(current_.name).arg(current_.ms);
            if (QWidget *modal = openModal())
                reason += QStringLiteral(" (a dialog is open: %1)").arg(DescribeDialog(modal));
            fail(current_.line, reason);
        }
        return;
    case ScriptStep::ExpectField: {
        QWidget *root = frontOrWindow();
        const QString error = CheckControls(root, current_.fields);
        if (error.isEmpty())
            completeStep();
        else if (stepDeadline_.hasExpired())
            fail(current_.line, error);
        return;
    }
    default:
        return;
    }
}

void ScriptRunner::answer(const ScriptStep step, QWidget *dialog)
{
    auto *box = qobject_cast<QMessageBox *>(dialog);
    QString error;
    if (box && step.kind != ScriptStep::Question && step.kind != ScriptStep::Message)
        error = QStringLiteral("expected a %1, but a message box opened: %2")
                    .arg(step.kind == ScriptStep::File ? QStringLiteral("file dialog") : QStringLiteral("dialog"), box->text());
    else if (!box && (step.kind == ScriptStep::Question || step.kind == ScriptStep::Message))
        error = QStringLiteral("expected a %1 box, but %2 opened")
                    .arg(step.kind == ScriptStep::Question ? QStringLiteral("question") : QStringLiteral("message"),
                         DescribeDialog(dialog));
    if (error.isEmpty() && step.kind == ScriptStep::Dialog) {
        for (const auto &f : step.fields)
            if (error.isEmpty())
                error = SetDialogField(dialog, f.first, f.second);
    }
    if (!error.isEmpty()) {
        fail(step.line, error);
        return;
    }
    // The step is done before the press: what the press opens (a file dialog,
    // a question) is for the lines after this one.
    active_ = false;
    busyCall([&] {
        if (box)
            error = AnswerMessageBox(box, step.kind == ScriptStep::Question ? step.name : QString());
        else if (step.kind == ScriptStep::File)
            error = AnswerFileDialog(dialog, step.name, step.arg);
        else
            error = PressDialogButton(dialog, step.name);
    });
    if (!error.isEmpty())
        fail(step.line, error);
}

bool ScriptRunner::checkExpectLog()
{
    const QStringList lines = logText().split(u'\n');
    if (lines.size() < lastLogLines_)
        logCursor_ = 0;   // the log was emptied at its line limit
    lastLogLines_ = int(lines.size());
    for (int i = logCursor_; i < lines.size(); ++i) {
        if (lines[i].contains(current_.name)) {
            logCursor_ = i + 1;
            return true;
        }
    }
    return false;
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
    active_ = false;
    if (!pollTimer_.isActive())
        pollTimer_.start();
    // Tied to the runner: a runner that is gone (a test that ran it in its
    // own process) ends nothing.
    QTimer::singleShot(kFailExitDeadlineMs, this, [] {
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
        emit ended(exitCode_);
    });
}

QAction *ScriptRunner::findAction(const QString &name, bool hiddenToo, QString *why) const
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
        if (reachable(a, hiddenToo))
            return a;
    QAction *a = found.first();
    const bool hidden = !a->isVisible() && enabledEvenIfHidden(a);
    *why = QStringLiteral("menu item %1 is %2").arg(name, hidden && !hiddenToo ? QStringLiteral("hidden") : QStringLiteral("disabled"));
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
    QString body = text;
    if (!body.isEmpty() && !body.endsWith(u'\n'))
        body += u'\n';
    if (!ReplaceFileAtomically(path, body.toUtf8(), why)) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, *why);
        return false;
    }
    return true;
}

} // namespace kx9
