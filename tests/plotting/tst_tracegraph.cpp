// The trace graph: a bounded history and a view that follows it, tick and time
// labels, the readout. A graph's samples outlive its window: a new graph of the
// same trace shows them at once, whether the first window was closed, closed by
// a pulled board, the program restarted, or the file could not be written; and
// a period of the archive larger than the graph's memory is saved as CSV with
// the GUI thread never held up for more than 50 ms.
#include "../archive/shelf.h"
#include "frmgraph.h"
#include "graphexport.h"
#include "plottingfixture.h"
#include "stallprobe.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

namespace {
constexpr qint64 Second = 1000, Hour = 3600 * Second;

// Whole seconds a few hours ago: recent enough for the retention, old enough to be history.
qint64 hoursAgo(int n)
{
    return (QDateTime::currentMSecsSinceEpoch() - n * Hour) / 1000 * 1000;
}

struct HistoryRig
{
    QTemporaryDir dir;
    FakeHV hv;
    std::unique_ptr<Shelf> shelf;
    qint64 now = hoursAgo(2);
    int reads = 0; // makes each sample differ from the last

    explicit HistoryRig(const QString &file = QStringLiteral("pylonet.sqlite"))
    {
        writeFile(dir.filePath(QStringLiteral("blocked"))); // a file where a folder would be: nothing there is written
        fillPlottingCrate(hv);
        hv.paramValue = [this](qint16, const QString &, std::optional<qint16>) { return QVariant(1000 + ++reads); };
        hv.session().up(QStringLiteral("127.0.0.1"));
        open(file);
    }
    void open(const QString &file) { shelf = std::make_unique<Shelf>(dir.filePath(file)); }
    std::unique_ptr<frmGraph> graph(const QString &par = QStringLiteral("VMon"))
    {
        auto g = std::make_unique<frmGraph>(hv);
        g->setClock([this] { return now; });
        g->findChild<QTimer *>(QStringLiteral("Timer1"))->stop(); // the test ticks
        g->setTrends(&shelf->trends);
        g->addParameter({1, 0, par, QStringLiteral("tvSysTree")}); // sampled once at once
        now += 1000;
        return g;
    }
    void ticks(frmGraph &g, int n)
    {
        for (int i = 0; i < n; ++i, now += 1000)
            g.tick();
    }
};
} // namespace

