#pragma once

#include "eventlog.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTime>
#include <functional>

class Archive;
class EventsTable;
struct EventRow;

// The event log kept past the run: every entry the log records (and every later
// word on it, such as a write's outcome) goes to the archive's events table,
// tagged with this run and the crate's address, and the Events window reads
// a period back from the file and this run's memory together.
//
// When the file cannot be written the log says so once, and once again when
// it is written again (a "Shift log" entry); troubleChanged tells the status line.
class ShiftLog : public QObject
{
    Q_OBJECT
public:
    // Without an archive (or without its events table) the log is kept in memory only.
    ShiftLog(EventLog &log, Archive *archive, QObject *parent = nullptr);

    // This run's key in the file: entries are numbered by their id within it.
    QByteArray run() const { return m_run; }
    bool isKept() const { return m_table != nullptr; }
    // Why the file is not written now; empty while all is well.
    QString trouble() const;

    // The entries of the period (fromMs <= time < toMs), oldest first: those in the
    // file and those of this run still in memory, each once. `done` runs on the
    // caller's thread (at once without a file), with the file's error if it could not be read.
    using Fetched = std::function<void(const QList<EventLog::Entry> &entries, const QString &error)>;
    void fetch(qint64 fromMs, qint64 toMs, QObject *context, Fetched done);

    // When the shift that `at` falls in began, for shifts that begin at `starts` every day.
    static QDateTime shiftStart(const QDateTime &at, QList<QTime> starts);
    // The shifts' beginnings (setting "ShiftLog/ShiftStarts", "06:00,14:00,22:00" by default).
    static QList<QTime> shiftStarts();
    // How long the file keeps events (setting "ShiftLog/RetentionDays", 90 by default).
    static int retentionDays();

    static EventRow toRow(const EventLog::Entry &e, const QByteArray &run);
    static EventLog::Entry toEntry(const EventRow &row);

signals:
    void troubleChanged(const QString &trouble);

private:
    void troubled(const QString &why);

    EventLog &m_log;               // the run's log
    Archive *m_archive;            // where it is kept, if anywhere
    EventsTable *m_table;          // the archive's events, if any
    QByteArray m_run;              // this run's key
};
