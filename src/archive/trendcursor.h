#pragma once

#include "trendtable.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <utility>
#include <vector>

// A read-only connection of its own to the archive's file, made and used on
// one thread (a long export's), so that the archive's worker goes on writing
// meanwhile; the write-ahead log lets both work at once.
class ArchiveConnection
{
public:
    explicit ArchiveConnection(const QString &path, int busyMs = 2000);
    ~ArchiveConnection();
    Q_DISABLE_COPY_MOVE(ArchiveConnection)

    bool isOpen() const { return m_db.isOpen(); }
    QString error() const { return m_error; } // why it is not open
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;   // the connection's name in Qt SQL
    QSqlDatabase m_db; // open while usable
    QString m_error;  // the reason it is not
};

// One key's samples with fromMs <= time < toMs, oldest first and each time
// once, read a block at a time: the file's closed blocks (streamed), then the
// open blocks and the samples still waiting in memory, in time order however
// they overlap. Memory stays at a few blocks, whatever the period.
// Throws ArchiveError when a statement fails.
class TrendCursor
{
public:
    TrendCursor(QSqlDatabase &db, const TrendTable &table, const TrendKey &key, qint64 fromMs, qint64 toMs);
    Q_DISABLE_COPY_MOVE(TrendCursor)

    bool atEnd() const { return m_head >= m_buffer.size(); }
    qint64 time() const { return m_buffer[m_head].first; }
    double value() const { return m_buffer[m_head].second; }
    void next();

private:
    struct Block
    {
        qint64 start;
        TrendSeries samples;
    };
    void fill();                        // until the head is safe to give, or nothing is left
    bool rowWaiting();                  // the query has a row not yet taken
    void take(const TrendSeries &block); // merges a block's samples in the period into the buffer

    qint64 m_from, m_to;                // the period
    QSqlQuery m_blocks;                 // the closed blocks, by start
    bool m_rowReady = false;            // m_blocks is on a row not yet taken
    bool m_queryDone = false;           // m_blocks has no more rows
    std::vector<Block> m_extra;         // open blocks and waiting samples, by start
    std::size_t m_nextExtra = 0;        // the first of m_extra not yet taken
    std::vector<std::pair<qint64, double>> m_buffer; // samples read, in time order
    std::size_t m_head = 0;             // the next sample to give
    qint64 m_last = 0;                  // the time last given
};
