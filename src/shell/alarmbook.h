#pragma once

#include "eventlog.h"

#include <QAbstractTableModel>
#include <QList>
#include <vector>

// The latched alarms of the crate, as the main window's alarm list shows them,
// newest first. An alarm is raised when its condition appears and stays listed,
// with its lamp and its slot's mark, until the operator acknowledges it, even
// when the condition has cleared meanwhile; acknowledged while still active, it
// stays listed as active until the condition clears. One condition (what,
// slot, channel) has at most one alarm listed: seen again while listed and
// cleared, that alarm is active again.
//
// Every raise, clearing and acknowledgement is logged.
class AlarmBook : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class What { Trip, OverCurrent, OverVoltage, Kill, Interlock, PowerFail, OverTemp, Checksum, BoardRemoved };
    enum Column { SlotColumn, ChannelColumn, NameColumn, WhatColumn, SinceColumn, StateColumn, ColumnCount };

    struct Alarm
    {
        qint64 id = 0;         // rises with each alarm
        What what = What::Trip;
        int slot = -1;         // -1: the crate as a whole (Kill, Interlock)
        int channel = -1;      // -1: the board or the crate
        QString channelName;
        QString text;          // what happened, in words
        qint64 sinceMs = 0;    // raised (again) at
        qint64 clearedMs = 0;  // the condition cleared at; 0 while it is there
        bool acknowledged = false;
        qint64 logId = 0;      // the log entry that raised it, revised with its text
        bool isActive() const { return clearedMs == 0; }
    };

    explicit AlarmBook(EventLog &log, QObject *parent = nullptr);

    // The condition is there. A new alarm is listed and `entry` logged (its kind,
    // parameter and values as the caller has them; slot, channel, name and detail
    // filled in here); a listed one that had cleared is active again, and logged
    // so. Returns its id.
    qint64 raise(What what, int slot, int channel, const QString &channelName, const QString &text,
                 EventLog::Entry entry);
    // The condition is gone: logged, and the alarm stays until acknowledged.
    void clear(What what, int slot, int channel);
    // New words for an alarm (a crate-wide one naming more channels); its log entry follows.
    void setText(qint64 id, const QString &text);

    void acknowledge(const QList<qint64> &ids);
    void acknowledgeAll();

    const Alarm *find(What what, int slot, int channel) const;
    const Alarm *byId(qint64 id) const;
    const Alarm &atRow(int row) const { return m_alarms[m_alarms.size() - 1 - size_t(row)]; }
    int size() const { return int(m_alarms.size()); }
    int unacknowledged() const;

    // What the lamps and slot marks show: any listed alarm of the kind.
    bool tripLamp() const;      // trips, Kill, Interlock: high voltage switched off by the crate
    bool powerFailLamp() const; // a board's power fail
    // The listed alarms of a board, newest first.
    QList<const Alarm *> ofSlot(int slot) const;

    static QString whatText(What what);
    static QString shortText(What what); // for a slot's mark: "TRIP", "OVC", ...

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void changed();  // the list, a state or a text changed: lamps and marks follow
    void raised();   // a new or renewed alarm: the sound, if it is on

private:
    int indexOf(qint64 id) const;
    void rowChanged(int i);
    void drop(int i); // acknowledged and cleared: off the list
    void logged(EventLog::Kind kind, const Alarm &a, const QString &detail);

    EventLog &m_log;             // where raises, clearings and acknowledgements go
    std::vector<Alarm> m_alarms; // oldest first
    qint64 m_lastId = 0;         // id of the newest alarm
};
