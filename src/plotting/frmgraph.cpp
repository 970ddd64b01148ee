#include "frmgraph.h"

#include "contrast.h"
#include "fontscale.h"
#include "frmplotadd.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "msgbox.h"
#include "plotdrag.h"
#include "readplan.h"
#include "tracegraph.h"
#include "windowkeys.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QTreeWidget>
#include <algorithm>

namespace {
constexpr int LegendWidth = 173;
constexpr int ClientWidth = 545;
constexpr int ClientHeight = 347;
const QString FirstAxisName = QStringLiteral("AsseY-1");

// A value axis's caption: its unit.
QString unitCaption(const QString &unit)
{
    return unit.isEmpty() ? QStringLiteral("(no unit)") : unit;
}
} // namespace

frmGraph::frmGraph(HVPowerSupply &h, QWidget *parent)
    : QMainWindow(parent)
    , m_h(h)
    , m_sampler(h, this, [this] { tick(); })
{
    setObjectName(QStringLiteral("frmGraph"));
    setWindowTitle(QStringLiteral("Graphical representation"));

    QMenu *plotsMenu = menuBar()->addMenu(QStringLiteral("&Plots"));
    plotsMenu->setObjectName(QStringLiteral("mPlots"));
    QAction *add = plotsMenu->addAction(QStringLiteral("&Add ..."));
    add->setObjectName(QStringLiteral("mPlotAdd"));
    connect(add, &QAction::triggered, this, [this] {
        if (frmPlotAdd *picker = frmPlotAdd::showFor(m_h))
            picker->setTarget(this); // Enter in the picker adds here
    });
    addCloseKeys(this);

    auto *client = new QWidget(this);
    setCentralWidget(client);
    client->installEventFilter(this);
    // Drawn for 9 pt; a larger desktop font grows the layout with it, as the panels do.
    const double scale = FontScale::of(font());
    const auto sc = [scale](int pixels) { return FontScale::scaled(pixels, scale); };
    m_legendWidth = sc(LegendWidth);

    m_label = new QLabel(QStringLiteral("Legenda"), client);
    m_label->setObjectName(QStringLiteral("Label1"));
    QFont bold = m_label->font();
    bold.setBold(true);
    m_label->setFont(bold);
    m_label->setGeometry(sc(4), 0, sc(141), sc(17));

    m_legend = new QTreeWidget(client);
    m_legend->setObjectName(QStringLiteral("ListView1"));
    m_legend->setAccessibleName(QStringLiteral("Legend"));
    m_legend->setGeometry(0, sc(16), m_legendWidth, sc(265));
    m_legend->setColumnCount(3);
    m_legend->setHeaderLabels({QStringLiteral("Param."), QStringLiteral("Channel"), QStringLiteral("Bd")});
    m_legend->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    m_legend->header()->setStretchLastSection(false);
    m_legend->setColumnWidth(0, sc(53));
    m_legend->setColumnWidth(1, sc(87));
    m_legend->setColumnWidth(2, sc(29));
    m_legend->setRootIsDecorated(false);
    m_legend->setUniformRowHeights(true);
    m_legend->setSelectionMode(QAbstractItemView::SingleSelection);
    // Rows are drawn in the trace colours; on black every palette colour shows, as on the plot.
    QPalette legendPalette = m_legend->palette();
    legendPalette.setColor(QPalette::Base, Qt::black);
    m_legend->setPalette(legendPalette);
    m_legend->installEventFilter(this);

    m_autoscale = new QCheckBox(QStringLiteral("Autoscale Y axes"), client);
    m_autoscale->setObjectName(QStringLiteral("chkAutoscale"));
    m_autoscale->setGeometry(sc(4), sc(284), sc(137), sc(17));
    m_autoscale->setChecked(true);
    connect(m_autoscale, &QCheckBox::clicked, this, [this](bool on) {
        for (int i = 0; i < m_graph->valueAxisCount(); ++i)
            m_graph->setAxisAutoscale(i, on);
    });

    m_graph = new TraceGraph(client);
    m_graph->setObjectName(QStringLiteral("Grafico"));
    m_graph->setAcceptDrops(true);
    m_graph->installEventFilter(this);

    m_export = std::make_unique<GraphExport>(m_graph, this);
    plotsMenu->addSeparator();
    m_export->addSaveActions(plotsMenu);
    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mView"));
    view->addActions(m_export->viewActions());

    resize(sc(ClientWidth), sc(ClientHeight) + menuBar()->sizeHint().height());
    layoutGraph();
    connect(&h.session(), &CrateSession::channelNameChanged, this, &frmGraph::renameChannel);
}

