#pragma once
// What the configuration tests share: kx9sim on a loopback port, and a host
// window with the real communication module connected to it and the
// configuration actions attached to its "EEPROMの設定..." item and to the
// items of the modes, editors and switches, as the main window offers them.
#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "config/config_actions.h"
#include "link/main_state.h"
#include "link/options.h"
#include "memory_log.h"
#include "sim_process.h"
#include "wire_frame.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace kx9test {

class ConfigHost : public kx9::ActionHost {
public:
    explicit ConfigHost(quint16 simPort)
    {
        window.setObjectName(QStringLiteral("TKX9AppForm"));
        auto *item = new QAction(QStringLiteral("EEPROMの設定..."), &window);
        item->setObjectName(QStringLiteral("MnSetEEPROM"));
        window.addAction(item);
        // The items of the modes, editors and switches, as the main menu names them.
        for (const char *name : {"MnSetDousa", "MnSetMode2", "MnModeSet3", "MnEnableEAS1", "MnTxON", "MnTXOFF",
                                 "MnTXOFFON1", "MnRestart", "MnGetErrRate", "MnClearErrRate", "MnSetAFI",
                                 "MnSetRWIDNUM", "MnSetRetry", "MnSetUserCode", "MnSetMemSW", "MnSetWaitTimer",
                                 "MnAFIOff", "MnAFIOn", "MnInventoryAFI_OFF", "MnInventoryAFI_ON", "MnSetBuz_1",
                                 "MnSetBuz_2", "MnNoReadCmd_OFF", "MnNoReadCmd_ON", "MnAntiNormal", "MnAntiFast",
                                 "MnBuzFreq5KHz", "MnBuzFreq2KHz", "MnEEPROM1", "EEPROM21", "MnReadEEPROM2",
                                 "MnSetEEPROM2"}) {
            auto *a = new QAction(QString::fromLatin1(name), &window);
            a->setObjectName(QString::fromLatin1(name));
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
        kx9::AttachConfigActions(*this);
        window.show();
    }
    ~ConfigHost() override
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
        if (logging)
            log.appendLine(text);
    }
    // The module's own transmit and receive lines follow the switch as the
    // main window's do; counted so a test can see the quiet read.
    void SuspendLogging() override
    {
        ++suspends;
        logging = false;
        savedTx = module->LogTx();
        savedRx = module->LogRx();
        module->setLogTx(0);
        module->setLogRx(0);
    }
    void ResumeLogging() override
    {
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
    void ApplyCommandModeGating(bool commandMode) override { gating << commandMode; }
    void ApplyMenuProfile() override {}

    bool connected() const { return module->Connected(); }
    QStringList linesSince(int from) const { return all.mid(from); }

    QTemporaryDir dir;
    QWidget window;
    kx9::AppOptions options;
    kx9::MainState state;
    MemoryLog log;
    QStringList all;          // every line the log got
    bool logging = true;
    int suspends = 0;
    QList<bool> gating;       // every command-mode gating applied, in order
    int savedTx = 1, savedRx = 1;
    std::unique_ptr<kx9::TTComXDlg> module;
    QTimer timer1;
};

} // namespace kx9test
