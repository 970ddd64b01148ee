#include "shelltest.h"

#include "lamp.h"
#include "lib.h"
#include "msgboxcatcher.h"
#include "twoposswitch.h"
#include "windowtag.h"

#include <QMenuBar>
#include <QStandardPaths>

namespace {
// A stand-in panel: a plain window that remembers which model it was opened for.
ModelTable recordingTable(QStringList *opened)
{
    std::vector<ModelRow> rows;
    const ModelTable standard = ModelTable::standard();
    for (const ModelRow &row : standard.rows()) {
        const QString model = row.model;
        rows.push_back({model, [opened, model](HVPowerSupply &) {
                            opened->append(model);
                            return new QWidget;
                        }});
    }
    return ModelTable(std::move(rows));
}

QStringList litLamps(const Main &m)
{
    QStringList lit;
    for (const Lamp *l : m.findChildren<Lamp *>())
        if (l->value())
            lit << l->objectName();
    lit.sort();
    return lit;
}
} // namespace

class TestMain : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startsDisconnectedWithMenusInOrder();
    void pollCaptionsAndEnablesSlotButtons();
    void pollShowsOnlyTheFirstSixteenSlots();
    void frontPanelLampsFollowTheirBits_data();
    void frontPanelLampsFollowTheirBits();
    void frontPanelReadsInOrder();
    void disconnectClearsTheOverviewAndKeepsPanels();
    void slotClickOpensOrBringsForwardThePanel();
    void linkDyingUnderThePollDisconnectsWithOneMessage();
    void slotClickAndDisconnectSurviveADeadLink();
    void eachModelOpensItsOwnPanel();
    void closingMainClosesEveryWindow();
    void panelsDoNotOutliveMain();
};

void TestMain::startsDisconnectedWithMenusInOrder()
{
    ShellRig rig;
    QCOMPARE(rig.main->windowTitle(), QStringLiteral("Norvane Pylonet"));
    QCOMPARE(Lib::paletteColor(0), Lib::Green); // the trace palette is filled on load

    QStringList menus;
    for (QAction *a : rig.main->menuBar()->actions())
        menus << a->text() + (a->isEnabled() ? "" : " (off)");
    QCOMPARE(menus, QStringList({"&Connection", "&Graph (off)", "&?"}));
    QStringList items;
    for (QAction *a : rig.find<QMenu>("mConnection")->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : " (off)"));
    QCOMPARE(items, QStringList({"&Connect", "&Disconnect (off)", "-", "&Exit"}));
    QCOMPARE(rig.find<QMenu>("Help")->actions().at(0)->text(), QStringLiteral("&About..."));

    for (int i = 0; i < 16; ++i) {
        QVERIFY(!rig.slot(i)->isVisibleTo(rig.main.get()));
        QVERIFY(!rig.slot(i)->isEnabled());
    }
    QVERIFY(!rig.timer()->isActive());
    QCOMPARE(rig.timer()->interval(), 1000);
    QVERIFY(!rig.find<QLabel>("lblSysModel")->isVisibleTo(rig.main.get()));
    QVERIFY(litLamps(*rig.main).isEmpty());
    QVERIFY(rig.fake->calls.isEmpty()); // loading talks to nobody
}

