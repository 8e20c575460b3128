#pragma once
// Row colours that stay readable on a dark palette. The stored colours were chosen for a
// white background; on a dark one the default blue and black give 1.3-2:1 contrast.

#include <QColor>

namespace palaverly {

/// WCAG relative luminance of an sRGB colour, 0 (black) to 1 (white).
double RelativeLuminance(const QColor& colour);

/// WCAG contrast ratio of two colours, 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);

/// True when `base` is dark: white text on it gives more contrast than black.
bool IsDarkBackground(const QColor& base);

/// `text` as drawn on `background`: unchanged on a light background or when it already has
/// 4.5:1 contrast; otherwise the same hue and saturation made just light enough for 4.5:1.
QColor ReadableOn(const QColor& text, const QColor& background);

} // namespace palaverly
