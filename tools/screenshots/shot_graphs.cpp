// The graph window (two volt traces, then two current traces dropped two
// minutes later, over midnight) and a Q310 board graph zoomed in on a ramp,
// each filled with five minutes of samples from the default simulated crate
// and showing the mouse readout.
#include "frmgraph.h"
#include "frmq310graph.h"
#include "lib.h"
#include "plotdrag.h"
#include "shots.h"
#include "simadapter.h"
#include "simcrate.h"
#include "tracegraph.h"
#include "windowtag.h"

#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace {

constexpr int Samples = 300;
constexpr int LaterDrop = 120; // the current traces join after two minutes

// Lays the window out, then shows the readout at a time, as the mouse would.
void showReadout(QWidget *window, TraceGraph *graph, qint64 atMs)
{
    window->show();
    QTest::qWait(50);
    graph->replotNow();
    graph->showReadout(atMs);
}

void shootGraphs()
{
    Lib::InitTables();
    qint64 nowMs = 0;
    SimCrate crate([&nowMs] { return nowMs; });
    SimAdapter hv(crate);
    // The windows' clock: five minutes that cross midnight.
    const qint64 start = QDateTime(QDate(2026, 3, 14), QTime(23, 57, 30)).toMSecsSinceEpoch();
    const SampleClock clock = [&nowMs, start] { return start + nowMs; };

    QTreeWidget source; // drops come from the picker's tree
    source.setObjectName(QStringLiteral("tvSysTree"));
    frmGraph graph(hv);
    graph.setClock(clock);
    struct Trace { qint16 slot, ch; const char *par; };
    auto drop = [&](const Trace &t) {
        std::unique_ptr<QMimeData> data(
            PlotDrag::encode({t.slot, t.ch, QString::fromLatin1(t.par), QStringLiteral("tvSysTree")}));
        graph.acceptDrop(&source, data.get());
    };
    drop({1, 1, "VMon"});
    drop({1, 5, "VMon"});
    graph.resize(820, 460);

    frmQ310Graph board(hv);
    board.setClock(clock);
    board.setWindowTitle(frmQ310Graph::captionFor(0, 0, QStringLiteral("VMon")));
    setWindowTag(&board, frmQ310Graph::tagFor(0, 0, QStringLiteral("VMon")));
    board.activate();

    for (int i = 0; i < Samples; ++i) {
        nowMs += 1000;
        if (i == LaterDrop) {
            drop({1, 6, "IMon"});
            drop({1, 2, "IMon"});
        }
        // The operator moves two setpoints: ramps show on both units.
        if (i == 60)
            hv.SetParamValue(1, QStringLiteral("V0Set"), 1, 1200.0);
        if (i == 150)
            hv.SetParamValue(1, QStringLiteral("V0Set"), 5, 900.0);
        if (i == 100)
            hv.SetParamValue(0, QStringLiteral("V0Set"), 2, 1.0);
        graph.tick();
        board.tick();
    }
    showReadout(&graph, graph.graph(), clock() - 90 * 1000);
    Shots::save(&graph, QStringLiteral("graph"));

    // Zoomed in on the ramp of channel 2 (VCCA) after its setpoint moved at 100 s.
    board.graph()->showTimeRange(start + 90 * 1000, start + 130 * 1000);
    showReadout(&board, board.graph(), start + 108 * 1000);
    Shots::save(&board, QStringLiteral("board-graph"));
}

const Shots::Registrar registrar(QStringLiteral("graphs"), shootGraphs);

} // namespace
