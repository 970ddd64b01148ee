// The picker: its tree of the crate, the drags it starts, and the path from a
// node of its tree on the default simulated crate to samples on a graph.
#include "frmgraph.h"
#include "frmq310graph.h"
#include "lib.h"
#include "plotdrag.h"
#include "plotimages.h"
#include "plottingfixture.h"
#include "screenreader.h"
#include "simadapter.h"
#include "simcrate.h"

#include <QCheckBox>
#include <QDrag>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStyle>
#include <QTreeWidgetItemIterator>
#include <QMouseEvent>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>

class TstPlotAdd : public QObject
{
    Q_OBJECT
private:
    static QStringList texts(const QTreeWidgetItem *parent)
    {
        return collect(parent->childCount(), [parent](int i) { return parent->child(i)->text(0); });
    }
    static void closePicker() { delete frmPlotAdd::openInstance(); }

private slots:
    void initTestCase() { Lib::InitTables(); }
    void cleanup() { closePicker(); }

    void treeShowsOccupiedSlotsChannelsAndNumericParameters()
    {
        FakeHV hv;
        fillPlottingCrate(hv);
        frmPlotAdd *picker = frmPlotAdd::showFor(hv);
        QVERIFY(picker);
        QCOMPARE(picker->windowTitle(), QStringLiteral("Plot add ..."));
        QTreeWidget *tree = picker->tree();
        frmGraph graph(hv); // what a screen reader calls the tree and a graph's legend
        QCOMPARE(QStringList({said(tree), said(graph.findChild<QWidget *>("ListView1"))}),
                 QStringList({"Parameters to plot | Tree |  | Parameters to plot", "Legend | Tree |  | Legend"}));
        const QTreeWidgetItem *q310 = tree->topLevelItem(0), *q420 = tree->topLevelItem(1), *q510 = tree->topLevelItem(2);
        // Each board with its slot, so two of one model differ; tagged with the true slot number.
        QCOMPARE(texts(tree->invisibleRootItem()), QStringList({"Q310 - Slot 1", "Q420 - Slot 3", "Q510 - Slot 4"}));
        QCOMPARE(collect(3, [tree](int i) { return tree->topLevelItem(i)->data(0, Qt::UserRole).toString(); }),
                 QStringList({"1", "3", "4"}));
        QVERIFY(q310->font(0).bold() && q310->isExpanded());
        QCOMPARE(texts(q310), QStringList({"S1C0", "S1C1"}));
        const QTreeWidgetItem *ch1 = q310->child(1);
        QVERIFY(!ch1->isExpanded());
        QCOMPARE(texts(ch1), QStringList({"V0Set", "VMon", "IMon", "Ratio"})); // service order, type 0 only
        QCOMPARE(texts(q510), QStringList({"S4C0"})); // a channel with nothing to plot, beside a board without channels
        QCOMPARE(QList<int>({q420->childCount(), q510->child(0)->childCount()}), QList<int>({0, 0}));
        // Each kind of node has its picture.
        const QImage board = PlotImages::image(PlotImages::Board).toImage();
        QCOMPARE(q310->icon(0).pixmap(16, 16).toImage().convertToFormat(board.format()), board);
        QVERIFY(!ch1->icon(0).isNull() && !ch1->child(0)->icon(0).isNull());
        // What went to the crate, in order, for one channel.
        const int first = hv.calls.indexOf(QStringLiteral("ChannelName(1,1)"));
        QCOMPARE(hv.calls.mid(first, 8),
                 QStringList({"ChannelName(1,1)", "ListChannelParams(1,1)", "ParamAttribute(1,V0Set,Type,1)",
                              "ParamAttribute(1,VMon,Type,1)", "ParamAttribute(1,Pw,Type,1)",
                              "ParamAttribute(1,IMon,Type,1)", "ParamAttribute(1,Status,Type,1)",
                              "ParamAttribute(1,Ratio,Type,1)"}));
        QCOMPARE(hv.calls.first(), QStringLiteral("QuerySlots(SlotCount,ChannelCounts,SlotModels)"));
    }

