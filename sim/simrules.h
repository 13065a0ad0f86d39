#pragma once
// What the reader refuses. Every check of a field's value that the simulated
// reader and gate make lives here: another reader's ID, fixed bytes, coded
// fields with a value the command does not have, request flags that ISO/IEC
// 15693 does not allow together. A reader that let such a frame through would
// hide a monitor that builds it wrongly, so the simulator refuses them as
// described in the README ("How the reader answers").
//
// Order of the checks on a frame: envelope (LEN, SUM) in the frame reader,
// then the ID and the field values here, as far as the frame holds the
// fields, then the number of data bytes in the command handlers (NACK 0x41).
#include <QByteArray>
#include <cstdint>

namespace kx9sim {

enum : uint8_t {
    NackLength = 0x41,  // the frame does not end where LEN says, or the wrong number of data bytes
    NackSum = 0x42,
    NackId = 0x43,
    NackCommand = 0x44, // unknown command or sub-command, or a field value the command does not have
};

// The operating-mode codes the reader has: the mode list and polling write.
bool isModeCode(uint8_t mode);

// A request frame that passed the envelope check, judged before it is handled:
// NackId for another reader's ID (ID 0 is taken only by the gate sub-commands
// that are sent with it), NackCommand for a field value that is not allowed,
// 0 when the frame may go on to its handler.
uint8_t requestRefusal(uint8_t cmd, const QByteArray &data, uint8_t id, uint8_t readerId);

// How a tag command uses its request flags byte F (bits 0-1 UID mode, bit 2
// select, bit 3 address).
enum class FlagsUse {
    Inventory, // an inventory carries no identifier: the UID mode bits must be clear
    Addressed, // UID mode 0, 1 or 2; the select flag excludes every kind of addressing
    WithUid,   // the frame always carries a UID: the select flag is not allowed
};
// NackCommand when F is not allowed for that use, else 0.
uint8_t flagsRefusal(uint8_t f, FlagsUse use);

} // namespace kx9sim
