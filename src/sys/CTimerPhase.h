#pragma once
// The schedule of one periodic window timer: ticks fall at whole periods after the moment the
// timer was set. A front end that sleeps while nothing would act on the ticks (a hidden
// window) asks it when to wake next, so that the timer keeps its phase across the sleep.

#include <cstdint>
#include <functional>

namespace palaverly {

/// Milliseconds of a clock that never goes back (CLOCK_MONOTONIC).
using MonotonicClock = std::function<std::int64_t()>;

/// The system's monotonic clock in milliseconds.
std::int64_t MonotonicMilliseconds();

/// The longest period a timer can be set to: what an int of milliseconds holds (24.8 days).
inline constexpr std::int64_t kLongestTimerPeriodMs = 2147483647;

/// The period in ms of a timer set from a stored setting `value` counted in units of `unitMs`
/// (unitMs >= 1). A hand-edited value of 0 or below counts as one unit, so that no timer spins
/// or floods; a value whose period would not fit an int of milliseconds gets the longest
/// period. Every value in between is used as stored.
std::int64_t BoundedTimerPeriod(std::int64_t value, std::int64_t unitMs);

class CTimerPhase {
public:
    explicit CTimerPhase(MonotonicClock clock);

    /// Sets the timer: ticks at now + k * `periodMs` (k >= 1). Replaces an earlier setting.
    /// A period below 1 ms counts as 1 ms.
    void Set(std::int64_t periodMs);
    /// Kills the timer: no ticks until it is set again.
    void Kill();

    bool IsSet() const { return m_period > 0; }
    std::int64_t Period() const { return m_period; }

    /// Time from now to the next tick of the schedule, in (0, period]; 0 when not set.
    std::int64_t UntilNextTick() const;
    /// For a wake-up delivered now as a tick: the time to the tick after it. A wake-up that
    /// comes a little before its tick still stands for that tick, so it is not followed by a
    /// second one a few milliseconds later.
    std::int64_t AfterTick() const;

private:
    MonotonicClock m_clock;
    std::int64_t m_start = 0;
    std::int64_t m_period = 0;
};

} // namespace palaverly
