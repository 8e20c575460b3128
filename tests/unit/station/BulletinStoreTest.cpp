#include "station/CBulletinStore.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace palaverly;

namespace {
const std::string kTemplate05 = cp932::Sjis("■%s放送：");

std::vector<std::string> Keys(const CBulletinStore& store) {
    std::vector<std::string> keys;
    for (const auto& entry : store.Entries())
        keys.push_back(entry.key);
    return keys;
}

// A roster stand-in: handle by exact computer name.
HandleLookup Roster(std::map<std::string, std::string> rows) {
    return [rows = std::move(rows)](const std::string& computer) {
        auto it = rows.find(computer);
        return it == rows.end() ? std::string() : it->second;
    };
}
} // namespace

TEST(BulletinStore, AppendsNewServersAndReplacesKnownOnesInPlace) {
    CBulletinStore store;
    EXPECT_TRUE(store.StoreBulletin("PC1", "one"));
    EXPECT_TRUE(store.StoreBulletin("PC2", "two"));
    EXPECT_TRUE(store.StoreBulletin("PC1", "uno"));
    ASSERT_EQ(store.Entries().size(), 2u);
    EXPECT_EQ(store.Entries()[0].key, "PC1");
    EXPECT_EQ(store.Entries()[0].text, "uno");
    EXPECT_EQ(store.Entries()[1].text, "two");
    // The same text again still asks for a rebuild: the roster or local message may have moved.
    EXPECT_TRUE(store.StoreBulletin("PC2", "two"));
}

TEST(BulletinStore, IgnoresEmptyKeyOrText) {
    CBulletinStore store;
    ASSERT_TRUE(store.StoreBulletin("PC1", "one"));
    struct Case {
        std::string key, text;
    } cases[] = {{"", "text"}, {"PC1", ""}, {"PC9", ""}, {"", ""}};
    for (const auto& c : cases)
        EXPECT_FALSE(store.StoreBulletin(c.key, c.text)) << c.key << "/" << c.text;
    ASSERT_EQ(store.Entries().size(), 1u);
    EXPECT_EQ(store.Entries()[0].text, "one");
}

TEST(BulletinStore, KeysAreComparedExactly) {
    CBulletinStore store;
    store.StoreBulletin("PC1", "a");
    store.StoreBulletin("PC10", "b");
    store.StoreBulletin("pc1", "c");
    store.StoreBulletin("PC1 ", "d");
    EXPECT_EQ(Keys(store), (std::vector<std::string>{"PC1", "PC10", "pc1", "PC1 "}));
}

TEST(BulletinStore, FullStoreRefusesNewServersButUpdatesKnownOnes) {
    CBulletinStore store;
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(store.StoreBulletin("PC" + std::to_string(i), "text" + std::to_string(i)));
    EXPECT_FALSE(store.StoreBulletin("PC16", "new server"));
    EXPECT_EQ(store.Entries().size(), 16u);
    EXPECT_EQ(store.Entries().back().key, "PC15");

    EXPECT_TRUE(store.StoreBulletin("PC3", "changed"));
    EXPECT_EQ(store.Entries()[3].text, "changed");
    EXPECT_EQ(store.Entries().size(), 16u);
}

TEST(BulletinStore, OverlongKeyIsCutToTheFieldWithoutSplittingACharacter) {
    CBulletinStore store;
    // An unterminated 16-byte name read on into the text of the datagram.
    store.StoreBulletin("ABCDEFGHIJKLMNOPtext", "t1");
    // 14 one-byte characters and a double-byte one would be 16 bytes: the latter is left out.
    const std::string kanji = cp932::Sjis("漢");
    store.StoreBulletin("ABCDEFGHIJKLMN" + kanji, "t2");
    EXPECT_EQ(Keys(store), (std::vector<std::string>{"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMN"}));
    // The same overlong name again finds its entry.
    store.StoreBulletin("ABCDEFGHIJKLMNOPother", "t3");
    EXPECT_EQ(store.Entries().size(), 2u);
    EXPECT_EQ(store.Entries()[0].text, "t3");
}

TEST(BulletinStore, TickerTextIsLocalMessageThenEachKnownServer) {
    CBulletinStore store;
    store.StoreBulletin("SRV-B", "bravo");
    store.StoreBulletin("GONE", "not in the roster");
    store.StoreBulletin("SRV-A", "alpha");
    auto roster = Roster({{"SRV-A", "Ann"}, {"SRV-B", "Bob"}});

    EXPECT_EQ(store.BuildTickerText("local ", false, kTemplate05, roster),
              "local " + cp932::Sjis("■Bob放送：") + "bravo" + cp932::Sjis("■Ann放送：") + "alpha");
    // With "Flg ChatServerMsgRecv" on only the local message shows, whatever is stored.
    EXPECT_EQ(store.BuildTickerText("local ", true, kTemplate05, roster), "local ");
    // A server that comes back into the roster shows again.
    auto later = Roster({{"GONE", "Gus"}});
    EXPECT_EQ(store.BuildTickerText("", false, kTemplate05, later),
              cp932::Sjis("■Gus放送：") + "not in the roster");
    EXPECT_EQ(store.BuildTickerText("x", false, kTemplate05, HandleLookup()), "x");
}

TEST(BulletinStore, TemplateFillsOnlyItsFirstPlaceholder) {
    CBulletinStore store;
    store.StoreBulletin("SRV", "news");
    auto roster = Roster({{"SRV", "Sue"}});
    struct Case {
        std::string templ, expected;
    } cases[] = {
        {"[no handle]", "L[no handle]news"},
        {"%s and %s: ", "LSue and %s: news"},
        {"", "Lnews"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(store.BuildTickerText("L", false, c.templ, roster), c.expected) << c.templ;
}
