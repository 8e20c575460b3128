#include "qtsupport/CTemplateLayout.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <utility>

namespace palaverly {
namespace {

// A control the template hides; the others are not shown yet while the layout is made.
bool HiddenByTemplate(const QWidget* w) {
    return w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

// The frame runs through the middle of the caption, as the template was drawn: a frame under
// the caption would cross the first row of controls. The caption keeps clear of the frame's
// corner, also for a frame at the very edge of its window. Its colour is named: a style sheet
// keeps the colours of the palette it was first applied with.
QString GroupSheet(const QWidget& owner) {
    return QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
                          "QGroupBox::title { subcontrol-origin: margin; left: 5px; "
                          "padding: 0 2px; color: %1; }")
        .arg(owner.palette().color(QPalette::WindowText).name());
}

} // namespace

// When the desktop's palette changes under a running program (a switch to a dark theme), the
// captions take the new text colour once it has reached the window.
class CGroupRestyler : public QObject {
public:
    explicit CGroupRestyler(QWidget& owner) : QObject(&owner), m_owner(owner) {
        owner.installEventFilter(this);
    }
    void Add(QGroupBox* group) { m_groups.emplace_back(group); }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange && !std::exchange(m_queued, true))
            QMetaObject::invokeMethod(this, &CGroupRestyler::Restyle, Qt::QueuedConnection);
        return false;
    }

private:
    void Restyle() {
        m_queued = false;
        const QString sheet = GroupSheet(m_owner);
        for (const QPointer<QGroupBox>& group : m_groups) {
            if (group && group->styleSheet() != sheet)
                group->setStyleSheet(sheet);
        }
    }

    QWidget& m_owner;
    std::vector<QPointer<QGroupBox>> m_groups;
    bool m_queued = false;
};

CTemplateLayout::CTemplateLayout(QWidget& owner, const CDialogUnits& units)
    : m_owner(owner), m_units(units) {}

QWidget* CTemplateLayout::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CTemplateLayout::Place(int id, QWidget* widget, int x, int y, int w, int h) {
    const QRect rect = m_units.ToPixels(x, y, w, h);
    widget->setGeometry(rect);
    if (id >= 0)
        m_controls[id] = widget;
    if (m_placed.emplace(widget, rect).second)
        m_order.push_back(widget);
}

QPushButton* CTemplateLayout::AddButton(int id, const QString& caption, int x, int y, int w,
                                        int h) {
    auto* button = new QPushButton(caption, &m_owner);
    button->setAutoDefault(false);
    Place(id, button, x, y, w, h);
    // A button keeps its place; only a caption wider than the style leaves room widens it.
    FitCaption(button, QSize(ButtonNeed(button).width(), 0), Grow::Right);
    return button;
}

QSize CTemplateLayout::ButtonNeed(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.rect = QRect(0, 0, 1000, button->height());
    // The contents rectangle is what the style leaves inside its frame and margins.
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const int decoration = option.rect.width() - contents.width();
    const QFontMetrics metrics = button->fontMetrics();
    const int text = metrics.horizontalAdvance(QString(button->text()).remove(QLatin1Char('&')));
    return {text + decoration, metrics.height()};
}

QCheckBox* CTemplateLayout::AddCheck(int id, const QString& caption, int x, int y, int w, int h) {
    auto* check = new QCheckBox(caption, &m_owner);
    Place(id, check, x, y, w, h);
    FitCaption(check, QSize(check->sizeHint().width(), check->fontMetrics().height()), Grow::Right);
    return check;
}

QLabel* CTemplateLayout::AddLabel(int id, const QString& caption, int x, int y, int w, int h,
                                  Grow grow) {
    auto* label = new QLabel(caption, &m_owner);
    label->setTextFormat(Qt::PlainText);
    Place(id, label, x, y, w, h);
    const QFontMetrics metrics = label->fontMetrics();
    // Only a label the template made two lines high wraps; the others keep one line.
    const bool wraps = h >= 15;
    label->setWordWrap(wraps);
    label->setAlignment((grow == Grow::Left ? Qt::AlignRight : Qt::AlignLeft) |
                        (wraps ? Qt::AlignTop : Qt::AlignVCenter));
    const QRect lines = metrics.boundingRect(QRect(0, 0, wraps ? label->width() : 100000, 100000),
                                             Qt::TextWordWrap, caption);
    FitCaption(label, QSize(lines.width() + 1, lines.height()), grow);
    return label;
}