void TestMain::pollCaptionsAndEnablesSlotButtons()
{
    ShellRig rig;
    rig.fake->slotCount = 10;
    rig.fake->setBoard(3, "Q310", 14);
    rig.fake->setBoard(4, "Q510E", 12);
    rig.fake->setBoard(5, "Q434", 12);
    rig.fake->setBoard(7, "X", 4);
    rig.fake->setBoard(12, "Q205", 9); // beyond the crate's count: never shown
    rig.connect();
    QVERIFY(rig.main->isConnected());
    rig.fake->clear();

    rig.main->Timer1Tick();
    QCOMPARE(rig.fake->calls.first(), QStringLiteral("QuerySlots(SlotCount,SlotModels)"));

    QCOMPARE(rig.slot(3)->text(), QStringLiteral("Slot 3 - Q310"));
    QVERIFY(rig.slot(3)->isEnabled());
    QCOMPARE(rig.slot(4)->text(), QStringLiteral("Slot 4 - Q510E"));
    QVERIFY(rig.slot(4)->isEnabled());
    QVERIFY(rig.slot(5)->isEnabled());
    QCOMPARE(rig.slot(7)->text(), QStringLiteral("Slot 7 - X"));
    QVERIFY(!rig.slot(7)->isEnabled());
    QCOMPARE(rig.slot(0)->text(), QStringLiteral("Slot 0 - Empty "));
    QVERIFY(!rig.slot(0)->isEnabled());
    for (int i = 0; i < 16; ++i)
        QCOMPARE(rig.slot(i)->isVisibleTo(rig.main.get()), i < 10);
    QCOMPARE(rig.slot(12)->text(), QStringLiteral("Slot 12"));

    // A board pulled between two ticks empties its button; the poll never changes visibility.
    rig.fake->setBoard(3, "", 0);
    rig.fake->slotCount = 12;
    rig.main->Timer1Tick();
    QCOMPARE(rig.slot(3)->text(), QStringLiteral("Slot 3 - Empty "));
    QVERIFY(!rig.slot(3)->isEnabled());
    QVERIFY(!rig.slot(11)->isVisibleTo(rig.main.get()));
}

void TestMain::pollShowsOnlyTheFirstSixteenSlots()
{
    ShellRig rig;
    rig.fake->slotCount = 20;
    for (int i = 0; i < 20; ++i)
        rig.fake->setBoard(i, "Q310", 14);
    rig.connect();
    rig.main->Timer1Tick();
    QVERIFY(rig.main->isConnected());
    for (int i = 0; i < 16; ++i) {
        QVERIFY(rig.slot(i)->isVisibleTo(rig.main.get()));
        QCOMPARE(rig.slot(i)->text(), QStringLiteral("Slot %1 - Q310").arg(i));
    }
    // A crate whose model list is shorter than its count shows the rest as empty.
    rig.fake->slotCount = 4;
    rig.fake->slotModels = {QStringLiteral("Q205")};
    rig.main->Timer1Tick();
    QCOMPARE(rig.slot(2)->text(), QStringLiteral("Slot 2 - Empty "));
}

void TestMain::frontPanelLampsFollowTheirBits_data()
{
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::addColumn<bool>("nim");
    QTest::addColumn<QStringList>("lit");

    QTest::newRow("all clear: NIM") << 0 << 0 << true << QStringList();
    QTest::newRow("TTL bit only") << 64 << 0 << false << QStringList();
    QTest::newRow("VSel") << 1 << 0 << true << QStringList{"ledVSel"};
    QTest::newRow("ISel") << 2 << 0 << true << QStringList{"ledISel"};
    QTest::newRow("Kill") << 4 << 0 << true << QStringList{"ledKill"};
    QTest::newRow("Interlock") << 8 << 0 << true << QStringList{"ledIlock"};
    QTest::newRow("Remote Enable") << 16 << 0 << true << QStringList{"ledRemEna"};
    QTest::newRow("Local Enable, TTL") << (32 | 64) << 0 << false << QStringList{"ledLocEna"};
    QTest::newRow("high bit ignored") << 128 << 0 << true << QStringList();
    QTest::newRow("outputs 1031") << 0 << 1031 << true << QStringList{"ledChkPass", "ledOVC", "ledOVV", "ledUNV"};
    QTest::newRow("Channel On") << 0 << 8 << true << QStringList{"ledChOn"};
    QTest::newRow("Fan Failure") << 0 << 256 << true << QStringList{"ledFanFail"};
    QTest::newRow("Temperature") << 0 << 512 << true << QStringList{"ledTemp"};
    QTest::newRow("undriven output bits") << 0 << (16 | 32 | 64 | 128 | 2048 | 0x8000) << true << QStringList();
}

