#pragma once
// Dialog units of the templates in pixels, from the 9-point Gothic dialog font; the chat window
// and the dialogs share this one scale.

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
