#pragma once

#include <QHash>
#include <QtGlobal>
#include <deque>

// Lets the windows' read plans out to the crate in turn, while less than a
// bounded amount of crate work is outstanding, so that an overloaded crate
// slows every window alike instead of piling up a queue that a write would
// wait behind. Writes never come here. Knows nothing of sockets or clocks:
// the client tells it what it sends and when answers come.
//
// The crate's time per call is learnt from the answers: a plan's time from
// release to answer, less the link's own round trip (the fastest answer seen
// lately), spread over the calls that were ahead of it at the crate, its own
// included. Until it has learnt anything, every plan goes at once.
class PlanGate
{
public:
    static constexpr double DefaultBudgetMs = 100; // crate work let out at once

    explicit PlanGate(double budgetMs = DefaultBudgetMs) : m_budgetUs(budgetMs * 1000) {}

    // Whether a plan of `calls` reads may go now (always, when nothing is on its way).
    bool mayRelease(int calls) const;
    // It went: `window` identifies whose it is, for the refresh period.
    void released(qint64 id, int calls, const void *window, qint64 nowUs);
    // Its answer came (or it failed, or timed out: then it teaches nothing).
    void answered(qint64 id, qint64 nowUs, bool learn = true);
    // A single call's round trip: the link's own delay, without crate work to speak of.
    void singleAnswered(qint64 roundTripUs);
    void forgetAll();

    double callUs() const { return m_callUs; }
    double outstandingUs() const { return m_outstandingCalls * m_callUs; }
    int outstandingCalls() const { return m_outstandingCalls; }
    // The refresh period the windows achieve, in ms: the mean over windows of
    // the time between two of their plans going out (0 before it is known).
    double periodMs() const;

private:
    struct InFlight
    {
        qint64 id;
        int calls;
        int ahead;     // calls on their way when it went, its own included
        qint64 sentUs;
    };
    struct Window
    {
        qint64 lastUs = 0;     // when its last plan went
        double periodUs = 0;   // smoothed time between its plans
    };

    double m_budgetUs;                   // crate work let out at once
    double m_callUs = 0;                 // the crate's smoothed time per call
    qint64 m_linkUs = -1;                // the fastest round trip seen lately
    int m_outstandingCalls = 0;          // calls of plans on their way
    std::deque<InFlight> m_inFlight;     // plans on their way, in the order sent
    QHash<const void *, Window> m_windows; // each window's pace
};
