#include "settings/CLiveSettings.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

using namespace palaverly;
using palaverly::test::CTempFolder;
using palaverly::test::ReadFile;
using palaverly::test::WriteFile;

TEST(LiveSettings, ReloadTakesTheFileAndSaveMakesValuesLiveEvenWhenTheWriteFails) {
    CTempFolder dir;
    const auto file = dir / "palaverly.conf";
    WriteFile(file, "Flg LocalEcho=1\nStatus=away\n");
    CLiveSettings live(file);
    live.LoadSettings("logon");
    EXPECT_EQ(live.Options().m_flgLocalEcho, 1);
    EXPECT_EQ(live.Station().m_status, "away");
    EXPECT_EQ(live.Station().m_handleName, "logon") << "a missing handle is the logon name";

    // Another writer changed the file: the live values stay until a dialog reloads them.
    WriteFile(file, "Flg LocalEcho=0\nStatus=away\n");
    EXPECT_EQ(live.Options().m_flgLocalEcho, 1);
    EXPECT_EQ(live.ReloadOptions().m_flgLocalEcho, 0);

    COptionValues options = live.Options();
    options.m_flgClearAfterInput = 1;
    ASSERT_EQ(live.SaveOptions(options), 0);
    EXPECT_EQ(live.Options().m_flgClearAfterInput, 1);
    EXPECT_NE(ReadFile(file).find("Flg ClearAfterInput=1"), std::string::npos);

    // A file that cannot be written: the save says so, and the values are live all the same.
    WriteFile(dir / "not-a-folder", "");
    CLiveSettings blocked(dir / "not-a-folder" / "palaverly.conf");
    CInfoValues info;
    info.m_bulletinMessage = "news";
    EXPECT_EQ(blocked.SaveInfo(info), -1);
    EXPECT_EQ(blocked.Info().m_bulletinMessage, "news");
    CPhraseValues phrases;
    phrases.m_phrases[0] = "hello";
    EXPECT_EQ(blocked.SavePhrases(phrases), -1);
    EXPECT_EQ(blocked.Phrases().m_phrases[0], "hello");
}
