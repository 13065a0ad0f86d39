#pragma once
// The handlers of the vendor and utility tag menus: "TAG-ITコマンド",
// "my-dコマンド", "カスタムコマンド" (TI, TI Light, フィリップス, 富士通,
// STマイクロ), the tag items of "汎用コマンド", the data write of "コマンド"
// (toolbar button and Ctrl+W) and the EAS values of "設定". Attached to the
// main window's QActions by AttachTagActions.
#include "actions/action_steps.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace kx9 {

class ActionHost;
struct AppOptions;
struct MainState;
class TTComXDlg;

// Values the tag actions remember between uses while the program runs (not
// saved); the ISO actions' memory (block numbers, counts, text) is MainState's.
struct TagActionMemory {
    uint8_t InventoryAfi = 0;
    uint8_t SidPollMaskLength = 4;
    uint32_t SidPollMask = 0;
};

class TagActions : public QObject, private ActionSteps {
    Q_OBJECT
public:
    explicit TagActions(ActionHost &host, QObject *parent = nullptr);

    // Connects every handler to the host's item of the same objectName.
    void attach();

    TagActionMemory &memory() { return mem_; }

    // ---- "TAG-ITコマンド"
    void MnGetBlockClick();
    void MnGetVersionClick();
    void MnPutBlockClick();
    void MnPutBlockLockClick();
    void MnLockBlock2Click();
    void MnSID_PollClick();
    void MnQuietClick();

    // ---- "my-dコマンド"
    void MnMydRead1Click();
    void MnMydWrite1Click();
    void MnMydWriteByte1Click();
    void MnMydWriteReread1Click();

    // ---- "カスタムコマンド" > "TI" (oneSlot: the items "1")
    void MnTIInventoryRead11Click(bool oneSlot);
    void MnTIInventoryMultiRead11Click(bool oneSlot);
    void MnTIInventoryGetSystemInfo11Click(bool oneSlot);
    void MnTIInventoryGetSecInfo11Click(bool oneSlot);

    // ---- "カスタムコマンド" > "TI Light"
    void MnWrLightPassClick();
    void MnSetRPClick();
    void MnLightAFI1Click();
    void WriteSingleBlockPwd1Click();
    void MnKill1Click();

    // ---- "カスタムコマンド" > "フィリップス"
    void InventoryRead11Click(bool oneSlot);
    void FastInventoryRead11Click(bool oneSlot);
    void MnSetEAS1Click();
    void MnResetEAS1Click();
    void MnLockEAS1Click();
    void MnEASAlarm1Click();

    // ---- "カスタムコマンド" > "富士通"
    void MnMB89EAS1Click();
    void MnFujiEASONClick(bool on);
    void MnMB89RefreshClick();
    void MnMB89ReadMulitiBlocksUnlimited1Click();

    // ---- "カスタムコマンド" > "STマイクロ"
    void MnACTIVATEEAS1Click();
    void MnDEACTIVATEEAS1Click();
    void POOLEAS1Click();

    // ---- "汎用コマンド"
    void MnPowerDownClick();
    void MnGetErrStatusClick();
    void ReadBytes1Click();
    void WriteBytes1Click();
    void MnLockBytes1Click();
    void MnGetUIDNumClick();
    void GetUIDDataClick();
    void MnQUIT_Cmd1Click(uint8_t mode);
    void MnCommRead1Click();
    void MnCommWrite1Click();
    void MnTransmit1Click();

    // ---- "コマンド" > "データ書き込み..." (TBtDataWrite, Ctrl+W)
    void MnDataWriteClick();

    // ---- "設定" > "EASの設定"
    void MnEASON1Click();
    void MnEASOFF1Click();

private:
    bool run(const std::function<bool(TTComXDlg &)> &send, bool wait, bool timed = false)
    {
        return sendStep(send, wait, timed);
    }
    // The question box of a destructive command; true only for Yes.
    bool confirm(const QString &text);

    // Shared dialogs.
    bool askBlockNo(const QString &caption, int maximum, uint8_t &block);
    // Block number (LastBlockNo), second number hidden, text (LastDataText).
    bool askBlockAndText(const QString &caption, const QString &textPrompt);
    // First block and count (MultiFirstBlock, MultiBlockCount), text hidden.
    bool askFirstAndCount(int countMinimum, const QString &countPrompt, const QString &caption);
    // Block, count and AFI of the inventory reads (TInp3Data1Dlg).
    bool askBlockCountAfi();
    bool askAfi(const QString &caption);

    void tagItBlockWrite(bool lock);
    void mydWrite(bool reread);

    TagActionMemory mem_;
};

} // namespace kx9
