#include "station/CDailyLogFile.h"

#include "ChatLogFixture.h"
#include "RosterTestSupport.h"
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/CLogSearch.h"
#include "table/CMarkList.h"
#include "text/Cp932.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace palaverly;
namespace fs = std::filesystem;

namespace {

class DailyLogFile : public test::CChatLogFixture {
protected:
    // Writes `lines` lines "n\tr\ts\tk\tline<n>" CR LF by hand.
    void WriteNumberedLines(int lines) {
        std::string bytes;
        for (int i = 1; i <= lines; ++i)
            bytes += " 8:00'00\tr\ts\tk\tline" + std::to_string(i) + "\r\n";
        test::WriteWholeFile(LogPath(), bytes);
    }
};

} // namespace

TEST(DailyLogFileName, YearMinus1900AndZeroFilledDate) {
    struct Case {
        LocalTime day;
        const char* name;
    } cases[] = {{{2026, 12, 8}, "CHAT1261208.LOG"},
                 {{2001, 5, 9}, "CHAT1010509.LOG"},
                 {{1999, 12, 31}, "CHAT991231.LOG"},
                 {{1905, 1, 2}, "CHAT 50102.LOG"}};
    COptionValues options;
    for (const Case& c : cases)
        EXPECT_EQ(CDailyLogFile(options, c.day, {}).FileName(), c.name);
}

TEST(DailyLogFilePath, SeparatorAndUnusableFolders) {
    COptionValues options;
    CDailyLogFile file(options, {2026, 12, 8}, {});
    struct Case {
        std::string folder;
        std::optional<std::string> path;
    } cases[] = {
        {"/var/log/chat", "/var/log/chat/CHAT1261208.LOG"},
        {"/var/log/chat/", "/var/log/chat/CHAT1261208.LOG"},
        {"/", "/CHAT1261208.LOG"},
        {cp932::Sjis("/home/太郎"), "/home/太郎/CHAT1261208.LOG"}, // the disk speaks UTF-8
        {"", std::nullopt},
        {"logs", std::nullopt},
        {"C:\\", std::nullopt},
        {"/" + std::string(5000, 'd'), std::nullopt},
    };
    for (const Case& c : cases) {
        options.m_logSavePath = c.folder;
        EXPECT_EQ(file.LogFilePath(), c.path) << c.folder;
    }
    options.m_logSavePath.clear();
    EXPECT_EQ(file.AppendRow("r", "s", "k", "c"), -1);
}

TEST(DailyLogFileFormat, LineBytesAreExact) {
    const LocalTime t{2026, 12, 8, 9, 5, 7};
    EXPECT_EQ(CDailyLogFile::FormatLine(t, " ", " ", "kind", "hello"),
              " 9:05'07\t \t \tkind\thello\r\n");
    EXPECT_EQ(CDailyLogFile::FormatLine({2026, 12, 8, 23, 59, 0}, "", "", "", ""),
              "23:59'00\t\t\t\t\r\n");
    // A tab or line end inside a text would split the line when it is read back.
    EXPECT_EQ(CDailyLogFile::FormatLine(t, "a\tb", "s", "k", "x\r\ny\nz"),
              " 9:05'07\ta b\ts\tk\tx  y z\r\n");
    EXPECT_EQ(CDailyLogFile::FormatLine(t, "r", "s", "k", std::string("ab\0cd", 5)),
              " 9:05'07\tr\ts\tk\tab\r\n");

    // A long line is cut so that it and its line end fit what one read takes back, on a
    // character boundary, and it still ends.
    const std::string kan = cp932::Sjis("漢");
    std::string content;
    for (int i = 0; i < 600; ++i)
        content += kan;
    const std::string line = CDailyLogFile::FormatLine(t, "r", "s", "k", content);
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    const std::string body = line.substr(0, line.size() - 2);
    EXPECT_LE(body.size(), CDailyLogFile::kReadChunk);
    EXPECT_LE(body.size() + 1, CDailyLogFile::kReadChunk); // with its LF after the text mode
    EXPECT_GE(body.size(), CDailyLogFile::kReadChunk - 1);
    EXPECT_EQ(cp932::CutToBytes(body, body.size()), body);
}

