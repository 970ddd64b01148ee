#pragma once

#include <QString>
#include <memory>

// Lines for a person watching, written to a file descriptor by a thread of
// their own, so the server never waits for its output. When nobody reads
// (a pipe left undrained), lines beyond what the queue holds are dropped and
// counted; once writing goes on, a line says how many were lost.
class LineLog
{
public:
    // Writes to a duplicate of fd; at most maxQueued lines wait.
    explicit LineLog(int fd, int maxQueued = 1000);
    // Waits a moment for the waiting lines; a writer stuck on a full pipe is left behind.
    ~LineLog();
    LineLog(const LineLog &) = delete;
    LineLog &operator=(const LineLog &) = delete;

    // Never blocks.
    void write(const QString &line);
    qint64 dropped() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared; // queue and counts, shared with the writing thread
};
