#include "plangate.h"

#include <algorithm>

namespace {
constexpr double Smoothing = 0.25;        // weight of a new sample
constexpr double LinkForgetting = 1.02;   // the fastest round trip is slowly forgotten, so a slower link is learnt
constexpr qint64 ForgetWindowUs = 30'000'000; // a window silent this long is forgotten
} // namespace

bool PlanGate::mayRelease(int calls) const
{
    return m_inFlight.empty() || (m_outstandingCalls + calls) * m_callUs < m_budgetUs;
}

void PlanGate::released(qint64 id, int calls, const void *window, qint64 nowUs)
{
    m_outstandingCalls += calls;
    m_inFlight.push_back({id, calls, m_outstandingCalls, nowUs});
    // A window that has sent nothing for a while is closed, or idle: its pace no longer counts.
    for (auto it = m_windows.begin(); it != m_windows.end();)
        it = nowUs - it->lastUs > ForgetWindowUs ? m_windows.erase(it) : std::next(it);
    Window &w = m_windows[window];
    if (w.lastUs > 0) {
        const double gap = double(nowUs - w.lastUs);
        w.periodUs = w.periodUs > 0 ? w.periodUs + Smoothing * (gap - w.periodUs) : gap;
    }
    w.lastUs = nowUs;
}

void PlanGate::answered(qint64 id, qint64 nowUs, bool learn)
{
    const auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(), [id](const InFlight &f) { return f.id == id; });
    if (it == m_inFlight.end())
        return;
    const InFlight done = *it;
    m_inFlight.erase(it);
    m_outstandingCalls -= done.calls;
    if (!learn)
        return;
    const qint64 took = nowUs - done.sentUs;
    // No other timing yet: the plan's whole time is the link's at most.
    if (m_linkUs < 0 || took < m_linkUs)
        m_linkUs = took;
    const double sample = double(std::max<qint64>(0, took - m_linkUs)) / std::max(1, done.ahead);
    m_callUs = m_callUs > 0 ? m_callUs + Smoothing * (sample - m_callUs) : sample;
}

void PlanGate::singleAnswered(qint64 roundTripUs)
{
    if (m_linkUs < 0 || roundTripUs < m_linkUs)
        m_linkUs = roundTripUs;
    else
        m_linkUs = qint64(double(m_linkUs) * LinkForgetting);
}

void PlanGate::forgetAll()
{
    m_inFlight.clear();
    m_outstandingCalls = 0;
    m_windows.clear();
}

double PlanGate::periodMs() const
{
    double sum = 0;
    int n = 0;
    for (const Window &w : m_windows)
        if (w.periodUs > 0) {
            sum += w.periodUs;
            ++n;
        }
    return n ? sum / n / 1000 : 0;
}
