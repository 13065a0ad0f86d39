#pragma once
// One program-wide start time for every wait, on a 32-bit millisecond tick that
// wraps. Starting it again moves the start of any wait already running.
#include <cstdint>
#include <functional>

namespace kx9 {

class TickTimer {
public:
    using Clock = std::function<uint32_t()>;

    static TickTimer &instance();

    void Start() { start_ = clock_(); }
    // Ticks since Start, modulo 2^32, are at least ms.
    bool Expired(uint32_t ms) const { return uint32_t(clock_() - start_) >= ms; }
    uint32_t Elapsed() const { return uint32_t(clock_() - start_); }
    uint32_t Now() const { return clock_(); }

    // Tests swap the clock to reach the wrap; nullptr restores the monotonic clock.
    void setClock(Clock clock);

private:
    TickTimer();
    Clock clock_;
    uint32_t start_ = 0;
};

} // namespace kx9
