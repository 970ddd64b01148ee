#include "contrast.h"

#include <cmath>

namespace Contrast {

namespace {
double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor mix(const QColor &from, const QColor &to, double t)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t));
}
} // namespace

double luminance(const QColor &colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double ratio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor textOn(const QColor &background)
{
    return ratio(Qt::black, background) >= ratio(Qt::white, background) ? QColor(Qt::black) : QColor(Qt::white);
}

QColor readableOn(const QColor &colour, const QColor &background)
{
    if (ratio(colour, background) >= TextMinimum)
        return colour;
    const QColor towards = textOn(background);
    // Contrast grows steadily along the mix: halve the step to the least mix that reads.
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 16; ++i) {
        const double mid = (lo + hi) / 2;
        (ratio(mix(colour, towards, mid), background) >= TextMinimum ? hi : lo) = mid;
    }
    return mix(colour, towards, hi);
}

} // namespace Contrast
