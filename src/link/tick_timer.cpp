#include "tick_timer.h"

#include <ctime>

namespace kx9 {

namespace {
uint32_t monotonicTicks()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // Truncated to 32 bits like the system tick counter: it wraps after about
    // 49.7 days, and the modulo-2^32 difference in Expired() copes with that.
    return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}
} // namespace

TickTimer &TickTimer::instance()
{
    static TickTimer timer;
    return timer;
}

TickTimer::TickTimer() : clock_(monotonicTicks)
{
    start_ = clock_();
}

void TickTimer::setClock(Clock clock)
{
    clock_ = clock ? std::move(clock) : Clock(monotonicTicks);
}

} // namespace kx9
