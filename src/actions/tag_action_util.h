#pragma once
// The rules of the tag operation actions that decide bytes and texts: the
// request flags of the vendor inventory reads, the raw ISO 15693 requests of
// CommCommand, the size of a data write, the TI Light AFI block and the byte
// cut of texts. Free of widgets.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kx9 {

struct AppOptions;

// The inventory-read commands of the TI and NXP menus build their flags from
// nothing: the read option flag to bit 4, AFI given (bit 5) exactly when the
// AFI entered is not 0, one slot (bit 6) for the items "1".
uint8_t VendorInventoryFlags(const AppOptions &opts, bool oneSlot, uint8_t afi);

// The raw requests CommCommand hands to the transparent command: three header
// bytes (sub-command, reply kind, reply length), then the ISO 15693 request
// from its flags byte on, closed by its CRC low byte first.
QByteArray CommReadRequest(uint8_t block);
// `blockBytes` are the first bytes of the block text; fewer than 4 are made up
// with zero bytes (a block size below 4 has no more to give).
QByteArray CommWriteRequest(uint8_t block, bool optionFlag, const QByteArray &blockBytes);
QByteArray CommTransmitRequest(const QByteArray &uid8);

// Largest data write the reader accepts in one 'J' command, and the action's
// own 256-byte buffer less the count byte.
constexpr int kDataWriteMax = 255;
constexpr int kTagItDataWriteMax = 32;
// How many bytes a data write of `textBytes` bytes sends: at most 32 in Tag-it
// mode, otherwise at most TagWriteNum, and never more than 255. When
// TagWriteNum itself is above 255 `note` receives the line that tells the
// operator so (empty otherwise).
int DataWriteCount(const AppOptions &opts, int textBytes, QString *note = nullptr);

// Block 10 of a TI Light tag with the AFI in byte 0: the rest is the block as
// it was read. `readBlock` must hold the whole block (`blockSize` bytes).
QByteArray LightAfiBlock(uint8_t afi, const QByteArray &readBlock, int blockSize);

// The text cut so that its code-page bytes number at most `maxBytes`, at a
// character boundary (never half of a two-byte character).
QString CutTextToBytes(const QString &text, int maxBytes);

} // namespace kx9
