#include "shelltest.h"

#include "alarmbook.h"
#include "appinfo.h"
#include "eventlog.h"
#include "frmabout.h"
#include "frmsplash.h"
#include "heldhv.h"
#include "lamp.h"
#include "lib.h"
#include "msgboxcatcher.h"
#include "palettes.h"
#include "screenfit.h"
#include "screenreader.h"
#include "toplevels.h"
#include "twoposswitch.h"

#include <QComboBox>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>

namespace {
QString lit(const Main &m)
{
    QStringList on;
    for (const Lamp *l : m.findChildren<Lamp *>())
        if (l->value())
            on << l->objectName();
    on.sort();
    return on.join(' ') + (m.findChild<TwoPosSwitch *>("swNIMTTL")->value() ? " NIM" : " TTL");
}

QStringList texts(const QList<QAction *> &actions)
{
    return collect(actions.size(), [&](int i) {
        return actions[i]->isSeparator() ? QStringLiteral("-") : actions[i]->text() + (actions[i]->isEnabled() ? "" : " (off)");
    });
}

QString panelClass(int slot)
{
    const QWidget *w = findWindowByTag(QStringLiteral("Mon%1").arg(slot));
    return w ? QString::fromLatin1(w->metaObject()->className()) : QString();
}

// An entry as one line: kind, slot, channel, name, parameter, old and new value, outcome, what happened.
QString line(const EventLog::Entry &e)
{
    return QStringList{EventLog::kindText(e.kind), QString::number(e.slot), QString::number(e.channel), e.channelName,
                       e.parameter, e.oldValue, e.newValue, EventLog::outcomeText(e.outcome), e.detail}
        .join('|');
}
} // namespace

