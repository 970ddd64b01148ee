#include "archiveworker.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
constexpr qint64 PruneEveryMs = 3600 * 1000;
constexpr qint64 DayMs = 24 * 3600 * 1000;
} // namespace

ArchiveWorker::ArchiveWorker(Archive &archive, std::vector<ArchiveTable *> tables)
    : m_archive(archive), m_tables(std::move(tables)),
      m_connection(QStringLiteral("pylonet-archive-%1").arg(quintptr(this), 0, 16))
{
}

ArchiveWorker::~ArchiveWorker() = default; // close() has let the connection go, on its own thread

void ArchiveWorker::start()
{
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    connect(m_flushTimer, &QTimer::timeout, this, &ArchiveWorker::flush);
    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, [this] {
        if (!flush() && !m_retryTimer->isActive())
            m_retryTimer->start(m_archive.options().retryMs);
    });
    if (!open())
        failed(m_why);
}

void ArchiveWorker::wake()
{
    // While in trouble the retry timer decides when to try again.
    if (!m_flushTimer->isActive() && !m_retryTimer->isActive())
        m_flushTimer->start(m_archive.options().flushMs);
}

bool ArchiveWorker::open()
{
    if (m_db.isValid() && m_db.isOpen())
        return true;
    const Archive::Options &o = m_archive.options();
    const QString folder = QFileInfo(o.path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_why = tr("cannot make the folder %1").arg(folder);
        return false;
    }
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!m_db.isValid()) {
        m_why = tr("the SQLite driver of Qt (QSQLITE) is not installed");
        return false;
    }
    m_db.setDatabaseName(o.path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(o.busyMs));
    if (!m_db.open()) {
        m_why = tr("cannot open %1: %2").arg(o.path, m_db.lastError().text());
        return false;
    }
    try {
        openSettings();
        return true;
    } catch (const ArchiveError &e) {
        m_db.close();
        if (e.isDamage() && setAside(e))
            return open();
        m_why = tr("%1: %2").arg(o.path, e.message());
        return false;
    }
}

