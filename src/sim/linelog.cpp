#include "linelog.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

struct LineLog::Shared
{
    std::mutex mutex;                // guards everything below
    std::condition_variable changed; // a line came, or the queue emptied, or the log ends
    std::deque<QByteArray> lines;    // waiting to be written
    int maxQueued = 0;               // more are dropped
    qint64 dropped = 0;              // dropped so far
    qint64 told = 0;                 // of those, already reported in the output
    bool writing = false;            // the writer holds a line it has taken out
    bool ending = false;             // the log is going away
    int fd = -1;                     // where the lines go (our own duplicate)
};

namespace {

// Writes all of it, or fails (the reader is gone).
bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

LineLog::LineLog(int fd, int maxQueued) : m_shared(std::make_shared<Shared>())
{
    m_shared->fd = ::dup(fd);
    m_shared->maxQueued = maxQueued;
    std::thread([shared = m_shared] {
        // A reader that went away must not end the program: the line is dropped instead.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        std::unique_lock lock(shared->mutex);
        for (;;) {
            shared->changed.wait(lock, [&] { return !shared->lines.empty() || shared->ending; });
            if (shared->lines.empty())
                break;
            QByteArray text = std::move(shared->lines.front());
            shared->lines.pop_front();
            if (shared->dropped > shared->told) {
                text.prepend(QStringLiteral("(%1 log line(s) dropped: the output was not read)\n")
                                 .arg(shared->dropped - shared->told)
                                 .toUtf8());
                shared->told = shared->dropped;
            }
            shared->writing = true;
            lock.unlock();
            const bool written = writeAll(shared->fd, text);
            lock.lock();
            shared->writing = false;
            if (!written)
                ++shared->dropped;
            shared->changed.notify_all();
        }
        ::close(shared->fd);
    }).detach();
}

LineLog::~LineLog()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait_for(lock, std::chrono::seconds(1),
                               [&] { return m_shared->lines.empty() && !m_shared->writing; });
    m_shared->ending = true;
    m_shared->lines.clear();
    m_shared->changed.notify_all();
}

void LineLog::write(const QString &line)
{
    std::lock_guard lock(m_shared->mutex);
    if (int(m_shared->lines.size()) >= m_shared->maxQueued) {
        ++m_shared->dropped;
        return;
    }
    m_shared->lines.push_back(line.toUtf8() + '\n');
    m_shared->changed.notify_all();
}

qint64 LineLog::dropped() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->dropped;
}
