#pragma once

#include <QColor>
#include <QString>
#include <QVector>
#include <QWidget>
#include <vector>

class QCustomPlot;
class QCPAxis;
class QCPGraph;
class SiAxisTicker;

// A strip-chart of sampled traces on a black plot area: an x axis counting
// samples and value axes, each with a display format for its tick labels, a
// name, an optional caption and an autoscale switch. Traces are appended at the
// end, removed by position and bound to one value axis; one call appends a
// point to every trace at the same new x.
//
// History: each trace keeps at most historyLimit() points (one day at one
// point per second by default); older points are dropped. While following
// (the default), the x axis spans 0 to 60 and then widens to the whole kept
// history. Dragging or wheeling over the plot pans and zooms the x axis and
// stops following; a double-click returns to following the newest samples.
class TraceGraph : public QWidget
{
    Q_OBJECT
public:
    static constexpr int DefaultHistoryLimit = 24 * 60 * 60;

    explicit TraceGraph(QWidget *parent = nullptr);
    ~TraceGraph() override;

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
    double axisLower(int index) const;
    double axisUpper(int index) const;
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

    // Data.
    void clearData(); // every trace starts again at x = 0
    void appendPoints(const QVector<double> &values); // value k goes to trace k
    QVector<double> traceValues(int index) const;     // kept points, oldest first
    QVector<double> traceKeys(int index) const;       // their x
    int historyLimit() const { return m_historyLimit; }
    void setHistoryLimit(int points);

    // View.
    double xLower() const;
    double xUpper() const;
    bool isFollowing() const { return m_following; }
    void followNewest();
    void replotNow(); // draws at once (benchmarks, screenshots)

private:
    struct Axis
    {
        QCPAxis *axis;                  // the plot's axis
        SiAxisTicker *ticker;           // its tick labeller, owned by the axis
        QString name;                   // identifier, not shown
        bool autoscale;                 // follows its traces' values
    };
    struct Trace
    {
        QCPGraph *graph;                // the plot's graph
        QString name;                   // what ties the trace to its owner's data
    };

    void styleAxis(QCPAxis *axis, bool withGrid) const;
    void updateView();                  // x range while following, autoscaled value axes
    void rescaleValueAxis(const Axis &axis);
    int axisIndexOf(const QCPAxis *axis) const;
    Axis &axisAt(int index) { return m_axes.at(static_cast<size_t>(index)); }
    const Axis &axisAt(int index) const { return m_axes.at(static_cast<size_t>(index)); }
    QCPGraph *graphAt(int index) const { return m_traces.at(static_cast<size_t>(index)).graph; }

    QCustomPlot *m_plot;                // the drawing widget
    std::vector<Axis> m_axes;           // value axes in order
    std::vector<Trace> m_traces;        // traces in order
    qint64 m_nextX = 0;                 // x of the next sample
    int m_historyLimit = DefaultHistoryLimit; // points kept per trace
    int m_trimmed = 0;                  // points dropped since the containers were last compacted
    bool m_following = true;            // x axis tracks the newest samples
    bool m_settingRange = false;        // our own x range change, not the operator's
};
