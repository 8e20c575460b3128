#include "desktop/CMarkListDelegate.h"

#include "table/CMarkList.h"
#include "text/Cp932.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

namespace palaverly {
namespace {

constexpr int kColumn0Margin = 4;
constexpr int kColumn0Inset = 2;
constexpr int kColumnMargin = 12;
constexpr int kColumnInset = 6;

} // namespace

CMarkListDelegate::CMarkListDelegate(const CMarkList& list, TextWidthFn measure, QObject* parent)
    : QAbstractItemDelegate(parent), m_list(list), m_measure(std::move(measure)) {}

QColor CMarkListDelegate::RowColour(int colour, const QPalette& palette) {
    if (colour < 0)
        return palette.color(QPalette::Active, QPalette::Text);
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void CMarkListDelegate::DrawCell(QPainter& painter, const QRect& rect, std::string_view text,
                                 int margin, int inset) const {
    std::string fitted = FitText(text, rect.width(), margin, m_measure);
    QRect inner = rect.adjusted(inset, 0, -inset, 0);
    // Plain text only: a handle or message never becomes markup or a mnemonic.
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromStdString(cp932::ToUtf8(fitted)));
}

int CMarkListDelegate::DrawItem(QPainter& painter, const QPalette& palette, const RowState& state,
                                const std::vector<ColumnSpan>& columns) const {
    const int row = state.row;
    // Marked rows stay highlighted without the focus: the marks are the chosen receivers.
    const bool highlighted = m_list.IsMarked(row) != 0;
    painter.save();
    painter.setClipRect(state.bounds.intersected(state.clip.isValid() ? state.clip : state.bounds));
    if (highlighted) {
        painter.fillRect(state.bounds, palette.color(QPalette::Active, QPalette::Highlight));
        painter.setPen(palette.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        painter.fillRect(state.bounds, Qt::white);
        painter.setPen(RowColour(m_list.Colour(row), palette));
    }

    int drawn = 0;
    if (!columns.empty()) {
        QRect label(columns[0].left, state.bounds.top(), columns[0].width, state.bounds.height());
        DrawCell(painter, label, m_list.Text(row, 0), kColumn0Margin, kColumn0Inset);
        ++drawn;
    }
    const QPen textPen = painter.pen();
    QPen separator(QColor(128, 128, 128));
    separator.setStyle(Qt::DotLine);
    separator.setWidth(1);
    const QRect clip = state.clip.isValid() ? state.clip : state.bounds;
    for (std::size_t c = 1; c < columns.size(); ++c) {
        QRect rect(columns[c].left, state.bounds.top(), columns[c].width, state.bounds.height());
        if (rect.left() > clip.right() || rect.right() < clip.left())
            continue;
        painter.setPen(separator);
        painter.drawLine(rect.left() - 1, rect.top(), rect.left() - 1, rect.bottom());
        painter.setPen(textPen);
        DrawCell(painter, rect, m_list.Text(row, static_cast<int>(c)), kColumnMargin, kColumnInset);
        ++drawn;
    }
    if (highlighted && m_list.IsFocused(row) && state.hasFocus) {
        painter.setPen(
            QPen(palette.color(QPalette::Active, QPalette::HighlightedText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(state.bounds.adjusted(0, 0, -1, -1));
    }
    painter.restore();
    return drawn;
}

void CMarkListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    // A single cell drawn outside the view's row drawing (a drag image, for one) looks the same.
    const int row = index.row();
    const int column = index.column();
    painter->save();
    if (m_list.IsMarked(row)) {
        painter->fillRect(option.rect, option.palette.color(QPalette::Active, QPalette::Highlight));
        painter->setPen(option.palette.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        painter->fillRect(option.rect, Qt::white);
        painter->setPen(RowColour(m_list.Colour(row), option.palette));
    }
    DrawCell(*painter, option.rect, m_list.Text(row, column),
             column == 0 ? kColumn0Margin : kColumnMargin,
             column == 0 ? kColumn0Inset : kColumnInset);
    painter->restore();
}

QSize CMarkListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {0, option.fontMetrics.height() + 2};
}

} // namespace palaverly
