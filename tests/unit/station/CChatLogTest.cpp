#include "station/CChatLog.h"

#include "RosterTestSupport.h"
#include "settings/COptionValues.h"
#include "station/CDailyLogFile.h"
#include "table/CMarkList.h"

#include <gtest/gtest.h>
#include <vector>

using namespace palaverly;

namespace {

constexpr std::int32_t kWindowText = 0x00223344;

class ChatLog : public ::testing::Test {
protected:
    ChatLog()
        : m_file(m_options, m_clock.now, m_clock.AsClock()),
          m_log(
              test::ByteWidth, m_options, m_file, m_clock.AsClock(), [this] { return m_handle; },
              [] { return kWindowText; }) {}

    test::CFixedClock m_clock;
    COptionValues m_options; // logging off by default
    std::string m_handle = "Taro";
    CDailyLogFile m_file;
    CChatLog m_log;
    CMarkList& m_list = m_log.List();
};

} // namespace

TEST_F(ChatLog, AbsentFieldsBecomeASpaceAndTheClockTime) {
    EXPECT_EQ(m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, "kind", "text"), 0);
    EXPECT_EQ(m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt),
              0);
    m_clock.now.hour = 14;
    m_clock.now.minute = 0;
    m_log.AddLogRow("", "", "", "", "");
    m_log.AddLogRow("r", "s", std::nullopt, "k", "c");

    ASSERT_EQ(m_list.RowCount(), 4);
    const std::vector<std::vector<std::string>> expected = {
        {" ", " ", " 9:05", "kind", "text"},
        {" ", " ", " 9:05", " ", " "},
        {"", "", "", "", ""}, // a given empty text stays empty
        {"r", "s", "14:00", "k", "c"},
    };
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(m_list.Text(row, col), expected[row][col]) << row << "," << col;
}

TEST_F(ChatLog, OwnColourOnlyForTheExactHandle) {
    struct Case {
        std::string handle;
        std::string sender;
        bool own;
    } cases[] = {
        {"Taro", "Taro", true}, {"Taro", "Taro2", false}, {"Taro", "MyTaro", false},
        {"Taro", " ", false},   {"Taro", "taro", false},  {"", "", false},
        {"", " ", false},       {"", "Taro", false},      {" ", " ", true},
    };
    m_options.m_colorMyMessage = 0x00FF0000;
    for (const Case& c : cases) {
        m_handle = c.handle;
        m_log.AddLogRow("r", c.sender, std::nullopt, "k", "c");
        EXPECT_EQ(m_list.Colour(m_list.RowCount() - 1), c.own ? 0x00FF0000 : kWindowText)
            << "handle '" << c.handle << "' sender '" << c.sender << "'";
    }
    // Absent sender: a system notice is not one's own.
    m_handle = "Taro";
    m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, "k", "c");
    EXPECT_EQ(m_list.Colour(m_list.RowCount() - 1), kWindowText);
}

TEST_F(ChatLog, WindowTextColourDefaultsToBlack) {
    CChatLog log(test::ByteWidth, m_options, m_file, m_clock.AsClock(), {});
    log.AddLogRow("r", "s", std::nullopt, "k", "c");
    EXPECT_EQ(log.List().Colour(0), 0);
}

TEST_F(ChatLog, LineCopyTakesTheSelectedRowsContent) {
    EXPECT_EQ(m_log.OnLineCopy(), std::nullopt);
    m_log.AddLogRow("r", "s", std::nullopt, "k", "first");
    m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, "k", "notice");
    EXPECT_EQ(m_log.OnLineCopy(), std::nullopt);
    m_list.SetMark(1, true, true);
    EXPECT_EQ(m_log.OnLineCopy(), "notice");
    m_list.SetMark(0, true, true); // single selection: row 1 loses its mark
    EXPECT_EQ(m_log.OnLineCopy(), "first");
    m_log.OnClearLog();
    EXPECT_EQ(m_log.OnLineCopy(), std::nullopt);
}

TEST_F(ChatLog, RowAddedHandlerSeesEachRow) {
    std::vector<std::string> seen;
    m_log.SetRowAddedHandler([&](int row, const std::string& receiver, const std::string& sender,
                                 const std::string& time, const std::string& kind,
                                 const std::string& content) {
        seen.push_back(std::to_string(row) + "|" + receiver + "|" + sender + "|" + time + "|" +
                       kind + "|" + content);
    });
    m_log.AddLogRow("r", std::nullopt, std::nullopt, "k", "c");
    m_log.AddLogRow("r2", "s2", "t2", "k2", "c2");
    EXPECT_EQ(seen, (std::vector<std::string>{"0|r| | 9:05|k|c", "1|r2|s2|t2|k2|c2"}));
}

TEST_F(ChatLog, ClearKeepsColumnWidths) {
    m_list.InsertColumn("c0", 50);
    m_log.AddLogRow(std::string(60, 'w'), "s", std::nullopt, "k", "c");
    EXPECT_EQ(m_list.ColumnWidth(0), 76);
    m_log.OnClearLog();
    EXPECT_EQ(m_list.RowCount(), 0);
    EXPECT_EQ(m_list.ColumnWidth(0), 76);
}