void TestMain::frontPanelLampsFollowTheirBits()
{
    QFETCH(int, in);
    QFETCH(int, out);
    QFETCH(bool, nim);
    QFETCH(QStringList, lit);

    ShellRig rig;
    rig.connect();
    // Start from everything lit, so a lamp the refresh forgets to clear shows up.
    rig.fake->crateProperties["FrontPanIn"] = 63;
    rig.fake->crateProperties["FrontPanOut"] = 0x070F;
    rig.main->Timer1Tick();
    rig.fake->crateProperties["FrontPanIn"] = in;
    rig.fake->crateProperties["FrontPanOut"] = double(out); // a number of any type will do
    rig.main->Timer1Tick();

    lit.sort();
    QCOMPARE(litLamps(*rig.main), lit);
    QCOMPARE(rig.find<TwoPosSwitch>("swNIMTTL")->value(), nim);
}

void TestMain::frontPanelReadsInOrder()
{
    ShellRig rig;
    rig.fake->crateProperties["SwRelease"] = QStringLiteral("2.07");
    rig.connect();
    rig.fake->clear();
    rig.main->RefreshFrontPanel();
    QCOMPARE(rig.fake->calls, QStringList({"CrateProperty(FrontPanIn)", "CrateProperty(FrontPanOut)",
                                           "CrateProperty(SwRelease)"}));
    QCOMPARE(rig.find<QLabel>("lblFWRel")->text(), QStringLiteral("FW Rel. 2.07"));
}

void TestMain::disconnectClearsTheOverviewAndKeepsPanels()
{
    ShellRig rig;
    QStringList opened;
    rig.main->setModelTable(recordingTable(&opened));
    rig.fake->slotCount = 8;
    rig.fake->setBoard(3, "Q310", 14);
    rig.fake->crateProperties["FrontPanIn"] = 63;
    rig.fake->crateProperties["FrontPanOut"] = 0x070F;
    rig.connect();
    rig.main->Timer1Tick();
    rig.main->bSlotClick(3);
    QWidget *panel = findWindowByTag("Mon3");
    QVERIFY(panel);
    // The three flags no mask drives must be cleared as well.
    for (const char *name : {"ledTrip", "ledRstFlag", "ledPwrFail"})
        rig.find<Lamp>(name)->setValue(true);
    QVERIFY(rig.main->findChild<Lamp *>("ledChkPass")->value());

    rig.fake->clear();
    rig.action("mDisconnect")->trigger();

    QCOMPARE(rig.fake->calls, QStringList{"Logout()"});
    QVERIFY(!rig.main->isConnected());
    QVERIFY(litLamps(*rig.main).isEmpty());
    QVERIFY(!rig.find<TwoPosSwitch>("swNIMTTL")->value());
    for (int i = 0; i < 16; ++i) {
        QVERIFY(!rig.slot(i)->isVisibleTo(rig.main.get()));
        QVERIFY(!rig.slot(i)->isEnabled());
    }
    QCOMPARE(rig.find<QLabel>("lblFWRel")->text(), QString());
    QVERIFY(!rig.find<QLabel>("lblSysModel")->isVisibleTo(rig.main.get()));
    QVERIFY(!rig.timer()->isActive());
    QVERIFY(rig.action("mConnect")->isEnabled());
    QVERIFY(!rig.action("mDisconnect")->isEnabled());
    QVERIFY(rig.action("mExit")->isEnabled());
    QVERIFY(!rig.action("mGraph")->isEnabled());
    QCOMPARE(findWindowByTag("Mon3"), panel); // open panels stay open

    // Disconnected, a stray tick talks to nobody.
    rig.main->Timer1Tick();
    QCOMPARE(rig.fake->calls, QStringList{"Logout()"});
}

