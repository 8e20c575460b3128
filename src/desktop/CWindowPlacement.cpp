#include "desktop/CWindowPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdint>

namespace palaverly {
namespace {
// The show commands of a stored placement.
enum ShowState : std::uint32_t { kHidden = 0, kNormal = 1, kMinimized = 2, kMaximized = 3 };
} // namespace

CWindowPlacement::CWindowPlacement(QWidget& window, bool placesWindows, QSize minimum)
    : m_window(window), m_placesWindows(placesWindows), m_minimum(minimum) {}

void CWindowPlacement::Restore(const std::optional<CWindowPos>& placement) {
    if (placement)
        m_storedPosition = QPoint(placement->m_left, placement->m_top);
    // Computed wide: the edges may be any 32-bit numbers.
    const std::int64_t width = placement ? std::int64_t(placement->m_right) - placement->m_left : 0;
    const std::int64_t height =
        placement ? std::int64_t(placement->m_bottom) - placement->m_top : 0;
    // An empty or inverted rectangle would give a window of no size: the template's stays.
    if (width <= 0 || height <= 0)
        return;
    // A window larger than the whole desktop only costs memory for what nobody can see.
    QSize largest = m_minimum;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        largest = largest.expandedTo(screen->virtualSize());
    const QSize size(static_cast<int>(std::min<std::int64_t>(width, largest.width())),
                     static_cast<int>(std::min<std::int64_t>(height, largest.height())));
    m_restoring = true;
    // Where windows are placed by the compositor, only the size and the show state apply.
    if (m_placesWindows)
        m_window.setGeometry(QRect(QPoint(placement->m_left, placement->m_top), size));
    else
        m_window.resize(size);
    switch (placement->m_showCmd) {
    case kHidden:
        break;
    case kMinimized:
        m_window.showMinimized();
        break;
    case kMaximized:
        m_window.showMaximized();
        break;
    default:
        m_window.show();
        break;
    }
    m_restoring = false;
}

CWindowPos CWindowPlacement::Current(bool armed) const {
    CWindowPos p;
    p.m_minX = p.m_minY = p.m_maxX = p.m_maxY = -1;
    const QWidget& w = m_window;
    // The normal rectangle is the client area's, so that a restore puts it back exactly.
    QRect normal = (w.isMinimized() || w.isMaximized()) ? w.normalGeometry() : w.geometry();
    // A client that cannot place its window does not know where it is either: the position
    // stays as it was read, for the day the program runs where it can place it again.
    if (!m_placesWindows)
        normal.moveTopLeft(m_storedPosition.value_or(QPoint(0, 0)));
    p.m_left = normal.left();
    p.m_top = normal.top();
    p.m_right = normal.left() + normal.width();
    p.m_bottom = normal.top() + normal.height();
    if (!armed || !w.isVisible())
        p.m_showCmd = kHidden;
    else if (w.isMinimized())
        p.m_showCmd = kMinimized;
    else if (w.isMaximized())
        p.m_showCmd = kMaximized;
    else
        p.m_showCmd = kNormal;
    return p;
}

} // namespace palaverly
