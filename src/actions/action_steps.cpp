#include "actions/action_steps.h"

#include "actions/action_host.h"
#include "actions/action_util.h"
#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "link/options.h"

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

void ActionSteps::guarded(const std::function<void()> &body)
{
    if (busy_)
        return;
    if (TTComXDlg *c = comm(); c && c->InWait())
        return;
    busy_ = true;
    struct Reset {
        bool &b;
        ~Reset() { b = false; }
    } reset{busy_};
    body();
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
