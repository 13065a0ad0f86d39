#pragma once
// What the network tests share: a loopback address of the test's own (the LAN
// module's console sits on its real port 23 there, so parallel tests never
// meet), kx9sim bound to it, and a host window with the real communication
// module connected to the simulator's data port, as the main window offers it
// to the actions.
#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "link/main_state.h"
#include "link/options.h"
#include "loopback.h"
#include "memory_log.h"
#include "sim_process.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace kx9test {

// kx9sim with the data port (ephemeral) and the console (23) on `address`.
inline bool StartLanSim(SimProcess &sim, const QString &address, const QStringList &more = {})
{
    return sim.start(QStringList{"--bind", address, "--listen", "0", "--telnet", "23"} + more);
}

class NetHost : public kx9::ActionHost {
public:
    // The module as TCP client of the simulator's data port at `address`.
    NetHost(const QString &address, quint16 dataPort)
    {
        window.setObjectName(QStringLiteral("TKX9AppForm"));
        auto *hint = new QLabel(&window);
        hint->setObjectName(QStringLiteral("StatusPanel0"));
        for (const char *name : {"MnSetTCPIP1", "MnPing", "MnTelnet1"}) {
            auto *a = new QAction(&window);
            a->setObjectName(QLatin1String(name));
            window.addAction(a);
        }
        log.onAppend = [this](const QString &line) { all.append(line); };
        options.UseUSB = 2;
        options.fTCPServer = 0;
        options.TCPServAddr = address;
        options.TCPServPort = dataPort;
        kx9::LinkConfig cfg;
        cfg.LinkMode = 2;
        cfg.TcpServerMode = 0;
        cfg.TcpRemoteAddress = address;
        cfg.TcpRemotePort = dataPort;
        module = std::make_unique<kx9::TTComXDlg>(cfg, dir.filePath(QStringLiteral("kx9monitor.ini")), options,
                                                  state, &log);
        module->Open();
        QObject::connect(&timer1, &QTimer::timeout, module.get(), &kx9::CommModule::DrainReceiver);
        timer1.start(100);
        window.show();
    }
    ~NetHost() override
    {
        timer1.stop();
        module.reset();
    }

    QWidget *hostWindow() override { return &window; }
    kx9::AppOptions &appOptions() override { return options; }
    kx9::MainState &mainState() override { return state; }
    kx9::TTComXDlg *comm() override { return module.get(); }
    void AppLog(const QString &text) override { log.appendLine(text); }
    void SuspendLogging() override {}
    void ResumeLogging() override {}
    QAction *findAction(const QString &name) override
    {
        for (QAction *a : window.actions()) {
            if (a->objectName() == name)
                return a;
        }
        return nullptr;
    }
    void ApplyCommandModeGating(bool) override {}
    void ApplyMenuProfile() override {}

    // Every line written since `from` (the pane itself may have been emptied meanwhile).
    QStringList linesSince(int from) const { return all.mid(from); }
    // The probe of the connection setup: ROM version query and its ACK.
    bool probe()
    {
        module->RomVersionQuery();
        return module->WaitAck();
    }

    QTemporaryDir dir;
    QWidget window;
    kx9::AppOptions options;
    kx9::MainState state;
    MemoryLog log;
    QStringList all;
    std::unique_ptr<kx9::TTComXDlg> module;
    QTimer timer1;
};

} // namespace kx9test
