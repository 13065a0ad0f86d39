#include "net/lan_speed.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "net/lan_connection_dialog.h"
#include "net/lan_module.h"
#include "net/tcp_link_values.h"

#include <QPointer>

namespace kx9 {

namespace {
void freeDataConnection(CommModule &module)
{
    // The module's TCP port cannot carry data while its console changes the line.
    if (module.LinkMode() == 2 && module.Connected())
        module.LinkClose();
}
// The LAN module's line speed set over its console with the data connection
// free, then the data connection reopened. False when the module went away
// meanwhile; `set` tells whether the module took the speed.
bool setModuleSpeed(QPointer<TTComXDlg> &module, const QString &address, int code, const AppLogFn &appLog, bool &set)
{
    if (!module)
        return false;
    freeDataConnection(*module);
    set = LanModuleSetSpeed(module->logTarget(), module->LogRx(), address, code, appLog);
    if (!module)
        return false;
    module->LinkReopenOnPort(0);
    return true;
}
} // namespace

bool ChangeReaderSpeedOverLan(ActionHost &host, int targetBps, const std::function<bool()> &serialVariant)
{
    const int code = LanSpeedCodeOfBps(targetBps);
    if (code < 0 || !host.comm())
        return false;
    const AppLogFn appLog = [&host](const QString &line) { host.AppLog(line); };
    TcpLinkValues confirmed;
    if (!LanConnectionDialog(host, true, &confirmed))
        return false;
    if (!serialVariant || !serialVariant())
        return false;
    QPointer<TTComXDlg> module = host.comm();
    bool set = false;
    if (!setModuleSpeed(module, confirmed.remoteAddress, code, appLog, set))
        return false;
    const QString speed = LanSpeedText(code);
    if (!set) {
        appLog(QStringLiteral("R/Wの通信スピードは%1に変更されましたが、LANモジュールの通信スピードを%1に設定できませんでした。"
                              "このままではR/Wと通信できません（ポートチェックで合わせ直せます）。")
                   .arg(speed));
        return false;
    }
    if (!WaitForLanConnection(host)) {
        appLog(QStringLiteral("R/WとLANモジュールの通信スピードは%1に変更済みです（未接続）。").arg(speed));
        return false;
    }
    appLog(QStringLiteral("Change R/W Speed "));
    return true;
}

bool CheckPortsOverLan(ActionHost &host)
{
    if (!host.comm())
        return false;
    const AppLogFn appLog = [&host](const QString &line) { host.AppLog(line); };
    TcpLinkValues confirmed;
    if (!LanConnectionDialog(host, true, &confirmed))
        return false;
    appLog(QStringLiteral("------- Check KX9 R/W ---------- "));
    appLog(QStringLiteral("------- しばらくお待ちください ---------- "));
    for (int code : {1, 0, 2}) {
        QPointer<TTComXDlg> module = host.comm();
        bool set = false;
        if (!setModuleSpeed(module, confirmed.remoteAddress, code, appLog, set))
            return false;
        if (!set)
            continue;
        // Cancel here ends the check.
        if (!WaitForLanConnection(host) || !module)
            return false;
        if (!module->IsLinkOpen())
            continue;
        module->RomVersionQuery();
        if (module->WaitAck()) {
            appLog(QStringLiteral("Find KX9 R/W "));
            appLog(QStringLiteral("Speed:") + LanSpeedText(code));
            return true;
        }
    }
    appLog(QStringLiteral("Not Find KX9 R/W "));
    return false;
}

} // namespace kx9
