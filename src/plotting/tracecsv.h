#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>
#include <vector>

class TraceGraph;

// A graph's kept history as CSV (UTF-8, comma separated, one line per sample
// time, oldest first): a "time" column in ISO 8601 local time with the UTC
// offset and milliseconds, then one column per trace headed "<label> [<unit>]"
// (the label alone for a trace without unit). A trace without a sample at a
// row's time has an empty cell there. Values are in base units with every
// digit that tells them apart.
namespace TraceCsv {

// What is exported, copied out of the graph so that it can be written on another thread.
struct Table
{
    QStringList headers;                 // one per trace
    std::vector<QVector<qint64>> times;  // per trace, oldest first
    std::vector<QVector<double>> values; // per trace, with its times
};
Table snapshot(const TraceGraph &graph);

// The CSV of a table. `progress` hears the share done (0..100) now and then
// and stops the rendering by returning false (the result is then empty).
QByteArray render(const Table &table, const std::function<bool(int percent)> &progress = {});
QByteArray render(const TraceGraph &graph);

} // namespace TraceCsv
