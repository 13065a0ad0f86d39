#pragma once
namespace kx9 {
class ActionHost;
// Connects every command action to the host's menu items (found by objectName).
// Called once by the main window after its menus exist.
void AttachActions(ActionHost &host);
} // namespace kx9
