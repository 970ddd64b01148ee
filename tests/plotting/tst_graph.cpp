#include "frmgraph.h"
#include "lib.h"
#include "plotdrag.h"
#include "plottingfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>

// One graph window on the fixture crate with the real picker tree as drag source.
struct GraphRig : PickerRig
{
    std::unique_ptr<frmGraph> window = std::make_unique<frmGraph>(hv);
    QTreeWidget *legend = window->findChild<QTreeWidget *>(QStringLiteral("ListView1"));

    GraphRig() { hv.clear(); }
    bool drop(const QString &par, qint16 ch = 0, qint16 slot = 1, const QObject *source = nullptr)
    {
        std::unique_ptr<QMimeData> data(PlotDrag::encode({slot, ch, par, QStringLiteral("tvSysTree")}));
        return window->acceptDrop(source ? source : picker->tree(), data.get());
    }
    void deleteRow(int row)
    {
        legend->setCurrentItem(legend->topLevelItem(row));
        QTest::keyRelease(legend, Qt::Key_Delete);
    }
    TraceGraph &graph() { return *window->graph(); }
    QStringList legendColumn(int column)
    {
        return collect(legend->topLevelItemCount(), [&](int i) { return legend->topLevelItem(i)->text(column); });
    }
    QStringList axisFormats() { return collect(graph().valueAxisCount(), [&](int i) { return graph().axisFormat(i); }); }
};

