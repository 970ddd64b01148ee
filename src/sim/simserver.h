#pragma once

#include "linkserver.h"
#include "linkserverthread.h"

#include <QString>
#include <memory>
#include <optional>

class LineLog;
class SimCrate;

// The simulated crate on the network: a LinkServer whose every connection
// gets its own SimAdapter on one shared SimCrate, so two operators see each
// other's changes. Also understands the simulator's console commands.
class SimServer : public LinkServer
{
    Q_OBJECT
public:
    explicit SimServer(SimCrate &crate, QObject *parent = nullptr);

    SimCrate &crate() { return m_crate; }

    // Runs one console command ("pull 3", "insert 3", "drop", "latency 200",
    // "input Kill on", "status", "help") and returns what to tell the person.
    // A bad command returns its error; nothing throws.
    QString execute(const QString &command);
    static QString help();

    // "10s", "500ms", "2m", "1.5s" or a bare number of seconds; nullopt when unreadable.
    static std::optional<qint64> parseDurationMs(const QString &text);
    // A delay in milliseconds, fractions allowed, 0 to 60000; nullopt otherwise.
    static std::optional<double> parseDelayMs(const QString &text);

    // The log whose dropped lines "status" counts (none: not counted).
    void setLog(const LineLog *log) { m_log = log; }

private:
    SimCrate &m_crate; // shared by every connection
    const LineLog *m_log = nullptr; // the program's log, when it has one
};

// A SimServer with its crate on a thread of its own, listening on a free port
// of 127.0.0.1 while this object lives: the server end of end-to-end tests.
// Every method may be called from the test thread while a client is idle;
// the crate is thread-safe on its own.
class SimServerThread
{
public:
    // Serves the given crate, or the default crate when none is given.
    explicit SimServerThread(std::unique_ptr<SimCrate> crate = nullptr);
    ~SimServerThread();

    quint16 port() const { return m_thread->port(); }
    QString address() const { return m_thread->address(); } // "127.0.0.1"
    SimCrate &crate() { return *m_crate; }

    void pullBoard(int slot);   // the board's slot reads "" until insertBoard
    void insertBoard(int slot); // puts the pulled board back
    void setLatencyMs(double ms);
    void setServiceTimeMs(double ms);
    void dropAllConnections();
    void setAccount(const QString &user, const QString &password);
    int connectionCount() const { return m_thread->connectionCount(); }
    LinkServerThread &server() { return *m_thread; }

private:
    std::unique_ptr<SimCrate> m_crate;          // outlives the server below
    std::unique_ptr<LinkServerThread> m_thread; // the server and its thread
};
