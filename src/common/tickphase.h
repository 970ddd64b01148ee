#pragma once

class QTimer;

// Starts a window's periodic timer: the first timeout comes at once (a window
// shows its values without waiting for its turn), the second at a moment of
// the period of its own on the monotonic clock, every later one a period after
// the one before. The moments of windows opened one after the other are spread
// by the golden ratio, whenever each was opened, so the ticks of many open
// windows fall at different moments of the second instead of in the same pass
// of the event loop, and a change at the crate is read by one of them soon.
void startSpread(QTimer *timer, int periodMs = 1000);
