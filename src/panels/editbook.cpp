#include "editbook.h"

#include "controlmark.h"
#include "eventlog.h"
#include "hverror.h"
#include "operatorbutton.h"

#include <QWidget>
#include <utility>

EditBook::EditBook(QObject *parent) : QObject(parent) {}

bool EditBook::mayShow(const QWidget *control, int tick) const
{
    const auto it = m_states.constFind(control);
    return it == m_states.constEnd() || (it->pending == 0 && tick >= it->freshFrom);
}

void EditBook::settled(const QWidget *control, State &s)
{
    s.refused = false;
    // A fresh answer settles an unknown outcome: the control now shows what the crate holds.
    if (std::exchange(s.unknown, false) && ControlMark::kindOf(control) == ControlMark::Kind::Unknown)
        ControlMark::clear(const_cast<QWidget *>(control));
}

std::function<void(const HVError *)> EditBook::made(QWidget *control, const Write &write)
{
    State &s = m_states[control];
    ++s.pending;
    if (auto *button = qobject_cast<OperatorButton *>(control))
        button->setBusy(true);
    ControlMark::set(control, ControlMark::Kind::Pending,
                     tr("Write pending: %1. The crate has not answered yet.").arg(write.newText));

    qint64 logId = 0;
    if (m_log)
        logId = m_log->writeMade(write.slot, write.channel, write.channelName, write.parameter, s.shown, write.newText);

    // The log outlives the panel; the panel's part is done only while it is there.
    return [log = m_log, logId, book = QPointer<EditBook>(this), control = QPointer<QWidget>(control),
            write](const HVError *error) {
        if (log && logId) {
            if (!error)
                log->writeOutcome(logId, EventLog::Outcome::Written);
            else if (error->isUnanswered())
                log->writeOutcome(logId, EventLog::Outcome::Unknown, EventLog::UnknownOutcome);
            else
                log->writeOutcome(logId, EventLog::Outcome::Refused, error->message());
        }
        if (book && control)
            book->answered(control, write, error);
    };
}

void EditBook::answered(QWidget *control, const Write &write, const HVError *error)
{
    State &s = m_states[control];
    s.pending = qMax(0, s.pending - 1);
    // Ticks already planned may have read before the write: only later ones are shown.
    s.freshFrom = m_nextTick;
    if (s.pending > 0)
        return; // a later write of the same control is still on its way: its sign stays
    if (auto *button = qobject_cast<OperatorButton *>(control))
        button->setBusy(false);
    if (!error) {
        ControlMark::clear(control);
        return;
    }
    if (error->isUnanswered()) {
        s.unknown = true;
        ControlMark::set(control, ControlMark::Kind::Unknown,
                         tr("%1: %2.").arg(write.newText, EventLog::UnknownOutcome));
        emit told(tr("%1 of channel %2: %3.").arg(write.parameter).arg(write.channel).arg(EventLog::UnknownOutcome));
        return;
    }
    // Not written: a switch goes back at once; a field shows the crate's value at the next
    // tick, even while it is being edited. The sign says why meanwhile.
    s.refused = true;
    if (write.revert)
        write.revert();
    const QString why = write.parameter == QLatin1String("Name")
                            ? tr("The name of channel %1 was not written: %2").arg(write.channel).arg(error->message())
                            : tr("%1 of channel %2 was not written: %3")
                                  .arg(write.parameter)
                                  .arg(write.channel)
                                  .arg(error->message());
    ControlMark::set(control, ControlMark::Kind::Refused, why);
    emit told(why);
}
