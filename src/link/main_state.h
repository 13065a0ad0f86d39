#pragma once
// State the main window keeps for the whole run and that the decoders, the
// command operations and the actions read and write: the current tag, what the
// last GetSystemInfo said, and the values last entered in the action dialogs.
#include <QString>
#include <cstdint>

namespace kx9 {

struct TagSystemInfoRec {
    uint8_t infoFlags = 0;
    uint8_t dsfid = 0;
    uint8_t afi = 0;
    uint8_t blockCountMinus1 = 0;
    uint8_t blockSizeMinus1 = 0;   // low 5 bits
    uint8_t icReference = 0;
};

struct MainState {
    uint8_t CurrentUid[8] = {};    // wire order: [0] is the least significant byte as displayed
    uint8_t CurrentSid[4] = {};    // Tag-it identifier, wire order
    TagSystemInfoRec TagSystemInfo;

    // Action memory (not saved).
    uint8_t LastBlockNo = 0;
    uint8_t MultiFirstBlock = 0;
    uint8_t MultiBlockCount = 0;
    uint16_t LastAfiDsfid = 0;
    QString LastDataText;
    double ExecStart = 0;          // days, fraction = time of day
    double ExecEnd = 0;

    // Set at start and by a restart: the next quick mode switch reads the
    // reader's mode first (mode flags and mode byte 2) and clears it.
    bool ModeRereadFlag = true;
};

} // namespace kx9
