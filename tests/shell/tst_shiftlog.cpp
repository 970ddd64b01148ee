// The shift log as the operator meets it: events outlive the program, the Events
// window opens on this shift and pages back by day, its CSV is safe in a
// spreadsheet, and a file that cannot be written is said once and loses nothing.
#include "archive.h"
#include "eventlog.h"
#include "eventstable.h"
#include "shelltest.h"
#include "shiftlog.h"

#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
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

class TestShiftLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

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

QTEST_MAIN(TestShiftLog)
#include "tst_shiftlog.moc"
