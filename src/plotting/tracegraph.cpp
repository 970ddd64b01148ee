#include "tracegraph.h"

#include "contrast.h"
#include "numberformat.h"
#include "siaxisticker.h"
#include "timeaxisticker.h"
#include "tracereadout.h"

#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

namespace {
constexpr double InitialSpan = 60;           // seconds in view before the history is longer
constexpr int ReadoutSignificant = 6;        // digits of a value in the readout
const QColor GridColor(70, 70, 70);          // grid lines, dim enough not to compete with traces
const QColor ReadoutTimeColor(230, 230, 230);
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

    auto timeTicker = QSharedPointer<TimeAxisTicker>::create();
    m_timeTicker = timeTicker.data();
    m_plot->xAxis->setTicker(timeTicker);
    // Before each layout: the axis's length and font, so that time labels never overlap.
    connect(m_plot, &QCustomPlot::beforeReplot, this, [this] {
        // The plot fills this widget, laid out or not yet (hidden, it keeps its first size).
        QCPAxisRect *rect = m_plot->axisRect();
        const int margins = std::max(0, rect->outerRect().width() - rect->width());
        m_timeTicker->setRoom(std::max(1, width() - margins), m_plot->xAxis->tickLabelFont());
    });
    styleAxis(m_plot->xAxis, AxisColor, true);

    auto ticker = QSharedPointer<SiAxisTicker>::create();
    m_plot->yAxis->setTicker(ticker);
    styleAxis(m_plot->yAxis, AxisColor, true);
    m_plot->yAxis->setRange(0, 10);
    m_axes.push_back({m_plot->yAxis, ticker.data(), QString(), false});

    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    m_plot->axisRect()->setRangeDragAxes(m_plot->xAxis, nullptr);
    m_plot->axisRect()->setRangeZoomAxes(m_plot->xAxis, nullptr);

    // The plot's right-click belongs to this widget's menu (the owner's actions).
    m_plot->setContextMenuPolicy(Qt::NoContextMenu);
    m_readout = std::make_unique<TraceReadout>(m_plot);
    m_plot->setMouseTracking(true);
    m_plot->installEventFilter(this);

    connect(m_plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, [this] {
        if (!m_settingRange)
            m_following = false;
        chooseDetail();
    });
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, [this] { followNewest(); });
    connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent *e) {
        if (m_plot->axisRect()->rect().contains(e->pos()))
            showReadout(toMs(m_plot->xAxis->pixelToCoord(e->pos().x())));
        else
            hideReadout();
    });
    updateView();
}

TraceGraph::~TraceGraph() = default;

void TraceGraph::setClock(SampleClock clock)
{
    m_clock = std::move(clock);
    updateView();
}

bool TraceGraph::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_plot && event->type() == QEvent::Leave)
        hideReadout();
    return QWidget::eventFilter(watched, event);
}

void TraceGraph::styleAxis(QCPAxis *axis, const QColor &color, bool withGrid) const
{
    const QPen pen(color, 0);
    axis->setBasePen(pen);
    axis->setTickPen(pen);
    axis->setSubTickPen(pen);
    axis->setTickLabelColor(color);
    axis->setLabelColor(color);
    axis->grid()->setVisible(withGrid);
    axis->grid()->setPen(QPen(GridColor, 0, Qt::DotLine));
    axis->grid()->setZeroLinePen(QPen(GridColor, 0));
}

void TraceGraph::colourAxes()
{
    for (size_t i = 0; i < m_axes.size(); ++i) {
        QColor color = AxisColor;
        if (m_axes.size() > 1) {
            const auto first = std::find_if(m_traces.begin(), m_traces.end(), [&](const Trace &t) {
                return t.graph->valueAxis() == m_axes[i].axis;
            });
            if (first != m_traces.end()) // its labels must read on black: blue is lightened
                color = Contrast::readableOn(first->graph->pen().color(), Qt::black);
        }
        styleAxis(m_axes[i].axis, color, i == 0);
    }
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
    axis->setRange(0, 10);
    axis->setVisible(true);
    m_axes.push_back({axis, ticker.data(), QString(), false});
    colourAxes();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    return valueAxisCount() - 1;
}

