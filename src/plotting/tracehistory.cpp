// What a trace had before it joined the graph: earlier samples put in front of
// its own, with the extremes and coarse points that depend on them.

#include "tracegraph.h"

#include "timeaxisticker.h"

#include <algorithm>
#include <qcustomplot.h>

void TraceGraph::insertHistory(int index, const QVector<qint64> &times, const QVector<double> &values)
{
    if (index < 0 || index >= traceCount())
        return;
    Trace &t = m_traces[static_cast<size_t>(index)];
    const double oldest = t.full->isEmpty() ? std::numeric_limits<double>::infinity() : t.full->constBegin()->key;
    const qsizetype n = std::min(times.size(), values.size());
    // Only what is older than the trace's own points, and the newest of it that fits.
    qsizetype end = 0;
    while (end < n && toKey(times[end]) < oldest)
        ++end;
    const qsizetype room = std::max<qsizetype>(0, m_historyLimit - t.full->size());
    const qsizetype begin = std::max<qsizetype>(0, end - room);
    if (begin >= end)
        return;
    QVector<QCPGraphData> points;
    points.reserve(end - begin);
    for (qsizetype i = begin; i < end; ++i)
        points.append(QCPGraphData(toKey(times[i]), values[i]));
    t.full->add(points, true);
    // A sample appended later must still come after the history.
    m_newest = std::max(m_newest, points.constLast().key);
    rebuildDerived(t);
    updateView();
    chooseDetail();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

int TraceGraph::tracePointCount(int index) const
{
    return traceAt(index).full->size();
}

void TraceGraph::rebuildDerived(Trace &t)
{
    // In one pass, what addCoarse leaves sample by sample: each block's lowest and
    // highest in time order and its last sample, the open block's state to go on from.
    t.extrema.clear();
    QVector<QCPGraphData> coarse;
    coarse.reserve(t.full->size() / CoarseBlock * 3 + 3);
    t.blockCount = 0;
    t.sealed = -std::numeric_limits<double>::infinity();
    double lastKey = 0, lastValue = 0;
    const auto emitBlock = [&] {
        QCPGraphData points[3];
        for (int i = 0, n = blockPoints(t, lastKey, lastValue, points); i < n; ++i)
            coarse.append(points[i]);
    };
    for (auto it = t.full->constBegin(); it != t.full->constEnd(); ++it) {
        const double key = it->key, value = it->value;
        t.extrema.append(value);
        noteSample(t, key, value);
        lastKey = key;
        lastValue = value;
        if (++t.blockCount == CoarseBlock) {
            emitBlock();
            t.blockCount = 0;
            t.sealed = key;
        }
    }
    if (t.blockCount > 0)
        emitBlock();
    t.coarse->set(coarse, true);
}
