#include "actions/actions.h"

#include "actions/action_host.h"
#include "actions/command_actions.h"

#include <QWidget>

namespace kx9 {

void AttachActions(ActionHost &host)
{
    auto *actions = new CommandActions(host, host.hostWindow());
    actions->setObjectName(QStringLiteral("CommandActions"));
    actions->attach();
}

} // namespace kx9
