// The daily log file in batches (one open and one write per drain, the same bytes as line by
// line), the tail reload against the full read, and the chat log's row limit.
#include "ChatLogFixture.h"
#include "RosterTestSupport.h"
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "table/CMarkList.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

using namespace palaverly;
namespace fs = std::filesystem;

namespace {

class DailyLogBatch : public test::CChatLogFixture {
protected:
    static bool SameRows(const std::vector<LogLineFields>& a, const std::vector<LogLineFields>& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].time != b[i].time || a[i].receiver != b[i].receiver ||
                a[i].sender != b[i].sender || a[i].kind != b[i].kind ||
                a[i].content != b[i].content)
                return false;
        return true;
    }

    // The tail of ReadLines, as the reload must show it.
    std::vector<LogLineFields> FullTail(std::size_t count) const {
        std::vector<LogLineFields> all = m_file.ReadLines().value();
        if (all.size() > count)
            all.erase(all.begin(), all.end() - static_cast<std::ptrdiff_t>(count));
        return all;
    }
};

} // namespace

TEST_F(DailyLogBatch, ABatchWritesTheSameBytesAsLineByLine) {
    m_log.AddLogRow("before", "s", std::nullopt, "k", "alone");
    m_log.BeginBatch();
    for (int i = 0; i < 5; ++i) {
        m_clock.now.second = 10 + i; // each line keeps its own time of writing
        EXPECT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "b" + std::to_string(i)), 0);
    }
    // Nothing reaches the file before the batch ends: it is one write.
    EXPECT_EQ(FileBytes(), " 9:05'07\tbefore\ts\tk\talone\r\n");
    EXPECT_EQ(m_log.EndBatch(), 0);
    EXPECT_EQ(FileBytes(), " 9:05'07\tbefore\ts\tk\talone\r\n"
                           " 9:05'10\tr\ts\tk\tb0\r\n"
                           " 9:05'11\tr\ts\tk\tb1\r\n"
                           " 9:05'12\tr\ts\tk\tb2\r\n"
                           " 9:05'13\tr\ts\tk\tb3\r\n"
                           " 9:05'14\tr\ts\tk\tb4\r\n");
    // Tabs and line ends inside texts and the length cut stay as line by line.
    const std::string longText(1500, 'x');
    CDailyLogFile single(m_options, m_clock.now, m_clock.AsClock());
    m_options.m_logSavePath = (m_dir.Path() / "other").string();
    fs::create_directories(m_dir.Path() / "other");
    ASSERT_EQ(single.AppendRow("a\tb", "c\r\nd", "k", longText), 0);
    const std::string expected = test::ReadWholeFile(m_dir.Path() / "other" / m_file.FileName());
    m_options.m_logSavePath = m_dir.Path().string();
    fs::remove(LogPath());
    m_file.BeginBatch();
    ASSERT_EQ(m_file.AppendRow("a\tb", "c\r\nd", "k", longText), 0);
    EXPECT_EQ(m_file.EndBatch(), 0);
    EXPECT_EQ(FileBytes(), expected);
}

TEST_F(DailyLogBatch, AFolderThatCannotBeOpenedLosesOnlyItsLines) {
    m_log.BeginBatch();
    EXPECT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "kept1"), 0);
    EXPECT_EQ(m_log.EndBatch(), 0);
    m_options.m_logSavePath = (m_dir.Path() / "missing").string();
    m_log.BeginBatch();
    EXPECT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "lost"), -1);
    // The folder comes back within the batch: the next line opens it and is kept.
    m_options.m_logSavePath = m_dir.Path().string();
    EXPECT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "kept2"), 0);
    EXPECT_EQ(m_log.EndBatch(), 0);
    EXPECT_EQ(m_list.RowCount(), 3); // every row is shown, written or not
    EXPECT_EQ(FileBytes(), " 9:05'07\tr\ts\tk\tkept1\r\n 9:05'07\tr\ts\tk\tkept2\r\n");
}

TEST_F(DailyLogBatch, AWriteTheFileRefusesIsTakenBackAndCounted) {
    // A file size limit lets the first lines in and refuses the rest, as a full disk would.
    ASSERT_EQ(m_log.AddLogRow("r", "s", std::nullopt, "k", "first"), 0);
    const auto lineSize = static_cast<rlim_t>(FileBytes().size());
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit small = old;
    small.rlim_cur = lineSize * 3;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    m_log.BeginBatch();
    for (const char* text : {"secon", "third", "fourt", "fifth"})
        m_log.AddLogRow("r", "s", std::nullopt, "k", text);
    const int lost = m_log.EndBatch();
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    // Two more lines fit; the two that do not are reported, and no partial line is left.
    EXPECT_EQ(lost, 2);
    EXPECT_EQ(FileBytes(), " 9:05'07\tr\ts\tk\tfirst\r\n 9:05'07\tr\ts\tk\tsecon\r\n"
                           " 9:05'07\tr\ts\tk\tthird\r\n");
}

