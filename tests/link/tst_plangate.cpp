// The client's gate for plans against an overloaded crate, on a modelled crate
// with a clock the test runs: windows of different sizes take turns, the crate
// never holds much more than the budget of work (what a write would wait
// behind), and the pace the windows get is what they achieve.
#include "plangate.h"

#include <QTest>
#include <algorithm>
#include <deque>
#include <map>

namespace {

// A crate serving calls one after another at a fixed time each, behind a link of a fixed delay;
// windows that send their next plan a period after the last, once its answer is in.
struct Model
{
    double callUs;
    qint64 linkUs;
    PlanGate gate;
    struct Window
    {
        int calls;
        qint64 lastUs = -1'000'000'000;
        bool inFlight = false, waiting = false;
        int answers = 0;
    };
    std::map<int, Window> windows;
    std::deque<int> waiting;                  // windows whose plan waits at the gate
    std::deque<std::pair<int, qint64>> crate; // (window, id) queued at the crate
    std::map<qint64, qint64> done;            // id -> when its answer arrives
    qint64 now = 0, crateFreeUs = 0, nextId = 1;
    double mostWorkUs = 0;                    // crate work queued at the crate at worst, after the first seconds

    Model(double callUs, qint64 linkUs) : callUs(callUs), linkUs(linkUs) {}

    void release()
    {
        while (!waiting.empty() && gate.mayRelease(windows[waiting.front()].calls)) {
            const int w = waiting.front();
            waiting.pop_front();
            windows[w].waiting = false;
            windows[w].inFlight = true;
            const qint64 id = nextId++;
            gate.released(id, windows[w].calls, &windows[w], now);
            // The crate starts it once it arrives and has done what came before.
            const qint64 start = std::max(now + linkUs / 2, crateFreeUs);
            crateFreeUs = start + qint64(windows[w].calls * callUs);
            done[id] = crateFreeUs + linkUs / 2;
            crate.push_back({w, id});
        }
        double queued = 0;
        for (const auto &[w, id] : crate)
            queued += windows[w].calls * callUs;
        if (now > 5'000'000) // once the gate has learnt the crate's pace
            mostWorkUs = std::max(mostWorkUs, queued);
    }
    void run(qint64 untilUs)
    {
        for (; now < untilUs; now += 1000) {
            for (auto it = crate.begin(); it != crate.end();) {
                if (done[it->second] > now) {
                    ++it;
                    continue;
                }
                gate.answered(it->second, now);
                windows[it->first].inFlight = false;
                ++windows[it->first].answers;
                it = crate.erase(it);
            }
            for (auto &[w, win] : windows)
                if (!win.inFlight && !win.waiting && now - win.lastUs >= 1'000'000) {
                    win.waiting = true;
                    win.lastUs = now;
                    waiting.push_back(w);
                }
            release();
        }
    }
};

} // namespace

class TstPlanGate : public QObject
{
    Q_OBJECT
private slots:
    // Overloaded, every window refreshes alike however many reads its plan holds, and the
    // crate is never given much more than the budget of work: a write waits behind that at most.
    void anOverloadedCrateSlowsEveryWindowAlike_data()
    {
        QTest::addColumn<double>("callUs");
        QTest::addColumn<int>("linkUs");
        QTest::newRow("1 ms per call, 1 ms link") << 1000.0 << 1000;
        QTest::newRow("0.25 ms per call, 100 ms link") << 250.0 << 100'000;
    }
    void anOverloadedCrateSlowsEveryWindowAlike()
    {
        QFETCH(double, callUs);
        QFETCH(int, linkUs);
        Model m(callUs, linkUs);
        const int sizes[] = {394, 394, 315, 303, 100, 12}; // panels of several families and a small graph
        for (int i = 0; i < 6; ++i)
            m.windows[i].calls = sizes[i];
        m.run(120'000'000);
        const auto [low, high] = std::minmax_element(m.windows.cbegin(), m.windows.cend(),
                                                     [](const auto &a, const auto &b) { return a.second.answers < b.second.answers; });
        const int fewest = low->second.answers, most = high->second.answers;
        QVERIFY2(most - fewest <= 1, qPrintable(QStringLiteral("%1..%2, most work %3 us, period %4 ms")
                                                    .arg(fewest).arg(most).arg(m.mostWorkUs).arg(m.gate.periodMs())));
        const double demand = (394 + 394 + 315 + 303 + 100 + 12) * callUs; // per second, in µs
        if (demand > 1'000'000) // more than the crate can do: every window slows, alike, the crate's work held
            QVERIFY(most < 110 && m.gate.periodMs() > 1100 && m.mostWorkUs < PlanGate::DefaultBudgetMs * 1000 + 394 * callUs);
        else
            QVERIFY(fewest >= 115); // once a second each
    }
};

QTEST_MAIN(TstPlanGate)
#include "tst_plangate.moc"
