#pragma once

#include <QFont>

// How much larger than drawn a window's fixed layout must be for its texts in
// this font: 1 at the font the layouts were drawn for (DejaVu Sans 9 pt) and
// below, growing with the font's height and the width of its letters. The
// board panels and the graph windows scale by it alike.
namespace FontScale {

double of(const QFont &font);
// A length of the layout as drawn, at that scale.
inline int scaled(int pixels, double scale) { return int(pixels * scale + 0.5); }

} // namespace FontScale