void TestMain::slotClickOpensOrBringsForwardThePanel()
{
    ShellRig rig;
    QStringList opened;
    rig.main->setModelTable(recordingTable(&opened));
    rig.fake->slotCount = 8;
    rig.fake->setBoard(3, "Q310", 14);
    rig.fake->setBoard(4, "Q510E", 12);
    rig.fake->setBoard(5, "X", 2);
    rig.connect();
    rig.main->Timer1Tick();
    rig.main->show();
    rig.fake->clear();

    QTest::mouseClick(rig.slot(3), Qt::LeftButton);
    QCOMPARE(rig.fake->calls, QStringList{"QuerySlots(SlotModels)"});
    QCOMPARE(opened, QStringList{"Q310"});
    QWidget *panel = findWindowByTag("Mon3");
    QVERIFY(panel && panel->isVisible());
    QCOMPARE(panel->windowTitle(), QStringLiteral("Q310 - Channels monitor - Slot 3"));
    QVERIFY(panel->testAttribute(Qt::WA_DeleteOnClose));

    // A second click brings the same window forward, even if the slot's board changed.
    rig.fake->setBoard(3, "Q205", 9);
    QTest::mouseClick(rig.slot(3), Qt::LeftButton);
    QCOMPARE(opened, QStringList{"Q310"});
    QCOMPARE(findWindowByTag("Mon3"), panel);

    QTest::mouseClick(rig.slot(4), Qt::LeftButton);
    QCOMPARE(opened, QStringList({"Q310", "Q510E"}));
    QCOMPARE(findWindowByTag("Mon4")->windowTitle(), QStringLiteral("Q510E - Channels monitor - Slot 4"));

    // An unsupported board or an empty slot opens nothing.
    rig.main->bSlotClick(5);
    rig.main->bSlotClick(6);
    QCOMPARE(opened.size(), 2);
    QVERIFY(!findWindowByTag("Mon5") && !findWindowByTag("Mon6"));

    // A row without a way to open its panel opens nothing either.
    rig.main->setModelTable(ModelTable({{QStringLiteral("Q420"), {}}}));
    rig.fake->setBoard(6, "Q420", 12);
    rig.main->bSlotClick(6);
    QVERIFY(!findWindowByTag("Mon6"));

    // Closing the panel lets the next click open a fresh one.
    panel->close();
    rig.main->setModelTable(recordingTable(&opened));
    rig.main->bSlotClick(3);
    QCOMPARE(opened.last(), QStringLiteral("Q205"));
}

void TestMain::linkDyingUnderThePollDisconnectsWithOneMessage()
{
    ShellRig rig;
    QStringList opened;
    rig.main->setModelTable(recordingTable(&opened));
    rig.fake->setBoard(2, "Q205", 9);
    rig.fake->crateProperties["FrontPanIn"] = 1;
    rig.connect();
    rig.main->Timer1Tick();
    rig.main->bSlotClick(2);
    QVERIFY(rig.find<Lamp>("ledVSel")->value());

    MsgBoxCatcher boxes;
    rig.fake->failOn = QStringList{"CrateProperty(FrontPanOut)", "Logout"};
    rig.fake->clear();
    rig.main->Timer1Tick();

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Connection lost"));
    QCOMPARE(boxes.shown[0].text, QStringLiteral("The connection to the crate failed: fake failure in "
                                                 "CrateProperty(FrontPanOut). Pylonet is now disconnected."));
    QVERIFY(rig.fake->calls.contains("Logout()")); // tried, its failure ignored
    QVERIFY(!rig.main->isConnected());
    QVERIFY(!rig.timer()->isActive());
    QVERIFY(litLamps(*rig.main).isEmpty());
    QVERIFY(!rig.slot(2)->isVisibleTo(rig.main.get()));
    QVERIFY(rig.action("mConnect")->isEnabled());
    QVERIFY(!rig.action("mGraph")->isEnabled());
    QVERIFY(findWindowByTag("Mon2")); // the open panel stays

    // Nothing further is asked of the crate, and nothing else is said.
    rig.fake->clear();
    rig.main->Timer1Tick();
    QVERIFY(rig.fake->calls.isEmpty());
    QCOMPARE(boxes.shown.size(), 1);

    // The operator can connect again once the crate answers.
    rig.fake->failOn.clear();
    rig.connect();
    QVERIFY(rig.main->isConnected());
    QVERIFY(rig.timer()->isActive());
}

