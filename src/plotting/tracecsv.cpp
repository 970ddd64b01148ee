#include "tracecsv.h"

#include "csvtext.h"
#include "tracegraph.h"

#include <QLocale>
#include <algorithm>
#include <limits>

using CsvText::cell;
using CsvText::isoTime;

TraceCsv::Table TraceCsv::snapshot(const TraceGraph &graph)
{
    Table t;
    for (int k = 0; k < graph.traceCount(); ++k) {
        const QString unit = graph.traceUnit(k);
        const QString label = graph.traceLabel(k);
        t.headers << (unit.isEmpty() ? label : label + QStringLiteral(" [") + unit + u']');
        t.times.push_back(graph.traceTimes(k));
        t.values.push_back(graph.traceValues(k));
    }
    return t;
}

QByteArray TraceCsv::render(const Table &table, const std::function<bool(int percent)> &progress)
{
    const size_t n = table.headers.size();
    std::vector<qsizetype> next(n, 0); // per trace: its first row not yet written
    qsizetype total = 0, written = 0;
    QByteArray out = "time";
    for (size_t k = 0; k < n; ++k) {
        total += table.times[k].size();
        out += ',' + cell(table.headers[qsizetype(k)]);
    }
    out += '\n';
    out.reserve(out.size() + total / std::max<size_t>(1, n) * (30 + 14 * qsizetype(n)));

    const QLocale c = QLocale::c();
    for (qsizetype row = 0;; ++row) {
        // The earliest time any trace has left is the next row.
        qint64 at = std::numeric_limits<qint64>::max();
        for (size_t k = 0; k < n; ++k)
            if (next[k] < table.times[k].size())
                at = std::min(at, table.times[k][next[k]]);
        if (at == std::numeric_limits<qint64>::max())
            break;
        out += isoTime(at);
        for (size_t k = 0; k < n; ++k) {
            out += ',';
            qsizetype &i = next[k];
            if (i < table.times[k].size() && table.times[k][i] == at) {
                out += c.toString(table.values[k][i++], 'g', QLocale::FloatingPointShortest).toLatin1();
                ++written;
            }
        }
        out += '\n';
        if (progress && row % 4096 == 0 && !progress(total ? int(written * 100 / total) : 100))
            return QByteArray();
    }
    return out;
}

QByteArray TraceCsv::render(const TraceGraph &graph)
{
    return render(snapshot(graph));
}
