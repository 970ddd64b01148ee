// The connection as the open windows live it: a deliberate Disconnect leaves
// them open and quiet, the next Connect resumes or closes them, and a crate
// that stops answering never holds the screen. The windows of a session come
// back with their history: after a restart (every object rebuilt over the same
// database file and settings) through "Reopen last windows", and by themselves
// when a lost link is connected again. `--connect` asks only for the password;
// the dialog offers the crates connected to before.
#include "../archive/shelf.h"
#include "eventlog.h"
#include "frmgraph.h"
#include "msgboxcatcher.h"
#include "netclient.h"
#include "shelltest.h"
#include "simcrate.h"
#include "simserver.h"
#include "stallprobe.h"
#include "toplevels.h"
#include "tracegraph.h"

#include <QComboBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
// "&Connect" and OK, to this address.
void connectTo(ShellRig &rig, const QString &address)
{
    frmLogin *login = rig.openLogin();
    for (int i = 0; i < 4; ++i)
        login->findChild<QLineEdit *>(QStringLiteral("eIP_%1").arg(i))->setText(address.section('.', i, i));
    rig.connect();
}

// One run of the program on the database file: the archive outlives the main window.
struct Archived
{
    std::unique_ptr<Shelf> shelf; // goes after the main window
};
struct Run : Archived, ShellRig
{
    explicit Run(const QString &path) : Archived{std::make_unique<Shelf>(path)}, ShellRig(&shelf->archive)
    {
        fake->setBoard(2, QStringLiteral("Q310"), 14);
    }
};

// The one visible graph window, if there is exactly one.
frmGraph *theGraph()
{
    QList<QWidget *> found = topLevels("frmGraph");
    found.removeIf([](const QWidget *w) { return !w->isVisible(); });
    return found.size() == 1 ? qobject_cast<frmGraph *>(found.first()) : nullptr;
}
} // namespace

