#include "sys/Identity.h"

#include "text/Cp932.h"
#include "wire/StationId.h" // the id chosen from the interfaces

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace palaverly;

namespace {
constexpr std::uint32_t kLoopback = 0x7F000001u;   // 127.0.0.1
constexpr std::uint32_t kDebianHost = 0x7F000101u; // 127.0.1.1
constexpr std::uint32_t kOffice = 0xC0A8010Au;     // 192.168.1.10
constexpr std::uint32_t kSecondNic = 0x0A000006u;  // 10.0.0.6
constexpr std::uint32_t kDownNic = 0x0A000005u;    // 10.0.0.5

const std::vector<InterfaceAddress> kInterfaces = {
    {"lo", kLoopback, true, true},
    {"eth0", kDownNic, false, false},
    {"eth1", kSecondNic, true, false},
    {"eth2", kOffice, true, false},
};
} // namespace

TEST(Identity, ComputerNameIsTheHostNameBeforeItsFirstDotCutTo15Bytes) {
    const std::string kana = cp932::Sjis("ホスト名前長い"); // 7 double-byte characters
    struct Case {
        std::string host;
        std::string computer;
    } cases[] = {
        {"plh1", "plh1"},
        {"plh1.office.example", "plh1"},
        {"averyveryverylonghostname.lan", "averyveryverylo"},
        {"", ""},
        {".hidden", ""},
        // 8 double-byte characters are 16 bytes: the eighth does not fit.
        {kana + cp932::Sjis("だ"), kana},
        {"a" + kana + cp932::Sjis("だ"), "a" + kana},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComputerNameFromHostName(c.host), c.computer) << c.host;
}

TEST(Identity, StationAddressPrefersAResolvedNonLoopbackAddress) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> resolved;
        std::vector<InterfaceAddress> interfaces;
        std::optional<std::uint32_t> chosen;
    } cases[] = {
        {"resolved office address", kOffice, kInterfaces, kOffice},
        {"Debian's 127.0.1.1 falls back to an interface", kDebianHost, kInterfaces, kSecondNic},
        {"unresolved falls back to an interface", std::nullopt, kInterfaces, kSecondNic},
        {"0.0.0.0 is no address", 0u, kInterfaces, kSecondNic},
        {"only loopback and a down interface",
         kLoopback,
         {{"lo", kLoopback, true, true}, {"eth0", kDownNic, false, false}},
         std::nullopt},
        {"nothing at all", std::nullopt, {}, std::nullopt},
        {"a loopback address on a non-loopback interface",
         std::nullopt,
         {{"dummy0", 0x7F000005u, true, false}, {"eth1", kSecondNic, true, false}},
         kSecondNic},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseStationAddress(c.resolved, c.interfaces), c.chosen) << c.name;
}

TEST(Identity, StationIdIsEmptyWithoutAnyUsableAddress) {
    EXPECT_EQ(ChooseStationId(kDebianHost, kInterfaces), "010000000006");
    EXPECT_EQ(ChooseStationId(kOffice, {}), "192168001010");
    EXPECT_EQ(ChooseStationId(kDebianHost, {{"lo", kLoopback, true, true}}), "");
    EXPECT_EQ(ChooseStationId(std::nullopt, {}), "");
}

TEST(IdentitySystem, NumericAddressesResolveWithoutALookup) {
    EXPECT_EQ(ResolveIpv4("192.0.2.7"), std::optional<std::uint32_t>(0xC0000207u));
    EXPECT_EQ(ResolveIpv4("127.0.1.1"), std::optional<std::uint32_t>(kDebianHost));
    EXPECT_EQ(ResolveIpv4(""), std::nullopt);
}

TEST(IdentitySystem, InterfaceListShowsTheLoopbackInterface) {
    const std::vector<InterfaceAddress> list = LocalInterfaceAddresses();
    const bool hasLoopback = std::any_of(list.begin(), list.end(), [](const InterfaceAddress& a) {
        return a.loopback && a.address == kLoopback;
    });
    EXPECT_TRUE(hasLoopback);
    // Whatever the machine, the chosen id is never a loopback address.
    const std::string id = ChooseStationId(kLoopback, list);
    EXPECT_TRUE(id.empty() || id.rfind("127", 0) != 0) << id;
}

TEST(IdentitySystem, ComputerAndUserNameComeFromTheSystem) {
    const std::string host = LocalHostName();
    ASSERT_FALSE(host.empty());
    const std::string computer = LocalComputerName();
    EXPECT_EQ(computer, ComputerNameFromHostName(host));
    EXPECT_LE(computer.size(), kComputerNameMaxBytes);
    EXPECT_EQ(computer.find('.'), std::string::npos);
    EXPECT_FALSE(LocalUserName().empty());
}