TEST(GetTabFieldTest, FieldsAndMissingTabs) {
    struct Case {
        const char* line;
        int n;
        const char* field;
    } cases[] = {
        {"a\tb\tc\td\te", 0, "a"},
        {"a\tb\tc\td\te", 1, "b"},
        {"a\tb\tc\td\te", 4, "e"},
        {"a\tb\tc\td\te\tf", 4, "e"},
        {"a\tb", -1, "a"},
        {"a\tb", 2, ""},
        {"a", 1, ""},
        {"", 0, ""},
        {"a\t\tc", 1, ""},
        {"a\tb\t", 2, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetTabField(c.line, c.n), c.field) << c.line << " #" << c.n;
}

TEST_F(DailyLogFile, AppendWritesOneLinePerRowWithPrivateMode) {
    EXPECT_EQ(m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, "kind", "hello"), 0);
    m_clock.now.hour = 13;
    m_clock.now.second = 59;
    EXPECT_EQ(m_log.AddLogRow("Hanako", "Taro", "ignored", "k2", "second"), 0);
    // The row's own time column is not stored: the line carries the time of writing.
    EXPECT_EQ(FileBytes(), " 9:05'07\t \t \tkind\thello\r\n"
                           "13:05'59\tHanako\tTaro\tk2\tsecond\r\n");
    struct stat st {};
    ASSERT_EQ(stat(LogPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(DailyLogFile, AppendToAMissingFolderFailsAndKeepsTheRow) {
    m_options.m_logSavePath = (m_dir.Path() / "missing").string();
    EXPECT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "lost?"), -1);
    EXPECT_EQ(m_list.RowCount(), 1);
    EXPECT_EQ(m_list.Text(0, 4), "lost?");
    EXPECT_FALSE(fs::exists(m_dir.Path() / "missing"));

    m_options.m_flgLogOutput = 0; // logging off: nothing is tried
    EXPECT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "quiet"), 0);
}

TEST_F(DailyLogFile, EveryAppendedRowIsAFileLine) {
    for (int i = 1; i <= 301; ++i)
        ASSERT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "row" + std::to_string(i)), 0);
    const std::string bytes = FileBytes();
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 301);
    EXPECT_EQ(m_log.OnReloadLog(), 0);
    ASSERT_EQ(m_list.RowCount(), 300);
    EXPECT_EQ(m_list.Text(0, 4), "row2");
    EXPECT_EQ(m_list.Text(299, 4), "row301");
}

TEST_F(DailyLogFile, ReloadKeepsTheLast300Lines) {
    for (int lines : {300, 301, 350}) {
        WriteNumberedLines(lines);
        EXPECT_EQ(m_log.OnReloadLog(), 0);
        const int kept = std::min(lines, 300);
        ASSERT_EQ(m_list.RowCount(), kept) << lines;
        EXPECT_EQ(m_list.Text(0, 4), "line" + std::to_string(lines - kept + 1));
        EXPECT_EQ(m_list.Text(kept - 1, 4), "line" + std::to_string(lines));
    }
}

TEST_F(DailyLogFile, ReloadTwiceGivesTheSameRowsAndLeavesTheFile) {
    const std::string jp = cp932::Sjis("こんにちは、世界ｱ表");
    m_log.AddLogRow("Hanako", "Taro", std::nullopt, cp932::Sjis("個人"), jp);
    m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, cp932::Sjis("ｼｽﾃﾑ"), "notice");
    const std::string before = FileBytes();
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(m_log.OnReloadLog(), 0);
        ASSERT_EQ(m_list.RowCount(), 2);
        EXPECT_EQ(m_list.Text(0, 0), "Hanako");
        EXPECT_EQ(m_list.Text(0, 1), "Taro");
        EXPECT_EQ(m_list.Text(0, 2), " 9:05"); // the seconds are dropped
        EXPECT_EQ(m_list.Text(0, 3), cp932::Sjis("個人"));
        EXPECT_EQ(m_list.Text(0, 4), jp);
        EXPECT_EQ(m_list.Text(1, 0), " ");
        EXPECT_EQ(m_list.Text(1, 1), " ");
        EXPECT_EQ(FileBytes(), before);
    }
    // Rows added after the reload are written again.
    m_log.AddLogRow("a", "b", std::nullopt, "k", "after");
    EXPECT_EQ(FileBytes().size(),
              before.size() + std::string(" 9:05'07\ta\tb\tk\tafter\r\n").size());
}

TEST_F(DailyLogFile, LongLinesAreReadInPieces) {
    const std::string long1500(1500, 'L');
    const std::string exact(1022, 'E');
    const std::string fits(1021, 'F');
    test::WriteWholeFile(LogPath(), long1500 + "\r\n" + exact + "\r\n" + fits + "\r\nnext\r\n");
    EXPECT_EQ(m_log.OnReloadLog(), 0);
    ASSERT_EQ(m_list.RowCount(), 6);
    // Without tabs the whole piece is the time field.
    EXPECT_EQ(m_list.Text(0, 2), std::string(1022, 'L'));
    EXPECT_EQ(m_list.Text(1, 2), std::string(478, 'L'));
    // A piece that fills a whole read leaves its line end to the next read: an empty row, as
    // a Windows station shows the same file.
    EXPECT_EQ(m_list.Text(2, 2), exact);
    EXPECT_EQ(m_list.Text(3, 2), "");
    EXPECT_EQ(m_list.Text(3, 4), "");
    // 1021 bytes and the line end fit one read.
    EXPECT_EQ(m_list.Text(4, 2), fits);
    EXPECT_EQ(m_list.Text(5, 2), "next");
}

