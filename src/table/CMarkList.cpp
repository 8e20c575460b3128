#include "table/CMarkList.h"

#include "text/Cp932.h"

#include <algorithm>
#include <utility>

namespace palaverly {
namespace {

// Columns are widened by this much beyond the text so that the cell margins still fit.
constexpr int kColumnPadding = 16;

const std::string kEmpty;

unsigned char Folded(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

int CompareRowKeys(std::string_view a, std::string_view b) {
    // Each side tracks its own character boundaries: only a single-byte character is folded.
    bool trailA = false;
    bool trailB = false;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        unsigned char fa = trailA ? ca : Folded(ca);
        unsigned char fb = trailB ? cb : Folded(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        trailA = !trailA && cp932::IsLeadByte(ca);
        trailB = !trailB && cp932::IsLeadByte(cb);
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

CMarkList::CMarkList(Order order, Selection selection, TextWidthFn measure)
    : m_order(order), m_selection(selection), m_measure(std::move(measure)) {}

void CMarkList::AddObserver(IMarkListObserver* observer) const {
    if (observer &&
        std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void CMarkList::RemoveObserver(IMarkListObserver* observer) const {
    std::erase(m_observers, observer);
}

int CMarkList::InsertColumn(std::string title, int width) {
    const int column = ColumnCount();
    Notify([&](IMarkListObserver& o) { o.OnColumnAboutToBeInserted(column); });
    m_columns.push_back(Column{std::move(title), width});
    Notify([&](IMarkListObserver& o) { o.OnColumnInserted(column); });
    return column;
}

const std::string& CMarkList::ColumnTitle(int column) const {
    return column >= 0 && column < ColumnCount() ? m_columns[column].title : kEmpty;
}

int CMarkList::ColumnWidth(int column) const {
    return column >= 0 && column < ColumnCount() ? m_columns[column].width : 0;
}

void CMarkList::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= ColumnCount() || m_columns[column].width == width)
        return;
    m_columns[column].width = width;
    Notify([&](IMarkListObserver& o) { o.OnColumnWidthChanged(column); });
}

void CMarkList::WidenColumns(const std::vector<std::string>& texts) {
    const std::size_t n = std::min(texts.size(), m_columns.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int needed = (m_measure ? m_measure(texts[i]) : 0) + kColumnPadding;
        if (m_columns[i].width < needed)
            SetColumnWidth(static_cast<int>(i), needed);
    }
}

std::size_t CMarkList::SortedPlace(std::string_view key) const {
    // Equal keys go after the rows already listed, as the platform's sorted list does.
    auto it =
        std::upper_bound(m_rows.begin(), m_rows.end(), key, [](std::string_view k, const Row& row) {
            return CompareRowKeys(k, row.texts.empty() ? std::string_view{} : row.texts[0]) < 0;
        });
    return static_cast<std::size_t>(it - m_rows.begin());
}

int CMarkList::PlaceRow(std::size_t at, Row row) {
    const int index = static_cast<int>(at);
    const bool marked = row.marked;
    Notify([&](IMarkListObserver& o) { o.OnRowAboutToBeInserted(index); });
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    if (marked)
        ++m_markCount;
    Notify([&](IMarkListObserver& o) { o.OnRowInserted(index); });
    return index;
}

void CMarkList::RemoveRow(std::size_t at) {
    const int index = static_cast<int>(at);
    Notify([&](IMarkListObserver& o) { o.OnRowAboutToBeRemoved(index); });
    if (m_rows[at].marked)
        --m_markCount;
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(at));
    Notify([&](IMarkListObserver& o) { o.OnRowRemoved(index); });
}

int CMarkList::InsertRow(std::vector<std::string> texts, std::int32_t colour) {
    WidenColumns(texts);
    std::size_t at = m_rows.size();
    if (m_order == Order::Sorted)
        at = SortedPlace(texts.empty() ? std::string_view{} : texts[0]);
    const int row = PlaceRow(at, Row{std::move(texts), colour});
    Notify([&](IMarkListObserver& o) { o.OnEnsureVisible(row); });
    return row;
}

int CMarkList::UpdateRow(int row, std::vector<std::string> texts) {
    if (!Exists(row))
        return -1;
    WidenColumns(texts);
    Row& current = m_rows[row];
    const bool keyChanged = m_order == Order::Sorted &&
                            (current.texts.empty() ? std::string_view{} : current.texts[0]) !=
                                (texts.empty() ? std::string_view{} : texts[0]);
    if (!keyChanged) {
        current.texts = std::move(texts);
        Notify([&](IMarkListObserver& o) { o.OnRowChanged(row); });
        return row;
    }
    // A new handle takes the row to its sorted place, so that later inserts still find theirs.
    Row moved = std::move(current);
    moved.texts = std::move(texts);
    RemoveRow(static_cast<std::size_t>(row));
    const std::size_t at = SortedPlace(moved.texts.empty() ? std::string_view{} : moved.texts[0]);
    return PlaceRow(at, std::move(moved));
}

int CMarkList::DeleteRow(int row) {
    if (!Exists(row))
        return kNoSuchRow;
    RemoveRow(static_cast<std::size_t>(row));
    return 0;
}

void CMarkList::DeleteAllRows() {
    if (m_rows.empty())
        return;
    Notify([](IMarkListObserver& o) { o.OnAllRowsAboutToBeRemoved(); });
    m_rows.clear();
    m_markCount = 0;
    Notify([](IMarkListObserver& o) { o.OnAllRowsRemoved(); });
}

int CMarkList::TrimRows(int limit) {
    if (limit > 0 && RowCount() > limit)
        RemoveRow(0);
    return 0;
}

void CMarkList::BeginBatch() {
    if (m_batchDepth++ == 0)
        Notify([](IMarkListObserver& o) { o.OnBatchBegin(); });
}

void CMarkList::EndBatch() {
    if (m_batchDepth > 0 && --m_batchDepth == 0)
        Notify([](IMarkListObserver& o) { o.OnBatchEnd(); });
}

int CMarkList::IsMarked(int row) const {
    return Exists(row) && m_rows[row].marked ? 1 : 0;
}

int CMarkList::SetMark(int row, bool on, bool /*redraw*/) {
    if (!Exists(row))
        return kNoSuchRow;
    if (on && m_selection == Selection::Single && m_markCount > 0) {
        for (int r = 0; r < RowCount() && m_markCount > 0; ++r) {
            if (r != row && m_rows[r].marked) {
                m_rows[r].marked = false;
                --m_markCount;
                Notify([&](IMarkListObserver& o) { o.OnMarkChanged(r); });
            }
        }
    }
    Row& target = m_rows[row];
    const bool changed = target.marked != on || target.focused;
    if (target.marked != on)
        m_markCount += on ? 1 : -1;
    target.marked = on;
    // The whole state word is replaced, so the focused state goes too.
    target.focused = false;
    if (changed)
        Notify([&](IMarkListObserver& o) { o.OnMarkChanged(row); });
    return 0;
}

int CMarkList::FirstMarked() const {
    if (m_markCount == 0)
        return -1;
    for (int r = 0; r < RowCount(); ++r)
        if (m_rows[r].marked)
            return r;
    return -1;
}

void CMarkList::SetFocusedRow(int row) {
    for (int r = 0; r < RowCount(); ++r) {
        const bool focused = r == row;
        if (m_rows[r].focused != focused) {
            m_rows[r].focused = focused;
            Notify([&](IMarkListObserver& o) { o.OnMarkChanged(r); });
        }
    }
}

bool CMarkList::IsFocused(int row) const {
    return Exists(row) && m_rows[row].focused;
}

const std::string& CMarkList::Text(int row, int column) const {
    if (!Exists(row) || column < 0 || static_cast<std::size_t>(column) >= m_rows[row].texts.size())
        return kEmpty;
    return m_rows[row].texts[column];
}

std::int32_t CMarkList::Colour(int row) const {
    return Exists(row) ? m_rows[row].colour : -1;
}

} // namespace palaverly
