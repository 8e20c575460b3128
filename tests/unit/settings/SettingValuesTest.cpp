#include "SettingsTestSupport.h"
#include "settings/CInfoValues.h"
#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "settings/CPhraseValues.h"
#include "settings/CSettingsStore.h"
#include "settings/CStationSettings.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace palaverly;
using palaverly::test::CScopedEnv;
using palaverly::test::CTempFolder;
using palaverly::test::NamesIn;
using palaverly::test::ReadFile;
using palaverly::test::WriteFile;

namespace {

class SettingValuesTest : public ::testing::Test {
protected:
    std::filesystem::path File() const { return m_folder / "palaverly.conf"; }

    CTempFolder m_folder;
    CSettingsStore m_store{File()};
};

} // namespace

TEST_F(SettingValuesTest, FirstStartWritesExactlyTheFiveTemplates) {
    COptionValues options;
    CInfoValues info;
    CPhraseValues phrases;
    CStationSettings station;
    CNoticeTemplates templates;
    options.LoadSettings(m_store);
    info.LoadSettings(m_store);
    phrases.LoadSettings(m_store);
    station.LoadSettings(m_store, "taro");
    templates.LoadSettings(m_store);

    EXPECT_EQ(NamesIn(ReadFile(File())),
              (std::set<std::string>{"文言01", "文言02", "文言03", "文言04", "文言05"}));
    EXPECT_EQ(ReadFile(File()), "文言01=BEEP攻撃を受けています！！\n"
                                "文言02=BEEP攻撃をしました！！\n"
                                "文言03=ログイン状態を検知  \"%s\" さんと接続しました\n"
                                "文言04=ログアウト状態を検知 \"%s\" さんと切断しました\n"
                                "文言05=■%s放送：\n");
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(templates.m_texts[n - 1], CNoticeTemplates::DefaultText(n));
    EXPECT_EQ(CNoticeTemplates::DefaultText(3).size(), 43u);
    EXPECT_EQ(CNoticeTemplates::DefaultText(4).size(), 44u);

    // A second start reads them back and writes nothing (a rewrite would be a new file).
    struct stat before {};
    ASSERT_EQ(::stat(File().c_str(), &before), 0);
    CNoticeTemplates again;
    again.LoadSettings(m_store);
    struct stat after {};
    ASSERT_EQ(::stat(File().c_str(), &after), 0);
    EXPECT_EQ(again.m_texts, templates.m_texts);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
}

TEST_F(SettingValuesTest, TemplatesKeepStoredTextsAndWriteBackOnlyTheMissingOnes) {
    WriteFile(File(), "文言03=%sが来た\n文言05=[%s]\n");
    CNoticeTemplates templates;
    templates.LoadSettings(m_store);
    EXPECT_EQ(templates.m_texts[2], cp932::Sjis("%sが来た"));
    EXPECT_EQ(templates.m_texts[4], "[%s]");
    EXPECT_EQ(templates.m_texts[0], CNoticeTemplates::DefaultText(1));
    EXPECT_EQ(ReadFile(File()), "文言03=%sが来た\n文言05=[%s]\n"
                                "文言01=BEEP攻撃を受けています！！\n"
                                "文言02=BEEP攻撃をしました！！\n"
                                "文言04=ログアウト状態を検知 \"%s\" さんと切断しました\n");
}

TEST_F(SettingValuesTest, OptionsDefaultOnEmptyStore) {
    CScopedEnv data("XDG_DATA_HOME", "/srv/data");
    COptionValues options;
    options.m_flgChatServer = 1;
    options.m_scrollTimming = 7;
    options.m_soundFilePath = "/snd/beep.wav";
    options.LoadSettings(m_store);
    EXPECT_EQ(options.m_flgChatServer, 0);
    EXPECT_EQ(options.m_scrollTimming, 25);
    EXPECT_EQ(options.m_msgDownloadTimming, 18);
    EXPECT_EQ(options.m_autoCloseTimming, 3);
    EXPECT_EQ(options.m_recvTimming, 30);
    EXPECT_EQ(options.m_colorMyMessage, 16711680);
    EXPECT_EQ(options.m_logSavePath, "/srv/data/palaverly");
    EXPECT_EQ(options.m_soundFilePath, "/snd/beep.wav"); // missing: kept
    EXPECT_EQ(ReadFile(File()), "");                     // nothing written back
}

TEST_F(SettingValuesTest, OptionsAreKeptAsStored) {
    WriteFile(File(), "Flg ChatServer=abc\n"
                      "Flg LogOutput=1\n"
                      "Flg UseBeepSound=7\n"
                      "Scroll Timming=80\n"
                      "Recv Timming=-4\n"
                      "MsgDownload Timming=12 minutes\n"
                      "Color MyMessage=255\n"
                      "LogSavePath=\n"
                      "SoundFilePath=/snd/ピン.wav\n");
    COptionValues options;
    options.m_flgChatServer = 1;
    options.LoadSettings(m_store);
    EXPECT_EQ(options.m_flgChatServer, 0);
    EXPECT_EQ(options.m_flgLogOutput, 1);
    EXPECT_EQ(options.m_flgUseBeepSound, 7);
    EXPECT_EQ(options.m_scrollTimming, 80);
    EXPECT_EQ(options.m_recvTimming, -4);
    EXPECT_EQ(options.m_msgDownloadTimming, 12);
    EXPECT_EQ(options.m_colorMyMessage, 255);
    EXPECT_EQ(options.m_logSavePath, "");
    EXPECT_EQ(options.m_soundFilePath, cp932::Sjis("/snd/ピン.wav"));
}

