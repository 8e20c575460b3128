#include "table/CMarkList.h"

#include "RosterTestSupport.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace palaverly;

namespace {

// Records every notification as a short text, in order.
class CRecorder : public IMarkListObserver {
public:
    std::vector<std::string> events;
    void OnRowAboutToBeInserted(int row) override { Add("about-insert", row); }
    void OnRowInserted(int row) override { Add("insert", row); }
    void OnRowChanged(int row) override { Add("change", row); }
    void OnRowAboutToBeRemoved(int row) override { Add("about-remove", row); }
    void OnRowRemoved(int row) override { Add("remove", row); }
    void OnAllRowsAboutToBeRemoved() override { events.push_back("about-clear"); }
    void OnAllRowsRemoved() override { events.push_back("clear"); }
    void OnColumnWidthChanged(int column) override { Add("width", column); }
    void OnMarkChanged(int row) override { Add("mark", row); }
    void OnEnsureVisible(int row) override { Add("visible", row); }

private:
    void Add(const char* what, int index) { events.push_back(what + std::to_string(index)); }
};

std::vector<std::string> Row(std::string a, std::string b = "x") {
    return {a, b};
}

// Two columns of width 50.
std::unique_ptr<CMarkList>
MakeList(CMarkList::Order order = CMarkList::Order::Unsorted,
         CMarkList::Selection selection = CMarkList::Selection::Multiple) {
    auto list = std::make_unique<CMarkList>(order, selection, test::ByteWidth);
    list->InsertColumn("c0", 50);
    list->InsertColumn("c1", 50);
    return list;
}

std::vector<std::string> Column0(const CMarkList& list) {
    std::vector<std::string> texts;
    for (int r = 0; r < list.RowCount(); ++r)
        texts.push_back(list.Text(r, 0));
    return texts;
}

} // namespace

TEST(MarkListSetMark, MissingRowGivesEightAndChangesNothing) {
    auto listOwner = MakeList();
    CMarkList& list = *listOwner;
    list.InsertRow(Row("a"), -1);
    CRecorder rec;
    list.AddObserver(&rec);
    EXPECT_EQ(list.SetMark(1, true, true), CMarkList::kNoSuchRow);
    EXPECT_EQ(list.SetMark(-1, true, true), CMarkList::kNoSuchRow);
    EXPECT_EQ(list.DeleteRow(5), CMarkList::kNoSuchRow);
    EXPECT_TRUE(rec.events.empty());
    EXPECT_EQ(list.CountMarks(), 0);
    EXPECT_EQ(list.SetMark(0, true, false), 0);
    EXPECT_EQ(list.IsMarked(0), 1);
    EXPECT_EQ(list.IsMarked(7), 0);
}

TEST(MarkListSetMark, ClearsTheFocusedState) {
    auto listOwner = MakeList();
    CMarkList& list = *listOwner;
    for (const char* t : {"a", "b", "c"})
        list.InsertRow(Row(t), -1);
    list.SetFocusedRow(1);
    EXPECT_TRUE(list.IsFocused(1));
    EXPECT_FALSE(list.IsFocused(0));
    list.SetMark(1, true, true);
    EXPECT_FALSE(list.IsFocused(1));

    list.SetFocusedRow(2);
    list.SetMark(2, false, false); // unmarking an unmarked row still drops the focus
    EXPECT_FALSE(list.IsFocused(2));
    EXPECT_EQ(list.IsMarked(1), 1);
}

TEST(MarkListSetMark, SingleSelectionKeepsOneMark) {
    auto singleOwner = MakeList(CMarkList::Order::Unsorted, CMarkList::Selection::Single);
    CMarkList& single = *singleOwner;
    auto multiOwner = MakeList();
    CMarkList& multi = *multiOwner;
    for (CMarkList* list : {&single, &multi})
        for (const char* t : {"a", "b", "c"})
            list->InsertRow(Row(t), -1);
    for (CMarkList* list : {&single, &multi}) {
        list->SetMark(0, true, true);
        list->SetMark(2, true, true);
    }
    EXPECT_EQ(single.IsMarked(0), 0);
    EXPECT_EQ(single.IsMarked(2), 1);
    EXPECT_EQ(single.CountMarks(), 1);
    EXPECT_EQ(single.FirstMarked(), 2);
    EXPECT_EQ(multi.CountMarks(), 2);
    EXPECT_EQ(multi.FirstMarked(), 0);

    multi.SetMark(0, false, true);
    multi.SetMark(2, false, true);
    EXPECT_EQ(multi.FirstMarked(), -1);
    EXPECT_EQ(multi.CountMarks(), 0);
}

