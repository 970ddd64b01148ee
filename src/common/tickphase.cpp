#include "tickphase.h"

#include <QElapsedTimer>
#include <QTimer>

void startSpread(QTimer *timer, int periodMs)
{
    // Only a counter: how many timers were spread, which gives the next one's moment in the period.
    static unsigned started = 0;
    const qint64 moment = (qint64(started++) * 618) % periodMs;
    timer->setTimerType(Qt::PreciseTimer);
    // At once, then at its moment of the period on the monotonic clock, then every period;
    // setInterval restarts it only while it runs. The moments are the clock's, not counted from
    // each window's opening, so windows opened at any times still tick at moments of their own.
    QObject::connect(
        timer, &QTimer::timeout, timer,
        [timer, periodMs, moment] {
            QElapsedTimer clock;
            clock.start();
            const int phase = int((moment - clock.msecsSinceReference() % periodMs + periodMs) % periodMs);
            timer->setInterval(phase > 0 ? phase : periodMs);
            if (phase > 0)
                QObject::connect(
                    timer, &QTimer::timeout, timer, [timer, periodMs] { timer->setInterval(periodMs); },
                    Qt::SingleShotConnection);
        },
        Qt::SingleShotConnection);
    timer->start(0);
}
