#pragma once
// The handlers of the "ISO15693コマンド" menu and of the quick mode switch,
// attached to the main window's QActions by AttachActions.
#include "actions/action_util.h"

#include "actions/action_steps.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QAction;

namespace kx9 {

class ActionHost;
struct AppOptions;
struct MainState;
class TTComXDlg;

class CommandActions : public QObject, private ActionSteps {
    Q_OBJECT
public:
    explicit CommandActions(ActionHost &host, QObject *parent = nullptr);

    // Connects every handler to the host's item of the same objectName.
    void attach();

    // ---- "ISO15693コマンド"
    void MnInventoryClick(bool oneSlot);
    void Inventory21Click();
    void MnStayQuitClick();
    void MnReadSingleBlockClick();
    void MnWriteSingleBlockClick();
    void MnLockBlockClick();
    void MnReadMultiBlockClick();
    void MnWriteMultiBlockClick();
    void MnSelectTagClick();
    void MnResetToReadyClick();
    void MnWriteAFIClick();
    void MnLockAFIClick();
    void MnWrietDSFIDClick();
    void MNLockDSFIDClick();
    void MnGetSystemInfoClick();
    void MnGetMBlockSecStClick();
    void MnWrite2BlocksClick();
    void MnLock2BlocksClick();
    void Read1BlockSelect1Click();
    void Write1BlockSelect1Click();

    // ---- operating mode: quick switch (the sender's objectName decides the mode)
    void MnSetCmdModeClick(const QString &sender);
    void MnGetModeClick();
    void MnGetS6700ModeClick();

private:
    // Steps 5 to 8 of every action: timing around sending and the optional wait.
    bool run(const std::function<bool(TTComXDlg &)> &send, bool wait, bool timed = true)
    {
        return sendStep(send, wait, timed);
    }
    bool askBlockNo(uint8_t &block);
    // Block number and text entry of WriteSingleBlock and Write1Block(Select).
    bool askSingleBlockText(uint8_t &block, QByteArray &bytes);
    // The AFI/DSFID entry (hexadecimal, shared action memory).
    bool askAfiDsfid(uint8_t &value);
    // First block and block count (MultiFirstBlock, MultiBlockCount), with or without the text.
    bool askFirstAndCount(bool withText);
    bool refuseWrite(int dataBytes, int overhead, uint8_t flags);
    void txOffStep();

    // The toolbar mode button whose mode was last sent: a press that is
    // ignored during a wait must not leave another button looking pressed.
    QPointer<QAction> modeButton_;
};

} // namespace kx9
