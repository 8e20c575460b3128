#include "sys/CTimerPhase.h"

#include <cstdint>
#include <gtest/gtest.h>

using namespace palaverly;

namespace {

class TimerPhase : public ::testing::Test {
protected:
    std::int64_t m_now = 5000;
    CTimerPhase m_phase{[this] { return m_now; }};
};

} // namespace

TEST_F(TimerPhase, TicksFallOnWholePeriodsAfterTheTimerWasSet) {
    EXPECT_FALSE(m_phase.IsSet());
    EXPECT_EQ(m_phase.UntilNextTick(), 0);
    m_phase.Set(180000);
    EXPECT_TRUE(m_phase.IsSet());
    EXPECT_EQ(m_phase.UntilNextTick(), 180000);
    m_now += 31000; // a window shown for 31 s, then hidden for a while
    EXPECT_EQ(m_phase.UntilNextTick(), 149000);
    m_now += 149000 + 200000; // past the first tick and 20 s past the second
    EXPECT_EQ(m_phase.UntilNextTick(), 160000);
    // Exactly on a tick: the next one is a whole period away.
    m_now = 5000 + 3 * 180000;
    EXPECT_EQ(m_phase.UntilNextTick(), 180000);
}

TEST_F(TimerPhase, SettingAgainRestartsThePhaseAndKillStops) {
    m_phase.Set(250);
    m_now += 100;
    m_phase.Set(1000);
    EXPECT_EQ(m_phase.Period(), 1000);
    EXPECT_EQ(m_phase.UntilNextTick(), 1000);
    m_phase.Kill();
    EXPECT_FALSE(m_phase.IsSet());
    EXPECT_EQ(m_phase.UntilNextTick(), 0);
    m_phase.Set(0); // a zero period would never advance
    EXPECT_EQ(m_phase.Period(), 1);
}

TEST_F(TimerPhase, AnEarlyWakeUpStandsForItsTick) {
    m_phase.Set(1000);
    m_now += 990; // woken 10 ms before the tick
    EXPECT_EQ(m_phase.AfterTick(), 1010);
    m_now += 30; // 20 ms late
    EXPECT_EQ(m_phase.AfterTick(), 980);
    m_now += 480; // a stray wake-up between ticks waits for the next one only
    EXPECT_EQ(m_phase.AfterTick(), 500);
}

TEST_F(TimerPhase, ANowBeforeTheSettingWaitsAWholePeriod) {
    m_phase.Set(1000);
    m_now -= 300;
    EXPECT_EQ(m_phase.UntilNextTick(), 1000);
}

TEST(BoundedTimerPeriod, StoredValuesInsideTheBandAreUsedAsStored) {
    EXPECT_EQ(BoundedTimerPeriod(25, 10), 250);       // the ticker's default
    EXPECT_EQ(BoundedTimerPeriod(1, 10), 10);         // its slider's lowest
    EXPECT_EQ(BoundedTimerPeriod(18, 10000), 180000); // the bulletin poll's default
    EXPECT_EQ(BoundedTimerPeriod(999999, 10), 9999990);
    // The largest value whose period still fits an int of milliseconds.
    EXPECT_EQ(BoundedTimerPeriod(214748, 10000), 2147480000);
    EXPECT_EQ(BoundedTimerPeriod(kLongestTimerPeriodMs, 1), kLongestTimerPeriodMs);
}

TEST(BoundedTimerPeriod, ZeroAndNegativeCountAsOneUnit) {
    for (std::int64_t value :
         std::initializer_list<std::int64_t>{0, -1, -25, -2147483648LL, INT64_MIN}) {
        EXPECT_EQ(BoundedTimerPeriod(value, 10), 10) << value;
        EXPECT_EQ(BoundedTimerPeriod(value, 10000), 10000) << value;
    }
}

TEST(BoundedTimerPeriod, PeriodsBeyondAnIntOfMillisecondsGetTheLongest) {
    EXPECT_EQ(BoundedTimerPeriod(214749, 10000), kLongestTimerPeriodMs);
    EXPECT_EQ(BoundedTimerPeriod(999999, 10000), kLongestTimerPeriodMs);
    EXPECT_EQ(BoundedTimerPeriod(2147483647, 10), kLongestTimerPeriodMs);
    // So large that value × unit would not fit 64 bits either.
    EXPECT_EQ(BoundedTimerPeriod(INT64_MAX, 10000), kLongestTimerPeriodMs);
    EXPECT_EQ(BoundedTimerPeriod(kLongestTimerPeriodMs + 1, 1), kLongestTimerPeriodMs);
}
