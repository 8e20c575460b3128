#include "desktop/CMarkListCtrl.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTimer>
#include <utility>

namespace palaverly {

namespace {

// The column titles are drawn in the header's own font, but Qt measures them in bold: with a
// CJK font that maps a second face of several MB, on the first layout already, for a size the
// titles never take. They are measured as they are drawn.
class CMarkListHeader : public QHeaderView {
public:
    explicit CMarkListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override {
        ensurePolished();
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = logicalIndex;
        option.fontMetrics = fontMetrics();
        if (model())
            option.text = model()->headerData(logicalIndex, orientation()).toString();
        return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    }
};

} // namespace

CMarkListCtrl::CMarkListCtrl(CMarkList& list, int controlId, bool multipleSelection,
                             TextWidthFn measure, QWidget* parent)
    : CMarkListCtrl(list, CMarkListEdits(list), controlId, multipleSelection, std::move(measure),
                    parent) {}

CMarkListCtrl::CMarkListCtrl(const CMarkList& list, CMarkListEdits edits, int controlId,
                             bool multipleSelection, TextWidthFn measure, QWidget* parent)
    : QTreeView(parent), m_list(list), m_edits(edits), m_controlId(controlId), m_model(list),
      m_delegate(std::move(measure)) {
    setHeader(new CMarkListHeader(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // Fixed row heights keep 100,000 rows cheap: no per-row measuring or layout.
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(multipleSelection ? ExtendedSelection : SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(&m_delegate);
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                // Rows dropped above what the user reads must not move the text under his
                // eyes: the view keeps its top row, now as many rows higher up. Connected
                // before the view's own handling, which may scroll to a new current row.
                const int top = verticalScrollMode() == ScrollPerItem ? verticalScrollBar()->value()
                                                                      : indexAt(QPoint(1, 1)).row();
                if (!m_follow && first == 0 && top > last)
                    m_keepTopRow = top - (last + 1);
                // A current row among those dropped moves to the next one, and the view
                // would scroll there; dropping old rows is no reason to move.
                const int current = currentIndex().row();
                if (hasAutoScroll() && current >= first && current <= last) {
                    setAutoScroll(false);
                    m_autoScrollHeld = true;
                }
            });
    setModel(&m_model);
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setMinimumSectionSize(1);

    connect(&m_model, &CMarkListModel::ColumnWidthChanged, this, [this](int column, int width) {
        const bool was = std::exchange(m_syncing, true);
        header()->resizeSection(column, width);
        m_syncing = was;
    });
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!m_syncing && m_list.ColumnWidth(column) != width)
            m_edits.SetColumnWidth(column, width);
    });
    connect(&m_model, &CMarkListModel::MarkChanged, this, [this](int row) {
        SyncRowFromList(row);
        viewport()->update(visualRect(m_model.index(row, 0)).adjusted(-10000, 0, 10000, 0));
        emit Activity();
    });
    connect(&m_model, &CMarkListModel::EnsureVisible, this,
            [this](int row) { ScheduleEnsureVisible(row); });
    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                SyncRowsFromList(first, last);
                emit Activity();
            });
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (std::exchange(m_autoScrollHeld, false))
            setAutoScroll(true);
        if (m_keepTopRow >= 0) {
            // The view settles its scroll range after the removal: the row is put back on
            // top once that is done.
            QTimer::singleShot(0, this, [this] {
                const int row = std::exchange(m_keepTopRow, -1);
                if (row >= 0 && row < m_model.rowCount()) {
                    scrollTo(m_model.index(row, 0), PositionAtTop);
                    m_follow = false;
                }
            });
        }
        emit Activity();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { m_follow = value >= verticalScrollBar()->maximum(); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] { emit Activity(); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { emit Activity(); });
    for (int c = 0; c < m_list.ColumnCount(); ++c)
        header()->resizeSection(c, m_list.ColumnWidth(c));
}

void CMarkListCtrl::SyncRowFromList(int row) {
    if (row < 0 || row >= m_list.RowCount())
        return;
    QModelIndex index = m_model.index(row, 0);
    const bool marked = m_list.IsMarked(row) != 0;
    if (selectionModel()->isRowSelected(row, {}) == marked)
        return;
    const bool was = std::exchange(m_syncing, true);
    selectionModel()->select(
        index, (marked ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                   QItemSelectionModel::Rows);
    m_syncing = was;
}

void CMarkListCtrl::SyncRowsFromList(int first, int last) {
    for (int row = first; row <= last; ++row) {
        if (m_list.IsMarked(row))
            SyncRowFromList(row);
    }
}

void CMarkListCtrl::ScheduleEnsureVisible(int row) {
    // One scroll per burst of inserts: scrolling forces a layout, which per insert would make
    // a long reload quadratic.
    const bool scheduled = m_pendingVisibleRow >= 0;
    m_pendingVisibleRow = row;
    if (scheduled)
        return;
    QTimer::singleShot(0, this, [this] {
        int target = m_pendingVisibleRow;
        m_pendingVisibleRow = -1;
        // The last row is followed only while the view is at the bottom: a user who scrolled
        // up to read stays where he is.
        if (target == m_model.rowCount() - 1 && !m_follow)
            return;
        if (target >= 0 && target < m_model.rowCount())
            scrollTo(m_model.index(target, 0), EnsureVisible);
    });
}

void CMarkListCtrl::selectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    if (m_syncing)
        return;
    m_syncing = true;
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (!selectionModel()->isRowSelected(row, {}))
                m_edits.SetMark(row, false);
        }
    }
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            m_edits.SetMark(row, true);
    }
    // The row the user acted on keeps the focused state that marking took from it.
    if (currentIndex().isValid())
        m_edits.SetFocusedRow(currentIndex().row());
    m_syncing = false;
}

void CMarkListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (!m_syncing)
        m_edits.SetFocusedRow(current.isValid() ? current.row() : -1);
}

void CMarkListCtrl::paintEvent(QPaintEvent* event) {
    m_paintClip = event->rect();
    QTreeView::paintEvent(event);
}

void CMarkListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    std::vector<CMarkListDelegate::ColumnSpan> columns;
    const int count = header()->count();
    columns.reserve(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c)
        columns.push_back({header()->sectionViewportPosition(c), header()->sectionSize(c)});
    CMarkListDelegate::RowState state;
    state.index = index;
    // The selection is the view's picture of the marks; it follows them both ways.
    state.selected = selectionModel()->isRowSelected(index.row(), index.parent());
    state.alternate = alternatingRowColors() && (index.row() & 1) != 0;
    state.bounds = QRect(0, option.rect.top(), viewport()->width(), option.rect.height());
    if (!columns.empty())
        state.bounds.setLeft(std::min(0, columns.front().left));
    state.hasFocus = hasFocus();
    state.clip = m_paintClip.isValid() ? m_paintClip : viewport()->rect();
    m_lastColumnsDrawn = m_delegate.DrawItem(*painter, option.palette, state, columns);
}

void CMarkListCtrl::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    emit Activity();
}

void CMarkListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        const int first = m_list.FirstMarked();
        const int id = m_controlId;
        QMetaObject::invokeMethod(
            this, [this, id, first] { emit RowClicked(id, first); }, Qt::QueuedConnection);
    }
}

void CMarkListCtrl::keyPressEvent(QKeyEvent* event) {
    QTreeView::keyPressEvent(event);
    emit Activity();
}

} // namespace palaverly
