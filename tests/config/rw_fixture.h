#pragma once
// What the tests of the "設定" dialogs and the peripheral commands share:
// kx9sim on a loopback port and a host window with the real communication
// module connected to it, the menu items and toolbar mode buttons these
// actions attach to, and a record of what the actions did to the window
// (menu profile, command-mode gating, the window and the log at that moment).
#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "config/config_actions.h"
#include "config/settings_actions.h"
#include "link/main_state.h"
#include "link/options.h"
#include "memory_log.h"
#include "sim_process.h"
#include "wire_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace kx9test {

// A frame written as it goes on the wire, "02 00 4E ..." (blanks optional).
inline QByteArray Hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

class RwHost : public kx9::ActionHost {
public:
    static QStringList ItemNames()
    {
        return {"MnSetPara3", "MnKX9P80C1", "MnSelAnt2",   "MnSetIO1",    "MnSetBuz1",   "MnSetBuz2",
                "MnLED1",     "MnGetRomVer", "MnIOPORT1In", "MnIOPORT2In", "MnGetPWMode", "MnSimpleRead",
                "MnSelAntena", "MnReadRAM1", "MnWriteRAM1", "MnPolWrite1", "MnSelRy",     "MnConfig1"};
    }

    explicit RwHost(quint16 simPort)
    {
        window.setObjectName(QStringLiteral("TKX9AppForm"));
        for (const QString &name : ItemNames()) {
            auto *a = new QAction(name, &window);
            a->setObjectName(name);
            window.addAction(a);
        }
        auto *group = new QActionGroup(&window);
        for (const char *name : {"TBtSetCmdMode", "TBtSetATRMD", "TBtSetTest1Mode"}) {
            auto *a = new QAction(QLatin1String(name), &window);
            a->setObjectName(QLatin1String(name));
            a->setCheckable(true);
            group->addAction(a);
            window.addAction(a);
        }
        log.onAppend = [this](const QString &line) { all.append(line); };
        kx9::LinkConfig cfg;
        cfg.LinkMode = 2;
        cfg.TcpServerMode = 0;
        cfg.TcpRemoteAddress = QStringLiteral("127.0.0.1");
        cfg.TcpRemotePort = simPort;
        options.UseUSB = 2;
        module = std::make_unique<kx9::TTComXDlg>(cfg, dir.filePath(QStringLiteral("kx9monitor.ini")), options,
                                                  state, &log);
        module->Open();
        QObject::connect(&timer1, &QTimer::timeout, module.get(), &kx9::CommModule::DrainReceiver);
        timer1.start(100);
        kx9::AttachSettingsActions(*this);
        window.show();
    }
    ~RwHost() override
    {
        timer1.stop();
        module.reset();
    }

    QWidget *hostWindow() override { return &window; }
    kx9::AppOptions &appOptions() override { return options; }
    kx9::MainState &mainState() override { return state; }
    kx9::TTComXDlg *comm() override { return module.get(); }
    void AppLog(const QString &text) override
    {
        if (!logging)
            return;
        appLines.append(text);
        log.appendLine(text);
    }
    // As the main window does: the module's own lines follow the switch, and
    // a second suspension keeps what the first one saved.
    void SuspendLogging() override
    {
        ++suspends;
        if (!logging)
            return;
        logging = false;
        savedTx = module->LogTx();
        savedRx = module->LogRx();
        module->setLogTx(0);
        module->setLogRx(0);
    }
    void ResumeLogging() override
    {
        ++resumes;
        if (logging)
            return;
        logging = true;
        module->setLogTx(savedTx);
        module->setLogRx(savedRx);
    }
    QAction *findAction(const QString &name) override
    {
        for (QAction *a : window.actions())
            if (a->objectName() == name)
                return a;
        return nullptr;
    }
    void ApplyCommandModeGating(bool commandMode) override
    {
        gating << commandMode;
        windowEnabledAtGating << window.isEnabled();
        loggingAtGating << logging;
    }
    void ApplyMenuProfile() override { ++menuProfiles; }

    void trigger(const char *item) { findAction(QLatin1String(item))->trigger(); }
    bool connected() const { return module->Connected(); }
    QStringList linesSince(int from) const { return all.mid(from); }
    // The tool's own lines (AppLog) since `from`, without the module's frame and decoder lines.
    QStringList appLinesSince(int from) const { return appLines.mid(from); }

    QTemporaryDir dir;
    QWidget window;
    kx9::AppOptions options;
    kx9::MainState state;
    MemoryLog log;
    QStringList all;          // every line the log got
    QStringList appLines;     // the lines AppLog wrote
    bool logging = true;
    int suspends = 0, resumes = 0;
    int menuProfiles = 0;
    QList<bool> gating;       // every command-mode gating applied, in order
    QList<bool> windowEnabledAtGating, loggingAtGating;
    int savedTx = 1, savedRx = 1;
    std::unique_ptr<kx9::TTComXDlg> module;
    QTimer timer1;
};

} // namespace kx9test
