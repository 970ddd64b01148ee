// The graph windows on the fixture crate: the graph the operator drops
// parameters on, and the board graph of a Q310's macro channel, also over the network.
#include "contrast.h"
#include "fakeserver.h"
#include "frmgraph.h"
#include "frmq310graph.h"
#include "lib.h"
#include "plotdrag.h"
#include "plottingfixture.h"
#include "stallprobe.h"
#include "windowtag.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QFileInfo>
#include <QTreeWidget>

// One graph window on the fixture crate with the real picker tree as drag source.
struct GraphRig : PickerRig
{
    std::unique_ptr<frmGraph> window = std::make_unique<frmGraph>(hv);
    QTreeWidget *legend = window->findChild<QTreeWidget *>(QStringLiteral("ListView1"));

    qint64 now = Noon; // the window's sample clock

    GraphRig()
    {
        hv.clear();
        window->setClock([this] { return now; });
        window->findChild<QTimer *>(QStringLiteral("Timer1"))->stop(); // the test ticks
    }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i, now += 1000)
            window->tick();
    }
    // Every IMon reads 150 (in its own scale, micro), everything else 1500.5.
    void readAmpsAndVolts()
    {
        hv.paramValue = [](qint16, const QString &par, auto) -> QVariant { return par == QLatin1String("IMon") ? 150 : 1500.5; };
    }
    // A drop samples its trace at once: the clock moves on by a second after it.
    bool drop(const QString &par, qint16 ch = 0, qint16 slot = 1, const QObject *source = nullptr)
    {
        std::unique_ptr<QMimeData> data(PlotDrag::encode({slot, ch, par, QStringLiteral("tvSysTree")}));
        const int traces = graph().traceCount();
        const bool accepted = window->acceptDrop(source ? source : picker->tree(), data.get());
        if (graph().traceCount() > traces)
            now += 1000;
        return accepted;
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

// A board graph on a fake Q310 whose reads return the board channel number.
struct BoardGraphRig
{
    FakeHV hv;
    std::unique_ptr<frmQ310Graph> window;

    BoardGraphRig()
    {
        hv.setBoard(3, QStringLiteral("Q310"), 14);
        hv.paramValue = [](qint16, const QString &, std::optional<qint16> ch) -> QVariant { return *ch; };
        hv.paramAttribute = [](qint16, const QString &, const QString &prop, std::optional<qint16>) -> QVariant {
            return prop == QLatin1String("Unit") ? QVariant(QStringLiteral("A")) : QVariant(-3);
        };
        window = std::make_unique<frmQ310Graph>(hv);
        setWindowTag(window.get(), frmQ310Graph::tagFor(3, 1, QStringLiteral("IMon")));
    }
    QCheckBox *box(int i) { return window->findChild<QCheckBox *>(QStringLiteral("chkCh_%1").arg(i)); }
    void click(int i) { QTest::mouseClick(box(i), Qt::LeftButton, Qt::NoModifier, QPoint(6, 8)); }
    TraceGraph &graph() { return *window->graph(); }
    QStringList traceNames() { return collect(graph().traceCount(), [this](int i) { return graph().traceName(i); }); }
    // One tick: the calls it made.
    QStringList tick()
    {
        hv.clear();
        window->tick();
        return hv.calls;
    }
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
        // Unit and name, then at once the first sample.
        QCOMPARE(r.hv.calls, QStringList({"ParamAttribute(1,VMon,Unit,0)", "ChannelName(1,0)",
                                          "ParamAttribute(1,VMon,Exp,0)", "ParamValue(1,VMon,0)"}));
        QVERIFY(r.graph().axisAutoscale(0));
        // The same unit on the same axis, a new unit on a new one, no unit on its own, k"".
        QVERIFY(r.drop(QStringLiteral("V0Set"), 1) && r.drop(QStringLiteral("IMon"), 1) && r.drop(QStringLiteral("Ratio"), 0)
                && r.drop(QStringLiteral("Ratio"), 1));
        QCOMPARE(r.axisFormats(), QStringList({"k\"V\"", "k\"A\"", "k\"\""}));
        QCOMPARE(collect(5, [&](int i) { return QString::number(r.graph().traceAxis(i)); }),
                 QStringList({"0", "0", "1", "2", "2"}));
        // Each axis is captioned with its unit, in the colour of its first trace; blue, which
        // would not read on black, lightened.
        QCOMPARE(collect(3, [&](int i) { return r.graph().axisCaption(i); }), QStringList({"V", "A", "(no unit)"}));
        QCOMPARE(collect(3, [&](int i) { return r.graph().axisColor(i).name(); }),
                 QStringList({r.graph().traceColor(0).name(), r.graph().traceColor(2).name(), "#5e5eff"}));
        QCOMPARE(r.graph().traceColor(3).name(), QStringLiteral("#0000ff")); // the trace itself stays blue
        // The legend: name, channel number and name, slot; bold in the trace colour.
        QCOMPARE(r.legendColumn(0), QStringList({"VMon", "V0Set", "IMon", "Ratio", "Ratio"}));
        QCOMPARE(r.legendColumn(1), QStringList({"0: S1C0", "1: S1C1", "1: S1C1", "0: S1C0", "1: S1C1"}));
        QCOMPARE(r.legendColumn(2), QStringList(5, QStringLiteral("1")));
        const QTreeWidgetItem *row = r.legend->topLevelItem(2);
        QVERIFY(row->font(0).bold());
        QCOMPARE(row->foreground(0).color(), Lib::toQColor(Lib::Red));
        QCOMPARE(r.graph().traceColor(2), Lib::toQColor(Lib::Red));
        // A rename, as a panel or the main window's sweep reads it, reaches legend and labels.
        r.hv.session().noteChannelName(1, 1, QStringLiteral("Anode"));
        QCOMPARE(r.legendColumn(1), QStringList({"0: S1C0", "1: Anode", "1: Anode", "0: S1C0", "1: Anode"}));
        QCOMPARE(r.graph().traceLabel(2), QStringLiteral("Bd 1 Ch 1: Anode IMon"));
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
        MsgBoxCatcher boxes; // a thirteenth is refused, and said: from the keyboard no red disc tells it
        QVERIFY(!r.drop(QStringLiteral("IMon")));
        QCOMPARE(boxes.said(), QStringList{"Attention|The graph already shows 12 traces: remove one before adding another."});
        QVERIFY(r.hv.calls.isEmpty());
        QCOMPARE(QList<int>({r.graph().traceCount(), r.window->plots().Count()}), QList<int>({12, 12}));
        // Dragging over the full graph is refused, so the picker's red disc shows.
        QDragMoveEvent move(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(r.window->graph(), &move);
        QVERIFY(!move.isAccepted());
        // Freed colours go to the next drops, the lowest first, at the end of the list.
        r.deleteRow(2);
        r.deleteRow(0);
        QVERIFY(r.drop(QStringLiteral("IMon")) && r.drop(QStringLiteral("Ratio")));
        QCOMPARE(QList<Lib::OleColor>({r.window->plots().Item(11)->Color(), r.window->plots().Item(12)->Color()}),
                 QList<Lib::OleColor>({Lib::Green, Lib::Red}));
        QCOMPARE(r.legendColumn(0).mid(10), QStringList({"IMon", "Ratio"}));
    }

    void failedDropAddsNothing()
    {
        GraphRig r;
        r.drop(QStringLiteral("VMon"));
        r.hv.failOn << QStringLiteral("ChannelName(1,1)");
        MsgBoxCatcher boxes;
        r.drop(QStringLiteral("IMon"), 1);
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].icon, QMessageBox::Warning);
        QVERIFY(boxes.said()[0].startsWith(QStringLiteral("Attention|IMon of channel 1 in slot 1 cannot be plotted")));
        QCOMPARE(QList<int>({r.window->plots().Count(), r.graph().traceCount(), r.legend->topLevelItemCount(),
                             r.graph().valueAxisCount()}),
                 QList<int>({1, 1, 1, 1}));
        r.hv.failOn.clear();
        QVERIFY(r.drop(QStringLiteral("IMon"), 1));
    }

    void deletionKeepsListsAlignedAndCleansAxes()
    {
        GraphRig r;
        QVERIFY(r.drop(QStringLiteral("VMon"), 0) && r.drop(QStringLiteral("IMon"), 0) && r.drop(QStringLiteral("V0Set"), 1)
                && r.drop(QStringLiteral("Ratio"), 1));
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
    }

    // Each tick reads every trace in order, at the clock's time. A drop starts its
    // trace then, keeps the others' history and brings the newest samples into view.
    void tickReadsEveryTraceInOrder()
    {
        GraphRig r;
        r.window->tick();
        QVERIFY(r.hv.calls.isEmpty()); // no trace, no call
        r.drop(QStringLiteral("VMon"), 0);
        r.ticks(100);
        r.graph().showTimeRange(Noon, Noon + 10000); // the operator zooms in on the start
        r.readAmpsAndVolts();
        r.hv.clear();
        r.drop(QStringLiteral("IMon"), 1); // its first sample at once, with every other trace's
        QCOMPARE(r.hv.calls.mid(2), QStringList({"ParamAttribute(1,VMon,Exp,0)", "ParamValue(1,VMon,0)",
                                                 "ParamAttribute(1,IMon,Exp,1)", "ParamValue(1,IMon,1)"}));
        QCOMPARE(QList<qsizetype>({r.graph().traceTimes(0).size(), r.graph().traceTimes(1).size()}),
                 QList<qsizetype>({102, 1}));
        QCOMPARE(QList<qint64>({r.graph().viewStart(), r.graph().viewEnd()}), QList<qint64>({Noon, Noon + 101000}));
        QCOMPARE(r.graph().traceValues(0).last(), 1500.5);
        QCOMPARE(r.graph().traceValues(1), QVector<double>({150 * double(1e-6f)})); // factor in single precision
        QCOMPARE(r.graph().traceTimes(0).mid(100), QVector<qint64>({Noon + 100000, Noon + 101000}));
        QCOMPARE(r.graph().traceTimes(1), QVector<qint64>({Noon + 101000}));
    }

    // A day of twelve traces is written to CSV off the GUI thread: the windows go on meanwhile.
    void aDayOfDataIsSavedWithoutHoldingTheScreen()
    {
        GraphRig r;
        for (int k = 0; k < 12; ++k)
            r.drop(QStringLiteral("VMon"), qint16(k));
        QVector<double> values(12, 1500.25);
        for (int i = 0; i < TraceGraph::DefaultHistoryLimit; ++i)
            r.graph().appendPoints(values, Noon + 20000 + qint64(i) * 1000);
        QTemporaryDir dir;
        StallProbe probe;
        QVERIFY(r.window->exporter().saveCsv(dir.filePath("day.csv")));
        QVERIFY2(probe.longest < 250, qPrintable(QString::number(probe.longest))); // a gross stall would be seconds
        QVERIFY(QFileInfo(dir.filePath("day.csv")).size() > 10'000'000); // every row of the day
    }

    // CSV of two traces that began at different times, images, and saves that fail.
    void savesWhatTheOperatorAsksFor()
    {
        GraphRig r;
        r.readAmpsAndVolts();
        r.drop(QStringLiteral("VMon"), 0);
        r.ticks(3);
        r.drop(QStringLiteral("IMon"), 1);
        r.ticks(2);
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("graph.csv"));
        QVERIFY(r.window->exporter().saveCsv(csv));
        const QList<QByteArray> lines = readFile(csv).split('\n');
        QCOMPARE(lines.size(), 9); // header, seven samples (two at the drops), the end of the last line
        QCOMPARE(lines[0], QByteArray("time,Bd 1 Ch 0: S1C0 VMon [V],Bd 1 Ch 1: S1C1 IMon [A]"));
        for (int i = 0; i < 7; ++i) {
            const QList<QByteArray> cells = lines[i + 1].split(',');
            QCOMPARE(QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODateWithMs).toMSecsSinceEpoch(), Noon + i * 1000);
            QCOMPARE(cells[1].toDouble(), 1500.5);
            QCOMPARE(cells[2].isEmpty() ? -1.0 : cells[2].toDouble(), i < 4 ? -1.0 : 150 * double(1e-6f));
        }
        r.window->show();
        for (const QString name : {"graph.png", "graph.pdf"})
            QVERIFY(r.window->exporter().saveImage(dir.filePath(name)));
        // The sheet in print colours: dark on white, under the plot a legend line in each trace's colour.
        const QImage png(dir.filePath("graph.png"));
        QVERIFY(png.width() > r.graph().width() && png.height() > r.graph().height());
        QCOMPARE(png.pixel(1, 1), qRgb(255, 255, 255));
        const QImage legend = png.copy(0, png.height() - 3 * QFontMetrics(r.graph().font()).height() - 20, png.width(), 200);
        for (int k = 0; k < 2; ++k) {
            const QColor ink = Contrast::readableOn(r.graph().traceColor(k), Qt::white);
            int found = 0;
            for (int y = 0; y < legend.height(); ++y)
                for (int x = 0; x < 40; ++x)
                    found += legend.pixel(x, y) == ink.rgb();
            QVERIFY2(found > 20, qPrintable(ink.name()));
        }
        r.window->exporter().printColoursAction()->setChecked(false); // the screen's colours
        QVERIFY(r.window->exporter().saveImage(dir.filePath("screen.png")));
        QCOMPARE(QImage(dir.filePath("screen.png")).pixel(1, 1), qRgb(0, 0, 0));
        const QByteArray document = readFile(dir.filePath("graph.pdf"));
        QVERIFY(document.startsWith("%PDF") && document.contains("/Title") && document.contains("/Creator"));
        // A folder that cannot be written to (a file stands in its place): each save says why, nothing is lost.
        MsgBoxCatcher boxes;
        QVERIFY(!r.window->exporter().saveCsv(csv + "/graph.csv"));
        QVERIFY(!r.window->exporter().saveImage(csv + "/graph.png"));
        QCOMPARE(boxes.shown.size(), 2);
        for (const MsgBoxCatcher::Shown &box : boxes.shown)
            QVERIFY2(box.icon == QMessageBox::Warning && box.text.contains(csv + "/graph.")
                         && box.text.contains(QStringLiteral("directory"), Qt::CaseInsensitive),
                     qPrintable(box.text));
        QCOMPARE(QList<qsizetype>({r.graph().traceCount(), r.graph().traceValues(0).size(),
                                   r.legend->topLevelItemCount()}),
                 QList<qsizetype>({2, 7, 2}));
        // Offered in the window's "Plots" menu and the plot's context menu.
        const auto *plots = r.window->findChild<QMenu *>(QStringLiteral("mPlots"));
        for (const char *name : {"mSaveImage", "mSaveCsv"}) {
            QAction *save = r.window->findChild<QAction *>(QLatin1String(name));
            QVERIFY(plots->actions().contains(save) && r.graph().actions().contains(save));
        }
        QCOMPARE(r.graph().contextMenuPolicy(), Qt::ActionsContextMenu);
    }

    void autoscaleMinimumHeightAndOnePicker()
    {
        GraphRig r;
        auto *autoscale = r.window->findChild<QCheckBox *>(QStringLiteral("chkAutoscale"));
        QCOMPARE(autoscale->text(), QStringLiteral("Autoscale Y axes"));
        QVERIFY(autoscale->isChecked());
        QVERIFY(r.drop(QStringLiteral("VMon")) && r.drop(QStringLiteral("IMon")));
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
        const int builds = r.hv.callsStartingWith(QStringLiteral("ChannelName")).size();
        other.findChild<QAction *>(QStringLiteral("mPlotAdd"))->trigger();
        QCOMPARE(frmPlotAdd::openInstance(), picker);
        QCOMPARE(r.hv.callsStartingWith(QStringLiteral("ChannelName")).size(), builds); // the crate did not change
        // Enter on a parameter adds it to the window whose "&Add ..." raised the picker, as a drop does
        // (a full window refuses it with the drop's message).
        picker->tree()->setCurrentItem(picker->tree()->topLevelItem(0)->child(1)->child(2));
        const int here = r.window->plots().Count();
        QTest::keyClick(picker->tree(), Qt::Key_Return);
        QCOMPARE(QList<int>({other.plots().Count(), r.window->plots().Count()}), QList<int>({1, here}));
        QCOMPARE(other.plots().Item(1)->ParName() + QString::number(other.plots().Item(1)->Channel()), QStringLiteral("IMon1"));
        delete picker;
        // Ctrl+W (and Esc, as on a panel) closes a graph window.
        other.show();
        QApplication::setActiveWindow(&other);
        QTest::keySequence(&other, QKeySequence(Qt::CTRL | Qt::Key_W));
        QVERIFY(!other.isVisible());
    }

    void openFindsTheWindowByItsTag()
    {
        FakeHV hv;
        frmQ310Graph *imon = frmQ310Graph::open(hv, 3, 1, QStringLiteral("IMon"));
        QCOMPARE(imon->windowTitle(), QStringLiteral("Q310 - IMon - Macro Channel 1 - Slot 3"));
        QVERIFY(imon->isVisible());
        QCOMPARE(frmQ310Graph::open(hv, 3, 1, QStringLiteral("IMon")), imon);
        frmQ310Graph *vmon0 = frmQ310Graph::open(hv, 3, 0, QStringLiteral("VMon"));
        frmQ310Graph *imon0 = frmQ310Graph::open(hv, 3, 0, QStringLiteral("IMon"));
        frmQ310Graph *vmon1 = frmQ310Graph::open(hv, 3, 1, QStringLiteral("VMon"));
        QCOMPARE(QSet<frmQ310Graph *>({imon, vmon0, imon0, vmon1}).size(), 4);
        hv.clear();
        vmon0->tick(); // macro channel 0 is board channels 0 to 6
        QCOMPARE(hv.callsStartingWith(QStringLiteral("ParamValue")),
                 collect(7, [](int ch) { return QStringLiteral("ParamValue(3,VMon,%1)").arg(ch); }));
        // Esc (and Ctrl+W, as on a panel) closes a board graph; it deletes itself on close.
        QPointer<frmQ310Graph> closing = vmon1;
        QApplication::setActiveWindow(vmon1);
        QTest::keyClick(vmon1, Qt::Key_Escape);
        QTRY_VERIFY(!closing);
        for (frmQ310Graph *w : {imon, vmon0, imon0})
            delete w;
    }

    void activationSetsTheValueAxis()
    {
        BoardGraphRig r;
        r.window->activate();
        QCOMPARE(r.hv.calls, QStringList({"ParamAttribute(3,IMon,Unit,0)"})); // channel 0 serves all
        // The axis reads in milli- or kilo-amps, blank before the unit (the trace graph's tests read the labels).
        QCOMPARE(QStringList({r.graph().axisCaption(0), r.graph().axisFormat(0), r.graph().traceLabel(0), r.graph().traceUnit(0)}),
                 QStringList({"IMon (A)", " k\"A\"", "Bd 3 Ch 7 VDD IMon", "A"}));
        QCOMPARE(r.graph().contextMenuPolicy(), Qt::ActionsContextMenu); // the view keys, the saves
        const QList<QAction *> actions = r.graph().actions();
        QCOMPARE(collect(actions.size(), [&](int i) { return actions[i]->objectName(); }),
                 QStringList({"mZoomIn", "mZoomOut", "mPanLeft", "mPanRight", "mFollow", "", "mSaveImage", "mSaveCsv", "mSaveHistory", "", "mPrintColours"}));
    }

    void checkBoxesShowChannelsInTheirColours()
    {
        BoardGraphRig r;
        QCOMPARE(collect(7, [&](int i) { return r.box(i)->text(); }),
                 QStringList({"VDD", "VDDA", "VCCA", "VVDC", "VISET", "VPIN", "VDET"}));
        for (int i = 0; i < 7; ++i) {
            QVERIFY(r.box(i)->isChecked() && r.box(i)->font().bold());
            QCOMPARE(r.box(i)->palette().color(QPalette::Window), Lib::toQColor(Lib::paletteColor(i)));
            QCOMPARE(r.graph().traceColor(i), Lib::toQColor(Lib::paletteColor(i)));
        }
        QCOMPARE(r.traceNames(), QStringList({"0", "1", "2", "3", "4", "5", "6"}));
    }

    void tickReadsTheMacroChannelsBoardChannels()
    {
        BoardGraphRig r;
        r.window->show();
        r.window->activate();
        const QStringList calls = r.tick();
        QCOMPARE(calls.size(), 14);
        QCOMPARE(calls.mid(6, 2), QStringList({"ParamAttribute(3,IMon,Exp,10)", "ParamValue(3,IMon,10)"}));
        QCOMPARE(r.graph().traceValues(r.graph().traceIndex(QStringLiteral("3"))),
                 QVector<double>({10 * double(1e-3f)}));
        r.click(3); // off: no more reads of board channel 10
        QCOMPARE(r.graph().traceIndex(QStringLiteral("3")), -1);
        QVERIFY(!r.tick().contains(QStringLiteral("ParamValue(3,IMon,10)")));
        QCOMPARE(r.graph().traceValues(0).size(), 2);
        r.click(3); // on again: it starts empty and comes last; the others keep their history
        QCOMPARE(QList<qsizetype>({r.graph().traceValues(0).size(), r.graph().traceValues(6).size()}),
                 QList<qsizetype>({2, 0}));
        QCOMPARE(r.traceNames().last(), QStringLiteral("3"));
        QCOMPARE(r.tick().last(), QStringLiteral("ParamValue(3,IMon,10)"));
        QCOMPARE(r.graph().traceValues(6), QVector<double>({10 * double(1e-3f)}));
        QCOMPARE(r.graph().traceLabel(6), QStringLiteral("Bd 3 Ch 10 VVDC IMon"));
        for (int i = 0; i < 7; ++i)
            r.click(i);
        QCOMPARE(r.graph().traceCount(), 0);
        QVERIFY(r.tick().isEmpty());
        r.click(5);
        QCOMPARE(r.traceNames(), QStringList({"5"}));
        // Auto Scale off keeps the present range.
        auto *autoScale = r.window->findChild<QCheckBox *>(QStringLiteral("chkAutoScale"));
        QVERIFY(r.graph().axisAutoscale(0));
        QTest::mouseClick(autoScale, Qt::LeftButton, Qt::NoModifier, QPoint(6, 12));
        QVERIFY(!r.graph().axisAutoscale(0));
    }

    // The board is gone at a tick, or its unit cannot be read when the window becomes active:
    // the window says so once, closes, stops sampling and keeps no sample.
    void failuresTakeTheBoardRemovedPath_data()
    {
        QTest::addColumn<QString>("failOn");
        QTest::addColumn<bool>("atTick");
        QTest::newRow("tick") << "ParamValue(3,IMon,12)" << true;
        QTest::newRow("activation") << "ParamAttribute(3,IMon,Unit" << false;
    }
    void failuresTakeTheBoardRemovedPath()
    {
        QFETCH(QString, failOn);
        QFETCH(bool, atTick);
        BoardGraphRig r;
        r.window->show();
        r.hv.failOn << failOn;
        MsgBoxCatcher boxes;
        for (int i = 0; i < 2; ++i)
            atTick ? r.window->tick() : r.window->activate();
        QCOMPARE(boxes.said(), QStringList{"Attention|Board removed"}); // once
        QCOMPARE(boxes.shown[0].icon, QMessageBox::Critical);
        QVERIFY(!r.window->isVisible() && !r.window->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
        QVERIFY(r.graph().traceCount() == 0 || r.graph().traceValues(0).isEmpty()); // no sample kept
    }

    void resizeKeepsTheGraphBesideTheBoxes()
    {
        BoardGraphRig r;
        r.window->show();
        const QRect grown = r.graph().geometry().adjusted(0, 0, 200, 100);
        QVERIFY(grown.left() > r.box(6)->geometry().right());
        r.window->resize(r.window->size() + QSize(200, 100));
        QCOMPARE(r.graph().geometry(), grown);
        r.window->resize(40, 5); // too small: the graph is left alone
        QCOMPARE(r.graph().geometry(), grown);
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
        board.findChild<QTimer *>(QStringLiteral("Timer1"))->stop(); // the test ticks
        board.activate();
        board.tick();
        QVERIFY(board.graph()->traceValues(0).isEmpty());
        QTRY_COMPARE(board.graph()->traceValues(6).size(), 1);
        QCOMPARE(board.graph()->axisFormat(0), QStringLiteral(" k\"V\""));
        MsgBoxCatcher boxes;
        server.live()->failOn << QStringLiteral("ParamValue(1,IMon,10)"); // trace "3" of macro channel 1
        board.tick();
        QTRY_COMPARE(boxes.said(), QStringList{"Attention|Board removed"});
        QVERIFY(!board.isVisible());
        QCOMPARE(board.graph()->traceValues(0).size(), 1); // nothing of the failed tick
    }
};

QTEST_MAIN(TstGraph)
#include "tst_graph.moc"
