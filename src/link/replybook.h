#pragma once

#include "hvpowersupply.h"

#include <QCborMap>
#include <QDeadlineTimer>
#include <QPointer>
#include <QString>
#include <deque>
#include <memory>
#include <optional>

class HVError;

// What NetClient makes of the frames the crate sends: which request each
// answers, and what that tells the window that asked. Knows nothing of the
// socket or the event loop, so every reply the client can meet is handled
// here, the same in the client and in the fuzzing of it.
class ReplyBook
{
public:
    // A request sent without waiting: a plan or a posted write.
    struct Pending
    {
        qint64 id = 0;                     // its request id
        std::shared_ptr<ReadPlan> plan;    // a plan's answers go here
        HVPowerSupply::WriteDone done;     // a write's outcome goes here (dropped once its window is gone)
        QDeadlineTimer deadline;           // when its answer is overdue
        qint64 sentUs = 0;                 // when it left, on the client's clock
    };

    // What one frame from the crate means.
    struct Taken
    {
        enum class Kind { Stale, Waited, Answer, Lost };
        Kind kind = Kind::Stale;
        Pending pending;  // Answer: the request it answers
        QCborMap reply;   // Answer: the reply
        QString reason;   // Lost: why the link cannot be trusted any more ("" when the crate said nothing)
    };

    qint64 nextId() const { return m_lastId + 1; }
    void sent(qint64 id) { m_lastId = id; }
    void add(Pending pending) { m_pending.push_back(std::move(pending)); }
    int size() const { return int(m_pending.size()); }

    // The single call that waits, and its reply once taken.
    void waitFor(qint64 id);
    void stopWaiting();
    // A reply that may come while another is waited for, kept for a later waitFor.
    void keepReplyTo(qint64 id);
    const std::optional<QCborMap> &waitedReply() const { return m_waitedReply; }

    Taken take(const QCborMap &frame);
    std::deque<Pending> takeAll();
    std::deque<Pending> takeOverdue();
    // When the oldest request is overdue; nullopt when none waits.
    std::optional<QDeadlineTimer> nextDeadline() const;

    // Hands the reply to the plan or the write that asked for it.
    static void deliver(Pending pending, const QCborMap &reply);
    static void fail(Pending pending, const HVError &error);
    // The crate's refusal, as the reply states it.
    static HVError refusal(const QCborValue &error);

private:
    qint64 m_lastId = 0;                   // id of the last request sent; newer ids were never asked for
    std::deque<Pending> m_pending;         // requests sent without waiting, in the order sent
    qint64 m_waitingFor = 0;               // id of the single call waiting, 0 when none
    std::optional<QCborMap> m_waitedReply; // its reply once it has arrived
    qint64 m_keptFor = 0;                  // id of a reply to keep until it is waited for, 0 when none
    std::optional<QCborMap> m_kept;        // that reply, once it has arrived
};
