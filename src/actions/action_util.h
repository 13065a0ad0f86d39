#pragma once
// The conversions and small rules every command action shares: request flags
// from the options, text to block bytes, the binary block entry, the
// execution-time text and the GetSystemInfo summary. Free of widgets.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace kx9 {

struct AppOptions;
struct TagSystemInfoRec;

// Where an action takes its request flags from.
enum class FlagGroup { Read, Write, Uid };

// The group's value: option flag to bit 4 and the UID mode in bits 0-1 (read,
// write), or just the UID mode (UID).
uint8_t GroupFlags(const AppOptions &opts, FlagGroup group);
// As GroupFlags, but an overridable action sends the whole Prog15693FLAG byte
// while fUSESetOption is on.
uint8_t RequestFlagsFor(const AppOptions &opts, FlagGroup group, bool overridable);
// Inventory: one slot sets Nb_slots (0x40); the AFI bit may come from Prog15693FLAG.
uint8_t InventoryFlags(const AppOptions &opts, bool oneSlot);
uint8_t Inventory2Flags(const AppOptions &opts);
// Write2Blocks and Lock2Blocks: the write UID mode with the option flag, never overridden.
uint8_t TwoBlockFlags(const AppOptions &opts);

// Exactly n bytes: the text's code-page bytes, cut after n or zero-filled to n.
QByteArray TextToBlockBytes(const QString &text, int n);

// The binary single-block entry: the fields are shown upper byte first
// (EdData3 on the left) and the block goes out lowest byte first. The buffer
// holds 256 bytes; the first `blockSize` of them are returned.
constexpr int kBlockBufferSize = 256;
QByteArray BinaryBlockBytes(uint8_t data3, uint8_t data2, uint8_t data1, uint8_t data0, int blockSize);

// Largest DATA a write command may carry: the frame's LEN is one byte.
constexpr int kMaxDataLen = 255;
// Why a block write of `dataBytes` bytes cannot be sent (empty when it can):
// the action buffer holds 256 bytes and DATA at most 255, of which the command
// takes `overhead` bytes (code, block, count, flags) plus 8 for a UID when the
// flags' UID mode is 1.
QString BlockWriteRefusal(int dataBytes, int overhead, uint8_t requestFlags);

// Local date and time as days since 1899-12-30 (fraction = time of day).
double NowAsDays();
// A duration in days as "nn:ss:zz": minutes without hours, seconds, and at
// least two digits of milliseconds.
QString FormatExecTime(double days);

// The lines an action logs after a successful GetSystemInfo, in order.
QStringList SystemInfoLines(const TagSystemInfoRec &info);

} // namespace kx9
