#pragma once
// The rows of the log search: a thin table over a vector of hits (a year of them makes no item
// per row; each cell is converted to text when a view asks for it). The same model shows the
// lines around a chosen hit, one of them emphasised.

#include "station/CLogSearch.h"

#include <QAbstractTableModel>
#include <vector>

namespace palaverly {

class CLogLineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kDay, kTime, kSender, kReceiver, kKind, kContent, kColumnCount };

    explicit CLogLineModel(QObject* parent = nullptr);

    /// Replaces every row; `emphasised` (a row index, or -1) is drawn bold.
    void SetRows(std::vector<LogSearchHit> rows, int emphasised = -1);
    void Clear() { SetRows({}); }
    const std::vector<LogSearchHit>& Rows() const { return m_rows; }
    int Emphasised() const { return m_emphasised; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<LogSearchHit> m_rows;
    int m_emphasised = -1;
};

} // namespace palaverly
