#pragma once
// The communication module with one operation per reader, gate and tag
// command, and the reply decoders attached to the router.
//
// Every operation is named after the label it writes to the transmit log:
// blanks in a label become '_', "DousaModeSet(N)" becomes `DousaModeSetN`, and
// where two commands share a label the command code or sub-command is appended
// (`UID_RDWR_CMD_O` reads the UID, `UID_RDWR_CMD_N` sets it; `DousaModeSet_J`
// is the data write). The two queries logged with Japanese labels are
// `RomVersionQuery`/`ModelNameQuery` and their gate forms. Send-only operations
// return whether the frame was handed to the link; waiting operations return
// the outcome of the reply.
#include "link/comm_module.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>

namespace kx9 {

// CRC of ISO/IEC 13239 as ISO/IEC 15693 uses it: start 0xFFFF, reflected
// polynomial 0x8408, result complemented. Check value of "123456789": 0x906E.
uint16_t IsoCrc16(const uint8_t *bytes, int count);
uint16_t IsoCrc16(const QByteArray &bytes);
// Appends the CRC of `request` to it, low byte first.
void AppendIsoCrc16(QByteArray &request);

// UID text: each byte as two upper-case hex digits and a blank, last received byte first.
QString UidText(const QByteArray &wireOrder);

class TTComXDlg : public CommModule {
    Q_OBJECT
public:
    TTComXDlg(const LinkConfig &config, const QString &iniPath, AppOptions &options,
              MainState &state, LogTarget *logPane, QObject *parent = nullptr);
    ~TTComXDlg() override;

    // ---- values kept from replies
    QString RomVersionText;          // 'O' 0x90
    uint8_t PortDataByte = 0;        // 'O' 0x9F
    // Bytes of the last block, multi-block, byte or security-status read. A new
    // read overwrites it from byte 0 on; bytes beyond its length keep older values.
    QByteArray LastReadData = QByteArray(256, '\0');
    int LastReadCount = 0;           // bytes the last read reply brought
    uint8_t LastReadSecurity = 0;    // security byte of the last single-block read with the option flag
    // Set by the block-reading tag commands from bit 4 of their request flags:
    // tells the 'x' decoder that a security byte precedes single-block data.
    int OptionFlagMarker = 0;

    // 8 bytes of `CurrentUid`, for the commands that take a UID from the caller.
    QByteArray CurrentUidBytes();

    // ---- reader commands without sub-command
    bool QUIT_command(uint8_t mode);
    bool Buzzer_Command(uint8_t sound);
    bool Simple_Read_Command();
    bool DousaModeSet_J(const QByteArray &bytes);     // data write; more than 250 bytes are cut to 250

    // ---- reader queries 'O'
    bool DousaModeSet_O(uint8_t &mode, uint8_t &mode2, uint8_t &modeFlags);
    bool DousaModeSetN(uint8_t sub);                  // "DousaModeSet(N)" / "S6700ModeSet(N)" / "??? command(N)"
    bool RX_S6700ModeSet(uint8_t &mode);
    bool UID_RDWR_CMD_O();
    bool AFI_RDWR_CMD_RX(uint8_t &afi);
    bool POWERDOWN_CMD_O();
    bool GETUIDNUMBER_CMD();
    bool GETUIDDATA_CMD(uint8_t index);
    uint8_t CNT_EXT2PORT_O();                         // reply DATA[1] after an ACK, else 0
    bool ERR_RATE_CMD_RX(uint32_t &successCount, uint32_t &failureCount);
    bool EEPROM_RDWR_CMD_RX(uint8_t address, uint8_t count, QByteArray &words);
    bool EEPROM_RDWR_CMD2_RX(uint8_t address, uint8_t count, QByteArray &words);
    bool Get_ERROR_STATUS();
    bool RAM_Read_Command(uint16_t address, uint8_t count);
    bool RomVersionQuery();                           // "ＲＯＭのバージョン情報"
    bool ModelNameQuery();                            // "機種名（ModelName）の取得"
    bool SELANTENA_CMD_O(uint8_t &antenna);
    uint8_t Port_Read_Command();                      // `PortDataByte` after an ACK, else 0
    bool RXParamData(uint8_t number, uint8_t &value);
    // -1, 0 or 1 as the reader's firmware is older than, equal to or newer than
    // `version` (three digits, 121 for 1.21).
    int RomVersionCompare(int version);