frmGraph::~frmGraph() = default;

bool frmGraph::canAccept(const QObject *source) const
{
    return source && source->inherits("QTreeWidget") && source->objectName() == QLatin1String("tvSysTree")
           && m_plots.Count() + m_dropsPending < MaxTraces;
}

bool frmGraph::acceptDrop(const QObject *source, const QMimeData *data)
{
    if (!canAccept(source)) {
        // A drag passing over a full window is refused with the red disc; a parameter
        // added from the keyboard has no cursor to tell it, so it is said.
        if (m_plots.Count() + m_dropsPending >= MaxTraces && PlotDrag::decode(data))
            MsgBox::show(this, QStringLiteral("Attention"),
                         QStringLiteral("The graph already shows %1 traces: remove one before adding another.")
                             .arg(MaxTraces),
                         QMessageBox::Warning);
        return false;
    }
    const std::optional<PlotDrag::Parameter> p = PlotDrag::decode(data);
    if (!p)
        return false;
    addParameter(*p);
    return true;
}

void frmGraph::addParameter(const PlotDrag::Parameter &p)
{
    // Read everything the trace needs before changing anything, so a failing
    // crate leaves list, graph and legend as they were. The reads are one plan:
    // the window goes on meanwhile, and the trace is sampled as soon as it is in.
    const PlotDrag::Parameter dropped = p;
    auto plan = std::make_shared<ReadPlan>(this);
    auto unit = std::make_shared<QString>();
    plan->paramAttribute(dropped.slot, dropped.name, QStringLiteral("Unit"), dropped.channel,
                         [unit](const QVariant &v) { *unit = v.toString(); });
    plan->channelName(dropped.slot, dropped.channel, [this, unit, dropped](const QVariant &name) {
        --m_dropsPending;
        m_h.session().noteChannelName(dropped.slot, dropped.channel, name.toString());
        addTrace(dropped, *unit, name.toString());
        if (m_dropsPending == 0 && m_pendingView)
            applyView(*std::exchange(m_pendingView, std::nullopt));
    });
    plan->onFailed([this, dropped](const HVError &e) {
        if (--m_dropsPending == 0 && m_pendingView) // what could be restored is, in the view kept
            applyView(*std::exchange(m_pendingView, std::nullopt));
        if (e.isLinkFailure()) {
            m_sampler.fail(e); // a dead link is told once for every window, and the window closes
            return;
        }
        MsgBox::show(this, QStringLiteral("Attention"),
                     QStringLiteral("%1 of channel %2 in slot %3 cannot be plotted: the crate did not answer.\n%4")
                         .arg(dropped.name).arg(dropped.channel).arg(dropped.slot).arg(e.message()),
                     QMessageBox::Warning);
    });
    ++m_dropsPending;
    m_h.runPlan(plan);
}

void frmGraph::addTrace(const PlotDrag::Parameter &p, const QString &unit, const QString &channelName)
{
    const Lib::OleColor color = Lib::NextFreeColor(m_plots);
    const QString format = QStringLiteral("k\"%1\"").arg(unit);
    HVPlotRef plot = m_plots.Add(p.name, p.channel, p.slot, format, color);
    const int axis = axisForUnit(format, unit);
    m_graph->addTrace(p.name, axis, Lib::toQColor(color));
    const int index = m_graph->traceCount() - 1;
    m_graph->setTraceKey(index, m_sampler.keyFor({p.slot, p.name, p.channel}));
    m_graph->setTraceLabel(index, traceLabel(*plot, channelName), unit);
    addLegendRow(*plot, channelName);
    tick(); // its first point now, not at the next second
    m_sampler.loadHistory(*m_graph, index); // and what the archive kept before it
}

