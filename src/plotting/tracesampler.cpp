#include "tracesampler.h"

#include "eventlog.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "linkfailure.h"
#include "msgbox.h"
#include "cratevalue.h"
#include "readplan.h"
#include "staleshade.h"
#include "tickphase.h"
#include "tracegraph.h"

#include <QPointer>
#include <algorithm>
#include <QTimer>
#include <QWidget>

TraceSampler::TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick)
    : m_h(h)
    , m_window(window)
    , m_timer(new QTimer(window))
    , m_tick(tick)
    , m_shade(new StaleShade(window))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    QObject::connect(m_timer, &QTimer::timeout, window, tick);
    startSpread(m_timer, 1000);
    QObject::connect(&h.session(), &CrateSession::wentDown, window,
                     [this](const QString &, bool deliberate) { wentDown(deliberate); });
    QObject::connect(&h.session(), &CrateSession::wentUp, window, [this](const QString &a) { wentUp(a); });
    // Another window's answer shows a traced slot empty: the board is gone, whoever read it first.
    QObject::connect(&h.session(), &CrateSession::modelsChanged, window, [this](const QVariantList &models) {
        for (const qint16 slot : std::as_const(m_slots))
            if (slot < models.size() && models.value(slot).toString().isEmpty()) {
                QMetaObject::invokeMethod(m_window, [this] { fail(HVError(QStringLiteral("Board removed"))); },
                                          Qt::QueuedConnection);
                return;
            }
    });
}

void TraceSampler::wentDown(bool deliberate)
{
    if (!deliberate || m_failed)
        return; // a lost link shows at the next sample, which fails on it
    m_offline = true;
    m_address = m_h.session().address();
    m_shade->cover(QObject::tr("Not connected: sampling resumes at the next Connect to %1.").arg(m_address), false);
}

void TraceSampler::wentUp(const QString &address)
{
    if (!m_offline || m_failed)
        return;
    if (address != m_address) {
        m_failed = true;
        m_timer->stop();
        if (m_log)
            m_log->windowClosed(-1, QObject::tr("%1 closed: connected to another crate (%2)")
                                        .arg(m_window->windowTitle(), address));
        m_window->close();
        return;
    }
    m_offline = false;
    m_shade->lift();
    m_tick(); // at once, not at the next second
}

void TraceSampler::sample(const QVector<TraceSource> &sources, TraceGraph &graph)
{
    if (m_inFlight)
        m_again = true; // the traces changed meanwhile: sample them as soon as this one is in
    if (m_failed || m_inFlight || m_offline)
        return;
    m_slots.clear();
    for (const TraceSource &s : sources)
        if (!m_slots.contains(s.slot))
            m_slots.append(s.slot);
    // The sample is timed when it is asked for, not when the answers come.
    const qint64 at = graph.now();
    const int traces = graph.traceChanges();
    auto plan = std::make_shared<ReadPlan>(m_window);
    auto values = std::make_shared<QVector<double>>(sources.size());
    for (int k = 0; k < sources.size(); ++k) {
        const TraceSource &s = sources[k];
        planScaled(*plan, s.slot, s.par, s.channel, [values, k](double v) { (*values)[k] = v; });
    }
    plan->onDone([this, values, at, traces, &graph] {
        m_inFlight = false;
        if (graph.traceChanges() == traces) {
            graph.appendPoints(*values, at);
            // Handed over only: the archive's worker encodes and writes them.
            if (m_trends)
                for (int k = 0; k < graph.traceCount() && k < values->size(); ++k)
                    m_trends->record(graph.traceKey(k), at, (*values)[k]);
        }
        if (std::exchange(m_again, false))
            m_tick();
    });
    plan->onFailed([this](const HVError &e) {
        m_inFlight = false;
        fail(e);
    });
    m_inFlight = true;
    m_h.runPlan(plan);
}

void TraceSampler::fail(const HVError &error)
{
    // Answers cut off by a deliberate Disconnect are no failure of the crate's.
    if (m_failed || m_offline)
        return;
    m_failed = true;
    m_timer->stop();
    const QPointer<QWidget> window(m_window);
    if (error.isLinkFailure())
        tellLinkFailure(m_window, m_h, error, WindowsClosed);
    else
        MsgBox::tell(m_window, QStringLiteral("Attention"), QStringLiteral("Board removed"), QMessageBox::Critical);
    if (window)
        window->close();
}

TrendKey TraceSampler::keyFor(const TraceSource &source) const
{
    return {m_h.session().address(), source.slot, source.channel, source.par};
}

void TraceSampler::loadHistory(TraceGraph &graph, int index)
{
    if (!m_trends || index < 0 || index >= graph.traceCount())
        return;
    const qint64 now = graph.now();
    const qint64 from = std::min(graph.viewStart(), now - qint64(graph.historyLimit()) * 1000);
    const int id = graph.traceId(index);
    QPointer<TraceGraph> target(&graph);
    m_trends->history(graph.traceKey(index), from, now + 1, graph.historyLimit(), &graph,
                      [target, id](const TrendSeries &samples, const QString &) {
                          // What could not be read from the file still comes from memory; the trace goes on without the rest.
                          if (target)
                              target->insertHistory(target->traceIndexOfId(id), samples.times, samples.values);
                      });
}
