#pragma once

#include "archivetable.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

class ArchiveWorker;

// The program's database: one SQLite file (Qt SQL, QSQLITE) in write-ahead-log
// mode, owned by a worker thread, so that no SQL ever runs on the GUI thread.
// It is made of parts (ArchiveTable), each with its own tables, schema version
// and queue of rows; the worker writes every part's waiting rows in one
// transaction at most `flushMs` after the first of them arrived, reads for
// whoever asks, and deletes what is older than the retention.
//
// A file that cannot be opened, is locked by another program or cannot grow
// (a full disk) stops nothing: the rows wait in memory, the worker tries again
// every `retryMs`, and trouble() says why, once per spell of trouble
// (troubleChanged with the reason, then with "" when writing works again).
// A file that is no database or a damaged one is kept beside, renamed
// "<name>.damaged-<time>", and a new one begun (notice says so).
// Several programs may use one file at once: each has its own connection and
// SQLite takes turns between them (`busyMs` is how long one waits for another).
class Archive : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString path;           // the database file
        int retentionDays = 90; // rows older than this are deleted (0: kept for ever)
        int flushMs = 500;      // rows are committed at most this long after they arrive
        int retryMs = 5000;     // after a failure, the next try
        int busyMs = 2000;      // how long to wait for another program holding the file
    };

    // <AppDataLocation>/shiftlog.sqlite: the user's data folder of this program.
    static QString defaultPath();

    explicit Archive(Options options, QObject *parent = nullptr);
    // Writes what still waits (for at most a few seconds) and closes the file.
    ~Archive() override;
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    // Adds a part; all parts are added before start().
    template <typename T>
    T &add(std::unique_ptr<T> table)
    {
        T &t = *table;
        t.m_archive = this;
        m_tables.push_back(std::move(table));
        return t;
    }
    // The part of that type, if one was added.
    template <typename T>
    T *find() const
    {
        for (const auto &t : m_tables)
            if (auto *found = dynamic_cast<T *>(t.get()))
                return found;
        return nullptr;
    }
    // Opens the file (on the worker) and begins writing.
    void start();

    const Options &options() const { return m_options; }
    // Why the file is not being written now; empty while all is well.
    QString trouble() const { return m_trouble; }

    // Wakes the worker: a part's queue got its first row.
    void rowsWaiting();
    // Writes everything waiting now and waits for it; false when it could not be
    // written (trouble() says why). For the end of the run and for tests.
    bool writeNow(int timeoutMs = 10000);

    // Runs `work` on the worker thread with the open database and hands its
    // result to `done` on this object's thread, unless `context` is gone by
    // then. An error (the file cannot be opened, a failed statement) comes as
    // the second argument, with a default-constructed result.
    template <typename R>
    void read(QObject *context, std::function<R(QSqlDatabase &db)> work,
              std::function<void(const R &result, const QString &error)> done)
    {
        post([this, context = QPointer<QObject>(context), work = std::move(work), done = std::move(done)](QSqlDatabase *db,
                                                                                                          const QString &why) {
            auto result = std::make_shared<R>();
            QString error = why;
            if (db) {
                try {
                    *result = work(*db);
                } catch (const ArchiveError &e) {
                    error = e.message();
                }
            }
            QMetaObject::invokeMethod(
                this,
                [context, done, result, error] {
                    if (context)
                        done(*result, error);
                },
                Qt::QueuedConnection);
        });
    }

signals:
    // The file stopped being written (why), or is written again ("").
    void troubleChanged(const QString &trouble);
    // Something the user should hear of once (a damaged file set aside and a new one begun).
    void notice(const QString &what);

private:
    friend class ArchiveWorker;
    // Runs f on the worker with the database, or with nullptr and the reason it cannot be opened.
    void post(std::function<void(QSqlDatabase *db, const QString &why)> f);
    void setTrouble(const QString &trouble); // on this object's thread

    Options m_options;                                  // as given
    std::vector<std::unique_ptr<ArchiveTable>> m_tables; // the parts, written in this order
    QThread m_thread;                                   // the worker's
    ArchiveWorker *m_worker = nullptr;                  // lives on m_thread
    QString m_trouble;                                  // why nothing is written now, "" when all is well
};
