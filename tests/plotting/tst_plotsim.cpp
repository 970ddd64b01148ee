#include "fakeserver.h"
#include "frmgraph.h"
#include "frmplotadd.h"
#include "frmq310graph.h"
#include "lib.h"
#include "msgboxcatcher.h"
#include "simadapter.h"
#include "simcrate.h"
#include "tracegraph.h"
#include "windowtag.h"

#include <QDrag>
#include <QTest>
#include <QTreeWidget>
#include <memory>

// The graph window against the default simulated crate, from a node of the
// picker's tree to samples on the graph, and a board graph over the network.
class TstPlotSim : public QObject
{
    Q_OBJECT
private:
    static QTreeWidgetItem *child(QTreeWidgetItem *parent, const QString &text)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == text)
                return parent->child(i);
        return nullptr;
    }

private slots:
    void initTestCase() { Lib::InitTables(); }

    void dragFromTheTreeToSamplesOnTheGraph()
    {
        qint64 nowMs = 0;
        SimCrate crate([&nowMs] { return nowMs; });
        SimAdapter hv(crate);
        frmPlotAdd picker(hv);
        QVERIFY(picker.buildTree());
        QTreeWidgetItem *q310 = picker.tree()->topLevelItem(0);
        QCOMPARE(q310->text(0), QStringLiteral("Q310 - Slot 0"));
        QTreeWidgetItem *anode = child(q310, QStringLiteral("Anode"));
        QVERIFY(anode);
        QVERIFY(child(anode, QStringLiteral("VMon")) && child(anode, QStringLiteral("IMon")));
        QVERIFY(!child(anode, QStringLiteral("Pw")) && !child(anode, QStringLiteral("Status")));

        frmGraph graph(hv);
        for (const QString &par : {QStringLiteral("VMon"), QStringLiteral("IMon")}) {
            std::unique_ptr<QDrag> drag(picker.makeDrag(child(anode, par)));
            QVERIFY(graph.acceptDrop(drag->source(), drag->mimeData()));
        }
        QCOMPARE(graph.plots().Item(2)->ParUnit(), QStringLiteral("k\"A\""));
        QCOMPARE(graph.graph()->valueAxisCount(), 2);

        for (int i = 0; i < 60; ++i) {
            nowMs += 1000;
            graph.tick();
        }
        const double volts = graph.graph()->traceValues(0).last();
        const double amps = graph.graph()->traceValues(1).last();
        QVERIFY2(volts > 1400 && volts < 1600, qPrintable(QString::number(volts))); // ramped to 1.5 kV
        QVERIFY2(amps > 0 && amps < 1e-3, qPrintable(QString::number(amps)));      // scaled by its exponent
    }

    // Over the network a sample arrives from the event loop; a read failing
    // midway keeps no part of it and takes the "Board removed" path once.
    void boardGraphOnTheWire()
    {
        FakeServer server;
        server.setUp = [](FakeHV &f) { f.paramValue = [](auto, auto, auto) { return QVariant(2.5); }; };
        LoggedInClient client(server.port(), 2000, 2000);
        frmQ310Graph board(client);
        setWindowTag(&board, frmQ310Graph::tagFor(1, 1, QStringLiteral("IMon")));
        board.show();
        board.activate();
        board.tick();
        QVERIFY(board.graph()->traceValues(0).isEmpty());
        QTRY_COMPARE(board.graph()->traceValues(6).size(), 1);
        QCOMPARE(board.graph()->axisFormat(0), QStringLiteral(" k\"V\""));

        MsgBoxCatcher boxes;
        server.live()->failOn << QStringLiteral("ParamValue(1,IMon,10)"); // trace "3" of macro channel 1
        board.tick();
        QTRY_COMPARE(boxes.said(), QStringList{"Attention|Board removed"});
        QVERIFY(!board.isVisible() && !board.findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
        QCOMPARE(board.graph()->traceValues(0).size(), 1); // nothing of the failed tick
    }
};

QTEST_MAIN(TstPlotSim)
#include "tst_plotsim.moc"
