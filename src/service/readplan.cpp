#include "readplan.h"

#include "cratenumber.h"
#include "hvpowersupply.h"

#include <limits>
#include <utility>

namespace PlanRunner {

namespace {

// A channel count as the windows read it (crateInt16); none when they would fail on it.
std::optional<qint16> channelCount(const QVariant &v)
{
    try {
        return crateInt16(v);
    } catch (const HVError &) {
        return std::nullopt;
    }
}

// One call of a step (an attribute list makes one per name and is handled by Run).
QVariant call(HVPowerSupply &h, const PlanStep &s)
{
    switch (s.op) {
    case PlanStep::Op::QuerySlots: {
        QVariant count, channels, models;
        h.QuerySlots(s.outputs & PlanStep::SlotCount ? &count : nullptr,
                     s.outputs & PlanStep::ChannelCounts ? &channels : nullptr,
                     s.outputs & PlanStep::SlotModels ? &models : nullptr);
        return QVariantList{count, channels, models};
    }
    case PlanStep::Op::CrateProperty:
        return h.CrateProperty(s.par);
    case PlanStep::Op::ParamValue:
        return h.ParamValue(s.slot, s.par, s.ch);
    case PlanStep::Op::ParamAttribute:
        return h.ParamAttribute(s.slot, s.par, s.prop, s.ch);
    case PlanStep::Op::ChannelName:
        return h.ChannelName(s.slot, s.ch.value_or(0));
    case PlanStep::Op::ListChannelParams:
        return h.ListChannelParams(s.slot, s.ch.value_or(0));
    }
    return QVariant();
}

// Whether a step's guard holds, given the answers of the steps before it.
bool guardHolds(const PlanStep &step, const QVector<PlanAnswer> &earlier)
{
    if (step.whenStep < 0)
        return true;
    if (step.whenStep >= earlier.size() || earlier[step.whenStep].skipped)
        return false;
    const QVariantList outputs = earlier[step.whenStep].value.toList();
    if (outputs.value(2).toList().value(step.whenSlot).toString().isEmpty())
        return false;
    if (!step.whenChannel)
        return true;
    const std::optional<qint16> n = channelCount(outputs.value(1).toList().value(step.whenSlot));
    return n && *step.whenChannel < *n;
}

bool sameGuard(const PlanStep &a, const PlanStep &b)
{
    return a.whenStep == b.whenStep && a.whenSlot == b.whenSlot && a.whenChannel == b.whenChannel;
}

} // namespace

std::optional<HVError> run(HVPowerSupply &h, const QVector<PlanStep> &steps, const Each &each)
{
    Run r(h, steps);
    while (!r.isOver())
        r.resume(std::numeric_limits<int>::max(), each);
    return r.error();
}

Run::Run(HVPowerSupply &h, const QVector<PlanStep> &steps) : m_h(h), m_steps(steps)
{
    m_answers.reserve(steps.size());
    m_over = steps.isEmpty();
}

int Run::resume(int maxCalls, const Each &each)
{
    int made = 0;
    while (!m_over && made < maxCalls) {
        const PlanStep &step = m_steps[m_next];
        // A channel's steps share one guard: it is judged once for the run of them.
        if (!m_judged || !sameGuard(*m_judged, step)) {
            m_judged = &step;
            m_holds = guardHolds(step, m_answers);
        }
        PlanAnswer a;
        try {
            if (!m_holds) {
                a.skipped = true;
            } else if (step.eachOf >= 0) {
                const QVariantList names = m_answers.value(step.eachOf).value.toList();
                while (m_nextName < names.size() && made < maxCalls) {
                    ++made;
                    m_partial << m_h.ParamAttribute(step.slot, names[m_nextName].toString(), step.prop, step.ch);
                    ++m_nextName;
                }
                if (m_nextName < names.size())
                    break; // the rest of the list at the next resume
                a.value = std::exchange(m_partial, QVariantList());
                m_nextName = 0;
            } else {
                ++made;
                a.value = call(m_h, step);
            }
        } catch (const HVError &e) {
            m_error = e;
            m_over = true;
            break;
        }
        m_answers.append(a);
        ++m_next;
        m_over = m_next == m_steps.size();
        if (each && !each(m_next - 1, m_answers.back()))
            m_over = true;
    }
    return made;
}

} // namespace PlanRunner

ReadPlan::ReadPlan(QObject *context)
    : m_context(context), m_hasContext(context != nullptr)
{
}

int ReadPlan::add(PlanStep step, Apply apply)
{
    step.whenStep = m_guard.whenStep;
    step.whenSlot = m_guard.whenSlot;
    step.whenChannel = m_guard.whenChannel;
    m_steps.append(std::move(step));
    m_apply.append(std::move(apply));
    return int(m_steps.size()) - 1;
}

PlanStep PlanStep::querySlots(quint8 outputs)
{
    PlanStep s;
    s.op = Op::QuerySlots;
    s.outputs = outputs;
    return s;
}

PlanStep PlanStep::crateProperty(const QString &name)
{
    PlanStep s;
    s.op = Op::CrateProperty;
    s.par = name;
    return s;
}

PlanStep PlanStep::paramValue(qint16 slot, const QString &par, std::optional<qint16> ch)
{
    PlanStep s;
    s.op = Op::ParamValue;
    s.slot = slot;
    s.par = par;
    s.ch = ch;
    return s;
}

PlanStep PlanStep::paramAttribute(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch)
{
    PlanStep s = paramValue(slot, par, ch);
    s.op = Op::ParamAttribute;
    s.prop = prop;
    return s;
}

