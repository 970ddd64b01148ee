#include "tracegraph.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

class TstTraceGraph : public QObject
{
    Q_OBJECT
private slots:
    void historyIsBoundedAndTheViewWidens()
    {
        TraceGraph g;
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        g.setHistoryLimit(100);
        QCOMPARE(g.xLower(), 0.0);
        QCOMPARE(g.xUpper(), 60.0);

        for (int i = 0; i < 30; ++i)
            g.appendPoints({double(i)});
        QCOMPARE(g.xUpper(), 60.0); // the first minute keeps its span

        for (int i = 30; i < 250; ++i)
            g.appendPoints({double(i)});
        const QVector<double> keys = g.traceKeys(0);
        QCOMPARE(keys.size(), 100);
        QCOMPARE(keys.first(), 150.0);
        QCOMPARE(keys.last(), 249.0);
        QCOMPARE(g.traceValues(0).first(), 150.0);
        QCOMPARE(g.xLower(), 150.0); // the whole kept history is in view
        QCOMPARE(g.xUpper(), 249.0);

        g.clearData();
        g.appendPoints({7});
        QCOMPARE(g.traceKeys(0), QVector<double>({0}));
    }

    void operatorZoomStopsFollowingUntilDoubleClick()
    {
        TraceGraph g;
        g.resize(400, 300);
        g.show();
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        for (int i = 0; i < 100; ++i)
            g.appendPoints({double(i)});
        QVERIFY(g.isFollowing());

        auto *plot = g.findChild<QWidget *>();
        QVERIFY(plot);
        const QPointF at(200, 150);
        QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &wheel);
        QVERIFY(!g.isFollowing());
        const double lower = g.xLower(), upper = g.xUpper();
        QVERIFY(upper - lower < 99);
        g.appendPoints({1});
        QCOMPARE(g.xUpper(), upper); // the operator's view stays put

        QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, at.toPoint());
        QVERIFY(g.isFollowing());
        QCOMPARE(g.xUpper(), 100.0);
    }

    void autoscaleAndTickLabels()
    {
        TraceGraph g;
        g.resize(400, 300);
        g.setAxisFormat(0, QStringLiteral("k\"V\""));
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        const int amps = g.addValueAxis(QStringLiteral("k\"A\""));
        g.addTrace(QStringLiteral("b"), amps, Qt::red);
        g.setAxisAutoscale(0, true);
        g.appendPoints({1000, 0.002});
        g.appendPoints({3000, 0.004});
        QVERIFY(g.axisLower(0) <= 1000 && g.axisUpper(0) >= 3000);
        QCOMPARE(g.axisLower(amps), 0.0); // not autoscaled: keeps its range
        QCOMPARE(g.axisUpper(amps), 10.0);

        g.setAxisAutoscale(amps, true);
        QVERIFY(g.axisUpper(amps) < 0.01);
        g.replotNow();
        const QStringList volts = g.axisTickLabels(0);
        QVERIFY(!volts.isEmpty());
        QVERIFY2(volts.contains(QStringLiteral("2kV")), qPrintable(volts.join(' ')));
        const QStringList milliamps = g.axisTickLabels(amps);
        QVERIFY2(milliamps.contains(QStringLiteral("3mA")), qPrintable(milliamps.join(' ')));
    }
};

QTEST_MAIN(TstTraceGraph)
#include "tst_tracegraph.moc"
