#pragma once

#include <QGroupBox>

class AlarmBook;
class QCheckBox;
class QPushButton;
class QTableView;
class QTimer;

// The main window's alarm list: one row per latched alarm (slot, channel and
// name, what, since when, and whether it is still active and acknowledged),
// newest first, unacknowledged ones in bold. "Acknowledge" (Ctrl+K) acknowledges
// the selected alarms, or the newest unacknowledged one when none is selected;
// "Acknowledge all" (Ctrl+Shift+K) every one. "Sound" beeps at each new alarm
// and every few seconds while one is unacknowledged; off by default, kept in
// the settings ("Alarms/Sound").
class AlarmPanel : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr int RepeatSoundMs = 5000;

    explicit AlarmPanel(AlarmBook &alarms, QWidget *parent = nullptr);

    void acknowledgeSelected();
    void acknowledgeAll();
    bool soundOn() const;
    // How many beeps sounded (the platform may make no sound at all).
    int beeps() const { return m_beeps; }

private:
    void updateButtons();
    void beep();

    AlarmBook &m_alarms;                   // the list shown
    QTableView *tblAlarms;                 // the rows
    QPushButton *cmdAcknowledge;           // "&Acknowledge"
    QPushButton *cmdAcknowledgeAll;        // "Acknowledge a&ll"
    QCheckBox *chkAlarmSound;              // "&Sound"
    QTimer *m_repeat;                      // the sound again while unacknowledged
    int m_beeps = 0;                       // beeps so far
};