PlanStep PlanStep::channelName(qint16 slot, qint16 ch)
{
    PlanStep s;
    s.op = Op::ChannelName;
    s.slot = slot;
    s.ch = ch;
    return s;
}

PlanStep PlanStep::listChannelParams(qint16 slot, qint16 ch)
{
    PlanStep s = channelName(slot, ch);
    s.op = Op::ListChannelParams;
    return s;
}

int ReadPlan::querySlots(quint8 outputs, SlotsApply apply)
{
    Apply unpack;
    if (apply) {
        unpack = [apply = std::move(apply)](const QVariant &v) {
            const QVariantList out = v.toList();
            apply(out.value(0), out.value(1), out.value(2));
        };
    }
    return add(PlanStep::querySlots(outputs), std::move(unpack));
}

int ReadPlan::crateProperty(const QString &name, Apply apply)
{
    return add(PlanStep::crateProperty(name), std::move(apply));
}

int ReadPlan::paramValue(qint16 slot, const QString &par, std::optional<qint16> ch, Apply apply)
{
    return add(PlanStep::paramValue(slot, par, ch), std::move(apply));
}

int ReadPlan::paramAttribute(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch,
                             Apply apply)
{
    return add(PlanStep::paramAttribute(slot, par, prop, ch), std::move(apply));
}

int ReadPlan::channelName(qint16 slot, qint16 ch, Apply apply)
{
    return add(PlanStep::channelName(slot, ch), std::move(apply));
}

int ReadPlan::listChannelParams(qint16 slot, qint16 ch, Apply apply)
{
    return add(PlanStep::listChannelParams(slot, ch), std::move(apply));
}

int ReadPlan::paramAttributeOfEach(int listStep, qint16 slot, const QString &prop, qint16 ch, Apply apply)
{
    Q_ASSERT(listStep >= 0 && listStep < m_steps.size() && m_steps[listStep].op == PlanStep::Op::ListChannelParams);
    PlanStep s = PlanStep::paramAttribute(slot, QString(), prop, ch);
    s.eachOf = listStep;
    return add(std::move(s), std::move(apply));
}

void ReadPlan::onlyIfOccupied(int slotsStep, qint16 slot)
{
    m_guard.whenStep = slotsStep;
    m_guard.whenSlot = slot;
    m_guard.whenChannel.reset();
}

void ReadPlan::onlyIfChannel(int slotsStep, qint16 slot, qint16 ch)
{
    onlyIfOccupied(slotsStep, slot);
    m_guard.whenChannel = ch;
}

void ReadPlan::always()
{
    m_guard = PlanStep();
}

void ReadPlan::whileTrue(std::function<bool()> alive)
{
    m_alive = std::move(alive);
}

void ReadPlan::onDone(std::function<void()> done)
{
    m_done = std::move(done);
}

void ReadPlan::onFailed(std::function<void(const HVError &)> failed)
{
    m_failed = std::move(failed);
}

void ReadPlan::stop()
{
    m_over = true;
}

bool ReadPlan::apply(int index, const PlanAnswer &answer)
{
    if (m_over)
        return false;
    if (!contextAlive()) {
        m_over = true;
        return false;
    }
    if (answer.skipped || index < 0 || index >= m_apply.size() || !m_apply[index])
        return true;
    try {
        m_apply[index](answer.value);
    } catch (const HVError &e) {
        fail(e);
        return false;
    } catch (const std::exception &e) {
        fail(HVError(QString::fromLocal8Bit(e.what())));
        return false;
    }
    return !m_over;
}

void ReadPlan::fail(const HVError &error)
{
    if (m_over)
        return;
    m_over = true;
    if (contextAlive() && m_failed)
        m_failed(error);
}

void ReadPlan::finish()
{
    if (m_over)
        return;
    m_over = true;
    if (contextAlive() && m_done)
        m_done();
}

void HVPowerSupply::loginThen(const QString &userName, const QString &password, const QString &address,
                              const std::shared_ptr<ReadPlan> &then)
{
    Login(userName, password, 0, address);
    runPlan(then);
}

void HVPowerSupply::runPlan(const std::shared_ptr<ReadPlan> &plan)
{
    const std::optional<HVError> error =
        PlanRunner::run(*this, plan->steps(), [&plan](int i, const PlanAnswer &a) { return plan->apply(i, a); });
    if (error)
        plan->fail(*error);
    else
        plan->finish();
}

HVPowerSupply::WriteDone HVPowerSupply::whileAlive(QObject *context, WriteDone done)
{
    if (!context || !done)
        return done;
    return [alive = QPointer<QObject>(context), done = std::move(done)](const HVError *error) {
        if (alive)
            done(error);
    };
}

namespace {
void writeNow(const std::function<void()> &write, const HVPowerSupply::WriteDone &done)
{
    try {
        write();
    } catch (const HVError &e) {
        if (done)
            done(&e);
        return;
    }
    if (done)
        done(nullptr);
}
} // namespace

void HVPowerSupply::postParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value,
                                   QObject *context, WriteDone done)
{
    writeNow([&] { SetParamValue(slot, parName, ch, value); }, whileAlive(context, std::move(done)));
}

bool HVPowerSupply::claimLinkReport(const HVError &)
{
    return true;
}

void HVPowerSupply::postChannelName(qint16 slot, qint16 ch, const QString &name, QObject *context, WriteDone done)
{
    writeNow([&] { SetChannelName(slot, ch, name); }, whileAlive(context, std::move(done)));
}
