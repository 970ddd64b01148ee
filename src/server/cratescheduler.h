#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class CrateJob;
class CrateLane;

// The one queue in front of the crate, for every connection of a server. The
// crate makes one call at a time, each taking the service time; this decides
// whose call is next:
//
//  - A write goes first, ahead of every read waiting, so it waits for at most
//    the call under way. Writes keep their order, and a connection's writes go
//    first only within a generous rate (WriteBurst, WritesPerSecond): beyond
//    it they wait their turn like reads, so nobody can starve the rest with writes.
//  - Reads are shared between connections by crate calls, not requests: each
//    in turn gets up to CallsPerTurn calls, then the next one that has work.
//    A long plan is made a piece at a time, so its reads still reach the crate
//    in their order, and so do every connection's other reads.
//
// Time is modelled: a call starts when the crate is free and the request has
// reached it (its due time), however late the event loop gets round to it.
class CrateScheduler : public QObject
{
public:
    static constexpr int CallsPerTurn = 16;
    static constexpr int WriteBurst = 64;       // writes a connection may send first at once
    static constexpr int WritesPerSecond = 20;  // and then on average
    // Calls made before the event loop gets its turn again (new frames, replies).
    static constexpr int CallsPerPass = 256;

    using Clock = std::function<qint64()>; // monotonic microseconds
    explicit CrateScheduler(Clock clock, QObject *parent = nullptr);
    ~CrateScheduler() override;

    // The crate's own time per call.
    void setServiceTimeUs(qint64 us) { m_serviceUs = us; }
    qint64 serviceTimeUs() const { return m_serviceUs; }
    // Work was queued or a lane may go on: serve what is due now.
    void wake();

private:
    friend class CrateLane;
    struct Pick
    {
        CrateLane *lane = nullptr;
        size_t index = 0;   // into the lane's queue
        bool first = false; // a write taken ahead of its turn
    };

    void serve();
    // What is next at time t: a write that may go first, or the next piece of the lane whose turn it is.
    Pick pick(qint64 t);

    Clock m_clock;                 // the time of the model
    qint64 m_serviceUs = 0;        // each call's time
    qint64 m_crateFreeUs = 0;      // when the crate has finished the calls given to it
    QList<CrateLane *> m_lanes;    // one per connection, in the order they came
    qsizetype m_turn = 0;          // the lane whose turn it is
    int m_turnCalls = 0;           // calls it has had in this turn
    QTimer m_timer;                // wakes serve() when the next call is due
    bool m_serving = false;        // inside serve(): wake() only marks
};

// One connection's requests for the crate, in the order they arrived. The
// lane is the connection's own; the scheduler decides when its work is done.
class CrateLane
{
public:
    // A job is done: its reply may leave once the crate finished it (doneUs).
    using Done = std::function<void(std::unique_ptr<CrateJob> job, qint64 doneUs)>;

    CrateLane(CrateScheduler &scheduler, Done done);
    ~CrateLane();
    CrateLane(const CrateLane &) = delete;
    CrateLane &operator=(const CrateLane &) = delete;

    // Queues a job that reaches the crate at dueUs; `bytes` is what its request took on the wire.
    void push(std::unique_ptr<CrateJob> job, qint64 dueUs, qint64 bytes);
    // Dropped unanswered: the connection is closing.
    void clear();
    // Its replies are not being taken: none of its work is done meanwhile.
    void setPaused(bool paused);
    int size() const { return int(m_entries.size()); }
    qint64 bytes() const { return m_bytes; }

private:
    friend class CrateScheduler;
    struct Entry
    {
        std::unique_ptr<CrateJob> job; // the work
        qint64 dueUs = 0;              // when its request reaches the crate
        qint64 bytes = 0;              // its request's size
    };

    bool hasDueWork(qint64 t) const { return !m_paused && !m_entries.empty() && m_entries.front().dueUs <= t; }
    // The first write waiting, if it may go ahead of the reads at time t.
    std::optional<size_t> writeFirst(qint64 t);
    std::unique_ptr<CrateJob> take(size_t index, bool first);

    CrateScheduler &m_scheduler;   // where its work is done
    Done m_done;                   // told of every finished job
    std::deque<Entry> m_entries;   // in the order they arrived
    qint64 m_bytes = 0;            // of the requests queued
    int m_writes = 0;              // writes among them
    bool m_paused = false;         // its replies pile up: no work for now
    double m_credit = CrateScheduler::WriteBurst; // writes it may still send first
    qint64 m_creditUs = 0;         // when the credit was last brought up to date
};
