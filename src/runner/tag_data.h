#pragma once
// What the tag memory viewer decides without a window: the maker names, the
// memory geometry and read plan for a chip, the requests of the chunked plan,
// the hex text of a block, and the dump it shows (its two file forms and the
// comparison of two reads).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>
#include <cstdint>

namespace kx9 {

// ISO/IEC 7816-6 maker codes the viewer knows.
QString ManufacturerName(uint8_t code);

enum class ReadPlan {
    None,              // nothing can be read (geometry unknown)
    SingleWithSec,     // ReadSingleBlock with the option flag, progress shown
    SingleNoSec,       // ReadSingleBlock without it, then block 17 (Infineon 15 x 4)
    TiBlocks,          // ReadSingleBlock with the option flag, no progress, last block once more
    Chunks,            // ReadBytes of 128-byte chunks, then GetMBlockSecSt passes
};

struct TagPlanChoice {
    int blockCount = 0;        // 0: from GetSystemInfo
    int blockSize = 0;
    bool fromSystemInfo = false;
    bool setBlockSizeParam = true;   // reader parameter 0xAC set to the block size around the read
    ReadPlan plan = ReadPlan::None;
};

// `maker` is UID byte 6, `chipCode` UID byte 5 (for Texas Instruments with
// bit 0 already cleared).
TagPlanChoice ChooseTagPlan(uint8_t maker, uint8_t chipCode);
// The chip code as the plan wants it: byte 5, bit 0 cleared for TI tags.
uint8_t ViewChipCode(uint8_t maker, uint8_t uidByte5);

// One request of the chunked plan.
struct ChunkRequest {
    int firstBlock = 0;
    int blocks = 0;      // blocks the request covers
    int field = 0;       // ReadBytes: byte count; GetMBlockSecSt: count field (blocks - 1)
};
// ReadBytes requests for n blocks of s bytes: k = 128 / s blocks a chunk.
QList<ChunkRequest> ChunkReads(int blockCount, int blockSize);
// GetMBlockSecSt requests over n blocks, 128 blocks at a time.
QList<ChunkRequest> SecurityReads(int blockCount);

// A block's bytes as "HH " each: last byte first when `msbFirst`.
QString BlockHexText(const QByteArray &bytes, bool msbFirst);
// The bytes as characters (CP932; control bytes and zero shown as '.').
QString BlockCharText(const QByteArray &bytes);

// What one read of a tag brought.
struct TagDump {
    struct Block {
        bool read = false;
        QByteArray data;
        bool hasSecurity = false;
        uint8_t security = 0;
    };
    QByteArray uid;            // 8 bytes, byte 0 first as received
    uint8_t dsfid = 0;
    uint8_t afi = 0;
    uint8_t maker = 0;
    int blockSize = 0;
    QVector<Block> blocks;     // index = block number (rows may stay unread)

    int readCount() const;
};

// CSV: a heading line, then "block,hex,security" for every block read; the hex
// is the block's bytes from byte 0 on (the tag's own order), security empty
// when the plan had none. CP932, CR LF.
QByteArray DumpCsv(const TagDump &dump);
// Plain hex dump: a few heading lines, then 16 bytes a line with the byte
// offset, unread bytes as "--", and the characters at the end.
QByteArray DumpHex(const TagDump &dump);
// Block numbers whose data or security state differ (a block read in only one
// of the two counts as different).
QList<int> CompareDumps(const TagDump &a, const TagDump &b);

} // namespace kx9
