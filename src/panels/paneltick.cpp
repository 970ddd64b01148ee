// The panel's traffic with the crate: the reads of a tick and how their answers
// are shown, and the writes the operator's changes make.

#include "boardpanel.h"

#include "cratevalue.h"
#include "editbook.h"
#include "eventlog.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "lamp.h"
#include "lib.h"
#include "namefield.h"
#include "numfield.h"
#include "panelkit.h"
#include "readoutlabel.h"
#include "readplan.h"
#include "thermometer.h"
#include "twoposswitch.h"

#include <QLabel>

namespace {
QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}
} // namespace

void BoardPanel::ChMonTick()
{
    checkFreshness();
    if (m_removed || m_closing || m_tickInFlight || m_offline)
        return;
    m_tick = m_edits->planTick();
    // The panel asks for the same reads tick after tick: its plan is made once and run again.
    if (!m_tickPlan || m_tickPlanFor != std::pair{Slot, channelRows()})
        makeTickPlan();
    else
        m_tickPlan->rearm();
    m_tickInFlight = true;
    h.runPlan(m_tickPlan);
}

void BoardPanel::makeTickPlan()
{
    auto plan = std::make_shared<ReadPlan>(this);
    // Nothing more is shown once the panel closes or its board is gone, this tick's answers included.
    plan->whileTrue([this] { return !m_closing && !m_removed && !m_offline; });
    const qint16 slot = Slot;
    const int map = plan->querySlots(PlanStep::ChannelCounts | PlanStep::SlotModels,
                                     [this, p = plan.get()](const QVariant &, const QVariant &counts,
                                                            const QVariant &models) {
                                         if (!takeMap(counts, models)) {
                                             m_tickInFlight = false;
                                             p->stop();
                                         }
                                     });
    // The crate skips what follows for an empty slot, and the channels the board does not have.
    plan->onlyIfOccupied(map, slot);
    planBoard(*plan);
    planTemp(*plan);
    for (qint16 ch = 0; ch < channelRows(); ++ch) {
        // A crate map claiming more channels than the panel has rows fills the rows there are.
        plan->onlyIfChannel(map, slot, ch);
        planChannel(*plan, ch);
    }
    plan->onDone([this] {
        m_tickInFlight = false;
        FirstRefresh = false;
        ticked();
        emit refreshed();
    });
    plan->onFailed([this](const HVError &e) {
        m_tickInFlight = false;
        tickFailed(e);
    });
    m_tickPlan = std::move(plan);
    m_tickPlanFor = {Slot, channelRows()};
}

bool BoardPanel::takeMap(const QVariant &counts, const QVariant &models)
{
    h.session().noteModels(models.toList()); // every other window hears of a change from this answer
    if (m_removed || m_closing)
        return false;
    const QString model = models.toList().value(Slot).toString();
    if (m_resuming) {
        // Back after a Disconnect: the panel goes on only for the board it was made for
        // (as its caption names it, when no tick has read it yet).
        m_resuming = false;
        const QString mine = m_model.isEmpty() ? windowTitle().section(QStringLiteral(" - "), 0, 0) : m_model;
        if (model != mine) {
            closeQuietly(model.isEmpty() ? tr("slot %1 is empty after the reconnect").arg(Slot)
                                         : tr("slot %1 holds a %2 after the reconnect").arg(Slot).arg(model));
            return false;
        }
    }
    if (model.isEmpty()) {
        boardRemoved();
        return false;
    }
    m_model = model;
    crateInt16(counts.toList().value(Slot)); // a count that is no number fails here
    return true;
}

void BoardPanel::planName(ReadPlan &plan, NameField *field, qint16 ch)
{
    plan.channelName(Slot, ch, [this, field, ch](const QVariant &v) {
        if (!m_edits->mayShow(field, m_tick))
            return;
        const QString name = v.toString();
        h.session().noteChannelName(Slot, ch, name); // graphs naming the channel follow a rename
        if (m_channelNames.value(ch) != name) {
            m_channelNames.insert(ch, name);
            showChannelName(ch);
        }
        field->setCrateName(name, FirstRefresh || m_edits->showsEvenIfEditing(field));
        m_edits->shown(field, name, [&name] { return name; });
    });
}

