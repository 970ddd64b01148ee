// The shift log under a busy shift of 10,000 events: the GUI thread's time per
// event logged (goal under 50 us), with the Events window closed and open on
// this shift; the file's size for that shift; and the time the Events window
// takes to show a day of 10,000 events read back from the file (goal under
// 300 ms), from the click to the rows laid out.
//
//   bench_shiftlog [events, default 10000]
// Not a test: it only prints. The file goes to a temporary folder.
#include "archive.h"
#include "eventlog.h"
#include "eventstable.h"
#include "fakehv.h"
#include "frmevents.h"
#include "main_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

// Main with its shift log in the file.
struct Run
{
    explicit Run(const QString &path) : archive({path, 0})
    {
        archive.add(std::make_unique<EventsTable>());
        archive.start();
        main = std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(new FakeHV), &archive);
        main->enterConnected(16, QStringLiteral("PY-1600"), QStringLiteral("192.0.2.1"));
        main->findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
    }
    ~Run() { main.reset(); }
    Archive archive;
    std::unique_ptr<Main> main;
};

// A busy shift's mix: status changes, writes and their outcomes, values changed elsewhere, alarms.
void logShift(EventLog &log, int events, qint64 fromMs, qint64 stepMs)
{
    for (int i = 0; i < events; ++i) {
        const int slot = i % 16, ch = i % 14;
        const QString name = QStringLiteral("HV-%1-%2").arg(slot).arg(ch);
        EventLog::Entry e;
        e.timeMs = fromMs ? fromMs + i * stepMs : 0;
        e.slot = slot;
        e.channel = ch;
        e.channelName = name;
        switch (i % 4) {
        case 0:
            e.kind = EventLog::Kind::Status;
            e.parameter = QStringLiteral("Status");
            e.oldValue = QStringLiteral("Good");
            e.newValue = QStringLiteral("Up");
            e.detail = QStringLiteral("Good \u2192 Up");
            log.add(e);
            break;
        case 1:
            e.kind = EventLog::Kind::Write;
            e.parameter = QStringLiteral("V0Set");
            e.oldValue = QStringLiteral("1.5 kV");
            e.newValue = QStringLiteral("1.75 kV");
            e.outcome = EventLog::Outcome::Pending;
            log.writeOutcome(log.add(e), EventLog::Outcome::Written);
            break;
        case 2:
            e.kind = EventLog::Kind::ChangedElsewhere;
            e.parameter = QStringLiteral("I0Set");
            e.oldValue = QStringLiteral("100 uA");
            e.newValue = QStringLiteral("120 uA");
            e.detail = QStringLiteral("I0Set changed elsewhere: 100 uA \u2192 120 uA");
            log.add(e);
            break;
        default:
            e.kind = EventLog::Kind::Alarm;
            e.parameter = QStringLiteral("Status");
            e.oldValue = QStringLiteral("Good");
            e.newValue = QStringLiteral("I-Tripped");
            e.detail = QStringLiteral("Alarm: Trip (I-Tripped)");
            log.add(e);
        }
    }
}

qint64 fileBytes(const QString &path)
{
    qint64 n = 0;
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        n += QFileInfo(path + suffix).size();
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int events = argc > 1 ? std::max(100, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    QTemporaryDir dir;
    std::printf("bench_shiftlog: a busy shift of %d events\n", events);

    // The GUI thread's time per event, the window closed and open.
    const QString live = dir.filePath("live.sqlite");
    {
        Run run(live);
        for (bool windowOpen : {false, true}) {
            if (windowOpen)
                run.main->mEventsClick();
            QElapsedTimer t;
            t.start();
            logShift(run.main->eventLog(), events / 2, 0, 0);
            QApplication::processEvents(); // the window's share: its rows drawn
            const double us = double(t.nsecsElapsed()) / 1e3 / (events / 2);
            std::printf("  GUI thread per event logged, Events window %s: %.1f us (goal under 50 us, ratio %.2f)\n",
                        windowOpen ? "open  " : "closed", us, us / 50);
        }
        if (!run.archive.writeNow(30000))
            std::printf("  (not written: %s)\n", qPrintable(run.archive.trouble()));
    }
    std::printf("  file after the shift: %.2f MB for %d events (%.0f bytes an event)\n", fileBytes(live) / 1e6, events,
                double(fileBytes(live)) / events);

    // A day of events read back from the file: yesterday, spread over the day.
    const QString day = dir.filePath("day.sqlite");
    const qint64 yesterday = QDate::currentDate().addDays(-1).startOfDay().toMSecsSinceEpoch();
    {
        Run run(day);
        logShift(run.main->eventLog(), events, yesterday + 1000, (24 * 3600 * 1000LL - 2000) / events);
    }
    Run run(day);
    run.main->mEventsClick();
    frmEvents *window = run.main->eventsWindow();
    window->resize(1200, 700);
    if (!QTest::qWaitFor([window] { return !window->isLoading(); }, 10000))
        std::printf("  (this shift was not read)\n");
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    window->showPeriod(2); // yesterday
    QTimer guard;
    guard.start(20);
    while (window->isLoading() && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    window->repaint(); // the rows laid out and drawn
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("  Events window showing a day of %d events from the file: %.0f ms (goal under 300 ms, ratio %.2f)\n",
                int(window->listed()->rowCount()), ms, ms / 300);
    return 0;
}
