#pragma once

#include "eventlog.h"
#include "trendtable.h"

#include <QPointer>
#include <QString>
#include <QVector>
#include <functional>

class HVError;
class HVPowerSupply;
class QTimer;
class StaleShade;
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
//
// After a deliberate Disconnect the window stays open, samples nothing and
// says it is not connected; the next Connect to the same crate resumes it at
// once, a Connect to another crate closes it without a box (noted in the event log).
class TraceSampler
{
public:
    // The timer is a child of the window; it starts at once and calls tick every second.
    TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick);
    Q_DISABLE_COPY_MOVE(TraceSampler)

    bool failed() const { return m_failed; }
    bool isOffline() const { return m_offline; }
    // Where a window closed for the crate's sake is noted; none by default.
    void setEventLog(EventLog *log) { m_log = log; }
    // Where every sample is kept as well and a new trace's history is read
    // from (the archive's trends); none by default: the graph lives in memory only.
    void setTrends(TrendTable *trends) { m_trends = trends; }
    TrendTable *trends() const { return m_trends; }
    // The archive's key of a source on the crate the link goes to.
    TrendKey keyFor(const TraceSource &source) const;
    // Asks the archive for what it kept of the trace's key (as far back as the
    // view or the graph's history limit goes) and puts it in front of the
    // trace's own points when it comes; nothing without trends.
    void loadHistory(TraceGraph &graph, int index);

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
    void wentDown(bool deliberate);
    void wentUp(const QString &address);

    HVPowerSupply &m_h;     // the crate, Main's one instance
    QWidget *m_window;      // the graph window this samples for
    QTimer *m_timer;        // Timer1, child of the window
    std::function<void()> m_tick; // the window's sampling step
    StaleShade *m_shade;    // over the window while it is not connected
    QPointer<EventLog> m_log; // where a quiet close is noted
    TrendTable *m_trends = nullptr; // the archive's trends, if the program keeps them
    QString m_address;      // the crate read from when the link went down
    bool m_failed = false;  // the failure message has been shown
    bool m_inFlight = false; // a sample's reads are on their way
    bool m_offline = false; // disconnected on purpose: nothing is read until the next Connect
    bool m_again = false;   // a sample was asked for while one was on its way
    QVector<qint16> m_slots; // the slots the last sample read
};