void BoardPanel::planLamp(ReadPlan &plan, Lamp *lamp, const QString &par, qint16 ch)
{
    plan.paramValue(Slot, par, ch, [this, lamp](const QVariant &v) {
        const bool on = crateNumber(v) != 0;
        if (!m_edits->mayShow(lamp, m_tick))
            return;
        lamp->setValue(on);
        m_edits->shown(lamp, on, [on] { return onOff(on); });
    });
}

void BoardPanel::planSwitch(ReadPlan &plan, TwoPosSwitch *sw, const QString &par, qint16 ch)
{
    plan.paramValue(Slot, par, ch, [this, sw](const QVariant &v) {
        const bool on = crateNumber(v) != 0;
        if (!m_edits->mayShow(sw, m_tick))
            return;
        sw->setValue(on);
        m_edits->shown(sw, on, [on] { return onOff(on); });
    });
}

void BoardPanel::planSetpoint(ReadPlan &plan, NumField *field, const QString &par, const QString &unit, qint16 ch)
{
    auto e = std::make_shared<qint16>(0);
    plan.paramAttribute(Slot, par, QStringLiteral("Exp"), ch, [e](const QVariant &v) { *e = crateInt16(v); });
    plan.paramValue(Slot, par, ch, [this, field, unit, e](const QVariant &v) {
        const double value = crateNumber(v);
        if (!m_edits->mayShow(field, m_tick))
            return;
        // The format follows the board's exponent, which hardly ever changes: it is made anew only then.
        const auto known = m_setpointExp.constFind(field);
        const bool reworded = known == m_setpointExp.constEnd() || *known != *e;
        const bool prefixed = exponentHasPrefix(*e);
        if (reworded) {
            m_setpointExp.insert(field, *e);
            // The board's own scale puts the prefix of its exponent into the unit text; without
            // one the scale is unsaid, so real units are shown, and taken back on a write.
            field->setFormat(prefixed ? QStringLiteral(" \"") + Lib::ExpPrefix(*e) + unit + QLatin1Char('"')
                                      : QStringLiteral(" k\"") + unit + QLatin1Char('"'));
        }
        const double shown = prefixed ? value : toRealUnits(value, *e);
        field->setValue(shown, FirstRefresh || m_edits->showsEvenIfEditing(field));
        m_edits->shown(field, shown, [field, shown] { return field->textOf(shown); }, reworded);
    });
}

void BoardPanel::planPlain(ReadPlan &plan, NumField *field, const QString &par, qint16 ch)
{
    plan.paramValue(Slot, par, ch, [this, field](const QVariant &v) {
        const double value = crateNumber(v);
        if (!m_edits->mayShow(field, m_tick))
            return;
        field->setValue(value, FirstRefresh || m_edits->showsEvenIfEditing(field));
        m_edits->shown(field, value, [field, value] { return field->textOf(value); });
    });
}

void BoardPanel::planScaledValue(ReadPlan &plan, NumField *field, const QString &par, qint16 ch)
{
    // Monitors are shown in the base unit; the field picks the prefix from the value.
    planScaled(plan, Slot, par, ch, [field](double v) { field->setValue(v); });
}

void BoardPanel::planStatus(ReadPlan &plan, ReadoutLabel *label, qint16 ch)
{
    // Read once for the text and once for each colour, as the board's status may change in between.
    const QString status = QStringLiteral("Status");
    auto back = std::make_shared<QColor>();
    plan.paramValue(Slot, status, ch,
                    [this, label, ch](const QVariant &v) { showStatus(label, ch, crateInt32(v)); });
    plan.paramValue(Slot, status, ch,
                    [back](const QVariant &v) { *back = Lib::toQColor(Lib::StatusBackColor(crateInt32(v))); });
    plan.paramValue(Slot, status, ch, [this, label, back](const QVariant &v) {
        PanelKit::setStatusColours(label, *back, Lib::toQColor(Lib::StatusForeColor(crateInt32(v))));
        // The alarm colours say something the text may not ("Up" with over-current): say it in words too.
        label->setReading(label->text(), Lib::StatusIsAlarm(crateInt32(v)));
    });
}

