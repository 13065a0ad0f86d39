#pragma once
// A loopback address of the test's own: the LAN module's console sits on its
// real port 23 there, so tests running in parallel never meet.
#include <QHostAddress>
#include <QString>
#include <QTcpServer>

#include <unistd.h>

namespace kx9test {

// 127.x.y.z from the process id and a counter: a new one for every call.
inline QString OwnLoopbackAddress()
{
    static int calls = 0;
    const int pid = int(::getpid());
    const int a = 20 + (calls++ % 200);
    return QStringLiteral("127.%1.%2.%3").arg(a).arg((pid / 250) % 250 + 1).arg(pid % 250 + 2);
}

// Empty when port 23 can be bound on `address`, else why not (for QSKIP).
inline QString ConsolePortRefusal(const QString &address)
{
    QTcpServer probe;
    if (probe.listen(QHostAddress(address), 23))
        return {};
    return QStringLiteral("cannot bind the console port 23 on %1 (%2): needs root or CAP_NET_BIND_SERVICE")
        .arg(address, probe.errorString());
}

} // namespace kx9test
