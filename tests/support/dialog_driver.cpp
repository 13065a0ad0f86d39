#include "dialog_driver.h"

#include "script/dialog_answerer.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace kx9test {

namespace {

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// Class name (with or without its namespace), objectName or window title.
bool namedAs(const QWidget *w, const QString &name)
{
    const QString cls = QString::fromLatin1(w->metaObject()->className());
    return name == cls || name == cls.section(QLatin1String("::"), -1) || name == w->objectName()
        || name == w->windowTitle();
}

} // namespace

QString describeDialog(const QWidget *dialog) { return kx9::DescribeDialog(dialog); }

// ---------------------------------------------------------------- answers

DialogAnswer &DialogAnswer::setText(const QString &name, const QString &text)
{
    steps_.append({QStringLiteral("setText %1").arg(name), [name, text](QWidget *dialog) -> QString {
        return kx9::TypeDialogText(dialog, name, text);
    }});
    return *this;
}

DialogAnswer &DialogAnswer::setIndex(const QString &name, int index)
{
    steps_.append({QStringLiteral("setIndex %1").arg(name), [name, index](QWidget *dialog) -> QString {
        return kx9::ChooseDialogIndex(dialog, name, index);
    }});
    return *this;
}

DialogAnswer &DialogAnswer::setItem(const QString &name, const QString &text)
{
    steps_.append({QStringLiteral("setItem %1").arg(name), [name, text](QWidget *dialog) -> QString {
        return kx9::ChooseDialogItem(dialog, name, text);
    }});
    return *this;
}

DialogAnswer &DialogAnswer::setChecked(const QString &name, bool checked)
{
    steps_.append({QStringLiteral("setChecked %1").arg(name), [name, checked](QWidget *dialog) -> QString {
        return kx9::CheckDialogButton(dialog, name, checked);
    }});
    return *this;
}

DialogAnswer &DialogAnswer::setValue(const QString &name, const QVariant &value)
{
    steps_.append({QStringLiteral("setValue %1").arg(name), [name, value](QWidget *dialog) -> QString {
        return kx9::SetDialogValue(dialog, name, value);
    }});
    return *this;
}

DialogAnswer &DialogAnswer::then(std::function<void(QWidget *)> step)
{
    steps_.append({QStringLiteral("custom step"), [step](QWidget *dialog) -> QString {
        step(dialog);
        return {};
    }});
    return *this;
}

DialogAnswer &DialogAnswer::press(const QString &button)
{
    steps_.append({QStringLiteral("press %1").arg(button), [button](QWidget *dialog) -> QString {
        return kx9::ClickDialogButton(kx9::FindDialogButton(dialog, button), dialog, QStringLiteral("'%1'").arg(button));
    }, true});
    return *this;
}

DialogAnswer &DialogAnswer::pressStandard(QDialogButtonBox::StandardButton which)
{
    steps_.append({QStringLiteral("press standard button %1").arg(int(which)), [which](QWidget *dialog) -> QString {
        return kx9::ClickDialogButton(kx9::FindStandardButton(dialog, which), dialog, QStringLiteral("standard %1").arg(int(which)));
    }, true});
    return *this;
}

DialogAnswer &DialogAnswer::pressOk()
{
    steps_.append({QStringLiteral("press OK"), [](QWidget *dialog) -> QString {
        return kx9::ClickDialogButton(kx9::FindOkButton(dialog), dialog, QStringLiteral("OK"));
    }, true});
    return *this;
}

DialogAnswer &DialogAnswer::pressCancel()
{
    steps_.append({QStringLiteral("press Cancel"), [](QWidget *dialog) -> QString {
        return kx9::ClickDialogButton(kx9::FindCancelButton(dialog), dialog, QStringLiteral("Cancel"));
    }, true});
    return *this;
}

DialogAnswer &DialogAnswer::chooseFile(const QString &path, const QString &filter)
{
    steps_.append({QStringLiteral("choose file %1").arg(path), [path, filter](QWidget *dialog) -> QString {
        return kx9::AnswerFileDialog(dialog, path, filter);
    }, true});
    return *this;
}

DialogAnswer &DialogAnswer::click(const QString &name, Qt::KeyboardModifiers modifiers, bool doubleClick)
{
    steps_.append({QStringLiteral("click %1").arg(name), [name, modifiers, doubleClick](QWidget *dialog) -> QString {
        return kx9::ClickWidget(dialog, name, modifiers, doubleClick);
    }});
    return *this;
}

DialogAnswer &DialogAnswer::expectShown(const QString &name, const QString &value)
{
    steps_.append({QStringLiteral("expect %1 = %2").arg(name, value), [name, value](QWidget *dialog) -> QString {
        return kx9::CheckControls(dialog, {{name, value}});
    }});
    return *this;
}

DialogAnswer &DialogAnswer::again()
{
    again_ = true;
    return *this;
}

DialogAnswer &DialogAnswer::within(int ms)
{
    timeoutMs_ = ms;
    return *this;
}

// ---------------------------------------------------------------- driver

DialogDriver::DialogDriver(QObject *parent) : QObject(parent), timer_(new QTimer(this))
{
    timer_->setInterval(20);
    connect(timer_, &QTimer::timeout, this, &DialogDriver::poll);
    timer_->start();
}

DialogDriver::~DialogDriver()
{
    if (!queue_.isEmpty()) {
        for (const auto &a : queue_)
            qWarning("DialogDriver: answer for '%s' was never given", qPrintable(a->match_));
    }
}

