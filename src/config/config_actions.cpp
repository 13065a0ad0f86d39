#include "config/config_actions.h"

#include "actions/action_host.h"
#include "commands/ttcomxdlg.h"
#include "config/mode_actions.h"
#include "config/param_dialogs.h"
#include "config/param_io.h"
#include "link/options.h"
#include "ui/input_dialogs.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

namespace kx9 {

namespace {

// The main window stays disabled for as long as the action runs, however it ends.
class DisabledWindow {
public:
    explicit DisabledWindow(QWidget *window) : window_(window)
    {
        if (window_)
            window_->setEnabled(false);
    }
    ~DisabledWindow()
    {
        if (window_)
            window_->setEnabled(true);
    }
    DisabledWindow(const DisabledWindow &) = delete;
    DisabledWindow &operator=(const DisabledWindow &) = delete;

private:
    QPointer<QWidget> window_;
};

} // namespace

ConfigActions::ConfigActions(ActionHost &host, QObject *parent) : QObject(parent), host_(host) {}

void ConfigActions::attach()
{
    if (QAction *a = host_.findAction(QStringLiteral("MnSetEEPROM")))
        connect(a, &QAction::triggered, this, &ConfigActions::MnSetEEPROMClick);
}

void ConfigActions::MnSetEEPROMClick()
{
    // The waits run the event loop: a second pick meanwhile is ignored.
    if (busy_ || !host_.comm())
        return;
    busy_ = true;
    {
        DisabledWindow disabled(host_.hostWindow());
        try {
            if (host_.appOptions().fAllEEPROMSet != 0)
                fullDialogFlow();
            else
                reducedDialogFlow();
        } catch (...) {
            // Nothing may leave a menu action; the window comes back either way.
        }
    }
    busy_ = false;
}

void ConfigActions::fullDialogFlow()
{
    const AppOptions &o = host_.appOptions();
    ReaderParamBlock read;
    if (!ReadReaderParams(host_, read))
        return;

    ParamDialogContext ctx;
    ctx.options = &host_.appOptions();
    ctx.area2Byte0 = &area2Byte0;
    ctx.readReader = [this](ReaderParamBlock &b) { return ReadReaderParams(host_, b); };
    TAllSetRom1Dlg dlg(ctx, host_.hostWindow());
    dlg.setEnabled(true);   // its owner is disabled, the dialog is the operator's
    if (o.fP15 != 0)
        dlg.hideAreaTwoPages();
    dlg.EdFName->clear();
    dlg.ShowParamArea1(read.area1);
    if (o.fVER121 != 0)
        dlg.ShowParamArea2(read.area2);

    // The dialog comes back after every write with the values as entered.
    while (dlg.exec() == kModalOk) {
        TTComXDlg *comm = host_.comm();
        if (!comm)
            return;
        const ParamArea1 a1 = dlg.TakeParamArea1();
        if (o.fP15 != 0) {
            if (!WriteArea1Words(*comm, a1, 1, 10)) {
                host_.AppLog(QStringLiteral("ERROR: TxEepromData"));
                continue;
            }
            host_.AppLog(WriteArea1Words(*comm, a1, 11, 10) ? QStringLiteral("OK: TxEepromData")
                                                             : QStringLiteral("ERROR: TxEepromData"));
            continue;
        }
        host_.AppLog(WriteArea1Words(*comm, a1, 1, kArea1Words) ? QStringLiteral("OK: TxEepromData")
                                                                 : QStringLiteral("ERROR: TxEepromData"));
        if (o.fVER121 != 0) {
            const ParamArea2 a2 = dlg.TakeParamArea2();
            host_.AppLog(WriteArea2Words(*comm, a2, 1, kArea2Words) ? QStringLiteral("OK: TxEepromData2")
                                                                     : QStringLiteral("ERROR: TxEepromData2"));
        }
    }
}

void ConfigActions::reducedDialogFlow()
{
    TTComXDlg *comm = host_.comm();
    ParamArea1 read{};
    // The words the reduced dialog has fields in, in the order they are read.
    struct Words {
        int first, count;
    };
    static const Words reads[] = {{1, 2}, {4, 1}, {12, 3}, {16, 1}, {17, 1}, {20, 1}};
    for (const Words &w : reads) {
        const bool quiet = w.first == 1;
        if (quiet)
            host_.SuspendLogging();
        QByteArray words;
        const bool ok = comm->EEPROM_RDWR_CMD_RX(uint8_t(w.first), uint8_t(w.count), words) &&
                        PutAreaWords(read, w.first, words);
        if (quiet)
            host_.ResumeLogging();
        if (!ok)
            return;
    }

    ParamDialogContext ctx;
    ctx.options = &host_.appOptions();
    ctx.area2Byte0 = &area2Byte0;
    TSetRom1Dlg dlg(ctx, host_.hostWindow());
    dlg.setEnabled(true);
    dlg.ShowParamArea1(read);
    if (dlg.exec() != kModalOk)
        return;
    const ParamArea1 a = dlg.TakeParamArea1();
    // Every write is sent, whatever the ones before it got back.
    static const Words writes[] = {{4, 1}, {1, 2}, {12, 3}, {16, 1}, {17, 1}, {20, 1}};
    for (const Words &w : writes) {
        comm = host_.comm();
        if (!comm)
            return;
        WriteArea1Words(*comm, a, w.first, w.count);
    }
}

void AttachConfigActions(ActionHost &host)
{
    auto *actions = new ConfigActions(host, host.hostWindow());
    actions->setObjectName(QStringLiteral("ConfigActions"));
    actions->attach();
    // The modes, the single-field editors and the switches share the
    // remembered area-2 byte 0 with the parameter dialogs.
    auto *modes = new ModeActions(host, actions, host.hostWindow());
    modes->setObjectName(QStringLiteral("ModeActions"));
    modes->attach();
}

ConfigActions *FindConfigActions(ActionHost &host)
{
    QWidget *w = host.hostWindow();
    return w ? w->findChild<ConfigActions *>(QStringLiteral("ConfigActions"), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace kx9
