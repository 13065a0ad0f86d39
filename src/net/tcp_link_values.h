#pragma once
// The communication module's TCP/IP values (role, listening port, remote
// address and port) as the LAN connection dialog reads and changes them.
#include <QString>

namespace kx9 {

class CommModule;

struct TcpLinkValues {
    int serverMode = 1;        // non-zero: the tool listens; 0: it connects
    int listenPort = 3335;
    int remotePort = 10777;
    QString remoteAddress;
    bool operator==(const TcpLinkValues &) const = default;
};

TcpLinkValues TcpValuesOf(const CommModule &module);
// Hands the values to the module for its next reopen.
void SetTcpValuesOf(CommModule &module, const TcpLinkValues &values);

} // namespace kx9
