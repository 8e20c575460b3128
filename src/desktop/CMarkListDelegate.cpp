#include "desktop/CMarkListDelegate.h"

#include "desktop/CMarkListModel.h"
#include "qtsupport/QtText.h"
#include "qtsupport/ReadableColour.h"

#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QStyleOptionViewItem>

namespace palaverly {
namespace {

constexpr int kColumn0Margin = 4;
constexpr int kColumn0Inset = 2;
constexpr int kColumnMargin = 12;
constexpr int kColumnInset = 6;

} // namespace

CMarkListDelegate::CMarkListDelegate(TextWidthFn measure, QObject* parent)
    : QAbstractItemDelegate(parent), m_measure(std::move(measure)) {}

void CMarkListDelegate::PaintBackground(QPainter& painter, const QPalette& palette,
                                        const QRect& rect, const QModelIndex& index, bool selected,
                                        bool alternate) {
    // Marked rows stay highlighted without the focus: the marks are the chosen receivers.
    if (selected) {
        painter.fillRect(rect, palette.color(QPalette::Active, QPalette::Highlight));
        painter.setPen(palette.color(QPalette::Active, QPalette::HighlightedText));
        return;
    }
    const QColor background =
        palette.color(QPalette::Active, alternate ? QPalette::AlternateBase : QPalette::Base);
    painter.fillRect(rect, background);
    // A row without a colour of its own takes the text colour of the moment. Stored colours
    // were chosen for white: on a dark palette they are lightened as drawn, never stored.
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter.setPen(ReadableOn(foreground.isValid()
                                  ? foreground.value<QColor>()
                                  : palette.color(QPalette::Active, QPalette::Text),
                              background));
}

void CMarkListDelegate::DrawCell(QPainter& painter, const QRect& rect, const QModelIndex& cell,
                                 int margin, int inset) const {
    // Fitted in CP932 characters, so that "..." never replaces half of a double-byte one.
    const std::string text = ToCp932Lossy(cell.data(Qt::DisplayRole).toString());
    const std::string fitted = FitText(text, rect.width(), margin, m_measure);
    const QRect inner = rect.adjusted(inset, 0, -inset, 0);
    // Plain text only: a handle or message never becomes markup or a mnemonic.
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     FromCp932(fitted));
}

int CMarkListDelegate::DrawItem(QPainter& painter, const QPalette& palette, const RowState& state,
                                const std::vector<ColumnSpan>& columns) const {
    const QModelIndex row = state.index.siblingAtColumn(0);
    painter.save();
    const QRect clip = state.clip.isValid() ? state.clip : state.bounds;
    painter.setClipRect(state.bounds.intersected(clip));
    PaintBackground(painter, palette, state.bounds, row, state.selected, state.alternate);

    int drawn = 0;
    if (!columns.empty()) {
        QRect label(columns[0].left, state.bounds.top(), columns[0].width, state.bounds.height());
        DrawCell(painter, label, row, kColumn0Margin, kColumn0Inset);
        ++drawn;
    }
    const QPen textPen = painter.pen();
    QPen separator(QColor(128, 128, 128));
    separator.setStyle(Qt::DotLine);
    separator.setWidth(1);
    for (std::size_t c = 1; c < columns.size(); ++c) {
        QRect rect(columns[c].left, state.bounds.top(), columns[c].width, state.bounds.height());
        if (rect.left() > clip.right() || rect.right() < clip.left())
            continue;
        painter.setPen(separator);
        painter.drawLine(rect.left() - 1, rect.top(), rect.left() - 1, rect.bottom());
        painter.setPen(textPen);
        DrawCell(painter, rect, row.siblingAtColumn(static_cast<int>(c)), kColumnMargin,
                 kColumnInset);
        ++drawn;
    }
    if (state.selected && state.hasFocus && row.data(CMarkListModel::kFocusedRole).toBool()) {
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
    painter->save();
    PaintBackground(*painter, option.palette, option.rect, index,
                    option.state.testFlag(QStyle::State_Selected),
                    option.features.testFlag(QStyleOptionViewItem::Alternate));
    const bool first = index.column() == 0;
    DrawCell(*painter, option.rect, index, first ? kColumn0Margin : kColumnMargin,
             first ? kColumn0Inset : kColumnInset);
    painter->restore();
}

QSize CMarkListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {0, option.fontMetrics.height() + 2};
}

} // namespace palaverly
