// The panels against the simulated crate through the real network client:
// what the operator sets reaches the board, what the board refuses is told,
// a board that goes away closes the panel, and a tick is not waited for.
#include "fakeserver.h"
#include "msgboxcatcher.h"
#include "netclient.h"
#include "panelfixture.h"
#include "simcrate.h"
#include "simserver.h"

#include <atomic>
#include <cmath>

namespace {

// A crate on its own server thread with a clock the test moves, and a client logged in to it.
struct Rig
{
    std::atomic<qint64> nowMs{0};
    SimServerThread server{std::make_unique<SimCrate>([this] { return nowMs.load(); })};
    LoggedInClient client{server.port(), 2000, 2000};

    void advanceSeconds(int s) { nowMs += qint64(s) * 1000; }
};

} // namespace

class TestPanelSim : public QObject
{
    Q_OBJECT
private slots:
    // What the operator sets reaches the board and moves its monitor; what the board
    // refuses is told with the crate's reason and changes nothing.
    void setpointsReachTheBoardAndRefusalsAreTold()
    {
        MsgBoxCatcher boxes;
        Rig rig;
        rig.advanceSeconds(120); // channel 2 of slot 0 is on and ramps to 2.5 kV
        auto p = openPanel(QStringLiteral("Q310"), rig.client, 0);
        QVERIFY(tickNow(p.get()));
        auto *vmon = control<NumField>(p.get(), QStringLiteral("VMon_2"));
        auto *v0 = control<NumField>(p.get(), QStringLiteral("V0Set_2"));
        QVERIFY2(std::abs(vmon->value() - 2500) < 25, qPrintable(vmon->text()));
        QVERIFY(activatePanel(p.get()));
        typeAndCommit(p.get(), v0, QStringLiteral("1"));
        QTRY_COMPARE(rig.server.crate().paramValue(0, QStringLiteral("V0Set"), 2).toDouble(), 1.0);
        rig.advanceSeconds(60); // down by 1.5 kV at the board's ramp-down rate
        QVERIFY(tickNow(p.get()));
        QVERIFY2(std::abs(vmon->value() - 1000) < 10, qPrintable(vmon->text()));
        QCOMPARE(vmon->text().right(2), QStringLiteral("kV"));
        QVERIFY(boxes.shown.isEmpty());

        typeAndCommit(p.get(), v0, QStringLiteral("99")); // far above the board's range
        QTRY_COMPARE(boxes.said(), QStringList{"Write refused|V0Set of channel 2 was not written: " // the crate's reason
                                               "V0Set = 99 is out of range 0..3.5 on slot 0 channel 2"});
        QCOMPARE(rig.server.crate().paramValue(0, QStringLiteral("V0Set"), 2).toDouble(), 1.0);
        QVERIFY(tickNow(p.get())); // the panel goes on and shows the board's value again
        QVERIFY(p->isVisible());
        QCOMPARE(v0->text(), QStringLiteral("1 kV"));
    }

    void boardGoneClosesPanelOnce_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("slot");
        QTest::newRow("Q310") << "Q310" << 0;
        QTest::newRow("Q420") << "Q420" << 1;
        QTest::newRow("Q432") << "Q432" << 2;
        QTest::newRow("Q510") << "Q510" << 3;
        QTest::newRow("Q510E") << "Q510E" << 4;
        QTest::newRow("Q205") << "Q205" << 5;
    }

    void boardGoneClosesPanelOnce()
    {
        QFETCH(QString, model);
        QFETCH(int, slot);
        MsgBoxCatcher boxes;
        Rig rig;
        rig.advanceSeconds(5);
        auto p = openPanel(model, rig.client, slot);
        QVERIFY(tickNow(p.get())); // every parameter the panel reads exists on the board
        QVERIFY(tickNow(p.get()));
        QVERIFY(boxes.shown.isEmpty());
        const QString name = control<QLineEdit>(p.get(), QStringLiteral("txtChName_0"))->text();
        QVERIFY2(!name.isEmpty() && name != QStringLiteral("Text1"), qPrintable(name));

        // A board that left its slot is removed (a dead link is the link's: tst_main_sim).
        rig.server.pullBoard(slot);
        QVERIFY(tickNow(p.get()));
        QVERIFY(tickNow(p.get()));
        QCOMPARE(boxes.said(), QStringList{"Attention|Board removed."});
        QVERIFY(!p->isVisible());
    }

    // A tick over the network: the GUI does not wait for it, a read that fails
    // midway ends it there, and a panel closed before its answers come hears nothing.
    void aTickOnTheWire()
    {
        MsgBoxCatcher boxes;
        FakeServer server;
        server.setUp = [](FakeHV &f) {
            f.setBoard(3, QStringLiteral("Q420"), 12);
            f.failOn << QStringLiteral("ParamValue(3,Status,5)");
        };
        LoggedInClient client(server.port(), 2000, 2000);
        server.thread.setLatencyMs(50);
        auto p = openPanel(QStringLiteral("Q420"), client, 3);
        p->ChMonTick();
        QVERIFY(p->tickInFlight());
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_4"))->text(), QStringLiteral("Text1"));
        QTRY_COMPARE(boxes.said(), QStringList{"Attention|Board removed."});
        QVERIFY(!p->isVisible());
        // Channel 5's reads before the status were shown; the crate was asked nothing after it.
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_5"))->text(), QStringLiteral("CH5"));
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_6"))->text(), QStringLiteral("Text1"));
        const QStringList calls = server.calls();
        QVERIFY(calls.contains(QStringLiteral("ParamValue(3,Status,5)")) && !calls.contains(QStringLiteral("ChannelName(3,6)")));

        // A second panel closes with its tick in flight, then the link drops: no word from it.
        server.live()->failOn.clear();
        auto q = openPanel(QStringLiteral("Q420"), client, 3);
        q->ChMonTick();
        q.reset();
        server.thread.dropAllConnections();
        QTRY_COMPARE(client.pendingCount(), 0);
        QCOMPARE(boxes.shown.size(), 1);
    }
};

QTEST_MAIN(TestPanelSim)
#include "tst_panelsim.moc"
