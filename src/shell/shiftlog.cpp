#include "shiftlog.h"

#include "appinfo.h"
#include "archive.h"
#include "eventstable.h"

#include <QSet>
#include <QSettings>
#include <QUuid>
#include <algorithm>

namespace {
QVariant setting(const QString &key, const QVariant &fallback)
{
    return QSettings(AppInfo::organisation(), QStringLiteral("Pylonet")).value(key, fallback);
}
} // namespace

ShiftLog::ShiftLog(EventLog &log, Archive *archive, QObject *parent)
    : QObject(parent), m_log(log), m_archive(archive), m_table(archive ? archive->find<EventsTable>() : nullptr),
      m_run(QUuid::createUuid().toByteArray(QUuid::WithoutBraces))
{
    if (!m_table)
        return;
    connect(&log, &EventLog::recorded, this, [this](const EventLog::Entry &e) { m_table->add(toRow(e, m_run)); });
    connect(&log, &EventLog::revised, this, [this](const EventLog::Entry &e) {
        m_table->update(m_run, e.id, EventLog::outcomeText(e.outcome), e.detail);
    });
    connect(archive, &Archive::troubleChanged, this, &ShiftLog::troubled);
    connect(archive, &Archive::notice, this, [this](const QString &what) {
        EventLog::Entry e;
        e.kind = EventLog::Kind::ShiftLog;
        e.detail = what;
        m_log.add(std::move(e));
    });
    if (!archive->trouble().isEmpty())
        troubled(archive->trouble());
}

QString ShiftLog::trouble() const
{
    return m_archive ? m_archive->trouble() : QString();
}

void ShiftLog::troubled(const QString &why)
{
    EventLog::Entry e;
    e.kind = EventLog::Kind::ShiftLog;
    e.detail = why.isEmpty() ? tr("The shift log is written to its file again.")
                             : tr("The shift log cannot be written (%1); events are kept in memory until it can.").arg(why);
    m_log.add(std::move(e));
    emit troubleChanged(why);
}

EventRow ShiftLog::toRow(const EventLog::Entry &e, const QByteArray &run)
{
    EventRow r;
    r.run = run;
    r.seq = e.id;
    r.timeMs = e.timeMs;
    r.kind = EventLog::kindText(e.kind);
    r.crate = e.crate;
    r.slot = e.slot;
    r.channel = e.channel;
    r.channelName = e.channelName;
    r.parameter = e.parameter;
    r.oldValue = e.oldValue;
    r.newValue = e.newValue;
    r.outcome = EventLog::outcomeText(e.outcome);
    r.detail = e.detail;
    return r;
}

EventLog::Entry ShiftLog::toEntry(const EventRow &r)
{
    EventLog::Entry e;
    e.id = 0; // not of this run's numbering
    e.timeMs = r.timeMs;
    const std::optional<EventLog::Kind> kind = EventLog::kindOf(r.kind);
    e.kind = kind.value_or(EventLog::Kind::Status);
    e.crate = r.crate;
    e.slot = r.slot;
    e.channel = r.channel;
    e.channelName = r.channelName;
    e.parameter = r.parameter;
    e.oldValue = r.oldValue;
    e.newValue = r.newValue;
    e.outcome = EventLog::outcomeOf(r.outcome);
    // A kind this program does not know (a newer one wrote it) is kept in words.
    e.detail = kind ? r.detail : r.kind + QStringLiteral(": ") + r.detail;
    return e;
}

void ShiftLog::fetch(qint64 fromMs, qint64 toMs, QObject *context, Fetched done)
{
    auto fromMemory = [this, fromMs, toMs] {
        QList<EventLog::Entry> out;
        for (int i = 0; i < m_log.size(); ++i)
            if (m_log.at(i).timeMs >= fromMs && m_log.at(i).timeMs < toMs)
                out << m_log.at(i);
        return out;
    };
    if (!m_table) {
        done(fromMemory(), QString());
        return;
    }
    m_table->fetch(fromMs, toMs, context,
                   [this, fromMemory, done = std::move(done)](const QList<EventRow> &rows, const QString &error) {
                       QList<EventLog::Entry> out = fromMemory();
                       QSet<qint64> inMemory;
                       for (const EventLog::Entry &e : out)
                           inMemory.insert(e.id);
                       for (const EventRow &r : rows)
                           if (r.run != m_run || !inMemory.contains(r.seq))
                               out << toEntry(r);
                       std::stable_sort(out.begin(), out.end(), [](const EventLog::Entry &a, const EventLog::Entry &b) {
                           return a.timeMs < b.timeMs;
                       });
                       done(out, error);
                   });
}

QDateTime ShiftLog::shiftStart(const QDateTime &at, QList<QTime> starts)
{
    if (starts.isEmpty())
        starts = {QTime(0, 0)};
    std::sort(starts.begin(), starts.end());
    const QDate day = at.date();
    for (auto it = starts.crbegin(); it != starts.crend(); ++it)
        if (QDateTime(day, *it) <= at)
            return QDateTime(day, *it);
    return QDateTime(day.addDays(-1), starts.last()); // before the first shift of the day: the night's
}

QList<QTime> ShiftLog::shiftStarts()
{
    const QString text = setting(QStringLiteral("ShiftLog/ShiftStarts"), QStringLiteral("06:00,14:00,22:00")).toString();
    QList<QTime> out;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QTime t = QTime::fromString(part.trimmed(), QStringLiteral("H:mm"));
        if (t.isValid())
            out << t;
    }
    return out;
}

int ShiftLog::retentionDays()
{
    bool ok = false;
    const int days = setting(QStringLiteral("ShiftLog/RetentionDays"), 90).toInt(&ok);
    return ok && days >= 0 ? days : 90;
}
