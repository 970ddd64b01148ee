// The graph window (four traces on two units) and a Q310 board graph, each
// filled with five minutes of samples from the default simulated crate.
#include "frmgraph.h"
#include "frmq310graph.h"
#include "lib.h"
#include "plotdrag.h"
#include "shots.h"
#include "simadapter.h"
#include "simcrate.h"
#include "windowtag.h"

#include <QMimeData>
#include <QTreeWidget>
#include <memory>

namespace {

constexpr int Samples = 300;

void shootGraphs()
{
    Lib::InitTables();
    qint64 nowMs = 0;
    SimCrate crate([&nowMs] { return nowMs; });
    SimAdapter hv(crate);

    QTreeWidget source; // drops come from the picker's tree
    source.setObjectName(QStringLiteral("tvSysTree"));
    frmGraph graph(hv);
    const struct { qint16 slot, ch; const char *par; } traces[] = {
        {1, 1, "VMon"}, {1, 5, "VMon"}, {1, 6, "IMon"}, {1, 2, "IMon"}};
    for (const auto &t : traces) {
        std::unique_ptr<QMimeData> data(
            PlotDrag::encode({t.slot, t.ch, QString::fromLatin1(t.par), QStringLiteral("tvSysTree")}));
        graph.acceptDrop(&source, data.get());
    }
    graph.resize(820, 460);

    frmQ310Graph board(hv);
    board.setWindowTitle(frmQ310Graph::captionFor(0, 0, QStringLiteral("VMon")));
    setWindowTag(&board, frmQ310Graph::tagFor(0, 0, QStringLiteral("VMon")));
    board.activate();

    for (int i = 0; i < Samples; ++i) {
        nowMs += 1000;
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
    Shots::save(&graph, QStringLiteral("graph"));
    Shots::save(&board, QStringLiteral("board-graph"));
}

const Shots::Registrar registrar(QStringLiteral("graphs"), shootGraphs);

} // namespace
