#pragma once
// A thin item model over a CMarkList: it reads the table and forwards its notifications.

#include "table/CMarkList.h"

#include <QAbstractTableModel>

namespace palaverly {

class CMarkListModel : public QAbstractTableModel, private IMarkListObserver {
    Q_OBJECT
public:
    /// The row's CP932 text of the column (a QByteArray), for drawing with FitText.
    static constexpr int kRawTextRole = Qt::UserRole + 1;
    /// The row colour as stored: -1 or 0x00BBGGRR (an int).
    static constexpr int kColourRole = Qt::UserRole + 2;
    /// The row's focused state (a bool): the one row a focus rectangle may be drawn around.
    static constexpr int kFocusedRole = Qt::UserRole + 3;

    explicit CMarkListModel(const CMarkList& list, QObject* parent = nullptr);
    ~CMarkListModel() override;

    const CMarkList& List() const { return m_list; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void ColumnWidthChanged(int column, int width);
    void MarkChanged(int row);
    void EnsureVisible(int row);

private:
    void OnColumnAboutToBeInserted(int column) override;
    void OnColumnInserted(int column) override;
    void OnColumnWidthChanged(int column) override;
    void OnRowAboutToBeInserted(int row) override;
    void OnRowInserted(int row) override;
    void OnRowChanged(int row) override;
    void OnRowAboutToBeRemoved(int row) override;
    void OnRowRemoved(int row) override;
    void OnAllRowsAboutToBeRemoved() override;
    void OnAllRowsRemoved() override;
    void OnMarkChanged(int row) override;
    void OnEnsureVisible(int row) override;
    void OnBatchBegin() override;
    void OnBatchEnd() override;
    /// Announces the rows a batch held back: the top rows removed, then the rows appended.
    void CatchUp();

    const CMarkList& m_list;
    // What the views know: m_shownRows rows, of which the top m_hiddenTop are gone from the
    // list already and below which m_pendingAppend rows wait to be announced (in a batch).
    int m_shownRows = 0;
    int m_hiddenTop = 0;
    int m_pendingAppend = 0;
    bool m_batching = false;
    bool m_deferring = false;      // the insert or removal under way is held back
    bool m_pendingVisible = false; // the last row should be shown at the end of the batch
    bool m_catchingUp = false;
};

} // namespace palaverly
