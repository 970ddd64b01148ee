#include "fakehv.h"
#include "frmq310graph.h"
#include "lib.h"
#include "msgboxcatcher.h"
#include "tracegraph.h"
#include "windowtag.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
QStringList traceNames(const TraceGraph &g)
{
    QStringList out;
    for (int i = 0; i < g.traceCount(); ++i)
        out << g.traceName(i);
    return out;
}
} // namespace

// A board graph on a fake Q310 whose reads return the board channel number.
struct BoardGraphRig
{
    FakeHV hv;
    std::unique_ptr<frmQ310Graph> window;

    explicit BoardGraphRig(qint16 slot = 3, qint16 macro = 1, const QString &par = QStringLiteral("IMon"))
    {
        hv.setBoard(slot, QStringLiteral("Q310"), 14);
        hv.paramValue = [](qint16, const QString &, std::optional<qint16> ch) -> QVariant { return *ch; };
        hv.paramAttribute = [](qint16, const QString &, const QString &prop, std::optional<qint16>) -> QVariant {
            return prop == QLatin1String("Unit") ? QVariant(QStringLiteral("A")) : QVariant(-3);
        };
        window = std::make_unique<frmQ310Graph>(hv);
        setWindowTag(window.get(), frmQ310Graph::tagFor(slot, macro, par));
    }
    QCheckBox *box(int i) { return window->findChild<QCheckBox *>(QStringLiteral("chkCh_%1").arg(i)); }
    void click(int i) { QTest::mouseClick(box(i), Qt::LeftButton, Qt::NoModifier, QPoint(6, 8)); }
    TraceGraph &graph() { return *window->graph(); }
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
        QCOMPARE(windowTag(imon), QStringLiteral("Graph#3#1#IMon"));
        QCOMPARE(imon->windowTitle(), QStringLiteral("Q310 - IMon - Macro Channel 1 - Slot 3"));
        QVERIFY(imon->isVisible());
        QCOMPARE(frmQ310Graph::open(hv, 3, 1, QStringLiteral("IMon")), imon);

        frmQ310Graph *vmon0 = frmQ310Graph::open(hv, 3, 0, QStringLiteral("VMon"));
        frmQ310Graph *imon0 = frmQ310Graph::open(hv, 3, 0, QStringLiteral("IMon"));
        frmQ310Graph *vmon1 = frmQ310Graph::open(hv, 3, 1, QStringLiteral("VMon"));
        QCOMPARE(QSet<frmQ310Graph *>({imon, vmon0, imon0, vmon1}).size(), 4);
        QCOMPARE(frmQ310Graph::open(hv, 3, 0, QStringLiteral("VMon")), vmon0);

        for (frmQ310Graph *w : {imon, vmon0, imon0, vmon1})
            delete w;
    }

    void activationSetsTheValueAxis()
    {
        BoardGraphRig r;
        r.window->activate();
        QCOMPARE(r.hv.calls, QStringList({"ParamAttribute(3,IMon,Unit,0)"})); // channel 0 serves all
        QCOMPARE(r.graph().axisCaption(0), QStringLiteral("IMon"));
        QCOMPARE(r.graph().axisFormat(0), QStringLiteral(" k\"A\""));
        QCOMPARE(r.window->slot(), qint16(3));
        QCOMPARE(r.window->macroChannel(), qint16(1));

        r.window->resize(596, 333);
        r.window->tick();
        r.graph().replotNow();
        QVERIFY2(r.graph().axisTickLabels(0).join(' ').contains(QStringLiteral(" mA")),
                 qPrintable(r.graph().axisTickLabels(0).join(' ')));
    }

    void checkBoxesShowChannelsInTheirColours()
    {
        BoardGraphRig r;
        const QStringList labels{"VDD", "VDDA", "VCCA", "VVDC", "VISET", "VPIN", "VDET"};
        for (int i = 0; i < 7; ++i) {
            QCheckBox *b = r.box(i);
            QVERIFY(b);
            QCOMPARE(b->text(), labels[i]);
            QVERIFY(b->isChecked());
            QVERIFY(b->font().bold());
            QCOMPARE(b->palette().color(QPalette::Window), Lib::toQColor(Lib::paletteColor(i)));
            QCOMPARE(r.graph().traceColor(i), Lib::toQColor(Lib::paletteColor(i)));
        }
        QCOMPARE(traceNames(r.graph()), QStringList({"0", "1", "2", "3", "4", "5", "6"}));
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
        QCOMPARE(r.graph().traceKeys(0), QVector<double>({0, 1}));

        r.click(3); // on again: every shown trace starts over; the trace comes last
        QCOMPARE(r.graph().traceKeys(0), QVector<double>());
        QCOMPARE(traceNames(r.graph()).last(), QStringLiteral("3"));
        r.hv.clear();
        r.window->tick();
        QCOMPARE(r.hv.calls.last(), QStringLiteral("ParamValue(3,IMon,10)"));
        QCOMPARE(r.graph().traceValues(6), QVector<double>({10 * double(1e-3f)}));

        for (int i = 0; i < 7; ++i)
            r.click(i);
        QCOMPARE(r.graph().traceCount(), 0);
        r.hv.clear();
        r.window->tick();
        QVERIFY(r.hv.calls.isEmpty());
        r.click(5);
        QCOMPARE(traceNames(r.graph()), QStringList({"5"}));

        // Auto Scale off keeps the present range.
        auto *autoScale = r.window->findChild<QCheckBox *>(QStringLiteral("chkAutoScale"));
        QVERIFY(r.graph().axisAutoscale(0));
        QTest::mouseClick(autoScale, Qt::LeftButton, Qt::NoModifier, QPoint(6, 12));
        QVERIFY(!r.graph().axisAutoscale(0));
    }

    void failuresTakeTheBoardRemovedPath()
    {
        { // the board is gone at a tick
            BoardGraphRig r;
            r.window->show();
            r.hv.failOn << QStringLiteral("ParamValue(3,IMon,12)");
            MsgBoxCatcher boxes;
            r.window->tick();
            r.window->tick();
            QCOMPARE(boxes.shown.size(), 1);
            QCOMPARE(boxes.shown[0].title, QStringLiteral("Attention"));
            QCOMPARE(boxes.shown[0].text, QStringLiteral("Board removed"));
            QCOMPARE(boxes.shown[0].icon, QMessageBox::Critical);
            QVERIFY(!r.window->isVisible());
            QVERIFY(r.graph().traceValues(0).isEmpty());
            QVERIFY(!r.window->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
        }
        { // the unit cannot be read when the window becomes active
            BoardGraphRig r;
            r.window->show();
            r.hv.failOn << QStringLiteral("ParamAttribute(3,IMon,Unit");
            MsgBoxCatcher boxes;
            r.window->activate();
            r.window->activate();
            QCOMPARE(boxes.shown.size(), 1);
            QCOMPARE(boxes.shown[0].text, QStringLiteral("Board removed"));
            QVERIFY(!r.window->isVisible());
        }
    }

    void resizeKeepsTheGraphBesideTheBoxes()
    {
        BoardGraphRig r;
        r.window->show();
        QCOMPARE(r.graph().geometry(), QRect(68, 4, 525, 325));
        r.window->resize(800, 500);
        QCOMPARE(r.graph().geometry(), QRect(68, 4, 729, 492));
        r.window->resize(40, 5); // too small: the graph is left alone
        QCOMPARE(r.graph().geometry(), QRect(68, 4, 729, 492));
        QCOMPARE(r.box(6)->geometry(), QRect(4, 156, 61, 17));
    }
};

QTEST_MAIN(TstQ310Graph)
#include "tst_q310graph.moc"