void CTemplateLayout::FitCaption(QWidget* widget, QSize need, Grow grow) {
    QRect r = widget->geometry();
    if (need.height() > r.height()) {
        // Centred on the template's row, so that the text stays where the row is.
        r.setTop(std::max(0, r.center().y() + 1 - (need.height() + 1) / 2));
        r.setHeight(need.height());
    }
    if (need.width() > r.width()) {
        if (grow == Grow::Left)
            r.setLeft(std::max(0, r.right() + 1 - need.width()));
        else
            r.setWidth(need.width());
    }
    widget->setGeometry(r);
}

QGroupBox* CTemplateLayout::AddGroup(int id, const QString& caption, int x, int y, int w, int h) {
    auto* group = new QGroupBox(caption, &m_owner);
    group->setStyleSheet(GroupSheet(m_owner));
    if (!m_restyler)
        m_restyler = new CGroupRestyler(m_owner);
    m_restyler->Add(group);
    Place(id, group, x, y, w, h);
    m_groups.push_back({group, group->geometry()});
    // A group box only frames: it lies under the controls and takes no clicks or focus.
    group->lower();
    group->setAttribute(Qt::WA_TransparentForMouseEvents);
    group->setFocusPolicy(Qt::NoFocus);
    return group;
}

QLineEdit* CTemplateLayout::AddEdit(int id, QLineEdit* edit, int x, int y, int w, int h) {
    Place(id, edit, x, y, w, h);
    return edit;
}

QSlider* CTemplateLayout::AddSlider(int id, int x, int y, int w, int h) {
    auto* slider = new QSlider(Qt::Horizontal, &m_owner);
    slider->setTickPosition(QSlider::NoTicks);
    Place(id, slider, x, y, w, h);
    return slider;
}

int CTemplateLayout::FitFrames() {
    const int widthBefore = Extent().width();
    const int standardGap = m_units.ToPixels(0, 0, 5, 0).width();
    constexpr int kTightGap = 1;   // the frame line right after the control
    constexpr int kSeparation = 3; // between a grown frame and what lies to its right
    std::vector<Group> groups = m_groups;
    std::sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        return a.templateRect.left() < b.templateRect.left();
    });
    for (const Group& g : groups) {
        const QRect frame = g.box->geometry();
        const int oldRight = frame.right();
        // Members: what the template puts inside this frame (hidden controls do not count).
        int comfortable = oldRight;
        int tight = oldRight;
        for (QWidget* w : m_order) {
            if (qobject_cast<QGroupBox*>(w) || HiddenByTemplate(w))
                continue;
            const QRect placed = m_placed[w];
            if (!g.templateRect.contains(placed.topLeft()) ||
                !g.templateRect.contains(placed.bottomLeft()))
                continue;
            const int gap = std::clamp(g.templateRect.right() - placed.right(), 1, standardGap);
            comfortable = std::max(comfortable, w->geometry().right() + gap);
            tight = std::max(tight, w->geometry().right() + kTightGap);
        }
        if (tight <= oldRight && comfortable <= oldRight)
            continue;
        // The frame first takes the room before the next column, which keeps its place.
        int limit = m_owner.width() - 1;
        for (QWidget* w : m_order)
            if (!HiddenByTemplate(w) && w->geometry().left() > oldRight)
                limit = std::min(limit, w->geometry().left() - kSeparation);
        const int right = tight <= limit ? std::min(comfortable, limit) : comfortable;
        const int delta = right - oldRight;
        if (delta <= 0)
            continue;
        const bool pushes = right > limit;
        for (QWidget* w : m_order) {
            QRect r = w->geometry();
            if (pushes && r.left() > oldRight)
                r.translate(delta, 0); // the columns to the right make room
            else if (qobject_cast<QGroupBox*>(w) && r.right() == oldRight)
                r.setRight(r.right() + delta); // frames of the same column stay aligned
            else
                continue;
            w->setGeometry(r);
        }
    }
    const int grown = Extent().width() - widthBefore;
    NameControls();
    return grown;
}

