#include "tracesampler.h"

#include "hverror.h"
#include "msgbox.h"
#include "cratevalue.h"

#include <QTimer>
#include <QWidget>

TraceSampler::TraceSampler(HVPowerSupply &h, QWidget *window, const std::function<void()> &tick)
    : m_h(h)
    , m_window(window)
    , m_timer(new QTimer(window))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    QObject::connect(m_timer, &QTimer::timeout, window, tick);
    m_timer->start();
}

std::optional<QVector<double>> TraceSampler::read(const QVector<TraceSource> &sources)
{
    if (m_failed)
        return std::nullopt;
    QVector<double> values;
    values.reserve(sources.size());
    try {
        for (const TraceSource &s : sources)
            values << readScaled(m_h, s.slot, s.par, s.channel);
    } catch (const HVError &) {
        fail();
        return std::nullopt;
    }
    return values;
}

void TraceSampler::fail()
{
    if (m_failed)
        return;
    m_failed = true;
    m_timer->stop();
    MsgBox::show(m_window, QStringLiteral("Attention"), QStringLiteral("Board removed"), QMessageBox::Critical);
    m_window->close();
}
