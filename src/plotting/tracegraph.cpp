#include "tracegraph.h"

#include "siaxisticker.h"

#include <QVBoxLayout>
#include <algorithm>
#include <qcustomplot.h>

namespace {
constexpr double InitialXSpan = 60;
const QColor AxisColor(200, 200, 200);     // axes and labels on black
const QColor GridColor(70, 70, 70);        // grid lines, dim enough not to compete with traces

// One field of every kept point of a graph, oldest first.
QVector<double> column(const QCPGraph *graph, double QCPGraphData::*field)
{
    QVector<double> out;
    const auto data = graph->data();
    out.reserve(data->size());
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        out << (*it).*field;
    return out;
}
} // namespace

TraceGraph::TraceGraph(QWidget *parent)
    : QWidget(parent)
    , m_plot(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot);

    // Thin cosmetic lines without antialiasing keep a redraw of a full day cheap.
    m_plot->setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    m_plot->setNotAntialiasedElements(QCP::aePlottables | QCP::aeGrid | QCP::aeAxes);
    m_plot->setBackground(Qt::black);
    m_plot->axisRect()->setBackground(Qt::black);

    styleAxis(m_plot->xAxis, true);
    m_plot->xAxis->setRange(0, InitialXSpan);

    auto ticker = QSharedPointer<SiAxisTicker>::create();
    m_plot->yAxis->setTicker(ticker);
    styleAxis(m_plot->yAxis, true);
    m_plot->yAxis->setRange(0, 10);
    m_axes.push_back({m_plot->yAxis, ticker.data(), QString(), false});

    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    m_plot->axisRect()->setRangeDragAxes(m_plot->xAxis, nullptr);
    m_plot->axisRect()->setRangeZoomAxes(m_plot->xAxis, nullptr);

    connect(m_plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, [this] {
        if (!m_settingRange)
            m_following = false;
    });
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, [this] { followNewest(); });
}

TraceGraph::~TraceGraph() = default;

void TraceGraph::styleAxis(QCPAxis *axis, bool withGrid) const
{
    const QPen pen(AxisColor, 0);
    axis->setBasePen(pen);
    axis->setTickPen(pen);
    axis->setSubTickPen(pen);
    axis->setTickLabelColor(AxisColor);
    axis->setLabelColor(AxisColor);
    axis->grid()->setVisible(withGrid);
    axis->grid()->setPen(QPen(GridColor, 0, Qt::DotLine));
    axis->grid()->setZeroLinePen(QPen(GridColor, 0));
}

int TraceGraph::addValueAxis(const QString &format)
{
    // Alternate sides so neither grows much wider than the other.
    const auto onRight = std::count_if(m_axes.begin(), m_axes.end(),
                                       [](const Axis &a) { return a.axis->axisType() == QCPAxis::atRight; });
    const bool right = 2 * onRight < static_cast<qint64>(m_axes.size());
    QCPAxis *axis = m_plot->axisRect()->addAxis(right ? QCPAxis::atRight : QCPAxis::atLeft);
    auto ticker = QSharedPointer<SiAxisTicker>::create(format);
    axis->setTicker(ticker);
    styleAxis(axis, false);
    axis->setRange(0, 10);
    axis->setVisible(true);
    m_axes.push_back({axis, ticker.data(), QString(), false});
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    return valueAxisCount() - 1;
}

