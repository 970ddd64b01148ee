#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <functional>

class QWidget;

// No window opens larger than the screen area it may use: a window whose
// layout wants more opens at what fits, and scrolls or squeezes its content
// (each window says which). The area is the screen's available geometry in
// logical pixels, so a scale factor of 1.5 on a 1366 x 768 screen leaves
// 910 x 512 less the desktop's panels.
namespace ScreenFit {

// Room kept around a window's client area for the window manager's frame
// and title bar, which are not known before the window is first shown.
inline constexpr QMargins FrameAllowance{6, 40, 6, 6};

// The largest client size that fits in `available` with the frame allowance.
QSize room(const QRect &available);
// `wanted`, shrunk where it is larger than the room.
QSize bounded(const QSize &wanted, const QRect &available);

// The available area of the screen the window is (or will be) on.
QRect availableFor(const QWidget *window);
// Tests give a fake available area for every window; an empty function restores the screen's.
using AreaSource = std::function<QRect(const QWidget *window)>;
void setAreaSource(AreaSource source);

// Resizes the window to `wanted`, bounded by the room on its screen.
void resize(QWidget *window, const QSize &wanted);

} // namespace ScreenFit