    // ---- reader settings 'N'
    bool DousaModeSet_N(bool storeInEeprom, uint8_t mode, uint8_t mode2, uint8_t modeFlags,
                        uint16_t pollingTime);
    bool PolWrite(uint8_t block, const QByteArray &bytes, uint8_t requestFlags, uint8_t modeFlags,
                  uint16_t pollingTime);
    bool S6700ModeSet(uint8_t mode, bool storeInEeprom);
    bool UID_RDWR_CMD_N(const QByteArray &uid);
    bool AFI_RDWR_CMD_TX(uint8_t afi);
    bool POWERDOWN_CMD_N();
    bool SET_LEDCONT(uint8_t led, uint8_t mode, uint8_t time);
    bool CNT_EXT2PORT_N(uint8_t value);               // send and wait
    bool CNT_LEDBUZ_CMD(uint8_t port, uint8_t ledMode, uint8_t ledTime, uint8_t sound, uint8_t buzzerTime);
    bool ERR_RATE_CMD_TX();
    bool EEPROM_RDWR_CMD_TX(uint8_t address, uint8_t count, const QByteArray &words);
    bool EEPROM_INIT_CMD();
    bool EEPROM_RDWR_CMD2_TX(uint8_t address, uint8_t count, const QByteArray &words);
    bool RAM_Write_Command(uint16_t address, uint8_t count, uint32_t value);
    bool SELANTENA_CMD_N(uint8_t antenna);
    bool RESTART_CMD();
    bool TXON_OFF_CMD(uint8_t onOff);
    bool Port_Write_Command(uint8_t designation, uint8_t value);
    bool TxSetParamData(uint8_t number, uint8_t value);

    // ---- read loops ('x' 0xF1, 0xF2, 0xF4, 0xF5)
    bool Read_Loop_Command_F1(uint8_t loopMode, bool afiGiven, uint8_t afi, uint8_t maskLength, uint64_t mask);
    bool Read_Loop_Command_F2(uint8_t loopMode, uint8_t flags, uint8_t firstBlock, uint8_t length, uint8_t afi);
    bool RDLoopPol_Command(uint8_t flags, uint8_t parameter, uint16_t pollingTime, uint8_t firstBlock,
                           uint8_t length, uint8_t afi);
    bool RDLoopPolGet_Command();

    // ---- gate commands 'G'; outputs are left unchanged on failure
    bool G_GetModeCmd(uint8_t &mode);
    bool G_SetModeCmd(uint8_t mode);
    bool GateGetEEPROMCmd(uint8_t address, uint8_t count, QByteArray &words);
    bool GateSetEEPROMCmd(uint8_t address, uint8_t count, const QByteArray &words);
    bool GateGetDispOutStateCmd(QByteArray &state2);
    bool GateSetDispOutStateCmd_22(const QByteArray &state2);
    bool GateGetSwSensorCmd(QByteArray &sensors2);
    bool GateGetIoSensorCmd(uint8_t &value);
    bool GateGetPersonSensorCmd(uint8_t &value);
    bool GateRmcountmodeCmd(uint16_t &a, uint16_t &b, uint16_t &c);
    bool GateRmcountvaluCmd(uint32_t &people1, uint32_t &people2, uint16_t &alarm1, uint16_t &alarm2);
    bool GateGetDispOutStateCmd2(QByteArray &state3);
    bool GateRmcountvaluCmd2(QByteArray &bytes, int &count);
    bool GateGetSPKVolumeCmd(uint8_t &volume);
    bool GateWmcountmodeCmd(uint16_t a, uint16_t b, uint16_t c);
    bool GateWmcountvaluCmd(uint32_t people1, uint32_t people2, uint16_t alarm1, uint16_t alarm2);
    bool GateWadjusttimeCmd();
    bool GateSetDispOutStateCmd_26(const QByteArray &state3);
    bool GateWmcountmodeCmd2(const QByteArray &bytes);
    bool GateSetSPKVolumeCmd(uint8_t volume);
    bool GateRomVersionQuery();                       // "ＲＯＭのバージョン情報"
    bool GateModelNameQuery();                        // "機種名（ModelName）の取得"
    bool GateProgModeComad();
    bool GateReStartComad();
    bool GateGetBPSSpeedComad(uint8_t &speedCode);
    bool GateSetBPSSpeedComad(uint8_t speedCode);
    bool GateCommCmd(const QByteArray &bytes);

    // ---- ISO 15693 tag commands ('x'); F is `RequestFlags`
    bool ISO15693_Inventory(uint8_t F);
    bool ISO15693_Inventory2(uint8_t F, uint8_t parameter);
    bool StayQuiet(uint8_t F, const QByteArray &uid);
    bool ISO15693_ReadSingleBlock(uint8_t block, uint8_t F);
    bool ISO15693_WriteSingleBlock(uint8_t block, const QByteArray &data, uint8_t F);
    bool ISO15693_LockBlock(uint8_t block, uint8_t F);
    bool ISO15693_ReadMultiBlock(uint8_t firstBlock, uint8_t blocksMinus1, uint8_t F);
    bool ISO15693_WriteMultiBlock(uint8_t firstBlock, uint8_t blocksMinus1, const QByteArray &data, uint8_t F);
    bool ISO15693_SelectTag(uint8_t F, const QByteArray &uid);
    bool ISO15693_ResetToReady(uint8_t F);
    bool ISO15693_WriteAFI(uint8_t afi, uint8_t F);
    bool ISO15693_LockAFI(uint8_t F);
    bool ISO15693_WrietDSFID(uint8_t dsfid, uint8_t F);
    bool ISO15693_LockDSFID(uint8_t F);
    bool ISO15693_GetSystemInfo(uint8_t F);
    bool ISO15693_GetMBlockSecSt(uint8_t firstBlock, uint8_t blocksMinus1, uint8_t F);
    bool ISO15693_ReadBytes(uint8_t block, uint8_t count, uint8_t F);
    bool ISO15693_WriteBytes_A1(uint8_t block, const QByteArray &data, uint8_t F);
    bool ISO15693_WriteBytes_F3(uint8_t block, uint8_t blocks, uint8_t F);   // lock bytes
    bool ISO15693_Write2Blocks(uint8_t firstBlock, const QByteArray &data8, uint8_t F);
    bool ISO15693_Lock2Blocks(uint8_t firstBlock, uint8_t F);
    bool ISO15693_CommCmd(const QByteArray &bytes);

