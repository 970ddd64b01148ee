#pragma once

#include "eventlog.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>

class HVError;
class QWidget;

// What a panel knows of each control the operator can change, so that every
// write is the one the operator meant and the screen never contradicts the crate.
//
//  - Ticks are numbered as they are planned. An answer of a tick planned
//    before a write to a control was answered is never shown in that control:
//    from the commit until the answer the control shows the value written,
//    with the pending sign, and from the first tick planned after the answer
//    on it shows what the crate holds.
//  - A lamp or switch with a write pending ignores clicks (OperatorButton::setBusy).
//  - Every write is logged when it is made, with the value before and after as
//    the control shows them; its outcome follows when known, in the log, on the
//    control (a refusal's sign stays until the control is changed again) and
//    through `told`, for the panel's status line. A write whose panel has
//    closed meanwhile is still logged.
class EditBook : public QObject
{
    Q_OBJECT
public:
    explicit EditBook(QObject *parent = nullptr);

    void setEventLog(EventLog *log) { m_log = log; }

    // The number of the tick being planned now.
    int planTick() { return m_nextTick++; }
    // Whether an answer of tick `tick` may be shown in the control.
    bool mayShow(const QWidget *control, int tick) const;
    // A tick showed the crate's value in the control: the value, and as it reads there, `text()`
    // being asked only when the value is new or `reworded` (most values of most ticks are unchanged).
    template <typename Text>
    void shown(const QWidget *control, const QVariant &value, Text &&text, bool reworded = false)
    {
        State &s = m_states[control];
        if (reworded || !s.value.isValid() || s.value != value) {
            s.value = value;
            s.shown = text();
        }
        settled(control, s);
    }
    // The control's last write was refused: the next answer shown in it shows even while it is being edited.
    bool showsEvenIfEditing(const QWidget *control) const
    {
        const auto it = m_states.constFind(control);
        return it != m_states.constEnd() && it->refused;
    }

    // Where a write goes and how it is told.
    struct Write
    {
        int slot = 0;
        qint16 channel = 0;
        QString channelName;       // as the panel knows it, for the log
        QString parameter;         // as the log and the messages name it
        QString newText;           // the value written, as the control shows it
        std::function<void()> revert; // a switch: back to what the crate held, after a refusal
    };
    // A write to the control is being made: sign, lock and log. The result is
    // its outcome handler, to be passed to the access layer; it may be called
    // after the panel is gone.
    std::function<void(const HVError *)> made(QWidget *control, const Write &write);

signals:
    // One line for the panel's status line: a write's refusal or unknown outcome.
    void told(const QString &line);

private:
    struct State
    {
        int pending = 0;     // writes made and not answered
        int freshFrom = 0;   // the first tick whose answers may be shown
        QVariant value;      // the crate's value shown last
        QString shown;       // and as it read
        bool refused = false; // refused, and no answer shown since
        bool unknown = false; // its outcome is unknown, and no answer shown since
    };
    // An answer was shown in the control: a refusal or unknown outcome before it is over.
    void settled(const QWidget *control, State &s);
    void answered(QWidget *control, const Write &write, const HVError *error);

    QHash<const QWidget *, State> m_states; // by control
    int m_nextTick = 0;                     // number of the next tick planned
    QPointer<EventLog> m_log;               // where writes are recorded, if anywhere
};
