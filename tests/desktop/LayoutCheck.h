#pragma once
// Whether every caption of a window shows whole: each label, button, check box, radio button
// and group box measured in its own font plus what its style puts around the text, against
// its rectangle; and each control inside the group frame that holds it and inside the window.

#include "qtsupport/CTemplateLayout.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

namespace palaverly::test {

struct CaptionSpace {
    QString text;
    int need = 0; // pixels the text takes
    int room = 0; // pixels the control leaves for it
    QString edge; // what touches an edge where the first or last glyph would be cut
};

// The text of a caption control and the room its style leaves for it; nothing for others.
inline std::optional<CaptionSpace> Space(QWidget* w) {
    const QFontMetrics fm(w->font());
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QRect bound =
            fm.boundingRect(QRect(0, 0, label->wordWrap() ? label->width() : 100000, 100000),
                            Qt::TextWordWrap, label->text());
        return CaptionSpace{label->text(), bound.width(), label->contentsRect().width()};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement element = QStyle::SE_PushButtonContents;
        if (qobject_cast<QCheckBox*>(w))
            element = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<QRadioButton*>(w))
            element = QStyle::SE_RadioButtonContents;
        const QRect contents = button->style()->subElementRect(element, &option, button);
        QString text = button->text();
        text.remove('&');
        // Check boxes draw their text after a small inset inside the contents rectangle.
        const int inset = element == QStyle::SE_PushButtonContents ? 0 : 1;
        return CaptionSpace{button->text(), fm.horizontalAdvance(text) + inset, contents.width()};
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.textAlignment = group->alignment();
        const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, group);
        // The title keeps clear of the box's edges (the frame line and one pixel more): the
        // ink of a glyph drawn at the very edge of a window is cut.
        CaptionSpace space{group->title(), fm.horizontalAdvance(group->title()), title.width()};
        if (title.left() < 2 || title.right() > group->width() - 3)
            space.edge = QStringLiteral("title at %1..%2 in a box %3 px wide")
                             .arg(title.left())
                             .arg(title.right())
                             .arg(group->width());
        return space;
    }
    return std::nullopt;
}

/// Every defect of `top`'s direct children, with the measured numbers; empty when none.
inline QStringList LayoutDefects(QWidget& top, const CTemplateLayout* layout = nullptr) {
    QStringList defects;
    const QRect inside(QPoint(0, 0), top.size());
    QList<QWidget*> shown;
    for (QWidget* w : top.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisibleTo(&top) && !w->isWindow())
            shown << w;
    for (QWidget* w : shown) {
        const auto space = Space(w);
        const QString name =
            space ? space->text : QString::fromLatin1(w->metaObject()->className());
        if (!inside.contains(w->geometry()))
            defects << name + " outside the window";
        if (space && space->need > space->room) {
            QString defect = QStringLiteral("%1 needs %2 px, has %3")
                                 .arg(name)
                                 .arg(space->need)
                                 .arg(space->room);
            if (layout && !layout->TemplateRect(w).isEmpty())
                defect +=
                    QStringLiteral(" (template %1 px wide)").arg(layout->TemplateRect(w).width());
            defects << defect;
        }
        if (space && !space->edge.isEmpty())
            defects << name + ": " + space->edge;
        if (space && w->height() < QFontMetrics(w->font()).height() && !qobject_cast<QGroupBox*>(w))
            defects << QStringLiteral("%1 is %2 px high, its font %3")
                           .arg(name)
                           .arg(w->height())
                           .arg(QFontMetrics(w->font()).height());
        // The frame that holds the control: the smallest group box around its top-left.
        QGroupBox* holder = nullptr;
        for (QWidget* g : shown) {
            auto* group = qobject_cast<QGroupBox*>(g);
            if (!group || group == w || !group->geometry().contains(w->geometry().topLeft()))
                continue;
            if (!holder || holder->geometry().width() * holder->geometry().height() >
                               group->geometry().width() * group->geometry().height())
                holder = group;
        }
        // Inside the frame's lines, which run along the box's edges.
        if (holder && !holder->geometry().adjusted(1, 0, -1, -1).contains(w->geometry()))
            defects << QStringLiteral("%1 (%2,%3 %4x%5) runs past the frame of %6 (%7,%8 %9x%10)")
                           .arg(name)
                           .arg(w->x())
                           .arg(w->y())
                           .arg(w->width())
                           .arg(w->height())
                           .arg(holder->title())
                           .arg(holder->x())
                           .arg(holder->y())
                           .arg(holder->width())
                           .arg(holder->height());
    }
    return defects;
}

} // namespace palaverly::test