    // An unreadable crate opens nothing; then one picker, built again only when
    // it is brought forward after the crate map changed, or reopened.
    void onePickerBuiltFromTheCrateAsItIs()
    {
        FakeHV hv;
        fillPlottingCrate(hv);
        hv.failOn << QStringLiteral("ListChannelParams(1,1)");
        MsgBoxCatcher boxes;
        QVERIFY(!frmPlotAdd::showFor(hv));
        QVERIFY(!frmPlotAdd::openInstance());
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(boxes.said()[0].startsWith(QStringLiteral("Plot add ...|The crate could not be read")));
        hv.failOn.clear(); // the next attempt builds it
        frmPlotAdd *first = frmPlotAdd::showFor(hv);
        QVERIFY(first);
        const int calls = hv.calls.size();
        QCOMPARE(frmPlotAdd::showFor(hv), first); // brought forward: the map is read, the tree stays
        QCOMPARE(hv.calls.mid(calls), QStringList{"QuerySlots(SlotCount,ChannelCounts,SlotModels)"});
        hv.setBoard(5, QStringLiteral("Q205"), 1); // a board goes in, another is pulled
        hv.setBoard(1, QString(), 0);
        QCOMPARE(frmPlotAdd::showFor(hv), first);
        QCOMPARE(texts(first->tree()->invisibleRootItem()), QStringList({"Q420 - Slot 3", "Q510 - Slot 4", "Q205 - Slot 5"}));
        closePicker();
        frmPlotAdd *again = frmPlotAdd::showFor(hv); // reopened: built from the crate as it is now
        QCOMPARE(again->tree()->topLevelItemCount(), 3);
    }

    // Only a left drag of a parameter node starts a drag; it carries the node's slot, channel
    // and name from the picker's tree, and shows the red disc where a drop is refused.
    void onlyALeftDragOfAParameterNodeStartsADrag()
    {
        PickerRig rig;
        frmPlotAdd &picker = *rig.picker;
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QTreeWidget *tree = picker.tree();
        QWidget *viewport = tree->viewport();
        QTreeWidgetItem *board = tree->topLevelItem(0);
        board->child(1)->setExpanded(true);
        QTreeWidgetItem *imon = board->child(1)->child(2);
        // Press, move past the drag distance, release; the drag object that a
        // started drag leaves behind (deleted later) tells what was dragged.
        std::unique_ptr<QDrag> started;
        auto drag = [&](QTreeWidgetItem *item, Qt::MouseButton button) -> std::optional<PlotDrag::Parameter> {
            const QPoint at = tree->visualItemRect(item).center();
            QTest::mousePress(viewport, button, Qt::NoModifier, at);
            const QPointF to = at + QPoint(30, 30);
            QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            QTest::mouseRelease(viewport, button, Qt::NoModifier, to.toPoint());
            started.reset(tree->findChild<QDrag *>());
            return started ? PlotDrag::decode(started->mimeData()) : std::nullopt;
        };
        QVERIFY(!drag(board, Qt::LeftButton) && !drag(board->child(1), Qt::LeftButton) && !drag(imon, Qt::RightButton));
        const auto p = drag(imon, Qt::LeftButton);
        QVERIFY(p && started->source() == tree);
        QCOMPARE(QStringList({QString::number(p->slot), QString::number(p->channel), p->name, p->sourceName}),
                 QStringList({"1", "1", "IMon", "tvSysTree"}));
        QCOMPARE(started->dragCursor(Qt::IgnoreAction).toImage(), PlotImages::image(PlotImages::Refused).toImage());
        QVERIFY(!picker.isDragging());
        // Malformed drag data is not a parameter.
        QMimeData junk;
        junk.setData(QString::fromLatin1(PlotDrag::MimeType), "not cbor");
        QVERIFY(!PlotDrag::decode(&junk));
    }

