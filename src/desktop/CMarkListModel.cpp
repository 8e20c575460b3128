#include "desktop/CMarkListModel.h"

#include "qtsupport/QtText.h"

#include <utility>

namespace palaverly {

CMarkListModel::CMarkListModel(const CMarkList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_shownRows(list.RowCount()) {
    m_list.AddObserver(this);
}

CMarkListModel::~CMarkListModel() {
    m_list.RemoveObserver(this);
}

int CMarkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int CMarkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.ColumnCount();
}

QVariant CMarkListModel::data(const QModelIndex& index, int role) const {
    // Rows the views still show but the list has dropped already read as empty.
    const int row = index.isValid() ? index.row() - m_hiddenTop : -1;
    if (row < 0 || row >= m_list.RowCount())
        return {};
    const std::string& text = m_list.Text(row, index.column());
    switch (role) {
    case Qt::DisplayRole:
        return FromCp932(text);
    case kRawTextRole:
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    case Qt::ForegroundRole: {
        // -1 is the text colour of the moment: the view's palette supplies it.
        const std::int32_t colour = m_list.Colour(row);
        return colour < 0 ? QVariant() : QVariant(FromColorRef(colour));
    }
    case kColourRole:
        return static_cast<int>(m_list.Colour(row));
    case kFocusedRole:
        return m_list.IsFocused(row);
    default:
        return {};
    }
}

QVariant CMarkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_list.ColumnCount())
        return {};
    if (role == Qt::DisplayRole)
        return FromCp932(m_list.ColumnTitle(section));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags CMarkListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CMarkListModel::CatchUp() {
    // A view that answers the announcement by changing the list (its focused row) must not
    // make us announce the same rows twice.
    if (m_catchingUp)
        return;
    const bool was = std::exchange(m_catchingUp, true);
    if (m_hiddenTop > 0) {
        beginRemoveRows({}, 0, m_hiddenTop - 1);
        m_shownRows -= m_hiddenTop;
        m_hiddenTop = 0;
        endRemoveRows();
    }
    if (m_pendingAppend > 0) {
        beginInsertRows({}, m_shownRows, m_shownRows + m_pendingAppend - 1);
        m_shownRows += m_pendingAppend;
        m_pendingAppend = 0;
        endInsertRows();
    }
    m_catchingUp = was;
}

void CMarkListModel::OnBatchBegin() {
    m_batching = true;
}

void CMarkListModel::OnBatchEnd() {
    CatchUp();
    m_batching = false;
    if (std::exchange(m_pendingVisible, false) && m_list.RowCount() > 0)
        emit EnsureVisible(m_list.RowCount() - 1);
}

void CMarkListModel::OnColumnAboutToBeInserted(int column) {
    CatchUp();
    beginInsertColumns({}, column, column);
}

void CMarkListModel::OnColumnInserted(int column) {
    endInsertColumns();
    emit ColumnWidthChanged(column, m_list.ColumnWidth(column));
}

void CMarkListModel::OnColumnWidthChanged(int column) {
    emit ColumnWidthChanged(column, m_list.ColumnWidth(column));
}

void CMarkListModel::OnRowAboutToBeInserted(int row) {
    // A row below the last one waits for the end of the batch; anything else first lets the
    // views catch up, so that they never see the list out of step with what they know.
    m_deferring = m_batching && row == m_list.RowCount();
    if (m_deferring)
        return;
    CatchUp();
    beginInsertRows({}, row, row);
}

void CMarkListModel::OnRowInserted(int /*row*/) {
    if (std::exchange(m_deferring, false)) {
        ++m_pendingAppend;
        return;
    }
    m_shownRows = m_list.RowCount();
    endInsertRows();
}

void CMarkListModel::OnRowChanged(int row) {
    CatchUp();
    emit dataChanged(index(row, 0), index(row, std::max(0, m_list.ColumnCount() - 1)));
}

void CMarkListModel::OnRowAboutToBeRemoved(int row) {
    m_deferring = m_batching && row == 0;
    if (m_deferring)
        return;
    CatchUp();
    beginRemoveRows({}, row, row);
}

void CMarkListModel::OnRowRemoved(int /*row*/) {
    if (std::exchange(m_deferring, false)) {
        // The top row is one the views know, or else one of those still waiting.
        if (m_hiddenTop < m_shownRows)
            ++m_hiddenTop;
        else
            --m_pendingAppend;
        return;
    }
    m_shownRows = m_list.RowCount();
    endRemoveRows();
}

void CMarkListModel::OnAllRowsAboutToBeRemoved() {
    CatchUp();
    beginResetModel();
}

void CMarkListModel::OnAllRowsRemoved() {
    m_shownRows = 0;
    endResetModel();
}

void CMarkListModel::OnMarkChanged(int row) {
    CatchUp();
    emit MarkChanged(row);
}

void CMarkListModel::OnEnsureVisible(int row) {
    if (m_batching && row == m_list.RowCount() - 1) {
        m_pendingVisible = true;
        return;
    }
    CatchUp();
    emit EnsureVisible(row);
}

} // namespace palaverly
