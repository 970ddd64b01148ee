// The archive's file. The shift log: what is written is read back by the next
// run, a killed writer loses at most its last second, a file that cannot be
// written stops nothing and is said once, old rows go, and two programs share
// one file. The graphs' samples: compact blocks that give back every value bit
// for bit, one sample a second per key however many windows trace it, kept past
// the program, read in time order across runs and memory, and pruned by their
// own retention.
#include "helpers.h"
#include "shelf.h"
#include "trendblock.h"
#include "trendcursor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
const TrendKey VMon{QStringLiteral("127.0.0.1"), 1, 2, QStringLiteral("VMon")};
const TrendKey IMon{QStringLiteral("127.0.0.1"), 1, 2, QStringLiteral("IMon")};
constexpr qint64 Minute = 60 * 1000, Day = 24 * 60 * Minute;

EventRow eventRow(const QByteArray &run, qint64 seq, qint64 timeMs = QDateTime::currentMSecsSinceEpoch())
{
    return {.run = run, .seq = seq, .timeMs = timeMs, .kind = QStringLiteral("Write"), .crate = QStringLiteral("127.0.0.1"),
            .slot = 3, .channel = int(seq % 14), .channelName = QStringLiteral("=HYPERLINK(\"x\")"),
            .parameter = QStringLiteral("V0Set"), .oldValue = QStringLiteral("1.5 kV"), .newValue = QStringLiteral("-2 kV"),
            .outcome = QStringLiteral("pending"), .detail = {}};
}

QStringList keys(const QList<EventRow> &rows)
{
    return collect(rows.size(), [&rows](int i) {
        return QString::fromLatin1(rows[i].run) + ':' + QString::number(rows[i].seq) + ':' + rows[i].outcome;
    });
}

// The writer the kill test kills: an event every 10 ms, each told on stdout once handed over.
int writer(const QString &path)
{
    int argc = 1;
    char name[] = "writer";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    Archive archive({path});
    EventsTable &events = archive.add(std::make_unique<EventsTable>());
    TrendTable &trends = archive.add(std::make_unique<TrendTable>());
    archive.start();
    qint64 seq = 0;
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const EventRow r = eventRow("writer", ++seq);
        events.add(r);
        trends.record(VMon, start + r.seq * 1000, double(r.seq)); // a graph's sample, stored as it comes
        std::printf("%lld %lld\n", static_cast<long long>(r.seq), static_cast<long long>(r.timeMs));
        std::fflush(stdout);
    });
    tick.start(10);
    return app.exec();
}

// A whole minute an hour ago: old enough for its open blocks to be closed at the next opening.
qint64 anHourAgo()
{
    return (QDateTime::currentMSecsSinceEpoch() - 60 * Minute) / Minute * Minute;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Rows of a table on the file, counted through a connection of the test's own.
int count(const QString &path, const QString &table)
{
    ArchiveConnection peek(path);
    QSqlQuery q(peek.db());
    return q.exec("SELECT COUNT(*) FROM " + table) && q.next() ? q.value(0).toInt() : -1;
}
} // namespace

