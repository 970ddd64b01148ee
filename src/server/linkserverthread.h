#pragma once

#include "linkserver.h"

#include <QHostAddress>
#include <QThread>
#include <functional>
#include <memory>

// Runs a LinkServer on a thread of its own, listening on a free port of
// 127.0.0.1, for as long as this object lives. Meant for tests and
// benchmarks: the client under test blocks its own thread while it waits, so
// the server must not share it. Every method may be called from any thread;
// those that touch the server wait until the server's thread has done it.
class LinkServerThread
{
public:
    using ServerFactory = std::function<std::unique_ptr<LinkServer>()>;

    // The factory runs on the server thread. Throws HVError when listening fails.
    explicit LinkServerThread(ServerFactory makeServer,
                              const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    ~LinkServerThread();
    LinkServerThread(const LinkServerThread &) = delete;
    LinkServerThread &operator=(const LinkServerThread &) = delete;

    quint16 port() const { return m_port; }
    QString address() const { return m_address; }

    void setLatencyMs(double ms);
    void setServiceTimeMs(double ms);
    void dropAllConnections();
    void setAccount(const QString &user, const QString &password);
    void setFrameTimeoutMs(int ms);
    void setLoginTimeoutMs(int ms);
    int connectionCount() const;

    // Runs f(server) on the server thread and waits for it.
    void onServer(const std::function<void(LinkServer &)> &f) const;

private:
    void stop();

    QThread m_thread;                  // runs the server's event loop
    std::unique_ptr<QObject> m_context; // lives on m_thread; target of the calls
    std::unique_ptr<LinkServer> m_server; // created and destroyed on m_thread
    quint16 m_port = 0;                // where the server listens
    QString m_address;                 // and on which address
};