    void dropOnTheTreeChangesNothing()
    {
        PickerRig rig;
        frmPlotAdd &picker = *rig.picker;
        picker.show();
        QTreeWidget *tree = picker.tree();
        QTreeWidgetItem *board = tree->topLevelItem(0);
        const QPoint over = tree->visualItemRect(board).center();
        std::unique_ptr<QMimeData> data(PlotDrag::encode({1, 0, QStringLiteral("VMon"), QStringLiteral("tvSysTree")}));
        QDragEnterEvent enter(over, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(board->data(0, Qt::BackgroundRole).isValid()); // shown as drop target
        QDropEvent drop(over, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &drop);
        QVERIFY(!board->data(0, Qt::BackgroundRole).isValid());
        QCOMPARE(QList<int>({tree->topLevelItemCount(), board->childCount()}), QList<int>({3, 2}));
        QVERIFY(!picker.isDragging());
    }

    void dragFromTheTreeToSamplesOnTheGraph()
    {
        qint64 nowMs = 0;
        SimCrate crate([&nowMs] { return nowMs; });
        SimAdapter hv(crate);
        frmPlotAdd picker(hv);
        QVERIFY(picker.buildTree());
        QTreeWidgetItem *q310 = picker.tree()->topLevelItem(0);
        QCOMPARE(q310->text(0), QStringLiteral("Q310 - Slot 0"));
        QTreeWidgetItem *anode = q310->child(texts(q310).indexOf(QStringLiteral("Anode")));
        QVERIFY(anode);
        const QStringList offered = texts(anode); // numbers only: no switch, no status
        QVERIFY(offered.contains("VMon") && offered.contains("IMon") && !offered.contains("Pw") && !offered.contains("Status"));
        frmGraph graph(hv);
        for (const QString &par : {QStringLiteral("VMon"), QStringLiteral("IMon")}) {
            std::unique_ptr<QDrag> drag(picker.makeDrag(anode->child(offered.indexOf(par))));
            QVERIFY(graph.acceptDrop(drag->source(), drag->mimeData()));
        }
        QCOMPARE(graph.plots().Item(2)->ParUnit(), QStringLiteral("k\"A\""));
        QCOMPARE(graph.graph()->valueAxisCount(), 2);
        for (nowMs = 1000; nowMs <= 60000; nowMs += 1000)
            graph.tick();
        const double volts = graph.graph()->traceValues(0).last(), amps = graph.graph()->traceValues(1).last();
        QVERIFY2(volts > 1400 && volts < 1600, qPrintable(QString::number(volts))); // ramped to 1.5 kV
        QVERIFY2(amps > 0 && amps < 1e-3, qPrintable(QString::number(amps)));      // scaled by its exponent
    }

    // At a larger desktop font every parameter name still shows whole (TripInt and
    // TripExt must not both read "Trip..."), and the graph windows grow with it.
    void namesAndLayoutsGrowWithTheFont_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("9 pt") << 9;
        QTest::newRow("13 pt") << 13;
        QTest::newRow("16 pt") << 16;
    }
    void namesAndLayoutsGrowWithTheFont()
    {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points));
        const auto restore = qScopeGuard([&before] { QApplication::setFont(before); });
        FakeHV hv;
        fillPlottingCrate(hv);
        hv.channelParams = [](qint16, qint16) { return QStringList{"TripInt", "TripExt", "VMon"}; };
        frmPlotAdd *picker = frmPlotAdd::showFor(hv);
        QTreeWidget *tree = picker->tree();
        tree->expandAll();
        int names = 0;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const QRect room = tree->visualItemRect(*it).intersected(tree->viewport()->rect()).adjusted(tree->iconSize().width() + 8, 0, 0, 0);
            const QString text = (*it)->text(0);
            QCOMPARE(QFontMetrics((*it)->font(0)).elidedText(text, Qt::ElideRight, room.width()), text);
            ++names;
        }
        QCOMPARE(names, 3 + 3 * 4); // three boards, three channels of three parameters

        frmGraph graph(hv);
        auto *legend = graph.findChild<QTreeWidget *>(QStringLiteral("ListView1"));
        const QFontMetrics fm(legend->font());
        QVERIFY(legend->columnWidth(1) >= fm.horizontalAdvance(QStringLiteral("10: S1C10")));
        QVERIFY(legend->geometry().bottom() < graph.findChild<QWidget *>(QStringLiteral("chkAutoscale"))->geometry().top());
        frmQ310Graph board(hv);
        for (const QCheckBox *box : board.findChildren<QCheckBox *>(QRegularExpression("^chkCh_"))) { // box and whole label
            const int label = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box)
                              + box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box)
                              + box->fontMetrics().horizontalAdvance(box->text());
            QVERIFY2(box->width() >= label, qPrintable(box->text()));
        }
    }
};

QTEST_MAIN(TstPlotAdd)
#include "tst_plotadd.moc"
