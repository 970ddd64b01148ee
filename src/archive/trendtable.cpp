#include "trendtable.h"

#include "archive.h"
#include "trendblock.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <unordered_set>

namespace {
constexpr qint64 StaleOpenMs = 10 * 60 * 1000; // an open block no run has added to for this long is closed

qint64 minuteOf(qint64 ms)
{
    return ms >= 0 ? ms / TrendTable::BlockMs : (ms - TrendTable::BlockMs + 1) / TrendTable::BlockMs;
}

// The samples in [fromMs, toMs), in time order, each time once, at most the newest maxPoints.
TrendSeries tidy(TrendSeries s, qint64 fromMs, qint64 toMs, int maxPoints)
{
    const qsizetype n = s.times.size();
    // The usual case, a file's blocks read in order: only the ends to cut, no copy.
    if (std::adjacent_find(s.times.cbegin(), s.times.cend(), std::greater_equal<qint64>()) == s.times.cend()) {
        const qsizetype first = std::lower_bound(s.times.cbegin(), s.times.cend(), fromMs) - s.times.cbegin();
        qsizetype end = std::lower_bound(s.times.cbegin(), s.times.cend(), toMs) - s.times.cbegin();
        const qsizetype begin = maxPoints > 0 ? std::max(first, end - maxPoints) : first;
        s.times.resize(end);
        s.values.resize(end);
        s.times.remove(0, begin);
        s.values.remove(0, begin);
        return s;
    }
    std::vector<qsizetype> order(size_t(n), 0);
    std::iota(order.begin(), order.end(), 0);
    if (!std::is_sorted(s.times.cbegin(), s.times.cend()))
        std::stable_sort(order.begin(), order.end(), [&s](qsizetype a, qsizetype b) { return s.times[a] < s.times[b]; });
    TrendSeries out;
    out.times.reserve(n);
    out.values.reserve(n);
    for (const qsizetype i : order) {
        const qint64 t = s.times[i];
        if (t < fromMs || t >= toMs || (!out.times.isEmpty() && out.times.last() == t))
            continue;
        out.times.append(t);
        out.values.append(s.values[i]);
    }
    if (maxPoints > 0 && out.times.size() > maxPoints) {
        out.times.remove(0, out.times.size() - maxPoints);
        out.values.remove(0, out.values.size() - maxPoints);
    }
    return out;
}

void bind(QSqlQuery &q, std::initializer_list<QVariant> values)
{
    int i = 0;
    for (const QVariant &v : values)
        q.bindValue(i++, v);
}
} // namespace

size_t qHash(const TrendKey &key, size_t seed) noexcept
{
    return qHashMulti(seed, key.crate, key.slot, key.channel, key.parameter);
}

TrendTable::TrendTable(int retentionDays)
    : m_retentionDays(std::max(0, retentionDays)), m_run(QUuid::createUuid().toByteArray(QUuid::WithoutBraces))
{
}

QString TrendTable::path() const
{
    return archive() ? archive()->options().path : QString();
}

bool TrendTable::record(const TrendKey &key, qint64 timeMs, double value)
{
    auto it = m_last.find(key);
    if (it == m_last.end()) {
        std::lock_guard lock(m_keysMutex);
        m_keys.push_back(key);
        it = m_last.insert(key, {quint32(m_keys.size() - 1), timeMs});
    } else if (std::abs(timeMs - it->timeMs) < MinSpacingMs) {
        return false; // another window's sample of this key has been kept for this second
    } else {
        it->timeMs = timeMs;
    }
    if (m_pending.push({it->index, timeMs, value}) && archive())
        archive()->rowsWaiting();
    return true;
}

TrendKey TrendTable::keyAt(quint32 index) const
{
    std::lock_guard lock(m_keysMutex);
    return m_keys.at(index);
}

TrendSeries TrendTable::waitingSamples(const TrendKey &key) const
{
    qint64 index = -1;
    {
        std::lock_guard lock(m_keysMutex);
        const auto it = std::find(m_keys.cbegin(), m_keys.cend(), key);
        if (it != m_keys.cend())
            index = it - m_keys.cbegin();
    }
    TrendSeries s;
    if (index < 0)
        return s;
    m_pending.forEach([&s, index](const Sample &sample) {
        if (sample.key == quint32(index)) {
            s.times.append(sample.timeMs);
            s.values.append(sample.value);
        }
    });
    return s;
}

