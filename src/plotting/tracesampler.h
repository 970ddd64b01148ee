#pragma once

#include "sampleclock.h"

#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class HVPowerSupply;
class QTimer;
class QWidget;

// One trace's source on the crate: a parameter of one channel.
struct TraceSource
{
    qint16 slot = 0;
    QString par;
    qint16 channel = 0;
};

// The sampling both graph windows share: the one-second timer "Timer1" that
// drives the window's tick, the clock that times the samples, the scaled reads
// of a tick, and the one way
// sampling ends when the crate cannot be read: the timer stops, the operator
// is told "Board removed" once, and the window closes.
class TraceSampler
{
public:
    // The timer is a child of the window; it starts at once and calls tick every second.
    TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick);
    Q_DISABLE_COPY_MOVE(TraceSampler)

    bool failed() const { return m_failed; }

    // The time of a sample taken now, in milliseconds since the epoch.
    qint64 now() const { return m_clock(); }
    void setClock(SampleClock clock) { m_clock = std::move(clock); }

    // The sources' values in their base units, in order. Nothing, not even part
    // of them, when a read fails (the failure path is then taken) or failed before.
    std::optional<QVector<double>> read(const QVector<TraceSource> &sources);
    // The failure path; only the first call does anything.
    void fail();

private:
    HVPowerSupply &m_h;     // the crate, Main's one instance
    QWidget *m_window;      // the graph window this samples for
    QTimer *m_timer;        // Timer1, child of the window
    SampleClock m_clock = wallClock(); // times the samples
    bool m_failed = false;  // the failure message has been shown
};
