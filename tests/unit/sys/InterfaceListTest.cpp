#include "sys/Identity.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <net/if.h>

using namespace palaverly;

TEST(InterfaceList, LoopbackComesWithItsMaskIndexAndNoBroadcast) {
    const std::vector<InterfaceAddress> list = LocalInterfaceAddresses();
    const auto lo = std::find_if(list.begin(), list.end(), [](const InterfaceAddress& a) {
        return a.loopback && a.address == 0x7F000001u;
    });
    ASSERT_NE(lo, list.end());
    EXPECT_EQ(lo->netmask, 0xFF000000u);
    EXPECT_EQ(lo->index, if_nametoindex(lo->name.c_str()));
    EXPECT_NE(lo->index, 0u);
    EXPECT_FALSE(lo->broadcast);
    for (const InterfaceAddress& a : list)
        EXPECT_NE(a.index, 0u) << a.name;
}
