#pragma once

#include "sampleclock.h"
#include "seriesextrema.h"
#include "trendtable.h"

#include <QColor>
#include <QSharedPointer>
#include <limits>
#include <QString>
#include <QVector>
#include <QWidget>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPAxis;
class QCPGraph;
class QCPPainter;
class QCPGraphData;
template <class DataType> class QCPDataContainer;
class SiAxisTicker;
class TimeAxisTicker;
class TraceReadout;

// A strip-chart of sampled traces against clock time on a black plot area: a
// time axis with local clock-time labels and value axes, each with a display
// format for its tick labels, a name, an optional caption and an autoscale
// switch. Traces are appended at the end, removed by position and bound to one
// value axis; one call appends a point to every trace at the same time. With
// more than one value axis, each axis takes the colour of its first trace.
//
// History: each trace keeps its own points, at most historyLimit() of them (one
// day at one point per second by default); older points are dropped. A new
// trace starts empty and leaves the others' history alone; what the archive
// kept of its key before can be put in front of its own points (insertHistory). While following
// (the default), the time axis spans one minute from the oldest kept sample and
// then widens to the whole kept history. Dragging or wheeling over the plot
// pans and zooms the time axis and stops following; a double-click, and any
// trace added, return to following the newest samples.
//
// Readout: moving the mouse over the plot area shows a vertical line and one
// box with that time and each trace's value then (its latest sample at or
// before that time).
class TraceGraph : public QWidget
{
    Q_OBJECT
public:
    static constexpr int DefaultHistoryLimit = 24 * 60 * 60;
    static inline const QColor AxisColor{200, 200, 200}; // axes and their labels, on black

    explicit TraceGraph(QWidget *parent = nullptr);
    ~TraceGraph() override;

    // Times the samples, and places the view of an empty graph; the wall clock by default.
    void setClock(SampleClock clock);
    qint64 now() const { return m_clock(); }
    // Counts traces added and removed: a sample read before a change does not fit the traces after it.
    int traceChanges() const { return m_traceChanges; }

    // Value axes, by index from 0. The first exists from the start (range 0 to 10).
    int valueAxisCount() const { return static_cast<int>(m_axes.size()); }
    int addValueAxis(const QString &format);
    void removeValueAxis(int index); // only an axis that carries no trace
    QString axisFormat(int index) const;
    void setAxisFormat(int index, const QString &format);
    QString axisName(int index) const;
    void setAxisName(int index, const QString &name);
    QString axisCaption(int index) const;
    void setAxisCaption(int index, const QString &caption);
    bool axisAutoscale(int index) const;
    void setAxisAutoscale(int index, bool on); // switched off, the axis keeps its present range
    void setAxisRange(int index, double lower, double upper); // of an axis that does not autoscale
    double axisLower(int index) const;
    double axisUpper(int index) const;
    QColor axisColor(int index) const; // of its line and tick labels
    // The tick labels the axis shows now (after a layout of the plot).
    QStringList axisTickLabels(int index) const;

    // Traces, by position from 0, in the order they were added.
    int traceCount() const { return static_cast<int>(m_traces.size()); }
    void addTrace(const QString &name, int axisIndex, const QColor &color);
    void removeTrace(int index);
    int traceIndex(const QString &name) const; // -1 when none carries the name
    QString traceName(int index) const;
    int traceAxis(int index) const;
    QColor traceColor(int index) const;
    // What the readout and the exported data call a trace ("Bd 1 Ch 0 VMon"), and its unit.
    void setTraceLabel(int index, const QString &label, const QString &unit);
    QString traceLabel(int index) const;
    QString traceUnit(int index) const;
    // What the trace shows, as the archive keys it (crate, slot, channel, parameter).
    void setTraceKey(int index, const TrendKey &key);
    TrendKey traceKey(int index) const;
    // A number naming the trace while it is in the graph (positions move when one goes), and back.
    int traceId(int index) const;
    int traceIndexOfId(int id) const;

    // Data. Times are milliseconds since the epoch; a time not after the
    // newest one is taken as one millisecond after it, so history stays in order.
    void appendPoints(const QVector<double> &values, qint64 timestampMs); // value k goes to trace k
    QVector<double> traceValues(int index) const; // kept points, oldest first
    QVector<qint64> traceTimes(int index) const;  // their times
    int tracePointCount(int index) const;         // how many, without copying them
    int historyLimit() const { return m_historyLimit; }
    void setHistoryLimit(int points);
    // Puts earlier samples of a trace (oldest first) before its own: those
    // older than its oldest kept point, the newest of them where the history
    // limit leaves no room for all.
    void insertHistory(int index, const QVector<qint64> &times, const QVector<double> &values);

