// CLog::WriteReg and ReadReg on the per-user profile file, in a temporary config folder.

#include "sockthread/CLog.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class CLogProfile : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/palaverly-clog-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_root = folder;
        m_config = m_root / "config";
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            m_saved = old;
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
    }
    void TearDown() override {
        if (m_saved)
            setenv("XDG_CONFIG_HOME", m_saved->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(m_root);
    }

    fs::path ProfileFile() const { return m_config / "palaverly.ini"; }
    std::string FileText() const {
        std::ifstream in(ProfileFile(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void WriteFileText(const std::string& text) const {
        fs::create_directories(m_config);
        std::ofstream(ProfileFile(), std::ios::binary) << text;
    }
    // The profile operations take `char *`; the tests hand them writable copies, and a null
    // pointer stays null.
    static std::optional<std::string> Copy(const char* text) {
        return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
    }
    static char* Pointer(std::optional<std::string>& text) { return text ? text->data() : nullptr; }
    static int Write(const char* section, const char* entry, const char* value) {
        auto s = Copy(section);
        auto e = Copy(entry);
        auto v = Copy(value);
        return CLog::WriteReg(Pointer(s), Pointer(e), Pointer(v));
    }
    static int ReadInto(const char* section, const char* entry, char* out) {
        auto s = Copy(section);
        auto e = Copy(entry);
        return CLog::ReadReg(Pointer(s), Pointer(e), out);
    }
    static std::string Read(const char* section, const char* entry, int* result = nullptr) {
        char out[CLog::kMaxValueBytes + 1];
        const int r = ReadInto(section, entry, out);
        if (result != nullptr)
            *result = r;
        return out;
    }

    fs::path m_root;
    fs::path m_config;
    std::optional<std::string> m_saved;
};

TEST_F(CLogProfile, RoundTrips) {
    struct Case {
        const char* section;
        const char* entry;
        std::string value;
    } cases[] = {
        {"Net", "Port", "8000"},
        {"Net", "Host", "server.local"},
        {"\x83\x41\x83\x76\x83\x8a", "\x96\xbc\x91\x4f", "\x82\xa0\x82\xa2 \x3d x"}, // CP932
        {"Spaces", "Padded", "  both ends  "},
        {"Spaces", "Quoted", "\"already quoted\""},
        {"Misc", "Equals", "a=b=c"},
        {"Misc", "Semicolon", ";not a comment"},
        {"Misc", "Longest", std::string(CLog::kMaxValueBytes, 'L')},
    };
    for (const Case& c : cases)
        ASSERT_EQ(Write(c.section, c.entry, c.value.c_str()), 1) << c.entry;
    for (const Case& c : cases) {
        int result = 0;
        EXPECT_EQ(Read(c.section, c.entry, &result), c.value) << c.entry;
        EXPECT_EQ(result, 0) << c.entry;
    }
}

TEST_F(CLogProfile, MissingAndEmptyEntriesReadAsMinusOne) {
    int result = 0;
    EXPECT_EQ(Read("Net", "Port", &result), "") << "no file yet";
    EXPECT_EQ(result, -1);
    ASSERT_EQ(Write("Net", "Empty", ""), 1);
    EXPECT_EQ(Read("Net", "Empty", &result), "");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Read("Net", "Other", &result), "");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Read("Other", "Empty", &result), "");
    EXPECT_EQ(result, -1);
    char out[8] = "zz";
    EXPECT_EQ(ReadInto(nullptr, "Empty", out), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ReadInto("Net", "Empty", nullptr), -1);
}

TEST_F(CLogProfile, OverwritesAndKeepsOtherEntries) {
    ASSERT_EQ(Write("A", "x", "1"), 1);
    ASSERT_EQ(Write("B", "x", "2"), 1);
    ASSERT_EQ(Write("A", "y", "3"), 1);
    ASSERT_EQ(Write("a", "X", "4"), 1) << "names match without regard to case";
    EXPECT_EQ(Read("A", "x"), "4");
    EXPECT_EQ(Read("B", "X"), "2");
    EXPECT_EQ(Read("A", "y"), "3");
    EXPECT_EQ(FileText(), "[A]\nx=4\ny=3\n\n[B]\nx=2\n");
}

TEST_F(CLogProfile, TrailBytesAreNotFoldedAsLetters) {
    // "\x83\x41" and "\x83\x61" are two different katakana whose trail bytes are 'A' and 'a'.
    ASSERT_EQ(Write("S", "\x83\x41", "first"), 1);
    ASSERT_EQ(Write("S", "\x83\x61", "second"), 1);
    EXPECT_EQ(Read("S", "\x83\x41"), "first");
    EXPECT_EQ(Read("S", "\x83\x61"), "second");
}

TEST_F(CLogProfile, NullValueRemovesTheEntryAndNullEntryTheSection) {
    ASSERT_EQ(Write("A", "x", "1"), 1);
    ASSERT_EQ(Write("A", "y", "2"), 1);
    ASSERT_EQ(Write("B", "z", "3"), 1);
    ASSERT_EQ(Write("A", "x", nullptr), 1);
    EXPECT_EQ(Read("A", "x"), "");
    EXPECT_EQ(Read("A", "y"), "2");
    ASSERT_EQ(Write("A", nullptr, nullptr), 1);
    EXPECT_EQ(Read("A", "y"), "");
    EXPECT_EQ(Read("B", "z"), "3");
    EXPECT_EQ(Write("Gone", "never", nullptr), 1) << "nothing to remove is no failure";
}

TEST_F(CLogProfile, RefusesWhatCouldNotBeReadBackAndLeavesTheFile) {
    ASSERT_EQ(Write("A", "x", "1"), 1);
    const std::string before = FileText();
    struct Case {
        const char* section;
        const char* entry;
        std::string value;
    } refused[] = {
        {"A", "x", "two\nlines"},
        {"A", "x", "carriage\rreturn"},
        {"A", "x=y", "v"},
        {"A", "", "v"},
        {"A", ";comment", "v"},
        {"A]", "x", "v"},
        {"", "x", "v"},
        {"A\n[B", "x", "v"},
        {"A", "x", std::string(CLog::kMaxValueBytes + 1, 'v')},
    };
    for (const Case& c : refused)
        EXPECT_EQ(Write(c.section, c.entry, c.value.c_str()), -1) << c.entry;
    EXPECT_EQ(Write(nullptr, "x", "v"), -1);
    EXPECT_EQ(FileText(), before);
}

TEST_F(CLogProfile, FileIsPrivateAndCreatedWithItsFolders) {
    setenv("XDG_CONFIG_HOME", (m_config / "deeper" / "still").c_str(), 1);
    ASSERT_EQ(Write("A", "x", "1"), 1);
    struct stat info {};
    ASSERT_EQ(::stat((m_config / "deeper" / "still" / "palaverly.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(Read("A", "x"), "1");
    // Nothing but the profile is left behind in the folder.
    int files = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(m_config / "deeper" / "still"))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(CLogProfile, ReadsHandWrittenFilesAndKeepsTheirComments) {
    WriteFileText("; kept comment\r\n"
                  "top=outside any section\n"
                  "[ Net ]\n"
                  "  Port = 8001  \n"
                  "Host=\"  spaced  \"\n"
                  "\n"
                  "[Long]\n"
                  "Text=" +
                  std::string(CLog::kMaxValueBytes - 1, 'a') + "\x88\x9f" + "\n");
    EXPECT_EQ(Read("Net", "Port"), "8001");
    EXPECT_EQ(Read("net", "host"), "  spaced  ");
    EXPECT_EQ(Read("", "top"), "");
    const std::string cut = Read("Long", "Text");
    EXPECT_EQ(cut, std::string(CLog::kMaxValueBytes - 1, 'a'))
        << "a value past the limit is cut before the double-byte character it would split";

    ASSERT_EQ(Write("Net", "User", "me"), 1);
    const std::string text = FileText();
    EXPECT_EQ(text.rfind("; kept comment\r\n", 0), 0u);
    EXPECT_NE(text.find("  Port = 8001  \nHost=\"  spaced  \"\nUser=me\n\n[Long]"),
              std::string::npos)
        << text;
}

TEST_F(CLogProfile, UsesTheHomeConfigFolderWithoutXdgConfigHome) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", m_root.c_str(), 1);
    const int written = Write("A", "x", "home");
    const bool exists = fs::exists(m_root / ".config" / "palaverly.ini");
    if (oldHome != nullptr)
        setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(written, 1);
    EXPECT_TRUE(exists);
}

} // namespace
