#include "frmq310graph.h"

#include "contrast.h"
#include "fontscale.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "lib.h"
#include "readplan.h"
#include "tracegraph.h"
#include "windowkeys.h"
#include "windowtag.h"

#include <QCheckBox>
#include <QEvent>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {
const char *const Labels[frmQ310Graph::Channels] = {"VDD", "VDDA", "VCCA", "VVDC", "VISET", "VPIN", "VDET"};
constexpr int CheckWidth = 61;
constexpr int GraphLeft = 68;
constexpr int GraphTop = 4;
constexpr int RightMargin = 3;
constexpr int BottomMargin = 4;

} // namespace

QString frmQ310Graph::tagFor(qint16 slot, qint16 macroChannel, const QString &parName)
{
    return QStringLiteral("Graph#%1#%2#%3").arg(slot).arg(macroChannel).arg(parName);
}

QString frmQ310Graph::captionFor(qint16 slot, qint16 macroChannel, const QString &parName)
{
    return QStringLiteral("Q310 - %1 - Macro Channel %2 - Slot %3").arg(parName).arg(macroChannel).arg(slot);
}

frmQ310Graph *frmQ310Graph::open(HVPowerSupply &h, qint16 slot, qint16 macroChannel, const QString &parName,
                                 EventLog *log, TrendTable *trends)
{
    const QString tag = tagFor(slot, macroChannel, parName);
    if (auto *existing = qobject_cast<frmQ310Graph *>(findWindowByTag(tag))) {
        raiseWindowByTag(tag);
        return existing;
    }
    auto *window = new frmQ310Graph(h);
    window->setEventLog(log);
    window->setTrends(trends);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(captionFor(slot, macroChannel, parName));
    setWindowTag(window, tag);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

frmQ310Graph::frmQ310Graph(HVPowerSupply &h, QWidget *parent)
    : QWidget(parent)
    , m_h(h)
    , m_sampler(h, this, [this] { tick(); })
{
    setObjectName(QStringLiteral("frmQ310Graph"));
    setWindowTitle(QStringLiteral("Graph"));

    // A menu bar over the drawn layout: the saves and the view keys, as the graph window has them.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QMenuBar(this);
    layout->setMenuBar(bar);
    m_content = new QWidget(this);
    layout->addWidget(m_content);
    m_content->installEventFilter(this);
    // Drawn for 9 pt; a larger desktop font grows the layout with it, as the panels do.
    const double scale = FontScale::of(font());
    const auto sc = [scale](int pixels) { return FontScale::scaled(pixels, scale); };
    m_graphLeft = sc(GraphLeft);

    m_graph = new TraceGraph(m_content);
    m_graph->setObjectName(QStringLiteral("Grafico"));
    m_graph->setGeometry(m_graphLeft, GraphTop, sc(525), sc(325));
    m_graph->setAxisAutoscale(0, true);
    m_export = std::make_unique<GraphExport>(m_graph, this);
    QMenu *graphMenu = bar->addMenu(QStringLiteral("&Graph"));
    graphMenu->setObjectName(QStringLiteral("mGraph"));
    m_export->addSaveActions(graphMenu);
    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mView"));
    view->addActions(m_export->viewActions());

    for (int i = 0; i < Channels; ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(Labels[i]), m_content);
        box->setObjectName(QStringLiteral("chkCh_%1").arg(i));
        QFont bold = box->font();
        bold.setBold(true);
        box->setFont(bold);
        // Its label whole, within the column left of the graph.
        box->setGeometry(4, sc(12 + 24 * i), std::clamp(box->sizeHint().width(), sc(CheckWidth), m_graphLeft - 4), sc(17));
        const QColor color = Lib::toQColor(Lib::paletteColor(i));
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, color);
        pal.setColor(QPalette::WindowText, Contrast::textOn(color));
        box->setPalette(pal);
        box->setBackgroundRole(QPalette::Window);
        box->setAutoFillBackground(true);
        box->setChecked(true);
        connect(box, &QCheckBox::clicked, this, [this, i](bool on) { setChannelShown(i, on); });
        m_chkCh[static_cast<size_t>(i)] = box;
        m_graph->addTrace(QString::number(i), 0, color);
    }

    m_autoScale = new QCheckBox(QStringLiteral("Auto Scale"), m_content);
    m_autoScale->setObjectName(QStringLiteral("chkAutoScale"));
    // The caption must fit in the column left of the graph, whatever the font.
    const int room = m_graphLeft - 4 - 2;
    QFont small = m_autoScale->font();
    while (m_autoScale->sizeHint().width() > room && small.pointSizeF() > 6) {
        small.setPointSizeF(small.pointSizeF() - 0.5);
        m_autoScale->setFont(small);
    }
    m_autoScale->setGeometry(4, sc(188), std::max(sc(57), std::min(room, m_autoScale->sizeHint().width())), sc(25));
    m_autoScale->setChecked(true);
    connect(m_autoScale, &QCheckBox::clicked, this, [this](bool on) { m_graph->setAxisAutoscale(0, on); });
    addCloseKeys(this);

    resize(sc(596), sc(333) + bar->sizeHint().height());
}

frmQ310Graph::~frmQ310Graph() = default;

