#pragma once

#include "graphexport.h"
#include "hvplots.h"
#include "plotdrag.h"
#include "sampleclock.h"
#include "tracesampler.h"

#include <QMainWindow>
#include <QVariantMap>
#include <optional>

class EventLog;
class HVPowerSupply;
class QCheckBox;
class QLabel;
class QMimeData;
class QTreeWidget;
class TraceGraph;

// A graph window: channel parameters dropped from the plot picker, sampled
// once a second against clock time, one value axis per unit captioned with the
// unit, a coloured legend list; Delete in the legend removes a trace. A new
// trace starts at its drop; the others keep their history. The "Plots" menu and
// the plot's context menu save the graph as an image or its data as CSV. Each
// window is independent and owns its traces.
//
// The trace list, the graph's traces and the legend rows always have the same
// order and length.
class frmGraph : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int MaxTraces = 12;
    static constexpr int MinOuterHeight = 348;

    explicit frmGraph(HVPowerSupply &h, QWidget *parent = nullptr);
    ~frmGraph() override;

    // True when a drag from `source` may be dropped here: it comes from the
    // picker's tree and the window has room for a trace.
    bool canAccept(const QObject *source) const;
    // Adds the dragged parameter as a trace once its unit and channel name are
    // read (one plan: in process before returning), and samples it at once.
    // False when the drop is refused; a crate that cannot be read is told of
    // when its answer comes, and nothing changes.
    bool acceptDrop(const QObject *source, const QMimeData *data);

    // One sampling step: reads every trace's value and appends them in one go,
    // at the time the sampling clock tells when the step begins.
    void tick();
    void setClock(const SampleClock &clock);
    // Where the window notes that it closed for the crate's sake; none by default.
    void setEventLog(EventLog *log) { m_sampler.setEventLog(log); }
    // Where samples are kept and a new trace's history comes from; none by default.
    void setTrends(TrendTable *trends)
    {
        m_sampler.setTrends(trends);
        m_export->setTrends(trends);
    }
    // Adds a parameter as a drop does (its unit and name read first), without the picker.
    void addParameter(const PlotDrag::Parameter &p);

    // What a workspace keeps of the window: its traces ("slot/channel/parameter"),
    // the autoscale switch, each value axis's range and the view. Restoring adds
    // the traces (each with its archived history), then puts axes and view back.
    QVariantMap state() const;
    void restoreState(const QVariantMap &state);
    // A channel as the legend, the readout and exported columns name it: "5: CH05", or "5" unnamed.
    static QString channelText(int channel, const QString &name);
    // Removes the trace of the selected legend row, and an axis left without trace.
    void deleteSelectedTrace();

    const HVPlots &plots() const { return m_plots; }
    TraceGraph *graph() const { return m_graph; }
    GraphExport &exporter() { return *m_export; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int axisForUnit(const QString &format, const QString &unit);
    void addLegendRow(const HVPlot &plot, const QString &channelName);
    void addTrace(const PlotDrag::Parameter &p, const QString &unit, const QString &channelName);
    void layoutGraph();
    static QString traceLabel(const HVPlot &plot, const QString &channelName);
    void renameChannel(int slot, int channel, const QString &name); // legend and labels follow
    void applyView(const QVariantMap &state); // axes and view of a restored window

    HVPowerSupply &m_h;             // the crate, Main's one instance
    HVPlots m_plots;                // the traces
    QLabel *m_label;                // Label1, "Legenda"
    QTreeWidget *m_legend;          // ListView1
    QCheckBox *m_autoscale;         // chkAutoscale
    TraceGraph *m_graph;            // Grafico
    TraceSampler m_sampler;         // Timer1, the sample clock and the board-removed path
    int m_legendWidth = 0;          // the legend's column, at the font's scale
    int m_dropsPending = 0;         // drops whose unit and name are still being read
    std::unique_ptr<GraphExport> m_export; // the save actions
    std::optional<QVariantMap> m_pendingView; // a restored view, put back once its traces are in
};
