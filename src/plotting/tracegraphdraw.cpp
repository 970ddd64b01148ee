// How a trace graph is drawn beyond the plot's own drawing: a coarse level of
// detail for views of many samples to a pixel, and print colours for sheets.

#include "tracegraph.h"

#include "contrast.h"
#include "timeaxisticker.h"

#include <algorithm>
#include <qcustomplot.h>

void TraceGraph::noteSample(Trace &t, double key, double value)
{
    if (t.blockCount == 0) {
        t.lowKey = t.highKey = key;
        t.lowValue = t.highValue = value;
    } else if (value < t.lowValue) {
        t.lowKey = key;
        t.lowValue = value;
    } else if (value > t.highValue) {
        t.highKey = key;
        t.highValue = value;
    }
}

int TraceGraph::blockPoints(const Trace &t, double key, double value, QCPGraphData *out)
{
    const bool lowFirst = t.lowKey <= t.highKey;
    int n = 0;
    out[n++] = QCPGraphData(lowFirst ? t.lowKey : t.highKey, lowFirst ? t.lowValue : t.highValue);
    if (t.lowKey != t.highKey)
        out[n++] = QCPGraphData(lowFirst ? t.highKey : t.lowKey, lowFirst ? t.highValue : t.lowValue);
    // The newest sample always ends the line, so the trace reaches now at any detail.
    if (key != t.lowKey && key != t.highKey)
        out[n++] = QCPGraphData(key, value);
    return n;
}

void TraceGraph::addCoarse(Trace &t, double key, double value)
{
    noteSample(t, key, value);
    // The open block's points are replaced as it grows; a closed block's stay.
    t.coarse->removeAfter(t.sealed);
    QCPGraphData points[3];
    const int n = blockPoints(t, key, value, points);
    for (int i = 0; i < n; ++i)
        t.coarse->add(points[i]);
    if (++t.blockCount == CoarseBlock) {
        t.blockCount = 0;
        t.sealed = key;
    }
}

void TraceGraph::chooseDetail()
{
    const QCPRange shown = m_plot->xAxis->range();
    const int pixels = std::max(1, m_plot->axisRect()->width());
    for (Trace &t : m_traces) {
        const auto begin = t.full->findBegin(shown.lower, false), end = t.full->findEnd(shown.upper, false);
        // Many samples to a pixel: the blocks' extremes draw the same picture from far fewer points.
        const bool coarse = (end - begin) > 4 * CoarseBlock * pixels;
        if (coarse == t.drawsCoarse)
            continue;
        t.drawsCoarse = coarse;
        t.graph->setData(coarse ? t.coarse : t.full);
    }
}

void TraceGraph::renderPlot(QCPPainter &painter, const QSize &size, bool printColours) const
{
    // In print colours for the moment of drawing: everything restyled, then put back.
    struct Saved
    {
        QCPAxis *axis;
        QPen base, tick, sub, grid, zero;
        QColor tickLabels, label;
    };
    std::vector<Saved> axes;
    std::vector<QPen> pens;
    if (printColours) {
        m_plot->setBackground(Qt::white);
        m_plot->axisRect()->setBackground(Qt::white);
        for (QCPAxis *axis : m_plot->axisRect()->axes()) {
            axes.push_back({axis, axis->basePen(), axis->tickPen(), axis->subTickPen(), axis->grid()->pen(),
                            axis->grid()->zeroLinePen(), axis->tickLabelColor(), axis->labelColor()});
            const QColor ink = axis->basePen().color() == AxisColor ? Qt::black
                                                                     : Contrast::readableOn(axis->basePen().color(), Qt::white);
            const QPen pen(ink, 0);
            axis->setBasePen(pen);
            axis->setTickPen(pen);
            axis->setSubTickPen(pen);
            axis->setTickLabelColor(ink);
            axis->setLabelColor(ink);
            axis->grid()->setPen(QPen(QColor(200, 200, 200), 0, Qt::DotLine));
            axis->grid()->setZeroLinePen(QPen(QColor(170, 170, 170), 0));
        }
        for (const Trace &t : m_traces) {
            pens.push_back(t.graph->pen());
            QPen pen = t.graph->pen();
            pen.setColor(Contrast::readableOn(pen.color(), Qt::white));
            t.graph->setPen(pen);
        }
    }
    painter.save();
    m_plot->toPainter(&painter, size.width(), size.height());
    painter.restore();
    if (printColours) {
        m_plot->setBackground(Qt::black);
        m_plot->axisRect()->setBackground(Qt::black);
        for (const Saved &a : axes) {
            a.axis->setBasePen(a.base);
            a.axis->setTickPen(a.tick);
            a.axis->setSubTickPen(a.sub);
            a.axis->grid()->setPen(a.grid);
            a.axis->grid()->setZeroLinePen(a.zero);
            a.axis->setTickLabelColor(a.tickLabels);
            a.axis->setLabelColor(a.label);
        }
        for (size_t i = 0; i < pens.size(); ++i)
            m_traces[i].graph->setPen(pens[i]);
    }
}
