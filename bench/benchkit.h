#pragma once

// What the GUI benchmarks share: running the event loop for a while or until
// something happens, and medians.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace BenchKit {

// Runs the event loop until done() or the time-out; returns the milliseconds it took.
inline double waitMs(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    return double(t.nsecsElapsed()) / 1e6;
}

// Runs the event loop for this long.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace BenchKit
