// Main and its connection dialog against the simulated crate, over the real
// network client and a server on its own thread.
#include "shelltest.h"

#include "boardpanel.h"
#include "frmgraph.h"
#include "plotdrag.h"
#include "msgboxcatcher.h"
#include "netclient.h"
#include "simcrate.h"
#include "simserver.h"
#include "windowtag.h"

#include <QMimeData>
#include <QStandardPaths>
#include <QTreeWidget>

namespace {
struct SimRig : ShellRig
{
    SimServerThread server;
    SimRig()
    {
        main = std::make_unique<Main>(std::make_unique<NetClient>(server.port(), 2000, 2000));
        fake = nullptr; // went with the first Main
    }
    ~SimRig() { main.reset(); } // before the server
};
} // namespace

class TestMainSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void overviewFollowsTheCrateAndSurvivesItsLink()
    {
        SimRig rig;
        SimCrate &crate = rig.server.crate();
        MsgBoxCatcher boxes;
        rig.connect(); // the dialog's defaults are the simulator's default account on 127.0.0.1
        QCOMPARE(rig.find<QLabel>("lblSysModel")->text(), crate.crateProperty("ModelName").toString());
        QVERIFY(rig.poll());
        const QVariantList models = crate.slotModels();
        for (int i = 0; i < crate.slotCount() && i < 16; ++i) {
            const QString model = models.value(i).toString();
            QCOMPARE(rig.slot(i)->text(), model.isEmpty() ? QStringLiteral("Slot %1 - Empty ").arg(i)
                                                           : QStringLiteral("Slot %1 - %2").arg(i).arg(model));
            QCOMPARE(rig.slot(i)->isEnabled(), isSupportedModel(model));
        }

        // The link drops under the poll: one message, disconnected.
        rig.server.dropAllConnections();
        QVERIFY(rig.poll());
        QVERIFY(rig.poll());
        QCOMPARE(boxes.said(), QStringList{"Connection lost|The connection to the crate failed: Connection to the crate "
                                           "lost. Pylonet is now disconnected."});
        QCOMPARE(rig.disconnectedFaults(), QString());

        rig.connect(); // and the operator connects again, then leaves
        QVERIFY(rig.main->isConnected());
        rig.action("mDisconnect")->trigger();
        QCOMPARE(boxes.shown.size(), 1);
        QTRY_COMPARE(rig.server.connectionCount(), 0); // Logout closed the session
    }

    // A dead link under the main window, two panels and a graph window: every
    // window closes, and the operator hears of it once. A deliberate disconnect
    // with a panel left open: the same, once.
    void aDeadLinkIsToldOnce()
    {
        SimRig rig;
        MsgBoxCatcher boxes;
        rig.connect();
        QList<QPointer<QWidget>> windows;
        for (int slot : {0, 1}) {
            rig.main->bSlotClick(slot);
            QTRY_VERIFY(findWindowByTag(QStringLiteral("Mon%1").arg(slot)));
            windows << findWindowByTag(QStringLiteral("Mon%1").arg(slot));
        }
        rig.main->openGraphWindow();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<frmGraph *>(w))
                windows << w;
        QTreeWidget picker;
        picker.setObjectName(QStringLiteral("tvSysTree"));
        std::unique_ptr<QMimeData> drag(PlotDrag::encode({0, 2, QStringLiteral("VMon"), picker.objectName()}));
        QVERIFY(qobject_cast<frmGraph *>(windows.last())->acceptDrop(&picker, drag.get()));

        rig.server.dropAllConnections();
        for (int round = 0; round < 2; ++round) {
            for (const QPointer<QWidget> &w : windows) {
                if (auto *panel = qobject_cast<BoardPanel *>(w.data()))
                    panel->ChMonTick();
                else if (auto *graph = qobject_cast<frmGraph *>(w.data()))
                    graph->tick();
            }
            rig.main->Timer1Tick();
        }
        QTRY_VERIFY(std::none_of(windows.begin(), windows.end(), [](const QPointer<QWidget> &w) { return w && w->isVisible(); }));
        QCOMPARE(rig.disconnectedFaults(), QString());
        QCOMPARE(boxes.said(), QStringList{"Connection lost|The connection to the crate failed: Connection to the crate "
                                           "lost. The windows reading from it are closed."});

        rig.connect();
        rig.main->bSlotClick(1);
        QTRY_VERIFY(findWindowByTag(QStringLiteral("Mon1")));
        auto *left = qobject_cast<BoardPanel *>(findWindowByTag(QStringLiteral("Mon1")));
        rig.action("mDisconnect")->trigger();
        left->ChMonTick();
        QTRY_VERIFY(!left->isVisible());
        QCOMPARE(boxes.said().mid(1), QStringList{"Connection lost|The connection to the crate failed: Not connected. "
                                                  "The windows reading from it are closed."});
    }

    void anEncryptedLinkShowsTheCrateCertificate()
    {
        SimRig rig;
        const QString cert = QFINDTESTDATA("../link/tls/test-crate.crt"), key = QFINDTESTDATA("../link/tls/test-crate.key");
        rig.server.server().onServer([&](LinkServer &s) { s.setTls(cert, key); });
        rig.connect();
        const QString fingerprint = rig.main->hv().linkFingerprint();
        QCOMPARE(fingerprint.size(), 32 * 3 - 1);
        QVERIFY(rig.main->linkStatus().endsWith(QStringLiteral("encrypted, certificate SHA-256 ") + fingerprint));
        rig.action("mAbout")->trigger();
        QPointer<QDialog> about = rig.main->findChild<QDialog *>("frmAbout");
        QVERIFY(about && about->findChild<QLabel *>("lblSession")->text().endsWith(fingerprint));
        about->close();
    }
};

QTEST_MAIN(TestMainSim)
#include "tst_main_sim.moc"
