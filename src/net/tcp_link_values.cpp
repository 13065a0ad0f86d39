#include "net/tcp_link_values.h"

#include "link/comm_module.h"

namespace kx9 {

TcpLinkValues TcpValuesOf(const CommModule &module)
{
    const LinkConfig &c = module.linkConfig();
    return {c.TcpServerMode, c.TcpListenPort, c.TcpRemotePort, c.TcpRemoteAddress};
}

void SetTcpValuesOf(CommModule &module, const TcpLinkValues &v)
{
    module.SetTcpValues(v.serverMode, v.listenPort, v.remotePort, v.remoteAddress);
}

} // namespace kx9
