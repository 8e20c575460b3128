#include "sys/CTimerPhase.h"

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
