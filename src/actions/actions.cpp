#include "actions/actions.h"

#include "actions/action_host.h"
#include "actions/command_actions.h"

#include <QAction>
#include <QWidget>

namespace kx9 {

const QStringList &CommandModeGatedNames()
{
    static const QStringList names{
        QStringLiteral("TBtModeSet"), QStringLiteral("TBtSetConf"), QStringLiteral("TBtDataWrite"),
        QStringLiteral("ToolButton2"), QStringLiteral("MnISO15693"),
    };
    return names;
}

void ActionHost::SetCommandModeItemsEnabled(bool enabled)
{
    for (const QString &name : CommandModeGatedNames())
        if (QAction *a = findAction(name))
            a->setEnabled(enabled);
}

void AttachActions(ActionHost &host)
{
    auto *actions = new CommandActions(host, host.hostWindow());
    actions->setObjectName(QStringLiteral("CommandActions"));
    actions->attach();
}

} // namespace kx9