class TestMain : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startsDisconnectedWithMenusInOrder()
    {
        ShellRig rig;
        QCOMPARE(rig.main->windowTitle(), QStringLiteral("Norvane Pylonet"));
        QCOMPARE(Lib::paletteColor(0), Lib::Green); // the trace palette is filled on load
        QCOMPARE(texts(rig.main->menuBar()->actions()),
                 QStringList({"&Connection", "&Graph (off)", "&Events", "&Window", "&?"}));
        QCOMPARE(texts(rig.find<QMenu>("mConnection")->actions()), QStringList({"&Connect", "&Disconnect (off)", "&Reopen last windows (off)", "-", "&Exit"}));
        QCOMPARE(texts(rig.find<QMenu>("mWindow")->actions()), QStringList({"&Main window", "&Events", "&Graph (off)"}));
        QCOMPARE(texts(rig.find<QMenu>("Help")->actions()), QStringList({"&Help", "&About..."}));
        QCOMPARE(rig.disconnectedFaults(), QString());
        QVERIFY(rig.fake->calls.isEmpty()); // loading talks to nobody
    }

    void pollCaptionsAndEnablesSlotButtons()
    {
        ShellRig rig;
        rig.fake->slotCount = 10;
        rig.fake->crateProperties["SwRelease"] = QStringLiteral("2.07");
        for (auto [slot, model] : QList<QPair<int, QString>>{{3, "Q310"}, {4, "Q510E"}, {5, "Q434"}, {7, "X"}, {12, "Q205"}})
            rig.fake->setBoard(slot, model, 12);
        rig.connect();
        rig.fake->clear();
        rig.main->Timer1Tick();
        // Then the watch's reads (tst_watch.cpp).
        QCOMPARE(rig.fake->calls.mid(0, 5), QStringList({"QuerySlots(SlotCount,SlotModels)", "CrateProperty(FrontPanIn)",
                                                         "CrateProperty(FrontPanOut)", "CrateProperty(SwRelease)",
                                                         "QuerySlots(ChannelCounts,SlotModels)"}));
        QCOMPARE(rig.find<QLabel>("lblFWRel")->text(), QStringLiteral("FW Rel. 2.07"));
        QStringList seen = collect(16, [&rig](int i) { // the slots shown, each with its caption and whether it opens
            return rig.slot(i)->isVisibleTo(rig.main.get()) ? rig.slot(i)->text() + (rig.slot(i)->isEnabled() ? " +" : " -") : QString();
        });
        seen.removeAll(QString());
        QCOMPARE(seen, QStringList({"Slot 0 - Empty  -", "Slot 1 - Empty  -", "Slot 2 - Empty  -", "Slot 3 - Q310 +",
                                    "Slot 4 - Q510E +", "Slot 5 - Q434 +", "Slot 6 - Empty  -", "Slot 7 - X -",
                                    "Slot 8 - Empty  -", "Slot 9 - Empty  -"}));
        // More than sixteen slots: the first sixteen; a short model list: the rest empty.
        rig.fake->slotCount = 20;
        rig.fake->slotModels = {QStringLiteral("Q205")};
        rig.main->Timer1Tick();
        QVERIFY(rig.main->isConnected());
        QCOMPARE(rig.slot(0)->text() + "|" + rig.slot(15)->text(), QStringLiteral("Slot 0 - Q205|Slot 15 - Empty "));
    }

    void frontPanelLampsFollowTheirBits()
    {
        ShellRig rig;
        rig.connect();
        auto show = [&rig](int in, int out) {
            rig.fake->crateProperties["FrontPanIn"] = in;
            rig.fake->crateProperties["FrontPanOut"] = double(out); // a number of any type will do
            rig.main->Timer1Tick();
            rig.main->alarms().acknowledgeAll(); // Kill and Interlock latch "Trip" while they are set
            return lit(*rig.main);
        };
        // Each lamp alone, after everything lit, so a lamp the refresh forgets to clear shows up.
        const QList<std::tuple<int, int, QString>> single{
            {1, 0, "ledVSel"}, {2, 0, "ledISel"}, {4, 0, "ledKill ledTrip"}, {8, 0, "ledIlock ledTrip"}, {16, 0, "ledRemEna"},
            {32, 0, "ledLocEna"}, {0, 1, "ledOVC"}, {0, 2, "ledUNV"}, {0, 4, "ledOVV"}, {0, 8, "ledChOn"},
            {0, 256, "ledFanFail"}, {0, 512, "ledTemp"}, {0, 1024, "ledChkPass"}};
        for (const auto &[in, out, lamp] : single) {
            show(63, 0x070F);
            QCOMPARE(show(in, out), lamp + " NIM");
        }
        QCOMPARE(show(64, 0), QStringLiteral(" TTL"));
        QCOMPARE(said(rig.find("ledKill")), QStringLiteral("Kill | CheckBox | read-only | off")); // shows, never switches
        QCOMPARE(show(0, 1031), QStringLiteral("ledChkPass ledOVC ledOVV ledUNV NIM"));
        QCOMPARE(show(128, 16 | 32 | 64 | 128 | 2048 | 0x8000), QStringLiteral(" NIM")); // bits that drive nothing
    }

    // A click opens the panel of the board the last poll showed at once, its first reads right behind
    // the click's own; a board changed since gets its own panel when the click's read answers.
    void aClickOpensThePanelBeforeItsReadAnswers()
    {
        auto *held = new HeldHV;
        ShellRig rig(held);
        held->setBoard(2, "Q205", 9);
        held->setBoard(3, "Q420", 8);
        rig.openLogin()->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        held->releasePlans();
        rig.timer()->stop(); // the test polls
        rig.main->Timer1Tick();
        held->releasePlans();
        held->setBoard(3, "Q205", 9);
        for (const int slot : {2, 3}) {
            held->clear();
            rig.main->bSlotClick(slot);
            QCOMPARE(held->calls.mid(0, 2), (QStringList{"QuerySlots(SlotModels)", QStringLiteral("ParamAttribute(%1,Temp,Minval)").arg(slot)}));
            QCOMPARE(panelClass(slot), slot == 2 ? QStringLiteral("frmQ205") : QStringLiteral("frmQ420"));
            held->releasePlans();
            QTRY_COMPARE(panelClass(slot), QStringLiteral("frmQ205"));
        }
    }

    void slotClickOpensPanelsThatOutliveTheConnection()
    {
        ShellRig rig;
        const QStringList models{"Q510E", "Q510", "Q205", "Q310", "Q420", "Q434", "X"};
        for (int i = 0; i < models.size(); ++i)
            rig.fake->setBoard(i, models[i], 12);
        rig.connect();
        rig.main->Timer1Tick();
        rig.main->show();
        rig.fake->clear();
        QTest::mouseClick(rig.slot(0), Qt::LeftButton);
        QCOMPARE(rig.fake->calls.first(), QStringLiteral("QuerySlots(SlotModels)"));
        QWidget *panel = findWindowByTag("Mon0");
        QVERIFY(panel && panel->isVisible() && panel->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(panel->windowTitle(), QStringLiteral("Q510E - Channels monitor - Slot 0"));
        for (int i = 1; i < 8; ++i) // an unsupported board (6) and an empty slot (7) open nothing
            rig.main->bSlotClick(i);
        QCOMPARE(collect(8, panelClass), QStringList({"frmQ510E", "frmQ510", "frmQ205", "frmQ310", "frmQ420", "frmQ420", "", ""}));
        // A second click brings the same window forward, even if the slot's board changed.
        rig.fake->setBoard(0, "Q205", 9);
        rig.main->bSlotClick(0);
        QCOMPARE(findWindowByTag("Mon0"), panel);
        // A row that has no way to open a panel opens nothing.
        panel->close();
        rig.main->setModelTable(ModelTable({{QStringLiteral("Q205"), {}}}));
        rig.main->bSlotClick(0);
        QVERIFY(!findWindowByTag("Mon0"));
        // Disconnect clears the whole overview, the three lamps no mask drives included; panels stay open.
        rig.fake->crateProperties["FrontPanIn"] = 63;
        rig.fake->crateProperties["FrontPanOut"] = 0x070F;
        rig.main->Timer1Tick();
        for (const char *name : {"ledTrip", "ledRstFlag", "ledPwrFail"})
            rig.find<Lamp>(name)->setValue(true);
        rig.fake->clear();
        rig.action("mDisconnect")->trigger();
        QCOMPARE(rig.fake->callsStartingWith("Logout"), QStringList{"Logout()"});
        QCOMPARE(rig.disconnectedFaults(), QString());
        QCOMPARE(panelClass(3), QStringLiteral("frmQ310"));
    }

    // A dead link disconnects with one message, and the status line says where the link goes,
    // that it is down and why, or that there is none.
    void deadLinkDisconnectsWithOneMessage()
    {
        ShellRig rig;
        rig.fake->setBoard(2, "Q205", 9);
        rig.fake->crateProperties["ModelName"] = QStringLiteral("PY-1600");
        QVERIFY(rig.main->statusBar()->isVisibleTo(rig.main.get()));
        QStringList status{rig.main->linkStatus()};
        rig.connect();
        status << rig.main->linkStatus();
        rig.main->bSlotClick(2);
        MsgBoxCatcher boxes;
        // Under the poll, with a Logout that fails as well.
        rig.fake->failOn = QStringList{"CrateProperty(FrontPanOut)", "Logout"};
        rig.main->Timer1Tick();
        status << rig.main->linkStatus();
        QCOMPARE(boxes.said(), QStringList{"Connection lost|The connection to the crate failed: fake failure in "
                                           "CrateProperty(FrontPanOut). Pylonet is now disconnected."});
        QVERIFY(rig.fake->calls.endsWith("Logout()")); // tried, its failure ignored
        QCOMPARE(rig.disconnectedFaults(), QString());
        QCOMPARE(panelClass(2), QStringLiteral("frmQ205")); // the open panel stays
        rig.fake->clear();
        rig.main->Timer1Tick();
        QVERIFY(rig.fake->callsStartingWith("QuerySlots(SlotCount,SlotModels)").isEmpty());
        // Under a slot click: disconnected all the same, and said once. A deliberate Disconnect
        // says nothing, even when its Logout fails: the log keeps it.
        rig.fake->failOn = QStringList{"QuerySlots(SlotModels)"};
        rig.connect();
        rig.main->bSlotClick(0);
        QCOMPARE(rig.disconnectedFaults(), QString());
        rig.fake->failOn = QStringList{"Logout"};
        rig.connect();
        rig.action("mDisconnect")->trigger();
        QCOMPARE(rig.disconnectedFaults(), QString());
        QCOMPARE(boxes.shown.size(), 2);
        QVERIFY(rig.main->eventLog().atRow(0).detail.contains("fake failure in Logout()"));
        rig.fake->failOn.clear();
        rig.fake->fingerprint = QStringLiteral("4F:1A:…:9C");
        rig.connect();
        QVERIFY(rig.main->isConnected() && rig.timer()->isActive());
        status << rig.main->linkStatus();
        rig.action("mDisconnect")->trigger();
        status << rig.main->linkStatus();
        QCOMPARE(status, QStringList({"Not connected", "Connected to 127.0.0.1 \u2014 PY-1600",
                                      "Connection lost: fake failure in CrateProperty(FrontPanOut)",
                                      "Connected to 127.0.0.1 \u2014 PY-1600 \u2014 encrypted, certificate SHA-256 4F:1A:…:9C",
                                      "Not connected"}));
    }

    // A write, a refused write, a trip seen by the watch and a lost link are logged in order;
    // the Events window lists them newest first, filters them and saves them, all without the crate.
    void eventLogRecordsTheRun()
    {
        ShellRig rig;
        MsgBoxCatcher boxes;
        rig.fake->setBoard(2, "Q420", 12);
        rig.fake->crateProperties["ModelName"] = QStringLiteral("PY-1600");
        int status = 0; // of channel 1
        rig.fake->paramValue = [&status](qint16, const QString &par, std::optional<qint16> ch) -> QVariant {
            return par == QLatin1String("Status") && ch == 1 ? status : 0;
        };
        rig.fake->channelParams = [](qint16, qint16) { return QStringList{"Status", "Pw"}; };
        rig.connect();
        for (int i = 0; i < 3; ++i) // the watch's map, what the board offers, its first look
            rig.main->Timer1Tick();
        BoardPanel *panel = openSlot(*rig.main, 2);
        panel->ChMonTick();
        QTest::mouseClick(panel->findChild<Lamp *>("ledPw_1"), Qt::LeftButton);
        rig.fake->failOn = QStringList{"SetParamValue(2,Pw,3"};
        QTest::mouseClick(panel->findChild<Lamp *>("ledPw_3"), Qt::LeftButton);
        QVERIFY(boxes.shown.isEmpty()); // a refusal is told on the lamp and the panel's status line
        QCOMPARE(panel->statusText(), QStringLiteral("Pw of channel 3 was not written: fake failure in SetParamValue(2,Pw,3,1:short)"));
        status = 512;
        panel->ChMonTick();
        rig.main->Timer1Tick();
        rig.fake->failOn = QStringList{"CrateProperty(FrontPanIn)"};
        rig.main->Timer1Tick();
        EventLog &log = rig.main->eventLog();
        QCOMPARE(collect(log.size(), [&](int i) { return line(log.at(i)); }),
                 QStringList({"Connect|-1|-1||||||Connected to 127.0.0.1 \u2014 PY-1600",
                              "Write|2|1|CH1|Pw|off|on|written|",
                              "Write|2|3|CH3|Pw|off|on|refused|fake failure in SetParamValue(2,Pw,3,1:short)",
                              "Alarm|2|1|CH1|Status|Good|I-Tripped||Alarm: Trip (I-Tripped)",
                              "Link lost|-1|-1||||||fake failure in CrateProperty(FrontPanIn)"}));
        rig.fake->clear();
        rig.action("mEvents")->trigger();
        frmEvents *events = rig.main->eventsWindow();
        QVERIFY(events && events->isVisible() && rig.fake->calls.isEmpty());
        QCOMPARE(column(events, EventLog::KindColumn), QStringList({"Link lost", "Alarm", "Write", "Write", "Connect"}));
        events->findChild<QComboBox *>("cboSlot")->setCurrentIndex(3); // slot 2
        QCOMPARE(column(events, EventLog::KindColumn), QStringList({"Alarm", "Write", "Write"}));
        events->findChild<QComboBox *>("cboKind")->setCurrentIndex(1 + int(EventLog::Kind::Write));
        QCOMPARE(column(events, EventLog::ChannelColumn), QStringList({"3", "1"}));
        events->findChild<QComboBox *>("cboKind")->setCurrentIndex(0);
        // Saved, the listed rows read back oldest first, every field and time as logged.
        QTemporaryDir dir;
        QVERIFY(events->saveCsv(dir.filePath("events.csv")));
        const QByteArray bytes = readFile(dir.filePath("events.csv"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF")); // so spreadsheets read it as UTF-8
        QStringList rows = QString::fromUtf8(bytes.mid(3)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.takeFirst(), QStringLiteral("crate,time,kind,slot,channel,name,parameter,old_value,new_value,outcome,detail"));
        for (int i = 0; i < rows.size(); ++i) { // the time as logged; the other fields below
            QCOMPARE(QDateTime::fromString(rows[i].section(',', 1, 1), Qt::ISODateWithMs).toMSecsSinceEpoch(), log.at(i + 1).timeMs);
            rows[i] = rows[i].section(',', 0, 0) + ',' + rows[i].section(',', 2);
        }
        QCOMPARE(rows, QStringList({"127.0.0.1,Write,2,1,CH1,Pw,off,on,written,",
                                    "127.0.0.1,Write,2,3,CH3,Pw,off,on,refused,\"fake failure in SetParamValue(2,Pw,3,1:short)\"",
                                    "127.0.0.1,Alarm,2,1,CH1,Status,Good,I-Tripped,,Alarm: Trip (I-Tripped)"}));
        QVERIFY(!events->saveCsv(dir.filePath("no/such/folder/events.csv")));
        QCOMPARE(boxes.shown.size(), 2); // the lost link, the failed save
        // Bounded: beyond its capacity the oldest go.
        events->close();
        for (int i = 0; i < EventLog::Capacity; ++i)
            log.link(EventLog::Kind::Disconnect, QString::number(i));
        QCOMPARE(log.size(), EventLog::Capacity);
        QCOMPARE(log.at(0).detail + ' ' + log.atRow(0).detail, QStringLiteral("0 9999"));
    }

    // Enter on a slot button opens its panel. From any window: F1 the help, Ctrl+E the Events
    // window, Ctrl+G a new graph, Ctrl+Shift+M the main window, whose Window menu lists every
    // open window; Ctrl+Q is Exit. Exit, as closing Main, ends the run without logging out, and
    // no panel outlives Main.
    void keysReachTheirActions()
    {
        ShellRig rig;
        rig.fake->setBoard(0, "Q205", 21);
        rig.fake->setBoard(1, "Q310", 14);
        rig.connect();
        rig.main->Timer1Tick();
        rig.main->show();
        QApplication::setActiveWindow(rig.main.get());
        rig.slot(0)->setFocus();
        QTest::keyClick(rig.slot(0), Qt::Key_Return);
        QWidget *panel = findWindowByTag("Mon0");
        QVERIFY(panel);
        panel->findChild<QTimer *>("ChMon")->stop();
        const QList<std::pair<QKeyCombination, QString>> keys{{Qt::Key_F1, "frmHelp"},
            {Qt::CTRL | Qt::Key_E, "frmEvents"}, {Qt::CTRL | Qt::Key_G, "frmGraph"}, {Qt::CTRL | Qt::SHIFT | Qt::Key_M, "Main"}};
        for (const auto &[key, window] : keys) {
            QApplication::setActiveWindow(panel);
            QTest::keyClick(panel->findChild<QLineEdit *>("txtChName_0"), key.key(), key.keyboardModifiers());
            QTRY_VERIFY2(QApplication::activeWindow() && QApplication::activeWindow()->objectName() == window,
                         qPrintable(window));
        }
        auto *windows = rig.find<QMenu>("mWindow");
        emit windows->aboutToShow();
        QCOMPARE(texts(windows->actions()).mid(3), QStringList({"-", "&1 Events", "&2 Graphical representation",
                                                                "&3 Pylonet Help", "&4 Q205 - Channels monitor - Slot 0"}));
        for (QWidget *w : topLevels("frmGraph"))
            w->close();
        QTest::keyClick(panel, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!rig.main->isVisible() && !panel->isVisible());
        QVERIFY(rig.fake->callsStartingWith("Logout").isEmpty());
        QPointer<QWidget> open = openSlot(*rig.main, 1, false);
        QVERIFY(open);
        rig.main.reset();
        QVERIFY(!open);
    }

    // Tab goes through the Events window in reading order and out of its table again, each stop
    // named; Enter presses "Save as CSV..." as Space does.
    void eventsWindowIsTabbedInReadingOrder()
    {
        ShellRig rig;
        rig.action("mEvents")->trigger();
        frmEvents *events = rig.main->eventsWindow();
        QVERIFY(QTest::qWaitForWindowActive(events));
        events->findChild<QWidget *>("cboSlot")->setFocus(Qt::TabFocusReason);
        QStringList heard;
        for (int stop = 0; stop < 6; ++stop) {
            heard << said(events->focusWidget());
            QTest::keyClick(events->focusWidget(), Qt::Key_Tab);
        }
        // This shift is shown: the later days' buttons are off and skipped.
        QCOMPARE(heard, QStringList({"Slot filter | ComboBox |  | All slots", "Kind filter | ComboBox |  | All kinds",
                                     "Save as CSV... | Button |  | ", "Events | Table |  | Events",
                                     "\u25C0 Earlier day | Button |  | ", "Slot filter | ComboBox |  | All slots"}));
        auto *save = events->findChild<QPushButton *>("cmdSaveCsv");
        QSignalSpy pressed(save, &QPushButton::clicked);
        QTimer::singleShot(100, [] { QApplication::activeModalWidget()->close(); }); // the file dialog
        save->setFocus();
        QTest::keyClick(save, Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
    }

    // The crate's model, release and board models holding markup read as they were sent.
    void crateTextIsShownAsSent()
    {
        ShellRig rig;
        const QString model = QStringLiteral("<u>PY</u>-8&amp;");
        rig.fake->crateProperties["ModelName"] = model;
        rig.fake->crateProperties["SwRelease"] = QStringLiteral("<i>2</i>");
        rig.fake->setBoard(2, "<b>Q</b>&X", 12);
        rig.connect();
        rig.main->Timer1Tick();
        QCOMPARE(QStringList({rendered(rig.find<QLabel>("lblSysModel")), rendered(rig.find<QLabel>("lblFWRel")),
                              rendered(rig.find<QLabel>("lblLinkStatus")), said(rig.slot(2))}),
                 QStringList({model, "FW Rel. <i>2</i>", "Connected to 127.0.0.1 \u2014 " + model,
                              "Slot 2 - <b>Q</b>&X | Button |  | "}));
    }

    // On a screen smaller than the overview (1600 x 1000 at scale 2, 1366 x 768 at 1.5) the
    // main window opens within the room and keeps its status line; the overview scrolls.
    void theMainWindowFitsASmallScreen()
    {
        for (const QRect available : {QRect(0, 27, 800, 473), QRect(0, 27, 911, 485)}) {
            ScreenFit::setAreaSource([available](const QWidget *) { return available; });
            const auto restore = qScopeGuard([] { ScreenFit::setAreaSource({}); });
            ShellRig rig;
            rig.main->show();
            const QSize room = ScreenFit::room(available);
            QVERIFY(rig.main->width() <= room.width() && rig.main->height() <= room.height());
            QVERIFY(rig.main->minimumSizeHint().height() <= room.height());
            QVERIFY(rig.main->statusBar()->isVisible() && rig.main->statusBar()->geometry().bottom() < rig.main->height());
        }
    }

    // The colours of the rack and the front plate read in a light and a dark palette.
    void coloursReadInLightAndDark()
    {
        for (const QPalette &palette : {lightFusionPalette(), darkFusionPalette()}) {
            const PaletteScope scope(palette);
            QCOMPARE(poorContrast(Main::colourPairs()), QStringList());
        }
    }

    void aboutShowsTheSameTextsEachTime()
    {
        ShellRig rig;
        for (int showing = 0; showing < 2; ++showing) {
            rig.action("mAbout")->trigger();
            QPointer<frmAbout> about = rig.main->findChild<frmAbout *>();
            QVERIFY(about && about->isVisible() && about->isModal());
            QStringList seen{about->windowTitle()};
            for (const char *name : {"lblTitle", "lblVersion", "lblDescription", "lblLegal", "Label1"})
                seen << about->findChild<QLabel *>(name)->text();
            QCOMPARE(seen, QStringList({"About Pylonet", "Pylonet", "Version 1.3.3", "Remote control of HV boards.",
                                        "Copyright (C) 2026 the Pylonet developers. Distributed without warranty.",
                                        "Support: pylonet-support@example.org"}));
            // OK the first time, Esc the second: both close and unload it.
            showing == 0 ? QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton)
                         : QTest::keyClick(about, Qt::Key_Escape);
            QTRY_VERIFY(!about);
        }
    }

    // What the platform and --version read.
    void registeredWithQt()
    {
        AppInfo::registerWithQt();
        QCOMPARE(QStringList({QCoreApplication::applicationName(), QCoreApplication::organizationName(),
                              QCoreApplication::applicationVersion(), QGuiApplication::desktopFileName()}),
                 QStringList({"Pylonet", "Norvane", "1.3.3", "pylonet"}));
    }

    // The programs answer --version and --help anywhere, a display or none, and refuse an address
    // --connect cannot use before any window: run as built, with every variable that names a display removed.
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstLine"); // of the output, or of the errors when refused
        QTest::newRow("pylonet --version") << PYLONET_APP << QStringList{"--version"} << 0 << "Pylonet 1.3.3";
        QTest::newRow("pylonet -v") << PYLONET_APP << QStringList{"-v"} << 0 << "Pylonet 1.3.3";
        QTest::newRow("pylonet --help") << PYLONET_APP << QStringList{"--help"} << 0 << "Usage: " PYLONET_APP " [options]";
        QTest::newRow("pylonet-sim --version") << PYLONET_SIM << QStringList{"--version"} << 0 << "pylonet-sim 1.3.3";
        QTest::newRow("a bad --connect address") << PYLONET_APP << QStringList{"--connect", "10.0.0.300:47310"} << 2
                                                 << "--connect 10.0.0.300:47310: not an address such as 127.0.0.1 or "
                                                    "127.0.0.1:47310 (four numbers from 0 to 254, then an optional port from 1 to 65535)";
    }
    void answersWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, firstLine);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(program, arguments);
        QVERIFY(run.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(exitCode ? run.readAllStandardError() : run.readAllStandardOutput());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), exitCode);
        QCOMPARE(out.section(QLatin1Char('\n'), 0, 0), firstLine);
    }

    void splashHandsOverOnce()
    {
        for (const QString trigger : {"key", "timer", "lblVersion"}) {
            ShellRig rig;
            QPointer<frmSplash> splash = new frmSplash(*rig.main);
            splash->show();
            QCOMPARE(splash->findChild<QLabel *>("lblProductName")->text() + " "
                         + splash->findChild<QLabel *>("lblVersion")->text(), QStringLiteral("Pylonet Release 1.3.3"));
            QVERIFY(!splash->findChild<QLabel *>("imgLogo")->pixmap().isNull());
            auto *timer = splash->findChild<QTimer *>("Timer1");
            QVERIFY(timer->isActive() && !rig.main->isVisible());
            if (trigger == "key")
                QTest::keyClick(splash, Qt::Key_Space);
            else if (trigger == "timer")
                QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
            else
                QTest::mouseClick(splash->findChild<QWidget *>(trigger), Qt::LeftButton);
            QVERIFY(rig.main->isVisible() && !splash->isVisible());
            // A second trigger before the splash is gone does nothing: a hidden Main stays hidden.
            rig.main->hide();
            QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
            QTest::keyClick(splash, Qt::Key_Escape);
            QVERIFY(!rig.main->isVisible());
            QTRY_VERIFY(!splash);
        }
    }
};

QTEST_MAIN(TestMain)
#include "tst_main.moc"
