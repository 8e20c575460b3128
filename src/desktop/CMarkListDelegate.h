#pragma once
// Draws the rows of a marking list from its model: whole rows, highlight for every marked
// (selected) row, the row colour, fitted texts with their insets and the dotted column
// separators, on the view's palette.

#include "table/FitText.h"

#include <QAbstractItemDelegate>
#include <QModelIndex>
#include <QRect>
#include <vector>

class QPainter;
class QPalette;

namespace palaverly {

class CMarkListDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    /// Where one column of the row lies on screen (the header's section geometry).
    struct ColumnSpan {
        int left = 0;
        int width = 0;
    };
    /// What the view knows about one row when it is drawn.
    struct RowState {
        QModelIndex index;     // any cell of the row
        QRect bounds;          // the whole row
        bool selected = false; // the view's selection, which is the row's mark
        bool hasFocus = false; // the list holds the keyboard focus
        bool alternate = false;
        QRect clip; // the part of the viewport being painted
    };

    explicit CMarkListDelegate(TextWidthFn measure, QObject* parent = nullptr);

    /// Paints one row and every column of it that meets the clip rectangle. Returns the number
    /// of columns drawn (column 0 included), which tells a test what the clip spared.
    int DrawItem(QPainter& painter, const QPalette& palette, const RowState& state,
                 const std::vector<ColumnSpan>& columns) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    /// Fills the row's background and sets the pen of its texts.
    static void PaintBackground(QPainter& painter, const QPalette& palette, const QRect& rect,
                                const QModelIndex& index, bool selected, bool alternate);
    void DrawCell(QPainter& painter, const QRect& rect, const QModelIndex& cell, int margin,
                  int inset) const;

    TextWidthFn m_measure;
};

} // namespace palaverly
