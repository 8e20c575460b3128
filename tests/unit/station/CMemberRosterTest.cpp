#include "station/CMemberRoster.h"

#include "RosterTestSupport.h"
#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "station/Columns.h"
#include "table/CMarkList.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace palaverly;

namespace {

class MemberRoster : public ::testing::Test {
protected:
    MemberRoster()
        : m_file(m_options, m_clock.now, m_clock.AsClock()),
          m_log(test::ByteWidth, m_options, m_file, m_clock.AsClock(),
                [] { return std::string("Me"); }),
          m_roster(test::ByteWidth, m_log, m_options, m_templates,
                   {[this](const std::string& c) { m_captions.push_back(c); },
                    [this] { ++m_fetches; }}) {
        m_templates.m_texts[2] = "in \"%s\" %s";
        m_templates.m_texts[3] = "out <%s>";
        m_roster.SetupListColumns(15);
    }

    // An INFO from a station named by its computer name.
    void Info(const std::string& computer, const std::string& handle,
              const std::string& status = "normal", const std::string& version = "060R-003") {
        m_roster.UpsertMember("192168001010", status, computer, handle, version, "Not support",
                              "09:00'00");
    }

    std::vector<std::string> Handles() const {
        std::vector<std::string> h;
        for (int r = 0; r < m_rosterList.RowCount(); ++r)
            h.push_back(m_rosterList.Text(r, RosterColumn::Handle));
        return h;
    }
    std::vector<int> Marks() const {
        std::vector<int> m;
        for (int r = 0; r < m_rosterList.RowCount(); ++r)
            m.push_back(m_rosterList.IsMarked(r));
        return m;
    }

    test::CFixedClock m_clock;
    COptionValues m_options;
    CNoticeTemplates m_templates;
    CDailyLogFile m_file;
    CChatLog m_log;
    std::vector<std::string> m_captions;
    int m_fetches = 0;
    CMemberRoster m_roster;
    CMarkList& m_logList = m_log.List();
    CMarkList& m_rosterList = m_roster.List();
};

const std::string kCaptionBase = cp932::Sjis("ﾕｰｻﾞｰ情報");

} // namespace

TEST_F(MemberRoster, ColumnsAndDefaultWidths) {
    struct Column {
        const char* title;
        int width;
    };
    const Column roster[] = {{"ﾊﾝﾄﾞﾙ", 50},      {"状態", 80},    {"ｺﾝﾋﾟｭｰﾀ名", 70},
                             {"IPｱﾄﾞﾚｽ", 60},    {"ﾊﾞｰｼﾞｮﾝ", 60}, {"最終ﾛｸﾞｲﾝ日時", 90},
                             {"ﾈｯﾄﾜｰｸｺﾒﾝﾄ", 100}};
    const char* log[] = {"受信者", "送信者", "時刻", "種別", "内容"};
    ASSERT_EQ(m_rosterList.ColumnCount(), 7);
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(m_rosterList.ColumnTitle(c), cp932::Sjis(roster[c].title));
        EXPECT_EQ(m_rosterList.ColumnWidth(c), roster[c].width);
    }
    ASSERT_EQ(m_logList.ColumnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(m_logList.ColumnTitle(c), cp932::Sjis(log[c]));
        EXPECT_EQ(m_logList.ColumnWidth(c), 50);
    }
}

TEST_F(MemberRoster, ClearEmptiesAndRestoresRosterWidthsOnly) {
    Info("PC1", std::string(100, 'h'));
    m_log.AddLogRow(std::string(100, 'r'), "s", std::nullopt, "k", "c");
    m_rosterList.SetMark(0, true, true);
    const std::string caption = m_roster.Caption();
    m_roster.Clear();
    EXPECT_EQ(m_rosterList.RowCount(), 0);
    EXPECT_EQ(m_rosterList.CountMarks(), 0);
    EXPECT_EQ(m_rosterList.ColumnWidth(0), 50);
    EXPECT_EQ(m_logList.ColumnWidth(0), 116); // the chat log keeps its widths
    EXPECT_EQ(m_roster.Caption(), caption);   // the count stays until the next change
    EXPECT_EQ(m_rosterList.ColumnCount(), 7);
}

