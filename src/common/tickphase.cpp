#include "tickphase.h"

#include <QTimer>
#include <QVariant>

void startSpread(QTimer *timer, int periodMs)
{
    // Only a counter: how many timers were spread, which gives the next phase.
    static unsigned started = 0;
    const int phase = int((qint64(started++) * 618) % periodMs);
    timer->setTimerType(Qt::PreciseTimer);
    if (!timer->property("spreadPeriod").isValid()) // a timer started again keeps its one connection
        QObject::connect(timer, &QTimer::timeout, timer, [timer] {
            const int period = timer->property("spreadPeriod").toInt();
            if (timer->interval() != period)
                timer->setInterval(period); // restarts it only while it runs
        });
    timer->setProperty("spreadPeriod", periodMs);
    timer->start(phase);
}
