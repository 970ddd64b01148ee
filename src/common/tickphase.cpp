#include "tickphase.h"

#include <QTimer>

void startSpread(QTimer *timer, int periodMs)
{
    // Only a counter: how many timers were spread, which gives the next phase.
    static unsigned started = 0;
    const int phase = int((qint64(started++) * 618) % periodMs);
    timer->setTimerType(Qt::PreciseTimer);
    // After the first timeout the period is the whole period; setInterval restarts it only while it runs.
    QObject::connect(
        timer, &QTimer::timeout, timer, [timer, periodMs] { timer->setInterval(periodMs); },
        Qt::SingleShotConnection);
    timer->start(phase);
}
