#pragma once
// The row table behind the roster and chat log views: column texts, a colour and a mark per row.

#include "table/FitText.h"
#include "table/IMarkListObserver.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace palaverly {

/// Rows of column texts with a row colour (-1: the system window-text colour at drawing time,
/// otherwise 0x00BBGGRR), a mark (the selected state) and a focused state. A sorted list keeps
/// its rows in ascending order of the column-0 text; a single-selection list has at most one
/// marked row. Views follow the table through IMarkListObserver.
class CMarkList {
public:
    enum class Order { Unsorted, Sorted };
    enum class Selection { Single, Multiple };

    /// Result of SetMark and DeleteRow for a row that does not exist.
    static constexpr int kNoSuchRow = 8;

    /// `measure` gives the pixel width of a text in the view's font (for column widening).
    CMarkList(Order order, Selection selection, TextWidthFn measure);

    CMarkList(const CMarkList&) = delete;
    CMarkList& operator=(const CMarkList&) = delete;

    /// Observers are not owned; remove one before it is destroyed.
    void AddObserver(IMarkListObserver* observer) const;
    void RemoveObserver(IMarkListObserver* observer) const;

    /// Appends a column; returns its index.
    int InsertColumn(std::string title, int width);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    /// Empty for a column that does not exist.
    const std::string& ColumnTitle(int column) const;
    /// 0 for a column that does not exist.
    int ColumnWidth(int column) const;
    /// Sets the width (narrowing included); ignored for a column that does not exist.
    void SetColumnWidth(int column, int width);

    /// Adds a row below the last one, or in a sorted list after every row whose column-0 text
    /// does not sort after texts[0]. Widens each column whose text needs more than its width
    /// (text width + 16). Returns the row's index.
    int InsertRow(std::vector<std::string> texts, std::int32_t colour);
    /// Replaces the texts of a row, keeping its colour and mark, and widens columns. In a
    /// sorted list a changed column-0 text moves the row to its sorted place. Returns the row's
    /// index afterwards, or -1 when the row does not exist.
    int UpdateRow(int row, std::vector<std::string> texts);
    /// 0, or kNoSuchRow.
    int DeleteRow(int row);
    void DeleteAllRows();
    /// Deletes the top row when `limit` > 0 and the list holds more than `limit` rows (at most
    /// one row per call). Returns 0.
    int TrimRows(int limit);

    /// Brackets a run of changes for the observers (OnBatchBegin / OnBatchEnd); nested calls
    /// count, only the outermost pair is passed on.
    void BeginBatch();
    void EndBatch();

    /// 1 when the row is marked, else 0 (also for a row that does not exist).
    int IsMarked(int row) const;
    /// Marks (`on`) or unmarks the row and clears its focused state; in a single-selection
    /// list marking a row unmarks every other. `redraw` is kept for callers that ask for an
    /// explicit repaint: observers hear of every change regardless. 0, or kNoSuchRow.
    int SetMark(int row, bool on, bool redraw);
    int CountMarks() const { return m_markCount; }
    /// The first marked row from the top, or -1.
    int FirstMarked() const;

    /// Gives the row the focused state (and takes it from every other row); -1 clears it.
    void SetFocusedRow(int row);
    /// True when the row has the focused state (a view draws a focus rectangle only for it).
    bool IsFocused(int row) const;

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    /// Empty for a cell that does not exist.
    const std::string& Text(int row, int column) const;
    /// The row's colour; -1 for a row that does not exist.
    std::int32_t Colour(int row) const;

private:
    struct Row {
        std::vector<std::string> texts;
        std::int32_t colour = -1;
        bool marked = false;
        bool focused = false;
    };
    struct Column {
        std::string title;
        int width = 0;
    };

    bool Exists(int row) const { return row >= 0 && row < RowCount(); }
    std::size_t SortedPlace(std::string_view key) const;
    void WidenColumns(const std::vector<std::string>& texts);
    int PlaceRow(std::size_t at, Row row);
    void RemoveRow(std::size_t at);

    template <typename F> void Notify(F&& f) {
        for (IMarkListObserver* o : m_observers)
            f(*o);
    }

    Order m_order;
    Selection m_selection;
    TextWidthFn m_measure;
    std::vector<Column> m_columns;
    std::deque<Row> m_rows; // the chat log drops its top row at every insert once full
    int m_batchDepth = 0;
    int m_markCount = 0;
    mutable std::vector<IMarkListObserver*> m_observers; // watching changes nothing
};

/// What a view may change in a list that its owner keeps: the user's marks, the focused row and
/// the column widths. The owner hands it out; the view holds nothing else that writes.
class CMarkListEdits {
public:
    explicit CMarkListEdits(CMarkList& list) : m_list(&list) {}

    /// The view already shows the selection; redrawing it again would only flicker.
    void SetMark(int row, bool marked) { m_list->SetMark(row, marked, false); }
    void SetFocusedRow(int row) { m_list->SetFocusedRow(row); }
    void SetColumnWidth(int column, int width) { m_list->SetColumnWidth(column, width); }

private:
    CMarkList* m_list;
};

/// The column-0 order of a sorted list: ASCII letters compare without case, every other byte
/// by its value; a double-byte character is compared as it is (its trail byte is never folded).
/// Negative, 0 or positive.
int CompareRowKeys(std::string_view a, std::string_view b);

} // namespace palaverly
