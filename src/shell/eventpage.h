#pragma once

#include "eventlog.h"

#include <QAbstractTableModel>
#include <vector>

class ShiftLog;

// The events of one period as the Events window lists them, newest first: read
// from the shift log's file and this run's memory together (ShiftLog::fetch),
// then followed as the run logs more (a new entry of the period is added, a
// revised one changes in place). Reading the file happens off the GUI thread;
// the rows come when it answers (`loaded`).
class EventPage : public QAbstractTableModel
{
    Q_OBJECT
public:
    EventPage(EventLog &log, ShiftLog &shift, QObject *parent = nullptr);

    // Lists the entries with fromMs <= time < toMs.
    void show(qint64 fromMs, qint64 toMs);
    bool isLoading() const { return m_loading; }
    // Why the file could not be read for this period ("" when it could, or there is none).
    QString error() const { return m_error; }

    const EventLog::Entry &atRow(int row) const { return m_entries[m_entries.size() - 1 - size_t(row)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void loaded();

private:
    void recorded(const EventLog::Entry &e);
    void revised(const EventLog::Entry &e);

    ShiftLog &m_shift;                     // where the period is read
    std::vector<EventLog::Entry> m_entries; // oldest first
    qint64 m_fromMs = 0, m_toMs = 0;       // the period
    int m_request = 0;                     // the latest read: an older answer is dropped
    bool m_loading = false;                // a read is on its way (live entries come with it)
    QString m_error;                       // the file's error for this period
};
