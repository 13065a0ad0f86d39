// Reader-level and gate commands: 'Q', 'B', 'R', 'J', 'O', 'N', the read loops
// and 'G'. Tag commands are in tag_commands.cpp, decoders in decoders.cpp.
#include "commands/ttcomxdlg.h"

#include "commands/command_bytes.h"
#include "link/main_state.h"

namespace kx9 {

using namespace cmd;

namespace {

constexpr uint8_t kQuit = 'Q', kBuzzer = 'B', kSimpleRead = 'R', kDataWrite = 'J';
constexpr uint8_t kQuery = 'O', kSetting = 'N', kTag = 'x', kGate = 'G';

void appendBE16(QByteArray &out, uint16_t v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}

void appendLE16(QByteArray &out, uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendLE32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

uint16_t le16(const FrameView &f, int i) { return uint16_t(f.data(i) | (f.data(i + 1) << 8)); }

uint32_t le32(const FrameView &f, int i)
{
    return uint32_t(f.data(i)) | (uint32_t(f.data(i + 1)) << 8) | (uint32_t(f.data(i + 2)) << 16)
         | (uint32_t(f.data(i + 3)) << 24);
}

// The EEPROM and gate EEPROM word writes share this layout.
QByteArray wordBlock(uint8_t sub, uint8_t address, uint8_t count, const QByteArray &words)
{
    return bytes({sub, address, count}) + fit(words, 2 * count);
}

const QString kRomVersionLabel = QStringLiteral("ＲＯＭのバージョン情報");
const QString kModelNameLabel = QStringLiteral("機種名（ModelName）の取得");

} // namespace

TTComXDlg::TTComXDlg(const LinkConfig &config, const QString &iniPath, AppOptions &options,
                     MainState &state, LogTarget *logPane, QObject *parent)
    : CommModule(config, iniPath, options, state, logPane, parent)
{
    attachDecoders();
}

TTComXDlg::~TTComXDlg() = default;

QByteArray TTComXDlg::CurrentUidBytes()
{
    return QByteArray(reinterpret_cast<const char *>(state().CurrentUid), 8);
}

bool TTComXDlg::exchange(Wait wait, const QString &lbl, uint8_t code, const QByteArray &data,
                         std::initializer_list<int> echo, int need, int id)
{
    // A frame too long to build is refused with a log line and there is no
    // reply to wait for. A link that took nothing still gets its wait, so the
    // operator sees the time-out line.
    if (!SendCommand(lbl, code, data, id) && data.size() > kMaxFrameData)
        return false;
    switch (wait) {
    case Wait::Own:
        // The first frame of any kind ends the wait; only an ACK is a success.
        if (!WaitAnyReply())
            return false;
        if (ResponseWaitState() != 2) {
            CommLog(QStringLiteral("NACK 受信"));
            return false;
        }
        break;
    case Wait::Ack:
        if (!WaitAck())
            return false;
        break;
    case Wait::AckState:
        if (!WaitReplyState(2))
            return false;
        break;
    }
    const FrameView reply = LastReply();
    for (int i : echo)
        if (!reply.has(i) || i >= data.size() || reply.data(i) != uint8_t(data[i]))
            return false;
    // A reply too short for the values taken from it is a failure, never a read past DATA.
    return reply.dataSize() >= need;
}

bool TTComXDlg::gate(const QString &lbl, const QByteArray &data, std::initializer_list<int> echo, int need, int id)
{
    return exchange(Wait::Ack, lbl, kGate, data, echo, need, id);
}

// ---------------------------------------------------------------- no sub-command

bool TTComXDlg::QUIT_command(uint8_t mode) { return SendCommand(label("QUIT_command"), kQuit, bytes({mode})); }

bool TTComXDlg::Buzzer_Command(uint8_t sound)
{
    return SendCommand(label("Buzzer Command"), kBuzzer, bytes({0x00, sound}));
}

bool TTComXDlg::Simple_Read_Command() { return SendCommand(label("Simple Read Command"), kSimpleRead, {}); }

bool TTComXDlg::DousaModeSet_J(const QByteArray &data)
{
    return SendCommand(label("DousaModeSet"), kDataWrite, QByteArray(4, '\0') + data.left(250));
}

// ---------------------------------------------------------------- 'O' queries

bool TTComXDlg::DousaModeSet_O(uint8_t &mode, uint8_t &mode2, uint8_t &modeFlags)
{
    if (!exchange(Wait::Own, label("DousaModeSet"), kQuery, bytes({0x00}), {}, 4))
        return false;
    const FrameView r = LastReply();
    mode = r.data(1);
    mode2 = r.data(2);
    modeFlags = r.data(3);
    return true;
}

bool TTComXDlg::DousaModeSetN(uint8_t sub)
{
    const QString lbl = sub == 0x00 ? label("DousaModeSet(N)")
                      : sub == 0x09 ? label("S6700ModeSet(N)")
                                    : label("??? command(N)");
    return SendCommand(lbl, kQuery, bytes({sub}));
}

bool TTComXDlg::RX_S6700ModeSet(uint8_t &mode)
{
    if (!exchange(Wait::Own, label("RX S6700ModeSet"), kQuery, bytes({0x09}), {}, 2))
        return false;
    mode = LastReply().data(1);
    return true;
}

bool TTComXDlg::UID_RDWR_CMD_O() { return SendCommand(label("UID_RDWR_CMD"), kQuery, bytes({0x50})); }

bool TTComXDlg::AFI_RDWR_CMD_RX(uint8_t &afi)
{
    if (!exchange(Wait::Own, label("AFI_RDWR_CMD RX"), kQuery, bytes({0x51}), {0}, 2))
        return false;
    afi = LastReply().data(1);
    return true;
}

bool TTComXDlg::POWERDOWN_CMD_O() { return SendCommand(label("POWERDOWN_CMD"), kQuery, bytes({0x52})); }
bool TTComXDlg::GETUIDNUMBER_CMD() { return SendCommand(label("GETUIDNUMBER_CMD"), kQuery, bytes({0x53})); }

bool TTComXDlg::GETUIDDATA_CMD(uint8_t index)
{
    return SendCommand(label("GETUIDDATA_CMD"), kQuery, bytes({0x54, index}));
}

uint8_t TTComXDlg::CNT_EXT2PORT_O()
{
    SendCommand(label("CNT_EXT2PORT"), kQuery, bytes({0x56}));
    if (!WaitAck())
        return 0;
    return LastReply().data(1);
}

bool TTComXDlg::ERR_RATE_CMD_RX(uint32_t &successCount, uint32_t &failureCount)
{
    if (!exchange(Wait::Own, label("ERR_RATE_CMD RX"), kQuery, bytes({0x60}), {0}, 9))
        return false;
    const FrameView r = LastReply();
    successCount = le32(r, 1);
    failureCount = le32(r, 5);
    return true;
}

bool TTComXDlg::readWords(const QString &lbl, uint8_t sub, uint8_t address, uint8_t count, QByteArray &words)
{
    if (!exchange(Wait::Own, lbl, kQuery, bytes({sub, address, count}), {0, 1, 2}, 3 + 2 * count))
        return false;
    words = LastReply().dataBytes(3, 2 * count);
    return true;
}

bool TTComXDlg::EEPROM_RDWR_CMD_RX(uint8_t address, uint8_t count, QByteArray &words)
{
    return readWords(label("EEPROM_RDWR_CMD RX"), 0x70, address, count, words);
}

bool TTComXDlg::EEPROM_RDWR_CMD2_RX(uint8_t address, uint8_t count, QByteArray &words)
{
    return readWords(label("EEPROM_RDWR_CMD2 RX"), 0x72, address, count, words);
}

bool TTComXDlg::Get_ERROR_STATUS() { return SendCommand(label("Get ERROR STATUS"), kQuery, bytes({0x80})); }

bool TTComXDlg::RAM_Read_Command(uint16_t address, uint8_t count)
{
    QByteArray d = bytes({0x91});
    appendBE16(d, address);
    d.append(char(count));
    return SendCommand(label("RAM Read Command"), kQuery, fit(d, 10));
}

bool TTComXDlg::RomVersionQuery() { return SendCommand(kRomVersionLabel, kQuery, bytes({0x90, 0x00})); }
bool TTComXDlg::ModelNameQuery() { return SendCommand(kModelNameLabel, kQuery, bytes({0x93})); }

bool TTComXDlg::SELANTENA_CMD_O(uint8_t &antenna)
{
    if (!exchange(Wait::Own, label("SELANTENA_CMD"), kQuery, bytes({0x9C}), {0}, 2))
        return false;
    antenna = LastReply().data(1);
    return true;
}

uint8_t TTComXDlg::Port_Read_Command()
{
    SendCommand(label("Port Read Command"), kQuery, bytes({0x9F}));
    if (!WaitAck())
        return 0;
    return PortDataByte;
}

bool TTComXDlg::RXParamData(uint8_t number, uint8_t &value)
{
    if (!exchange(Wait::Own, label("RXParamData"), kQuery, bytes({number}), {0}, 2))
        return false;
    value = LastReply().data(1);
    return true;
}

int TTComXDlg::RomVersionCompare(int version)
{
    int n = 0;
    RomVersionQuery();
    if (WaitAck()) {
        // A text that does not start with three digits counts as version 0,
        // so a feature that needs a newer firmware is not attempted.
        const QString head = RomVersionText.left(3);
        bool ok = head.size() == 3;
        for (QChar c : head)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (ok)
            n = head.toInt();
    }
    return n < version ? -1 : (n == version ? 0 : 1);
}

// ---------------------------------------------------------------- 'N' settings

namespace {
QByteArray modeSetting(uint8_t store, uint8_t mode, uint8_t mode2, uint8_t flags, uint16_t pollingTime,
                       uint8_t lastBlockNo)
{
    QByteArray d = bytes({store, mode, mode2, flags, 0x01});
    if (mode == 0x51) {
        // Test mode 2 reads the block last entered instead of polling on a timer.
        d.append(char(lastBlockNo));
        d.append('\0');
    } else {
        appendBE16(d, pollingTime);
    }
    return d;
}
} // namespace

bool TTComXDlg::DousaModeSet_N(bool storeInEeprom, uint8_t mode, uint8_t mode2, uint8_t modeFlags,
                               uint16_t pollingTime)
{
    return SendCommand(label("DousaModeSet"), kSetting,
                       modeSetting(storeInEeprom ? 0x10 : 0x00, mode, mode2, modeFlags, pollingTime,
                                   state().LastBlockNo));
}

bool TTComXDlg::PolWrite(uint8_t block, const QByteArray &data, uint8_t requestFlags, uint8_t modeFlags,
                         uint16_t pollingTime)
{
    QByteArray d = modeSetting(0x00, 0x23, 0x00, modeFlags, pollingTime, 0);
    d.append(char(block));
    d.append(char(uint8_t(data.size())));
    d.append(data);
    d.append(char(requestFlags));
    if ((requestFlags & 3) == 1)
        d.append(CurrentUidBytes());
    return SendCommand(label("PolWrite"), kSetting, d);
}

bool TTComXDlg::S6700ModeSet(uint8_t mode, bool storeInEeprom)
{
    return SendCommand(label("S6700ModeSet"), kSetting, bytes({uint8_t(storeInEeprom ? 0x19 : 0x09), mode}));
}

bool TTComXDlg::UID_RDWR_CMD_N(const QByteArray &uid)
{
    return SendCommand(label("UID_RDWR_CMD"), kSetting, bytes({0x50}) + fit(uid, 8));
}

bool TTComXDlg::AFI_RDWR_CMD_TX(uint8_t afi) { return SendCommand(label("AFI_RDWR_CMD TX"), kSetting, bytes({0x51, afi})); }
bool TTComXDlg::POWERDOWN_CMD_N() { return SendCommand(label("POWERDOWN_CMD"), kSetting, bytes({0x52})); }

bool TTComXDlg::SET_LEDCONT(uint8_t led, uint8_t mode, uint8_t time)
{
    return SendCommand(label("SET_LEDCONT"), kSetting, bytes({0x55, led, mode, time}));
}

bool TTComXDlg::CNT_EXT2PORT_N(uint8_t value)
{
    SendCommand(label("CNT_EXT2PORT"), kSetting, bytes({0x56, value}));
    return WaitAck();
}

bool TTComXDlg::CNT_LEDBUZ_CMD(uint8_t port, uint8_t ledMode, uint8_t ledTime, uint8_t sound, uint8_t buzzerTime)
{
    return SendCommand(label("CNT_LEDBUZ_CMD"), kSetting, bytes({0x57, port, ledMode, ledTime, sound, buzzerTime}));
}

bool TTComXDlg::ERR_RATE_CMD_TX() { return SendCommand(label("ERR_RATE_CMD TX"), kSetting, bytes({0x60})); }

bool TTComXDlg::EEPROM_RDWR_CMD_TX(uint8_t address, uint8_t count, const QByteArray &words)
{
    return SendCommand(label("EEPROM_RDWR_CMD TX"), kSetting, wordBlock(0x70, address, count, words));
}

bool TTComXDlg::EEPROM_INIT_CMD() { return SendCommand(label("EEPROM_INIT_CMD"), kSetting, bytes({0x71})); }

bool TTComXDlg::EEPROM_RDWR_CMD2_TX(uint8_t address, uint8_t count, const QByteArray &words)
{
    return SendCommand(label("EEPROM_RDWR_CMD2 TX"), kSetting, wordBlock(0x72, address, count, words));
}

bool TTComXDlg::RAM_Write_Command(uint16_t address, uint8_t count, uint32_t value)
{
    // At most four value bytes fit the fixed ten-byte layout.
    const int n = count > 4 ? 4 : count;
    QByteArray d = bytes({0x92});
    appendBE16(d, address);
    d.append(char(n));
    for (int i = 0; i < n; ++i)
        d.append(char((value >> (24 - 8 * i)) & 0xFF));
    return SendCommand(label("RAM Write Command"), kSetting, fit(d, 10));
}

bool TTComXDlg::SELANTENA_CMD_N(uint8_t antenna) { return SendCommand(label("SELANTENA_CMD"), kSetting, bytes({0x9C, antenna})); }
bool TTComXDlg::RESTART_CMD() { return SendCommand(label("RESTART_CMD"), kSetting, bytes({0x9D})); }
bool TTComXDlg::TXON_OFF_CMD(uint8_t onOff) { return SendCommand(label("TXON_OFF_CMD"), kSetting, bytes({0x9E, onOff})); }

bool TTComXDlg::Port_Write_Command(uint8_t designation, uint8_t value)
{
    return SendCommand(label("Port Write Command"), kSetting, bytes({0x9F, designation, value}));
}

bool TTComXDlg::TxSetParamData(uint8_t number, uint8_t value)
{
    return SendCommand(label("TxSetParamData"), kSetting, bytes({number, value}));
}

// ---------------------------------------------------------------- read loops

bool TTComXDlg::Read_Loop_Command_F1(uint8_t loopMode, bool afiGiven, uint8_t afi, uint8_t maskLength, uint64_t mask)
{
    QByteArray d = bytes({0xF1, loopMode, uint8_t(afiGiven ? 0x20 : 0x00), afi, maskLength});
    for (int i = 0; i < 8; ++i)
        d.append(char((mask >> (8 * i)) & 0xFF));
    return SendCommand(label("Read Loop Command"), kTag, d);
}

bool TTComXDlg::Read_Loop_Command_F2(uint8_t loopMode, uint8_t flags, uint8_t firstBlock, uint8_t length, uint8_t afi)
{
    return SendCommand(label("Read Loop Command"), kTag,
                       bytes({0xF2, loopMode, flags, firstBlock, length, afi}) + CurrentUidBytes());
}

bool TTComXDlg::RDLoopPol_Command(uint8_t flags, uint8_t parameter, uint16_t pollingTime, uint8_t firstBlock,
                                  uint8_t length, uint8_t afi)
{
    QByteArray d = bytes({0xF4, flags, parameter});
    appendLE16(d, pollingTime);
    d.append(char(firstBlock));
    d.append(char(length));
    d.append(char(afi));
    if ((flags & 3) == 1)
        d.append(CurrentUidBytes());
    return SendCommand(label("RDLoopPol Command"), kTag, d);
}

bool TTComXDlg::RDLoopPolGet_Command() { return SendCommand(label("RDLoopPolGet Command"), kTag, bytes({0xF5})); }

// ---------------------------------------------------------------- gate

bool TTComXDlg::G_GetModeCmd(uint8_t &mode)
{
    if (!gate(label("G_GetModeCmd"), bytes({0x00}), {}, 2))
        return false;
    mode = LastReply().data(1);
    return true;
}

bool TTComXDlg::G_SetModeCmd(uint8_t mode) { return gate(label("G_SetModeCmd"), bytes({0x20, mode})); }

bool TTComXDlg::GateGetEEPROMCmd(uint8_t address, uint8_t count, QByteArray &words)
{
    if (!gate(label("GateGetEEPROMCmd"), bytes({0x01, address, count}), {0, 1, 2}, 3 + 2 * count))
        return false;
    words = LastReply().dataBytes(3, 2 * count);
    return true;
}

bool TTComXDlg::GateSetEEPROMCmd(uint8_t address, uint8_t count, const QByteArray &words)
{
    return gate(label("GateSetEEPROMCmd"), wordBlock(0x21, address, count, words));
}

bool TTComXDlg::GateGetDispOutStateCmd(QByteArray &state2)
{
    if (!gate(label("GateGetDispOutStateCmd"), bytes({0x02}), {}, 3))
        return false;
    state2 = LastReply().dataBytes(1, 2);
    return true;
}

bool TTComXDlg::GateSetDispOutStateCmd_22(const QByteArray &state2)
{
    return gate(label("GateSetDispOutStateCmd"), bytes({0x22}) + fit(state2, 2));
}

bool TTComXDlg::GateGetSwSensorCmd(QByteArray &sensors2)
{
    if (!gate(label("GateGetSwSensorCmd"), bytes({0x03}), {}, 3))
        return false;
    sensors2 = LastReply().dataBytes(1, 2);
    return true;
}

bool TTComXDlg::GateGetIoSensorCmd(uint8_t &value)
{
    if (!gate(label("GateGetIoSensorCmd"), bytes({0x04}), {}, 2))
        return false;
    value = LastReply().data(1);
    return true;
}

bool TTComXDlg::GateGetPersonSensorCmd(uint8_t &value)
{
    if (!gate(label("GateGetPersonSensorCmd"), bytes({0x05}), {}, 2))
        return false;
    value = LastReply().data(1);
    return true;
}

bool TTComXDlg::GateRmcountmodeCmd(uint16_t &a, uint16_t &b, uint16_t &c)
{
    if (!gate(label("GateRmcountmodeCmd"), bytes({0x06}), {0}, 7))
        return false;
    const FrameView r = LastReply();
    a = le16(r, 1);
    b = le16(r, 3);
    c = le16(r, 5);
    return true;
}

bool TTComXDlg::GateRmcountvaluCmd(uint32_t &people1, uint32_t &people2, uint16_t &alarm1, uint16_t &alarm2)
{
    if (!gate(label("GateRmcountvaluCmd"), bytes({0x07}), {0}, 13))
        return false;
    const FrameView r = LastReply();
    people1 = le32(r, 1);
    people2 = le32(r, 5);
    alarm1 = le16(r, 9);
    alarm2 = le16(r, 11);
    return true;
}

bool TTComXDlg::GateGetDispOutStateCmd2(QByteArray &state3)
{
    if (!gate(label("GateGetDispOutStateCmd2"), bytes({0x08}), {}, 4))
        return false;
    state3 = LastReply().dataBytes(1, 3);
    return true;
}

bool TTComXDlg::GateRmcountvaluCmd2(QByteArray &out, int &count)
{
    if (!gate(label("GateRmcountvaluCmd2"), bytes({0x0B}), {0}, 37))
        return false;
    const FrameView r = LastReply();
    const int n = qMin(r.dataSize(), 50) - 1;
    out = r.dataBytes(1, n);
    count = int(out.size());
    return true;
}

bool TTComXDlg::GateGetSPKVolumeCmd(uint8_t &volume)
{
    // The volume is DATA[1], so the reply must hold two bytes.
    if (!gate(label("GateGetSPKVolumeCmd"), bytes({0x0C}), {0}, 2))
        return false;
    volume = LastReply().data(1);
    return true;
}

bool TTComXDlg::GateWmcountmodeCmd(uint16_t a, uint16_t b, uint16_t c)
{
    QByteArray d = bytes({0x23});
    appendLE16(d, a);
    appendLE16(d, b);
    appendLE16(d, c);
    return gate(label("GateWmcountmodeCmd"), d, {0});
}

bool TTComXDlg::GateWmcountvaluCmd(uint32_t people1, uint32_t people2, uint16_t alarm1, uint16_t alarm2)
{
    QByteArray d = bytes({0x24});
    appendLE32(d, people1);
    appendLE32(d, people2);
    appendLE16(d, alarm1);
    appendLE16(d, alarm2);
    return gate(label("GateWmcountvaluCmd"), d, {0});
}

bool TTComXDlg::GateWadjusttimeCmd() { return gate(label("GateWadjusttimeCmd"), bytes({0x25}), {0}); }

bool TTComXDlg::GateSetDispOutStateCmd_26(const QByteArray &state3)
{
    return exchange(Wait::AckState, label("GateSetDispOutStateCmd"), kGate, bytes({0x26}) + fit(state3, 3), {}, 0);
}

bool TTComXDlg::GateWmcountmodeCmd2(const QByteArray &data)
{
    return gate(label("GateWmcountmodeCmd2"), bytes({0x28}) + data, {0});
}

bool TTComXDlg::GateSetSPKVolumeCmd(uint8_t volume) { return gate(label("GateSetSPKVolumeCmd"), bytes({0x29, volume}), {0}); }

bool TTComXDlg::GateRomVersionQuery()
{
    if (!gate(kRomVersionLabel, bytes({0x90, 0x00})))
        return false;
    CommLog(kRomVersionLabel + QStringLiteral(" 取得ＯＫ"));
    return true;
}

bool TTComXDlg::GateModelNameQuery()
{
    if (!gate(kModelNameLabel, bytes({0x93})))
        return false;
    CommLog(kModelNameLabel + QStringLiteral("ＯＫ"));
    return true;
}

bool TTComXDlg::GateProgModeComad()
{
    return gate(label("GateProgModeComad"), bytes({0x9B}) + QByteArrayLiteral("583914270"), {}, 0, 0);
}

bool TTComXDlg::GateReStartComad() { return SendCommand(label("GateReStartComad"), kGate, bytes({0x9D}), 0); }

bool TTComXDlg::GateGetBPSSpeedComad(uint8_t &speedCode)
{
    if (!gate(label("GateGetBPSSpeedComad"), bytes({0x9E}), {0}, 2, 0))
        return false;
    speedCode = LastReply().data(1);
    return true;
}

bool TTComXDlg::GateSetBPSSpeedComad(uint8_t speedCode)
{
    return gate(label("GateSetBPSSpeedComad"), bytes({0x9C, speedCode}), {}, 0, 0);
}

bool TTComXDlg::GateCommCmd(const QByteArray &data) { return gate(label("GateCommCmd"), data, {}, 0, 0); }

} // namespace kx9
