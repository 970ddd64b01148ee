// Cost of one refresh tick of a full Q310 panel (14 channels, 394 crate calls),
// in process (SimAdapter) and over loopback (NetClient to the simulator server,
// where the tick is one plan, one exchange), against the same 394 calls made
// one by one straight on the access interface.
// Prints microseconds per tick, the ratio tick / calls alone and the panel's own share.
// Also shows that a tick in which nothing changed repaints nothing.
#include "frmq310.h"
#include "netclient.h"
#include "readplan.h"
#include "simadapter.h"
#include "simcrate.h"
#include "simserver.h"
#include "windowtag.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdio>

namespace {

constexpr qint16 Slot = 0; // the default crate's Q310

// The reads of one full tick, in the tick's order, without any widget.
std::shared_ptr<ReadPlan> tickReads(int channels)
{
    auto plan = std::make_shared<ReadPlan>();
    const int map = plan->querySlots(PlanStep::ChannelCounts | PlanStep::SlotModels);
    plan->onlyIfOccupied(map, Slot);
    plan->paramValue(Slot, QStringLiteral("Temp"), std::nullopt);
    static const QStringList setpoints{"V0Set", "I0Set", "V1Set", "I1Set", "SVMax"};
    static const QStringList plain{"Trip", "TripInt", "TripExt", "POn", "PDwn"};
    static const QStringList scaled{"VMon", "IMon", "HVMax"};
    for (qint16 ch = 0; ch < channels; ++ch) {
        plan->onlyIfChannel(map, Slot, ch);
        plan->channelName(Slot, ch);
        plan->paramValue(Slot, QStringLiteral("Pw"), ch);
        for (const QString &p : setpoints) {
            plan->paramAttribute(Slot, p, QStringLiteral("Exp"), ch);
            plan->paramValue(Slot, p, ch);
        }
        for (const QString &p : plain)
            plan->paramValue(Slot, p, ch);
        for (const QString &p : scaled) {
            plan->paramAttribute(Slot, p, QStringLiteral("Exp"), ch);
            plan->paramValue(Slot, p, ch);
        }
        for (int i = 0; i < 3; ++i)
            plan->paramValue(Slot, QStringLiteral("Status"), ch);
        plan->paramValue(Slot, QStringLiteral("RUp"), ch);
        plan->paramValue(Slot, QStringLiteral("RDWn"), ch);
    }
    return plan;
}

// The tick's reads made one call at a time, each waited for, as before plans.
void tickCalls(HVPowerSupply &h)
{
    PlanRunner::run(h, tickReads(frmQ310::Channels)->steps(), {});
}

// The same reads as one plan, waited for: what the crate and the link cost a
// tick, apart from the panel.
void tickPlan(HVPowerSupply &h)
{
    const std::shared_ptr<ReadPlan> plan = tickReads(frmQ310::Channels);
    bool over = false;
    plan->onDone([&over] { over = true; });
    plan->onFailed([&over](const HVError &) { over = true; });
    h.runPlan(plan);
    while (!over)
        QApplication::processEvents(QEventLoop::AllEvents);
}

// Counts paint events delivered to any widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType())
            ++paints;
        return false;
    }
};

// One tick with its answers applied: over the network they come through the event loop.
void tickNow(frmQ310 &panel)
{
    panel.ChMonTick();
    while (panel.tickInFlight())
        QApplication::processEvents(QEventLoop::AllEvents);
}

template <typename F>
double microsPer(int rounds, F &&f)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        f();
    return double(t.nsecsElapsed()) / 1000.0 / rounds;
}

void run(const char *label, HVPowerSupply &h, std::atomic<qint64> &clockMs, int rounds)
{
    frmQ310 panel(h);
    setWindowTag(&panel, QStringLiteral("Mon0"));
    panel.show();
    panel.findChild<QTimer *>(QStringLiteral("ChMon"))->stop();
    tickNow(panel);
    QApplication::processEvents();

    const int calls = tickReads(frmQ310::Channels)->size();
    const double direct = microsPer(rounds, [&] { tickCalls(h); });
    const double planned = microsPer(rounds, [&] { tickPlan(h); });

    // Values moving as in operation: the crate's clock advances a second per tick.
    const double tickOnly = microsPer(rounds, [&] {
        clockMs += 1000;
        tickNow(panel);
    });
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    const double tickAndPaint = microsPer(rounds, [&] {
        clockMs += 1000;
        tickNow(panel);
        QApplication::processEvents();
    });
    const int paintsMoving = counter.paints;

    // Nothing changes: the clock stands still (and no text cursor blinks).
    if (QWidget *f = panel.focusWidget())
        f->clearFocus();
    QApplication::processEvents();
    counter.paints = 0;
    const double unchanged = microsPer(rounds, [&] {
        tickNow(panel);
        QApplication::processEvents();
    });
    const int paintsStill = counter.paints;
    qApp->removeEventFilter(&counter);

    std::printf("%s (%d calls per tick, %d rounds)\n", label, calls, rounds);
    std::printf("  calls one by one, no widgets   %10.1f us\n", direct);
    std::printf("  the same reads as one plan     %10.1f us   ratio to one by one %.3f\n", planned, planned / direct);
    std::printf("  tick                           %10.1f us   ratio to the plan alone %.3f\n", tickOnly, tickOnly / planned);
    std::printf("  tick + repaint                 %10.1f us   ratio to the plan alone %.3f   panel's own share %.1f %%\n",
                tickAndPaint, tickAndPaint / planned, 100.0 * (tickAndPaint - planned) / tickAndPaint);
    std::printf("  paint events per changing tick %10.1f\n", double(paintsMoving) / rounds);
    std::printf("  unchanged tick + event loop    %10.1f us   ratio to the plan alone %.3f   paint events %d\n",
                unchanged, unchanged / planned, paintsStill);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    {
        std::atomic<qint64> clockMs{10000};
        SimCrate crate([&] { return clockMs.load(); });
        SimAdapter adapter(crate);
        run("In process (SimAdapter)", adapter, clockMs, 300);
    }
    {
        std::atomic<qint64> clockMs{10000};
        SimServerThread server(std::make_unique<SimCrate>([&] { return clockMs.load(); }));
        NetClient client(server.port());
        client.Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
        run("Loopback (NetClient)", client, clockMs, 40);
        client.Logout();
    }
    std::printf("Goal: the panel's own share of a tick over loopback under 25 %%; over loopback one plan costs\n"
                "less than the same calls one by one.\n");
    return 0;
}
