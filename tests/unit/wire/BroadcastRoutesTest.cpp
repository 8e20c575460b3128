#include "wire/BroadcastRoutes.h"

#include <gtest/gtest.h>
#include <netinet/in.h>

using namespace palaverly;

namespace {

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

constexpr std::uint32_t Mask(int prefix) {
    return prefix == 0 ? 0u : ~std::uint32_t{0} << (32 - prefix);
}

InterfaceAddress Nic(const char* name, unsigned index, std::uint32_t address, int prefix,
                     bool up = true, bool broadcast = true, bool loopback = false) {
    InterfaceAddress nic;
    nic.name = name;
    nic.index = index;
    nic.address = address;
    nic.netmask = Mask(prefix);
    nic.up = up;
    nic.broadcast = broadcast;
    nic.loopback = loopback;
    return nic;
}

BroadcastRoute OnNic(unsigned index, std::uint32_t source) {
    return {INADDR_BROADCAST, index, source};
}

BroadcastRoute Routed(std::uint32_t destination) {
    return {destination, 0, 0};
}

const InterfaceAddress kLo = Nic("lo", 1, Ip(127, 0, 0, 1), 8, true, false, true);
const InterfaceAddress kEth = Nic("eth0", 2, Ip(192, 168, 1, 10), 24);
const InterfaceAddress kWifi = Nic("wlan0", 3, Ip(10, 0, 0, 6), 16);

} // namespace

TEST(BroadcastRoutes, OneLimitedBroadcastPerInterfaceThatHasABroadcastDomain) {
    const InterfaceAddress vpn = Nic("tun0", 4, Ip(172, 16, 0, 2), 24, true, false);
    const InterfaceAddress down = Nic("eth1", 5, Ip(10, 9, 0, 1), 24, false);
    const InterfaceAddress unnumbered = Nic("eth2", 6, 0, 0);
    const InterfaceAddress noIndex = Nic("eth3", 0, Ip(10, 8, 0, 1), 24);
    EXPECT_EQ(ChooseBroadcastRoutes({kLo, kEth, vpn, down, unnumbered, noIndex, kWifi}, {}),
              (std::vector<BroadcastRoute>{OnNic(2, kEth.address), OnNic(3, kWifi.address)}));
}

TEST(BroadcastRoutes, ASubnetOrALinkReachedTwiceIsSentToOnce) {
    // A second link into the office LAN, and a second address on the Wi-Fi link.
    const InterfaceAddress dock = Nic("eth1", 7, Ip(192, 168, 1, 77), 24);
    const InterfaceAddress alias = Nic("wlan0:1", 3, Ip(10, 50, 0, 1), 24);
    EXPECT_EQ(ChooseBroadcastRoutes({kEth, kWifi, dock, alias}, {}),
              (std::vector<BroadcastRoute>{OnNic(2, kEth.address), OnNic(3, kWifi.address)}));
    // Same network number, other mask: another broadcast domain.
    const InterfaceAddress wider = Nic("eth4", 8, Ip(192, 168, 1, 200), 16);
    EXPECT_EQ(ChooseBroadcastRoutes({kEth, wider}, {}).size(), 2u);
}

TEST(BroadcastRoutes, PointToPointPrefixes) {
    // /31 (RFC 3021): one neighbour, reached by the limited broadcast on that link.
    const InterfaceAddress link31 = Nic("eth5", 9, Ip(10, 1, 1, 0), 31);
    EXPECT_EQ(ChooseBroadcastRoutes({link31}, {}),
              (std::vector<BroadcastRoute>{OnNic(9, link31.address)}));
    // /32: nobody shares the subnet; with nothing else the plain broadcast remains.
    const InterfaceAddress host32 = Nic("eth6", 10, Ip(10, 1, 2, 3), 32);
    EXPECT_EQ(ChooseBroadcastRoutes({host32}, {}),
              (std::vector<BroadcastRoute>{Routed(INADDR_BROADCAST)}));
    EXPECT_EQ(ChooseBroadcastRoutes({host32, kEth}, {}),
              (std::vector<BroadcastRoute>{OnNic(2, kEth.address)}));
}

TEST(BroadcastRoutes, WithoutAFittingInterfaceThePlainBroadcastGoesOut) {
    EXPECT_EQ(ChooseBroadcastRoutes({}, {}),
              (std::vector<BroadcastRoute>{Routed(INADDR_BROADCAST)}));
    EXPECT_EQ(ChooseBroadcastRoutes({kLo}, {}),
              (std::vector<BroadcastRoute>{Routed(INADDR_BROADCAST)}));
}

TEST(BroadcastRoutes, ExtraDestinationsFollowWithoutRepeatingWhatABroadcastReaches) {
    const std::uint32_t otherSubnet = Ip(192, 168, 2, 255);
    const std::uint32_t singleHost = Ip(192, 168, 3, 4);
    const std::vector<std::uint32_t> extras = {
        otherSubnet,         Ip(192, 168, 1, 255), // the office LAN's own directed broadcast
        Ip(192, 168, 1, 20),                       // a station on the office LAN
        INADDR_BROADCAST,    singleHost,           otherSubnet,
    };
    EXPECT_EQ(ChooseBroadcastRoutes({kLo, kEth}, extras),
              (std::vector<BroadcastRoute>{OnNic(2, kEth.address), Routed(otherSubnet),
                                           Routed(singleHost)}));
    // With no interface the plain broadcast reaches no known subnet: every extra stays.
    EXPECT_EQ(ChooseBroadcastRoutes({}, {Ip(192, 168, 1, 20), otherSubnet}),
              (std::vector<BroadcastRoute>{Routed(INADDR_BROADCAST), Routed(Ip(192, 168, 1, 20)),
                                           Routed(otherSubnet)}));
}

TEST(BroadcastRoutes, DestinationListIsSplitAtCommasAndSpaces) {
    const DestinationList list =
        ParseDestinationList(" 192.168.2.255, 10.0.0.7\t10.0.0.7,,192.168.3.4 ");
    EXPECT_EQ(list.addresses, (std::vector<std::uint32_t>{Ip(192, 168, 2, 255), Ip(10, 0, 0, 7),
                                                          Ip(192, 168, 3, 4)}));
    EXPECT_TRUE(list.rejected.empty());
    EXPECT_TRUE(ParseDestinationList("").addresses.empty());
    EXPECT_TRUE(ParseDestinationList(" , ").rejected.empty());
}

TEST(BroadcastRoutes, EntriesThatAreNoUsableAddressAreRejectedOthersKept) {
    const DestinationList list = ParseDestinationList(
        "10.0.0.1 host.example 192.168.1 256.1.1.1 0.0.0.0 224.0.0.1 240.0.0.1 10.0.0.2;"
        " 255.255.255.255 1.2.3.4.5");
    EXPECT_EQ(list.addresses, (std::vector<std::uint32_t>{Ip(10, 0, 0, 1), INADDR_BROADCAST}));
    EXPECT_EQ(list.rejected,
              (std::vector<std::string>{"host.example", "192.168.1", "256.1.1.1", "0.0.0.0",
                                        "224.0.0.1", "240.0.0.1", "10.0.0.2;", "1.2.3.4.5"}));
}