void TraceGraph::removeValueAxis(int index)
{
    const Axis a = axisAt(index);
    Q_ASSERT(a.axis->graphs().isEmpty());
    m_axes.erase(m_axes.begin() + index);
    m_plot->axisRect()->removeAxis(a.axis);
    if (!m_axes.empty())
        m_axes.front().axis->grid()->setVisible(true);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString TraceGraph::axisFormat(int index) const
{
    return axisAt(index).ticker->format();
}

void TraceGraph::setAxisFormat(int index, const QString &format)
{
    axisAt(index).ticker->setFormat(format);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString TraceGraph::axisName(int index) const
{
    return axisAt(index).name;
}

void TraceGraph::setAxisName(int index, const QString &name)
{
    axisAt(index).name = name;
}

QString TraceGraph::axisCaption(int index) const
{
    return axisAt(index).axis->label();
}

void TraceGraph::setAxisCaption(int index, const QString &caption)
{
    axisAt(index).axis->setLabel(caption);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

bool TraceGraph::axisAutoscale(int index) const
{
    return axisAt(index).autoscale;
}

void TraceGraph::setAxisAutoscale(int index, bool on)
{
    Axis &a = axisAt(index);
    a.autoscale = on;
    if (on) {
        rescaleValueAxis(a);
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

double TraceGraph::axisLower(int index) const
{
    return axisAt(index).axis->range().lower;
}

double TraceGraph::axisUpper(int index) const
{
    return axisAt(index).axis->range().upper;
}

QStringList TraceGraph::axisTickLabels(int index) const
{
    const QVector<QString> labels = axisAt(index).axis->tickVectorLabels();
    return QStringList(labels.begin(), labels.end());
}

int TraceGraph::axisIndexOf(const QCPAxis *axis) const
{
    for (size_t i = 0; i < m_axes.size(); ++i)
        if (m_axes[i].axis == axis)
            return static_cast<int>(i);
    return -1;
}

void TraceGraph::addTrace(const QString &name, int axisIndex, const QColor &color)
{
    QCPGraph *graph = m_plot->addGraph(m_plot->xAxis, axisAt(axisIndex).axis);
    QPen pen(color, 1);
    pen.setCosmetic(true);
    graph->setPen(pen);
    graph->setAntialiased(false);
    graph->setAdaptiveSampling(true);
    graph->data()->setAutoSqueeze(false); // compacted in appendPoints, at a bounded rate
    m_traces.push_back({graph, name});
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void TraceGraph::removeTrace(int index)
{
    const Trace t = m_traces.at(static_cast<size_t>(index));
    m_traces.erase(m_traces.begin() + index);
    m_plot->removeGraph(t.graph);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

int TraceGraph::traceIndex(const QString &name) const
{
    for (size_t i = 0; i < m_traces.size(); ++i)
        if (m_traces[i].name == name)
            return static_cast<int>(i);
    return -1;
}

QString TraceGraph::traceName(int index) const
{
    return m_traces.at(static_cast<size_t>(index)).name;
}

int TraceGraph::traceAxis(int index) const
{
    return axisIndexOf(graphAt(index)->valueAxis());
}

QColor TraceGraph::traceColor(int index) const
{
    return graphAt(index)->pen().color();
}

void TraceGraph::clearData()
{
    for (const Trace &t : m_traces)
        t.graph->data()->clear();
    m_nextX = 0;
    m_trimmed = 0;
    updateView();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void TraceGraph::appendPoints(const QVector<double> &values)
{
    const double x = static_cast<double>(m_nextX++);
    const int n = std::min(traceCount(), static_cast<int>(values.size()));
    for (int k = 0; k < n; ++k)
        m_traces[static_cast<size_t>(k)].graph->addData(x, values[k]);

    if (m_nextX > m_historyLimit) {
        const double oldestKept = static_cast<double>(m_nextX - m_historyLimit);
        for (const Trace &t : m_traces)
            t.graph->data()->removeBefore(oldestKept);
        // Dropping from the front only moves a start marker; move the kept
        // points back to the front now and then so memory stays flat.
        if (++m_trimmed >= m_historyLimit / 8 + 1) {
            for (const Trace &t : m_traces)
                t.graph->data()->squeeze(true, false);
            m_trimmed = 0;
        }
    }
    updateView();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QVector<double> TraceGraph::traceValues(int index) const
{
    return column(graphAt(index), &QCPGraphData::value);
}

QVector<double> TraceGraph::traceKeys(int index) const
{
    return column(graphAt(index), &QCPGraphData::key);
}

void TraceGraph::setHistoryLimit(int points)
{
    m_historyLimit = std::max(2, points);
}

double TraceGraph::xLower() const
{
    return m_plot->xAxis->range().lower;
}

double TraceGraph::xUpper() const
{
    return m_plot->xAxis->range().upper;
}

void TraceGraph::followNewest()
{
    m_following = true;
    updateView();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void TraceGraph::replotNow()
{
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

void TraceGraph::updateView()
{
    if (m_following) {
        const double newest = static_cast<double>(m_nextX - 1);
        const double oldest = static_cast<double>(std::max<qint64>(0, m_nextX - m_historyLimit));
        m_settingRange = true;
        m_plot->xAxis->setRange(oldest, std::max(newest, oldest + InitialXSpan));
        m_settingRange = false;
    }
    for (const Axis &a : m_axes)
        if (a.autoscale)
            rescaleValueAxis(a);
}

void TraceGraph::rescaleValueAxis(const Axis &a)
{
    bool any = false;
    QCPRange range;
    const QCPRange shown = m_plot->xAxis->range();
    for (QCPGraph *g : a.axis->graphs()) {
        bool found = false;
        const QCPRange r = g->getValueRange(found, QCP::sdBoth, shown);
        if (!found)
            continue;
        if (any)
            range.expand(r);
        else
            range = r;
        any = true;
    }
    if (!any)
        return;
    // A flat trace still gets a readable span around its value.
    if (range.size() <= 0) {
        const double half = range.lower == 0 ? 1.0 : std::abs(range.lower) * 0.1;
        range = QCPRange(range.lower - half, range.upper + half);
    } else {
        const double margin = range.size() * 0.05;
        range = QCPRange(range.lower - margin, range.upper + margin);
    }
    a.axis->setRange(range);
}