TEST_F(MemberRoster, UpsertAddsRefreshesOrLeavesTheRow) {
    Info("PC1", "Taro");
    ASSERT_EQ(m_rosterList.RowCount(), 1);
    const std::vector<std::string> first = {"Taro",     "normal",   "PC1",        "192.168.  1. 10",
                                            "060R-003", "09:00'00", "Not support"};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(m_rosterList.Text(0, c), first[c]) << c;
    EXPECT_EQ(m_rosterList.Colour(0), -1);

    // Same handle and status: unchanged, though the version differs.
    m_rosterList.SetMark(0, true, true);
    Info("PC1", "Taro", "normal", "999");
    EXPECT_EQ(m_rosterList.Text(0, 4), "060R-003");

    // A changed status rewrites all seven columns and keeps the mark.
    m_roster.UpsertMember("010000000001", "away", "PC1", "Taro", "999", "other", "10:00'00");
    ASSERT_EQ(m_rosterList.RowCount(), 1);
    const std::vector<std::string> second = {"Taro", "away",     "PC1",  " 10.  0.  0.  1",
                                             "999",  "10:00'00", "other"};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(m_rosterList.Text(0, c), second[c]) << c;
    EXPECT_EQ(m_rosterList.IsMarked(0), 1);
}

TEST_F(MemberRoster, ComputerNamesMatchWhole) {
    Info("PC10", "Aki");
    Info("PC1", "Bob"); // contained in PC10, listed above it: still a station of its own
    EXPECT_EQ(Handles(), (std::vector<std::string>{"Aki", "Bob"}));
    EXPECT_EQ(m_roster.FindMemberRow("PC1"), 1);
    EXPECT_EQ(m_roster.FindMemberRow("PC10"), 0);
    EXPECT_EQ(m_roster.FindMemberRow("PC"), -1);
    EXPECT_EQ(m_roster.FindMemberRow(""), -1); // an empty name does not hit row 0
    EXPECT_EQ(m_roster.FindHandleByComputerName("PC1"), "Bob");
    EXPECT_EQ(m_roster.FindHandleByComputerName("PC2"), "");

    Info("", "Nameless");
    EXPECT_EQ(m_rosterList.RowCount(), 3);
    EXPECT_EQ(m_roster.FindHandleByComputerName(""), "Nameless");

    m_roster.RemoveMember("", "PC1");
    EXPECT_EQ(Handles(), (std::vector<std::string>{"Aki", "Nameless"}));
}

TEST_F(MemberRoster, CaptionCountsRows) {
    m_roster.UpdateMemberCount();
    EXPECT_EQ(m_roster.Caption(), kCaptionBase + "(0)");
    Info("PC1", "A");
    Info("PC2", "B");
    Info("PC2", "B"); // no change: no new caption
    EXPECT_EQ(m_roster.Caption(), kCaptionBase + "(2)");
    m_roster.RemoveMember("", "PC1");
    EXPECT_EQ(m_roster.Caption(), kCaptionBase + "(1)");
    m_roster.RemoveMember("", "PC9"); // unlisted: the count stays
    EXPECT_EQ(m_captions, (std::vector<std::string>{kCaptionBase + "(0)", kCaptionBase + "(1)",
                                                    kCaptionBase + "(2)", kCaptionBase + "(1)"}));

    // A caption without "(" gets the count appended; one with "(" loses all from there.
    m_roster.SetCaption("Members");
    Info("PC3", "C");
    EXPECT_EQ(m_roster.Caption(), "Members(2)");
    m_roster.SetCaption("A(b)c");
    m_roster.RemoveMember("", "PC3");
    EXPECT_EQ(m_roster.Caption(), "A(1)");
}

TEST_F(MemberRoster, FirstCaptionUpdateAlwaysWrites) {
    // The remembered count starts at -1, so an empty roster still gets "(0)".
    m_roster.RemoveMember("", "nobody");
    EXPECT_EQ(m_captions, (std::vector<std::string>{kCaptionBase + "(0)"}));
}

TEST_F(MemberRoster, LoginAndLogoutNotices) {
    Info("PC1", "Quiet"); // flag off: no notice
    EXPECT_EQ(m_logList.RowCount(), 0);

    m_options.m_flgLoginLogoutCheck = 1;
    Info("PC2", "Taro");
    Info("PC2", "Taro", "away"); // refresh of a listed row: no notice
    ASSERT_EQ(m_logList.RowCount(), 1);
    const std::vector<std::string> login = {" ", " ", " 9:05", cp932::Sjis("ｼｽﾃﾑ"),
                                            "in \"Taro\" %s"};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(m_logList.Text(0, c), login[c]) << c;

    m_roster.RemoveMember("", "PC2");
    ASSERT_EQ(m_logList.RowCount(), 2);
    EXPECT_EQ(m_logList.Text(1, 4), "out <Taro>");
    m_roster.RemoveMember("", "PC2"); // gone already: no notice
    EXPECT_EQ(m_logList.RowCount(), 2);

    // After a roll call every station is new again.
    m_roster.Clear();
    Info("PC1", "Quiet");
    EXPECT_EQ(m_logList.Text(2, 4), "in \"Quiet\" %s");
}

TEST_F(MemberRoster, DefaultTemplatesNameTheHandle) {
    m_templates.m_texts[2] = CNoticeTemplates::DefaultText(3);
    m_options.m_flgLoginLogoutCheck = 1;
    Info("PC1", "Taro");
    EXPECT_EQ(m_logList.Text(0, 4), cp932::Sjis("ログイン状態を検知  \"Taro\" さんと接続しました"));
}

