#pragma once
#include "../support/wire_frame.h"
// A command module in TCP client mode wired to a loopback server that plays
// the reader: it captures every request frame it receives and answers from a
// queue of scripted replies. A 20 ms timer drains the receiver the way the
// main window's receive timer does.
#include "commands/ttcomxdlg.h"
#include "../support/memory_log.h"
#include "link/main_state.h"
#include "link/options.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

// Hex text "02 01 30" to bytes (blanks between pairs).
inline QByteArray hexBytes(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// A reply frame built here, independently of the code under test.
inline QByteArray replyFrame(uint8_t id, char kind, const QByteArray &data, int lenOverride = -1)
{
    return kx9test::WireFrame(kind, data, id, lenOverride);
}

class LoopbackReader {
public:
    LoopbackReader()
    {
        server.listen(QHostAddress::LocalHost, 0);
        kx9::LinkConfig cfg;
        cfg.LinkMode = 2;
        cfg.TcpServerMode = 0;
        cfg.TcpRemoteAddress = QStringLiteral("127.0.0.1");
        cfg.TcpRemotePort = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [this] { onRequestBytes(); });
        });
        module = std::make_unique<kx9::TTComXDlg>(cfg, dir.filePath(QStringLiteral("kx9monitor.ini")), options,
                                                  state, &log);
        module->comDebug().IDNo = 1;
        module->setLogTx(1);
        module->setLogRx(0);
        module->Open();
        pumpUntil([this] { return peer != nullptr; });
        QObject::connect(&timer1, &QTimer::timeout, [this] { module->DrainReceiver(); });
        timer1.start(20);
    }

    bool connected() const { return peer != nullptr && module->Connected(); }

    template <typename Pred>
    static bool pumpUntil(Pred done, int ms = 1500)
    {
        QDeadlineTimer deadline(ms);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
        }
        return true;
    }

    // The next request frame the reader received (empty when none came).
    QByteArray nextRequest(int ms = 1000)
    {
        pumpUntil([this] { return !requests.isEmpty(); }, ms);
        return requests.isEmpty() ? QByteArray() : requests.takeFirst();
    }

    // Nothing reaches the reader for a short while.
    bool wireStaysQuiet(int ms = 150)
    {
        pumpUntil([] { return false; }, ms);
        return requests.isEmpty() && pending.isEmpty();
    }

    // Bytes the reader sends now, unasked; returns once the receiver has
    // drained all of them (and so routed every frame among them).
    bool deliver(const QByteArray &bytes)
    {
        const int start = module->RxTail();
        peer->write(bytes);
        peer->flush();
        const int size = int(bytes.size());
        return pumpUntil([this, start, size] {
            const int drained = (module->RxTail() - start + kx9::CommModule::kRingSize) % kx9::CommModule::kRingSize;
            return drained == size;
        });
    }

    // Log lines written since `from`.
    QStringList logSince(int from) const { return log.lines.mid(from); }

    QTemporaryDir dir;
    kx9::AppOptions options;
    kx9::MainState state;
    kx9test::MemoryLog log;
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    std::unique_ptr<kx9::TTComXDlg> module;
    QTimer timer1;
    QList<QByteArray> requests;   // captured request frames
    QList<QByteArray> script;     // reply bytes, one entry per request (may hold several frames)

private:
    void onRequestBytes()
    {
        pending += peer->readAll();
        // Split by LEN; each complete frame is one request.
        while (pending.size() >= 4 && pending.size() >= uint8_t(pending[3]) + 7) {
            const int n = uint8_t(pending[3]) + 7;
            requests << pending.left(n);
            pending.remove(0, n);
            if (!script.isEmpty()) {
                peer->write(script.takeFirst());
                peer->flush();
            }
        }
    }

    QByteArray pending;
};