class TestArchive : public QObject
{
    Q_OBJECT
private slots:
    // Rows and later words on them survive the program; the file is in WAL mode.
    void writtenRowsAreReadBackByTheNextRun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("deep/er/shiftlog.sqlite"); // the folder is made
        {
            Shelf shelf(path);
            for (int i = 1; i <= 3; ++i)
                shelf.events.add(eventRow("run1", i));
            shelf.events.update("run1", 2, QStringLiteral("refused"), QStringLiteral("out of range"));
        } // written on the way out
        Shelf again(path);
        const QList<EventRow> rows = again.rows();
        QCOMPARE(keys(rows), QStringList({"run1:1:pending", "run1:2:refused", "run1:3:pending"}));
        QCOMPARE(rows[1].detail + '|' + rows[1].channelName + '|' + rows[1].newValue,
                 QStringLiteral("out of range|=HYPERLINK(\"x\")|-2 kV"));
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peek");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("PRAGMA journal_mode") && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        QVERIFY(q.exec("SELECT version FROM schema_parts WHERE part = 'events'") && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        q.finish();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("peek");
    }

    // A writer killed without warning keeps every event and trend sample it handed over more than a second before.
    void aKilledWriterLosesAtMostTheLastSecond()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        QProcess proc;
        proc.start(QCoreApplication::applicationFilePath(), {"--writer", path});
        QVERIFY(proc.waitForStarted());
        QList<std::pair<qint64, qint64>> handed; // seq, time
        QElapsedTimer running;
        running.start();
        while (running.elapsed() < 2500 && proc.state() == QProcess::Running) {
            proc.waitForReadyRead(100);
            while (proc.canReadLine()) {
                const QList<QByteArray> f = proc.readLine().trimmed().split(' ');
                handed << std::pair{f[0].toLongLong(), f[1].toLongLong()};
            }
        }
        proc.kill();
        const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(proc.waitForFinished());
        QVERIFY2(handed.size() > 50, qPrintable(QString::number(handed.size())));
        Shelf after(path);
        QSet<qint64> kept, sampled;
        for (const EventRow &r : after.rows())
            kept.insert(r.seq);
        for (const double v : after.history(VMon).values)
            sampled.insert(qint64(v));
        QStringList lost;
        for (const auto &[seq, time] : handed)
            if (time < killedAt - 1000 && (!kept.contains(seq) || !sampled.contains(seq)))
                lost << QString::number(seq);
        QVERIFY2(lost.isEmpty(), qPrintable(lost.join(' ')));
    }

    // A file that cannot be written (locked by another program, or its folder unmakeable)
    // is said once; the rows wait in memory and are written once it can be.
    void troubleIsSaidOnceAndNothingIsLost_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("locked by another program") << true;
        QTest::newRow("folder cannot be made") << false;
    }
    void troubleIsSaidOnceAndNothingIsLost()
    {
        QFETCH(bool, locked);
        QTemporaryDir dir;
        const QString path = dir.filePath(locked ? "shiftlog.sqlite" : "blocked/shiftlog.sqlite");
        QSqlDatabase other;
        if (locked) {
            Shelf({path}).events.add(eventRow("first", 1));
            other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec("BEGIN EXCLUSIVE"));
        } else {
            QVERIFY(writeFile(dir.filePath("blocked"))); // a file where the folder should be
        }
        Shelf shelf(path, 90, 50);
        QSignalSpy said(&shelf.archive, &Archive::troubleChanged);
        for (int i = 1; i <= 5; ++i) {
            shelf.events.add(eventRow("run", i));
            QTest::qWait(150); // several tries fail meanwhile
        }
        QVERIFY(!shelf.archive.writeNow(2000));
        QCOMPARE(said.size(), 1);
        const QString why = said.first().first().toString();
        QVERIFY2(why.contains(locked ? "locked" : "folder"), qPrintable(why));
        QCOMPARE(shelf.events.waiting(), 5);
        if (locked) {
            QVERIFY(QSqlQuery(other).exec("ROLLBACK"));
            other.close();
            other = QSqlDatabase();
            QSqlDatabase::removeDatabase("other");
        } else {
            QVERIFY(QFile::remove(dir.filePath("blocked")));
        }
        QTRY_COMPARE_WITH_TIMEOUT(said.size(), 2, 5000);
        QCOMPARE(said.last().first().toString(), QString());
        QCOMPARE(keys(shelf.rows()).filter("run:").size(), 5);
    }

    // A file that is no database is kept beside, said once, and a new one begun.
    void aDamagedFileIsSetAsideAndANewOneBegun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        QVERIFY(writeFile(path, QByteArray(8192, 'x')));
        Shelf shelf(path);
        QSignalSpy said(&shelf.archive, &Archive::notice);
        shelf.events.add(eventRow("run", 1));
        QVERIFY(shelf.archive.writeNow());
        QCOMPARE(keys(shelf.rows()), QStringList{"run:1:pending"});
        QTRY_COMPARE(said.size(), 1);
        const QStringList aside = QDir(dir.path()).entryList({"shiftlog.sqlite.damaged-*"});
        QCOMPARE(aside.size(), 1);
        QVERIFY(said.first().first().toString().contains(aside.first()));
        QCOMPARE(QFileInfo(dir.filePath(aside.first())).size(), 8192);
    }

    // Rows older than the retention are deleted when the file is opened.
    void oldRowsGoAfterTheRetention()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        {
            Shelf shelf(path, 0); // 0: kept for ever
            for (int age : {100, 40, 29, 0})
                shelf.events.add(eventRow("run", age, now - age * Day - 1000));
        }
        QCOMPARE(Shelf(path, 0).rows().size(), 4);
        QCOMPARE(keys(Shelf(path, 30).rows()), QStringList({"run:29:pending", "run:0:pending"}));
    }

    // Two programs on one file: each writes, each reads the other's rows.
    void twoInstancesShareOneFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        Shelf a(path);
        Shelf b(path);
        for (int i = 1; i <= 50; ++i) {
            a.events.add(eventRow("a", i));
            b.events.add(eventRow("b", i));
        }
        QVERIFY(a.archive.writeNow() && b.archive.writeNow());
        for (Shelf *s : {&a, &b}) {
            QString error;
            const QStringList k = keys(s->rows(&error));
            QCOMPARE(error, QString());
            QCOMPARE(k.filter("a:").size() + k.filter("b:").size(), 100);
        }
    }

    void blocksKeepEveryValueCompactly_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("bytesPerSample"); // at most, a second apart
        QVector<double> counts, halves, noisy;
        for (int i = 0; i < 60; ++i) {
            counts << i * 7 - 100;
            halves << 1500.25 + i * 0.5;
            noisy << 1000 + 300 * std::sin(i / 9.0) + i * 1e-7;
        }
        QTest::newRow("integers") << counts << 5;
        QTest::newRow("single precision") << halves << 8;
        QTest::newRow("double precision") << noisy << 12;
        QTest::newRow("edges") << QVector<double>{-0.0, 0.0, 1e-300, -1e300, 9007199254740993.0, INFINITY, NAN} << 12;
    }
    void blocksKeepEveryValueCompactly()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, bytesPerSample);
        QVector<qint64> times;
        for (int i = 0; i < values.size(); ++i)
            times << anHourAgo() + i * 1000 + (i == 3 ? -5000 : i % 2); // one clock step back
        const QByteArray block = TrendBlock::encode(times, values);
        QVERIFY2(block.size() <= values.size() * bytesPerSample + 12, qPrintable(QString::number(block.size())));
        QVector<qint64> t{42};
        QVector<double> v{42};
        QVERIFY(TrendBlock::decode(block, t, v));
        QCOMPARE(t.mid(1), times);
        for (int i = 0; i < values.size(); ++i)
            QVERIFY2(sameBits(v[i + 1], values[i]), qPrintable(QString::number(i)));
        QVERIFY(!TrendBlock::decode(block.left(block.size() - 2), t, v) && !TrendBlock::decode("junk", t, v));
        QCOMPARE(t.size(), values.size() + 1); // nothing of a broken block
    }

    // Two windows tracing one key: its samples are stored once a second, in a block a minute,
    // and the next run reads them back, whole or by period.
    void samplesAreKeptOnceAndOutliveTheProgram()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        const qint64 t0 = anHourAgo();
        {
            Shelf shelf(path);
            int kept = 0, refused = 0;
            for (int s = 0; s < 180; ++s) {
                kept += shelf.trends.record(VMon, t0 + s * 1000, s);
                refused += !shelf.trends.record(VMon, t0 + s * 1000 + 500, -s); // the second window
                kept += shelf.trends.record(IMon, t0 + s * 1000 + 500, s * 1e-6);
            }
            QCOMPARE(QList<int>({kept, refused}), QList<int>({360, 180}));
            QVERIFY(shelf.archive.writeNow());
            // Minutes 1 and 2 of each key in blocks; the third still fills.
            QCOMPARE(QList<int>({count(path, "trend_blocks"), count(path, "trend_open")}), QList<int>({4, 2}));
        }
        Shelf next(path);
        const TrendSeries all = next.history(VMon);
        QCOMPARE(QList<qint64>({all.times.size(), all.times.first()}), QList<qint64>({180, t0}));
        QCOMPARE(all.values.last(), 179.0);
        QVERIFY(std::is_sorted(all.times.cbegin(), all.times.cend()));
        const TrendSeries part = next.history(IMon, t0 + 30 * 1000, t0 + 90 * 1000);
        QCOMPARE(part.times.size(), 60);
        QCOMPARE(part.values.first(), 30 * 1e-6); // the sample at 30.5 s
        // The open blocks an hour old were closed when the file was opened again.
        QCOMPARE(QList<int>({count(path, "trend_blocks"), count(path, "trend_open")}), QList<int>({6, 0}));
    }

    // Another program's blocks overlap this one's, and some samples still wait for the file:
    // a cursor gives them all in time order, each time once, as the history does.
    void aCursorReadsRunsAndMemoryInTimeOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        const qint64 t0 = anHourAgo();
        Shelf a(path);
        Shelf b(path, 90, 2000, 30, 60000); // flushes only when asked to
        for (int s = 0; s < 150; ++s) {
            a.trends.record(VMon, t0 + s * 1000, s);
            b.trends.record(VMon, t0 + s * 1000 + (s % 10 == 0 ? 0 : 400), s + 0.5); // some at the same time
        }
        QVERIFY(a.archive.writeNow() && b.archive.writeNow());
        for (int s = 150; s < 200; ++s)
            b.trends.record(VMon, t0 + s * 1000 + 400, s); // waiting in memory
        QCOMPARE(b.trends.waiting(), 50);
        const qint64 from = t0 + 20 * 1000, to = t0 + 170 * 1000;
        QVector<qint64> times;
        QVector<double> values;
        {
            ArchiveConnection reader(path);
            QVERIFY2(reader.isOpen(), qPrintable(reader.error()));
            for (TrendCursor c(reader.db(), b.trends, VMon, from, to); !c.atEnd(); c.next()) {
                times << c.time();
                values << c.value();
            }
        }
        QVERIFY(std::is_sorted(times.cbegin(), times.cend()));
        QCOMPARE(QSet<qint64>(times.cbegin(), times.cend()).size(), times.size());
        QCOMPARE(times.size(), 130 + 130 - 13 + 20); // both runs' samples, those at one time once, then memory's
        QCOMPARE(QList<qint64>({times.first(), times.last()}), QList<qint64>({from, to - 600}));
        const TrendSeries history = b.history(VMon, from, to);
        QCOMPARE(history.times, times);
        QCOMPARE(history.values, values);
    }

    // Trends keep their own retention (30 days by default), whatever the events keep.
    void oldBlocksGoAfterTheirRetention()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shiftlog.sqlite");
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        {
            Shelf shelf(path, 0, 2000, 0); // nothing pruned
            for (int age : {40, 29, 1})
                for (int s = 0; s < 3; ++s)
                    shelf.trends.record(VMon, now - age * Day + s * Minute, age);
        }
        QCOMPARE(Shelf(path, 0, 2000, 0).history(VMon).times.size(), 9);
        QCOMPARE(Shelf(path, 0, 2000, 30).history(VMon).values, QVector<double>({29, 29, 29, 1, 1, 1}));
    }

    // A file that cannot be written: samples wait, a graph asking for history gets them with the reason.
    void waitingSamplesAreReadWhileTheFileCannotBeWritten()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("blocked"))); // a file where the folder should be
        Shelf shelf(dir.filePath("blocked/shiftlog.sqlite"), 90, 50);
        QSignalSpy said(&shelf.archive, &Archive::troubleChanged);
        const qint64 t0 = anHourAgo();
        for (int s = 0; s < 5; ++s)
            shelf.trends.record(VMon, t0 + s * 1000, s);
        QString error;
        const TrendSeries waiting = shelf.history(VMon, 0, std::numeric_limits<qint64>::max(), &error);
        QCOMPARE(waiting.values, QVector<double>({0, 1, 2, 3, 4}));
        QVERIFY2(error.contains("folder"), qPrintable(error));
        QTRY_COMPARE(said.size(), 1);
        QVERIFY(QFile::remove(dir.filePath("blocked")));
        QVERIFY(shelf.archive.writeNow());
        QCOMPARE(shelf.trends.waiting(), 0);
        QCOMPARE(shelf.history(VMon).times.size(), 5);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--writer") == 0)
        return writer(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestArchive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_archive.moc"