TEST_F(MemberRoster, MarkButtonsAndMarksByNameChooseTheReceivers) {
    Info("PC10", "Cho");
    Info("PC1", "Aki");
    Info("PC2", "Bob");
    m_roster.OnMarkAllOn();
    EXPECT_EQ(Marks(), (std::vector<int>{1, 1, 1}));
    m_roster.OnMarkAllOff();
    EXPECT_EQ(Marks(), (std::vector<int>{0, 0, 0}));

    // Whole names: PC1 is not PC10; the receivers come in roster order.
    EXPECT_TRUE(m_roster.SetMark("PC10", true));
    EXPECT_TRUE(m_roster.SetMark("PC1", true));
    EXPECT_FALSE(m_roster.SetMark("PC", true));
    EXPECT_EQ(m_roster.MarkedComputerNames(), (std::vector<std::string>{"PC1", "PC10"}));
    EXPECT_TRUE(m_roster.SetMark("PC1", false));
    EXPECT_EQ(m_roster.MarkedComputerNames(), (std::vector<std::string>{"PC10"}));
}

TEST_F(MemberRoster, RightClickMarksTheSender) {
    Info("PC1", "Aki");
    Info("PC2", "Bob");
    Info("PC3", "Cho");
    m_log.AddLogRow("Me", "Bob", std::nullopt, "k", "hi");
    m_log.AddLogRow(std::nullopt, std::nullopt, std::nullopt, "k", "notice");
    m_rosterList.SetMark(0, true, true);

    // Flag off: nothing changes.
    m_roster.OnLogRowClicked(0);
    EXPECT_EQ(Marks(), (std::vector<int>{1, 0, 0}));

    m_options.m_flgLogClickToUserMarkOn = 1;
    EXPECT_EQ(m_roster.OnLogRowClicked(0), 0);
    EXPECT_EQ(Marks(), (std::vector<int>{0, 1, 0}));

    // A system notice's sender " " is nobody's handle; no row or a stale row: the same.
    for (int row : {1, -1, 7}) {
        m_rosterList.SetMark(2, true, true);
        m_roster.OnLogRowClicked(row);
        EXPECT_EQ(Marks(), (std::vector<int>{0, 0, 0})) << row;
    }
}

TEST_F(MemberRoster, FirstInfoAsksForBulletinsOnce) {
    EXPECT_EQ(m_fetches, 0);
    Info("PC1", "A");
    EXPECT_EQ(m_fetches, 1);
    Info("PC2", "B");
    m_roster.Clear();
    Info("PC1", "A");
    EXPECT_EQ(m_fetches, 1);
}

TEST_F(MemberRoster, RowsSortByHandle) {
    for (const char* h : {"mika", "Aki", "zen", "bob", "Bob"})
        Info(std::string("PC-") + h, h);
    EXPECT_EQ(Handles(), (std::vector<std::string>{"Aki", "bob", "Bob", "mika", "zen"}));
    // A renamed station moves to its new place.
    Info("PC-zen", "Ann");
    EXPECT_EQ(Handles(), (std::vector<std::string>{"Aki", "Ann", "bob", "Bob", "mika"}));
}

namespace {

// The row a look-up must give: the first whose computer name equals the key.
int ScanForRow(const CMarkList& list, const std::string& key) {
    for (int row = 0; row < list.RowCount(); ++row)
        if (list.Text(row, RosterColumn::Computer) == key)
            return row;
    return -1;
}

} // namespace

// Rows move as stations come, change their handle (the sort key) and go; every look-up after
// each change finds the row a plain scan finds, names that contain each other included.
TEST_F(MemberRoster, LookUpsFollowTheRowsAsTheyMove) {
    const std::vector<std::string> names{"PC1", "PC10", "PC", "pc1", "\x83\x5C", "\x83\x5C\x83\x5C",
                                         ""};
    std::mt19937 random(7);
    for (int step = 0; step < 400; ++step) {
        const std::string& name = names[random() % names.size()];
        const std::string handle(1, static_cast<char>('a' + random() % 5));
        if (random() % 4 == 0)
            m_roster.RemoveMember("", name);
        else if (step % 97 == 96)
            m_roster.Clear();
        else
            Info(name, handle, random() % 2 ? "normal" : "away");
        for (const std::string& key : names) {
            const int row = ScanForRow(m_rosterList, key);
            ASSERT_EQ(m_roster.FindMemberRow(key), row) << "step " << step << " key " << key;
            EXPECT_EQ(m_roster.FindHandleByComputerName(key),
                      row < 0 ? "" : m_rosterList.Text(row, RosterColumn::Handle));
        }
    }
}
