#pragma once

#include "archive.h"

#include <QObject>
#include <QSqlDatabase>
#include <QTimer>
#include <atomic>

// The archive's side on its own thread: the one connection to the file, the
// schema, the flushes, the retries and the pruning. Made and used only through
// Archive; every slot runs on the worker thread.
class ArchiveWorker : public QObject
{
    Q_OBJECT
public:
    ArchiveWorker(Archive &archive, std::vector<ArchiveTable *> tables);
    ~ArchiveWorker() override;

    // Queued from any thread.
    void wake();
    // On the worker thread.
    void start();
    bool flush();
    void run(const std::function<void(QSqlDatabase *db, const QString &why)> &f);
    void close();

    std::atomic_bool scheduled{false}; // a flush is already on its way

private:
    bool open();                     // the connection, its settings and the schema; false: trouble() says why
    void openSettings();             // what open() does once connected; throws ArchiveError
    bool setAside(const ArchiveError &damage); // a damaged file renamed out of the way
    void migrate();                  // every part to its version; throws ArchiveError
    void prune();                    // rows beyond the retention
    void failed(const QString &why); // says so once, closes a broken connection, retries later
    void recovered();

    Archive &m_archive;                  // owner; its options are read only
    std::vector<ArchiveTable *> m_tables; // the parts, in the archive's order
    QString m_connection;                // this worker's connection name
    QSqlDatabase m_db;                   // open while usable
    QString m_why;                       // the last reason it is not usable
    bool m_troubled = false;             // said so, and not yet recovered
    QTimer *m_flushTimer = nullptr;      // the flush, flushMs after the first waiting row
    QTimer *m_retryTimer = nullptr;      // the next try after a failure
    qint64 m_prunedAtMs = 0;             // when the last prune ran
};
