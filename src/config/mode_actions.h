#pragma once
// The reader's modes and the small parameter editors, attached to the main
// window's items by objectName:
//  - "動作モードの設定...", the S6700 mode dialog (with and without the EEPROM
//    tick), "EASモードの設定...", the carrier items, "リスタート", the error rate;
//  - the single-field editors and bit switches of "設定", "EEPROMの初期化",
//    "EEPROM2の設定..." and the area-2 word read and write.
// Every editor and switch is a read-modify-write of whole EEPROM words: the
// bits it has no control for go back exactly as read.
#include "config/mode_logic.h"

#include "actions/action_steps.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace kx9 {

class ActionHost;
class ConfigActions;
class TTComXDlg;

// Sets the S6700 control byte for a tag family (ISO15693(1/4), the family's
// modulation and AM/FSK, high data rate), stores it in S6700Conf and in the
// reader's EEPROM, and waits for the reply. A failed query logs
// "Error: KX9GetTagMode"; a refused setting only returns false.
bool SetTagGroupS6700(ActionHost &host, TagFamily family);

class ModeActions : public QObject, private ActionSteps {
    Q_OBJECT
public:
    ModeActions(ActionHost &host, ConfigActions *config, QObject *parent = nullptr);
    void attach();

    // ---- operating modes
    void MnSetDousaClick();
    void MnSetMode2Click(bool storeInEeprom);
    void MnEnableEAS1Click();
    void MnTxONClick(uint8_t onOff);
    void MnRestartClick();
    void MnGetErrRateClick();
    void MnClearErrRateClick();

    // ---- single-field editors
    void MnSetAFIClick();
    void MnSetRWIDNUMClick();
    void MnSetRetryClick();
    void MnSetUserCodeClick();
    void MnSetMemSWClick();
    void MnSetWaitTimerClick();
    // ---- switches
    void switchBit(const WordBit &where, bool set);
    void MnAntiNormalClick(bool fast);
    void MnBuzFreq5KHzClick(bool variable);
    void MnEEPROM1Click();
    // ---- area 2
    void EEPROM21Click();
    void MnReadEEPROM2Click();
    void MnSetEEPROM2Click();

    // Area-2 word editors' memory (whole run; 0 at start).
    int area2Start = 0;
    int area2Count = 0;
    uint32_t area2Data = 0;
    // The area 2 as the EEPROM-2 dialog last read or wrote it, bytes 8 and 9
    // as the buzzer switch last wrote them. Byte 0 is the one the full
    // parameter dialog remembers too.
    ParamArea2 area2Remembered{};

private:
    // An area-1 read followed by the reply check of the switches: the ACK
    // wait that returns at once on the read's own reply (and waits again,
    // logging the time-out a second time, when the read got none).
    bool readWordsChecked(TTComXDlg &c, int firstWord, int count, QByteArray &words, bool area2 = false);
    // After a failed read the editors offer stand-in values: before they are
    // written, the operator is asked whether to write them at all.
    bool confirmUnreadValues();
    // The three-value dialog of the area-2 word editors; false on Cancel.
    bool askArea2Words(bool forWrite);
    void rememberByte0(uint8_t b);

    ConfigActions *config_;
};

} // namespace kx9
