#include "desktop/CLogLineModel.h"

#include "qtsupport/QtText.h"

#include <QFont>

namespace palaverly {

CLogLineModel::CLogLineModel(QObject* parent) : QAbstractTableModel(parent) {}

void CLogLineModel::SetRows(std::vector<LogSearchHit> rows, int emphasised) {
    beginResetModel();
    m_rows = std::move(rows);
    m_emphasised =
        emphasised >= 0 && static_cast<std::size_t>(emphasised) < m_rows.size() ? emphasised : -1;
    endResetModel();
}

int CLogLineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CLogLineModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CLogLineModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::FontRole) {
        if (index.row() != m_emphasised)
            return {};
        // Only the weight is set, so the view's own font resolves everything else.
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (role == Qt::ToolTipRole && index.column() != kContent)
        return {};
    const LogSearchHit& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case kDay:
        return QString::fromStdString(CLogSearch::FormatDay(row.day));
    case kTime:
        return FromCp932(row.line.time);
    case kSender:
        return FromCp932(row.line.sender);
    case kReceiver:
        return FromCp932(row.line.receiver);
    case kKind:
        return FromCp932(row.line.kind);
    default:
        return FromCp932(row.line.content);
    }
}

QVariant CLogLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // In the order of Column.
    static const char16_t* const kTitles[kColumnCount] = {u"日付",   u"時刻", u"送信者",
                                                          u"受信者", u"種別", u"内容"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return {};
    return QString::fromUtf16(kTitles[section]);
}

} // namespace palaverly
