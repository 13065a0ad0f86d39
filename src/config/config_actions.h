#pragma once
// The reader-configuration items of the main window's "設定" menu, attached
// by objectName: "EEPROMの設定..." (MnSetEEPROM) opens the full or the
// reduced parameter dialog as fAllEEPROMSet says.
#include <QObject>
#include <cstdint>

namespace kx9 {

class ActionHost;

class ConfigActions : public QObject {
    Q_OBJECT
public:
    explicit ConfigActions(ActionHost &host, QObject *parent = nullptr);
    void attach();

    // "EEPROMの設定...": the main window is disabled while it runs and enabled
    // again on every way out.
    void MnSetEEPROMClick();

    // Area-2 byte 0 as last read, loaded or shown: it has no control, and is
    // written back as remembered. Kept for the whole run.
    uint8_t area2Byte0 = 0;

private:
    void fullDialogFlow();
    void reducedDialogFlow();

    ActionHost &host_;
    bool busy_ = false;
};

// Connects the configuration items to the host's menu items (found by
// objectName): the parameter dialogs, and the modes, editors and switches of
// ModeActions (mode_actions.h). Called once by the main window after its
// menus exist.
void AttachConfigActions(ActionHost &host);
// The configuration actions attached to the host (null before AttachConfigActions).
ConfigActions *FindConfigActions(ActionHost &host);

} // namespace kx9
