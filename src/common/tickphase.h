#pragma once

class QTimer;

// Starts a window's periodic timer at a phase of its own: the first timeout
// comes somewhere within the first period, every later one a period after the
// one before. The phases of windows opened one after the other are spread by
// the golden ratio, so the ticks of many open windows fall at different
// moments of the second instead of in the same pass of the event loop.
void startSpread(QTimer *timer, int periodMs = 1000);
