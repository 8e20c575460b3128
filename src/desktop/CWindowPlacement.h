#pragma once
// The window's placement as the settings keep it ("WindowPos"): restored once at start, and
// read back from the window whenever it moves, resizes or changes its show state.

#include "settings/CWindowPos.h"

#include <QPoint>
#include <QSize>
#include <optional>

class QWidget;

namespace palaverly {

class CWindowPlacement {
public:
    /// `placesWindows`: whether the platform lets a window choose its position (not under
    /// Wayland). `minimum` is the smallest whole window.
    CWindowPlacement(QWidget& window, bool placesWindows, QSize minimum);

    /// Gives the window the stored size, position and show state. An empty or inverted
    /// rectangle leaves the window as it is; a size larger than the desktop is cut to it.
    void Restore(const std::optional<CWindowPos>& stored);
    /// True while Restore runs: the window's own changes are not placements then.
    bool Restoring() const { return m_restoring; }
    /// The placement as the window stands; `armed` false (not shown by the user) is hidden.
    CWindowPos Current(bool armed) const;

private:
    QWidget& m_window;
    bool m_placesWindows;
    QSize m_minimum;
    bool m_restoring = false;
    std::optional<QPoint> m_storedPosition; // as read, where the platform places the window
};

} // namespace palaverly
