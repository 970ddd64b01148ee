// The main window's poll with the watch over the whole crate, for the default
// crate and for a full crate of sixteen boards: the reads it asks per second
// (against one open Q310 panel's, the budget), how many seconds the sweep of
// names and setpoints takes, and the time from the tick to its answers applied
// over the network client at a given latency, against one bare round trip of a
// single read (goal: the poll is one round trip). Also the whole poll in
// process, which bounds the GUI thread's own work (plan, crate, answers, watch).
//
//   bench_watch [polls per run, default 30] [latency ms ...]   (default 0 10)
// Not a test: it only prints.
#include "boardpanel.h"
#include "countinghv.h"
#include "cratewatch.h"
#include "main_window.h"
#include "msgbox.h"
#include "netclient.h"
#include "simadapter.h"
#include "simcrate.h"
#include "simserver.h"
#include "windowtag.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

std::unique_ptr<SimCrate> makeCrate(bool full)
{
    auto crate = std::make_unique<SimCrate>();
    if (full) // the default crate's empty slots filled: sixteen boards, 209 channels
        for (auto [slot, model] : {std::pair{7, "Q310"}, {9, "Q420"}, {12, "Q510"}, {15, "Q205"}})
            crate->insertBoard(slot, QString::fromLatin1(model));
    return crate;
}

int channelsOf(const SimCrate &crate)
{
    int n = 0;
    for (const QVariant &c : crate.channelCounts())
        n += c.toInt();
    return n;
}

// Waits for the condition without sleeping between looks, as qWaitFor does: the times stay exact.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    QTimer guard; // wakes the loop at least every 50 ms
    guard.start(50);
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Main on the counted access layer, connected, its timer stopped, the boards learned.
struct Rig
{
    Rig(HVPowerSupply *inner, const QString &address) : counted(new CountingHV(std::unique_ptr<HVPowerSupply>(inner)))
    {
        main = std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(counted));
        counted->Login(QStringLiteral("wxqv"), QStringLiteral("wxqv"), 0, address);
        main->enterConnected(16, QStringLiteral("PY-1600"), address);
        main->findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
        for (int i = 0; i < 3; ++i)
            poll();
    }
    double poll() // ms from the tick to its answers applied
    {
        QElapsedTimer t;
        t.start();
        main->Timer1Tick();
        if (!waitUntil([this] { return !main->pollInFlight(); }))
            std::printf("  (a poll got no answer)\n");
        return double(t.nsecsElapsed()) / 1e6;
    }
    // What one Q310 panel asks per tick.
    int panelReads()
    {
        main->bSlotClick(0);
        BoardPanel *panel = nullptr;
        if (!QTest::qWaitFor([&] { return (panel = qobject_cast<BoardPanel *>(findWindowByTag("Mon0"))) != nullptr; }, 5000))
            return 0;
        panel->findChild<QTimer *>(QStringLiteral("ChMon"))->stop();
        const auto settled = [&] { return QTest::qWaitFor([&] { return !panel->tickInFlight(); }, 5000); };
        if (!settled())
            return 0;
        panel->ChMonTick();
        const int reads = counted->lastPlanSize;
        if (settled())
            panel->close();
        return reads;
    }
    CountingHV *counted;        // owned by main
    std::unique_ptr<Main> main; // the window polled
};

void run(bool full, int polls, const std::vector<double> &latencies)
{
    const std::unique_ptr<SimCrate> probe = makeCrate(full);
    const int channels = channelsOf(*probe);
    std::printf("\n%s: %d channels\n", full ? "Full crate, sixteen boards" : "Default crate, twelve boards", channels);

    // In process: the poll's own work, the crate's calls included.
    {
        auto crate = makeCrate(full);
        Rig rig(new SimAdapter(*crate), QStringLiteral("127.0.0.1"));
        const int before = rig.counted->planned;
        std::vector<double> times;
        for (int i = 0; i < polls; ++i)
            times.push_back(rig.poll());
        const double reads = double(rig.counted->planned - before) / polls;
        const int budget = rig.panelReads();
        const int sweep = rig.main->watch().sweepReads();
        std::printf("  reads per second: %.0f (the poll's own 4 and the watch's %.0f; goal: the watch at most one "
                    "Q310 panel's %d, ratio %.2f)\n",
                    reads, reads - 4, budget, (reads - 4) / budget);
        std::printf("  names and setpoints: every channel within %.1f s (%d sweep reads a tick, %d a channel)\n",
                    double(channels) * CrateWatch::SweepReadsPerChannel / std::max(1, sweep), sweep,
                    CrateWatch::SweepReadsPerChannel);
        std::printf("  in process: median %.2f ms a poll (plan, crate, answers, watch)\n", median(times));
    }
    for (double latency : latencies) {
        SimServerThread server(makeCrate(full));
        server.setLatencyMs(latency);
        auto *client = new NetClient(server.port());
        Rig rig(client, server.address());
        std::vector<double> times, trips;
        const int plansBefore = rig.counted->plans;
        for (int i = 0; i < polls; ++i) {
            const int plans = rig.counted->plans;
            times.push_back(rig.poll());
            if (rig.counted->plans != plans + 1)
                std::printf("  (a poll made %d round trips)\n", rig.counted->plans - plans);
            // One bare round trip of one read, the reference.
            QElapsedTimer t;
            t.start();
            bool done = false;
            auto plan = std::make_shared<ReadPlan>();
            plan->crateProperty(QStringLiteral("FrontPanIn"));
            plan->onDone([&done] { done = true; });
            client->runPlan(plan);
            if (!waitUntil([&done] { return done; }))
                std::printf("  (a round trip got no answer)\n");
            trips.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        const double poll = median(times), trip = median(trips);
        std::printf("  latency %4.0f ms: %.2f round trips a poll; poll median %.2f ms, worst %.2f ms; one bare round "
                    "trip %.2f ms; goal one round trip: ratio %.2f\n",
                    latency, double(rig.counted->plans - plansBefore) / polls, poll,
                    *std::max_element(times.begin(), times.end()), trip, poll / trip);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    MsgBox::setInterceptor([](const QString &title, const QString &text, QMessageBox::Icon, const QString &detail) {
        std::printf("  (box: %s: %s %s)\n", qPrintable(title), qPrintable(text), qPrintable(detail));
    });
    const int polls = argc > 1 ? std::max(3, QString::fromLocal8Bit(argv[1]).toInt()) : 30;
    std::vector<double> latencies;
    for (int i = 2; i < argc; ++i)
        latencies.push_back(QString::fromLocal8Bit(argv[i]).toDouble());
    if (latencies.empty())
        latencies = {0, 10};
    std::printf("bench_watch: the main poll with the crate-wide watch, %d polls a run\n", polls);
    run(false, polls, latencies);
    run(true, polls, latencies);
    return 0;
}
