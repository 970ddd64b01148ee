// The main window's watch over the whole simulated crate, over the network with
// every panel closed: trips, Kill and Interlock, pulled boards and changes made
// by another client, as the lamps, the slot marks, the alarm list and the log
// show them; and what the watch costs the poll. The shift log as the operator
// meets it: events outlive the program, the Events window opens on this shift
// and pages back by day, its CSV is safe in a spreadsheet, and a file that
// cannot be written is said once and loses nothing.
#include "alarmbook.h"
#include "alarmpanel.h"
#include "archive.h"
#include "countinghv.h"
#include "cratewatch.h"
#include "eventlog.h"
#include "eventstable.h"
#include "fakeserver.h"
#include "lamp.h"
#include "shelltest.h"
#include "shiftlog.h"
#include "simcrate.h"
#include "simserver.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>

namespace {
// Main on the simulated crate over the network, its timer stopped: the test polls,
// and moves the crate's clock.
struct WatchRig
{
    std::atomic<qint64> clockMs{1000};
    SimServerThread server{std::make_unique<SimCrate>([this] { return clockMs.load(); })};
    NetClient *client = new NetClient(server.port(), 2000, 3000);
    CountingHV *counted = new CountingHV(std::unique_ptr<HVPowerSupply>(client));
    Main main{std::unique_ptr<HVPowerSupply>(counted)};
    SimCrate &crate = server.crate();

    WatchRig()
    {
        client->Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
        main.enterConnected(16, "PY-1600", server.address());
        main.findChild<QTimer *>("Timer1")->stop();
        polls(3, 0); // the map, what each board offers, the first look
        main.alarms().acknowledgeAll(); // what the crate had at connect (a channel at its limit, a hot board)
        startedMs = QDateTime::currentMSecsSinceEpoch();
    }
    bool poll(qint64 advanceMs = 0)
    {
        clockMs += advanceMs;
        main.Timer1Tick();
        return QTest::qWaitFor([this] { return !main.pollInFlight(); }, 5000);
    }
    void polls(int n, qint64 advanceMs = 1000)
    {
        for (int i = 0; i < n; ++i)
            poll(advanceMs);
    }
    // The listed alarms other than those acknowledged at connect: "slot|channel|name|text|state".
    QStringList alarms() const
    {
        QStringList out;
        const AlarmBook &book = main.alarms();
        for (int row = 0; row < book.size(); ++row) {
            QStringList cells;
            for (int c = 0; c < AlarmBook::ColumnCount; ++c)
                if (c != AlarmBook::SinceColumn)
                    cells << book.index(row, c).data().toString();
            if (!cells.last().startsWith("active, acknowledged") || book.atRow(row).sinceMs > startedMs)
                out << cells.join('|');
        }
        return out;
    }
    bool lit(const char *lamp) const { return main.findChild<Lamp *>(lamp)->value(); }
    QString mark(int slot) const
    {
        const QLabel *l = main.findChild<QLabel *>(QStringLiteral("lblAlarm_%1").arg(slot));
        return l->isVisibleTo(&main) ? l->text() : QString();
    }
    // The log's entries since `from`, as "kind|slot|channel|parameter|old|new".
    QStringList logSince(int from) const
    {
        const EventLog &log = main.eventLog();
        return collect(log.size() - from, [&](int i) {
            const EventLog::Entry &e = log.at(from + i);
            return QStringList{EventLog::kindText(e.kind), QString::number(e.slot), QString::number(e.channel),
                               e.parameter, e.oldValue, e.newValue}
                .join('|');
        });
    }
    qint64 startedMs = 0; // alarms listed before are the crate's at connect
};

// A Main with the shift log in a file, connected to a fake crate.
struct Run
{
    explicit Run(const QString &path, int retryMs = 5000) : archive({path, 90, 100, retryMs, 200})
    {
        archive.add(std::make_unique<EventsTable>());
        archive.start();
        main = std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(new FakeHV), &archive);
        main->enterConnected(16, "PY-1600", "127.0.0.1");
    }
    ~Run() { main.reset(); } // before the archive, as in the program
    // The Events window as it lists its period once read.
    frmEvents *events()
    {
        main->mEventsClick();
        frmEvents *w = main->eventsWindow();
        return QTest::qWaitFor([w] { return !w->isLoading(); }, 5000) ? w : nullptr;
    }
    Archive archive;
    std::unique_ptr<Main> main;
};

