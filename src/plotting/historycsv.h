#pragma once

#include "trendtable.h"

#include <QList>
#include <QString>
#include <functional>

// A period of the archive's samples of several keys as CSV, in the form the
// graph's own CSV has (a "time" column, one column per key, one row per sample
// time, empty where a key has no sample then), however long the period: each
// key is read a block at a time through a connection of its own, rows are
// merged by time and written to the file as they come, so memory stays at a
// few blocks a key. Meant for a worker thread; the file appears whole or not at all.
namespace HistoryCsv {

struct Column
{
    TrendKey key;   // what the column holds
    QString header; // "Bd 1 Ch 5: CH05 VMon [V]"
};

enum class Outcome { Written, Cancelled, Failed };

// Writes the columns' samples with fromMs <= time < toMs to `path`. `progress`
// hears the share of the period done (0..100) now and then and cancels by
// returning false. On failure `error` says why (the archive or the file).
Outcome write(const TrendTable &table, const QList<Column> &columns, qint64 fromMs, qint64 toMs, const QString &path,
              const std::function<bool(int percent)> &progress, QString *error);

} // namespace HistoryCsv
