// A graph's samples outlive its window: a new graph of the same trace shows
// them at once, whether the first window was closed, closed by a pulled board,
// the program restarted, or the file could not be written; and a period of the
// archive larger than the graph's memory is saved as CSV with the GUI thread
// never held up for more than 50 ms.
#include "../archive/shelf.h"
#include "frmgraph.h"
#include "graphexport.h"
#include "plottingfixture.h"
#include "stallprobe.h"

#include <QTemporaryDir>

namespace {
constexpr qint64 Hour = 3600 * 1000;

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

class TstHistory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Lib::InitTables(); }

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

QTEST_MAIN(TstHistory)
#include "tst_history.moc"
