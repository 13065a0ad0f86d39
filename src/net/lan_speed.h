#pragma once
// Connection setup over TCP/IP: the reader's speed change and the port check
// when the reader sits behind a LAN module, whose RS-232C speed is set over
// its Telnet console.
#include <functional>

namespace kx9 {

class ActionHost;

// Changes the reader's speed to `targetBps` (9600, 19200 or 38400) and the
// LAN module's with it, then reconnects; logs "Change R/W Speed " when the
// connection is up again. `serialVariant` changes the reader's own speed
// (mode flags, restart, reopen) and returns whether it did. The LAN
// connection dialog comes first, so that a cancel there leaves both as they
// were; a module that refuses the new speed is logged with the state the
// reader and the module are left in.
bool ChangeReaderSpeedOverLan(ActionHost &host, int targetBps, const std::function<bool()> &serialVariant);

// The port check over TCP/IP: the module's speeds 19200, 9600 and 38400 in
// turn until the reader answers the ROM version query. True when found.
bool CheckPortsOverLan(ActionHost &host);

} // namespace kx9
