#pragma once

#include <QPixmap>

// The picker's four 16 x 16 pictures, drawn here so no artwork files are needed.
// Numbered as in the picker's image list: 1 parameter (a screen with a sine on a
// green grid), 2 refused (a red disc with a white cross, also the drag cursor
// where a drop is refused), 3 channel (a dark-blue HV badge over a white and a
// red band), 4 board (a card with yellow and black hazard stripes).
namespace PlotImages {

enum Image { Parameter = 1, Refused = 2, Channel = 3, Board = 4 };

QPixmap image(Image which);

// A dimmed copy of a picture, shown under the cursor while it is dragged.
QPixmap dimmed(const QPixmap &picture);

} // namespace PlotImages
