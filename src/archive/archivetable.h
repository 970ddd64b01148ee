#pragma once

#include <QString>
#include <stdexcept>

class Archive;
class QSqlDatabase;
class QSqlQuery;

// A failed statement of the archive, with SQLite's reason in words and its result code.
class ArchiveError : public std::runtime_error
{
public:
    explicit ArchiveError(const QString &message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code) {}
    QString message() const { return m_message; }
    // The file is no database, or a damaged one (SQLITE_NOTADB, SQLITE_CORRUPT).
    bool isDamage() const { return m_code == 26 || m_code == 11; }

private:
    QString m_message; // kept as QString, as it is shown
    int m_code;        // SQLite's primary result code, 0 when there is none
};

// One part of the archive: its own tables, its own schema version and its own
// rows waiting to be written. The archive's worker thread calls every method
// below except the constructor; a part's writers (add, update, ...) take rows
// from any thread into a queue of its own (PendingRows).
//
// Each flush is one transaction over every part: write() for each, then one
// COMMIT; committed() follows a successful commit, rolledBack() a failed one,
// after which write() must be able to write the same rows again.
class ArchiveTable
{
public:
    virtual ~ArchiveTable() = default;

    // The part's key in the schema table ("events").
    virtual QString name() const = 0;
    // The schema version this code reads and writes.
    virtual int version() const = 0;
    // Brings the part's tables from version `from` (0: none yet) to version(),
    // inside a transaction the worker holds.
    virtual void migrate(QSqlDatabase &db, int from) = 0;

    virtual bool hasPending() const = 0;
    // Writes the rows waiting now (taken from the queue, kept until committed or rolled back).
    virtual void write(QSqlDatabase &db) = 0;
    virtual void committed() = 0;
    virtual void rolledBack() = 0;

    // Deletes what is older than the cut-off (milliseconds since the epoch).
    virtual void prune(QSqlDatabase &db, qint64 beforeMs) = 0;
    // The part's own retention in days (0: kept for ever), or -1 for the archive's.
    virtual int retentionDays() const { return -1; }
    // After each opening of the file, once the schema is in place.
    virtual void opened(QSqlDatabase &) {}

    // The archive the part belongs to; set when it is added.
    Archive *archive() const { return m_archive; }

    // Runs a prepared query (or `sql` on it); throws ArchiveError with SQLite's reason.
    static void exec(QSqlQuery &query);
    static void exec(QSqlQuery &query, const QString &sql);
    // Prepares and runs one statement without values.
    static void exec(QSqlDatabase &db, const QString &sql);

private:
    friend class Archive;
    Archive *m_archive = nullptr; // the owner
};
