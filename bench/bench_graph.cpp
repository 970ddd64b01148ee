// Graph window at the history cap: 12 traces of 86 400 timestamped points each
// (a day at one point per second), the graph 800 x 500 pixels offscreen, its
// clock driven one second per tick, faster than real time. Prints, each with its
// goal: the time of one sampling tick (reads, append, autoscale, redraw), the
// process memory after one day and over three further days, and the time of a
// CSV export of the full day; and, for reference, a full replot. Two signals: a
// realistic one (slow drift with a little ripple) and a worst case whose every
// pixel column spans the whole axis. Then the archive: four graphs of twelve
// traces sampled once a second into it for a simulated week (the clock driven,
// the worker writing as it would), with the GUI thread's share per tick, the
// file's size per trace and day, a graph opened on a day of history, a day of
// twelve traces exported from the file, and memory over the week. Not a test:
// it only prints.
#include "archive.h"
#include "frmgraph.h"
#include "graphexport.h"
#include "hvpowersupply.h"
#include "lib.h"
#include "plotdrag.h"
#include "tracegraph.h"
#include "trendtable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

// A crate answering instantly, so what is measured is the graph. Each channel
// reads a sine of the given period (in samples) plus noise.
class WaveCrate : public HVPowerSupply
{
public:
    WaveCrate(double periodSamples, double noise)
        : m_period(periodSamples), m_noise(noise) {}

    void Login(const QString &, const QString &, qint32, const QString &) override {}
    void Logout() override {}
    void QuerySlots(QVariant *, QVariant *, QVariant *) override {}
    QVariant CrateProperty(const QString &) override { return {}; }
    QVariant ParamValue(qint16, const QString &, std::optional<qint16> ch) override
    {
        const int c = ch.value_or(0);
        m_seed = m_seed * 1103515245u + 12345u;
        const double noise = double((m_seed >> 16) & 0x7fff) / 32768.0 - 0.5;
        const double t = double(m_sample[c]++);
        return 1000 + 100 * c + 300 * std::sin(2 * M_PI * t / m_period + c) + m_noise * noise;
    }
    void SetParamValue(qint16, const QString &, qint16, const QVariant &) override {}
    QVariant ParamAttribute(qint16, const QString &, const QString &prop, std::optional<qint16> ch) override
    {
        if (prop == QLatin1String("Unit"))
            return ch.value_or(0) % 2 ? QStringLiteral("A") : QStringLiteral("V");
        return 0;
    }
    QString ChannelName(qint16, qint16 ch) override { return QStringLiteral("CH%1").arg(ch); }
    void SetChannelName(qint16, qint16, const QString &) override {}
    QStringList ListChannelParams(qint16, qint16) override { return {}; }

private:
    double m_period;            // samples per period of the sine
    double m_noise;             // peak-to-peak noise
    quint32 m_seed = 1;         // noise generator state
    quint64 m_sample[16] = {};  // samples read per channel
};

double rssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Median CPU time of this thread in ms: other processes on a busy machine do not count.
template <typename F>
double medianMs(int runs, F &&f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double start = threadCpuMs();
        f();
        ms.push_back(threadCpuMs() - start);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

constexpr int Traces = 12;
constexpr int Day = TraceGraph::DefaultHistoryLimit;
constexpr double TickGoalMs = 5;
constexpr double DayOneGoalMiB = 80;
constexpr double FlatGoalMiB = 4; // spread of RSS over days 2 to 4: 5 % of the day-one budget
constexpr double CsvGoalMs = 2000;

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void run(const char *title, double periodSamples, double noise, bool realistic)
{
    std::printf("\n== %s ==\n", title);
    const double rssStart = rssMiB();
    WaveCrate crate(periodSamples, noise);
    QTreeWidget source; // drops must come from the picker's tree
    source.setObjectName(QStringLiteral("tvSysTree"));
    frmGraph window(crate);
    qint64 nowMs = QDateTime(QDate(2026, 3, 14), QTime(0, 0)).toMSecsSinceEpoch();
    window.setClock([&nowMs] { return nowMs; });
    const auto tick = [&] {
        nowMs += 1000;
        window.tick();
    };
    for (int i = 0; i < Traces; ++i) {
        std::unique_ptr<QMimeData> data(
            PlotDrag::encode({0, qint16(i), QStringLiteral("VMon"), QStringLiteral("tvSysTree")}));
        window.acceptDrop(&source, data.get());
    }
    TraceGraph &graph = *window.graph();
    window.show();
    QApplication::processEvents();
    window.resize(173 + 800, window.height() - window.centralWidget()->height() + 500);
    QApplication::processEvents();

    // A day of samples with autoscale on, as an operator has it, then three more days.
    const double fillStart = threadCpuMs();
    for (int i = 0; i < Day; ++i)
        tick();
    const double fillMs = threadCpuMs() - fillStart;
    const double rssDayOne = rssMiB();
    double rssMax = 0, rssMin = 1e9;
    std::vector<double> rssDays;
    for (int day = 0; day < 3; ++day) {
        for (int i = 0; i < Day; ++i) {
            tick();
            if (i % 3600 == 0) {
                rssMax = std::max(rssMax, rssMiB());
                rssMin = std::min(rssMin, rssMiB());
            }
        }
        rssDays.push_back(rssMiB());
    }

    const double replot = medianMs(21, [&] { graph.replotNow(); });
    const double tickMs = medianMs(21, [&] {
        tick();
        graph.replotNow();
    });
    const double tickOnly = medianMs(21, tick);

    std::printf("graph %dx%d px, %d traces on %d value axes, %d timestamped points kept per trace (cap %d)\n",
                graph.width(), graph.height(), graph.traceCount(), graph.valueAxisCount(),
                int(graph.traceTimes(0).size()), Day);
    // The goals hold for the realistic signal; the worst case is printed for reference.
    std::printf("tick at the cap (append + redraw): %7.2f ms   goal < %.0f ms: %s  (thread CPU, median of 21)\n",
                tickMs, TickGoalMs, realistic ? verdict(tickMs < TickGoalMs) : "not set for this signal");
    std::printf("  of which reads, append and autoscale %.3f ms; full replot %.2f ms; ratio tick / goal %.2f\n",
                tickOnly, replot, tickMs / TickGoalMs);
    std::printf("sampling without redraw:           %7.2f us per tick over the first day\n", fillMs * 1e3 / Day);
    if (!realistic)
        return;

    std::printf("RSS after day 1:                   %7.1f MiB  goal < %.0f MiB: %s  (%.1f MiB before the window)\n",
                rssDayOne, DayOneGoalMiB, verdict(rssDayOne < DayOneGoalMiB), rssStart);
    std::printf("RSS after days 2, 3, 4:            %.1f, %.1f, %.1f MiB; spread over days 2 to 4 %.1f MiB  "
                "goal < %.0f MiB: %s\n",
                rssDays[0], rssDays[1], rssDays[2], rssMax - rssMin, FlatGoalMiB,
                verdict(rssMax - rssMin < FlatGoalMiB));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    QElapsedTimer wall;
    wall.start();
    const bool saved = window.exporter().saveCsv(path);
    const double csvMs = double(wall.nsecsElapsed()) / 1e6;
    std::printf("CSV export of the full day:        %7.0f ms   goal < %.0f ms: %s  (wall time, %.1f MiB%s)\n", csvMs,
                CsvGoalMs, verdict(saved && csvMs < CsvGoalMs), double(QFile(path).size()) / (1 << 20),
                saved ? "" : ", NOT WRITTEN");
}

constexpr int Graphs = 4;
const int Week = qEnvironmentVariableIntValue("BENCH_DAYS") > 1 ? qEnvironmentVariableIntValue("BENCH_DAYS") : 7; // days simulated
constexpr double HandOverGoalMs = 0.1;
constexpr double SizeGoalMiB = 1.5;
constexpr double OpenGoalMs = 300;
constexpr double LongestWaitGoalMs = 50;

qint64 fileBytes(const QString &path)
{
    qint64 bytes = 0;
    for (const char *suffix : {"", "-wal", "-shm"})
        bytes += QFileInfo(path + QLatin1String(suffix)).size();
    return bytes;
}

void runArchive()
{
    std::printf("\n== archive: %d graphs x %d traces, one sample a second for %d simulated days ==\n", Graphs, Traces, Week);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pylonet.sqlite"));
    Archive archive({path, 90});
    TrendTable &trends = archive.add(std::make_unique<TrendTable>());
    archive.start();
    const QString crateAddress = QStringLiteral("127.0.0.1");
    std::vector<TrendKey> keys;
    for (int g = 0; g < Graphs; ++g)
        for (int k = 0; k < Traces; ++k)
            keys.push_back({crateAddress, qint16(g), qint16(k), QStringLiteral("VMon")});

    // What a graph's tick hands to the archive on the GUI thread: one record per trace.
    const qint64 dayMs = qint64(Day) * 1000;
    const qint64 start = (QDateTime::currentMSecsSinceEpoch() - Week * dayMs) / 1000 * 1000;
    double handOverMs = 0, writeWaitMs = 0;
    std::vector<double> rssDays;
    for (qint64 s = 0; s < qint64(Week) * Day; ++s) {
        const qint64 at = start + s * 1000;
        const double t0 = threadCpuMs();
        for (size_t i = 0; i < keys.size(); ++i)
            trends.record(keys[i], at, 1000 + 100 * double(i % Traces) + 300 * std::sin(double(s) / 3600 + double(i)));
        handOverMs += threadCpuMs() - t0;
        // The simulated clock runs thousands of times faster than the worker's flushes: wait for it each hour.
        if (s % 3600 == 3599) {
            QElapsedTimer w;
            w.start();
            archive.writeNow(60000);
            writeWaitMs += double(w.nsecsElapsed()) / 1e6;
        }
        if (s % Day == Day - 1)
            rssDays.push_back(rssMiB());
    }
    archive.writeNow(60000);
    const double perTick = handOverMs / (double(Week) * Day * Graphs);
    std::printf("GUI-thread cost of archiving, per graph tick: %7.4f ms  goal < %.1f ms: %s  (%d records, thread CPU, "
                "ratio %.2f)\n",
                perTick, HandOverGoalMs, verdict(perTick < HandOverGoalMs), Traces, perTick / HandOverGoalMs);
    const double perTraceDay = double(fileBytes(path)) / (1 << 20) / (double(keys.size()) * Week);
    std::printf("archive size per trace per day:   %7.3f MiB  goal < %.1f MiB: %s  (file %.0f MiB for %zu traces x %d "
                "days, ratio %.2f)\n",
                perTraceDay, SizeGoalMiB, verdict(perTraceDay < SizeGoalMiB), double(fileBytes(path)) / (1 << 20),
                keys.size(), Week, perTraceDay / SizeGoalMiB);
    std::printf("worker keeping up: %.1f s of writing for the simulated week (%.2f ms a simulated hour)\n",
                writeWaitMs / 1000, writeWaitMs / (Week * 24));
    double lo = 1e9, hi = 0;
    for (double r : rssDays) {
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    std::printf("RSS at the end of each day:");
    for (double r : rssDays)
        std::printf(" %.1f", r);
    std::printf(" MiB; spread over days 2 to %d %.1f MiB  goal: flat (< %.0f MiB): %s\n", Week,
                *std::max_element(rssDays.begin() + 1, rssDays.end()) - *std::min_element(rssDays.begin() + 1, rssDays.end()),
                FlatGoalMiB,
                verdict(*std::max_element(rssDays.begin() + 1, rssDays.end())
                            - *std::min_element(rssDays.begin() + 1, rssDays.end()) < FlatGoalMiB));

    // A graph opened on the last day: twelve traces, each with its day of history from the file.
    WaveCrate crate(6 * 3600, 6);
    crate.session().up(crateAddress);
    QTreeWidget source;
    source.setObjectName(QStringLiteral("tvSysTree"));
    const qint64 end = start + qint64(Week) * dayMs;
    QElapsedTimer open;
    open.start();
    const double openCpu = threadCpuMs();
    frmGraph window(crate);
    window.setClock([end] { return end; });
    window.setTrends(&trends);
    window.findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
    for (int i = 0; i < Traces; ++i) {
        std::unique_ptr<QMimeData> data(PlotDrag::encode({0, qint16(i), QStringLiteral("VMon"), QStringLiteral("tvSysTree")}));
        window.acceptDrop(&source, data.get());
    }
    const auto full = [&window] {
        for (int k = 0; k < window.graph()->traceCount(); ++k)
            if (window.graph()->tracePointCount(k) < Day)
                return false;
        return window.graph()->traceCount() == Traces;
    };
    while (!full() && open.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    window.show();
    window.graph()->replotNow();
    const double openMs = double(open.nsecsElapsed()) / 1e6;
    const double openGuiMs = threadCpuMs() - openCpu;
    std::printf("graph opened with a day of history: %6.0f ms   goal < %.0f ms: %s  (%d traces x %d points, wall time "
                "to drawn, of which %.0f ms on the GUI thread; ratio %.2f)\n",
                openMs, OpenGoalMs, verdict(full() && openMs < OpenGoalMs), Traces, int(window.graph()->traceTimes(0).size()),
                openGuiMs, openMs / OpenGoalMs);

    // A day of the twelve traces from the file, the GUI thread's longest wait measured by a 5 ms timer.
    QElapsedTimer beatClock;
    qint64 last = 0, longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longest = std::max(longest, beatClock.elapsed() - last);
        last = beatClock.elapsed();
    });
    const QString csv = dir.filePath(QStringLiteral("day.csv"));
    beat.start(5);
    beatClock.start();
    const bool saved = window.exporter().saveHistoryCsv(csv, end - dayMs, end);
    const double csvMs = double(beatClock.nsecsElapsed()) / 1e6;
    beat.stop();
    std::printf("CSV of a day of 12 traces from the archive: %6.0f ms  goal < %.0f ms: %s; longest GUI wait %lld ms  "
                "goal <= %.0f ms: %s  (%.1f MiB%s)\n",
                csvMs, CsvGoalMs, verdict(saved && csvMs < CsvGoalMs), longest, LongestWaitGoalMs,
                verdict(longest <= LongestWaitGoalMs), double(QFile(csv).size()) / (1 << 20), saved ? "" : ", NOT WRITTEN");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Lib::InitTables();
    // "archive": only the archive's figures.
    if (QCoreApplication::arguments().value(1) != QLatin1String("archive")) {
        run("realistic: 6-hour drift, 1% ripple", 6 * 3600, 6, true);
        run("worst case: every pixel column spans the axis", 40, 40, false);
    }
    runArchive();
    return 0;
}
