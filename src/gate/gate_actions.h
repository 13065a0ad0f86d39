#pragma once
namespace kx9 {
class ActionHost;
// Connects the items of "ゲート用コマンド" (MnGateCmd) and "W30用コマンド"
// (W301) to their actions, found by objectName, and takes the gates' count
// reports: to the open count dialog of that gate, or as text to the log when
// none is open. Called once by the main window after its menus exist; a
// second call changes nothing.
void AttachGateActions(ActionHost &host);
} // namespace kx9
