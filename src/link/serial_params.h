#pragma once
// The five serial line values the operator edits in the serial parameter
// dialog, as the communication module keeps them (ComDebug section).
#include "options.h"

namespace kx9 {

struct SerialLineParams {
    int BitRate = 19200;
    int CharSize = 8;          // data bits
    int Parity = 0;            // 0 none, 1 odd, 2 even
    int StopBits = 0;          // 0 one, 1 one and a half, 2 two
    FlowControl Flow = FlowControl::None;

    bool operator==(const SerialLineParams &) const = default;
};

} // namespace kx9
