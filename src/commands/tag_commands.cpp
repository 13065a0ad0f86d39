// Tag commands: ISO 15693 and vendor commands carried in 'x', Tag-it in 'u'.
// Most rows share one shape, "parameters, flags byte, identifier when the
// flags' UID mode is 1"; sendX/sendU build that tail.
#include "commands/ttcomxdlg.h"

#include "commands/command_bytes.h"
#include "link/main_state.h"
#include "link/options.h"

namespace kx9 {

using namespace cmd;

namespace {
constexpr uint8_t kTag = 'x', kTagIt = 'u';
constexpr uint8_t kUidModeMask = 0x03;
bool uidModeIsCommand(uint8_t F) { return (F & kUidModeMask) == 1; }
} // namespace

bool TTComXDlg::sendX(const QString &lbl, QByteArray params, uint8_t F)
{
    params.append(char(F));
    if (uidModeIsCommand(F))
        params.append(CurrentUidBytes());
    return SendCommand(lbl, kTag, params);
}

bool TTComXDlg::sendU(const QString &lbl, QByteArray params, uint8_t F)
{
    params.append(char(F));
    if (uidModeIsCommand(F))
        params.append(reinterpret_cast<const char *>(state().CurrentSid), 4);
    return SendCommand(lbl, kTagIt, params);
}

// ---------------------------------------------------------------- ISO 15693

// An inventory addresses no tag: the UID-mode bits never reach the reader.
bool TTComXDlg::ISO15693_Inventory(uint8_t F)
{
    return SendCommand(label("ISO15693_Inventory"), kTag, bytes({0x01, uint8_t(F & ~kUidModeMask)}));
}

bool TTComXDlg::ISO15693_Inventory2(uint8_t F, uint8_t parameter)
{
    return SendCommand(label("ISO15693_Inventory2"), kTag, bytes({0xF0, uint8_t(F & ~kUidModeMask), parameter}));
}

bool TTComXDlg::StayQuiet(uint8_t F, const QByteArray &uid)
{
    return SendCommand(label("StayQuiet"), kTag, bytes({0x02, F}) + fit(uid, 8));
}

bool TTComXDlg::ISO15693_ReadSingleBlock(uint8_t block, uint8_t F)
{
    setOptionMarker(F);
    return sendX(label("ISO15693_ReadSingleBlock"), bytes({0x20, block}), F);
}

bool TTComXDlg::ISO15693_WriteSingleBlock(uint8_t block, const QByteArray &data, uint8_t F)
{
    return sendX(label("ISO15693_WriteSingleBlock"), bytes({0x21, block}) + fit(data, options().TagBlockSize), F);
}

bool TTComXDlg::ISO15693_LockBlock(uint8_t block, uint8_t F)
{
    return sendX(label("ISO15693_LockBlock"), bytes({0x22, block}), F);
}

bool TTComXDlg::ISO15693_ReadMultiBlock(uint8_t firstBlock, uint8_t blocksMinus1, uint8_t F)
{
    setOptionMarker(F);
    return sendX(label("ISO15693_ReadMultiBlock"), bytes({0x23, firstBlock, blocksMinus1}), F);
}

bool TTComXDlg::ISO15693_WriteMultiBlock(uint8_t firstBlock, uint8_t blocksMinus1, const QByteArray &data, uint8_t F)
{
    const int n = (blocksMinus1 + 1) * options().TagBlockSize;
    return sendX(label("ISO15693_WriteMultiBlock"), bytes({0x24, firstBlock, blocksMinus1}) + fit(data, n), F);
}

bool TTComXDlg::ISO15693_SelectTag(uint8_t F, const QByteArray &uid)
{
    return SendCommand(label("ISO15693_SelectTag"), kTag, bytes({0x25, F}) + fit(uid, 8));
}

bool TTComXDlg::ISO15693_ResetToReady(uint8_t F) { return sendX(label("ISO15693_ResetToReady"), bytes({0x26}), F); }
bool TTComXDlg::ISO15693_WriteAFI(uint8_t afi, uint8_t F) { return sendX(label("ISO15693_WriteAFI"), bytes({0x27, afi}), F); }
bool TTComXDlg::ISO15693_LockAFI(uint8_t F) { return sendX(label("ISO15693_LockAFI"), bytes({0x28}), F); }
bool TTComXDlg::ISO15693_WrietDSFID(uint8_t dsfid, uint8_t F) { return sendX(label("ISO15693_WrietDSFID"), bytes({0x29, dsfid}), F); }
bool TTComXDlg::ISO15693_LockDSFID(uint8_t F) { return sendX(label("ISO15693_LockDSFID"), bytes({0x2A}), F); }
bool TTComXDlg::ISO15693_GetSystemInfo(uint8_t F) { return sendX(label("ISO15693_GetSystemInfo"), bytes({0x2B}), F); }

bool TTComXDlg::ISO15693_GetMBlockSecSt(uint8_t firstBlock, uint8_t blocksMinus1, uint8_t F)
{
    return sendX(label("ISO15693_GetMBlockSecSt"), bytes({0x2C, firstBlock, blocksMinus1}), F);
}

// ---------------------------------------------------------------- reader byte and two-block commands

bool TTComXDlg::ISO15693_ReadBytes(uint8_t block, uint8_t count, uint8_t F)
{
    return sendX(label("ISO15693_ReadBytes"), bytes({0xA0, block, count}), F);
}

bool TTComXDlg::ISO15693_WriteBytes_A1(uint8_t block, const QByteArray &data, uint8_t F)
{
    // More than 255 bytes cannot be counted in one byte; the link refuses the
    // frame anyway, since DATA would exceed 255 bytes.
    return sendX(label("ISO15693_WriteBytes"), bytes({0xA1, block, uint8_t(data.size())}) + data, F);
}

bool TTComXDlg::ISO15693_WriteBytes_F3(uint8_t block, uint8_t blocks, uint8_t F)
{
    return sendX(label("ISO15693_WriteBytes"), bytes({0xF3, block, blocks}), F);
}

bool TTComXDlg::ISO15693_Write2Blocks(uint8_t firstBlock, const QByteArray &data8, uint8_t F)
{
    return sendX(label("ISO15693_Write2Blocks"), bytes({0xA2, firstBlock}) + fit(data8, 8), F);
}

bool TTComXDlg::ISO15693_Lock2Blocks(uint8_t firstBlock, uint8_t F)
{
    return sendX(label("ISO15693_Lock2Blocks"), bytes({0xA3, firstBlock}), F);
}

bool TTComXDlg::ISO15693_CommCmd(const QByteArray &raw) { return SendCommand(label("ISO15693_CommCmd"), kTag, raw); }

// ---------------------------------------------------------------- vendor commands

bool TTComXDlg::TI_InventoryRead(uint8_t block, uint8_t F, uint8_t afi)
{
    setOptionMarker(F);
    return SendCommand(label("TI_InventoryRead"), kTag, bytes({0xA4, block, F, afi}));
}

bool TTComXDlg::TI_InventoryMultiRead(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi)
{
    setOptionMarker(F);
    return SendCommand(label("TI_InventoryMultiRead"), kTag, bytes({0xA5, firstBlock, blocks, F, afi}));
}

bool TTComXDlg::TI_InventoryGetSystemInfo(uint8_t F, uint8_t afi)
{
    return SendCommand(label("TI_InventoryGetSystemInfo"), kTag, bytes({0xA6, F, afi}));
}

bool TTComXDlg::TI_InventoryGetSecInfo(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi)
{
    return SendCommand(label("TI_InventoryGetSecInfo"), kTag, bytes({0xA7, firstBlock, blocks, F, afi}));
}

bool TTComXDlg::TI_KillCommand(uint8_t F, const QByteArray &uid, const QByteArray &password4)
{
    return SendCommand(label("TI_KillCommand"), kTag, bytes({0xA8, F}) + fit(uid, 8) + fit(password4, 4));
}

bool TTComXDlg::TI_WRSIBK_Psw(uint8_t F, const QByteArray &uid, const QByteArray &password4, uint8_t block,
                              const QByteArray &data4)
{
    return SendCommand(label("TI_WRSIBK_Psw"), kTag,
                       bytes({0xA9, F}) + fit(uid, 8) + fit(password4, 4) + bytes({block}) + fit(data4, 4));
}

bool TTComXDlg::Myd_ReadCommand(uint8_t block, uint8_t F) { return sendX(label("Myd_ReadCommand"), bytes({0xB0, block, 0x00}), F); }

bool TTComXDlg::Myd_WriteCommand(uint8_t block, const QByteArray &data8, uint8_t F)
{
    return sendX(label("Myd_WriteCommand"), bytes({0xB1, block, 0x00}) + fit(data8, 8), F);
}

bool TTComXDlg::Myd_WriteByteCommand(uint8_t block, uint8_t position, uint8_t value, uint8_t F)
{
    return sendX(label("Myd_WriteByteCommand"), bytes({0xB2, block, 0x00, position, value}), F);
}

bool TTComXDlg::Myd_WriteRereadCommand(uint8_t block, const QByteArray &data8, uint8_t F)
{
    return sendX(label("Myd_WriteRereadCommand"), bytes({0xB3, block, 0x00}) + fit(data8, 8), F);
}

bool TTComXDlg::LRI_ACTIVATEEAS(uint8_t F) { return sendX(label("LRI_ACTIVATEEAS"), bytes({0xB8}), F); }
bool TTComXDlg::LRI_DEACTIVATEEAS(uint8_t F) { return sendX(label("LRI_DEACTIVATEEAS"), bytes({0xB9}), F); }
bool TTComXDlg::LRI_POOLEAS(uint8_t F) { return sendX(label("LRI_POOLEAS"), bytes({0xBA}), F); }

bool TTComXDlg::SLI_InventoryRead(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi)
{
    setOptionMarker(F);
    return SendCommand(label("SLI_InventoryRead"), kTag, bytes({0xC0, firstBlock, blocks, F, afi}));
}

bool TTComXDlg::SLI_FastInventoryRead(uint8_t firstBlock, uint8_t blocks, uint8_t F, uint8_t afi)
{
    setOptionMarker(F);
    return SendCommand(label("SLI_FastInventoryRead"), kTag, bytes({0xC1, firstBlock, blocks, F, afi}));
}

bool TTComXDlg::SLI_SetEASCommand(uint8_t F) { return sendX(label("SLI_SetEASCommand"), bytes({0xC2}), F); }
bool TTComXDlg::SLI_ResetEASCommand(uint8_t F) { return sendX(label("SLI_ResetEASCommand"), bytes({0xC3}), F); }
bool TTComXDlg::SLI_LockEASCommand(uint8_t F) { return sendX(label("SLI_LockEASCommand"), bytes({0xC4}), F); }
bool TTComXDlg::SLI_EASAlarmCommand(uint8_t F) { return sendX(label("SLI_EASAlarmCommand"), bytes({0xC5}), F); }
bool TTComXDlg::MB89_EASCommand(uint8_t F) { return sendX(label("MB89_EASCommand"), bytes({0xC8}), F); }

bool TTComXDlg::MB89_WriteEASCommand(uint8_t easOn, uint8_t F)
{
    return sendX(label("MB89_WriteEASCommand"), bytes({0xC9, easOn}), F);
}

bool TTComXDlg::MB89_RefreshCommand(uint8_t F) { return sendX(label("MB89_RefreshCommand"), bytes({0xCA}), F); }

bool TTComXDlg::MB89_RDMULIBLOCKSCommand(uint8_t firstBlock, uint8_t blocks, uint8_t F)
{
    return sendX(label("MB89_RDMULIBLOCKSCommand"), bytes({0xCB, firstBlock, blocks}), F);
}

// ---------------------------------------------------------------- Tag-it

bool TTComXDlg::TAGIT_GETBLOCK_CMD(uint8_t block, uint8_t F) { return sendU(label("TAGIT_GETBLOCK_CMD"), bytes({0x01, block}), F); }
bool TTComXDlg::TAGIT_GETVERSION_CMD(uint8_t F) { return sendU(label("TAGIT_GETVERSION_CMD"), bytes({0x03}), F); }

bool TTComXDlg::TAGIT_PUTBLOCK_CMD(uint8_t block, const QByteArray &data4, uint8_t F)
{
    return sendU(label("TAGIT_PUTBLOCK_CMD"), bytes({0x05, block}) + fit(data4, 4), F);
}

bool TTComXDlg::TAGIT_PUTBLOCKLOCK_CMD(uint8_t block, const QByteArray &data4, uint8_t F)
{
    return sendU(label("TAGIT_PUTBLOCKLOCK_CMD"), bytes({0x07, block}) + fit(data4, 4), F);
}

bool TTComXDlg::TAGIT_LOCKBLOCK_CMD(uint8_t block, uint8_t F) { return sendU(label("TAGIT_LOCKBLOCK_CMD"), bytes({0x08, block}), F); }

bool TTComXDlg::TAGIT_SID_POLL_CMD(uint8_t F, uint8_t maskBits, uint32_t mask)
{
    QByteArray d = bytes({0x0A, F, maskBits});
    for (int i = 0; i < 4; ++i)
        d.append(char((mask >> (8 * i)) & 0xFF));
    return SendCommand(label("TAGIT_SID_POLL_CMD"), kTagIt, d);
}

bool TTComXDlg::TAGIT_QUIET_CMD(uint8_t F) { return sendU(label("TAGIT_QUIET_CMD"), bytes({0x0B}), F); }

// ---------------------------------------------------------------- CRC of raw requests

namespace {
struct CrcTable {
    uint16_t v[256];
    constexpr CrcTable() : v()
    {
        for (int i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i);
            for (int b = 0; b < 8; ++b)
                c = (c & 1) ? uint16_t((c >> 1) ^ 0x8408) : uint16_t(c >> 1);
            v[i] = c;
        }
    }
};
constexpr CrcTable kCrcTable;
} // namespace

uint16_t IsoCrc16(const uint8_t *bytes, int count)
{
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; ++i)
        crc = uint16_t(kCrcTable.v[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8));
    return uint16_t(crc ^ 0xFFFF);
}

uint16_t IsoCrc16(const QByteArray &bytes)
{
    return IsoCrc16(reinterpret_cast<const uint8_t *>(bytes.constData()), int(bytes.size()));
}

void AppendIsoCrc16(QByteArray &request)
{
    const uint16_t crc = IsoCrc16(request);
    request.append(char(crc & 0xFF));
    request.append(char(crc >> 8));
}

} // namespace kx9
