#include "desktop/CMarkListModel.h"

#include "qtsupport/QtText.h"

namespace palaverly {

CMarkListModel::CMarkListModel(const CMarkList& list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list) {
    m_list.AddObserver(this);
}

CMarkListModel::~CMarkListModel() {
    m_list.RemoveObserver(this);
}

int CMarkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.RowCount();
}

int CMarkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.ColumnCount();
}

QVariant CMarkListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_list.RowCount())
        return {};
    const std::string& text = m_list.Text(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return FromCp932(text);
    case kRawTextRole:
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    case Qt::ForegroundRole: {
        // -1 is the text colour of the moment: the view's palette supplies it.
        const std::int32_t colour = m_list.Colour(index.row());
        return colour < 0 ? QVariant() : QVariant(FromColorRef(colour));
    }
    case kColourRole:
        return static_cast<int>(m_list.Colour(index.row()));
    case kFocusedRole:
        return m_list.IsFocused(index.row());
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

void CMarkListModel::OnColumnAboutToBeInserted(int column) {
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
    beginInsertRows({}, row, row);
}

void CMarkListModel::OnRowInserted(int /*row*/) {
    endInsertRows();
}

void CMarkListModel::OnRowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, std::max(0, m_list.ColumnCount() - 1)));
}

void CMarkListModel::OnRowAboutToBeRemoved(int row) {
    beginRemoveRows({}, row, row);
}

void CMarkListModel::OnRowRemoved(int /*row*/) {
    endRemoveRows();
}

void CMarkListModel::OnAllRowsAboutToBeRemoved() {
    beginResetModel();
}

void CMarkListModel::OnAllRowsRemoved() {
    endResetModel();
}

void CMarkListModel::OnMarkChanged(int row) {
    emit MarkChanged(row);
}

void CMarkListModel::OnEnsureVisible(int row) {
    emit EnsureVisible(row);
}

} // namespace palaverly