TEST_F(DailyLogFile, TheLongestRowWrittenReloadsAsOneRow) {
    const std::string content(2000, 'c');
    ASSERT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", content), 0);
    EXPECT_EQ(m_log.OnReloadLog(), 0);
    ASSERT_EQ(m_list.RowCount(), 1);
    EXPECT_EQ(m_list.Text(0, 4), content.substr(0, CDailyLogFile::kReadChunk - 1 - 15));
}

TEST_F(DailyLogFile, TheFileGivesEveryLineAndTheLogKeepsTheLast300) {
    WriteNumberedLines(350);
    // The file knows nothing of the view: all its lines, in file order.
    auto lines = m_file.ReadLines();
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 350u);
    EXPECT_EQ(lines->front().time, " 8:00");
    EXPECT_EQ(lines->front().receiver, "r");
    EXPECT_EQ(lines->front().sender, "s");
    EXPECT_EQ(lines->front().kind, "k");
    EXPECT_EQ(lines->back().content, "line350");
    // A reload without the clear keeps the rows already shown below the limit too.
    m_log.OnClearLog();
    m_log.AddLogRow("r", "s", std::nullopt, "k", "shown before");
    m_options.m_flgLogOutput = 0;
    test::WriteWholeFile(LogPath(), " 8:00'00\tr\ts\tk\tfrom file\r\n");
    EXPECT_EQ(m_log.ReloadLogFile(), 0);
    ASSERT_EQ(m_list.RowCount(), 2);
    EXPECT_EQ(m_list.Text(0, 4), "shown before");
    EXPECT_EQ(m_list.Text(1, 4), "from file");
    std::filesystem::remove(LogPath());
    EXPECT_FALSE(m_file.ReadLines().has_value());
}

TEST_F(DailyLogFile, HandWrittenWindowsFileReloads) {
    const std::string kind = cp932::Sjis("同報");
    test::WriteWholeFile(LogPath(), " 9:05'07\tHanako\tTaro\t" + kind + "\tfull line\r\n" +
                                        "10:11\tJiro\tSaburo\t" + kind +
                                        "\tno apostrophe\r\n"
                                        "12:00'01\tonly receiver\r\n"
                                        "lone line end\n"
                                        "cut\rhere\r\n"
                                        "\r\n");
    EXPECT_EQ(m_log.OnReloadLog(), 0);
    ASSERT_EQ(m_list.RowCount(), 6);
    EXPECT_EQ(m_list.Text(0, 2), " 9:05");
    EXPECT_EQ(m_list.Text(0, 4), "full line");
    EXPECT_EQ(m_list.Text(1, 2), "10:11");
    EXPECT_EQ(m_list.Text(1, 1), "Saburo");
    // Fewer than four tabs: the missing fields are empty, not the previous line's.
    EXPECT_EQ(m_list.Text(2, 2), "12:00");
    EXPECT_EQ(m_list.Text(2, 0), "only receiver");
    EXPECT_EQ(m_list.Text(2, 1), "");
    EXPECT_EQ(m_list.Text(2, 3), "");
    EXPECT_EQ(m_list.Text(2, 4), "");
    EXPECT_EQ(m_list.Text(3, 2), "lone line end");
    EXPECT_EQ(m_list.Text(4, 2), "cut");
    EXPECT_EQ(m_list.Text(5, 2), "");
    // The sender equal to the own handle takes the own colour on reload too.
    EXPECT_EQ(m_list.Colour(0), m_options.m_colorMyMessage);
    EXPECT_EQ(m_list.Colour(1), 0);
}

TEST_F(DailyLogFile, MissingFileLeavesTheViewEmpty) {
    m_log.AddLogRow("r", "s", std::nullopt, "k", "c");
    std::filesystem::remove(LogPath());
    EXPECT_EQ(m_log.OnReloadLog(), 1);
    EXPECT_EQ(m_list.RowCount(), 0);
    m_options.m_logSavePath.clear();
    EXPECT_EQ(m_log.OnReloadLog(), 1);
}