class TstTraceGraph : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Lib::InitTables(); }

    void historyIsBoundedAndTheViewWidens()
    {
        TraceGraph g;
        g.setClock([] { return Noon; });
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        g.setHistoryLimit(100);
        QCOMPARE(QList<qint64>({g.viewStart(), g.viewEnd()}), QList<qint64>({Noon, Noon + 60 * Second}));
        for (int i = 0; i < 30; ++i)
            g.appendPoints({double(i)}, Noon + i * Second);
        QCOMPARE(g.viewEnd(), Noon + 60 * Second); // the first minute keeps its span
        for (int i = 30; i < 250; ++i)
            g.appendPoints({double(i)}, Noon + i * Second);
        const QVector<qint64> times = g.traceTimes(0);
        QCOMPARE(QList<qint64>({times.size(), times.first(), times.last()}),
                 QList<qint64>({100, Noon + 150 * Second, Noon + 249 * Second}));
        QCOMPARE(g.traceValues(0).first(), 150.0);
        QCOMPARE(QList<qint64>({g.viewStart(), g.viewEnd()}),
                 QList<qint64>({Noon + 150 * Second, Noon + 249 * Second}));
        // Autoscale fits the samples in view: the kept ones, or those of a zoomed stretch.
        g.setAxisAutoscale(0, true);
        QVERIFY(g.axisLower(0) > 140 && g.axisLower(0) < 150 && g.axisUpper(0) > 249 && g.axisUpper(0) < 260);
        g.showTimeRange(Noon + 200 * Second, Noon + 210 * Second);
        QVERIFY(g.axisLower(0) > 199 && g.axisLower(0) < 200 && g.axisUpper(0) > 210 && g.axisUpper(0) < 211);
        g.followNewest();
        // A clock that steps back does not reorder the history.
        g.appendPoints({1}, Noon);
        QCOMPARE(g.traceTimes(0).last(), Noon + 249 * Second + 1);
    }

    void zoomStopsFollowingUntilDoubleClickOrANewTrace()
    {
        TraceGraph g;
        g.resize(400, 300);
        g.show();
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        for (int i = 0; i < 100; ++i)
            g.appendPoints({double(i)}, Noon + i * Second);
        QVERIFY(g.isFollowing());
        auto *plot = g.findChild<QWidget *>();
        const QPointF at(200, 150);
        auto zoomIn = [&] {
            QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(plot, &wheel);
        };
        zoomIn();
        QVERIFY(!g.isFollowing());
        const qint64 end = g.viewEnd();
        QVERIFY(end - g.viewStart() < 99 * Second);
        g.appendPoints({1}, Noon + 100 * Second);
        QCOMPARE(g.viewEnd(), end); // the operator's view stays put
        QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, at.toPoint());
        QVERIFY(g.isFollowing());
        QCOMPARE(g.viewEnd(), Noon + 100 * Second);
        zoomIn();
        g.addTrace(QStringLiteral("b"), 0, Qt::red); // a new trace brings the newest samples back
        QVERIFY(g.isFollowing());
        QCOMPARE(QList<qint64>({g.viewStart(), g.viewEnd()}), QList<qint64>({Noon, Noon + 100 * Second}));
    }

    // Neighbouring tick labels never read the same, and carry no digit more than that takes.
    void tickLabelsTellNeighboursApart_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QString>("expected"); // when not empty: the labels, blank-separated
        QTest::newRow("drift of 0.2 V at 1.5 kV") << "k\"V\"" << 1499.9 << 1500.1
                                                  << "1.4999kV 1.49995kV 1.5kV 1.50005kV 1.5001kV";
        QTest::newRow("0 to 3 kV") << "k\"V\"" << 0.0 << 3000.0 << "0V 500V 1kV 1.5kV 2kV 2.5kV 3kV";
        QTest::newRow("board graph, blank") << " k\"V\"" << 1000.0 << 1000.004 << "";
        QTest::newRow("no unit") << "k\"\"" << 99.99 << 100.01 << "";
        QTest::newRow("pico") << "k\"A\"" << 1.2e-12 << 1.2001e-12 << "";
        QTest::newRow("nano") << "k\"A\"" << 47e-9 << 47.0001e-9 << "";
        QTest::newRow("micro") << "k\"A\"" << 150e-6 << 150.01e-6 << "";
        QTest::newRow("milli") << "k\"A\"" << 1.5e-3 << 1.50002e-3 << "";
        QTest::newRow("kilo, wide") << "k\"V\"" << -2000.0 << 8000.0 << "";
        QTest::newRow("mega") << "k\"V\"" << 2.2e6 << 2.2001e6 << "";
        QTest::newRow("giga") << "k\"V\"" << 1e9 << 1.00001e9 << "";
        QTest::newRow("tera") << "k\"V\"" << 3e12 << 3.0001e12 << "";
        QTest::newRow("across prefixes") << "k\"A\"" << -5e-4 << 5e-4 << "";
    }
    void tickLabelsTellNeighboursApart()
    {
        QFETCH(QString, format);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QString, expected);
        TraceGraph g;
        g.resize(400, 300);
        g.setAxisFormat(0, format);
        g.setAxisAutoscale(0, true);
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        g.appendPoints({low}, Noon);
        g.appendPoints({high}, Noon + Second);
        g.replotNow();
        const QStringList labels = g.axisTickLabels(0);
        QVERIFY2(labels.size() >= 3, qPrintable(labels.join(' ')));
        for (qsizetype i = 1; i < labels.size(); ++i)
            QVERIFY2(labels[i] != labels[i - 1], qPrintable(labels.join(' ')));
        if (!expected.isEmpty())
            QCOMPARE(labels.join(' '), expected);
    }

    void timeLabelsAreClockTimeWithTheDateAcrossMidnight()
    {
        TraceGraph g;
        g.resize(600, 300);
        g.showTimeRange(Noon, Noon + 4 * 60 * Second);
        g.replotNow();
        const QStringList day = g.timeTickLabels();
        QVERIFY2(day.contains(QStringLiteral("12:02:00")), qPrintable(day.join(' ')));
        QVERIFY(day.filter(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))).size() == day.size());
        const qint64 midnight = QDateTime(QDate(2026, 3, 15), QTime(0, 0)).toMSecsSinceEpoch();
        g.showTimeRange(midnight - 3 * 60 * Second, midnight + 3 * 60 * Second);
        g.replotNow();
        const QStringList night = g.timeTickLabels();
        QVERIFY2(night.filter(QStringLiteral("\n2026-03-14")).size() == 1, qPrintable(night.join(' ')));
        QVERIFY2(night.contains(QStringLiteral("00:00:00\n2026-03-15")), qPrintable(night.join(' ')));
    }

    // However wide the window, long the span or large the font, no two time labels overlap.
    void timeLabelsNeverOverlap_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<int>("points");
        for (int width : {300, 545, 1200})
            for (qint64 span : {90 * Second, 3600 * Second, 86400 * Second, 3 * 86400 * Second})
                for (int points : {9, 16})
                    QTest::newRow(qPrintable(QStringLiteral("%1 px, %2 s, %3 pt").arg(width).arg(span / Second).arg(points)))
                        << width << span << points;
    }
    void timeLabelsNeverOverlap()
    {
        QFETCH(int, width);
        QFETCH(qint64, span);
        QFETCH(int, points);
        TraceGraph g;
        QFont f = g.font();
        f.setPointSize(points);
        g.setFont(f);
        g.resize(width, 300);
        g.show();
        g.showTimeRange(Noon - span / 2, Noon + span / 2);
        g.replotNow();
        const QFontMetrics fm(g.timeTickFont());
        const auto ticks = g.timeTicks();
        QVERIFY2(!ticks.isEmpty(), qPrintable(g.timeTickLabels().join(' ')));
        double right = -1e9;
        for (const auto &[x, label] : ticks) {
            int w = 0;
            for (const QString &line : label.split('\n'))
                w = std::max(w, fm.horizontalAdvance(line));
            QVERIFY2(x - w / 2.0 > right, qPrintable(label));
            right = x + w / 2.0;
        }
    }

    void readoutShowsEachTraceAtTheMouseTime()
    {
        TraceGraph g;
        g.resize(600, 300);
        g.show();
        g.setAxisFormat(0, QStringLiteral("k\"V\""));
        g.addTrace(QStringLiteral("a"), 0, Qt::green);
        g.setTraceLabel(0, QStringLiteral("Bd 1 Ch 0 VMon"), QStringLiteral("V"));
        const int amps = g.addValueAxis(QStringLiteral("k\"A\""));
        for (int i = 0; i < 10; ++i)
            g.appendPoints({1500 + 0.01 * i}, Noon + i * Second);
        g.addTrace(QStringLiteral("b"), amps, Qt::red);
        for (int i = 10; i < 20; ++i)
            g.appendPoints({1500 + 0.01 * i, 2e-6 * i}, Noon + i * Second);
        // Each trace's latest sample at or before the time; none before the trace began.
        g.showReadout(Noon + 12 * Second + 500);
        const QString time = QDateTime::fromMSecsSinceEpoch(Noon + 12 * Second).toString("yyyy-MM-dd hh:mm:ss");
        QCOMPARE(g.readoutLines(), QStringList({time, "Bd 1 Ch 0 VMon  1.50012kV", "b  24uA"}));
        g.showReadout(Noon + 3 * Second);
        QCOMPARE(g.readoutLines().mid(1), QStringList({"Bd 1 Ch 0 VMon  1.50003kV", "b  no sample"}));
        g.setAxisAutoscale(amps, true); // a second axis fits its own trace
        QVERIFY(g.axisLower(amps) > 1e-5 && g.axisUpper(amps) < 4e-5);
        // The mouse over the plot area shows it, leaving the plot hides it.
        g.replotNow();
        auto *plot = g.findChild<QWidget *>();
        QTest::mouseMove(plot, QPoint(300, 150));
        QVERIFY(g.isReadoutShown());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(plot, &leave);
        QVERIFY(!g.isReadoutShown());
    }

    void aNewGraphShowsWhatTheArchiveKept_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("window closed") << "closed";
        QTest::newRow("board pulled") << "pulled";
        QTest::newRow("restart on the same file") << "restart";
        QTest::newRow("file cannot be written") << "unwritable";
    }
    void aNewGraphShowsWhatTheArchiveKept()
    {
        QFETCH(QString, how);
        HistoryRig r(how == "unwritable" ? QStringLiteral("blocked/pylonet.sqlite") : QStringLiteral("pylonet.sqlite"));
        auto first = r.graph();
        first->show();
        r.ticks(*first, 4);
        // Plotting goes on as ever, kept or not.
        const QVector<qint64> times = first->graph()->traceTimes(0);
        const QVector<double> values = first->graph()->traceValues(0);
        QCOMPARE(values, QVector<double>({1001, 1002, 1003, 1004, 1005}));
        if (how == "unwritable")
            QTRY_VERIFY(!r.shelf->archive.trouble().isEmpty());
        if (how == "pulled") {
            MsgBoxCatcher boxes;
            r.hv.failOn << QStringLiteral("ParamValue(1,VMon");
            first->tick();
            QCOMPARE(boxes.said(), QStringList{"Attention|Board removed"});
            QVERIFY(!first->isVisible()); // the window closes, as ever
            r.hv.failOn.clear();
        }
        first.reset();
        if (how == "restart") {
            r.shelf.reset(); // writes what waits and closes the file
            r.open(QStringLiteral("pylonet.sqlite"));
        }
        auto second = r.graph();
        QTRY_COMPARE(second->graph()->traceTimes(0).size(), times.size() + 1);
        QCOMPARE(second->graph()->traceTimes(0).mid(0, times.size()), times);
        QCOMPARE(second->graph()->traceValues(0).mid(0, times.size()), values);
        QVERIFY(second->graph()->traceTimes(0).last() > times.last()); // its own sample after them
    }

    // A day of twelve traces, far more than the graph keeps, read back from the file.
    void aPeriodLargerThanMemoryIsSavedAsCsv()
    {
        QTemporaryDir dir;
        Shelf shelf(dir.filePath(QStringLiteral("pylonet.sqlite")));
        constexpr int Traces = 12, Seconds = 24 * 3600;
        const qint64 from = hoursAgo(26);
        QWidget window;
        auto *graph = new TraceGraph(&window);
        graph->setHistoryLimit(60);
        GraphExport exporter(graph, &window);
        exporter.setTrends(&shelf.trends);
        for (int k = 0; k < Traces; ++k) {
            graph->addTrace(QString::number(k), 0, Qt::green);
            graph->setTraceKey(k, {QStringLiteral("127.0.0.1"), 1, k, QStringLiteral("VMon")});
            graph->setTraceLabel(k, QStringLiteral("Bd 1 Ch %1: CH%1 VMon").arg(k), QStringLiteral("V"));
        }
        for (int s = 0; s < Seconds; ++s) {
            for (int k = 0; k < Traces; ++k)
                shelf.trends.record(graph->traceKey(k), from + s * 1000LL, k * 1000 + s * 0.5);
            if (s % 3600 == 3599)
                QVERIFY(shelf.archive.writeNow(60000));
        }

        const QString csv = dir.filePath(QStringLiteral("day.csv"));
        StallProbe probe(5); // the GUI thread's turns while the file is written
        QVERIFY(exporter.saveHistoryCsv(csv, from, from + Seconds * 1000LL));
        QVERIFY2(probe.longest <= 50, qPrintable(QStringLiteral("the GUI thread waited %1 ms").arg(probe.longest)));

        const QStringList lines = QString::fromLatin1(readFile(csv)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), "time," + collect(Traces, [](int k) { return QStringLiteral("Bd 1 Ch %1: CH%1 VMon [V]").arg(k); }).join(','));
        QCOMPARE(lines.size(), Seconds + 1);
        for (int row = 0; row < Seconds; ++row) {
            const QStringList cells = lines[row + 1].trimmed().split(',');
            QCOMPARE(cells.size(), Traces + 1);
            if (row % 7919 == 0) { // a spread of rows, every cell
                QCOMPARE(QDateTime::fromString(cells[0], Qt::ISODateWithMs).toMSecsSinceEpoch(), from + row * 1000LL);
                for (int k = 0; k < Traces; ++k)
                    QCOMPARE(cells[k + 1].toDouble(), k * 1000 + row * 0.5);
            }
        }
    }
};

QTEST_MAIN(TstTraceGraph)
#include "tst_tracegraph.moc"
