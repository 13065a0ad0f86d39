#include "actions/actions.h"

#include "actions/action_host.h"
#include "actions/command_actions.h"
#include "actions/tag_actions.h"

#include <QWidget>

namespace kx9 {

void AttachActions(ActionHost &host)
{
    auto *actions = new CommandActions(host, host.hostWindow());
    actions->setObjectName(QStringLiteral("CommandActions"));
    actions->attach();
    AttachTagActions(host);
}

void AttachTagActions(ActionHost &host)
{
    QWidget *window = host.hostWindow();
    if (window && window->findChild<TagActions *>(QStringLiteral("TagActions"), Qt::FindDirectChildrenOnly))
        return;
    auto *actions = new TagActions(host, window);
    actions->setObjectName(QStringLiteral("TagActions"));
    actions->attach();
}

} // namespace kx9
