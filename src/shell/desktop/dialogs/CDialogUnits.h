#pragma once
// Dialog units of the templates in pixels: the same 9-point Gothic and the same base-unit
// rule as the chat window, so that the dialogs and the window share one scale.

#include <QFont>
#include <QRect>

namespace palaverly {

class CDialogUnits {
public:
    /// Base units measured from `font` (average alphabet width, em height).
    explicit CDialogUnits(const QFont& font);

    /// The chat window's dialog font: 9 points, Japanese Gothic families first.
    static QFont DialogFont();

    QRect ToPixels(int x, int y, int w, int h) const;
    QSize ToPixels(int w, int h) const { return ToPixels(0, 0, w, h).size(); }
    const QFont& Font() const { return m_font; }
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    QFont m_font;
    int m_baseX = 6;
    int m_baseY = 12;
};

} // namespace palaverly
