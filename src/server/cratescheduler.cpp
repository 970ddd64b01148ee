#include "cratescheduler.h"

#include "cratejob.h"

#include <algorithm>
#include <limits>

namespace {
// Timers count whole milliseconds: wake at the first one that is not early.
int wakeMs(qint64 us)
{
    return int(std::max<qint64>(0, (us + 999) / 1000));
}
} // namespace

CrateScheduler::CrateScheduler(Clock clock, QObject *parent) : QObject(parent), m_clock(std::move(clock))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CrateScheduler::serve);
}

CrateScheduler::~CrateScheduler() = default;

void CrateScheduler::wake()
{
    if (!m_serving)
        serve();
}

CrateScheduler::Pick CrateScheduler::pick(qint64 t)
{
    // A write first: the one that reached the crate earliest, of those that may go first.
    Pick write;
    qint64 writeDue = std::numeric_limits<qint64>::max();
    for (CrateLane *lane : std::as_const(m_lanes)) {
        if (lane->m_paused || lane->m_writes == 0)
            continue;
        if (const std::optional<size_t> i = lane->writeFirst(t); i && lane->m_entries[*i].dueUs < writeDue) {
            write = {lane, *i, true};
            writeDue = lane->m_entries[*i].dueUs;
        }
    }
    if (write.lane)
        return write;
    // Then the lane whose turn it is, while its turn lasts; else the next one with work.
    const qsizetype n = m_lanes.size();
    if (m_turn < n && m_turnCalls < CallsPerTurn && m_lanes[m_turn]->hasDueWork(t))
        return {m_lanes[m_turn], 0, false};
    for (qsizetype step = 1; step <= n; ++step) {
        const qsizetype i = (m_turn + step) % n;
        if (m_lanes[i]->hasDueWork(t)) {
            m_turn = i;
            m_turnCalls = 0;
            return {m_lanes[i], 0, false};
        }
    }
    return {};
}

void CrateScheduler::serve()
{
    m_serving = true;
    const qint64 now = m_clock();
    int calls = 0;
    for (;;) {
        if (calls >= CallsPerPass) {
            m_timer.start(0); // frames and replies first, then on
            break;
        }
        qint64 firstDue = std::numeric_limits<qint64>::max();
        for (const CrateLane *lane : std::as_const(m_lanes))
            if (!lane->m_paused && !lane->m_entries.empty())
                firstDue = std::min(firstDue, lane->m_entries.front().dueUs);
        if (firstDue == std::numeric_limits<qint64>::max()) {
            m_timer.stop(); // nothing to do until something is queued
            break;
        }
        // The crate starts the next call once it is free and the request is there.
        const qint64 start = std::max(m_crateFreeUs, firstDue);
        if (start > now) {
            m_timer.start(wakeMs(start - now));
            break;
        }
        const Pick p = pick(start);
        CrateJob &job = *p.lane->m_entries[p.index].job;
        // With a service time a call at a time, so that a write never waits for more than
        // one; without one, time stands still while the pass lasts, and a piece is as good.
        const int piece = m_serviceUs > 0 ? 1 : CallsPerTurn - (p.first ? 0 : m_turnCalls);
        const int made = job.resume(std::max(1, piece));
        calls += std::max(made, 1);
        if (!p.first)
            m_turnCalls += made;
        m_crateFreeUs = start + made * m_serviceUs;
        if (job.isDone()) {
            CrateLane *lane = p.lane;
            std::unique_ptr<CrateJob> done = lane->take(p.index, p.first);
            lane->m_done(std::move(done), m_crateFreeUs); // may clear or pause the lane, never delete it
        }
    }
    m_serving = false;
}

CrateLane::CrateLane(CrateScheduler &scheduler, Done done) : m_scheduler(scheduler), m_done(std::move(done))
{
    m_creditUs = m_scheduler.m_clock();
    m_scheduler.m_lanes.append(this);
}

CrateLane::~CrateLane()
{
    m_scheduler.m_lanes.removeOne(this);
}

void CrateLane::push(std::unique_ptr<CrateJob> job, qint64 dueUs, qint64 bytes)
{
    if (job->kind() == CrateJob::Kind::Write)
        ++m_writes;
    m_bytes += bytes;
    m_entries.push_back({std::move(job), dueUs, bytes});
    m_scheduler.wake();
}

void CrateLane::clear()
{
    m_entries.clear();
    m_bytes = 0;
    m_writes = 0;
}

void CrateLane::setPaused(bool paused)
{
    if (m_paused == paused)
        return;
    m_paused = paused;
    if (!paused)
        m_scheduler.wake();
}

std::optional<size_t> CrateLane::writeFirst(qint64 t)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [](const Entry &e) { return e.job->kind() == CrateJob::Kind::Write; });
    if (it == m_entries.end() || it->dueUs > t)
        return std::nullopt;
    if (t > m_creditUs) {
        m_credit = std::min<double>(CrateScheduler::WriteBurst,
                                    m_credit + double(t - m_creditUs) * CrateScheduler::WritesPerSecond / 1e6);
        m_creditUs = t;
    }
    if (m_credit < 1)
        return std::nullopt;
    return size_t(it - m_entries.begin());
}

std::unique_ptr<CrateJob> CrateLane::take(size_t index, bool first)
{
    Entry &e = m_entries[index];
    std::unique_ptr<CrateJob> job = std::move(e.job);
    m_bytes -= e.bytes;
    if (job->kind() == CrateJob::Kind::Write)
        --m_writes;
    if (first) // went ahead of the others' turns: that is what the credit pays for
        m_credit -= 1;
    m_entries.erase(m_entries.begin() + qsizetype(index));
    return job;
}