void TrendTable::history(const TrendKey &key, qint64 fromMs, qint64 toMs, int maxPoints, QObject *context,
                         std::function<void(const TrendSeries &, const QString &)> done)
{
    const auto withWaiting = [this, key, fromMs, toMs, maxPoints](TrendSeries s) {
        const TrendSeries waiting = waitingSamples(key);
        s.times += waiting.times;
        s.values += waiting.values;
        return tidy(std::move(s), fromMs, toMs, maxPoints);
    };
    if (!archive()) {
        done(withWaiting({}), QStringLiteral("no archive"));
        return;
    }
    // On the worker what waits is read with the file, so that nothing committed meanwhile falls between.
    archive()->read<std::pair<TrendSeries, bool>>(
        context,
        [key, fromMs, toMs, withWaiting](QSqlDatabase &db) {
            // The file mapped for this read only: a day of a key is a thousand and more blocks
            // spread among the other keys', read in place, and its pages leave memory after.
            exec(db, QStringLiteral("PRAGMA mmap_size=%1").arg(MapBytes));
            const auto unmap = qScopeGuard([&db] {
                try {
                    exec(db, QStringLiteral("PRAGMA mmap_size=0"));
                } catch (const ArchiveError &) { // the next read maps and unmaps again
                }
            });
            const qint64 id = seriesId(db, key);
            return std::pair{withWaiting(id ? select(db, id, fromMs, toMs) : TrendSeries()), true};
        },
        [done = std::move(done), withWaiting](const std::pair<TrendSeries, bool> &result, const QString &error) {
            done(result.second ? result.first : withWaiting({}), error);
        });
}

void TrendTable::migrate(QSqlDatabase &db, int from)
{
    if (from < 1) {
        exec(db, QStringLiteral("CREATE TABLE trend_series(id INTEGER PRIMARY KEY, crate TEXT NOT NULL, "
                                "slot INTEGER NOT NULL, channel INTEGER NOT NULL, parameter TEXT NOT NULL, "
                                "UNIQUE(crate, slot, channel, parameter))"));
        exec(db, QStringLiteral("CREATE TABLE trend_blocks(series INTEGER NOT NULL, start_ms INTEGER NOT NULL, "
                                "end_ms INTEGER NOT NULL, samples BLOB NOT NULL)"));
        exec(db, QStringLiteral("CREATE INDEX trend_blocks_key ON trend_blocks(series, start_ms)"));
        exec(db, QStringLiteral("CREATE TABLE trend_open(series INTEGER NOT NULL, run TEXT NOT NULL, "
                                "start_ms INTEGER NOT NULL, end_ms INTEGER NOT NULL, samples BLOB NOT NULL, "
                                "PRIMARY KEY(series, run))"));
    }
}

qint64 TrendTable::seriesId(QSqlDatabase &db, const TrendKey &key)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id FROM trend_series WHERE crate = ? AND slot = ? AND channel = ? AND parameter = ?"));
    bind(q, {key.crate, key.slot, key.channel, key.parameter});
    exec(q);
    return q.next() ? q.value(0).toLongLong() : 0;
}

TrendSeries TrendTable::select(QSqlDatabase &db, qint64 series, qint64 fromMs, qint64 toMs)
{
    TrendSeries s;
    // A block holds one minute: one that starts a minute before the period may reach into it.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT samples FROM trend_blocks WHERE series = ? AND start_ms >= ? AND start_ms < ? "
                             "ORDER BY start_ms"));
    bind(q, {series, fromMs - BlockMs, toMs});
    exec(q);
    while (q.next())
        TrendBlock::decode(q.value(0).toByteArray(), s.times, s.values);
    q.prepare(QStringLiteral("SELECT samples FROM trend_open WHERE series = ? AND start_ms < ? AND end_ms >= ? "
                             "ORDER BY start_ms"));
    bind(q, {series, toMs, fromMs});
    exec(q);
    while (q.next())
        TrendBlock::decode(q.value(0).toByteArray(), s.times, s.values);
    return tidy(std::move(s), fromMs, toMs, 0);
}

void TrendTable::seal(QSqlDatabase &db, qint64 id, Open &open)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO trend_blocks(series, start_ms, end_ms, samples) VALUES(?, ?, ?, ?)"));
    const auto [low, high] = std::minmax_element(open.times.cbegin(), open.times.cend());
    bind(q, {id, *low, *high, TrendBlock::encode(open.times, open.values)});
    exec(q);
    open = Open();
}

