// How soon the screen answers the operator, over the network client to the
// simulator at a given latency, with the main window and every panel of the
// default crate open:
//  - OK in the connection dialog -> every slot button captioned;
//  - a slot button's click -> the panel's first values;
//  - a parameter dropped on a graph -> its first sample;
//  - a board pulled -> its panel's "Board removed.".
// Each beside the goal of two round trips + 50 ms. Then, with the crate
// overloaded (1 ms of service per call), every window's refresh period and
// what the status line says.
//
//   bench_response [latency ms ...]   (default 10 100)
// Not a test: it only prints.
#include "benchkit.h"
#include "boardpanel.h"
#include "frmgraph.h"
#include "frmlogin.h"
#include "main_window.h"
#include "msgbox.h"
#include "netclient.h"
#include "plotdrag.h"
#include "simcrate.h"
#include "simserver.h"
#include "tracegraph.h"
#include "windowtag.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {
using namespace BenchKit;




QString said; // the last message box's text

struct Rig
{
    SimServerThread server;
    NetClient *client;
    Main main;

    explicit Rig(double latencyMs, double serviceMs = 0)
        : client(new NetClient(server.port())), main(std::unique_ptr<HVPowerSupply>(client))
    {
        server.setLatencyMs(latencyMs);
        server.setServiceTimeMs(serviceMs);
        main.show();
    }
    // "&Connect" and OK to the simulator: the time until every slot is captioned.
    double connect()
    {
        main.mConnectClick();
        frmLogin *login = main.loginDialog();
        const QStringList parts = server.address().split('.');
        for (int i = 0; i < 4; ++i)
            login->findChild<QLineEdit *>(QStringLiteral("eIP_%1").arg(i))->setText(parts[i]);
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        waitMs([this] {
            return main.findChild<QPushButton *>(QStringLiteral("bSlot_15"))->text().startsWith("Slot 15 -");
        });
        return double(t.nsecsElapsed()) / 1e6;
    }
    double roundTrip()
    {
        std::vector<double> ms;
        for (int i = 0; i < 9; ++i) {
            QElapsedTimer t;
            t.start();
            client->ParamValue(0, QStringLiteral("VMon"), qint16(0));
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        return median(ms);
    }
    // A slot button's click: the time until its panel has shown its first values.
    double open(int slot)
    {
        QElapsedTimer t;
        t.start();
        main.bSlotClick(slot);
        waitMs([slot] {
            auto *p = qobject_cast<BoardPanel *>(findWindowByTag(QStringLiteral("Mon%1").arg(slot)));
            return p && !p->firstRefresh();
        });
        return double(t.nsecsElapsed()) / 1e6;
    }
};

struct Response
{
    double latency = 0, roundTrip = 0, connect = 0, reconnect = 0, click = 0, drop = 0, pull = 0;
};

Response measure(double latencyMs)
{
    Response r;
    r.latency = latencyMs;
    Rig rig(latencyMs);
    r.connect = rig.connect();
    // Again, to the crate met just now: the same two exchanges.
    rig.main.mDisconnectClick();
    r.reconnect = rig.connect();
    r.roundTrip = rig.roundTrip();
    std::vector<double> clicks;
    const QVariantList models = rig.server.crate().slotModels();
    for (int slot = 0; slot < models.size(); ++slot)
        if (rig.main.modelTable().isSupportedModel(models[slot].toString()))
            clicks.push_back(rig.open(slot));
    r.click = median(clicks);

    QTreeWidget picker;
    picker.setObjectName(QStringLiteral("tvSysTree"));
    std::vector<double> drops;
    for (int i = 0; i < 5; ++i) {
        rig.main.openGraphWindow();
        frmGraph *graph = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *g = qobject_cast<frmGraph *>(w); g && g->plots().Count() == 0)
                graph = g;
        std::unique_ptr<QMimeData> data(PlotDrag::encode({0, qint16(i), QStringLiteral("VMon"), picker.objectName()}));
        QElapsedTimer t;
        t.start();
        graph->acceptDrop(&picker, data.get());
        waitMs([graph] { return graph->graph()->traceCount() > 0 && !graph->graph()->traceValues(0).isEmpty(); });
        drops.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    r.drop = median(drops);

    // Pulled at random moments of the second: the first answer of any window that shows it tells the panel.
    std::vector<double> pulls;
    for (int i = 0; i < 11; ++i) {
        runFor(113 + 211 * i % 997);
        said.clear();
        QElapsedTimer t;
        t.start();
        rig.server.pullBoard(13);
        waitMs([] { return said == QLatin1String("Board removed."); });
        pulls.push_back(double(t.nsecsElapsed()) / 1e6);
        rig.server.insertBoard(13);
        runFor(1500);
        rig.open(13);
    }
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        for (double p : pulls)
            std::printf("pull %.0f ms\n", p);
    r.pull = median(pulls);
    return r;
}

// The crate overloaded: every window's refresh period over a while, and the status line.
void overload(double serviceMs, int seconds)
{
    Rig rig(1, serviceMs);
    rig.connect();
    const QVariantList models = rig.server.crate().slotModels();
    std::vector<QPointer<BoardPanel>> panels;
    for (int slot = 0; slot < models.size(); ++slot)
        if (rig.main.modelTable().isSupportedModel(models[slot].toString())) {
            rig.open(slot);
            panels.emplace_back(qobject_cast<BoardPanel *>(findWindowByTag(QStringLiteral("Mon%1").arg(slot))));
        }
    runFor(5000); // the gate learns the crate's pace
    std::map<const QObject *, std::vector<qint64>> refreshes; // when each panel's answers came
    QElapsedTimer clock;
    clock.start();
    for (const auto &p : panels)
        QObject::connect(p, &BoardPanel::refreshed, p,
                         [&refreshes, &clock, w = p.data()] { refreshes[w].push_back(clock.elapsed()); });
    runFor(seconds * 1000);
    std::vector<double> periods;
    for (const auto &p : panels) {
        const std::vector<qint64> &at = refreshes[p.data()];
        periods.push_back(at.size() > 1 ? double(at.back() - at.front()) / double(at.size() - 1) : 1e9);
    }
    const double lo = *std::min_element(periods.begin(), periods.end());
    const double hi = *std::max_element(periods.begin(), periods.end());
    std::printf("  service %g ms: %zu panels refresh every %.0f..%.0f ms (spread %.0f %%, goal within 10 %%: %s);"
                " status line: \"%s\"\n",
                serviceMs, panels.size(), lo, hi, 100 * (hi - lo) / lo, hi <= 1.1 * lo ? "met" : "MISSED",
                qPrintable(rig.main.paceStatus()));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    MsgBox::setInterceptor([](const QString &, const QString &text, QMessageBox::Icon, const QString &) { said = text; });
    const QStringList args = QApplication::arguments();
    std::vector<double> latencies;
    for (int i = 1; i < args.size(); ++i)
        latencies.push_back(args[i].toDouble());
    if (latencies.empty())
        latencies = {10, 100};

    std::printf("Response to the operator with every panel of the default crate open\n\n");
    std::printf("| Latency | Round trip | Goal (2 RT + 50 ms) | OK -> slot captions, first contact / crate met before | Click -> first panel values |"
                " Drop -> first sample | Pull -> \"Board removed.\" |\n|---|---|---|---|---|---|---|\n");
    for (double l : latencies) {
        const Response r = measure(l);
        const double goal = 2 * r.roundTrip + 50;
        auto cell = [goal](double ms) {
            return QStringLiteral("%1 ms %2").arg(ms, 0, 'f', 0).arg(ms < goal ? "met" : "MISSED");
        };
        std::printf("| %g ms | %.1f ms | %.0f ms | %s | %s | %s | %s |\n", l, r.roundTrip, goal, qPrintable(cell(r.connect) + " / " + cell(r.reconnect)),
                    qPrintable(cell(r.click)), qPrintable(cell(r.drop)), qPrintable(cell(r.pull)));
        std::fflush(stdout);
    }
    std::printf("\nThe crate overloaded (1 ms link):\n");
    overload(1.0, 40);
    return 0;
}