    // View, in milliseconds since the epoch.
    qint64 viewStart() const;
    qint64 viewEnd() const;
    bool isFollowing() const { return m_following; }
    void followNewest();
    void showTimeRange(qint64 fromMs, qint64 toMs); // as the operator's zoom: stops following
    QStringList timeTickLabels() const;             // after a layout of the plot
    // The time labels in view: where each is centred (pixels) and what it says; and their font.
    QVector<QPair<double, QString>> timeTicks() const;
    QFont timeTickFont() const;
    void replotNow(); // draws at once (benchmarks, screenshots)

    // The readout at a time, as the mouse shows it; its lines, the time first.
    void showReadout(qint64 atMs);
    void hideReadout();
    bool isReadoutShown() const;
    QStringList readoutLines() const;

    // Draws the plot on the painter at this size, as on screen or, in print
    // colours, dark on white (traces darkened where they would not read on white).
    void renderPlot(QCPPainter &painter, const QSize &size, bool printColours) const;
    // The plot's size on screen.
    QSize plotSize() const;

    // View keys: zoom the time axis by a factor about the middle of the view
    // (below 1 zooms in), move it by a fraction of its span; both as the
    // operator's zoom and pan, so following stops.
    void zoomTime(double factor);
    void panTime(double fraction);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Axis
    {
        QCPAxis *axis;                  // the plot's axis
        SiAxisTicker *ticker;           // its tick labeller, owned by the axis
        QString name;                   // identifier, not shown
        bool autoscale;                 // follows its traces' values
    };
    // The lowest and the highest sample of each block of this many: what a
    // plot of many samples per pixel draws anyway, at a fraction of the points.
    static constexpr int CoarseBlock = 8;
    struct Trace
    {
        QCPGraph *graph;                // the plot's graph
        QString name;                   // what ties the trace to its owner's data
        QString label;                  // board, channel and parameter, for readout and export
        QString unit;                   // its values' unit
        TrendKey key;                   // what it shows, as the archive keys it
        int id = 0;                     // names it while it is in the graph
        SeriesExtrema extrema;          // value extremes of its kept points, for autoscale
        QSharedPointer<QCPDataContainer<QCPGraphData>> full;   // every kept sample
        QSharedPointer<QCPDataContainer<QCPGraphData>> coarse; // each block's lowest and highest sample
        int blockCount = 0;             // samples in the open block
        double lowKey = 0, lowValue = 0, highKey = 0, highValue = 0; // the open block's lowest and highest sample
        double sealed = -std::numeric_limits<double>::infinity(); // coarse holds closed blocks up to this key
        bool drawsCoarse = false;       // the graph draws coarse
    };

    void styleAxis(QCPAxis *axis, const QColor &color, bool withGrid) const;
    void colourAxes();                  // each value axis in its first trace's colour
    void updateView();                  // time range while following, autoscaled value axes
    void rescaleValueAxis(const Axis &axis);
    void trim(Trace &trace);            // drops what is beyond the history limit
    void addCoarse(Trace &trace, double key, double value); // the sample's share of the coarse points
    static void noteSample(Trace &trace, double key, double value); // into the open block's lowest and highest
    // The open block as drawn: its lowest and highest in time order, then the sample at
    // `key` when it is neither; writes up to three points and returns how many.
    static int blockPoints(const Trace &trace, double key, double value, QCPGraphData *out);
    void rebuildDerived(Trace &trace);  // extremes and coarse points anew from every kept point
    void chooseDetail();                // coarse where the view holds many samples per pixel
    int axisIndexOf(const QCPAxis *axis) const;
    Axis &axisAt(int index) { return m_axes.at(static_cast<size_t>(index)); }
    const Axis &axisAt(int index) const { return m_axes.at(static_cast<size_t>(index)); }
    const Trace &traceAt(int index) const { return m_traces.at(static_cast<size_t>(index)); }
    QCPGraph *graphAt(int index) const { return traceAt(index).graph; }
    void setTimeRange(double lower, double upper); // our own change, not the operator's

    QCustomPlot *m_plot;                // the drawing widget
    TimeAxisTicker *m_timeTicker;       // the time axis's labeller, owned by the axis
    std::unique_ptr<TraceReadout> m_readout; // cursor line and value box
    SampleClock m_clock = wallClock();  // times the samples; places the view of an empty graph
    int m_traceChanges = 0;             // traces added and removed so far
    int m_lastTraceId = 0;              // the id of the trace added last
    std::vector<Axis> m_axes;           // value axes in order
    std::vector<Trace> m_traces;        // traces in order
    double m_newest = 0;                // time axis coordinate of the newest sample, 0 before any
    int m_historyLimit = DefaultHistoryLimit; // points kept per trace
    int m_trimmed = 0;                  // points dropped since the containers were last compacted
    bool m_following = true;            // time axis tracks the newest samples
    bool m_settingRange = false;        // our own time range change, not the operator's
};
