#pragma once
// Draws the rows of a marking list: whole rows, highlight for every marked row, the row
// colour, fitted texts with their insets and the dotted column separators.

#include "table/FitText.h"

#include <QAbstractItemDelegate>
#include <QRect>
#include <vector>

class QPainter;

namespace palaverly {

class CMarkList;

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
        int row = 0;
        QRect bounds;          // the whole row
        bool hasFocus = false; // the list holds the keyboard focus
        QRect clip;            // the part of the viewport being painted
    };

    CMarkListDelegate(const CMarkList& list, TextWidthFn measure, QObject* parent = nullptr);

    /// Paints one row and every column of it that meets the clip rectangle. Returns the number
    /// of columns drawn (column 0 included), which tells a test what the clip spared.
    int DrawItem(QPainter& painter, const QPalette& palette, const RowState& state,
                 const std::vector<ColumnSpan>& columns) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    /// 0x00BBGGRR or -1 (the palette's text colour) as the colour to draw with.
    static QColor RowColour(int colour, const QPalette& palette);

private:
    void DrawCell(QPainter& painter, const QRect& rect, std::string_view text, int margin,
                  int inset) const;

    const CMarkList& m_list;
    TextWidthFn m_measure;
};

} // namespace palaverly
