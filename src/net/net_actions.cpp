#include "net/net_actions.h"

#include "actions/action_host.h"
#include "net/lan_connection_dialog.h"
#include "net/lan_module.h"
#include "net/network_board_dialog.h"
#include "net/ping_dialog.h"

#include <QAction>
#include <QObject>
#include <QWidget>

namespace kx9 {

namespace {

class NetActions : public QObject {
public:
    NetActions(ActionHost &host, QObject *parent) : QObject(parent), host_(host) {}

    void attach()
    {
        on(QStringLiteral("MnSetTCPIP1"), [this] { LanConnectionDialog(host_, false); });
        on(QStringLiteral("MnPing"), [this] { PingDialog(host_.hostWindow()); });
        on(QStringLiteral("MnTelnet1"), [this] { NetworkBoardSettings(host_, kept_); });
    }

private:
    void on(const QString &name, std::function<void()> run)
    {
        QAction *a = host_.findAction(name);
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, run = std::move(run)] {
            // The waits run the event loop: a second menu pick meanwhile is ignored.
            if (busy_)
                return;
            busy_ = true;
            run();
            busy_ = false;
        });
    }

    ActionHost &host_;
    LanModuleSettings kept_;
    bool busy_ = false;
};

} // namespace

void AttachNetActions(ActionHost &host)
{
    auto *actions = new NetActions(host, host.hostWindow());
    actions->setObjectName(QStringLiteral("NetActions"));
    actions->attach();
}

} // namespace kx9
