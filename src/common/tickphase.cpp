#include "tickphase.h"

#include <QTimer>

void startSpread(QTimer *timer, int periodMs)
{
    // Only a counter: how many timers were spread, which gives the next phase.
    static unsigned started = 0;
    const int phase = int((qint64(started++) * 618) % periodMs);
    timer->setTimerType(Qt::PreciseTimer);
    // At once, then at the phase, then every period; setInterval restarts it only while it runs.
    QObject::connect(
        timer, &QTimer::timeout, timer,
        [timer, periodMs, phase] {
            timer->setInterval(phase > 0 ? phase : periodMs);
            if (phase > 0)
                QObject::connect(
                    timer, &QTimer::timeout, timer, [timer, periodMs] { timer->setInterval(periodMs); },
                    Qt::SingleShotConnection);
        },
        Qt::SingleShotConnection);
    timer->start(0);
}
