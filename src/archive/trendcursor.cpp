#include "trendcursor.h"

#include "trendblock.h"

#include <QObject>
#include <QSqlError>
#include <QVariant>
#include <algorithm>
#include <limits>

ArchiveConnection::ArchiveConnection(const QString &path, int busyMs)
    : m_name(QStringLiteral("pylonet-reader-%1").arg(quintptr(this), 0, 16))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(busyMs));
    if (!m_db.open())
        m_error = QObject::tr("cannot open %1: %2").arg(path, m_db.lastError().text());
}

ArchiveConnection::~ArchiveConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

TrendCursor::TrendCursor(QSqlDatabase &db, const TrendTable &table, const TrendKey &key, qint64 fromMs, qint64 toMs)
    : m_from(fromMs), m_to(toMs), m_blocks(db)
{
    const qint64 series = TrendTable::seriesId(db, key);
    m_blocks.setForwardOnly(true);
    if (series) {
        // A block holds one minute: one that starts a minute before the period may reach into it.
        m_blocks.prepare(QStringLiteral("SELECT start_ms, samples FROM trend_blocks "
                                        "WHERE series = ? AND start_ms >= ? AND start_ms < ? ORDER BY start_ms"));
        m_blocks.bindValue(0, series);
        m_blocks.bindValue(1, fromMs - TrendTable::BlockMs);
        m_blocks.bindValue(2, toMs);
        ArchiveTable::exec(m_blocks);
        QSqlQuery open(db);
        open.setForwardOnly(true);
        open.prepare(QStringLiteral("SELECT start_ms, samples FROM trend_open WHERE series = ? AND start_ms < ? "
                                    "AND end_ms >= ?"));
        open.bindValue(0, series);
        open.bindValue(1, toMs);
        open.bindValue(2, fromMs);
        ArchiveTable::exec(open);
        while (open.next()) {
            Block b{open.value(0).toLongLong(), {}};
            if (TrendBlock::decode(open.value(1).toByteArray(), b.samples.times, b.samples.values))
                m_extra.push_back(std::move(b));
        }
    } else {
        m_queryDone = true;
    }
    TrendSeries waiting = table.waitingSamples(key);
    if (!waiting.times.isEmpty()) {
        const qint64 start = *std::min_element(waiting.times.cbegin(), waiting.times.cend());
        m_extra.push_back({start, std::move(waiting)});
    }
    std::stable_sort(m_extra.begin(), m_extra.end(), [](const Block &a, const Block &b) { return a.start < b.start; });
    fill();
}

bool TrendCursor::rowWaiting()
{
    if (!m_rowReady && !m_queryDone) {
        m_rowReady = m_blocks.next();
        m_queryDone = !m_rowReady;
    }
    return m_rowReady;
}

void TrendCursor::take(const TrendSeries &block)
{
    std::vector<std::pair<qint64, double>> in;
    in.reserve(size_t(block.times.size()));
    for (qsizetype i = 0; i < block.times.size(); ++i)
        if (block.times[i] >= m_from && block.times[i] < m_to)
            in.emplace_back(block.times[i], block.values[i]);
    const auto byTime = [](const auto &a, const auto &b) { return a.first < b.first; };
    std::stable_sort(in.begin(), in.end(), byTime);
    // What has been given goes; the rest and the new samples stay in time order.
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + qsizetype(m_head));
    m_head = 0;
    const auto middle = qsizetype(m_buffer.size());
    m_buffer.insert(m_buffer.end(), in.begin(), in.end());
    std::inplace_merge(m_buffer.begin(), m_buffer.begin() + middle, m_buffer.end(), byTime);
}

void TrendCursor::fill()
{
    for (;;) {
        const qint64 rowStart = rowWaiting() ? m_blocks.value(0).toLongLong() : std::numeric_limits<qint64>::max();
        const qint64 extraStart =
            m_nextExtra < m_extra.size() ? m_extra[m_nextExtra].start : std::numeric_limits<qint64>::max();
        const qint64 nextStart = std::min(rowStart, extraStart);
        // Every block still unread starts at or after nextStart: what is before it is complete.
        if (!atEnd() && time() < nextStart)
            return;
        if (nextStart == std::numeric_limits<qint64>::max())
            return;
        if (rowStart <= extraStart) {
            TrendSeries block;
            TrendBlock::decode(m_blocks.value(1).toByteArray(), block.times, block.values);
            m_rowReady = false;
            take(block);
        } else {
            take(m_extra[m_nextExtra++].samples);
        }
    }
}

void TrendCursor::next()
{
    m_last = time();
    ++m_head;
    fill();
    // The same time from two blocks (a sample both written and still waiting) is one sample.
    while (!atEnd() && time() == m_last) {
        ++m_head;
        fill();
    }
}
