#include "frmq310graph.h"
#include "lib.h"
#include "plottingfixture.h"
#include "windowtag.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>

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
};

class TstQ310Graph : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Lib::InitTables(); }

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
        QCOMPARE(r.graph().contextMenuPolicy(), Qt::ActionsContextMenu); // with the two saves
        QCOMPARE(r.graph().actions().size(), 2);
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
        r.hv.clear();
        r.window->tick();
        QCOMPARE(r.hv.calls.size(), 14);
        QCOMPARE(r.hv.calls.mid(6, 2), QStringList({"ParamAttribute(3,IMon,Exp,10)", "ParamValue(3,IMon,10)"}));
        QCOMPARE(r.graph().traceValues(r.graph().traceIndex(QStringLiteral("3"))),
                 QVector<double>({10 * double(1e-3f)}));

        r.click(3); // off: no more reads of board channel 10
        QCOMPARE(r.graph().traceIndex(QStringLiteral("3")), -1);
        r.hv.clear();
        r.window->tick();
        QVERIFY(r.hv.callsStartingWith(QStringLiteral("ParamValue(3,IMon,10)")).isEmpty());
        QCOMPARE(r.graph().traceValues(0).size(), 2);

        r.click(3); // on again: it starts empty and comes last; the others keep their history
        QCOMPARE(QList<qsizetype>({r.graph().traceValues(0).size(), r.graph().traceValues(6).size()}),
                 QList<qsizetype>({2, 0}));
        QCOMPARE(r.traceNames().last(), QStringLiteral("3"));
        r.hv.clear();
        r.window->tick();
        QCOMPARE(r.hv.calls.last(), QStringLiteral("ParamValue(3,IMon,10)"));
        QCOMPARE(r.graph().traceValues(6), QVector<double>({10 * double(1e-3f)}));
        QCOMPARE(r.graph().traceLabel(6), QStringLiteral("Bd 3 Ch 10 VVDC IMon"));

        for (int i = 0; i < 7; ++i)
            r.click(i);
        QCOMPARE(r.graph().traceCount(), 0);
        r.hv.clear();
        r.window->tick();
        QVERIFY(r.hv.calls.isEmpty());
        r.click(5);
        QCOMPARE(r.traceNames(), QStringList({"5"}));

        // Auto Scale off keeps the present range.
        auto *autoScale = r.window->findChild<QCheckBox *>(QStringLiteral("chkAutoScale"));
        QVERIFY(r.graph().axisAutoscale(0));
        QTest::mouseClick(autoScale, Qt::LeftButton, Qt::NoModifier, QPoint(6, 12));
        QVERIFY(!r.graph().axisAutoscale(0));
    }

    // The board is gone at a tick, or its unit cannot be read when the window becomes active.
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
        QCOMPARE(boardRemovedFaults(boxes, *r.window, r.graph()), QString());
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
};

QTEST_MAIN(TstQ310Graph)
#include "tst_q310graph.moc"
