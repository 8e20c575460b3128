#include "qtsupport/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace palaverly {
namespace {

constexpr double kMinimumContrast = 4.5; // WCAG AA for normal text

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

double RelativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) +
           0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkBackground(const QColor& base) {
    return ContrastRatio(base, Qt::white) > ContrastRatio(base, Qt::black);
}

QColor ReadableOn(const QColor& text, const QColor& background) {
    if (!IsDarkBackground(background) || ContrastRatio(text, background) >= kMinimumContrast)
        return text;
    // Lightness rises monotonically with luminance at a fixed hue and saturation: halve the
    // interval towards the lightest one that still reaches the ratio. Full lightness is white,
    // which on a dark background always does.
    const QColor hsl = text.toHsl();
    const float hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
    float low = hsl.lightnessF(), high = 1.0F;
    for (int step = 0; step < 16; ++step) {
        const float middle = (low + high) / 2;
        if (ContrastRatio(QColor::fromHslF(hue, saturation, middle), background) >=
            kMinimumContrast)
            high = middle;
        else
            low = middle;
    }
    return QColor::fromHslF(hue, saturation, high).toRgb();
}

} // namespace palaverly