QString frmGraph::channelText(int channel, const QString &name)
{
    // The number tells apart channels the crate names alike, or not at all.
    return name.isEmpty() ? QString::number(channel) : QStringLiteral("%1: %2").arg(channel).arg(name);
}

QString frmGraph::traceLabel(const HVPlot &plot, const QString &channelName)
{
    return QStringLiteral("Bd %1 Ch %2 %3").arg(plot.Board()).arg(channelText(plot.Channel(), channelName), plot.ParName());
}

void frmGraph::renameChannel(int slot, int channel, const QString &name)
{
    for (int k = 0; k < m_plots.Count() && k < m_legend->topLevelItemCount(); ++k) {
        const HVPlot &plot = *m_plots.Item(k + 1);
        if (plot.Board() != slot || plot.Channel() != channel)
            continue;
        m_legend->topLevelItem(k)->setText(1, channelText(channel, name));
        m_graph->setTraceLabel(k, traceLabel(plot, name), m_graph->traceUnit(k));
    }
}

void frmGraph::setClock(const SampleClock &clock)
{
    m_graph->setClock(clock);
}

int frmGraph::axisForUnit(const QString &format, const QString &unit)
{
    int axis = 0;
    if (m_graph->traceCount() == 0) {
        m_graph->setAxisFormat(0, format);
        m_graph->setAxisName(0, FirstAxisName);
    } else {
        for (int i = 0; i < m_graph->valueAxisCount(); ++i)
            if (m_graph->axisFormat(i) == format)
                return i;
        axis = m_graph->addValueAxis(format);
    }
    m_graph->setAxisAutoscale(axis, m_autoscale->isChecked());
    m_graph->setAxisCaption(axis, unitCaption(unit));
    return axis;
}

void frmGraph::addLegendRow(const HVPlot &plot, const QString &channelName)
{
    auto *row = new QTreeWidgetItem(m_legend, {plot.ParName(), channelText(plot.Channel(), channelName),
                                               QString::number(plot.Board())});
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = row->font(0);
    bold.setBold(true);
    // The trace's colour, lightened where it would not read on the black list (blue).
    const QColor color = Contrast::readableOn(Lib::toQColor(plot.Color()), Qt::black);
    for (int c = 0; c < 3; ++c) {
        row->setFont(c, bold);
        row->setForeground(c, color);
    }
}

void frmGraph::tick()
{
    if (m_plots.Count() < 1)
        return;
    QVector<TraceSource> sources;
    sources.reserve(m_plots.Count());
    for (const HVPlotRef &p : m_plots)
        sources.append({p->Board(), p->ParName(), p->Channel()});
    m_sampler.sample(sources, *m_graph);
}

void frmGraph::deleteSelectedTrace()
{
    QTreeWidgetItem *row = m_legend->currentItem();
    if (m_legend->topLevelItemCount() == 0 || !row || !row->isSelected())
        return;
    const int k = m_legend->indexOfTopLevelItem(row) + 1;
    m_graph->removeTrace(k - 1);
    delete m_legend->takeTopLevelItem(k - 1);
    m_plots.Remove(k);

    // At most one axis can have lost its last trace; the first value axis
    // stays when no trace is left, for the next drop to take over.
    if (m_plots.Count() == 0)
        return;
    for (int i = 0; i < m_graph->valueAxisCount(); ++i) {
        const QString format = m_graph->axisFormat(i);
        const bool used = std::any_of(m_plots.begin(), m_plots.end(),
                                      [&format](const HVPlotRef &p) { return p->ParUnit() == format; });
        if (!used) {
            m_graph->removeValueAxis(i);
            break;
        }
    }
}

