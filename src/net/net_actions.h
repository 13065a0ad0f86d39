#pragma once
namespace kx9 {
class ActionHost;
// Connects the network menu items to the host's actions (found by
// objectName): "LAN接続の設定..." (MnSetTCPIP1), "PINGの実行..." (MnPing) and
// "ネットワークボードの設定値..." (MnTelnet1). Called once by the main window
// after its menus exist; the LAN module settings read through MnTelnet1 are
// kept until the window goes.
void AttachNetActions(ActionHost &host);
} // namespace kx9