void BoardPanel::showStatus(ReadoutLabel *label, qint16 ch, qint32 status)
{
    // Changes of status are logged by the main window's watch of the whole crate, once for
    // every channel whether its panel is open or not.
    Q_UNUSED(ch);
    const QString text = Lib::ChStatusText(status);
    if (text != label->text())
        label->setReading(text, label->alarm());
}

void BoardPanel::planTemp(ReadPlan &plan)
{
    plan.paramValue(Slot, QStringLiteral("Temp"), std::nullopt,
                    [this](const QVariant &v) { Temp->setValue(crateNumber(v)); });
}

void BoardPanel::bindNumber(NumField *field, const QString &par, qint16 ch)
{
    connect(field, &NumField::committed, this, [this, field, par, ch](double v) {
        // A field shown in real units writes in the board's own scale.
        const auto exp = m_setpointExp.constFind(field);
        const double board = exp == m_setpointExp.constEnd() || exponentHasPrefix(*exp) ? v : toBoardScale(v, *exp);
        writeParam(field, par, ch, QVariant(board), field->textOf(v), {});
    });
    connect(field, &NumField::typingDropped, this,
            [this, par, ch](const QString &typed) { typingDropped(par, ch, typed); });
}

void BoardPanel::bindSwitch(Lamp *lamp, const QString &par, qint16 ch)
{
    connect(lamp, &Lamp::switchedByOperator, this, [this, lamp, par, ch](bool on) {
        writeParam(lamp, par, ch, QVariant::fromValue<qint16>(on ? 1 : 0), onOff(on), [lamp, on] { lamp->setValue(!on); });
    });
}

void BoardPanel::bindSwitch(TwoPosSwitch *sw, const QString &par, qint16 ch)
{
    connect(sw, &TwoPosSwitch::switchedByOperator, this, [this, sw, par, ch](bool on) {
        writeParam(sw, par, ch, QVariant::fromValue<qint16>(on ? 1 : 0), onOff(on), [sw, on] { sw->setValue(!on); });
    });
}

void BoardPanel::bindName(NameField *field, qint16 ch)
{
    connect(field, &NameField::committed, this, [this, field, ch](const QString &name) { writeName(field, ch, name); });
    connect(field, &NameField::typingDropped, this,
            [this, ch](const QString &typed) { typingDropped(QStringLiteral("the name"), ch, typed); });
}

void BoardPanel::writeParam(QWidget *control, const QString &par, qint16 ch, const QVariant &value,
                            const QString &newText, std::function<void()> revert)
{
    if (m_closing || m_removed)
        return;
    const EditBook::Write write{Slot, ch, m_channelNames.value(ch), par, newText, std::move(revert)};
    // No context: the outcome is logged even when the panel has closed by then.
    h.postParamValue(Slot, par, ch, value, nullptr, m_edits->made(control, write));
}

void BoardPanel::writeName(NameField *field, qint16 ch, const QString &name)
{
    if (m_closing || m_removed)
        return;
    const EditBook::Write write{Slot, ch, m_channelNames.value(ch), QStringLiteral("Name"), name, {}};
    h.postChannelName(Slot, ch, name, nullptr, m_edits->made(field, write));
}

void BoardPanel::typingDropped(const QString &what, qint16 ch, const QString &typed)
{
    say(tr("\"%1\" was not written to %2 of channel %3: the crate's value changed while you typed. "
           "Enter writes over it.")
            .arg(typed, what)
            .arg(ch));
}
