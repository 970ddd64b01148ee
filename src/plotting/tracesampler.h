#pragma once

#include <QString>
#include <QVector>
#include <functional>

class HVError;
class HVPowerSupply;
class QTimer;
class QWidget;
class TraceGraph;

// One trace's source on the crate: a parameter of one channel.
struct TraceSource
{
    qint16 slot = 0;
    QString par;
    qint16 channel = 0;
};

// The sampling both graph windows share: the one-second timer "Timer1" that
// drives the window's tick, the scaled reads of a tick sent as one read plan,
// and the one way sampling ends when the crate cannot be read: the timer
// stops, the operator is told "Board removed" once, and the window closes. A
// tick whose answers are still outstanding is not followed by another.
class TraceSampler
{
public:
    // The timer is a child of the window; it starts at once and calls tick every second.
    TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick);
    Q_DISABLE_COPY_MOVE(TraceSampler)

    bool failed() const { return m_failed; }

    // Reads the sources' values in their base units and appends them, value k
    // to trace k, to the graph at the time the sample was asked for, once
    // they have all arrived (in process: before returning). Nothing, not even
    // part of them, when a read fails (the failure path is then taken), failed
    // before, a sample is still on its way, or the graph's traces changed
    // meanwhile. The graph is a child of the window.
    void sample(const QVector<TraceSource> &sources, TraceGraph &graph);
    // The failure path; only the first call does anything. A failed link is
    // told of once for all windows (the window still closes); anything else
    // says "Board removed".
    void fail(const HVError &error);

private:
    HVPowerSupply &m_h;     // the crate, Main's one instance
    QWidget *m_window;      // the graph window this samples for
    QTimer *m_timer;        // Timer1, child of the window
    bool m_failed = false;  // the failure message has been shown
    bool m_inFlight = false; // a sample's reads are on their way
};