TEST_F(SettingValuesTest, TooLongLogSavePathFallsBackToDefault) {
    CScopedEnv data("XDG_DATA_HOME", "/srv/data");
    WriteFile(File(), "LogSavePath=/" + std::string(127, 'd') + "\n");
    COptionValues options;
    options.LoadSettings(m_store);
    EXPECT_EQ(options.m_logSavePath, "/srv/data/palaverly");
}

TEST_F(SettingValuesTest, DesktopNotifyDefaultsOnAndSurvivesAnOptionsSave) {
    COptionValues options;
    options.m_flgDesktopNotify = 7;
    options.LoadSettings(m_store);
    EXPECT_EQ(options.m_flgDesktopNotify, 1) << "missing: on";

    WriteFile(File(), "Flg DesktopNotify=0\n");
    options.LoadSettings(m_store);
    EXPECT_EQ(options.m_flgDesktopNotify, 0);
    // The dialog has no check box for it: its save leaves the hand-set value alone.
    options.m_flgDesktopNotify = 1;
    ASSERT_EQ(options.SaveSettings(m_store), 0);
    EXPECT_NE(ReadFile(File()).find("Flg DesktopNotify=0\n"), std::string::npos);
    COptionValues again;
    again.LoadSettings(m_store);
    EXPECT_EQ(again.m_flgDesktopNotify, 0);
}

