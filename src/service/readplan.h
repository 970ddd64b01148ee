#pragma once

#include "hverror.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>

class HVPowerSupply;

// One read of a plan, in the form that both the caller's access layer and the
// crate server run it.
struct PlanStep
{
    enum class Op : quint8 { QuerySlots, CrateProperty, ParamValue, ParamAttribute, ChannelName, ListChannelParams };
    // The outputs a QuerySlots step asks for.
    enum Output : quint8 { SlotCount = 1, ChannelCounts = 2, SlotModels = 4 };

    Op op = Op::ParamValue;
    qint16 slot = 0;
    std::optional<qint16> ch;   // absent: the board (ParamValue, ParamAttribute)
    QString par;                // the parameter; CrateProperty: the property's name
    QString prop;               // ParamAttribute: the attribute
    quint8 outputs = 0;         // QuerySlots: Output bits
    // Guard: the step runs only when the QuerySlots answer of step whenStep shows
    // whenSlot occupied and, with whenChannel, holding more channels than that number.
    int whenStep = -1;
    qint16 whenSlot = 0;
    std::optional<qint16> whenChannel;
    // ParamAttribute of every name that the ListChannelParams step eachOf answered,
    // one crate call per name, in list order (par is then unused).
    int eachOf = -1;

    bool operator==(const PlanStep &other) const = default;

    // One read of each kind, unguarded: plans and single calls build their steps here.
    static PlanStep querySlots(quint8 outputs);
    static PlanStep crateProperty(const QString &name);
    static PlanStep paramValue(qint16 slot, const QString &par, std::optional<qint16> ch);
    static PlanStep paramAttribute(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch);
    static PlanStep channelName(qint16 slot, qint16 ch);
    static PlanStep listChannelParams(qint16 slot, qint16 ch);
};

// What one step answered. QuerySlots: a QVariantList {SlotCount, ChannelCounts,
// SlotModels}, invalid where not asked for. An eachOf step: a QVariantList.
struct PlanAnswer
{
    bool skipped = false; // its guard did not hold: no call was made
    QVariant value;
};

namespace PlanRunner {

using Each = std::function<bool(int index, const PlanAnswer &answer)>;

// Makes the steps' calls on h, one by one in order, until one fails; `each`
// sees every answer as it comes and stops the run by returning false. Returns
// the failing call's error. The in-process access layers run plans with this,
// the crate server with a Run in pieces, so both make exactly the same calls.
std::optional<HVError> run(HVPowerSupply &h, const QVector<PlanStep> &steps, const Each &each);

// A plan run a few calls at a time, so that whoever serves it can make other
// calls in between (a list of attributes may stop between two of its names).
// The steps must outlive the run.
class Run
{
public:
    Run(HVPowerSupply &h, const QVector<PlanStep> &steps);
    // Makes at most maxCalls calls (steps whose guard fails cost none) and
    // hands every finished step's answer to `each`; returns the calls made.
    int resume(int maxCalls, const Each &each);
    // Every step answered, a call failed, or `each` said stop.
    bool isOver() const { return m_over; }
    // The failing call's error, once over.
    const std::optional<HVError> &error() const { return m_error; }
    // The step the next call belongs to.
    int nextStep() const { return m_next; }

private:
    HVPowerSupply &m_h;                 // where the calls go
    const QVector<PlanStep> &m_steps;   // the reads
    QVector<PlanAnswer> m_answers;      // so far: guards and lists read earlier answers
    int m_next = 0;                     // index of the step under way
    const PlanStep *m_judged = nullptr; // the step whose guard was judged last
    bool m_holds = true;                // and whether it held
    QVariantList m_partial;             // a list of attributes under way
    int m_nextName = 0;                 // its next name
    bool m_over = false;                // nothing more to call
    std::optional<HVError> m_error;     // why it ended early
};

} // namespace PlanRunner

// A sequence of reads that a window makes in one tick, handed to the access
// layer as a whole (HVPowerSupply::runPlan), so that a tick costs one exchange
// with the crate and the GUI thread never waits for it.
//
// Each read may carry an apply function; once the answers are there they are
// applied in order. An apply may throw HVError (an answer that makes no sense):
// the plan then fails there, as a failing crate call does, and nothing after it
// is applied. Exactly one of onDone / onFailed follows the last apply, unless
// the context object is gone (then nothing at all is applied: a late answer for
// a closed window is dropped) or an apply called stop().
class ReadPlan
{
public:
    using Apply = std::function<void(const QVariant &value)>;
    using SlotsApply = std::function<void(const QVariant &slotCount, const QVariant &channelCounts,
                                          const QVariant &slotModels)>;

    explicit ReadPlan(QObject *context = nullptr);
    ReadPlan(const ReadPlan &) = delete;
    ReadPlan &operator=(const ReadPlan &) = delete;

    // The reads, in the order the crate sees them; each returns its step index.
    int querySlots(quint8 outputs, SlotsApply apply = {});
    int crateProperty(const QString &name, Apply apply = {});
    int paramValue(qint16 slot, const QString &par, std::optional<qint16> ch, Apply apply = {});
    int paramAttribute(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch,
                       Apply apply = {});
    int channelName(qint16 slot, qint16 ch, Apply apply = {});
    int listChannelParams(qint16 slot, qint16 ch, Apply apply = {});
    // The attribute of every parameter that step listStep lists; apply gets a QVariantList.
    int paramAttributeOfEach(int listStep, qint16 slot, const QString &prop, qint16 ch, Apply apply = {});

    // Guards for the steps added from now on: they run only while the slot is
    // occupied (and has more than ch channels), as step slotsStep answered.
    void onlyIfOccupied(int slotsStep, qint16 slot);
    void onlyIfChannel(int slotsStep, qint16 slot, qint16 ch);
    void always();

    // Answers are applied only while this holds; once it does not, nothing
    // more is applied and neither onDone nor onFailed runs (as for a dead context).
    void whileTrue(std::function<bool()> alive);
    void onDone(std::function<void()> done);
    void onFailed(std::function<void(const HVError &error)> failed);
    // From inside an apply: nothing more is applied and neither onDone nor onFailed runs.
    void stop();

    // Once it has ended, the same reads may run again (a window asks for them tick after tick).
    void rearm() { m_over = false; }
    const QVector<PlanStep> &steps() const { return m_steps; }
    int size() const { return int(m_steps.size()); }
    bool isEmpty() const { return m_steps.isEmpty(); }

    // The access layer's side. apply() returns false once nothing more is to be
    // applied (a failure, stop(), a vanished context); fail() and finish() end the plan.
    bool apply(int index, const PlanAnswer &answer);
    void fail(const HVError &error);
    void finish();
    // The window the answers are for (nullptr: none, or gone).
    QObject *context() const { return m_context.data(); }
    bool contextAlive() const { return (!m_hasContext || !m_context.isNull()) && (!m_alive || m_alive()); }

private:
    int add(PlanStep step, Apply apply);

    QPointer<QObject> m_context;                 // the window the answers are for
    bool m_hasContext;                           // a context was given: its end drops the answers
    QVector<PlanStep> m_steps;                   // the reads
    QVector<Apply> m_apply;                      // by step; empty where nothing is shown
    PlanStep m_guard;                            // guard given to steps added now
    std::function<bool()> m_alive;               // while it holds, answers are wanted
    std::function<void()> m_done;                // after the last apply
    std::function<void(const HVError &)> m_failed; // when a call or an apply failed
    bool m_over = false;                         // failed, stopped or finished
};
