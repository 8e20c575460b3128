#include "RosterTestSupport.h"
#include "hub/StationSetup.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace palaverly;

namespace {

struct SinkReport {
    std::string caption;
    std::string text;
    bool operator==(const SinkReport&) const = default;
};

std::vector<std::uint32_t> Read(const std::string& fileText, std::vector<SinkReport>& notices) {
    test::CTempDir dir;
    const auto file = dir.Path() / "palaverly.conf";
    std::ofstream(file) << fileText;
    return ExtraDestinations(CSettingsStore(file),
                             [&notices](const std::string& caption, const std::string& text) {
                                 notices.push_back({caption, text});
                             });
}

} // namespace

TEST(ExtraDestinations, MissingValueMeansNoneAndNoNotice) {
    std::vector<SinkReport> notices;
    EXPECT_TRUE(Read("HandleName=x\n", notices).empty());
    EXPECT_TRUE(Read("BroadcastAddresses=\n", notices).empty());
    EXPECT_TRUE(notices.empty());
}

TEST(ExtraDestinations, GoodEntriesAreKeptBadOnesReportedTogetherOnce) {
    std::vector<SinkReport> notices;
    const auto extras =
        Read("BroadcastAddresses=10.1.2.255, printer 10.1.3.7,300.1.1.1\n", notices);
    EXPECT_EQ(extras, (std::vector<std::uint32_t>{0x0A0102FFu, 0x0A010307u}));
    EXPECT_EQ(notices, (std::vector<SinkReport>{
                           {"msg", "BroadcastAddresses: not an IPv4 address: \"printer\" "
                                   "\"300.1.1.1\""}}));
}

TEST(ExtraDestinations, AValueBeyondTheReadLimitCountsAsMissing) {
    std::string list;
    while (list.size() < CSettingsStore::kLongValueLimit)
        list += "10.1.2.3 ";
    std::vector<SinkReport> notices;
    EXPECT_TRUE(Read("BroadcastAddresses=" + list + "\n", notices).empty());
    EXPECT_TRUE(notices.empty());
}
