#pragma once

class QTimer;

// Starts a window's periodic timer: the first timeout comes at once (a window
// shows its values without waiting for its turn), the second at a phase of its
// own within the period, every later one a period after the one before. The
// phases of windows opened one after the other are spread by the golden ratio,
// so the ticks of many open windows fall at different moments of the second
// instead of in the same pass of the event loop.
void startSpread(QTimer *timer, int periodMs = 1000);