// RFC 4180: fields separated by commas, quoted fields with doubled quotes, rows by line breaks.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows{{}};
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            field += text[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ',' || c == '\n')) {
            rows.last() << field;
            field.clear();
            if (c == '\n')
                rows << QStringList();
        } else
            field += c;
    }
    if (rows.last().isEmpty())
        rows.removeLast();
    return rows;
}
} // namespace

class TestWatch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // A channel of a board whose panel is closed trips: "Trip" lights, the slot is marked and
    // the alarm listed. The latch holds until acknowledged, even after the trip has cleared;
    // acknowledged while active, the alarm stays listed as active until it clears.
    void aTripLatchesUntilAcknowledged_data()
    {
        QTest::addColumn<bool>("acknowledgeFirst");
        QTest::newRow("acknowledged, then cleared") << true;
        QTest::newRow("cleared, then acknowledged") << false;
    }
    void aTripLatchesUntilAcknowledged()
    {
        QFETCH(bool, acknowledgeFirst);
        WatchRig rig;
        QVERIFY(!rig.lit("ledTrip") && rig.mark(0).isEmpty());
        rig.crate.setParamValue(0, "Pw", 4, 1); // "Shorted" trips after its trip time at the current limit
        rig.poll(1000);
        rig.poll(12000); // tripped after 5 s, ramped down by 10 s
        QVERIFY(rig.lit("ledTrip"));
        QVERIFY(!rig.lit("ledPwrFail"));
        QCOMPARE(rig.mark(0), QStringLiteral("TRIP"));
        QVERIFY(rig.main.findChild<QPushButton *>("bSlot_0")->accessibleDescription().startsWith("Alarm: Trip (I-Tripped) on channel 4, active"));
        QCOMPARE(rig.alarms(), QStringList{"0|4|Shorted|Trip (I-Tripped)|active, not acknowledged"});
        const auto clear = [&rig] {
            rig.crate.setLoad(0, 4, 1e12);
            rig.crate.setParamValue(0, "Pw", 4, 1); // on again, with nothing to trip it
            rig.poll(1000);
        };
        if (acknowledgeFirst) {
            rig.main.show();
            QApplication::setActiveWindow(&rig.main);
            QVERIFY(QTest::qWaitForWindowActive(&rig.main));
            QTest::keyClick(&rig.main, Qt::Key_K, Qt::ControlModifier); // the newest unacknowledged
            QTRY_COMPARE(rig.alarms(), QStringList{"0|4|Shorted|Trip (I-Tripped)|active, acknowledged"});
            QVERIFY(rig.lit("ledTrip") && rig.mark(0) == "TRIP");
            clear();
        } else {
            clear();
            QVERIFY(rig.alarms().value(0).contains("|cleared "));
            QVERIFY(rig.lit("ledTrip") && rig.mark(0) == "TRIP");
            QTest::mouseClick(rig.main.findChild<QPushButton *>("cmdAcknowledgeAll"), Qt::LeftButton);
        }
        QCOMPARE(rig.alarms(), QStringList());
        QVERIFY(!rig.lit("ledTrip") && rig.mark(0).isEmpty());
        QVERIFY(!rig.main.alarmPanel()->soundOn() && rig.main.alarmPanel()->beeps() == 0); // sound is off by default
    }

    // Kill or Interlock at the front panel is one alarm naming every channel it switched off,
    // and one clearing; no channel's status or power is logged for it on its own.
    void aCrateWideSwitchOffIsOneAlarm_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("Kill") << "Kill";
        QTest::newRow("Interlock") << "Interlock";
    }
    void aCrateWideSwitchOffIsOneAlarm()
    {
        QFETCH(QString, input);
        WatchRig rig;
        int on = 0;
        for (int slot : {0, 1, 2, 3, 4, 5, 6, 8, 10, 11, 13, 14})
            for (int ch = 0; ch < rig.crate.channelCounts().value(slot).toInt(); ++ch)
                on += rig.crate.paramValue(slot, "Pw", ch).toInt();
        const int logged = rig.main.eventLog().size();
        rig.crate.setFrontPanelInput(input, true);
        rig.polls(2);
        QCOMPARE(rig.alarms().size(), 1);
        const QString alarm = rig.alarms().first();
        QVERIFY2(alarm.startsWith(QStringLiteral("crate|||%1 switched off %2 channels: slot 0: 0 Anode, 1 Cathode, 2 CH02, "
                                                 "3 CH03, 7 CH07, 8 Limited, 9 CH09; slot 1: ").arg(input).arg(on)),
                 qPrintable(alarm));
        QVERIFY(alarm.contains("; slot 14: 0 CH00|active, not acknowledged"));
        QVERIFY(rig.lit("ledTrip") && rig.mark(0).isEmpty());
        rig.crate.setFrontPanelInput(input, false);
        rig.polls(2);
        // The channel that was at its current limit is no longer: that alarm clears too.
        QCOMPARE(rig.logSince(logged),
                 QStringList({"Alarm|-1|-1|FrontPanIn|off|on", "Alarm cleared|1|6|||", "Alarm cleared|-1|-1|||"}));
    }

    // A board pulled out is an alarm on its slot; put back, the condition clears and it is watched again.
    void aPulledBoardIsAnAlarm()
    {
        WatchRig rig;
        rig.server.pullBoard(3);
        rig.poll(1000);
        QCOMPARE(rig.alarms(), QStringList{"3|||Board Q510 left slot 3|active, not acknowledged"});
        QCOMPARE(rig.mark(3), QStringLiteral("REMOVED"));
        QCOMPARE(rig.main.eventLog().atRow(0).kind, EventLog::Kind::BoardRemoved);
        rig.server.insertBoard(3);
        rig.polls(3);
        QVERIFY(rig.alarms().value(0).startsWith("3|||Board Q510 left slot 3|cleared"));
        rig.crate.setParamValue(3, "Pw", 5, 1);
        rig.poll(1000);
        QCOMPARE(rig.logSince(rig.main.eventLog().size() - 1), QStringList{"Changed elsewhere|3|5|Pw|off|on"});
    }

    // A Q510's board status raises its alarms: a power fail lights "Power Failure", a firmware
    // checksum error marks its slot only.
    void boardFaultsAreAlarms_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("alarm");
        QTest::addColumn<bool>("powerFailLamp");
        QTest::newRow("power fail") << 1 << "3|||Power fail (Q510)|active, not acknowledged|PWR FAIL" << true;
        QTest::newRow("checksum") << 2 << "3|||Firmware checksum error (Q510)|active, not acknowledged|CHKSUM" << false;
    }
    void boardFaultsAreAlarms()
    {
        QFETCH(int, bits);
        QFETCH(QString, alarm);
        QFETCH(bool, powerFailLamp);
        WatchRig rig;
        rig.crate.setBoardFaults(3, quint32(bits));
        rig.poll(1000);
        QCOMPARE(rig.alarms().join(';') + '|' + rig.mark(3), alarm);
        QCOMPARE(rig.lit("ledPwrFail"), powerFailLamp);
        QVERIFY(!rig.lit("ledTrip"));
    }

    // Another client's power switch, setpoint and name are logged as changed elsewhere, in
    // real units; this program's own write is not.
    void changesElsewhereAreLoggedOursAreNot()
    {
        WatchRig rig;
        LoggedInClient other(rig.server.port());
        rig.polls(10); // every channel's setpoints are read within ten ticks
        const int logged = rig.main.eventLog().size();
        QWidget *panel = openSlot(rig.main, 13);
        QVERIFY(panel);
        QTest::mouseClick(panel->findChild<Lamp *>("ledPw_0"), Qt::LeftButton); // ours
        other.SetParamValue(13, "V0Set", 2, 1.25);
        other.SetParamValue(4, "V0Set", 5, 25000.0); // 10 mV steps: 250 V
        other.SetChannelName(13, 3, "Beam");
        other.SetParamValue(13, "Pw", 5, qint16(1));
        rig.polls(10);
        QStringList elsewhere = rig.logSince(logged).filter("Changed elsewhere");
        elsewhere.sort();
        QCOMPARE(elsewhere, QStringList({"Changed elsewhere|13|2|V0Set|0 V|1.25 kV", "Changed elsewhere|13|3|Name|CH03|Beam",
                                         "Changed elsewhere|13|5|Pw|off|on", "Changed elsewhere|4|5|V0Set|0 V|250 V"}));
        QCOMPARE(rig.logSince(logged).filter("Write|13|0|Pw|").size(), 1);
    }

    // The watch rides in the poll's one round trip a tick, and asks the crate no more than
    // one open Q310 panel's tick does.
    void thePollStaysOneRoundTripWithinThePanelsBudget()
    {
        WatchRig rig;
        const int plansBefore = rig.counted->plans, readsBefore = rig.counted->planned, ticks = 12;
        rig.polls(ticks);
        const int watchReads = (rig.counted->planned - readsBefore) / ticks - 4; // beyond the map and the front panel
        QCOMPARE(rig.counted->plans - plansBefore, ticks);
        BoardPanel *panel = openSlot(rig.main, 0);
        QVERIFY(panel);
        QTRY_VERIFY(!panel->tickInFlight());
        panel->ChMonTick();
        const int panelReads = rig.counted->lastPlanSize;
        QVERIFY2(watchReads > 200 && watchReads <= panelReads,
                 qPrintable(QStringLiteral("%1 > %2").arg(watchReads).arg(panelReads)));
    }

    // What one run logged, a write's outcome included, the next run lists; an event of two
    // days ago is two pages back; a name that looks like a formula is saved as text.
    void theShiftLogOutlivesTheProgram()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        const QString formula = QStringLiteral("=HYPERLINK(\"http://x\",\"ok\")");
        {
            Run first(path);
            EventLog &log = first.main->eventLog();
            const qint64 write = log.writeMade(3, 7, formula, "V0Set", "1.5 kV", "-2 kV");
            EventLog::Entry old;
            old.kind = EventLog::Kind::Status;
            old.timeMs = QDateTime::currentDateTime().addDays(-2).toMSecsSinceEpoch();
            old.slot = 5;
            old.detail = QStringLiteral("two days ago");
            log.add(old);
            log.writeOutcome(write, EventLog::Outcome::Written);
        }
        Run second(path);
        frmEvents *events = second.events();
        QVERIFY(events);
        QCOMPARE(column(events, EventLog::OutcomeColumn).mid(1), QStringList({"written", ""})); // the new run's Connect first
        QCOMPARE(column(events, EventLog::NameColumn).value(1), formula);
        for (int back = 1; back <= 3; ++back) {
            events->findChild<QPushButton *>("cmdEarlier")->click();
            QTRY_VERIFY(!events->isLoading());
            QCOMPARE(column(events, EventLog::DetailColumn).contains("two days ago"), back == 3);
        }
        QVERIFY(events->findChild<QLabel *>("lblPeriod")->text().contains(QString::number(QDate::currentDate().addDays(-2).day())));
        events->findChild<QPushButton *>("cmdThisShift")->click();
        QTRY_VERIFY(!events->isLoading());
        QVERIFY(events->saveCsv(dir.filePath("events.csv")));
        const QByteArray bytes = readFile(dir.filePath("events.csv"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(rows.size(), 4); // heading, the first run's Connect, the write, the second's Connect
        QCOMPARE(rows[0].join('|'), QStringLiteral("crate|time|kind|slot|channel|name|parameter|old_value|new_value|outcome|detail"));
        QStringList write = rows[2];
        write.removeAt(1); // the time
        QCOMPARE(write, QStringList({"127.0.0.1", "Write", "3", "7", "'" + formula, "V0Set", "1.5 kV", "'-2 kV", "written", ""}));
    }

    // A file that cannot be written stops nothing: the status line and the log say so once,
    // the events wait, and once the file can be written they are in it.
    void aShiftLogThatCannotBeWrittenIsSaidOnce()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("blocked"))); // a file where the folder should be
        Run run(dir.filePath("blocked/shiftlog.sqlite"), 100);
        auto *said = run.main->findChild<QLabel *>("lblShiftLog");
        QTRY_VERIFY(said->isVisibleTo(run.main.get()));
        QVERIFY2(said->text().startsWith("Shift log not written: cannot make the folder"), qPrintable(said->text()));
        EventLog &log = run.main->eventLog();
        for (int i = 0; i < 5; ++i) {
            log.link(EventLog::Kind::Disconnect, QString::number(i));
            run.main->Timer1Tick(); // the program goes on
            QTest::qWait(100);
        }
        auto shiftLogEntries = [&log] {
            QStringList out;
            for (int i = 0; i < log.size(); ++i)
                if (log.at(i).kind == EventLog::Kind::ShiftLog)
                    out << log.at(i).detail.section(' ', 0, 5);
            return out;
        };
        QCOMPARE(shiftLogEntries(), QStringList{"The shift log cannot be written"});
        QVERIFY(QFile::remove(dir.filePath("blocked")));
        QTRY_VERIFY(!said->isVisibleTo(run.main.get()));
        QCOMPARE(shiftLogEntries(), QStringList({"The shift log cannot be written", "The shift log is written to"}));
        QVERIFY(run.archive.writeNow());
        QList<EventRow> kept;
        QObject context;
        run.archive.find<EventsTable>()->fetch(0, std::numeric_limits<qint64>::max(), &context,
                                                [&kept](const QList<EventRow> &rows, const QString &) { kept = rows; });
        QTRY_COMPARE(kept.size(), log.size());
    }
};

QTEST_MAIN(TestWatch)
#include "tst_watch.moc"
