#include "replybook.h"

#include "hverror.h"
#include "protocol.h"
#include "readplan.h"

#include <QCborArray>
#include <algorithm>

using namespace Protocol;

void ReplyBook::waitFor(qint64 id)
{
    m_waitingFor = id;
    m_waitedReply.reset();
    if (id == m_keptFor) {
        m_waitedReply = std::exchange(m_kept, std::nullopt);
        m_keptFor = 0;
    }
}

void ReplyBook::keepReplyTo(qint64 id)
{
    m_keptFor = id;
    m_kept.reset();
}

void ReplyBook::stopWaiting()
{
    m_waitingFor = 0;
    m_waitedReply.reset();
}

ReplyBook::Taken ReplyBook::take(const QCborMap &frame)
{
    Taken t;
    const QCborValue idValue = frame.value(Key::Id);
    if (idValue.isUndefined()) {
        // The server speaks of the connection itself, and closes it.
        const QCborValue error = frame.value(Key::Error);
        t.kind = Taken::Kind::Lost;
        t.reason = error.isString() ? clip(error.toString()) : QString();
        return t;
    }
    if (!idValue.isInteger() || idValue.toInteger() <= 0 || idValue.toInteger() > m_lastId) {
        t.kind = Taken::Kind::Lost;
        t.reason = QStringLiteral("Connection to the crate lost: reply to a request never sent");
        return t;
    }
    const qint64 id = idValue.toInteger();
    if (id == m_waitingFor) {
        m_waitedReply = frame;
        t.kind = Taken::Kind::Waited;
        return t;
    }
    if (id == m_keptFor) {
        m_kept = frame;
        t.kind = Taken::Kind::Waited;
        return t;
    }
    const auto it = std::find_if(m_pending.begin(), m_pending.end(), [id](const Pending &p) { return p.id == id; });
    if (it == m_pending.end())
        return t; // a late answer to a request that timed out
    t.kind = Taken::Kind::Answer;
    t.pending = std::move(*it);
    t.reply = frame;
    m_pending.erase(it);
    return t;
}

std::deque<ReplyBook::Pending> ReplyBook::takeAll()
{
    std::deque<Pending> all;
    all.swap(m_pending);
    return all;
}

std::deque<ReplyBook::Pending> ReplyBook::takeOverdue()
{
    std::deque<Pending> overdue;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->deadline.hasExpired()) {
            overdue.push_back(std::move(*it));
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    return overdue;
}

std::optional<QDeadlineTimer> ReplyBook::nextDeadline() const
{
    if (m_pending.empty())
        return std::nullopt;
    return std::min_element(m_pending.begin(), m_pending.end(),
                            [](const Pending &a, const Pending &b) { return a.deadline < b.deadline; })
        ->deadline;
}

HVError ReplyBook::refusal(const QCborValue &error)
{
    return HVError(error.isString() ? clip(error.toString()) : QStringLiteral("The crate refused the request"));
}

void ReplyBook::deliver(Pending pending, const QCborMap &reply)
{
    const QCborValue error = reply.value(Key::Error);
    if (!pending.plan) {
        if (!pending.done)
            return;
        if (error.isUndefined()) {
            pending.done(nullptr);
        } else {
            const HVError e = refusal(error);
            pending.done(&e);
        }
        return;
    }
    ReadPlan &plan = *pending.plan;
    const QVector<PlanStep> &steps = plan.steps();
    const QCborArray answers = reply.value(Key::Answers).toArray();
    if (answers.size() > steps.size()) {
        plan.fail(HVError(QStringLiteral("The crate answered more reads than the plan holds")));
        return;
    }
    for (int i = 0; i < int(answers.size()); ++i) {
        PlanAnswer answer;
        try {
            answer = decodeAnswer(steps[i], answers.at(i));
        } catch (const HVError &e) {
            plan.fail(e);
            return;
        }
        if (!plan.apply(i, answer))
            return;
    }
    if (!error.isUndefined())
        plan.fail(refusal(error));
    else if (answers.size() != steps.size())
        plan.fail(HVError(QStringLiteral("The crate answered %1 of %2 reads").arg(answers.size()).arg(steps.size())));
    else
        plan.finish();
}

void ReplyBook::fail(Pending pending, const HVError &error)
{
    if (pending.plan)
        pending.plan->fail(error);
    else if (pending.done)
        pending.done(&error);
}