TEST(MarkListTrimRows, AtMostOneTopRowPerCall) {
    struct Case {
        int rows;
        int limit;
        int left;
    } cases[] = {{302, 300, 301}, {301, 300, 300}, {300, 300, 300}, {5, 0, 5}, {5, -1, 5}};
    for (const Case& c : cases) {
        auto listOwner = MakeList();
        CMarkList& list = *listOwner;
        for (int i = 0; i < c.rows; ++i)
            list.InsertRow(Row("row" + std::to_string(i)), -1);
        EXPECT_EQ(list.TrimRows(c.limit), 0);
        EXPECT_EQ(list.RowCount(), c.left) << c.rows << "/" << c.limit;
        if (c.left < c.rows)
            EXPECT_EQ(list.Text(0, 0), "row1");
        else
            EXPECT_EQ(list.Text(0, 0), "row0");
    }
}

TEST(MarkListColumns, WidthsOnlyGrow) {
    auto listOwner = MakeList();
    CMarkList& list = *listOwner;
    list.InsertRow(Row(std::string(34, 'a')), -1); // 34 + 16 = 50: fits exactly
    EXPECT_EQ(list.ColumnWidth(0), 50);
    list.InsertRow(Row(std::string(35, 'a')), -1);
    EXPECT_EQ(list.ColumnWidth(0), 51);
    list.InsertRow(Row("a"), -1);
    EXPECT_EQ(list.ColumnWidth(0), 51);
    EXPECT_EQ(list.UpdateRow(2, Row("a", std::string(100, 'b'))), 2);
    EXPECT_EQ(list.ColumnWidth(1), 116);
    EXPECT_EQ(list.UpdateRow(2, Row("a", "b")), 2);
    EXPECT_EQ(list.ColumnWidth(1), 116);
    // Texts beyond the last column are kept but widen nothing.
    list.InsertRow({"a", "b", "a third text"}, -1);
    EXPECT_EQ(list.ColumnCount(), 2);
    EXPECT_EQ(list.Text(3, 2), "a third text");
    // The defaults come back only through SetColumnWidth.
    list.SetColumnWidth(1, 50);
    EXPECT_EQ(list.ColumnWidth(1), 50);
}

TEST(MarkListRows, UpdateKeepsColourAndMark) {
    auto listOwner = MakeList();
    CMarkList& list = *listOwner;
    list.InsertRow(Row("a"), 0x0000FF);
    list.InsertRow(Row("b"), -1);
    list.SetMark(0, true, true);
    EXPECT_EQ(list.UpdateRow(0, Row("z", "new")), 0); // unsorted: the row stays where it is
    EXPECT_EQ(list.Text(0, 0), "z");
    EXPECT_EQ(list.Text(0, 1), "new");
    EXPECT_EQ(list.Colour(0), 0x0000FF);
    EXPECT_EQ(list.Colour(1), -1);
    EXPECT_EQ(list.IsMarked(0), 1);
    EXPECT_EQ(list.UpdateRow(2, Row("q")), -1);
}

TEST(MarkListSorted, InsertsByColumnZeroIgnoringAsciiCase) {
    auto listOwner = MakeList(CMarkList::Order::Sorted);
    CMarkList& list = *listOwner;
    EXPECT_EQ(list.InsertRow(Row("bob"), -1), 0);
    EXPECT_EQ(list.InsertRow(Row("Alice"), -1), 0);
    EXPECT_EQ(list.InsertRow(Row("carol"), -1), 2);
    EXPECT_EQ(list.InsertRow(Row("BOB", "second"), 5), 2); // equal keys: after the existing one
    EXPECT_EQ(Column0(list), (std::vector<std::string>{"Alice", "bob", "BOB", "carol"}));
    EXPECT_EQ(list.Text(2, 1), "second");

    // A changed key moves the row to its sorted place, mark and colour with it.
    list.SetMark(0, true, true);
    EXPECT_EQ(list.UpdateRow(0, Row("dave")), 3);
    EXPECT_EQ(Column0(list), (std::vector<std::string>{"bob", "BOB", "carol", "dave"}));
    EXPECT_EQ(list.IsMarked(3), 1);
    EXPECT_EQ(list.CountMarks(), 1);
    EXPECT_EQ(list.InsertRow(Row("cat"), -1), 3);
}

