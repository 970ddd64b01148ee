#include "eventstable.h"

#include "archive.h"

#include <QSqlQuery>
#include <QVariant>

void EventsTable::add(const EventRow &row)
{
    if (m_pending.push(Op{false, row}) && archive())
        archive()->rowsWaiting();
}

void EventsTable::update(const QByteArray &run, qint64 seq, const QString &outcome, const QString &detail)
{
    EventRow r;
    r.run = run;
    r.seq = seq;
    r.outcome = outcome;
    r.detail = detail;
    if (m_pending.push(Op{true, std::move(r)}) && archive())
        archive()->rowsWaiting();
}

void EventsTable::migrate(QSqlDatabase &db, int from)
{
    if (from < 1) {
        exec(db, QStringLiteral("CREATE TABLE events("
                                "id INTEGER PRIMARY KEY, run TEXT NOT NULL, seq INTEGER NOT NULL, "
                                "time_ms INTEGER NOT NULL, kind TEXT NOT NULL, crate TEXT NOT NULL, "
                                "slot INTEGER NOT NULL, channel INTEGER NOT NULL, channel_name TEXT NOT NULL, "
                                "parameter TEXT NOT NULL, old_value TEXT NOT NULL, new_value TEXT NOT NULL, "
                                "outcome TEXT NOT NULL, detail TEXT NOT NULL)"));
        exec(db, QStringLiteral("CREATE UNIQUE INDEX events_key ON events(run, seq)"));
        exec(db, QStringLiteral("CREATE INDEX events_time ON events(time_ms)"));
    }
}

void EventsTable::write(QSqlDatabase &db)
{
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT OR IGNORE INTO events(run, seq, time_ms, kind, crate, slot, channel, "
                                  "channel_name, parameter, old_value, new_value, outcome, detail) "
                                  "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE events SET outcome = ?, detail = ? WHERE run = ? AND seq = ?"));
    // QSQLITE binds a null QString as NULL: the columns take "" instead.
    auto text = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    for (const Op &op : m_pending.takeBatch()) {
        const EventRow &r = op.row;
        if (op.isUpdate) {
            update.bindValue(0, text(r.outcome));
            update.bindValue(1, text(r.detail));
            update.bindValue(2, QString::fromLatin1(r.run));
            update.bindValue(3, r.seq);
            exec(update);
            continue;
        }
        const QVariant values[] = {QString::fromLatin1(r.run), r.seq, r.timeMs, text(r.kind), text(r.crate), r.slot,
                                   r.channel, text(r.channelName), text(r.parameter), text(r.oldValue),
                                   text(r.newValue), text(r.outcome), text(r.detail)};
        for (int i = 0; i < int(std::size(values)); ++i)
            insert.bindValue(i, values[i]);
        exec(insert);
    }
}

void EventsTable::prune(QSqlDatabase &db, qint64 beforeMs)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM events WHERE time_ms < ?"));
    q.addBindValue(beforeMs);
    exec(q);
}

QList<EventRow> EventsTable::select(QSqlDatabase &db, qint64 fromMs, qint64 toMs)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT run, seq, time_ms, kind, crate, slot, channel, channel_name, parameter, "
                             "old_value, new_value, outcome, detail FROM events "
                             "WHERE time_ms >= ? AND time_ms < ? ORDER BY time_ms, id"));
    q.addBindValue(fromMs);
    q.addBindValue(toMs);
    exec(q);
    QList<EventRow> rows;
    while (q.next()) {
        EventRow r;
        r.run = q.value(0).toString().toLatin1();
        r.seq = q.value(1).toLongLong();
        r.timeMs = q.value(2).toLongLong();
        r.kind = q.value(3).toString();
        r.crate = q.value(4).toString();
        r.slot = q.value(5).toInt();
        r.channel = q.value(6).toInt();
        r.channelName = q.value(7).toString();
        r.parameter = q.value(8).toString();
        r.oldValue = q.value(9).toString();
        r.newValue = q.value(10).toString();
        r.outcome = q.value(11).toString();
        r.detail = q.value(12).toString();
        rows << std::move(r);
    }
    return rows;
}

void EventsTable::fetch(qint64 fromMs, qint64 toMs, QObject *context,
                        std::function<void(const QList<EventRow> &, const QString &)> done)
{
    if (!archive()) {
        done({}, QStringLiteral("no archive"));
        return;
    }
    archive()->read<QList<EventRow>>(
        context, [fromMs, toMs](QSqlDatabase &db) { return select(db, fromMs, toMs); }, std::move(done));
}