void TraceGraph::removeValueAxis(int index)
{
    const Axis a = axisAt(index);
    Q_ASSERT(a.axis->graphs().isEmpty());
    m_axes.erase(m_axes.begin() + index);
    m_plot->axisRect()->removeAxis(a.axis);
    colourAxes();
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

void TraceGraph::setAxisRange(int index, double lower, double upper)
{
    axisAt(index).axis->setRange(lower, upper);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

double TraceGraph::axisLower(int index) const
{
    return axisAt(index).axis->range().lower;
}

double TraceGraph::axisUpper(int index) const
{
    return axisAt(index).axis->range().upper;
}

QColor TraceGraph::axisColor(int index) const
{
    return axisAt(index).axis->tickLabelColor();
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
    ++m_traceChanges;
    QCPGraph *graph = m_plot->addGraph(m_plot->xAxis, axisAt(axisIndex).axis);
    QPen pen(color, 1);
    pen.setCosmetic(true);
    graph->setPen(pen);
    graph->setAntialiased(false);
    graph->setAdaptiveSampling(true);
    graph->data()->setAutoSqueeze(false); // compacted in trim, at a bounded rate
    auto coarse = QSharedPointer<QCPGraphDataContainer>::create();
    coarse->setAutoSqueeze(false);
    Trace trace{graph, name, QString(), QString(), TrendKey(), ++m_lastTraceId, SeriesExtrema(), graph->data(), coarse};
    m_traces.push_back(std::move(trace));
    colourAxes();
    followNewest();
}

void TraceGraph::removeTrace(int index)
{
    ++m_traceChanges;
    QCPGraph *graph = graphAt(index);
    m_traces.erase(m_traces.begin() + index);
    m_plot->removeGraph(graph);
    colourAxes();
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
    return traceAt(index).name;
}

int TraceGraph::traceAxis(int index) const
{
    return axisIndexOf(graphAt(index)->valueAxis());
}

QColor TraceGraph::traceColor(int index) const
{
    return graphAt(index)->pen().color();
}

void TraceGraph::setTraceLabel(int index, const QString &label, const QString &unit)
{
    Trace &t = m_traces.at(static_cast<size_t>(index));
    t.label = label;
    t.unit = unit;
}

QString TraceGraph::traceLabel(int index) const
{
    return traceAt(index).label;
}

QString TraceGraph::traceUnit(int index) const
{
    return traceAt(index).unit;
}

void TraceGraph::setTraceKey(int index, const TrendKey &key)
{
    m_traces.at(static_cast<size_t>(index)).key = key;
}

TrendKey TraceGraph::traceKey(int index) const
{
    return traceAt(index).key;
}

int TraceGraph::traceId(int index) const
{
    return traceAt(index).id;
}

int TraceGraph::traceIndexOfId(int id) const
{
    for (size_t i = 0; i < m_traces.size(); ++i)
        if (m_traces[i].id == id)
            return static_cast<int>(i);
    return -1;
}

void TraceGraph::appendPoints(const QVector<double> &values, qint64 timestampMs)
{
    const double x = m_newest > 0 ? std::max(toKey(timestampMs), m_newest + 0.001) : toKey(timestampMs);
    m_newest = x;
    const int n = std::min(traceCount(), static_cast<int>(values.size()));
    for (int k = 0; k < n; ++k) {
        Trace &t = m_traces[static_cast<size_t>(k)];
        t.full->add(QCPGraphData(x, values[k]));
        addCoarse(t, x, values[k]);
        t.extrema.append(values[k]);
        trim(t);
    }
    // Dropping from the front only moves a start marker; move the kept points
    // back to the front now and then so memory stays flat.
    if (m_trimmed >= m_historyLimit / 8 + 1) {
        for (const Trace &t : m_traces) {
            t.full->squeeze(true, false);
            t.coarse->squeeze(true, false);
        }
        m_trimmed = 0;
    }
    updateView();
    chooseDetail();
    if (m_readout->isShown())
        showReadout(toMs(m_readout->key())); // the box moves with its time
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void TraceGraph::trim(Trace &trace)
{
    const auto &data = trace.full;
    const int excess = data->size() - m_historyLimit;
    if (excess <= 0)
        return;
    const double oldest = (data->constBegin() + excess)->key;
    data->removeBefore(oldest);
    trace.coarse->removeBefore(oldest);
    trace.extrema.dropFront(excess);
    m_trimmed += excess;
}


QVector<double> TraceGraph::traceValues(int index) const
{
    QVector<double> out;
    const auto &data = traceAt(index).full;
    out.reserve(data->size());
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        out << it->value;
    return out;
}

QVector<qint64> TraceGraph::traceTimes(int index) const
{
    QVector<qint64> out;
    const auto &data = traceAt(index).full;
    out.reserve(data->size());
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        out << toMs(it->key);
    return out;
}

void TraceGraph::setHistoryLimit(int points)
{
    m_historyLimit = std::max(2, points);
}

qint64 TraceGraph::viewStart() const
{
    return toMs(m_plot->xAxis->range().lower);
}

qint64 TraceGraph::viewEnd() const
{
    return toMs(m_plot->xAxis->range().upper);
}

void TraceGraph::followNewest()
{
    m_following = true;
    updateView();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void TraceGraph::showTimeRange(qint64 fromMs, qint64 toMs)
{
    m_following = false;
    m_plot->xAxis->setRange(toKey(fromMs), toKey(toMs));
    updateView();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QVector<QPair<double, QString>> TraceGraph::timeTicks() const
{
    QVector<QPair<double, QString>> out;
    const QVector<double> ticks = m_plot->xAxis->tickVector();
    const QVector<QString> labels = m_plot->xAxis->tickVectorLabels();
    for (int i = 0; i < ticks.size() && i < labels.size(); ++i)
        if (m_plot->xAxis->range().contains(ticks[i]))
            out.append({m_plot->xAxis->coordToPixel(ticks[i]), labels[i]});
    return out;
}

QFont TraceGraph::timeTickFont() const
{
    return m_plot->xAxis->tickLabelFont();
}

QStringList TraceGraph::timeTickLabels() const
{
    const QVector<QString> labels = m_plot->xAxis->tickVectorLabels();
    return QStringList(labels.begin(), labels.end());
}

void TraceGraph::replotNow()
{
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

void TraceGraph::setTimeRange(double lower, double upper)
{
    m_settingRange = true;
    m_plot->xAxis->setRange(lower, upper);
    m_settingRange = false;
}

void TraceGraph::updateView()
{
    if (m_following) {
        // From the oldest kept sample, or from now while nothing is kept.
        double oldest = std::numeric_limits<double>::infinity();
        for (const Trace &t : m_traces)
            if (!t.full->isEmpty())
                oldest = std::min(oldest, t.full->constBegin()->key);
        if (!std::isfinite(oldest))
            oldest = toKey(m_clock());
        setTimeRange(oldest, std::max(m_newest, oldest + InitialSpan));
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
    for (const Trace &t : m_traces) {
        if (t.graph->valueAxis() != a.axis)
            continue;
        const auto &data = t.full;
        const auto begin = data->constBegin();
        const auto r = t.extrema.range(data->findBegin(shown.lower, false) - begin,
                                       data->findEnd(shown.upper, false) - begin,
                                       [&begin](qsizetype i) { return (begin + i)->value; });
        if (!r)
            continue;
        if (any)
            range.expand(QCPRange(r->first, r->second));
        else
            range = QCPRange(r->first, r->second);
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

void TraceGraph::showReadout(qint64 atMs)
{
    const double key = toKey(atMs);
    QVector<TraceReadout::Line> lines;
    lines.append({QDateTime::fromMSecsSinceEpoch(atMs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                  ReadoutTimeColor});
    for (const Trace &t : m_traces) {
        if (!t.graph->visible())
            continue;
        const auto &data = t.full;
        const auto after = data->findEnd(key, false); // the first sample later than the time
        const QString format = axisAt(axisIndexOf(t.graph->valueAxis())).ticker->format();
        const QString value = after == data->constBegin()
                                  ? QStringLiteral("no sample")
                                  : NumberFormat::render((after - 1)->value, format, ReadoutSignificant);
        const QString name = t.label.isEmpty() ? t.name : t.label;
        lines.append({name + QStringLiteral("  ") + value, t.graph->pen().color()});
    }
    m_readout->show(key, lines);
}

void TraceGraph::hideReadout()
{
    m_readout->hide();
}

bool TraceGraph::isReadoutShown() const
{
    return m_readout->isShown();
}

QStringList TraceGraph::readoutLines() const
{
    return m_readout->isShown() ? m_readout->texts() : QStringList();
}

QSize TraceGraph::plotSize() const
{
    return m_plot->size();
}


void TraceGraph::zoomTime(double factor)
{
    const QCPRange r = m_plot->xAxis->range();
    const double mid = r.center(), half = r.size() / 2 * factor;
    showTimeRange(toMs(mid - half), toMs(mid + half));
}

void TraceGraph::panTime(double fraction)
{
    const QCPRange r = m_plot->xAxis->range();
    const double by = r.size() * fraction;
    showTimeRange(toMs(r.lower + by), toMs(r.upper + by));
}