QString CTemplateLayout::NameOfCaption(const QString& caption) {
    QString name = caption;
    // A Japanese caption carries its mnemonic in brackets at the end: "送信(&S)". A plain
    // check: a regular expression here would be the only one the program runs.
    const qsizetype n = name.size();
    if (n >= 4 && name[n - 4] == QLatin1Char('(') && name[n - 3] == QLatin1Char('&') &&
        name[n - 2] != QLatin1Char('&') && name[n - 1] == QLatin1Char(')'))
        name.chop(4);
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == QLatin1Char('&') && i + 1 < name.size())
            ++i; // "&&" is one ampersand, "&X" is X
        out += name[i];
    }
    return out.trimmed();
}

void CTemplateLayout::NameControls() {
    const int sideGap = m_units.ToPixels(0, 0, 16, 0).width();
    const int aboveGap = m_units.ToPixels(0, 0, 0, 4).height();
    for (QWidget* w : m_order) {
        if (!w->accessibleName().isEmpty() || qobject_cast<QLabel*>(w) ||
            qobject_cast<QGroupBox*>(w))
            continue;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            w->setAccessibleName(NameOfCaption(button->text()));
            continue;
        }
        const QRect r = m_placed[w];
        QLabel* best = nullptr;
        int bestDistance = 0;
        for (QWidget* other : m_order) {
            auto* label = qobject_cast<QLabel*>(other);
            if (!label || label->text().isEmpty())
                continue;
            const QRect l = m_placed[label];
            const bool sameRow = l.top() <= r.bottom() && l.bottom() >= r.top();
            const bool overlapsColumn = l.left() <= r.right() && l.right() >= r.left();
            int distance = -1;
            if (sameRow && l.right() < r.left() && r.left() - l.right() <= sideGap)
                distance = r.left() - l.right();
            else if (overlapsColumn && l.bottom() < r.top() + 1 && r.top() - l.bottom() <= aboveGap)
                distance = r.top() - l.bottom();
            if (distance >= 0 && (!best || distance < bestDistance)) {
                best = label;
                bestDistance = distance;
            }
        }
        if (best) {
            if (!best->text().contains(QLatin1Char('&'))) // a buddy would make it a mnemonic
                best->setBuddy(w);
            w->setAccessibleName(NameOfCaption(best->text()));
            continue;
        }
        const Group* frame = nullptr;
        for (const Group& g : m_groups)
            if (g.templateRect.contains(r) &&
                (!frame || frame->templateRect.contains(g.templateRect)))
                frame = &g;
        if (frame && !frame->box->title().isEmpty())
            w->setAccessibleName(NameOfCaption(frame->box->title()));
        else
            w->setAccessibleName(m_owner.windowTitle());
    }
}

QRect CTemplateLayout::Extent() const {
    QRect extent(0, 0, 1, 1);
    for (QWidget* w : m_order)
        if (!HiddenByTemplate(w))
            extent = extent.united(w->geometry());
    return extent;
}

QRect CTemplateLayout::TemplateRect(const QWidget* widget) const {
    auto it = m_placed.find(widget);
    return it == m_placed.end() ? QRect() : it->second;
}

bool CTemplateLayout::TakeEnter(QKeyEvent* event, QWidget* focus, const std::function<void()>& ok) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // A focused push button takes Enter as its click; anywhere else Enter is OK.
    if (auto* button = qobject_cast<QPushButton*>(focus))
        button->click();
    else if (ok)
        ok();
    event->accept();
    return true;
}

} // namespace palaverly
