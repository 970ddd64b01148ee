#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

// The GUI thread's longest wait, in ms, between two turns of a short timer while the probe runs.
struct StallProbe
{
    explicit StallProbe(int intervalMs = 10)
    {
        QObject::connect(&beat, &QTimer::timeout, [this] { longest = std::max(longest, gap.restart()); });
        gap.start();
        beat.start(intervalMs);
    }
    qint64 longest = 0; // the longest wait so far
    QElapsedTimer gap;  // since the last turn
    QTimer beat;        // turns on the GUI thread
};
