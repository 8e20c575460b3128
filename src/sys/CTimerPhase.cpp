#include "sys/CTimerPhase.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace palaverly {

std::int64_t MonotonicMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::int64_t BoundedTimerPeriod(std::int64_t value, std::int64_t unitMs) {
    const std::int64_t unit = std::clamp<std::int64_t>(unitMs, 1, kLongestTimerPeriodMs);
    // Compared before multiplying: value * unit may not fit even 64 bits.
    if (value < 1)
        return unit;
    if (value > kLongestTimerPeriodMs / unit)
        return kLongestTimerPeriodMs;
    return value * unit;
}

CTimerPhase::CTimerPhase(MonotonicClock clock) : m_clock(std::move(clock)) {}

void CTimerPhase::Set(std::int64_t periodMs) {
    m_period = periodMs < 1 ? 1 : periodMs;
    m_start = m_clock();
}

void CTimerPhase::Kill() {
    m_period = 0;
}

std::int64_t CTimerPhase::UntilNextTick() const {
    if (!IsSet())
        return 0;
    std::int64_t elapsed = m_clock() - m_start;
    if (elapsed < 0) // a clock that went back: the schedule starts over from now
        elapsed = 0;
    return m_period - elapsed % m_period;
}

std::int64_t CTimerPhase::AfterTick() const {
    const std::int64_t next = UntilNextTick();
    // Timers may fire early by a small fraction of their period; such a wake-up is the tick
    // just ahead, and the one to wait for is the one after.
    if (next > 0 && next <= m_period / 8)
        return next + m_period;
    return next;
}

} // namespace palaverly
