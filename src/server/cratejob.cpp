#include "cratejob.h"

#include "hverror.h"
#include "protocol.h"

using namespace Protocol;

namespace {

QCborMap errorReply(const QString &text)
{
    return QCborMap{{Key::Error, clip(text)}};
}

// Whatever the backend throws becomes words for the operator, never the server's end.
template <typename F>
QCborMap guarded(F &&f)
{
    try {
        return f();
    } catch (const HVError &e) {
        return errorReply(e.message());
    } catch (const std::exception &e) {
        return errorReply(QStringLiteral("Internal error of the crate: %1").arg(QString::fromUtf8(e.what())));
    }
}

class SingleCall : public CrateJob
{
public:
    SingleCall(Kind kind, std::function<QCborMap()> once) : CrateJob(kind), m_once(std::move(once)) {}
    int resume(int maxCalls) override
    {
        if (isDone() || maxCalls < 1)
            return 0;
        finish(guarded(m_once));
        return 1;
    }

private:
    std::function<QCborMap()> m_once; // the call and the making of its reply
};

class PlanJob : public CrateJob
{
public:
    PlanJob(HVPowerSupply &h, QVector<PlanStep> steps)
        : CrateJob(Kind::Read), m_steps(std::move(steps)), m_run(h, m_steps)
    {
    }
    int resume(int maxCalls) override
    {
        const int allowed = std::min(maxCalls, MaxPlanCalls - m_made);
        int made = 0;
        try {
            made = m_run.resume(allowed, [this](int i, const PlanAnswer &a) {
                m_answers.append(encodeAnswer(m_steps[i], a));
                return true;
            });
        } catch (const std::exception &e) { // the backend's own refusals are HVError, which the run keeps
            fail(QStringLiteral("Internal error of the crate: %1").arg(QString::fromUtf8(e.what())));
            return std::max(made, 1);
        }
        m_made += made;
        if (m_run.isOver()) {
            if (m_run.error())
                fail(m_run.error()->message());
            else
                finish({{Key::Answers, m_answers}});
        } else if (m_made >= MaxPlanCalls) {
            fail(QStringLiteral("The plan would make more than %1 crate calls, the most one plan may make; "
                                "the crate answered the steps before this one")
                     .arg(MaxPlanCalls));
        }
        return made;
    }

private:
    // The answers so far, and why the next step failed: the caller's plan stops there.
    void fail(const QString &why)
    {
        finish({{Key::Answers, m_answers}, {Key::Error, clip(why)}, {Key::FailedAt, m_answers.size()}});
    }

    QVector<PlanStep> m_steps;  // the reads, decoded
    PlanRunner::Run m_run;      // how far they got
    QCborArray m_answers;       // one per finished step
    int m_made = 0;             // calls so far
};

} // namespace

std::unique_ptr<CrateJob> CrateJob::call(Kind kind, std::function<QCborMap()> once)
{
    return std::make_unique<SingleCall>(kind, std::move(once));
}

std::unique_ptr<CrateJob> CrateJob::plan(HVPowerSupply &h, QVector<PlanStep> steps)
{
    return std::make_unique<PlanJob>(h, std::move(steps));
}

QCborMap CrateJob::reply() const
{
    QCborMap r = m_reply;
    if (m_id.isInteger())
        r.insert(Key::Id, m_id);
    return r;
}

void CrateJob::finish(QCborMap reply)
{
    m_reply = std::move(reply);
    m_done = true;
}
