// Reply decoders: what each ACK, NACK and report shows in the log, writes to
// the tag list and keeps for later commands.
//
// A reply shorter than its fixed fields never makes a decoder read past DATA:
// every byte goes through FrameView, lines show the bytes that arrived (a
// field that did not arrive gives no line), and a value is stored only when
// all of its bytes arrived, so a cut frame cannot leave a UID made of two tags.
#include "commands/ttcomxdlg.h"

#include "link/main_state.h"
#include "link/options.h"
#include "link/tag_list.h"
#include "link/text_codec.h"

#include <algorithm>
#include <cstring>

namespace kx9 {

namespace {

QString hexByte(uint8_t b) { return FormatHexBytes(&b, 1).trimmed(); }

// Character text: the bytes as characters of the tool's code page; a zero byte adds nothing.
QString charText(QByteArray bytes)
{
    bytes.replace('\0', QByteArray());
    return DecodeCp932(bytes);
}

QByteArray untilZero(const QByteArray &bytes)
{
    const qsizetype z = bytes.indexOf('\0');
    return z < 0 ? bytes : bytes.left(z);
}

QString wireUidText(const QByteArray &uid) { return FormatHexBytes(uid); }

struct CodeText {
    uint8_t code;
    const char *text;
};

// Replies to tag commands that only say they were received.
constexpr CodeText kTagAckLines[] = {
    {0x02, "ISO15693_StayQuit受信"},
    {0x21, "ISO15693_WriteSingleBlock受信"},
    {0x22, "ISO15693_LockBlock受信"},
    {0x24, "ISO15693_WriteMultiBlock受信"},
    {0x25, "ISO15693_SelectTag受信"},
    {0x26, "ISO15693_ResetToReady受信"},
    {0x27, "ISO15693_WriteAFI受信"},
    {0x28, "ISO15693_LockAFI受信"},
    {0x29, "ISO15693_WrietDSFID受信"},
    {0x2A, "ISO15693_LockDSFID受信"},
    {0xA1, "ISO15693_WriteBytes受信"},
    {0xA2, "ISO15693_Write2Blocks受信"},
    {0xA3, "ISO15693_Lock2Blocks受信"},
    {0xA4, "TI_InventoryRead受信"},
    {0xA5, "TI_InventoryMultiRead受信"},
    {0xA6, "TI_InventoryGetSystemInfo受信"},
    {0xA7, "TI_InventoryGetSecInfo受信"},
    {0xA8, "TI_KillCommand受信"},
    {0xA9, "TI_WRSIBK_Psw受信"},
    {0xB1, "Myd_WriteCommand OK"},
    {0xB2, "Myd_WriteByteCommand OK"},
    {0xC0, "SLI_InventoryRead受信"},
    {0xC1, "SLI_FastInventoryRead受信"},
    {0xC2, "SLI_SetEASCommand受信"},
    {0xC3, "SLI_ResetEASCommand受信"},
    {0xC4, "SLI_LockEASCommand受信"},
    {0xC5, "SLI_EASAlarmCommand受信"},
    {0xF3, "ISO15693_LockBytes OK"},
    {0xF4, "ISO15693_RDLOOPPOLCmd OK"},
    {0xF5, "ISO15693_RDLOOPPOLGETCmd OK"},
};

constexpr CodeText kNackTexts[] = {
    {0x01, "CRCエラー"},
    {0x02, "CMD_TIME_OVER受信"},
    {0x03, "タグデータ受信エラー"},
    {0x04, "タグからの応答なし"},
    {0x41, "データ数エラー"},
    {0x42, "コマンドのサム値エラー"},
    {0x43, "コマンドのＩＤ値のエラー"},
    {0x44, "不正なコマンド"},
};

constexpr CodeText kIsoErrorTexts[] = {
    {0x01, "The command is not supported, i.e. the request code is not recognised."},
    {0x02, "he command is not recognised, for example: a format error occurred."},
    {0x03, "The option is not supported."},
    {0x0F, "Unknown error."},
    {0x10, "The specified block is not available (doesn’t exist)."},
    {0x11, "The specified block is already -locked and thus cannot be locked again"},
    {0x12, "The specified block is locked and its content cannot be changed."},
    {0x13, "The specified block was not successfully programmed."},
    {0x14, "The specified block was not successfully locked."},
};

template <std::size_t N>
const char *lookup(const CodeText (&table)[N], uint8_t code)
{
    for (const CodeText &e : table)
        if (e.code == code)
            return e.text;
    return nullptr;
}

} // namespace

QString UidText(const QByteArray &wireOrder)
{
    QByteArray reversed(wireOrder.size(), '\0');
    std::reverse_copy(wireOrder.begin(), wireOrder.end(), reversed.begin());
    return FormatHexBytes(reversed);
}

void TTComXDlg::attachDecoders()
{
    SetAckDecoder('O', [this](const FrameView &f) { decodeO(f); });
    SetAckDecoder('N', [this](const FrameView &f) { decodeNU(f); });
    SetAckDecoder('u', [this](const FrameView &f) { decodeNU(f); });
    SetAckDecoder('R', [this](const FrameView &f) { decodeR(f); });
    SetAckDecoder('x', [this](const FrameView &f) { decodeX(f); });
    SetNackDecoder([this](const FrameView &f) { decodeNack(f); });
    SetTextReportDecoder([this](const QByteArray &text) { decodeTextReport(text); });
    SetUidDataDecoder([this](char kind, const QByteArray &uid, const QByteArray &data) {
        decodeUidData(kind, uid, data);
    });
}

void TTComXDlg::storeCurrentUid(const QByteArray &uid)
{
    if (uid.size() == 8)
        std::memcpy(state().CurrentUid, uid.constData(), 8);
}

void TTComXDlg::storeReadData(const QByteArray &data)
{
    // Overwrites from byte 0 only: the bytes after the new data keep what an
    // earlier, longer read left there.
    const int n = int(qMin(data.size(), LastReadData.size()));
    LastReadData.replace(0, n, data.left(n));
    LastReadCount = n;
}

void TTComXDlg::showReadData(const QByteArray &data, bool withHex)
{
    if (withHex)
        CommLog(QStringLiteral("data(Hex): ") + FormatHexBytes(data));
    CommLog(QStringLiteral("data: ") + charText(data));
    storeReadData(data);
}

void TTComXDlg::logDsfid(uint8_t dsfid)
{
    CommLog(QStringLiteral("DSFID: %1[0x%2]").arg(dsfid).arg(hexByte(dsfid)));
}

// ---------------------------------------------------------------- ACK decoders

void TTComXDlg::decodeO(const FrameView &f)
{
    // An ACK without DATA echoes no sub-command: it must not read as 0x00.
    if (!f.has(0))
        return;
    switch (f.data(0)) {
    case 0x00:
        CommLog(QStringLiteral("DousaModeSet_CMD受信"));
        break;
    case 0x09:
        CommLog(QStringLiteral("S6700ModeSet_CMD受信"));
        break;
    case 0x50: {
        const QByteArray uid = f.dataBytes(1, 8);
        CommLog(QStringLiteral("UID: ") + UidText(uid));
        storeCurrentUid(uid);
        break;
    }
    case 0x53:
        CommLog(QStringLiteral("GETUIDNUMBER_CMD受信"));
        if (f.has(1))
            CommLog(QStringLiteral("受信UID数: %1").arg(f.data(1)));
        break;
    case 0x54: {
        CommLog(QStringLiteral("GETUIDDATA_CMD受信"));
        const QByteArray uid = f.dataBytes(3, 8);
        CommLog(QStringLiteral("UID: ") + UidText(uid));
        storeCurrentUid(uid);
        break;
    }
    case 0x90:
        CommLog(QStringLiteral("ROMバージョン取得"));
        RomVersionText = charText(f.dataBytes(1));
        CommLog(RomVersionText);
        break;
    case 0x93:
        CommLog(QStringLiteral("機種名の取得"));
        CommLog(charText(f.dataBytes(1)));
        break;
    case 0x9C:
        CommLog(QStringLiteral("SELANTENA_CMD受信"));
        break;
    case 0x9F:
        if (f.has(1)) {
            PortDataByte = f.data(1);
            CommLog(QStringLiteral("PORTDATA: 0x") + hexByte(PortDataByte));
        }
        break;
    default:
        break;
    }
}

void TTComXDlg::decodeNU(const FrameView &f)
{
    if (!f.has(0))
        return;
    if (f.data(0) == 0x00)
        CommLog(QStringLiteral("DousaModeSet_CMD受信"));
    else if (f.data(0) == 0x09)
        CommLog(QStringLiteral("S6700ModeSet_CMD受信"));
}

void TTComXDlg::decodeR(const FrameView &f)
{
    QString line;
    for (int i = 0; i < f.dataSize(); ++i)
        line += QString::number(f.data(i));
    CommLog(line);
}

void TTComXDlg::decodeX(const FrameView &f)
{
    if (!f.has(0))
        return;
    const uint8_t code = f.data(0);
    if (const char *text = lookup(kTagAckLines, code)) {
        CommLog(QString::fromUtf8(text));
        return;
    }
    switch (code) {
    case 0x01: {
        CommLog(QStringLiteral("ISO15693_Inventory受信"));
        if (f.has(1)) {
            state().TagSystemInfo.dsfid = f.data(1);
            logDsfid(f.data(1));
        }
        const QByteArray uid = f.dataBytes(2, 8);
        CommLog(QStringLiteral("UID(hex): ") + wireUidText(uid));
        storeCurrentUid(uid);
        break;
    }
    case 0x20: {
        CommLog(QStringLiteral("ISO15693_ReadSingleBlock受信"));
        int pos = 1;
        if (OptionFlagMarker) {
            if (f.has(1)) {
                LastReadSecurity = f.data(1);
                CommLog(QStringLiteral("Block Security data: 0x") + hexByte(LastReadSecurity));
            }
            pos = 2;
        }
        showReadData(f.dataBytes(pos, qMax(0, options().TagBlockSize)), true);
        break;
    }
    case 0x23:
        CommLog(QStringLiteral("ISO15693_ReadMultiBlock受信"));
        showReadData(f.dataBytes(1), false);
        break;
    case 0x2B:
        decodeGetSystemInfo(f);
        break;
    case 0x2C:
        CommLog(QStringLiteral("ISO15693_GetMBlockSecSt受信"));
        storeReadData(f.dataBytes(1));
        break;
    case 0xA0:
        CommLog(QStringLiteral("ISO15693_ReadBytes受信"));
        showReadData(f.dataBytes(1), false);
        break;
    case 0xB0:
    case 0xB3:
        CommLog(code == 0xB0 ? QStringLiteral("Myd_ReadCommand OK") : QStringLiteral("Myd_WriteRereadCommand OK"));
        showReadData(f.dataBytes(1, 8), true);
        break;
    case 0xF0:
        if (f.has(1))
            CommLog(QStringLiteral("受信UID数: %1").arg(f.data(1)));
        break;
    default:
        break;
    }
}

void TTComXDlg::decodeGetSystemInfo(const FrameView &f)
{
    TagSystemInfoRec &info = state().TagSystemInfo;
    if (f.has(1))
        info.infoFlags = f.data(1);
    const uint8_t flags = f.data(1);
    storeCurrentUid(f.dataBytes(2, 8));
    // The optional fields follow the UID in flag order, each only when its flag is set.
    int pos = 10;
    if (flags & 0x01) {
        if (f.has(pos)) {
            info.dsfid = f.data(pos);
            logDsfid(info.dsfid);
        }
        pos += 1;
    }
    if (flags & 0x02) {
        if (f.has(pos))
            info.afi = f.data(pos);
        pos += 1;
    }
    if (flags & 0x04) {
        if (f.has(pos + 1)) {
            info.blockCountMinus1 = f.data(pos);
            info.blockSizeMinus1 = f.data(pos + 1) & 0x1F;
        }
        pos += 2;
    }
    if (flags & 0x08) {
        if (f.has(pos))
            info.icReference = f.data(pos);
    }
    CommLog(QStringLiteral("ISO15693_GetSystemInfo受信"));
    CommLog(QStringLiteral("UID(hex): ") + wireUidText(CurrentUidBytes()));
}

void TTComXDlg::decodeNack(const FrameView &f)
{
    const uint8_t code = f.data(0);
    const char *text = nullptr;
    if (f.has(0) && code == 0x05) {
        text = f.has(1) ? lookup(kIsoErrorTexts, f.data(1)) : nullptr;
        if (!text)
            text = "? 'DF' Custom command error codes";
    } else {
        text = f.has(0) ? lookup(kNackTexts, code) : nullptr;
        if (!text)
            text = "??? NACK受信";
    }
    CommLog(QString::fromUtf8(text));
}

// ---------------------------------------------------------------- reports

void TTComXDlg::decodeTextReport(const QByteArray &text)
{
    // The router has already ended the text at the first zero byte in Tag-it mode.
    tagList().AddDataEntry(charText(text));
}

void TTComXDlg::decodeUidData(char kind, const QByteArray &uid, const QByteArray &data)
{
    // The router has stored the identifier (`CurrentUid`, or `CurrentSid` for a
    // Tag-it 'd' report) and hands over only reports long enough for it.
    QString dataText;
    if (kind == 'd' && options().tagItMode())
        dataText = charText(untilZero(data));
    else if (kind != 'i')
        dataText = charText(data);
    tagList().AddUidEntry(dataText, UidText(uid));
}

} // namespace kx9
