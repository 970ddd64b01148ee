#pragma once

#include "graphexport.h"
#include "sampleclock.h"
#include "tracesampler.h"

#include <QVariantMap>
#include <QWidget>
#include <array>
#include <memory>

class EventLog;
class HVPowerSupply;
class QCheckBox;
class TraceGraph;

// The board graph of a Q310: "VMon" or "IMon" of the seven channels of one
// macro channel, one trace per channel on one value axis, each switched by a
// check box in its colour, against clock time. The plot's context menu saves
// the graph as an image or its data as CSV; so does the window's menu bar,
// with the view keys. The window's tag
// "Graph#<slot>#<macro>#<par>" is where it reads its slot, macro channel and
// parameter from.
class frmQ310Graph : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Channels = 7;

    // Opens the board graph for the slot, macro channel and parameter, or
    // brings forward the one already open; returns it.
    static frmQ310Graph *open(HVPowerSupply &h, qint16 slot, qint16 macroChannel, const QString &parName,
                              EventLog *log = nullptr, TrendTable *trends = nullptr);
    static QString tagFor(qint16 slot, qint16 macroChannel, const QString &parName);
    static QString captionFor(qint16 slot, qint16 macroChannel, const QString &parName);

    explicit frmQ310Graph(HVPowerSupply &h, QWidget *parent = nullptr);
    ~frmQ310Graph() override;

    // What becoming the active window does: reads the state from the tag and
    // sets up the value axis with the parameter's unit.
    void activate();
    // One sampling step of the shown channels.
    void tick();
    void setClock(const SampleClock &clock);
    // Where the window notes that it closed for the crate's sake; none by default.
    void setEventLog(EventLog *log) { m_sampler.setEventLog(log); }
    // Where samples are kept and the traces' history comes from; none by default.
    void setTrends(TrendTable *trends)
    {
        m_sampler.setTrends(trends);
        m_export->setTrends(trends);
    }
    // What a workspace keeps of the window (the channels shown, the autoscale
    // switch and the view), and putting it back.
    QVariantMap state() const;
    void restoreState(const QVariantMap &state);
    // Shows channel i's trace, starting now and leaving the others' history, or hides it.
    void setChannelShown(int i, bool shown);

    TraceGraph *graph() const { return m_graph; }
    GraphExport &exporter() { return *m_export; }
    qint16 slot() const { return m_slot; }
    qint16 macroChannel() const { return m_macroChannel; }
    QString parName() const { return m_parName; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readTag();
    void labelTrace(int index); // readout and export names of a trace, from the tag and unit

    HVPowerSupply &m_h;                             // the crate, Main's one instance
    std::array<QCheckBox *, Channels> m_chkCh{};    // chkCh_0..6
    QCheckBox *m_autoScale;                         // chkAutoScale
    QWidget *m_content;                             // the drawn layout, under the menu bar
    TraceGraph *m_graph;                            // Grafico
    TraceSampler m_sampler;                         // Timer1, the sample clock and the board-removed path
    std::unique_ptr<GraphExport> m_export;          // the save actions of the context menu
    qint16 m_slot = 0;                              // from the tag
    qint16 m_macroChannel = 0;                      // from the tag
    QString m_parName;                              // from the tag
    QString m_unit;                                 // of the parameter, read on activation
    int m_graphLeft = 0;                            // the check boxes' column, at the font's scale
    bool m_tagRead = false;                         // the state above has been read
};