    // ---- vendor commands ('x')
    bool TI_InventoryRead(uint8_t block, uint8_t F, uint8_t afi);
    bool TI_InventoryMultiRead(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi);
    bool TI_InventoryGetSystemInfo(uint8_t F, uint8_t afi);
    bool TI_InventoryGetSecInfo(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi);
    bool TI_KillCommand(uint8_t F, const QByteArray &uid, const QByteArray &password4);
    bool TI_WRSIBK_Psw(uint8_t F, const QByteArray &uid, const QByteArray &password4, uint8_t block,
                       const QByteArray &data4);
    bool Myd_ReadCommand(uint8_t block, uint8_t F);
    bool Myd_WriteCommand(uint8_t block, const QByteArray &data8, uint8_t F);
    bool Myd_WriteByteCommand(uint8_t block, uint8_t position, uint8_t value, uint8_t F);
    bool Myd_WriteRereadCommand(uint8_t block, const QByteArray &data8, uint8_t F);
    bool LRI_ACTIVATEEAS(uint8_t F);
    bool LRI_DEACTIVATEEAS(uint8_t F);
    bool LRI_POOLEAS(uint8_t F);
    bool SLI_InventoryRead(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi);
    bool SLI_FastInventoryRead(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi);
    bool SLI_SetEASCommand(uint8_t F);
    bool SLI_ResetEASCommand(uint8_t F);
    bool SLI_LockEASCommand(uint8_t F);
    bool SLI_EASAlarmCommand(uint8_t F);
    bool MB89_EASCommand(uint8_t F);
    bool MB89_WriteEASCommand(uint8_t easOn, uint8_t F);
    bool MB89_RefreshCommand(uint8_t F);
    bool MB89_RDMULIBLOCKSCommand(uint8_t firstBlock, uint8_t blocks, uint8_t F);

    // ---- Tag-it commands ('u'); an identifier is the 4-byte `CurrentSid`
    bool TAGIT_GETBLOCK_CMD(uint8_t block, uint8_t F);
    bool TAGIT_GETVERSION_CMD(uint8_t F);
    bool TAGIT_PUTBLOCK_CMD(uint8_t block, const QByteArray &data4, uint8_t F);
    bool TAGIT_PUTBLOCKLOCK_CMD(uint8_t block, const QByteArray &data4, uint8_t F);
    bool TAGIT_LOCKBLOCK_CMD(uint8_t block, uint8_t F);
    bool TAGIT_SID_POLL_CMD(uint8_t F, uint8_t maskBits, uint32_t mask);
    bool TAGIT_QUIET_CMD(uint8_t F);

private:
    enum class Wait { Own, Ack, AckState };
    // Sends, waits as `wait` says, and accepts the reply only when it is an ACK
    // whose DATA[i] equals data[i] for each index in `echo` and that holds at
    // least `need` DATA bytes. The caller then reads `LastReply()`.
    bool exchange(Wait wait, const QString &label, uint8_t code, const QByteArray &data,
                  std::initializer_list<int> echo, int need, int id = -1);
    bool readWords(const QString &label, uint8_t sub, uint8_t address, uint8_t count, QByteArray &words);
    bool gate(const QString &label, const QByteArray &data, std::initializer_list<int> echo = {},
              int need = 0, int id = -1);
    // A tag command 'x': params, then F, then `CurrentUid` when F's UID mode is 1.
    bool sendX(const QString &label, QByteArray params, uint8_t F);
    bool sendU(const QString &label, QByteArray params, uint8_t F);
    void setOptionMarker(uint8_t F) { OptionFlagMarker = (F & 0x10) ? 1 : 0; }

    // decoders
    void attachDecoders();
    void decodeO(const FrameView &f);
    void decodeNU(const FrameView &f);
    void decodeR(const FrameView &f);
    void decodeX(const FrameView &f);
    void decodeGetSystemInfo(const FrameView &f);
    void decodeNack(const FrameView &f);
    void decodeTextReport(const QByteArray &text);
    void decodeUidData(char kind, const QByteArray &uid, const QByteArray &data);
    void storeReadData(const QByteArray &bytes);
    void showReadData(const QByteArray &data, bool withHex);
    void storeCurrentUid(const QByteArray &uid);
    void logDsfid(uint8_t dsfid);
};

} // namespace kx9
