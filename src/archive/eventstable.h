#pragma once

#include "archivetable.h"
#include "pendingrows.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

// One event of the shift log as it is stored: the program run that logged it
// and its number in that run (together its key), when, what kind, on which
// crate, board and channel, the values before and after in real units, and
// for writes their outcome. Kinds and outcomes are stored as their words.
struct EventRow
{
    QByteArray run;      // the program run that logged it
    qint64 seq = 0;      // its number in that run
    qint64 timeMs = 0;   // milliseconds since the epoch
    QString kind;
    QString crate;       // the crate's address
    int slot = -1;       // -1: the crate or the link as a whole
    int channel = -1;    // -1: no channel
    QString channelName;
    QString parameter;
    QString oldValue;
    QString newValue;
    QString outcome;     // writes only
    QString detail;
};

// The events part of the archive: table `events`, one row per event, indexed by
// time and by (run, seq). add() and update() may be called from any thread and
// cost a lock and a copy; the worker writes them in order, so an update always
// finds the row it changes.
class EventsTable : public ArchiveTable
{
public:
    EventsTable() = default;

    void add(const EventRow &row);
    // A later word on a logged event: its outcome and detail.
    void update(const QByteArray &run, qint64 seq, const QString &outcome, const QString &detail);
    // Rows waiting for the file (all of them while it cannot be written).
    qsizetype waiting() const { return qsizetype(m_pending.size()); }

    // Rows with fromMs <= time < toMs, oldest first, on the caller's thread, unless
    // `context` is gone; an error when the file cannot be read.
    void fetch(qint64 fromMs, qint64 toMs, QObject *context,
               std::function<void(const QList<EventRow> &rows, const QString &error)> done);
    // The same on the worker's connection; for fetch and for whoever shares the thread.
    static QList<EventRow> select(QSqlDatabase &db, qint64 fromMs, qint64 toMs);

    QString name() const override { return QStringLiteral("events"); }
    int version() const override { return 1; }
    void migrate(QSqlDatabase &db, int from) override;
    bool hasPending() const override { return !m_pending.isEmpty(); }
    void write(QSqlDatabase &db) override;
    void committed() override { m_pending.committed(); }
    void rolledBack() override {}
    void prune(QSqlDatabase &db, qint64 beforeMs) override;

private:
    struct Op
    {
        bool isUpdate = false; // an update of (run, seq): outcome and detail only
        EventRow row;          // the row, or the key and the new words
    };
    PendingRows<Op> m_pending; // in the order given
};