TEST(MarkListSorted, CompareFoldsOnlySingleByteLetters) {
    struct Case {
        std::string a, b;
        int sign;
    } cases[] = {
        {"abc", "ABC", 0},
        {"abc", "abd", -1},
        {"ab", "abc", -1},
        {"a", "B", -1},
        {"_", "a", -1},    // '_' (0x5F) sorts before the folded 'a' (0x61)
        {"Z", "\xB1", -1}, // half-width katakana after ASCII
        // "ア" is 0x83 0x41 and "ャ" is 0x83 0x83; 0x83 0x61 would fold to "ア" if the
        // trail byte were taken for a letter.
        {"\x83\x41", "\x83\x61", -1},
        {"\x83\x41", "\x83\x41", 0},
        {"\x83\x5A", "\x83\x61", -1},
    };
    for (const Case& c : cases) {
        int r = CompareRowKeys(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        int back = CompareRowKeys(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign);
    }
}

TEST(MarkListObserver, FollowsEachChangeWithoutResets) {
    auto listOwner = MakeList(CMarkList::Order::Sorted);
    CMarkList& list = *listOwner;
    CRecorder rec;
    list.AddObserver(&rec);
    list.InsertRow(Row("b"), -1);
    list.InsertRow(Row("a"), -1);
    list.UpdateRow(1, Row("b", "y"));
    list.SetMark(0, true, false);
    list.DeleteRow(0);
    list.InsertRow(Row(std::string(40, 'w')), -1);
    list.DeleteAllRows();
    list.DeleteAllRows(); // nothing left: no second notice
    EXPECT_EQ(rec.events, (std::vector<std::string>{
                              "about-insert0", "insert0", "visible0", "about-insert0", "insert0",
                              "visible0", "change1", "mark0", "about-remove0", "remove0", "width0",
                              "about-insert1", "insert1", "visible1", "about-clear", "clear"}));
    list.RemoveObserver(&rec);
    list.InsertRow(Row("c"), -1);
    EXPECT_EQ(rec.events.size(), 16u);
}

TEST(FitText, ShortensByWholeCharacters) {
    const std::string kan = cp932::Sjis("漢");
    const std::string four = kan + kan + kan + kan; // 8 bytes
    struct Case {
        std::string text;
        int width;
        int margin;
        std::string expected;
    } cases[] = {
        {"", 0, 4, ""},
        {four, 8, 0, four},
        {four, 12, 4, four},
        {four, 11, 4, kan + kan + "..."},
        {four, 7, 0, kan + kan + "..."},
        {four, 6, 0, kan + "..."},
        {four, 0, 0, kan + "..."},         // never less than one character
        {"A" + kan + "BCD", 5, 0, "A..."}, // a byte cut would leave a lone lead byte
        {"x", 0, 12, "x..."},
        {cp932::Sjis("ｱｲｳｴｵｶ"), 5, 0, cp932::Sjis("ｱｲ") + "..."}, // half-width: one byte each
        // Only the first 259 bytes are drawn, never half a character.
        {std::string(300, 'x'), 1000, 0, std::string(259, 'x')},
        {"x" + std::string(150, ' ') + kan + std::string(200, 'y'), 1000, 0,
         "x" + std::string(150, ' ') + kan + std::string(106, 'y')},
        {std::string(258, 'x') + kan, 1000, 0, std::string(258, 'x')},
    };
    for (const Case& c : cases) {
        std::vector<std::string> measured;
        auto measure = [&](std::string_view t) {
            measured.emplace_back(t);
            return test::ByteWidth(t);
        };
        EXPECT_EQ(FitText(c.text, c.width, c.margin, measure), c.expected)
            << c.width << "/" << c.margin;
        // No measured copy ends in the middle of a double-byte character.
        for (const std::string& m : measured)
            EXPECT_EQ(cp932::CutToBytes(m, m.size()), m);
    }
}

TEST(RememberWidths, MeasuresEachTextOnceAndStaysBounded) {
    std::vector<std::string> measured;
    TextWidthFn remembered = RememberWidths(
        [&](std::string_view t) {
            measured.emplace_back(t);
            return test::ByteWidth(t);
        },
        3);
    // Same widths as the measure itself, each text measured once while it is remembered.
    EXPECT_EQ(remembered("ab"), test::ByteWidth("ab"));
    EXPECT_EQ(remembered("abc"), test::ByteWidth("abc"));
    EXPECT_EQ(remembered("ab"), test::ByteWidth("ab"));
    EXPECT_EQ(measured, (std::vector<std::string>{"ab", "abc"}));
    // A text that only shares a prefix or bytes is not taken for another.
    EXPECT_EQ(remembered(std::string_view("abcd", 1)), test::ByteWidth("a"));
    EXPECT_EQ(measured.size(), 3u);
    // Full: the memory starts over, so a fourth text drops what was remembered.
    EXPECT_EQ(remembered("abcde"), test::ByteWidth("abcde"));
    EXPECT_EQ(remembered("ab"), test::ByteWidth("ab"));
    EXPECT_EQ(measured, (std::vector<std::string>{"ab", "abc", "a", "abcde", "ab"}));
    // Rows that share their texts cost one measurement per text, however many rows.
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single,
                   RememberWidths(
                       [&](std::string_view t) {
                           measured.emplace_back(t);
                           return test::ByteWidth(t);
                       },
                       8));
    list.InsertColumn("time", 0);
    list.InsertColumn("sender", 0);
    measured.clear();
    for (int i = 0; i < 100; ++i)
        list.InsertRow(Row("12:00", "sender"), -1);
    EXPECT_EQ(measured.size(), 2u);
    EXPECT_EQ(list.ColumnWidth(1), test::ByteWidth("sender") + 16);
}
