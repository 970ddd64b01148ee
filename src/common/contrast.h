#pragma once

#include <QColor>
#include <QString>

// Legibility of text on a background, as the WCAG defines it: relative
// luminance and the contrast ratio of two colours, from 1:1 (the same
// luminance) to 21:1 (black on white). Normal text needs 4.5:1.
namespace Contrast {

inline constexpr double TextMinimum = 4.5; // for normal-sized text

// Text in one colour on a background, as a window draws it; `what` names the place.
struct Pair
{
    QString what;
    QColor back;
    QColor fore;
};

double luminance(const QColor &colour);             // 0 (black) .. 1 (white), alpha ignored
double ratio(const QColor &a, const QColor &b);     // 1 .. 21, in either order

// Black or white, whichever reads better on the background (at least 4.58:1 on any colour).
QColor textOn(const QColor &background);

// The colour itself when it reaches TextMinimum on the background; otherwise
// the nearest shade of it that does, mixed towards white or black.
QColor readableOn(const QColor &colour, const QColor &background);

} // namespace Contrast
