#include "plotdrag.h"
#include "plotimages.h"
#include "plottingfixture.h"

#include <QDrag>
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
    void cleanup() { closePicker(); }

    void treeShowsOccupiedSlotsChannelsAndNumericParameters()
    {
        FakeHV hv;
        fillPlottingCrate(hv);
        frmPlotAdd *picker = frmPlotAdd::showFor(hv);
        QVERIFY(picker);
        QCOMPARE(picker->windowTitle(), QStringLiteral("Plot add ..."));
        QTreeWidget *tree = picker->findChild<QTreeWidget *>(QStringLiteral("tvSysTree"));
        QCOMPARE(tree, picker->tree());

        QCOMPARE(tree->topLevelItemCount(), 3);
        const QTreeWidgetItem *q310 = tree->topLevelItem(0);
        const QTreeWidgetItem *q420 = tree->topLevelItem(1);
        const QTreeWidgetItem *q510 = tree->topLevelItem(2);
        // Each board with its slot, so two of one model differ; tagged with the true slot number.
        QCOMPARE(collect(3, [tree](int i) { return tree->topLevelItem(i)->text(0); }),
                 QStringList({"Q310 - Slot 1", "Q420 - Slot 3", "Q510 - Slot 4"}));
        QCOMPARE(collect(3, [tree](int i) { return tree->topLevelItem(i)->data(0, Qt::UserRole).toString(); }),
                 QStringList({"1", "3", "4"}));
        QVERIFY(q310->font(0).bold() && q310->isExpanded());

        QCOMPARE(texts(q310), QStringList({"S1C0", "S1C1"}));
        const QTreeWidgetItem *ch1 = q310->child(1);
        QCOMPARE(ch1->data(0, Qt::UserRole).toInt(), 1);
        QVERIFY(!ch1->isExpanded());
        QCOMPARE(texts(ch1), QStringList({"V0Set", "VMon", "IMon", "Ratio"})); // service order, type 0 only
        QCOMPARE(ch1->child(1)->data(0, Qt::UserRole).toString(), QStringLiteral("Par"));

        QCOMPARE(q420->childCount(), 0);                 // a board without channels
        QCOMPARE(texts(q510), QStringList({"S4C0"}));    // a channel with nothing to plot
        QCOMPARE(q510->child(0)->childCount(), 0);

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
        QCOMPARE(boxes.shown[0].title, QStringLiteral("Plot add ..."));
        QVERIFY(boxes.shown[0].text.startsWith(QStringLiteral("The crate could not be read")));

        hv.failOn.clear(); // the next attempt builds it
        frmPlotAdd *first = frmPlotAdd::showFor(hv);
        QVERIFY(first);
        const int calls = hv.calls.size();
        QCOMPARE(frmPlotAdd::showFor(hv), first); // brought forward: the map is read, the tree stays
        QCOMPARE(hv.calls.mid(calls), QStringList{"QuerySlots(SlotCount,ChannelCounts,SlotModels)"});
        hv.setBoard(5, QStringLiteral("Q205"), 1); // a board goes in, another is pulled
        hv.setBoard(1, QString(), 0);
        QCOMPARE(frmPlotAdd::showFor(hv), first);
        QCOMPARE(collect(first->tree()->topLevelItemCount(), [first](int i) { return first->tree()->topLevelItem(i)->text(0); }),
                 QStringList({"Q420 - Slot 3", "Q510 - Slot 4", "Q205 - Slot 5"}));
        closePicker();
        frmPlotAdd *again = frmPlotAdd::showFor(hv); // reopened: built from the crate as it is now
        QCOMPARE(again->tree()->topLevelItemCount(), 3);
    }

    void onlyParameterNodesDragTheirSlotChannelAndName()
    {
        PickerRig rig;
        frmPlotAdd &picker = *rig.picker;
        QTreeWidgetItem *board = picker.tree()->topLevelItem(0);
        QTreeWidgetItem *channel = board->child(1);
        QVERIFY(!picker.makeDrag(board));
        QVERIFY(!picker.makeDrag(channel));

        std::unique_ptr<QDrag> drag(picker.makeDrag(channel->child(2)));
        QVERIFY(drag);
        QCOMPARE(drag->source(), picker.tree());
        const auto p = PlotDrag::decode(drag->mimeData());
        QVERIFY(p);
        QCOMPARE(p->slot, qint16(1));
        QCOMPARE(p->channel, qint16(1));
        QCOMPARE(p->name, QStringLiteral("IMon"));
        QCOMPARE(p->sourceName, QStringLiteral("tvSysTree"));
        // Where a drop is refused the cursor is the red disc.
        QCOMPARE(drag->dragCursor(Qt::IgnoreAction).toImage(),
                 PlotImages::image(PlotImages::Refused).toImage());

        // Malformed drag data is not a parameter.
        QMimeData junk;
        junk.setData(QString::fromLatin1(PlotDrag::MimeType), "not cbor");
        QVERIFY(!PlotDrag::decode(&junk));
    }

    void leftDragOfAParameterNodeStartsADrag()
    {
        PickerRig rig;
        frmPlotAdd &picker = *rig.picker;
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QTreeWidget *tree = picker.tree();
        QWidget *viewport = tree->viewport();
        QTreeWidgetItem *board = tree->topLevelItem(0);
        board->child(0)->setExpanded(true);
        QTreeWidgetItem *vmon = board->child(0)->child(1);

        // Press, move past the drag distance, release; the drag object that a
        // started drag leaves behind (deleted later) tells what was dragged.
        auto drag = [&](QTreeWidgetItem *item, Qt::MouseButton button) -> std::optional<PlotDrag::Parameter> {
            const QPoint at = tree->visualItemRect(item).center();
            QTest::mousePress(viewport, button, Qt::NoModifier, at);
            const QPointF to = at + QPoint(30, 30);
            QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            QTest::mouseRelease(viewport, button, Qt::NoModifier, to.toPoint());
            QDrag *started = tree->findChild<QDrag *>();
            std::optional<PlotDrag::Parameter> p = started ? PlotDrag::decode(started->mimeData()) : std::nullopt;
            delete started;
            return p;
        };
        QVERIFY(!drag(board, Qt::LeftButton));
        QVERIFY(!drag(board->child(0), Qt::LeftButton));
        QVERIFY(!drag(vmon, Qt::RightButton));
        const auto p = drag(vmon, Qt::LeftButton);
        QVERIFY(p);
        QCOMPARE(p->name, QStringLiteral("VMon"));
        QCOMPARE(p->channel, qint16(0));
        QCOMPARE(p->slot, qint16(1));
        QVERIFY(!picker.isDragging());
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
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(board->childCount(), 2);
        QVERIFY(!picker.isDragging());
    }
};

QTEST_MAIN(TstPlotAdd)
#include "tst_plotadd.moc"
