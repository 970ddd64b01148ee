#pragma once

#include "focuslabel.h"

// A label that shows a value the operator reads but cannot change (a
// channel's status): plain text, reached by Tab like the fields beside it,
// and read by assistive technology as a read-only value ("Up", or "Up,
// alarm" while the alarm colours show, which colour alone would not say).
class ReadoutLabel : public FocusLabel
{
    Q_OBJECT
public:
    explicit ReadoutLabel(QWidget *parent = nullptr);

    // The text, and whether the alarm colours show (said after the text).
    // Assistive technology hears of a change; nothing is repainted when nothing changed.
    void setReading(const QString &text, bool alarm);
    bool alarm() const { return m_alarm; }
    // What is read out: the text, with ", alarm" while in alarm.
    QString readout() const;

private:
    bool m_alarm = false; // in alarm: said as well as shown
};
