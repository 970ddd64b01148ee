#include "cratewatch.h"

#include "cratevalue.h"
#include "eventlog.h"
#include "hverror.h"
#include "lib.h"
#include "numberformat.h"
#include "readplan.h"

#include <QDateTime>
#include <algorithm>

namespace {
using What = AlarmBook::What;

// "FrontPanIn" bits of the crate-wide switch-offs.
constexpr quint8 KillInput = 4;
constexpr quint8 InterlockInput = 8;

// Channel status bits that raise an alarm: a trip, internal or external, in either
// branch of the status table; over-current; over-voltage.
constexpr qint32 TripBits = 64 | 512;
constexpr struct
{
    qint32 bits;
    What what;
} ChannelAlarms[] = {{TripBits, What::Trip}, {8, What::OverCurrent}, {16, What::OverVoltage}};

// Board status bits that raise an alarm.
constexpr struct
{
    qint32 bits;
    What what;
} BoardAlarms[] = {{1, What::PowerFail}, {2, What::Checksum}, {32, What::OverTemp}};

// A board has no more than this many channels' reads planned, whatever its count says.
constexpr int MostChannels = 64;
// The sweep reads every channel at most once in this many ticks.
constexpr int SweepTicksAtLeast = 5;
// After a Kill or Interlock is released, the ticks whose changes of status are still its own.
constexpr int SettlingTicks = 2;

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

CrateWatch::CrateWatch(EventLog &log, AlarmBook &alarms, QObject *parent)
    : QObject(parent), m_log(log), m_alarms(alarms)
{
}

bool CrateWatch::hasBoardStatus(const QString &model)
{
    return model == QLatin1String("Q510") || model == QLatin1String("Q510E");
}

void CrateWatch::reset()
{
    m_boards = {};
    m_tick = Tick{};
    m_kill = {};
    m_interlock = {};
    m_sweepSlot = m_sweepCh = 0;
}

void CrateWatch::takeInputs(quint8 in)
{
    m_tick.inputs = in;
}

CrateWatch::Read *CrateWatch::read(int slot, int ch)
{
    std::vector<Read> &reads = m_tick.reads[size_t(slot)];
    return ch >= 0 && size_t(ch) < reads.size() ? &reads[size_t(ch)] : nullptr;
}

void CrateWatch::plan(ReadPlan &plan)
{
    const std::optional<quint8> inputs = m_tick.inputs; // the front panel's apply may already have run
    m_tick = Tick{};
    m_tick.inputs = inputs;
    m_tick.plannedMs = now();
    m_planned = m_sweepPlanned = 0;
    plan.always();
    // The watch's own crate map: every read below is skipped by the crate for a slot emptied since.
    const int map = plan.querySlots(PlanStep::ChannelCounts | PlanStep::SlotModels,
                                    [this](const QVariant &, const QVariant &counts, const QVariant &models) {
                                        m_tick.mapRead = true;
                                        m_tick.counts = counts.toList();
                                        m_tick.models = models.toList();
                                    });
    m_planned = 1;
    for (int s = 0; s < MaxSlots; ++s)
        planBoard(plan, map, qint16(s));
    planSweep(plan, map, std::max(SweepFloor, ReadsPerTick - m_planned));
    plan.always();
}

void CrateWatch::planBoard(ReadPlan &plan, int map, qint16 slot)
{
    Board &b = m_boards[size_t(slot)];
    if (b.model.isEmpty())
        return;
    m_tick.reads[size_t(slot)].resize(b.channels.size());
    if (!b.learned) {
        // What each channel offers, and its name, once per board.
        for (qint16 ch = 0; ch < qint16(b.channels.size()); ++ch) {
            plan.onlyIfChannel(map, slot, ch);
            plan.listChannelParams(slot, ch, [this, slot, ch](const QVariant &v) {
                if (Read *r = read(slot, ch))
                    r->params = v.toStringList();
            });
            plan.channelName(slot, ch, [this, slot, ch](const QVariant &v) {
                emit channelNameRead(slot, ch, v.toString());
                if (Read *r = read(slot, ch))
                    r->name = v.toString();
            });
            m_planned += 2;
        }
        return;
    }
    plan.onlyIfOccupied(map, slot);
    if (hasBoardStatus(b.model)) {
        plan.paramValue(slot, QStringLiteral("BdStatus"), std::nullopt,
                        [this, slot](const QVariant &v) { m_tick.bdStatus[size_t(slot)] = crateInt32(v); });
        ++m_planned;
    }
    for (qint16 ch = 0; ch < qint16(b.channels.size()); ++ch) {
        const Channel &c = b.channels[size_t(ch)];
        if (!c.offersStatus && !c.offersPw)
            continue;
        plan.onlyIfChannel(map, slot, ch);
        if (c.offersStatus) {
            plan.paramValue(slot, QStringLiteral("Status"), ch, [this, slot, ch](const QVariant &v) {
                if (Read *r = read(slot, ch))
                    r->status = crateInt32(v);
            });
            ++m_planned;
        }
        if (c.offersPw) {
            plan.paramValue(slot, QStringLiteral("Pw"), ch, [this, slot, ch](const QVariant &v) {
                if (Read *r = read(slot, ch))
                    r->pw = crateNumber(v) != 0;
            });
            ++m_planned;
        }
    }
}

void CrateWatch::planSweep(ReadPlan &plan, int map, int budget)
{
    std::vector<std::pair<qint16, qint16>> all; // every watched channel, in slot and channel order
    for (int s = 0; s < MaxSlots; ++s)
        if (m_boards[size_t(s)].learned)
            for (int ch = 0; ch < int(m_boards[size_t(s)].channels.size()); ++ch)
                all.emplace_back(qint16(s), qint16(ch));
    if (all.empty())
        return;
    const int n = int(all.size());
    const auto from = std::lower_bound(all.cbegin(), all.cend(), std::pair<qint16, qint16>(m_sweepSlot, m_sweepCh));
    const int start = from == all.cend() ? 0 : int(from - all.cbegin());
    const int most = (n + SweepTicksAtLeast - 1) / SweepTicksAtLeast;
    int taken = 0;
    int spent = 0;
    for (; taken < std::min(n, most); ++taken) {
        const auto [slot, ch] = all[size_t((start + taken) % n)];
        const Channel &c = m_boards[size_t(slot)].channels[size_t(ch)];
        const int cost = 1 + (c.offersV0 ? 2 : 0) + (c.offersI0 ? 2 : 0);
        if (taken > 0 && spent + cost > budget)
            break;
        spent += cost;
        plan.onlyIfChannel(map, slot, ch);
        plan.channelName(slot, ch, [this, slot, ch](const QVariant &v) {
            emit channelNameRead(slot, ch, v.toString());
            if (Read *r = read(slot, ch))
                r->name = v.toString();
        });
        const auto setpoint = [&](bool offered, const QString &par, Setpoint Read::*field) {
            if (!offered)
                return;
            plan.paramAttribute(slot, par, QStringLiteral("Exp"), ch, [this, slot, ch, field](const QVariant &v) {
                if (Read *r = read(slot, ch))
                    (r->*field).exp = crateInt16(v);
            });
            plan.paramValue(slot, par, ch, [this, slot, ch, field](const QVariant &v) {
                if (Read *r = read(slot, ch))
                    (r->*field).raw = crateNumber(v);
            });
        };
        setpoint(c.offersV0, QStringLiteral("V0Set"), &Read::v0);
        setpoint(c.offersI0, QStringLiteral("I0Set"), &Read::i0);
    }
    const auto next = all[size_t((start + taken) % n)];
    m_sweepSlot = next.first;
    m_sweepCh = next.second;
    m_sweepPlanned = spent;
    m_planned += spent;
}

bool CrateWatch::refused(const HVError &error)
{
    if (error.isLinkFailure() || !m_tick.mapRead)
        return false;
    // A board changed between two looks: ask every board again what it offers.
    for (Board &b : m_boards)
        b.learned = false;
    m_tick = Tick{};
    return true;
}

void CrateWatch::evaluate()
{
    if (!m_tick.mapRead)
        return;
    if (m_tick.inputs) {
        evaluateInputs(m_kill, *m_tick.inputs & KillInput, What::Kill);
        evaluateInputs(m_interlock, *m_tick.inputs & InterlockInput, What::Interlock);
    }
    // While a crate-wide switch-off is in force (and at the tick it ends), what it does to
    // every channel is its own alarm's, not a change of each channel; a status may take a
    // tick longer to settle after the release.
    Folding folding;
    for (const CrateEvent *event : {&m_kill, &m_interlock}) {
        folding.switchOffs = folding.switchOffs || event->on || event->onBefore;
        folding.statuses = folding.statuses || event->on || event->onBefore || event->settling > 0;
    }
    for (int s = 0; s < MaxSlots; ++s)
        evaluateBoard(s, folding);
    for (auto [event, what] : {std::pair{&m_kill, What::Kill}, {&m_interlock, What::Interlock}})
        if (event->on || event->onBefore)
            m_alarms.setText(event->alarmId, eventText(what, *event));
}

void CrateWatch::evaluateInputs(CrateEvent &event, bool on, What what)
{
    event.onBefore = event.on;
    event.on = on;
    event.settling = on ? 0 : event.onBefore ? SettlingTicks : std::max(0, event.settling - 1);
    if (on && !event.onBefore) {
        event.switchedOff.clear();
        EventLog::Entry e;
        e.kind = EventLog::Kind::Alarm;
        e.parameter = QStringLiteral("FrontPanIn");
        e.oldValue = onOff(false);
        e.newValue = onOff(true);
        event.alarmId = m_alarms.raise(what, -1, -1, QString(), eventText(what, event), e);
    } else if (!on && event.onBefore) {
        m_alarms.clear(what, -1, -1);
    }
}

QString CrateWatch::eventText(What what, const CrateEvent &event)
{
    if (event.switchedOff.isEmpty())
        return tr("%1 input set at the front panel").arg(AlarmBook::whatText(what));
    QStringList bySlot;
    int slot = -1;
    for (const auto &[s, channel] : event.switchedOff) {
        if (s != slot)
            bySlot << tr("slot %1: %2").arg(s).arg(channel);
        else
            bySlot.last() += QStringLiteral(", ") + channel;
        slot = s;
    }
    const int n = int(event.switchedOff.size());
    return (n == 1 ? tr("%1 switched off %2 channel: %3") : tr("%1 switched off %2 channels: %3"))
        .arg(AlarmBook::whatText(what))
        .arg(n)
        .arg(bySlot.join(QStringLiteral("; ")));
}

void CrateWatch::switchedOffByCrate(int slot, int ch, const Channel &c)
{
    CrateEvent &event = m_kill.on ? m_kill : m_interlock.on ? m_interlock : m_kill.onBefore ? m_kill : m_interlock;
    const QString channel = c.name.isEmpty() ? QString::number(ch) : QStringLiteral("%1 %2").arg(ch).arg(c.name);
    auto at = std::upper_bound(event.switchedOff.begin(), event.switchedOff.end(), slot,
                               [](int s, const std::pair<int, QString> &p) { return s < p.first; });
    event.switchedOff.insert(at, {slot, channel});
}

void CrateWatch::evaluateBoard(int slot, Folding folding)
{
    const QString model = m_tick.models.value(slot).toString();
    const int count = std::clamp(m_tick.counts.value(slot).toInt(), 0, MostChannels);
    Board &b = m_boards[size_t(slot)];
    if (model != b.model) {
        if (!b.model.isEmpty()) {
            EventLog::Entry e;
            e.kind = EventLog::Kind::BoardRemoved;
            e.oldValue = b.model;
            e.newValue = model;
            m_alarms.raise(What::BoardRemoved, slot, -1, QString(),
                           model.isEmpty() ? tr("Board %1 left slot %2").arg(b.model).arg(slot)
                                           : tr("Board %1 in slot %2 replaced by a %3").arg(b.model).arg(slot).arg(model),
                           e);
        }
        if (!model.isEmpty())
            m_alarms.clear(What::BoardRemoved, slot, -1); // a board is back: that condition is over
        b = Board{};
        b.model = model;
        b.channels.resize(size_t(count));
        return;
    }
    if (model.isEmpty())
        return;
    std::vector<Read> &reads = m_tick.reads[size_t(slot)];
    if (size_t(count) != b.channels.size() || reads.size() != b.channels.size()) {
        b.channels.assign(size_t(count), Channel{});
        b.learned = false;
        return;
    }
    if (!b.learned) {
        if (std::any_of(reads.cbegin(), reads.cend(), [](const Read &r) { return !r.params || !r.name; }))
            return; // skipped this time: asked again at the next tick
        for (size_t ch = 0; ch < reads.size(); ++ch) {
            Channel &c = b.channels[ch];
            const QStringList &params = *reads[ch].params;
            c.offersStatus = params.contains(QLatin1String("Status"));
            c.offersPw = params.contains(QLatin1String("Pw"));
            c.offersV0 = params.contains(QLatin1String("V0Set"));
            c.offersI0 = params.contains(QLatin1String("I0Set"));
            c.name = *reads[ch].name;
            c.nameKnown = true;
        }
        b.learned = true;
        return;
    }
    if (const std::optional<qint32> bd = m_tick.bdStatus[size_t(slot)]) {
        for (const auto &[bits, what] : BoardAlarms) {
            if (!(*bd & bits)) {
                m_alarms.clear(what, slot, -1);
                continue;
            }
            const AlarmBook::Alarm *listed = m_alarms.find(what, slot, -1);
            if (listed && listed->isActive())
                continue;
            EventLog::Entry e;
            e.kind = EventLog::Kind::Alarm;
            e.parameter = QStringLiteral("BdStatus");
            e.oldValue = b.bdStatus ? Lib::BdStatusText(*b.bdStatus) : QString();
            e.newValue = Lib::BdStatusText(*bd);
            m_alarms.raise(what, slot, -1, QString(), tr("%1 (%2)").arg(AlarmBook::whatText(what), b.model), e);
        }
        b.bdStatus = bd;
    }
    for (size_t ch = 0; ch < reads.size(); ++ch)
        evaluateChannel(slot, int(ch), b.channels[ch], reads[ch], folding);
}

void CrateWatch::evaluateChannel(int slot, int ch, Channel &c, Read &r, Folding folding)
{
    if (r.status) {
        const qint32 status = *r.status;
        const QString before = c.status ? Lib::ChStatusText(*c.status) : QString();
        const QString text = Lib::ChStatusText(status);
        bool alarmed = false;
        for (const auto &[bits, what] : ChannelAlarms) {
            if (!(status & bits)) {
                m_alarms.clear(what, slot, ch);
                continue;
            }
            const AlarmBook::Alarm *listed = m_alarms.find(what, slot, ch);
            if (listed && listed->isActive())
                continue;
            EventLog::Entry e;
            e.kind = EventLog::Kind::Alarm;
            e.parameter = QStringLiteral("Status");
            e.oldValue = before;
            e.newValue = text;
            m_alarms.raise(what, slot, ch, c.name, what == What::Trip ? tr("Trip (%1)").arg(text) : AlarmBook::whatText(what), e);
            alarmed = true;
        }
        // The alarm's entry tells the change that raised it; a crate-wide switch-off tells its own.
        if (c.status && text != before && !alarmed && !folding.statuses)
            m_log.statusChanged(slot, ch, c.name, before, text);
        c.status = status;
    }
    if (r.pw) {
        const bool on = *r.pw;
        if (c.pw && *c.pw != on) {
            const bool tripped = c.status && (*c.status & TripBits);
            if (!on && folding.switchOffs)
                switchedOffByCrate(slot, ch, c);
            else if (!(tripped && !on) && !m_log.wroteSince(slot, ch, QStringLiteral("Pw"), c.pwReadMs))
                m_log.changedElsewhere(slot, ch, c.name, QStringLiteral("Pw"), onOff(*c.pw), onOff(on));
        }
        c.pw = on;
        c.pwReadMs = m_tick.plannedMs;
    }
    const bool swept = r.name || r.v0.raw || r.i0.raw;
    if (r.name) {
        if (c.nameKnown && *r.name != c.name && !m_log.wroteSince(slot, ch, QStringLiteral("Name"), c.sweptMs))
            m_log.changedElsewhere(slot, ch, c.name, QStringLiteral("Name"), c.name, *r.name);
        c.name = *r.name;
        c.nameKnown = true;
    }
    if (r.v0.raw)
        evaluateSetpoint(slot, ch, c, QStringLiteral("V0Set"), c.v0, r.v0, QStringLiteral("V"));
    if (r.i0.raw)
        evaluateSetpoint(slot, ch, c, QStringLiteral("I0Set"), c.i0, r.i0, QStringLiteral("A"));
    if (swept)
        c.sweptMs = m_tick.plannedMs;
}

void CrateWatch::evaluateSetpoint(int slot, int ch, Channel &c, const QString &par, Setpoint &old, const Setpoint &now,
                                  const QString &unit)
{
    const auto real = [&unit](const Setpoint &s) {
        return NumberFormat::render(toRealUnits(*s.raw, s.exp), QStringLiteral(" k\"") + unit + QLatin1Char('"'));
    };
    if (old.raw && (*old.raw != *now.raw || old.exp != now.exp) && !m_log.wroteSince(slot, ch, par, c.sweptMs))
        m_log.changedElsewhere(slot, ch, c.name, par, real(old), real(now));
    old = now;
}
