#include "tracesampler.h"

#include "hverror.h"
#include "hvpowersupply.h"
#include "linkfailure.h"
#include "msgbox.h"
#include "cratevalue.h"
#include "readplan.h"
#include "tickphase.h"
#include "tracegraph.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

TraceSampler::TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick)
    : m_h(h)
    , m_window(window)
    , m_timer(new QTimer(window))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    QObject::connect(m_timer, &QTimer::timeout, window, tick);
    startSpread(m_timer, 1000);
}

void TraceSampler::sample(const QVector<TraceSource> &sources, TraceGraph &graph)
{
    if (m_failed || m_inFlight)
        return;
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
        if (graph.traceChanges() == traces)
            graph.appendPoints(*values, at);
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
    if (m_failed)
        return;
    m_failed = true;
    m_timer->stop();
    const QPointer<QWidget> window(m_window);
    if (error.isLinkFailure())
        tellLinkFailure(m_window, m_h, error, WindowsClosed);
    else
        MsgBox::show(m_window, QStringLiteral("Attention"), QStringLiteral("Board removed"), QMessageBox::Critical);
    if (window)
        window->close();
}
