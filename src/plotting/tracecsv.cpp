#include "tracecsv.h"

#include "csvtext.h"
#include "tracegraph.h"

#include <QLocale>
#include <algorithm>
#include <limits>

using CsvText::cell;
using CsvText::isoTime;

QByteArray TraceCsv::render(const TraceGraph &graph)
{
    const int n = graph.traceCount();
    std::vector<QVector<qint64>> times(static_cast<size_t>(n));
    std::vector<QVector<double>> values(static_cast<size_t>(n));
    std::vector<qsizetype> next(static_cast<size_t>(n), 0); // per trace: its first row not yet written
    qsizetype rows = 0;

    QByteArray out = "time";
    for (int k = 0; k < n; ++k) {
        times[size_t(k)] = graph.traceTimes(k);
        values[size_t(k)] = graph.traceValues(k);
        rows = std::max(rows, times[size_t(k)].size());
        const QString unit = graph.traceUnit(k);
        const QString label = graph.traceLabel(k);
        out += ',' + cell(unit.isEmpty() ? label : label + QStringLiteral(" [") + unit + u']');
    }
    out += '\n';
    out.reserve(out.size() + rows * (30 + 14 * n));

    const QLocale c = QLocale::c();
    for (;;) {
        // The earliest time any trace has left is the next row.
        qint64 at = std::numeric_limits<qint64>::max();
        for (int k = 0; k < n; ++k)
            if (next[size_t(k)] < times[size_t(k)].size())
                at = std::min(at, times[size_t(k)][next[size_t(k)]]);
        if (at == std::numeric_limits<qint64>::max())
            break;
        out += isoTime(at);
        for (int k = 0; k < n; ++k) {
            out += ',';
            qsizetype &i = next[size_t(k)];
            if (i < times[size_t(k)].size() && times[size_t(k)][i] == at)
                out += c.toString(values[size_t(k)][i++], 'g', QLocale::FloatingPointShortest).toLatin1();
        }
        out += '\n';
    }
    return out;
}