class TestSession : public QObject
{
    Q_OBJECT
    QTemporaryDir m_settings; // this test's own settings store

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }

    // No message after a deliberate Disconnect; the windows stay open, make no calls and say
    // they are not connected. The next Connect to the same crate resumes them if the slot
    // holds the same model; otherwise they close without a box, and the log says why.
    void aDisconnectIsQuietAndTheNextConnectDecides_data()
    {
        QTest::addColumn<QString>("lastAddressPart");
        QTest::addColumn<QString>("modelAfter");
        QTest::addColumn<QString>("closedWhy"); // empty: the windows resume
        QTest::newRow("same crate, same board") << "1" << "Q310" << "";
        QTest::newRow("same crate, another board") << "1" << "Q420" << "slot 2 holds a Q420 after the reconnect";
        QTest::newRow("same crate, slot empty") << "1" << "" << "slot 2 is empty after the reconnect";
        QTest::newRow("another crate") << "13" << "Q310" << "connected to another crate (127.0.0.13)";
    }
    void aDisconnectIsQuietAndTheNextConnectDecides()
    {
        QFETCH(QString, lastAddressPart);
        QFETCH(QString, modelAfter);
        QFETCH(QString, closedWhy);
        MsgBoxCatcher boxes;
        ShellRig rig;
        rig.fake->setBoard(2, "Q310", 14);
        connectTo(rig, "127.0.0.1");
        QPointer<BoardPanel> panel = openSlot(*rig.main, 2);
        rig.main->openGraphWindow();
        QPointer<frmGraph> graph = qobject_cast<frmGraph *>(topLevels("frmGraph").value(0));
        QVERIFY(panel && graph);

        rig.action("mDisconnect")->trigger(); // no box for it: none is shown up to the reconnect
        QVERIFY(panel->isVisible() && graph->isVisible() && panel->isVeiled() && panel->veilText().startsWith("Not connected"));
        rig.fake->clear();
        panel->ChMonTick();
        graph->tick();
        QCOMPARE(rig.fake->calls, QStringList());

        rig.fake->setBoard(2, modelAfter, modelAfter.isEmpty() ? 0 : 12);
        connectTo(rig, "127.0.0." + lastAddressPart);
        QVERIFY(boxes.shown.isEmpty());
        if (closedWhy.isEmpty()) {
            QVERIFY(panel && panel->isVisible() && !panel->isVeiled() && graph && graph->isVisible());
            QVERIFY(rig.fake->callsStartingWith("ParamValue(2,").size() > 100); // the panel read at once
            return;
        }
        QTRY_VERIFY(!panel || !panel->isVisible());
        const EventLog &log = rig.main->eventLog();
        const QStringList closed = collect(log.size(), [&log](int i) {
            return log.at(i).kind == EventLog::Kind::WindowClosed ? log.at(i).detail : QString(); // the windows closed
        });
        QVERIFY2(closed.filter("Slot 2 closed: " + closedWhy).size() == 1, qPrintable(closed.join('\n')));
        QCOMPARE(graph && graph->isVisible(), lastAddressPart == "1"); // a graph goes with another crate only
    }

    // A pulled board is told to every window reading it from the first answer that shows it
    // (here the main window's poll), without waiting for their own ticks; the others go on.
    void aPulledBoardIsToldToEveryWindowFromOneAnswer()
    {
        MsgBoxCatcher boxes;
        ShellRig rig;
        rig.fake->setBoard(2, "Q310", 14);
        rig.fake->setBoard(3, "Q420", 12);
        connectTo(rig, "127.0.0.1");
        rig.main->bSlotClick(2);
        rig.main->bSlotClick(3);
        QPointer<QWidget> two = findWindowByTag("Mon2"), three = findWindowByTag("Mon3");
        rig.main->openGraphWindow();
        QPointer<frmGraph> graph = qobject_cast<frmGraph *>(topLevels("frmGraph").value(0));
        graph->addParameter({3, 1, QStringLiteral("VMon"), QStringLiteral("tvSysTree")});
        QCOMPARE(graph->plots().Count(), 1);
        for (QWidget *w : {two.data(), three.data(), static_cast<QWidget *>(graph.data())})
            w->findChild<QTimer *>(w == graph ? "Timer1" : "ChMon")->stop();
        rig.timer()->stop();
        rig.fake->setBoard(3, "", 0);
        rig.fake->clear();
        rig.poll();
        QTRY_VERIFY((!three || !three->isVisible()) && (!graph || !graph->isVisible()));
        QVERIFY(two && two->isVisible());
        QCOMPARE(boxes.said(), QStringList({"Attention|Board removed.", "Attention|Board removed"}));
        // One answer told them all: neither the panel nor the graph read anything of their own.
        QCOMPARE(rig.fake->callsStartingWith("ParamValue(3,Temp)") + rig.fake->callsStartingWith("ParamAttribute(3,VMon,Exp,1)"),
                 QStringList());
    }

    // A panel asks for its values as soon as it opens, not at its turn in the second.
    void aPanelReadsAtOnce()
    {
        ShellRig rig;
        rig.fake->setBoard(2, "Q310", 14);
        connectTo(rig, "127.0.0.1");
        BoardPanel *panel = openSlot(*rig.main, 2, false);
        QVERIFY(panel->firstRefresh());
        QCoreApplication::processEvents(); // one pass of the event loop
        QVERIFY(!panel->firstRefresh());
    }

    // A crate that stops answering: the values are veiled as stale, the GUI thread never stops
    // for long (a 10 ms timer's longest gap), and the link is given up with one message.
    void aHungCrateNeverHoldsTheScreen()
    {
        MsgBoxCatcher boxes;
        SimServerThread server;
        auto *client = new NetClient(server.port(), 2000, 1500);
        Main main{std::unique_ptr<HVPowerSupply>(client)};
        client->Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
        main.enterConnected(16, "PY-1600", server.address());
        QVERIFY(openSlot(main, 0, false));
        server.setLatencyMs(600000);
        StallProbe probe;
        QTRY_VERIFY_WITH_TIMEOUT(!main.isConnected(), 5000);
        QTest::qWait(200);
        // Waiting for a Logout answer would have held the thread for the whole reply time-out.
        QVERIFY2(probe.longest < 750, qPrintable(QString::number(probe.longest)));
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(main.linkStatus().startsWith("Connection lost"));
    }

    void theWindowsComeBackWithTheirHistory_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("restart, then Reopen last windows") << true;
        QTest::newRow("lost link, then Connect") << false;
    }
    void theWindowsComeBackWithTheirHistory()
    {
        QFETCH(bool, restart);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("pylonet.sqlite"));
        auto run = std::make_unique<Run>(file);
        run->connect();
        QVERIFY(openSlot(*run->main, 2, false));
        frmGraph *graph = run->main->openGraphWindow();
        graph->findChild<QTimer *>(QStringLiteral("Timer1"))->stop(); // the test ticks
        qint64 now = (QDateTime::currentMSecsSinceEpoch() - 3600 * 1000) / 1000 * 1000;
        graph->setClock([&now] { return now; });
        graph->addParameter({2, 3, QStringLiteral("VMon"), QStringLiteral("tvSysTree")}); // sampled at once
        now += 1000;
        for (int i = 0; i < 4; ++i, now += 1000)
            graph->tick();
        const QVector<qint64> times = graph->graph()->traceTimes(0);
        QCOMPARE(times.size(), 5);
        graph->graph()->showTimeRange(times.first() - 60000, times.last() + 60000);
        graph->resize(700, 420);
        run->main->Timer1Tick(); // the poll answers: the windows as they stand now are the picture kept

        MsgBoxCatcher boxes;
        if (restart) {
            run->main->resize(640, 480);
            run->main->close(); // the end of the run
            run.reset();
            run = std::make_unique<Run>(file);
            run->main->restoreSavedGeometry();
            QCOMPARE(run->main->size(), QSize(640, 480));
            run->connect();
            QAction *reopen = run->main->findChild<QAction *>(QStringLiteral("mReopen"));
            QVERIFY(reopen->isEnabled());
            reopen->trigger();
            QVERIFY(!reopen->isEnabled()); // once
        } else {
            // The link dies: every read fails, the windows close, the main window goes down.
            run->fake->failOn = QStringList{QStringLiteral("ParamValue"), QStringLiteral("QuerySlots"),
                                            QStringLiteral("CrateProperty")};
            graph->tick();
            run->main->Timer1Tick();
            QTRY_VERIFY(!run->main->isConnected() && !theGraph());
            run->fake->failOn.clear();
            run->connect();
        }
        QTRY_VERIFY(findWindowByTag(QStringLiteral("Mon2")));
        QTRY_VERIFY(theGraph());
        frmGraph *back = theGraph();
        QCOMPARE(back->plots().Count(), 1);
        QCOMPARE(back->size(), QSize(700, 420));
        QTRY_VERIFY(back->graph()->traceTimes(0).size() > times.size());
        QCOMPARE(back->graph()->traceTimes(0).mid(0, times.size()), times);
        QCOMPARE(QList<qint64>({back->graph()->viewStart(), back->graph()->viewEnd()}),
                 QList<qint64>({times.first() - 60000, times.last() + 60000}));
    }

    void connectAtStartAsksOnlyThePassword()
    {
        QTemporaryDir dir;
        Run run(dir.filePath(QStringLiteral("pylonet.sqlite")));
        run.connect(); // 127.0.0.1, remembered with its user
        run.main->mDisconnectClick();
        run.main->connectTo(QStringLiteral("127.0.0.5"));
        frmLogin *login = run.main->loginDialog();
        QVERIFY(login->isVisible());
        QCOMPARE(login->address(), QStringLiteral("127.0.0.5"));
        QCOMPARE(login->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->text(), QString::fromLatin1(frmLogin::DefaultAccount));
        QVERIFY(login->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text().isEmpty());
        auto *recent = login->findChild<QComboBox *>(QStringLiteral("cboRecent"));
        QCOMPARE(recent->itemText(1), QStringLiteral("127.0.0.1"));
        recent->activated(1); // choosing it fills the address in
        QCOMPARE(login->address(), QStringLiteral("127.0.0.1"));
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
