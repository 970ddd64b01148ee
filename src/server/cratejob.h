#pragma once

#include "readplan.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <functional>
#include <memory>
#include <optional>

class HVPowerSupply;

// The crate work of one request of a logged-in connection: a read, a write, a
// plan or the logout. CrateScheduler makes its calls a few at a time, so that
// other connections' reads and anybody's writes reach the crate between two
// reads of a long plan; once done it holds the reply.
class CrateJob
{
public:
    enum class Kind { Read, Write, Logout };
    // Most crate calls one plan may make, its lists of attributes counted name
    // by name: enough for a whole crate's tree, and about a second of a slow crate.
    static constexpr int MaxPlanCalls = 10000;

    virtual ~CrateJob() = default;

    // A single call that answers with its reply (without id); the crate's
    // refusal, thrown as HVError, becomes an error reply.
    static std::unique_ptr<CrateJob> call(Kind kind, std::function<QCborMap()> once);
    // The reads of a plan on h, in order, at most MaxPlanCalls calls.
    static std::unique_ptr<CrateJob> plan(HVPowerSupply &h, QVector<PlanStep> steps);

    Kind kind() const { return m_kind; }
    // Makes at most maxCalls calls; returns how many it made.
    virtual int resume(int maxCalls) = 0;
    bool isDone() const { return m_done; }
    // The reply once done, with the request's id.
    QCborMap reply() const;
    void setId(const QCborValue &id) { m_id = id; }

protected:
    explicit CrateJob(Kind kind) : m_kind(kind) {}
    // Ends the job with this reply.
    void finish(QCborMap reply);

private:
    Kind m_kind;        // what it does to the crate
    QCborValue m_id;    // the request's id, when it had one
    QCborMap m_reply;   // once done
    bool m_done = false; // the reply is ready
};
