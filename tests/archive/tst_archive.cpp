// The shift log's file: what is written is read back by the next run, a killed
// writer loses at most its last second, a file that cannot be written stops
// nothing and is said once, old rows go, and two programs share one file.
#include "helpers.h"
#include "shelf.h"

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
#include <cstdio>

namespace {
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

const TrendKey WriterKey{QStringLiteral("127.0.0.1"), 1, 2, QStringLiteral("VMon")};

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
        trends.record(WriterKey, start + r.seq * 1000, double(r.seq)); // a graph's sample, stored as it comes
        std::printf("%lld %lld\n", static_cast<long long>(r.seq), static_cast<long long>(r.timeMs));
        std::fflush(stdout);
    });
    tick.start(10);
    return app.exec();
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
        for (const double v : after.history(WriterKey).values)
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
        const qint64 day = 24 * 3600 * 1000LL;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        {
            Shelf shelf(path, 0); // 0: kept for ever
            for (int age : {100, 40, 29, 0})
                shelf.events.add(eventRow("run", age, now - age * day - 1000));
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
