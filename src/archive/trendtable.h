#pragma once

#include "archivetable.h"
#include "pendingrows.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <vector>

// What a trend sample is of: a parameter of one channel of one crate.
struct TrendKey
{
    QString crate;     // the crate's address
    int slot = 0;
    int channel = 0;
    QString parameter; // "VMon"
    bool operator==(const TrendKey &) const = default;
};
size_t qHash(const TrendKey &key, size_t seed = 0) noexcept;

// A run of one key's samples, oldest first.
struct TrendSeries
{
    QVector<qint64> times; // milliseconds since the epoch
    QVector<double> values;
};

// The trends part of the archive: every sample the graphs take, kept by key
// (crate, slot, channel, parameter) and time, a block per minute of a key.
//
// Tables: `trend_series(id, crate, slot, channel, parameter)` names the keys;
// `trend_blocks(series, start_ms, end_ms, samples)` holds closed blocks
// (TrendBlock's CBOR), indexed by (series, start_ms), each written once;
// `trend_open(series, run, start_ms, end_ms, samples)` holds each program
// run's block still filling, rewritten at every flush, so that what was
// sampled more than a flush ago survives a crash. A block closes when a sample
// of a later minute comes; open blocks a run left behind are closed at the
// next opening and at every pruning once they are ten minutes old.
//
// One sample a key: record() keeps a key's sample only when the key's last one
// is at least MinSpacingMs away, so two windows tracing one key store it once
// a second, not twice. Samples wait in memory (bounded) while the file cannot
// be written, and reads include them.
class TrendTable : public ArchiveTable
{
public:
    static constexpr int DefaultRetentionDays = 30;
    static constexpr qint64 MinSpacingMs = 900;
    static constexpr qint64 BlockMs = 60 * 1000;
    static constexpr std::size_t WaitingLimit = 1 << 20; // samples kept while the file cannot be written
    static constexpr qint64 MapBytes = qint64(1) << 30;  // of the file mapped while a history is read, at most

    explicit TrendTable(int retentionDays = DefaultRetentionDays);

    // From the GUI thread (one thread): stores the sample unless the key had one
    // within MinSpacingMs; returns whether it was taken. Costs a hash look-up and a lock.
    bool record(const TrendKey &key, qint64 timeMs, double value);
    // Samples waiting for the file, and samples let go beyond WaitingLimit.
    qsizetype waiting() const { return qsizetype(m_pending.size()); }
    qint64 dropped() const { return m_pending.dropped(); }

    // The key's samples with fromMs <= time < toMs, oldest first, at most
    // `maxPoints` (the newest), from the file and from memory, handed to `done`
    // on the caller's thread unless `context` is gone by then. When the file
    // cannot be read, what waits in memory comes with the reason.
    void history(const TrendKey &key, qint64 fromMs, qint64 toMs, int maxPoints, QObject *context,
                 std::function<void(const TrendSeries &samples, const QString &error)> done);
    // The key's samples waiting in memory (any thread).
    TrendSeries waitingSamples(const TrendKey &key) const;

    // The file, for readers with a connection of their own (TrendCursor).
    QString path() const;

    QString name() const override { return QStringLiteral("trends"); }
    int version() const override { return 1; }
    void migrate(QSqlDatabase &db, int from) override;
    void opened(QSqlDatabase &db) override;
    bool hasPending() const override { return !m_pending.isEmpty(); }
    void write(QSqlDatabase &db) override;
    void committed() override;
    void rolledBack() override;
    void prune(QSqlDatabase &db, qint64 beforeMs) override;
    int retentionDays() const override { return m_retentionDays; }

    // The key's id in the file, or 0 when it has none (any thread, own connection).
    static qint64 seriesId(QSqlDatabase &db, const TrendKey &key);
    // Every sample of a series in the file in [fromMs, toMs), oldest first, each time once.
    static TrendSeries select(QSqlDatabase &db, qint64 series, qint64 fromMs, qint64 toMs);

private:
    struct Sample
    {
        quint32 key;   // index into m_keys
        qint64 timeMs;
        double value;
    };
    struct Open // a block still filling
    {
        qint64 minute = -1; // its minute (start time / BlockMs), -1 while empty
        QVector<qint64> times;
        QVector<double> values;
    };
    struct Series // the worker's state of a key
    {
        qint64 id = 0; // in trend_series; 0 until looked up
        Open open;
    };
    using SeriesMap = std::unordered_map<quint32, Series>;

    TrendKey keyAt(quint32 index) const;
    void seal(QSqlDatabase &db, qint64 id, Open &open);
    void sealStale(QSqlDatabase &db, qint64 beforeMs); // other runs' open blocks older than that

    int m_retentionDays;                 // 0: kept for ever
    QByteArray m_run;                    // this program run's key in trend_open
    // The GUI thread's side.
    struct Last
    {
        quint32 index;  // into m_keys
        qint64 timeMs;  // of the last sample kept
    };
    QHash<TrendKey, Last> m_last;        // per key, its index and its last kept sample
    // Shared: the keys by index, read by the worker.
    mutable std::mutex m_keysMutex;      // guards m_keys
    std::vector<TrendKey> m_keys;        // every key recorded in this run
    PendingRows<Sample> m_pending{WaitingLimit}; // samples not yet committed
    // The worker's side.
    SeriesMap m_series;                  // committed state per key
    SeriesMap m_staged;                  // the same during a flush, taken on commit
    bool m_wrote = false;                // this flush wrote: its commit takes m_staged
};
