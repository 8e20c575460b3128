#include "sys/CInterfaceWatch.h"

#include <gtest/gtest.h>

using namespace palaverly;
using namespace std::chrono_literals;

TEST(InterfaceWatch, WithoutKernelEventsTheListIsReadAgainAtMostEveryInterval) {
    std::chrono::steady_clock::time_point now{};
    CInterfaceWatch watch(
        5s, [&now] { return now; }, false);
    EXPECT_FALSE(watch.Subscribed());
    EXPECT_TRUE(watch.TakeChange()) << "the first read";
    EXPECT_FALSE(watch.TakeChange());
    now += 4999ms;
    EXPECT_FALSE(watch.TakeChange());
    now += 1ms;
    EXPECT_TRUE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());
    now += 60s;
    EXPECT_TRUE(watch.TakeChange());
}

TEST(InterfaceWatch, WithKernelEventsOnlyAChangeCountsNotTime) {
    std::chrono::steady_clock::time_point now{};
    CInterfaceWatch watch(5s, [&now] { return now; });
    if (!watch.Subscribed())
        GTEST_SKIP() << "no netlink here";
    EXPECT_TRUE(watch.TakeChange());
    now += 1h;
    // Nothing changes the interfaces of this namespace during the test.
    EXPECT_FALSE(watch.TakeChange());
}
