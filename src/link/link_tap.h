#pragma once
// An observer of the bytes on the active link, below every log switch and
// line limit: what the module hands to the link and what the link puts into
// the receive ring, chunk by chunk, as it happens. The frame capture uses it.
#include <cstdint>

namespace kx9 {

enum class LinkDirection : uint8_t {
    Sent,       // handed to the link by LinkSend (only what the link took)
    Received,   // delivered by the link into the receive ring
};

class LinkTap {
public:
    virtual ~LinkTap() = default;
    // Runs on the GUI thread inside the module's own send and receive paths:
    // it must be quick and must not call back into the module. `linkMode` is
    // the module's LinkMode at that moment (0 serial, 1 USB, 2 TCP/IP).
    virtual void linkBytes(LinkDirection direction, int linkMode, const uint8_t *bytes, int count) = 0;
};

} // namespace kx9