void TrendTable::write(QSqlDatabase &db)
{
    m_staged = m_series; // the committed state stays as it is until the commit
    std::unordered_set<quint32> touched;
    QSqlQuery addSeries(db);
    addSeries.prepare(QStringLiteral("INSERT OR IGNORE INTO trend_series(crate, slot, channel, parameter) "
                                     "VALUES(?, ?, ?, ?)"));
    for (const Sample &s : m_pending.takeBatch()) {
        Series &series = m_staged[s.key];
        if (series.id == 0) {
            const TrendKey key = keyAt(s.key);
            bind(addSeries, {key.crate, key.slot, key.channel, key.parameter});
            exec(addSeries);
            series.id = seriesId(db, key);
        }
        const qint64 minute = minuteOf(s.timeMs);
        if (series.open.minute >= 0 && minute != series.open.minute)
            seal(db, series.id, series.open);
        series.open.minute = minute;
        series.open.times.append(s.timeMs);
        series.open.values.append(s.value);
        touched.insert(s.key);
    }
    QSqlQuery open(db);
    open.prepare(QStringLiteral("INSERT OR REPLACE INTO trend_open(series, run, start_ms, end_ms, samples) "
                                "VALUES(?, ?, ?, ?, ?)"));
    for (const quint32 key : touched) {
        const Series &series = m_staged[key];
        const auto [low, high] = std::minmax_element(series.open.times.cbegin(), series.open.times.cend());
        bind(open, {series.id, QString::fromLatin1(m_run), *low, *high,
                    TrendBlock::encode(series.open.times, series.open.values)});
        exec(open);
    }
    m_wrote = true;
}

void TrendTable::committed()
{
    m_pending.committed();
    if (std::exchange(m_wrote, false))
        m_series = std::move(m_staged);
    m_staged.clear();
}

void TrendTable::rolledBack()
{
    // The batch stays in the queue and is written again from the committed state.
    m_wrote = false;
    m_staged.clear();
}

void TrendTable::sealStale(QSqlDatabase &db, qint64 beforeMs)
{
    // Other runs' blocks (this program's before a restart, or another program's that has gone).
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO trend_blocks(series, start_ms, end_ms, samples) "
                             "SELECT series, start_ms, end_ms, samples FROM trend_open WHERE end_ms < ? AND run <> ?"));
    bind(q, {beforeMs, QString::fromLatin1(m_run)});
    exec(q);
    q.prepare(QStringLiteral("DELETE FROM trend_open WHERE end_ms < ? AND run <> ?"));
    bind(q, {beforeMs, QString::fromLatin1(m_run)});
    exec(q);
}

void TrendTable::opened(QSqlDatabase &db)
{
    exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        sealStale(db, QDateTime::currentMSecsSinceEpoch() - StaleOpenMs);
        exec(db, QStringLiteral("COMMIT"));
    } catch (const ArchiveError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void TrendTable::prune(QSqlDatabase &db, qint64 beforeMs)
{
    const qint64 stale = QDateTime::currentMSecsSinceEpoch() - StaleOpenMs;
    SeriesMap after = m_series;
    exec(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        sealStale(db, stale);
        // This run's blocks of keys no window has sampled for a while.
        QSqlQuery drop(db);
        drop.prepare(QStringLiteral("DELETE FROM trend_open WHERE series = ? AND run = ?"));
        for (auto &[key, series] : after)
            if (series.open.minute >= 0 && series.open.times.last() < stale) {
                const qint64 id = series.id;
                seal(db, id, series.open);
                bind(drop, {id, QString::fromLatin1(m_run)});
                exec(drop);
            }
        QSqlQuery old(db);
        old.prepare(QStringLiteral("DELETE FROM trend_blocks WHERE series = ? AND start_ms < ?"));
        QSqlQuery ids(db);
        exec(ids, QStringLiteral("SELECT id FROM trend_series"));
        while (ids.next()) {
            bind(old, {ids.value(0).toLongLong(), beforeMs});
            exec(old);
        }
        QSqlQuery open(db);
        open.prepare(QStringLiteral("DELETE FROM trend_open WHERE end_ms < ?"));
        bind(open, {beforeMs});
        exec(open);
        exec(db, QStringLiteral("COMMIT"));
    } catch (const ArchiveError &) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    m_series = std::move(after);
}
