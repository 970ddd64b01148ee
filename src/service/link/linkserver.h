#pragma once

#include "hvpowersupply.h"
#include "protocol.h"

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

    // Added before every reply; other connections are not held up.
    void setLatencyMs(int ms);
    int latencyMs() const { return m_latencyMs; }

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
    int m_latencyMs = 0;           // delay added to every reply
    int m_frameTimeoutMs = DefaultFrameTimeoutMs; // limit for a frame to arrive whole
    int m_loginTimeoutMs = DefaultLoginTimeoutMs; // limit for a new connection to log in
};