void frmQ310Graph::readTag()
{
    const QStringList fields = windowTag(this).split(QLatin1Char('#'));
    m_slot = static_cast<qint16>(fields.value(1).toInt());
    m_macroChannel = static_cast<qint16>(fields.value(2).toInt());
    m_parName = fields.value(3);
    const bool first = !std::exchange(m_tagRead, true);
    for (int k = 0; k < m_graph->traceCount(); ++k) {
        labelTrace(k);
        if (first) // the traces know their keys now: what the archive kept of them comes in front
            m_sampler.loadHistory(*m_graph, k);
    }
}

void frmQ310Graph::activate()
{
    if (m_sampler.failed())
        return;
    readTag();
    auto plan = std::make_shared<ReadPlan>(this);
    // Board channel 0's unit serves all seven traces.
    plan->paramAttribute(m_slot, m_parName, QStringLiteral("Unit"), qint16(0), [this](const QVariant &v) {
        m_unit = v.toString();
        m_graph->setAxisCaption(0, m_unit.isEmpty() ? m_parName : QStringLiteral("%1 (%2)").arg(m_parName, m_unit));
        m_graph->setAxisFormat(0, QStringLiteral(" k\"%1\"").arg(m_unit));
        for (int k = 0; k < m_graph->traceCount(); ++k)
            labelTrace(k); // now with the unit
    });
    plan->onFailed([this](const HVError &e) { m_sampler.fail(e); });
    m_h.runPlan(plan);
}

void frmQ310Graph::setClock(const SampleClock &clock)
{
    m_graph->setClock(clock);
}

void frmQ310Graph::labelTrace(int index)
{
    const int i = m_graph->traceName(index).toInt();
    m_graph->setTraceKey(index, m_sampler.keyFor({m_slot, m_parName, static_cast<qint16>(i + Channels * m_macroChannel)}));
    m_graph->setTraceLabel(index,
                           QStringLiteral("Bd %1 Ch %2 %3 %4")
                               .arg(m_slot)
                               .arg(i + Channels * m_macroChannel)
                               .arg(QString::fromLatin1(Labels[i]), m_parName),
                           m_unit);
}

void frmQ310Graph::setChannelShown(int i, bool shown)
{
    const QString name = QString::number(i);
    const int index = m_graph->traceIndex(name);
    if (shown && index < 0) {
        m_graph->addTrace(name, 0, Lib::toQColor(Lib::paletteColor(i)));
        labelTrace(m_graph->traceCount() - 1);
        if (m_tagRead)
            m_sampler.loadHistory(*m_graph, m_graph->traceCount() - 1);
    } else if (!shown && index >= 0) {
        m_graph->removeTrace(index);
    }
}

void frmQ310Graph::tick()
{
    if (m_graph->traceCount() == 0 || m_sampler.failed())
        return;
    if (!m_tagRead)
        readTag();
    QVector<TraceSource> sources;
    sources.reserve(m_graph->traceCount());
    for (int k = 0; k < m_graph->traceCount(); ++k) {
        const auto ch = static_cast<qint16>(m_graph->traceName(k).toInt() + Channels * m_macroChannel);
        sources.append({m_slot, m_parName, ch});
    }
    m_sampler.sample(sources, *m_graph);
}

bool frmQ310Graph::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        activate();
    return QWidget::event(event);
}

bool frmQ310Graph::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::Resize && !isMinimized()) {
        const int w = m_content->width() - m_graphLeft - RightMargin;
        const int h = m_content->height() - GraphTop - BottomMargin;
        if (w >= 0 && h >= 0)
            m_graph->setGeometry(m_graphLeft, GraphTop, w, h);
    }
    return QWidget::eventFilter(watched, event);
}

QVariantMap frmQ310Graph::state() const
{
    QVariantList shown;
    for (int i = 0; i < Channels; ++i)
        shown << m_chkCh[static_cast<size_t>(i)]->isChecked();
    return {{QStringLiteral("shown"), shown},
            {QStringLiteral("autoscale"), m_autoScale->isChecked()},
            {QStringLiteral("lower"), m_graph->axisLower(0)},
            {QStringLiteral("upper"), m_graph->axisUpper(0)},
            {QStringLiteral("following"), m_graph->isFollowing()},
            {QStringLiteral("from"), m_graph->viewStart()},
            {QStringLiteral("to"), m_graph->viewEnd()}};
}

void frmQ310Graph::restoreState(const QVariantMap &state)
{
    const QVariantList shown = state.value(QStringLiteral("shown")).toList();
    for (int i = 0; i < Channels && i < shown.size(); ++i) {
        m_chkCh[static_cast<size_t>(i)]->setChecked(shown[i].toBool());
        setChannelShown(i, shown[i].toBool());
    }
    const bool autoscale = state.value(QStringLiteral("autoscale"), true).toBool();
    m_autoScale->setChecked(autoscale);
    m_graph->setAxisAutoscale(0, autoscale);
    const double lower = state.value(QStringLiteral("lower")).toDouble(), upper = state.value(QStringLiteral("upper")).toDouble();
    if (!autoscale && upper > lower)
        m_graph->setAxisRange(0, lower, upper);
    const qint64 from = state.value(QStringLiteral("from")).toLongLong(), to = state.value(QStringLiteral("to")).toLongLong();
    if (!state.value(QStringLiteral("following"), true).toBool() && to > from)
        m_graph->showTimeRange(from, to);
}
