#pragma once
// The report list of the roster and the chat log: a view over a CMarkList whose selection is
// the list's marks, drawn row by row by CMarkListDelegate.

#include "desktop/CMarkListDelegate.h"
#include "desktop/CMarkListModel.h"

#include <QTreeView>
#include <functional>

namespace palaverly {

class CMarkListCtrl : public QTreeView {
    Q_OBJECT
public:
    /// `controlId` is what the right-click request carries (1031 chat log, 1032 roster);
    /// `list` is read only, every change goes through the `edits` its owner handed out.
    CMarkListCtrl(const CMarkList& list, CMarkListEdits edits, int controlId,
                  bool multipleSelection, TextWidthFn measure, QWidget* parent = nullptr);
    /// A view that changes `list` itself.
    CMarkListCtrl(CMarkList& list, int controlId, bool multipleSelection, TextWidthFn measure,
                  QWidget* parent = nullptr);

    int ControlId() const { return m_controlId; }
    CMarkListModel& Model() { return m_model; }
    CMarkListDelegate& Delegate() { return m_delegate; }
    /// Columns drawn by the last paint of a row (for tests of the clipping).
    int LastColumnsDrawn() const { return m_lastColumnsDrawn; }

signals:
    /// A right click: the list's id and its first marked row (-1 when none), queued to the
    /// window so that it is handled after the click itself.
    void RowClicked(int controlId, int firstMarked);
    /// Anything the user or the program does in the list (the window's activity signal).
    void Activity();

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void SyncRowFromList(int row);
    void SyncRowsFromList(int first, int last);
    void ScheduleEnsureVisible(int row);

    const CMarkList& m_list;
    CMarkListEdits m_edits;
    int m_controlId;
    CMarkListModel m_model;
    CMarkListDelegate m_delegate;
    bool m_syncing = false; // a selection change that mirrors the list, not the user
    int m_pendingVisibleRow = -1;
    bool m_follow = true;  // the view is at the bottom: new rows are scrolled to
    int m_keepTopRow = -1; // the row to keep on top while rows above it are dropped
    bool m_autoScrollHeld = false;
    QRect m_paintClip;
    mutable int m_lastColumnsDrawn = 0;
};

} // namespace palaverly
