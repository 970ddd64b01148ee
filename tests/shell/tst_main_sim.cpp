// Main and its connection dialog against the simulated crate, over the real
// network client and a server on its own thread.
#include "shelltest.h"

#include "lamp.h"
#include "msgboxcatcher.h"
#include "netclient.h"
#include "simcrate.h"
#include "simserver.h"
#include "twoposswitch.h"
#include "windowtag.h"

#include <QStandardPaths>

namespace {
// A Main on a NetClient that talks to the server's port.
struct SimRig
{
    SimServerThread server;
    std::unique_ptr<Main> main = std::make_unique<Main>(std::make_unique<NetClient>(server.port(), 2000, 2000));

    template <typename T = QWidget> T *find(const QString &name) const { return main->findChild<T *>(name); }
    QPushButton *slot(int i) const { return find<QPushButton>(QStringLiteral("bSlot_%1").arg(i)); }

    frmLogin *connect()
    {
        find<QAction>("mConnect")->trigger();
        frmLogin *dlg = main->loginDialog();
        QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        return dlg;
    }
};
} // namespace

class TestMainSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void connectPollAndOpenAPanel();
    void frontPanelFollowsTheCrate();
    void wrongPasswordIsRefused();
    void droppedLinkDisconnectsOnceAndReconnects();
};

void TestMainSim::connectPollAndOpenAPanel()
{
    SimRig rig;
    rig.connect(); // the dialog's defaults reach the simulator's default account on 127.0.0.1
    QVERIFY(rig.main->isConnected());
    QCOMPARE(rig.find<QLabel>("lblSysModel")->text(), rig.server.crate().crateProperty("ModelName").toString());

    rig.main->Timer1Tick();
    const QVariantList models = rig.server.crate().slotModels();
    const int count = rig.server.crate().slotCount();
    for (int i = 0; i < count && i < 16; ++i) {
        const QString model = models.value(i).toString();
        QCOMPARE(rig.slot(i)->text(), model.isEmpty() ? QStringLiteral("Slot %1 - Empty ").arg(i)
                                                       : QStringLiteral("Slot %1 - %2").arg(i).arg(model));
        QCOMPARE(rig.slot(i)->isEnabled(), isSupportedModel(model));
        QVERIFY(rig.slot(i)->isVisibleTo(rig.main.get()));
    }
    QVERIFY(rig.find<QLabel>("lblFWRel")->text().startsWith("FW Rel. "));

    // A pulled board shows as an empty slot on the next tick.
    const int occupied = models.indexOf(QVariant(QStringLiteral("Q310")));
    QVERIFY(occupied >= 0);
    rig.server.pullBoard(occupied);
    rig.main->Timer1Tick();
    QCOMPARE(rig.slot(occupied)->text(), QStringLiteral("Slot %1 - Empty ").arg(occupied));
    QVERIFY(!rig.slot(occupied)->isEnabled());
    rig.server.insertBoard(occupied);
    rig.main->Timer1Tick();
    QVERIFY(rig.slot(occupied)->isEnabled());

    rig.main->show();
    QTest::mouseClick(rig.slot(occupied), Qt::LeftButton);
    QWidget *panel = findWindowByTag(QStringLiteral("Mon%1").arg(occupied));
    QVERIFY(panel);
    QCOMPARE(QString::fromLatin1(panel->metaObject()->className()), QStringLiteral("frmQ310"));

    rig.find<QAction>("mDisconnect")->trigger();
    QVERIFY(!rig.main->isConnected());
    QTRY_COMPARE(rig.server.connectionCount(), 0); // Logout closed the session
}

void TestMainSim::frontPanelFollowsTheCrate()
{
    SimRig rig;
    rig.connect();
    rig.main->Timer1Tick();
    QVERIFY(rig.find<TwoPosSwitch>("swNIMTTL")->value()); // NIM
    QVERIFY(!rig.find<Lamp>("ledKill")->value());

    rig.server.crate().setFrontPanelInput("TTL", true);
    rig.server.crate().setFrontPanelInput("Kill", true);
    rig.server.crate().setFanFailure(true);
    rig.main->Timer1Tick();
    QVERIFY(!rig.find<TwoPosSwitch>("swNIMTTL")->value());
    QVERIFY(rig.find<Lamp>("ledKill")->value());
    QVERIFY(rig.find<Lamp>("ledFanFail")->value());
    QVERIFY(!rig.find<Lamp>("ledVSel")->value());
}

void TestMainSim::wrongPasswordIsRefused()
{
    SimRig rig;
    rig.server.setAccount("operator", "right");
    MsgBoxCatcher boxes;
    frmLogin *dlg = rig.connect();
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].text, QStringLiteral("Login failed."));
    QVERIFY(dlg->isVisible());
    QVERIFY(!rig.main->isConnected());
}

void TestMainSim::droppedLinkDisconnectsOnceAndReconnects()
{
    SimRig rig;
    rig.connect();
    rig.main->Timer1Tick();
    MsgBoxCatcher boxes;

    rig.server.dropAllConnections();
    rig.main->Timer1Tick();
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Connection lost"));
    QVERIFY(!rig.main->isConnected());
    QVERIFY(!rig.slot(0)->isVisibleTo(rig.main.get()));

    rig.main->Timer1Tick(); // nothing more happens
    QCOMPARE(boxes.shown.size(), 1);

    rig.connect();
    QVERIFY(rig.main->isConnected());
    rig.main->Timer1Tick();
    QCOMPARE(boxes.shown.size(), 1);
    QVERIFY(rig.slot(0)->text().startsWith("Slot 0 - "));
}

QTEST_MAIN(TestMainSim)
#include "tst_main_sim.moc"