void TestMain::slotClickAndDisconnectSurviveADeadLink()
{
    ShellRig rig;
    rig.fake->setBoard(0, "Q310", 14);
    rig.connect();
    rig.main->Timer1Tick();

    MsgBoxCatcher boxes;
    rig.fake->failOn = QStringList{"QuerySlots"};
    rig.main->bSlotClick(0);
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Connection lost"));
    QVERIFY(!rig.main->isConnected());

    // A disconnect whose Logout fails still leaves the window disconnected, and says so once.
    rig.fake->failOn = QStringList{"Logout"};
    rig.connect();
    QVERIFY(rig.main->isConnected());
    rig.action("mDisconnect")->trigger();
    QCOMPARE(boxes.shown.size(), 2);
    QVERIFY(boxes.shown[1].text.contains("fake failure in Logout()"));
    QVERIFY(!rig.main->isConnected());
    QVERIFY(rig.action("mConnect")->isEnabled());
    QVERIFY(!rig.action("mDisconnect")->isEnabled());
}

void TestMain::eachModelOpensItsOwnPanel()
{
    const QList<QPair<QString, QString>> expected{
        {"Q310", "frmQ310"}, {"Q510E", "frmQ510E"}, {"Q510", "frmQ510"}, {"Q205", "frmQ205"},
        {"Q420", "frmQ420"}, {"Q421", "frmQ420"}, {"Q431", "frmQ420"}, {"Q422", "frmQ420"},
        {"Q432", "frmQ420"}, {"Q423", "frmQ420"}, {"Q433", "frmQ420"}, {"Q424", "frmQ420"},
        {"Q434", "frmQ420"}};
    QStringList order;
    for (const ModelRow &row : ModelTable::standard().rows())
        order << row.model;
    QStringList expectedOrder;
    for (const auto &[model, panel] : expected)
        expectedOrder << model;
    QCOMPARE(order, expectedOrder);
    QVERIFY(!isSupportedModel("Q510e") && !isSupportedModel("Q42") && !isSupportedModel(""));

    for (const auto &[model, panel] : expected) {
        ShellRig rig;
        rig.fake->setBoard(5, model, 12);
        rig.connect();
        rig.main->bSlotClick(5);
        QWidget *w = findWindowByTag("Mon5");
        QVERIFY2(w, qPrintable(model));
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), panel);
        QCOMPARE(w->windowTitle(), model + " - Channels monitor - Slot 5");
    }
}

void TestMain::closingMainClosesEveryWindow()
{
    ShellRig rig;
    QStringList opened;
    rig.main->setModelTable(recordingTable(&opened));
    rig.fake->setBoard(1, "Q310", 14);
    rig.connect();
    rig.main->show();
    rig.main->bSlotClick(1);
    QPointer<QWidget> panel = findWindowByTag("Mon1");
    QVERIFY(panel);

    rig.fake->clear();
    rig.main->close();
    QVERIFY(!panel || !panel->isVisible());
    QVERIFY(!rig.fake->calls.contains("Logout()")); // ending the run does not log out
}

void TestMain::panelsDoNotOutliveMain()
{
    ShellRig rig;
    QStringList opened;
    rig.main->setModelTable(recordingTable(&opened));
    rig.fake->setBoard(1, "Q310", 14);
    rig.connect();
    rig.main->bSlotClick(1);
    QPointer<QWidget> panel = findWindowByTag("Mon1");
    QVERIFY(panel);
    // A window that is not Main's own is left alone.
    QWidget unrelated;
    QPointer<QWidget> unrelatedGuard(&unrelated);
    rig.main.reset();
    QVERIFY(!panel);
    QVERIFY(unrelatedGuard);
}

QTEST_MAIN(TestMain)
#include "tst_main.moc"
