#include "settings/CSettingsStore.h"

#include "SettingsTestSupport.h"
#include "text/Cp932.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace palaverly;
using palaverly::test::CScopedEnv;
using palaverly::test::CTempFolder;
using palaverly::test::ReadFile;
using palaverly::test::WriteFile;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    std::filesystem::path File() const { return m_folder / "Quillmark/palaverly.conf"; }
    unsigned Mode() const {
        struct stat st {};
        EXPECT_EQ(::stat(File().c_str(), &st), 0);
        return st.st_mode & 0777;
    }
    std::size_t FolderEntries() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e :
             std::filesystem::directory_iterator(File().parent_path()))
            ++n;
        return n;
    }

    CTempFolder m_folder;
    CSettingsStore m_store{File()};
};

} // namespace

TEST_F(SettingsStoreTest, FirstReadCreatesFolderAndPrivateEmptyFile) {
    std::string value = "untouched";
    EXPECT_EQ(m_store.ReadSetting("Status", value, 128), -1);
    EXPECT_EQ(value, "untouched");
    ASSERT_TRUE(std::filesystem::is_regular_file(File()));
    EXPECT_EQ(ReadFile(File()), "");
    EXPECT_EQ(Mode(), 0600u);
}

TEST_F(SettingsStoreTest, ReadLimitCountsCp932BytesPlusNul) {
    const std::string kan = cp932::Sjis("漢");
    std::string kanji63;
    for (int i = 0; i < 63; ++i)
        kanji63 += kan;
    struct Case {
        std::string value;
        std::size_t limit;
        bool found;
    } cases[] = {
        {std::string(127, 'a'), 128, true},
        {std::string(128, 'a'), 128, false},
        {kanji63 + "a", 128, true},   // 127 bytes, 64 characters
        {kanji63 + "ab", 128, false}, // 128 bytes
        {kanji63 + kan, 128, false},  // 128 bytes
        {std::string(1023, 'h'), 1024, true},
        {std::string(1024, 'h'), 1024, false},
        {"", 1, true},
        {"a", 1, false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(m_store.WriteSetting("Value", c.value), 0);
        std::string read;
        EXPECT_EQ(m_store.ReadSetting("Value", read, c.limit), c.found ? 0 : -1)
            << c.value.size() << " bytes, limit " << c.limit;
        if (c.found) {
            EXPECT_EQ(read, c.value);
        }
    }
}

TEST_F(SettingsStoreTest, EmptyValueIsNotMissing) {
    ASSERT_EQ(m_store.WriteSetting("LogSavePath", ""), 0);
    std::string value = "x";
    EXPECT_EQ(m_store.ReadSetting("LogSavePath", value, 128), 0);
    EXPECT_EQ(value, "");
    EXPECT_EQ(ReadFile(File()), "LogSavePath=\n");
}

TEST_F(SettingsStoreTest, ValueWithoutCp932FormCountsAsMissing) {
    WriteFile(File(), "Emoji=\xF0\x9F\x98\x80\nBroken=\xFF\xFE\nFine=ok\n");
    EXPECT_EQ(m_store.ReadText("Emoji", 128), std::nullopt);
    EXPECT_EQ(m_store.ReadText("Broken", 128), std::nullopt);
    EXPECT_EQ(m_store.ReadText("Fine", 128), "ok");
}

TEST_F(SettingsStoreTest, EscapesRoundTrip) {
    const std::string value = "C:\\dir\\\nline2\r\nend\\n\\";
    ASSERT_EQ(m_store.WriteSetting("Tricky", value), 0);
    EXPECT_EQ(ReadFile(File()), "Tricky=C:\\\\dir\\\\\\nline2\\r\\nend\\\\n\\\\\n");
    EXPECT_EQ(m_store.ReadText("Tricky", 128), value);
}

TEST_F(SettingsStoreTest, JapaneseNamesAndValuesAreUtf8OnDisk) {
    const std::string value = cp932::Sjis("■%s放送：ｶﾀｶﾅ");
    ASSERT_EQ(m_store.WriteSetting("文言05", value), 0);
    std::string text = ReadFile(File());
    EXPECT_EQ(text, "文言05=■%s放送：ｶﾀｶﾅ\n");
    EXPECT_TRUE(cp932::FromUtf8(text).has_value()); // valid UTF-8 throughout
    EXPECT_EQ(m_store.ReadText("文言05", 128), value);
}

TEST_F(SettingsStoreTest, ValueIsStoredUpToItsFirstNul) {
    ASSERT_EQ(m_store.WriteSetting("Status", std::string("abc\0def", 7)), 0);
    EXPECT_EQ(m_store.ReadText("Status", 128), "abc");
}

TEST_F(SettingsStoreTest, RewriteKeepsOtherLinesInPlaceAndAppendsNewNames) {
    WriteFile(File(), "# my settings\n"
                      "Unknown Value=keep me\n"
                      "\n"
                      "no equals sign here\n"
                      "Status=old\n"
                      "  # indented, not a comment=yes\n");
    ASSERT_EQ(m_store.WriteSetting("Status", "new"), 0);
    ASSERT_EQ(m_store.WriteSetting("HandleName", "taro"), 0);
    EXPECT_EQ(ReadFile(File()), "# my settings\n"
                                "Unknown Value=keep me\n"
                                "\n"
                                "no equals sign here\n"
                                "Status=new\n"
                                "  # indented, not a comment=yes\n"
                                "HandleName=taro\n");
    EXPECT_EQ(m_store.ReadText("  # indented, not a comment", 128), "yes");
    EXPECT_EQ(m_store.ReadText("# my settings", 128), std::nullopt);
}

TEST_F(SettingsStoreTest, LastOfRepeatedNamesCountsAndIsTheOneRewritten) {
    WriteFile(File(), "Status=first\nOther=1\nStatus=second\n");
    EXPECT_EQ(m_store.ReadText("Status", 128), "second");
    ASSERT_EQ(m_store.WriteSetting("Status", "third"), 0);
    EXPECT_EQ(ReadFile(File()), "Status=first\nOther=1\nStatus=third\n");
    EXPECT_EQ(m_store.ReadText("Status", 128), "third");
}

TEST_F(SettingsStoreTest, ToleratesWindowsLineEndsByteOrderMarkAndMissingFinalNewline) {
    WriteFile(File(), "\xEF\xBB\xBF"
                      "First=1\r\nSecond=two\r\nLast=x");
    EXPECT_EQ(m_store.ReadText("First", 128), "1");
    EXPECT_EQ(m_store.ReadText("Second", 128), "two");
    EXPECT_EQ(m_store.ReadText("Last", 128), "x");
    ASSERT_EQ(m_store.WriteSetting("First", "9"), 0);
    EXPECT_EQ(ReadFile(File()), "\xEF\xBB\xBF"
                                "First=9\nSecond=two\r\nLast=x\n");
}

TEST_F(SettingsStoreTest, BatchWritesEveryValueInOneFile) {
    ASSERT_EQ(m_store.WriteSettings({{"A", "1"}, {"B", "2"}, {"A", "3"}}), 0);
    EXPECT_EQ(ReadFile(File()), "A=3\nB=2\n");
}

TEST_F(SettingsStoreTest, RefusesNamesTheFileCannotHold) {
    for (const char* name : {"", "a=b", "#comment", "line\nbreak", "cr\rname"}) {
        EXPECT_EQ(m_store.WriteSetting(name, "v"), -1) << name;
        EXPECT_FALSE(m_store.LastError().empty());
    }
    // Nothing of a refused batch is written either.
    EXPECT_EQ(m_store.WriteSettings({{"Good", "1"}, {"Bad=", "2"}}), -1);
    EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(SettingsStoreTest, WriteLeavesPrivateModeEvenOverAWiderFile) {
    WriteFile(File(), "Status=old\n");
    ::chmod(File().c_str(), 0644);
    ASSERT_EQ(m_store.WriteSetting("Status", "new"), 0);
    EXPECT_EQ(Mode(), 0600u);
}

TEST_F(SettingsStoreTest, FailedWriteOnFullDiskLeavesOldFileWholeAndNoTemporary) {
    const std::string old = "# keep\nStatus=old\nHandleName=taro\n";
    WriteFile(File(), old);
    std::size_t entries = FolderEntries();

    // A file size limit makes the write fail the way a full disk does, even for root.
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = m_store.WriteSetting("Status", std::string(100, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, -1);
    EXPECT_NE(m_store.LastError().find("cannot write"), std::string::npos) << m_store.LastError();
    EXPECT_EQ(ReadFile(File()), old);
    EXPECT_EQ(FolderEntries(), entries);
    EXPECT_EQ(m_store.ReadText("Status", 128), "old");
}

TEST_F(SettingsStoreTest, UnreadableFileIsNeverReplaced) {
    // A folder in the file's place cannot be read; a write must not clobber it.
    std::filesystem::create_directories(File() / "inside");
    EXPECT_EQ(m_store.ReadText("Status", 128), std::nullopt);
    EXPECT_EQ(m_store.WriteSetting("Status", "new"), -1);
    EXPECT_NE(m_store.LastError().find("cannot read"), std::string::npos) << m_store.LastError();
    EXPECT_TRUE(std::filesystem::is_directory(File() / "inside"));
    EXPECT_EQ(FolderEntries(), 1u);
}

TEST_F(SettingsStoreTest, WritesThroughASymbolicLink) {
    std::filesystem::path real = m_folder / "dotfiles/palaverly.conf";
    WriteFile(real, "Status=old\n");
    std::filesystem::create_directories(File().parent_path());
    std::filesystem::create_symlink(real, File());
    ASSERT_EQ(m_store.WriteSetting("Status", "new"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(File()));
    EXPECT_EQ(ReadFile(real), "Status=new\n");
    EXPECT_EQ(m_store.ReadText("Status", 128), "new");
}

TEST(SettingsStorePath, FollowsXdgConfigHome) {
    CScopedEnv home("HOME", "/home/taro");
    {
        CScopedEnv xdg("XDG_CONFIG_HOME", "/srv/conf");
        EXPECT_EQ(CSettingsStore::DefaultPath(), "/srv/conf/Quillmark/palaverly.conf");
    }
    for (const char* unset : {static_cast<const char*>(nullptr), "", "relative/conf"}) {
        CScopedEnv xdg("XDG_CONFIG_HOME", unset);
        EXPECT_EQ(CSettingsStore::DefaultPath(), "/home/taro/.config/Quillmark/palaverly.conf")
            << (unset ? unset : "(unset)");
    }
}

TEST(SettingsStoreNumber, ParsesLikeAtol) {
    struct Case {
        const char* text;
        int number;
    } cases[] = {
        {"0", 0},
        {"1", 1},
        {"25", 25},
        {"-7", -7},
        {"+8", 8},
        {"  42", 42},
        {"12ab", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"16711680", 16711680},
        {"2147483647", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"1 2", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CSettingsStore::ParseNumber(c.text), c.number) << '"' << c.text << '"';
}