bool ArchiveWorker::setAside(const ArchiveError &damage)
{
    const QString path = m_archive.options().path;
    const QString aside =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    if (!QFile::rename(path, aside))
        return false;
    for (const QString &companion : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        if (QFile::exists(path + companion))
            QFile::rename(path + companion, aside + companion);
    const QString said = tr("%1 was damaged (%2): it is kept as %3, and a new file is begun")
                             .arg(path, damage.message(), QFileInfo(aside).fileName());
    QMetaObject::invokeMethod(&m_archive, [a = &m_archive, said] { emit a->notice(said); }, Qt::QueuedConnection);
    return true;
}

void ArchiveWorker::openSettings()
{
    // Write-ahead log: readers never wait for the writer, and another program can share the file.
    QSqlQuery mode(m_db);
    ArchiveTable::exec(mode, QStringLiteral("PRAGMA journal_mode=WAL"));
    const QString journal = mode.next() ? mode.value(0).toString() : QString();
    mode.finish(); // a statement left open would keep every later COMMIT from going through
    if (journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        throw ArchiveError(tr("the file cannot keep a write-ahead log (journal mode %1)").arg(journal));
    // A commit is on the disk when it returns: a power cut loses nothing committed.
    ArchiveTable::exec(m_db, QStringLiteral("PRAGMA synchronous=FULL"));
    migrate();
    for (ArchiveTable *t : m_tables)
        t->opened(m_db);
    prune();
}

void ArchiveWorker::migrate()
{
    ArchiveTable::exec(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_parts("
                                            "part TEXT PRIMARY KEY, version INTEGER NOT NULL)"));
    for (ArchiveTable *t : m_tables) {
        // IMMEDIATE: two programs opening one new file do not both create the tables.
        ArchiveTable::exec(m_db, QStringLiteral("BEGIN IMMEDIATE"));
        try {
            QSqlQuery q(m_db);
            q.prepare(QStringLiteral("SELECT version FROM schema_parts WHERE part = ?"));
            q.addBindValue(t->name());
            ArchiveTable::exec(q);
            const int from = q.next() ? q.value(0).toInt() : 0;
            q.finish();
            if (from > t->version())
                throw ArchiveError(tr("its %1 were written by a newer Pylonet (schema %2, this one knows %3)")
                                       .arg(t->name())
                                       .arg(from)
                                       .arg(t->version()));
            if (from < t->version()) {
                t->migrate(m_db, from);
                QSqlQuery set(m_db);
                set.prepare(QStringLiteral("INSERT OR REPLACE INTO schema_parts(part, version) VALUES(?, ?)"));
                set.addBindValue(t->name());
                set.addBindValue(t->version());
                ArchiveTable::exec(set);
            }
            ArchiveTable::exec(m_db, QStringLiteral("COMMIT"));
        } catch (const ArchiveError &) {
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
            throw;
        }
    }
}

void ArchiveWorker::prune()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_prunedAtMs = now;
    for (ArchiveTable *t : m_tables) {
        const int days = t->retentionDays() >= 0 ? t->retentionDays() : m_archive.options().retentionDays;
        if (days > 0)
            t->prune(m_db, now - days * DayMs);
    }
}

bool ArchiveWorker::flush()
{
    scheduled = false;
    bool pending = false;
    for (ArchiveTable *t : m_tables)
        pending = pending || t->hasPending();
    if (!pending) {
        // Nothing to write: in trouble, a file that opens again is news all the same.
        if (m_troubled && open())
            recovered();
        return !m_troubled;
    }
    if (!open()) {
        failed(m_why);
        return false;
    }
    try {
        ArchiveTable::exec(m_db, QStringLiteral("BEGIN IMMEDIATE"));
        for (ArchiveTable *t : m_tables)
            if (t->hasPending())
                t->write(m_db);
        ArchiveTable::exec(m_db, QStringLiteral("COMMIT"));
    } catch (const ArchiveError &e) {
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        for (ArchiveTable *t : m_tables)
            t->rolledBack();
        failed(tr("%1: %2").arg(m_archive.options().path, e.message()));
        return false;
    }
    for (ArchiveTable *t : m_tables)
        t->committed();
    recovered();
    // Rows that came while this flush ran woke nobody: their flush is due as any other.
    for (ArchiveTable *t : m_tables)
        if (t->hasPending() && !m_flushTimer->isActive()) {
            m_flushTimer->start(m_archive.options().flushMs);
            break;
        }
    if (QDateTime::currentMSecsSinceEpoch() - m_prunedAtMs > PruneEveryMs) {
        try {
            prune();
        } catch (const ArchiveError &) {
            // The next hour tries again; the rows are only older than they need be.
        }
    }
    return true;
}

void ArchiveWorker::failed(const QString &why)
{
    m_why = why;
    // A broken connection is opened anew at the next try (the file may be back by then).
    if (m_db.isValid())
        m_db.close();
    if (!m_troubled) {
        m_troubled = true;
        QMetaObject::invokeMethod(&m_archive, [a = &m_archive, why] { a->setTrouble(why); }, Qt::QueuedConnection);
    }
    if (m_retryTimer && !m_retryTimer->isActive())
        m_retryTimer->start(m_archive.options().retryMs);
}

void ArchiveWorker::recovered()
{
    m_why.clear();
    if (!m_troubled)
        return;
    m_troubled = false;
    QMetaObject::invokeMethod(&m_archive, [a = &m_archive] { a->setTrouble(QString()); }, Qt::QueuedConnection);
}

void ArchiveWorker::run(const std::function<void(QSqlDatabase *, const QString &)> &f)
{
    if (open())
        f(&m_db, QString());
    else
        f(nullptr, m_why);
}

void ArchiveWorker::close()
{
    flush();
    m_flushTimer->stop();
    m_retryTimer->stop();
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}
