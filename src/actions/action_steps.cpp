#include "actions/action_steps.h"

#include "actions/action_host.h"
#include "actions/action_util.h"
#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QMessageBox>

namespace kx9 {

WindowDisabledScope::WindowDisabledScope(QWidget *window) : window_(window)
{
    if (window_ && window_->isEnabled()) {
        window_->setEnabled(false);
        restore_ = true;
    }
}

WindowDisabledScope::~WindowDisabledScope()
{
    if (window_ && restore_)
        window_->setEnabled(true);
}

namespace {
int quietDepth = 0;
}

QuietScope::QuietScope(ActionHost &host) : host_(host), window_(host.hostWindow())
{
    if (quietDepth++ == 0)
        host_.SuspendLogging();
}

QuietScope::~QuietScope()
{
    if (--quietDepth == 0)
        host_.ResumeLogging();
}

AppOptions &ActionSteps::opt() { return host_.appOptions(); }
MainState &ActionSteps::st() { return host_.mainState(); }
TTComXDlg *ActionSteps::comm() { return host_.comm(); }
void ActionSteps::log(const QString &text) { host_.AppLog(text); }

void ActionSteps::guarded(const std::function<void()> &body, bool needsModule)
{
    TTComXDlg *c = comm();
    if (busy_ || (needsModule && !c) || (c && c->InWait()))
        return;
    busy_ = true;
    try {
        body();
    } catch (...) {
    }
    busy_ = false;
}

void ActionSteps::message(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("エラー"), text, QMessageBox::Ok, host_.hostWindow());
    box.setEnabled(true);   // its owner is disabled while the action runs
    box.exec();
}

bool ActionSteps::sendStep(const std::function<bool(TTComXDlg &)> &send, bool wait, bool timed)
{
    timed = timed && opt().fTimeOut != 0;
    if (timed)
        st().ExecStart = NowAsDays();
    bool ok = false;
    if (TTComXDlg *c = comm()) {
        send(*c);
        if (wait)
            ok = c->WaitAck();
    }
    if (timed) {
        st().ExecEnd = NowAsDays();
        log(QStringLiteral("実行時間: ") + FormatExecTime(st().ExecEnd - st().ExecStart));
    }
    return ok;
}

} // namespace kx9