TEST_F(SettingValuesTest, DefaultLogSavePathWithoutXdgDataHome) {
    CScopedEnv home("HOME", "/home/taro");
    CScopedEnv data("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(COptionValues::DefaultLogSavePath(), "/home/taro/.local/share/palaverly");
}

TEST_F(SettingValuesTest, OptionsSaveEveryValueAsDecimalText) {
    COptionValues options;
    options.m_logSavePath = "/logs";
    ASSERT_EQ(options.SaveSettings(m_store), 0);
    EXPECT_EQ(ReadFile(File()), "Flg Popup(AllMsg)=0\n"
                                "Flg Popup(ToYouMsg)=0\n"
                                "Flg LocalEcho=0\n"
                                "Flg ClearAfterInput=0\n"
                                "Flg Transmission with Enter=0\n"
                                "Flg LogOutput=0\n"
                                "Flg LogAutoLoad=0\n"
                                "Flg LoginLogoutCheck=0\n"
                                "Flg LogClickToUserMarkON=0\n"
                                "Flg ChatServer=0\n"
                                "Flg ChatServerMsgRecv=0\n"
                                "Flg UseBeepSound=0\n"
                                "Flg CloseToUnload=0\n"
                                "Flg ChatWindowCloseAndHide=0\n"
                                "Flg ChatWindowReady=0\n"
                                "AutoClose Timming=3\n"
                                "Recv Timming=30\n"
                                "Scroll Timming=25\n"
                                "MsgDownload Timming=18\n"
                                "Color MyMessage=16711680\n"
                                "LogSavePath=/logs\n"
                                "SoundFilePath=\n");
}

TEST_F(SettingValuesTest, OptionsRoundTripEveryMember) {
    int COptionValues::*const numbers[] = {&COptionValues::m_flgPopupAllMsg,
                                           &COptionValues::m_flgPopupToYouMsg,
                                           &COptionValues::m_flgLocalEcho,
                                           &COptionValues::m_flgClearAfterInput,
                                           &COptionValues::m_flgTransmissionWithEnter,
                                           &COptionValues::m_flgLogOutput,
                                           &COptionValues::m_flgLogAutoLoad,
                                           &COptionValues::m_flgLoginLogoutCheck,
                                           &COptionValues::m_flgLogClickToUserMarkOn,
                                           &COptionValues::m_flgChatServer,
                                           &COptionValues::m_flgChatServerMsgRecv,
                                           &COptionValues::m_flgUseBeepSound,
                                           &COptionValues::m_flgCloseToUnload,
                                           &COptionValues::m_flgChatWindowCloseAndHide,
                                           &COptionValues::m_flgChatWindowReady,
                                           &COptionValues::m_scrollTimming,
                                           &COptionValues::m_msgDownloadTimming,
                                           &COptionValues::m_autoCloseTimming,
                                           &COptionValues::m_recvTimming,
                                           &COptionValues::m_colorMyMessage};
    COptionValues saved;
    int next = 100;
    for (auto member : numbers)
        saved.*member = next++; // every member distinct, so a swapped name shows
    saved.m_logSavePath = cp932::Sjis("C:\\ログ");
    saved.m_soundFilePath = "/snd/a.wav";
    ASSERT_EQ(saved.SaveSettings(m_store), 0);

    COptionValues loaded;
    loaded.LoadSettings(m_store);
    for (std::size_t i = 0; i < std::size(numbers); ++i)
        EXPECT_EQ(loaded.*numbers[i], saved.*numbers[i]) << "member " << i;
    EXPECT_EQ(loaded.m_logSavePath, saved.m_logSavePath);
    EXPECT_EQ(loaded.m_soundFilePath, saved.m_soundFilePath);
}

TEST_F(SettingValuesTest, InfoDefaultsAndLimits) {
    const std::string local = CInfoValues::DefaultLocalMessage();
    EXPECT_EQ(local.size(), 165u);
    const std::string utf8 = cp932::ToUtf8(local);
    EXPECT_TRUE(utf8.starts_with("ここのエリアにいれたメッセージは、"));
    EXPECT_TRUE(utf8.ends_with("遊んでください。   ＜管理者より＞"));
    std::size_t characters = 0;
    for (char c : utf8)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_EQ(characters, 84u);

    CInfoValues info;
    info.m_bulletinMessage = cp932::Sjis("お知らせ");
    info.LoadSettings(m_store);
    EXPECT_EQ(info.m_localMessage, local);
    EXPECT_EQ(info.m_bulletinMessage, cp932::Sjis("お知らせ")); // missing: kept

    // Saved unchanged, the 165-byte default never reads back; it comes from the program.
    info.m_bulletinMessage = "";
    ASSERT_EQ(info.SaveSettings(m_store), 0);
    EXPECT_EQ(NamesIn(ReadFile(File())), (std::set<std::string>{"Info Msg01", "Info Msg99"}));
    CInfoValues again;
    again.m_localMessage = "stale";
    again.m_bulletinMessage = "stale";
    again.LoadSettings(m_store);
    EXPECT_EQ(again.m_localMessage, local);
    EXPECT_EQ(again.m_bulletinMessage, "");

    info.m_localMessage = std::string(127, 'L');
    info.m_bulletinMessage = std::string(128, 'B');
    ASSERT_EQ(info.SaveSettings(m_store), 0);
    again.LoadSettings(m_store);
    EXPECT_EQ(again.m_localMessage, std::string(127, 'L'));
    EXPECT_EQ(again.m_bulletinMessage, ""); // too long: counts as missing, keeps ""
}

TEST_F(SettingValuesTest, PhrasesDefaultsEmptiedPhraseAndMissingOnes) {
    CPhraseValues phrases;
    phrases.m_phrases[4] = "kept";
    phrases.LoadSettings(m_store);
    EXPECT_EQ(phrases.m_phrases[0], cp932::Sjis("おはようございます！！"));
    EXPECT_EQ(phrases.m_phrases[1], cp932::Sjis("お疲れ様です"));
    EXPECT_EQ(phrases.m_phrases[2], "");
    EXPECT_EQ(phrases.m_phrases[4], "kept");

    phrases.m_phrases[0] = "";
    phrases.m_phrases[9] = cp932::Sjis("十番目");
    ASSERT_EQ(phrases.SaveSettings(m_store), 0);
    std::set<std::string> names;
    for (int n = 1; n <= 10; ++n)
        names.insert(CPhraseValues::ValueName(n));
    EXPECT_EQ(NamesIn(ReadFile(File())), names);
    EXPECT_TRUE(names.count("定型Msg01") && names.count("定型Msg10"));

    CPhraseValues loaded;
    loaded.LoadSettings(m_store);
    EXPECT_EQ(loaded.m_phrases, phrases.m_phrases); // emptied phrase 1 stays empty
}

TEST(FillTemplate, ReplacesOnlyTheFirstPercentS) {
    const std::string kan = cp932::Sjis("漢");
    struct Case {
        std::string templ;
        std::string value;
        std::string expected;
    } cases[] = {
        {"no marker", "taro", "no marker"},
        {"", "taro", ""},
        {"%s", "taro", "taro"},
        {"%s joined", "taro", "taro joined"},
        {"bye %s", "taro", "bye taro"},
        {"%s and %s", "taro", "taro and %s"},
        {"100%", "taro", "100%"},
        {"%%s", "taro", "%taro"},
        {"%S %d", "taro", "%S %d"},
        {"a%s", "", "a"},
        {cp932::Sjis("■%s放送："), kan, cp932::Sjis("■漢放送：")},
        {kan + "%s", "x", kan + "x"},
        // A lead byte followed by '%' is one character: its '%' starts no marker.
        {"\x81%s", "x", "\x81%s"},
        {"\x81%s%s", "x", "\x81%sx"},
        // A double-byte character whose trail byte is 's' (0x73) right after '%'.
        {"%\x83\x73", "x", "%\x83\x73"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillTemplate(c.templ, c.value), c.expected) << cp932::ToUtf8(c.templ);
}
