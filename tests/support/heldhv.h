#pragma once

#include "fakehv.h"
#include "hverror.h"
#include "readplan.h"

#include <QList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

// A recording fake that holds every answer until the test releases it, so a
// test can interleave a tick planned, a write made, the tick's answer and the
// write's answer in any order, as a slow link does. A plan is read from the
// fake's tables when it is run, as the crate would read it on arrival, and its
// answers are applied when it is released; a write reaches the crate and is
// answered when it is released.
struct HeldHV : FakeHV
{
    struct Plan
    {
        std::shared_ptr<ReadPlan> plan;
        QVector<PlanAnswer> answers;  // read when it was run
        std::optional<HVError> error; // the read that failed, if one did
    };
    struct Write
    {
        std::function<void()> call; // the write at the crate; throws its refusal
        WriteDone done;             // its outcome, to whoever made it
    };
    QList<Plan> plans;   // in the order run
    QList<Write> writes; // in the order posted

    void runPlan(const std::shared_ptr<ReadPlan> &plan) override
    {
        Plan held{plan, {}, std::nullopt};
        held.error = PlanRunner::run(*this, plan->steps(), [&held](int, const PlanAnswer &a) {
            held.answers << a;
            return true;
        });
        plans << held;
    }
    void postParamValue(qint16 slot, const QString &par, qint16 ch, const QVariant &value, QObject *context,
                        WriteDone done) override
    {
        writes << Write{[=, this] { SetParamValue(slot, par, ch, value); }, whileAlive(context, std::move(done))};
    }
    void postChannelName(qint16 slot, qint16 ch, const QString &name, QObject *context, WriteDone done) override
    {
        writes << Write{[=, this] { SetChannelName(slot, ch, name); }, whileAlive(context, std::move(done))};
    }

    // The plan's answers arrive.
    void releasePlan(int i = 0)
    {
        Plan held = plans.takeAt(i);
        for (int k = 0; k < held.answers.size(); ++k)
            if (!held.plan->apply(k, held.answers[k]))
                return;
        if (held.error)
            held.plan->fail(*held.error);
        else
            held.plan->finish();
    }
    void releasePlans()
    {
        while (!plans.isEmpty())
            releasePlan();
    }
    // The write reaches the crate (a `failOn` prefix refuses it) and its answer comes back.
    void releaseWrite(int i = 0)
    {
        Write w = writes.takeAt(i);
        try {
            w.call();
        } catch (const HVError &e) {
            w.done(&e);
            return;
        }
        w.done(nullptr);
    }
    // The write left, and the link failed before its answer came.
    void loseWrite(int i = 0)
    {
        const HVError lost = HVError::link(QStringLiteral("Connection to the crate lost")).unanswered();
        writes.takeAt(i).done(&lost);
    }
};
