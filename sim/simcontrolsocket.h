#pragma once
// The control language on a local (Unix-domain) socket: one reply line per
// command line, any number of clients. A client may send its commands and
// shut down its sending side at once (`printf 'tags\n' | socat - UNIX-CONNECT:...`):
// the commands still run and their replies still reach it; only then does the
// simulator close the connection. A last line without its newline counts too.
#include <QLocalServer>
#include <functional>

namespace kx9sim {

class ControlSocketServer : public QLocalServer {
    Q_OBJECT
public:
    // Runs one command line and returns its reply line (without the newline).
    using RunFn = std::function<QByteArray(const QByteArray &line)>;
    explicit ControlSocketServer(RunFn run, QObject *parent = nullptr);

protected:
    // QLocalSocket closes itself, write buffer and all, when the peer stops
    // sending; the connections here work on the descriptor so that a
    // half-closed client keeps the way back open.
    void incomingConnection(quintptr socketDescriptor) override;

private:
    RunFn m_run;
};

} // namespace kx9sim