TEST_F(DailyLogBatch, TailGivesTheLastRowsOfTheFullReadOnHandMadeFiles) {
    const std::string piece(1022, 'p');
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"one line without end", " 8:00'00\tr\ts\tk\tlast"},
        {"fewer than 300 lines",
         [] {
             std::string s;
             for (int i = 0; i < 120; ++i)
                 s += " 8:00'00\tr\ts\tk\tl" + std::to_string(i) + "\r\n";
             return s;
         }()},
        {"LF only",
         [] {
             std::string s;
             for (int i = 0; i < 700; ++i)
                 s += "t\tr\ts\tk\tlf" + std::to_string(i) + "\n";
             return s;
         }()},
        {"CR only (one long line)",
         [] {
             std::string s;
             for (int i = 0; i < 700; ++i)
                 s += "t\tr\ts\tk\tcr" + std::to_string(i) + "\r";
             return s;
         }()},
        {"long lines in pieces",
         [&] {
             std::string s;
             for (int i = 0; i < 400; ++i) {
                 s += std::string(static_cast<std::size_t>(i * 7 % 2600), 'a' + i % 26);
                 s += i % 3 == 0 ? "\r\n" : "\n";
             }
             return s;
         }()},
        {"line end right after a full piece",
         [&] {
             std::string s;
             for (int i = 0; i < 350; ++i)
                 s += piece + (i % 2 ? "\r\n" : "\n");
             return s;
         }()},
        {"CR before CR LF",
         [] {
             std::string s;
             for (int i = 0; i < 320; ++i)
                 s += "a\tb\r\r\n";
             return s + "tail";
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteWholeFile(LogPath(), c.bytes);
        auto tail = m_file.ReadLastLines(300);
        ASSERT_TRUE(tail.has_value());
        EXPECT_TRUE(SameRows(*tail, FullTail(300)));
        EXPECT_LE(tail->size(), 300u);
    }
}

TEST_F(DailyLogBatch, TailMatchesTheFullReadOnRandomFiles) {
    std::mt19937 random(20261208);
    // Line ends of every kind, lines around the piece length, NULs and tabs.
    static constexpr char kAlphabet[] = "ab\t\r\n\n\n\0x";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        const int lines = static_cast<int>(random() % 900);
        for (int i = 0; i < lines; ++i) {
            std::size_t length = random() % 4 == 0 ? 1018 + random() % 8 : random() % 60;
            if (random() % 10 == 0)
                length = random() % 3000;
            for (std::size_t k = 0; k < length; ++k)
                bytes += random() % 8 == 0 ? alphabet[random() % alphabet.size()]
                                           : static_cast<char>('c' + random() % 20);
            bytes += random() % 2 ? "\r\n" : "\n";
        }
        test::WriteWholeFile(LogPath(), bytes);
        for (std::size_t count : {std::size_t{1}, std::size_t{300}}) {
            SCOPED_TRACE("round " + std::to_string(round) + " count " + std::to_string(count));
            auto tail = m_file.ReadLastLines(count);
            ASSERT_TRUE(tail.has_value());
            ASSERT_TRUE(SameRows(*tail, FullTail(count)));
        }
    }
}

TEST_F(DailyLogBatch, ReloadOfALargeFileShowsItsLast300Rows) {
    std::string bytes;
    for (int i = 1; i <= 5000; ++i)
        bytes += " 8:00'00\tr\ts\tk\tline" + std::to_string(i) + "\r\n";
    test::WriteWholeFile(LogPath(), bytes);
    ASSERT_EQ(m_log.OnReloadLog(), 0);
    ASSERT_EQ(m_list.RowCount(), 300);
    EXPECT_EQ(m_list.Text(0, 4), "line4701");
    EXPECT_EQ(m_list.Text(299, 4), "line5000");
    EXPECT_EQ(FileBytes(), bytes); // reloaded rows are not written back
}

TEST_F(DailyLogBatch, TheViewKeepsItsNewestRowsAndTheFileEveryLine) {
    m_log.BeginBatch();
    for (int i = 0; i < CChatLog::kRowLimit + 25; ++i)
        m_log.AddLogRow("r", "s", std::nullopt, "k", std::to_string(i));
    m_log.EndBatch();
    ASSERT_EQ(m_list.RowCount(), CChatLog::kRowLimit);
    EXPECT_EQ(m_list.Text(0, 4), "25"); // the oldest went first
    EXPECT_EQ(m_list.Text(CChatLog::kRowLimit - 1, 4), std::to_string(CChatLog::kRowLimit + 24));
    auto lines = m_file.ReadLines().value();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(CChatLog::kRowLimit + 25));
    EXPECT_EQ(lines.front().content, "0");
}
