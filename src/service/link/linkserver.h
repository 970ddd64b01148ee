#pragma once

#include "hvpowersupply.h"
#include "protocol.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <memory>

class LinkSession;

// Serves an HVPowerSupply backend over TCP to many clients at once. Each
// connection that logs in gets its own backend from the factory (they
// usually share one crate behind them), and every request is answered
// through it, so a remote caller sees exactly what an in-process one would.
// Lives on one thread; the owner's thread runs its event loop.
class LinkServer : public QObject
{
    Q_OBJECT
public:
    using BackendFactory = std::function<std::unique_ptr<HVPowerSupply>()>;

    static constexpr int MaxConnections = 32;
    static constexpr int MaxPendingRequests = 64;
    static constexpr int DefaultLoginTimeoutMs = 10000;
    static constexpr int DefaultFrameTimeoutMs = 10000;
    static inline const QString DefaultUser = QStringLiteral("wxqv");
    static inline const QString DefaultPassword = QStringLiteral("wxqv");

    explicit LinkServer(BackendFactory factory, QObject *parent = nullptr);
    ~LinkServer() override;

    // Port 0 picks a free port; port() tells which.
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost),
                quint16 port = Protocol::DefaultPort);
    QString errorString() const { return m_server.errorString(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }

    void setAccount(const QString &user, const QString &password);
    bool accountMatches(const QString &user, const QString &password) const;

    // The network's delay: every reply leaves this long after its request
    // arrived, however many requests are in flight. Half of it is spent on the
    // way to the crate, half on the way back. About a millisecond of resolution.
    void setLatencyMs(double ms);
    double latencyMs() const { return m_latencyUs / 1000.0; }
    // The crate's own time for each call it answers, one call at a time for
    // all connections together (a plan costs one per read it makes).
    void setServiceTimeMs(double ms);
    double serviceTimeMs() const { return m_serviceUs / 1000.0; }

    // The clock of both, in microseconds, and what the sessions ask of it.
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }
    qint64 oneWayDelayUs() const { return m_latencyUs / 2; }
    qint64 crateFreeUs() const { return m_crateFreeUs; }
    // The crate works on `calls` calls from startUs on; returns when it is done.
    qint64 occupyCrate(qint64 startUs, int calls);

    // A frame must arrive whole within this time once its first byte has,
    // and a new connection must log in within the login time-out.
    void setFrameTimeoutMs(int ms) { m_frameTimeoutMs = ms; }
    int frameTimeoutMs() const { return m_frameTimeoutMs; }
    void setLoginTimeoutMs(int ms) { m_loginTimeoutMs = ms; }
    int loginTimeoutMs() const { return m_loginTimeoutMs; }

    // Cuts every connection at once, as a network failure would.
    void dropAllConnections();
    int connectionCount() const { return int(m_sessions.size()); }

    std::unique_ptr<HVPowerSupply> makeBackend() const { return m_factory(); }

signals:
    // One line for a person watching: connections, logins, refusals, drops.
    void event(const QString &text);

private:
    void acceptConnections();
    void forget(LinkSession *session);

    QTcpServer m_server;           // the listening socket
    BackendFactory m_factory;      // makes one backend per logged-in connection
    QList<LinkSession *> m_sessions; // open connections, owned as children
    QString m_user = DefaultUser;  // the one account
    QString m_password = DefaultPassword; // its password
    QElapsedTimer m_clock;         // monotonic time of the delays
    qint64 m_latencyUs = 0;        // network delay, request in to reply out
    qint64 m_serviceUs = 0;        // the crate's time per call
    qint64 m_crateFreeUs = 0;      // when the crate has answered everything it was given
    int m_frameTimeoutMs = DefaultFrameTimeoutMs; // limit for a frame to arrive whole
    int m_loginTimeoutMs = DefaultLoginTimeoutMs; // limit for a new connection to log in
};
