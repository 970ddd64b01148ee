#include "archive.h"

#include "archiveworker.h"

#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

void ArchiveTable::exec(QSqlQuery &query)
{
    if (!query.exec())
        throw ArchiveError(query.lastError().text(), query.lastError().nativeErrorCode().toInt() & 0xff);
}

void ArchiveTable::exec(QSqlQuery &query, const QString &sql)
{
    if (!query.exec(sql))
        throw ArchiveError(query.lastError().text(), query.lastError().nativeErrorCode().toInt() & 0xff);
}

void ArchiveTable::exec(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    exec(q, sql);
}

QString Archive::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/shiftlog.sqlite");
}

Archive::Archive(Options options, QObject *parent) : QObject(parent), m_options(std::move(options))
{
    m_thread.setObjectName(QStringLiteral("archive"));
}

Archive::~Archive()
{
    if (!m_worker)
        return;
    if (m_thread.isRunning()) {
        // What still waits is written before the file closes; SQLite's own wait bounds it.
        QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->close(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_worker;
}

void Archive::start()
{
    if (m_worker)
        return;
    std::vector<ArchiveTable *> tables;
    for (const auto &t : m_tables)
        tables.push_back(t.get());
    m_worker = new ArchiveWorker(*this, std::move(tables));
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->start(); }, Qt::QueuedConnection);
}

void Archive::rowsWaiting()
{
    if (m_worker && !m_worker->scheduled.exchange(true))
        QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->wake(); }, Qt::QueuedConnection);
}

bool Archive::writeNow(int timeoutMs)
{
    if (!m_worker || !m_thread.isRunning())
        return false;
    auto done = std::make_shared<QSemaphore>();
    auto ok = std::make_shared<std::atomic_bool>(false);
    QMetaObject::invokeMethod(
        m_worker,
        [w = m_worker, done, ok] {
            *ok = w->flush();
            done->release();
        },
        Qt::QueuedConnection);
    return done->tryAcquire(1, timeoutMs) && *ok;
}

void Archive::post(std::function<void(QSqlDatabase *, const QString &)> f)
{
    if (!m_worker) {
        f(nullptr, tr("the shift log is not open"));
        return;
    }
    QMetaObject::invokeMethod(m_worker, [w = m_worker, f = std::move(f)] { w->run(f); }, Qt::QueuedConnection);
}

void Archive::setTrouble(const QString &trouble)
{
    if (trouble == m_trouble)
        return;
    m_trouble = trouble;
    emit troubleChanged(trouble);
}
