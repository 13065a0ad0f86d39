#pragma once
namespace kx9 {
class ActionHost;
// Connects every command action to the host's menu items (found by objectName).
// Called once by the main window after its menus exist; it attaches the tag
// operation actions as well.
void AttachActions(ActionHost &host);
// The tag operation actions alone (vendor menus, byte commands, CommCommand,
// data write, EAS values). AttachActions already calls it; a second call for
// the same host does nothing.
void AttachTagActions(ActionHost &host);
} // namespace kx9
