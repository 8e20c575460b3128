#include "settings/CStationSettings.h"

#include "SettingsTestSupport.h"
#include "settings/CSettingsStore.h"
#include "settings/CWindowPos.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

using namespace palaverly;
using palaverly::test::CTempFolder;
using palaverly::test::ReadFile;
using palaverly::test::WriteFile;

TEST(WindowPos, AppliedOnlyWhenAllTenNumbersParse) {
    struct Case {
        const char* text;
        bool parses;
    } cases[] = {
        {"2,1,-1,-1,-8,-31,100,120,740,620", true},
        {" 2, 1, -1, -1, -8, -31, 100, 120, 740, 620", true}, // space before a number is fine
        {"2,1,-1,-1,-8,-31,100,120,740,620,99", true},        // text after the tenth ignored
        {"2,1,-1,-1,-8,-31,100,120,740,620xyz", true},
        {"2,1,-1,-1,-8,-31,100,120,740", false}, // nine numbers
        {"2,1,-1,-1,-8,-31,100,120,740,", false},
        {"2 ,1,-1,-1,-8,-31,100,120,740,620", false}, // no space before a comma
        {"2;1;-1;-1;-8;-31;100;120;740;620", false},
        {"", false},
        {"a,1,-1,-1,-8,-31,100,120,740,620", false},
        {"-2,1,-1,-1,-8,-31,100,120,740,620", false}, // negative placement flags
        {"4294967295,1,0,0,0,0,0,0,0,0", true},
        {"4294967296,1,0,0,0,0,0,0,0,0", false},
        {"0,1,2147483647,-2147483648,0,0,0,0,0,0", true},
        {"0,1,2147483648,0,0,0,0,0,0,0", false},
        {"0,1,99999999999999999999999,0,0,0,0,0,0,0", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CWindowPos::Parse(c.text).has_value(), c.parses) << c.text;

    auto pos = CWindowPos::Parse("2,1,-1,-2,-8,-31,100,120,740,620");
    ASSERT_TRUE(pos);
    EXPECT_EQ(pos->m_flags, 2u);
    EXPECT_EQ(pos->m_showCmd, 1u);
    EXPECT_EQ(pos->m_minX, -1);
    EXPECT_EQ(pos->m_minY, -2);
    EXPECT_EQ(pos->m_maxX, -8);
    EXPECT_EQ(pos->m_maxY, -31);
    EXPECT_EQ(pos->m_left, 100);
    EXPECT_EQ(pos->m_top, 120);
    EXPECT_EQ(pos->m_right, 740);
    EXPECT_EQ(pos->m_bottom, 620);
    EXPECT_EQ(pos->Format(), "2,1,-1,-2,-8,-31,100,120,740,620");
    EXPECT_EQ(CWindowPos::Parse(pos->Format()), pos);
}

TEST(StationSettings, FirstStartTakesDefaultsAndWritesNothing) {
    CTempFolder folder;
    CSettingsStore store(folder / "palaverly.conf");
    CStationSettings station;
    station.m_windowPos = CWindowPos{};
    station.LoadSettings(store, "taro");
    EXPECT_EQ(station.m_handleName, "taro");
    EXPECT_EQ(station.m_status, cp932::Sjis("普通"));
    EXPECT_FALSE(station.m_windowPos);
    EXPECT_EQ(ReadFile(folder / "palaverly.conf"), "");
}

TEST(StationSettings, SaveAndLoadRoundTrip) {
    CTempFolder folder;
    CSettingsStore store(folder / "palaverly.conf");
    CStationSettings saved;
    saved.m_handleName = cp932::Sjis("山田");
    saved.m_status = cp932::Sjis("会議中");
    ASSERT_EQ(saved.SaveSettings(store), 0);
    EXPECT_EQ(ReadFile(folder / "palaverly.conf"), "HandleName=山田\nStatus=会議中\n");

    saved.m_windowPos = CWindowPos::Parse("0,0,-1,-1,-1,-1,10,20,30,40");
    ASSERT_EQ(saved.SaveSettings(store), 0);
    CStationSettings loaded;
    loaded.LoadSettings(store, "unused");
    EXPECT_EQ(loaded.m_handleName, saved.m_handleName);
    EXPECT_EQ(loaded.m_status, saved.m_status);
    EXPECT_EQ(loaded.m_windowPos, saved.m_windowPos);
}

TEST(StationSettings, LimitsAndBadPlacement) {
    CTempFolder folder;
    WriteFile(folder / "palaverly.conf", "HandleName=" + std::string(1023, 'h') +
                                             "\nStatus=" + std::string(128, 's') +
                                             "\nWindowPos=1,2,3,4,5,6,7,8,9\n");
    CSettingsStore store(folder / "palaverly.conf");
    CStationSettings station;
    station.LoadSettings(store, "taro");
    EXPECT_EQ(station.m_handleName, std::string(1023, 'h'));
    EXPECT_EQ(station.m_status, cp932::Sjis("普通"));
    EXPECT_FALSE(station.m_windowPos);
}