bool frmGraph::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_graph && (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
        // Refusing a passing drag leaves the drag cursor on the picker's red disc.
        auto *e = static_cast<QDropEvent *>(event);
        const bool ok = type == QEvent::Drop ? acceptDrop(e->source(), e->mimeData())
                                             : canAccept(e->source()) && PlotDrag::decode(e->mimeData());
        if (ok)
            e->acceptProposedAction();
        else
            e->ignore();
        return true;
    }
    if (watched == m_legend && type == QEvent::KeyRelease) {
        auto *e = static_cast<QKeyEvent *>(event);
        if (e->key() == Qt::Key_Delete && !e->isAutoRepeat()) {
            deleteSelectedTrace();
            return true;
        }
    } else if (watched == centralWidget() && type == QEvent::Resize) {
        layoutGraph();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmGraph::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    const int outer = frameGeometry().height();
    const int least = FontScale::scaled(MinOuterHeight, FontScale::of(font())); // the legend and the switch below it
    if (outer < least)
        resize(width(), height() + least - outer);
}

void frmGraph::layoutGraph()
{
    if (isMinimized())
        return;
    const QWidget *client = centralWidget();
    m_graph->setGeometry(m_legendWidth, 0, std::max(0, client->width() - m_legendWidth), client->height());
}

QVariantMap frmGraph::state() const
{
    QStringList traces;
    for (const HVPlotRef &p : m_plots)
        traces << QStringLiteral("%1/%2/%3").arg(p->Board()).arg(p->Channel()).arg(p->ParName());
    QVariantList ranges;
    for (int i = 0; i < m_graph->valueAxisCount(); ++i)
        ranges << QVariant(QVariantList{m_graph->axisLower(i), m_graph->axisUpper(i)});
    return {{QStringLiteral("traces"), traces},
            {QStringLiteral("autoscale"), m_autoscale->isChecked()},
            {QStringLiteral("ranges"), ranges},
            {QStringLiteral("following"), m_graph->isFollowing()},
            {QStringLiteral("from"), m_graph->viewStart()},
            {QStringLiteral("to"), m_graph->viewEnd()}};
}

void frmGraph::restoreState(const QVariantMap &state)
{
    const QStringList traces = state.value(QStringLiteral("traces")).toStringList();
    m_pendingView = state;
    ++m_dropsPending; // the view waits for every trace, however soon each one's answers come
    for (const QString &t : traces.mid(0, MaxTraces - m_plots.Count())) {
        const QStringList f = t.split(QLatin1Char('/'));
        bool slotOk = false, channelOk = false;
        PlotDrag::Parameter p;
        p.slot = static_cast<qint16>(f.value(0).toInt(&slotOk));
        p.channel = static_cast<qint16>(f.value(1).toInt(&channelOk));
        p.name = f.value(2);
        if (f.size() == 3 && slotOk && channelOk && !p.name.isEmpty()) // a damaged entry is left out
            addParameter(p);
    }
    if (--m_dropsPending == 0 && m_pendingView)
        applyView(*std::exchange(m_pendingView, std::nullopt));
}

void frmGraph::applyView(const QVariantMap &state)
{
    const bool autoscale = state.value(QStringLiteral("autoscale"), true).toBool();
    m_autoscale->setChecked(autoscale);
    const QVariantList ranges = state.value(QStringLiteral("ranges")).toList();
    for (int i = 0; i < m_graph->valueAxisCount(); ++i) {
        m_graph->setAxisAutoscale(i, autoscale);
        const QVariantList r = ranges.value(i).toList();
        if (!autoscale && r.size() == 2)
            m_graph->setAxisRange(i, r[0].toDouble(), r[1].toDouble());
    }
    const qint64 from = state.value(QStringLiteral("from")).toLongLong(), to = state.value(QStringLiteral("to")).toLongLong();
    if (!state.value(QStringLiteral("following"), true).toBool() && to > from)
        m_graph->showTimeRange(from, to);
}