class TstGraph : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Lib::InitTables(); }

    void dropsShareAxesByUnit()
    {
        GraphRig r;
        QCOMPARE(r.window->windowTitle(), QStringLiteral("Graphical representation"));
        QVERIFY(r.drop(QStringLiteral("VMon"), 0));
        QCOMPARE(r.hv.calls, QStringList({"ParamAttribute(1,VMon,Unit,0)", "ChannelName(1,0)"}));
        QCOMPARE(r.window->plots().Item(1)->ParUnit(), QStringLiteral("k\"V\""));
        QCOMPARE(r.graph().axisName(0), QStringLiteral("AsseY-1"));
        QVERIFY(r.graph().axisAutoscale(0));

        QVERIFY(r.drop(QStringLiteral("V0Set"), 1)); // same unit: same axis
        QVERIFY(r.drop(QStringLiteral("IMon"), 1));  // new unit: new axis
        QVERIFY(r.drop(QStringLiteral("Ratio"), 0)); // no unit: its own axis, k""
        QVERIFY(r.drop(QStringLiteral("Ratio"), 1));
        QCOMPARE(r.axisFormats(), QStringList({"k\"V\"", "k\"A\"", "k\"\""}));
        QCOMPARE(collect(5, [&](int i) { return QString::number(r.graph().traceAxis(i)); }),
                 QStringList({"0", "0", "1", "2", "2"}));

        // The legend: name, channel name, slot; bold in the trace colour.
        QCOMPARE(r.legendColumn(0), QStringList({"VMon", "V0Set", "IMon", "Ratio", "Ratio"}));
        QCOMPARE(r.legendColumn(1), QStringList({"S1C0", "S1C1", "S1C1", "S1C0", "S1C1"}));
        QCOMPARE(r.legendColumn(2), QStringList(5, QStringLiteral("1")));
        const QTreeWidgetItem *row = r.legend->topLevelItem(2);
        QVERIFY(row->font(0).bold());
        QCOMPARE(row->foreground(0).color(), Lib::toQColor(Lib::Red));
        QCOMPARE(r.graph().traceColor(2), Lib::toQColor(Lib::Red));
    }

    void refusedDrops()
    {
        GraphRig r;
        QTreeWidget stranger;
        stranger.setObjectName(QStringLiteral("someTree"));
        QVERIFY(!r.drop(QStringLiteral("VMon"), 0, 1, &stranger));
        QVERIFY(!r.drop(QStringLiteral("VMon"), 0, 1, r.window.get()));
        QMimeData text;
        text.setText(QStringLiteral("VMon"));
        QVERIFY(!r.window->acceptDrop(r.picker->tree(), &text));
        std::unique_ptr<QMimeData> data(PlotDrag::encode({1, 0, QStringLiteral("VMon"), QStringLiteral("tvSysTree")}));
        // A drop event that no drag of the picker started.
        QDropEvent foreign(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(r.window->graph(), &foreign);
        QVERIFY(!foreign.isAccepted());
        QCOMPARE(r.window->plots().Count(), 0);

        for (int i = 0; i < 12; ++i) {
            QVERIFY(r.drop(QStringLiteral("VMon"), qint16(i % 2)));
            QCOMPARE(r.window->plots().Item(i + 1)->Color(), Lib::paletteColor(i));
        }
        r.hv.clear();
        QVERIFY(!r.drop(QStringLiteral("IMon")));
        QVERIFY(r.hv.calls.isEmpty());
        QCOMPARE(QList<int>({r.graph().traceCount(), r.window->plots().Count()}), QList<int>({12, 12}));

        // Dragging over the full graph is refused, so the picker's red disc shows.
        QDragMoveEvent move(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(r.window->graph(), &move);
        QVERIFY(!move.isAccepted());

        // A freed colour is reused by the next drop, at the end of the list.
        r.deleteRow(2);
        QVERIFY(r.drop(QStringLiteral("IMon")));
        QCOMPARE(r.window->plots().Item(12)->Color(), Lib::Red);
        QCOMPARE(r.legendColumn(0).last(), QStringLiteral("IMon"));
    }

    void failedDropAddsNothing()
    {
        GraphRig r;
        r.drop(QStringLiteral("VMon"));
        r.hv.failOn << QStringLiteral("ChannelName(1,1)");
        MsgBoxCatcher boxes;
        QVERIFY(!r.drop(QStringLiteral("IMon"), 1));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].icon, QMessageBox::Warning);
        QVERIFY(boxes.shown[0].text.contains(QStringLiteral("IMon of channel 1 in slot 1")));
        QCOMPARE(QList<int>({r.window->plots().Count(), r.graph().traceCount(), r.legend->topLevelItemCount(),
                             r.graph().valueAxisCount()}),
                 QList<int>({1, 1, 1, 1}));
        r.hv.failOn.clear();
        QVERIFY(r.drop(QStringLiteral("IMon"), 1));
    }

    void deletionKeepsListsAlignedAndCleansAxes()
    {
        GraphRig r;
        r.drop(QStringLiteral("VMon"), 0);
        r.drop(QStringLiteral("IMon"), 0);
        r.drop(QStringLiteral("V0Set"), 1);
        r.drop(QStringLiteral("Ratio"), 1);

        QTest::keyRelease(r.legend, Qt::Key_Delete); // nothing selected
        QCOMPARE(r.window->plots().Count(), 4);

        r.deleteRow(0); // VMon: V0Set still shows volts
        QCOMPARE(r.axisFormats(), QStringList({"k\"V\"", "k\"A\"", "k\"\""}));
        r.deleteRow(0); // IMon: the amps axis goes, later axes move up
        QCOMPARE(r.axisFormats(), QStringList({"k\"V\"", "k\"\""}));
        QCOMPARE(r.legendColumn(0), QStringList({"V0Set", "Ratio"}));
        QCOMPARE(QStringList({r.graph().traceName(1), QString::number(r.graph().traceAxis(1)), r.window->plots().Item(2)->ParName()}),
                 QStringList({"Ratio", "1", "Ratio"})); // trace name, its axis, list entry

        r.deleteRow(0); // the first value axis can go too while traces remain
        QCOMPARE(r.axisFormats(), QStringList({"k\"\""}));
        QCOMPARE(r.graph().traceAxis(0), 0);

        // Holding Delete: auto-repeated releases delete nothing, the real release one.
        r.drop(QStringLiteral("VMon"), 0);
        r.legend->setCurrentItem(r.legend->topLevelItem(0));
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(r.legend, &repeat);
        QCOMPARE(r.window->plots().Count(), 2);
        QTest::keyRelease(r.legend, Qt::Key_Delete);
        QCOMPARE(r.window->plots().Count(), 1);

        r.deleteRow(0); // the last trace: an empty graph that keeps its first axis
        QCOMPARE(QList<int>({r.graph().traceCount(), r.legend->topLevelItemCount()}), QList<int>({0, 0}));
        QCOMPARE(r.axisFormats(), QStringList({"k\"V\""}));
        QVERIFY(r.drop(QStringLiteral("IMon"), 0)); // works as a first drop
        QCOMPARE(r.axisFormats(), QStringList({"k\"A\""}));
        QCOMPARE(r.graph().axisName(0), QStringLiteral("AsseY-1"));
    }

    // Each tick reads every trace in order; every drop restarts all traces.
    void tickReadsEveryTraceInOrder()
    {
        GraphRig r;
        r.window->tick();
        QVERIFY(r.hv.calls.isEmpty()); // no trace, no call

        r.drop(QStringLiteral("VMon"), 0);
        r.window->tick();
        r.window->tick();
        QCOMPARE(r.graph().traceKeys(0), QVector<double>({0, 1}));
        r.drop(QStringLiteral("IMon"), 1);
        QVERIFY(r.graph().traceKeys(0).isEmpty());
        r.hv.paramValue = [](qint16, const QString &par, std::optional<qint16>) -> QVariant {
            return par == QLatin1String("IMon") ? 150 : 1500.5;
        };
        r.hv.clear();
        r.window->tick();
        QCOMPARE(r.hv.calls, QStringList({"ParamAttribute(1,VMon,Exp,0)", "ParamValue(1,VMon,0)",
                                          "ParamAttribute(1,IMon,Exp,1)", "ParamValue(1,IMon,1)"}));
        QCOMPARE(r.graph().traceValues(0), QVector<double>({1500.5}));
        QCOMPARE(r.graph().traceValues(1), QVector<double>({150 * double(1e-6f)})); // factor in single precision
        QCOMPARE(r.graph().traceKeys(0), QVector<double>({0}));
        QCOMPARE(r.graph().traceKeys(1), QVector<double>({0}));

        // The volts axis labels read in kilovolts.
        r.window->resize(700, 400);
        r.graph().replotNow();
        QVERIFY2(r.graph().axisTickLabels(0).join(' ').contains(QStringLiteral("kV")),
                 qPrintable(r.graph().axisTickLabels(0).join(' ')));
    }

    void failingTickClosesOnce()
    {
        GraphRig r;
        r.window->show();
        r.drop(QStringLiteral("VMon"), 0);
        r.drop(QStringLiteral("IMon"), 1);
        r.hv.failOn << QStringLiteral("ParamValue(1,IMon");
        MsgBoxCatcher boxes;
        r.window->tick();
        r.window->tick();
        QCOMPARE(boardRemovedFaults(boxes, *r.window, r.graph()), QString());
    }

    void autoscaleMinimumHeightAndOnePicker()
    {
        GraphRig r;
        auto *autoscale = r.window->findChild<QCheckBox *>(QStringLiteral("chkAutoscale"));
        QCOMPARE(autoscale->text(), QStringLiteral("Autoscale Y axes"));
        QVERIFY(autoscale->isChecked());
        r.drop(QStringLiteral("VMon"));
        r.drop(QStringLiteral("IMon"));
        r.window->show();
        QTest::mouseClick(autoscale, Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
        QVERIFY(!r.graph().axisAutoscale(0) && !r.graph().axisAutoscale(1));
        QVERIFY(r.drop(QStringLiteral("Ratio"))); // a new axis follows the box
        QVERIFY(!r.graph().axisAutoscale(2));

        r.window->resize(600, 200); // too low: snaps back
        QCOMPARE(r.window->frameGeometry().height(), frmGraph::MinOuterHeight);

        // "&Add ..." of two windows opens one picker.
        r.picker.reset();
        frmGraph other(r.hv);
        r.window->findChild<QAction *>(QStringLiteral("mPlotAdd"))->trigger();
        frmPlotAdd *picker = frmPlotAdd::openInstance();
        QVERIFY(picker);
        const int builds = r.hv.callsStartingWith(QStringLiteral("QuerySlots")).size();
        other.findChild<QAction *>(QStringLiteral("mPlotAdd"))->trigger();
        QCOMPARE(frmPlotAdd::openInstance(), picker);
        QCOMPARE(r.hv.callsStartingWith(QStringLiteral("QuerySlots")).size(), builds);
        delete picker;
    }
};

QTEST_MAIN(TstGraph)
#include "tst_graph.moc"