DialogAnswer &DialogDriver::expect(const QString &match)
{
    auto answer = std::make_shared<DialogAnswer>();
    answer->match_ = match;
    if (queue_.isEmpty())
        headSince_ = nowMs();
    queue_.append(answer);
    return *answer;
}

DialogAnswer &DialogDriver::expectMessage(const QString &textContains)
{
    DialogAnswer &a = expect(textContains);
    a.messageMatch_ = true;
    return a;
}

void DialogDriver::tolerate(const QString &match) { tolerated_.append(match); }

void DialogDriver::setPollInterval(int ms) { timer_->setInterval(ms); }

bool DialogDriver::matches(const DialogAnswer &answer, QWidget *dialog) const
{
    if (answer.messageMatch_) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        return box && (answer.match_.isEmpty() || box->text().contains(answer.match_));
    }
    if (answer.match_.isEmpty())
        return true;
    return namedAs(dialog, answer.match_);
}

bool DialogDriver::waitAllAnswered(int ms)
{
    QElapsedTimer t;
    t.start();
    while ((!queue_.isEmpty() || applying_) && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return queue_.isEmpty() && !applying_;
}

QString DialogDriver::report() const
{
    QStringList lines = failures_;
    for (const auto &a : queue_)
        lines << QStringLiteral("still queued: answer for '%1'").arg(a->match_);
    return lines.isEmpty() ? QStringLiteral("all dialogs answered") : lines.join(QLatin1Char('\n'));
}

void DialogDriver::fail(const QString &text)
{
    qWarning("DialogDriver: %s", qPrintable(text));
    failures_.append(text);
}

void DialogDriver::setLastAnswered(QWidget *dialog)
{
    if (lastAnswered_)
        lastAnswered_->removeEventFilter(this);
    lastAnswered_ = dialog;
    dialog->installEventFilter(this);
}

bool DialogDriver::eventFilter(QObject *watched, QEvent *event)
{
    // Closed: when it is shown again it is answered again, even if it reopens
    // before the next poll.
    if (event->type() == QEvent::Hide && watched == lastAnswered_.data()) {
        watched->removeEventFilter(this);
        lastAnswered_.clear();
    }
    return QObject::eventFilter(watched, event);
}

void DialogDriver::poll()
{
    if (applying_)
        return;
    const qint64 now = nowMs();

    // An answer nobody takes must not wait for ever.
    if (!queue_.isEmpty()) {
        const auto &head = queue_.first();
        const int limit = head->timeoutMs_ >= 0 ? head->timeoutMs_ : answerTimeoutMs_;
        if (now - headSince_ > limit) {
            fail(QStringLiteral("no dialog for the answer '%1' within %2 ms").arg(head->match_).arg(limit));
            queue_.removeFirst();
            headSince_ = now;
        }
    }

    QWidget *modal = kx9::CurrentDialog();
    if (!modal || !modal->isVisible()) {
        unexpected_.clear();
        return;
    }
    const bool alreadyAnswered = (modal == lastAnswered_.data());
    if (!queue_.isEmpty()) {
        auto head = queue_.first();
        if ((!alreadyAnswered || head->again_) && matches(*head, modal)) {
            queue_.removeFirst();
            headSince_ = now;
            unexpected_.clear();
            setLastAnswered(modal);
            answeredLog_.append(modal->windowTitle().isEmpty() ? QString::fromLatin1(modal->metaObject()->className())
                                                               : modal->windowTitle());
            applying_ = true;
            // Run the steps from the event loop, not from this timer slot: a press may
            // start a nested loop (another dialog, a wait) and the poll must go on there.
            QPointer<QWidget> target(modal);
            QTimer::singleShot(0, this, [this, head, target] { apply(head, target); });
            return;
        }
    }
    if (alreadyAnswered)
        return;   // still closing, or a dialog that stays open by design
    if (modal != QApplication::activeModalWidget())
        return;   // a window shown without blocking waits for its answer as long as the test likes
    for (const QString &t : tolerated_) {
        if (namedAs(modal, t))
            return;
    }
    if (unexpected_ != modal) {
        unexpected_ = modal;
        unexpectedSince_ = now;
        return;
    }
    if (now - unexpectedSince_ > unexpectedTimeoutMs_) {
        fail(QStringLiteral("unexpected dialog %1 (next answer: %2); closed it")
                 .arg(describeDialog(modal), queue_.isEmpty() ? QStringLiteral("none") : queue_.first()->match_));
        unexpected_.clear();
        setLastAnswered(modal);
        if (auto *dlg = qobject_cast<QDialog *>(modal))
            dlg->reject();
        else
            modal->close();
    }
}

void DialogDriver::apply(std::shared_ptr<DialogAnswer> answer, QPointer<QWidget> dialog)
{
    for (const DialogAnswer::Step &step : answer->steps_) {
        if (!dialog) {
            fail(QStringLiteral("dialog for '%1' closed before step '%2'").arg(answer->match_, step.description));
            break;
        }
        if (step.isPress) {
            // The press may block in a nested loop; the poll must run meanwhile.
            applying_ = false;
        }
        const QString err = step.run(dialog.data());
        if (!err.isEmpty()) {
            fail(QStringLiteral("%1: %2").arg(step.description, err));
            if (step.isPress && dialog) {
                // Never leave a test hanging on a dialog we could not answer.
                if (auto *dlg = qobject_cast<QDialog *>(dialog.data()))
                    dlg->reject();
            }
        }
        if (step.isPress)
            break;
    }
    applying_ = false;
}

} // namespace kx9test
