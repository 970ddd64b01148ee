#pragma once

#include <QDateTime>
#include <functional>

// Where the graph windows take the time of a sample from, in milliseconds since
// the epoch. Tests and benchmarks drive their own; the windows use the wall clock.
using SampleClock = std::function<qint64()>;

inline SampleClock wallClock()
{
    return [] { return QDateTime::currentMSecsSinceEpoch(); };
}
