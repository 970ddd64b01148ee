#pragma once

#include "sampleclock.h"

#include <QString>
#include <QVector>
#include <functional>

class HVError;
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
// of a tick sent as one read plan, and the one way sampling ends when the
// crate cannot be read: the timer stops, the operator is told "Board removed"
// once, and the window closes. A tick whose answers are still outstanding is
// not followed by another.
class TraceSampler
{
public:
    // The timer is a child of the window; it starts at once and calls tick every second.
    TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick);
    Q_DISABLE_COPY_MOVE(TraceSampler)

    bool failed() const { return m_failed; }
    bool inFlight() const { return m_inFlight; }

    // The time of a sample taken now, in milliseconds since the epoch.
    qint64 now() const { return m_clock(); }
    void setClock(SampleClock clock) { m_clock = std::move(clock); }

    // Reads the sources' values in their base units and hands them, in order,
    // to `take` once they have all arrived (in process: before returning).
    // Nothing, not even part of them, when a read fails (the failure path is
    // then taken), failed before, or a sample is still on its way.
    void sample(const QVector<TraceSource> &sources, std::function<void(const QVector<double> &)> take);
    // The failure path; only the first call does anything. A failed link is
    // told of once for all windows (the window still closes); anything else
    // says "Board removed".
    void fail(const HVError &error);

private:
    HVPowerSupply &m_h;     // the crate, Main's one instance
    QWidget *m_window;      // the graph window this samples for
    QTimer *m_timer;        // Timer1, child of the window
    SampleClock m_clock = wallClock(); // times the samples
    bool m_failed = false;  // the failure message has been shown
    bool m_inFlight = false; // a sample's reads are on their way
};