TEST(DailyLogFolder, DefaultFolderFollowsXdgDataHome) {
    test::CTempDir dir;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_DATA_HOME", (dir.Path() / "data").c_str(), 1);
    COptionValues options;
    options.m_logSavePath = COptionValues::DefaultLogSavePath();
    const int result = CDailyLogFile::EnsureDefaultLogFolder(options);
    if (saved)
        setenv("XDG_DATA_HOME", saved->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "data" / "palaverly"));
}

TEST(DailyLogFolder, OnlyTheDefaultFolderIsCreated) {
    test::CTempDir dir;
    const std::string wanted = (dir.Path() / "share" / "palaverly").string();
    EXPECT_EQ(CDailyLogFile::EnsureLogFolder(wanted, wanted), 0);
    struct stat st {};
    ASSERT_EQ(stat(wanted.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((dir.Path() / "share").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(CDailyLogFile::EnsureLogFolder(wanted, wanted), 0); // exists already

    const std::string chosen = (dir.Path() / "chosen").string();
    EXPECT_EQ(CDailyLogFile::EnsureLogFolder(chosen, wanted), 0);
    EXPECT_FALSE(fs::exists(chosen));

    EXPECT_EQ(CDailyLogFile::EnsureLogFolder("relative/palaverly", "relative/palaverly"), -1);
    EXPECT_EQ(CDailyLogFile::EnsureLogFolder("", ""), -1);
    // A file in the way is not a folder.
    test::WriteWholeFile(dir.Path() / "file", "x");
    const std::string blocked = (dir.Path() / "file" / "palaverly").string();
    EXPECT_EQ(CDailyLogFile::EnsureLogFolder(blocked, blocked), -1);
}

TEST_F(DailyLogFile, SearchGoesOverEveryDayNewestFirstOnCharacters) {
    const std::string so = "\x83\x5C", ren = "\x98\x41"; // "ソ", "連": trail bytes '\' and 'A'
    test::WriteWholeFile(m_dir.Path() / "CHAT1261206.LOG",
                         " 9:00'01\tr\ts\tk\tlunch " + so + "\r\n 9:30'02\tr\tAnna\tk\tLUNCH\r\n");
    test::WriteWholeFile(m_dir.Path() / "CHAT1261208.LOG", "10:00'03\tr\ts\tk\t" + ren + "\r\n");
    test::WriteWholeFile(m_dir.Path() / "CHAT1261207.LOG", "11:00'04\tr\ts\tk\tLunch\n");
    test::WriteWholeFile(m_dir.Path() / "CHAT1261207.LOG.bak", "12:00'00\tr\ts\tk\tlunch\r\n");
    test::WriteWholeFile(m_dir.Path() / "CHAT1261307.LOG", "12:00'00\tr\ts\tk\tlunch\r\n");

    std::vector<LogSearchHit> hits = CLogSearch::Search(m_dir.Path(), "lunch");
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(CLogSearch::FormatDay(hits[0].day), "2026-12-07");
    EXPECT_EQ(hits[0].line.time, "11:00'04");
    EXPECT_EQ(hits[1].line.sender, "Anna");
    EXPECT_EQ(hits[1].lineIndex, 1u);
    EXPECT_EQ(hits[2].line.content, "lunch " + so);
    EXPECT_TRUE(CLogSearch::Search(m_dir.Path(), "\\").empty());
    EXPECT_TRUE(CLogSearch::Search(m_dir.Path(), "a").size() == 1u); // Anna, not 連
    EXPECT_EQ(CLogSearch::Search(m_dir.Path(), ren).size(), 1u);
    EXPECT_TRUE(CLogSearch::Search(m_dir.Path(), "").empty());
    EXPECT_TRUE(CLogSearch::Search(m_dir.Path() / "missing", "lunch").empty());

    // A FIFO nobody writes and symlinks named like logs: skipped, and read as nothing, without
    // blocking (a plain open of the FIFO would wait for a writer for ever).
    const fs::path fifo = m_dir.Path() / "CHAT1261205.LOG";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    test::WriteWholeFile(m_dir.Path() / "elsewhere", "13:00'00\tr\ts\tk\tlunch\r\n");
    fs::create_symlink(m_dir.Path() / "elsewhere", m_dir.Path() / "CHAT1261204.LOG");
    fs::create_symlink("/dev/zero", m_dir.Path() / "CHAT1261203.LOG");
    EXPECT_EQ(CLogSearch::ListLogFiles(m_dir.Path()).size(), 3u);
    EXPECT_EQ(CLogSearch::Search(m_dir.Path(), "lunch").size(), 3u);
    for (const char* name : {"CHAT1261205.LOG", "CHAT1261204.LOG", "CHAT1261203.LOG"})
        EXPECT_FALSE(CLogSearch::ReadLogLines(m_dir.Path() / name)) << name;
}
