// What the simulated crate costs per access-interface call. Every call first
// brings the physics of all boards up to the present, so the figures compare a
// full default crate with a crate holding one board (the reference), for reads
// in the same millisecond and for reads a millisecond apart, and show how long
// bringing the crate forward after a long pause takes.

#include "simcrate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

// The reads a Q310 panel makes for one channel in one tick.
void panelChannelReads(SimCrate &crate, int ch)
{
    crate.channelName(0, ch);
    crate.paramValue(0, "Pw", ch);
    for (const char *par : {"V0Set", "I0Set", "V1Set", "I1Set", "SVMax"}) {
        crate.paramAttribute(0, par, "Exp", ch);
        crate.paramValue(0, par, ch);
    }
    for (const char *par : {"Trip", "TripInt", "TripExt", "POn", "PDwn"})
        crate.paramValue(0, par, ch);
    for (const char *par : {"VMon", "IMon", "HVMax"}) {
        crate.paramAttribute(0, par, "Exp", ch);
        crate.paramValue(0, par, ch);
    }
    for (int i = 0; i < 3; ++i)
        crate.paramValue(0, "Status", ch);
    crate.paramValue(0, "RUp", ch);
    crate.paramValue(0, "RDWn", ch);
}

// Microseconds per call, the clock stepping by stepMs after every channel.
double microsPerCall(SimCrate &crate, qint64 &clockMs, qint64 stepMs)
{
    constexpr int Rounds = 200;
    constexpr int CallsPerChannel = 28;
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < Rounds; ++r)
        for (int ch = 0; ch < 14; ++ch) {
            panelChannelReads(crate, ch);
            clockMs += stepMs;
        }
    return double(t.nsecsElapsed()) / 1000.0 / (Rounds * 14 * CallsPerChannel);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qint64 fullMs = 0, oneMs = 0;
    SimCrate full([&] { return fullMs; });
    SimCrateSetup single;
    single.boards << SimBoardSetup{0, "Q310", 27, 0, {}, {}};
    SimCrate one(single, [&] { return oneMs; });

    std::printf("per call, us            full crate   one board   ratio\n");
    for (qint64 step : {qint64(0), qint64(1)}) {
        const double f = microsPerCall(full, fullMs, step);
        const double o = microsPerCall(one, oneMs, step);
        std::printf("clock step %lld ms       %10.2f  %10.2f  %6.1fx\n", static_cast<long long>(step), f, o, f / o);
    }

    QElapsedTimer t;
    t.start();
    fullMs += 24LL * 3600 * 1000;
    full.paramValue(0, "VMon", 0);
    std::printf("one read after a day's pause: %.2f ms\n", double(t.nsecsElapsed()) / 1e6);
    return 0;
}
