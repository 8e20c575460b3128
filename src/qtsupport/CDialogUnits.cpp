#include "qtsupport/CDialogUnits.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace palaverly {

CDialogUnits::CDialogUnits(const QFont& font) : m_font(font) {
    QFontMetrics metrics(m_font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (alphabet / 26 + 1) / 2);
    // The em height, not the line height: the Gothic fonts the templates were made for have
    // no line gap, and Noto's would make the windows 40 % taller.
    m_baseY = std::max(1, QFontInfo(m_font).pixelSize());
}

QFont CDialogUnits::DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("VL PGothic"), QStringLiteral("Sans Serif")});
    font.setPointSize(9);
    return font;
}

QRect CDialogUnits::ToPixels(int x, int y, int w, int h) const {
    auto mulDiv = [](int value, int base, int unit) { return (value * base + unit / 2) / unit; };
    const int left = mulDiv(x, m_baseX, 4);
    const int top = mulDiv(y, m_baseY, 8);
    return QRect(left, top, mulDiv(x + w, m_baseX, 4) - left, mulDiv(y + h, m_baseY, 8) - top);
}

} // namespace palaverly
