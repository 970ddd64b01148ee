#pragma once

#include "cratescheduler.h"
#include "loginguard.h"
#include "protocol.h"
#include "sessionhost.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>

class LinkSession;

// Serves an HVPowerSupply backend over TCP to many clients at once. Each
// connection that logs in gets its own backend from the factory (they
// usually share one crate behind them), and every request is answered
// through it, so a remote caller sees exactly what an in-process one would.
// Lives on one thread; the owner's thread runs its event loop.
//
// Connections that have not logged in yet are strangers: they have quotas of
// their own and a short login window, and a newcomer takes the place of a
// stranger rather than being turned away (LoginGuard says whose), so strangers
// can never keep an operator out. Logged-in operators are never refused
// because of them. The logged-in share the crate through one CrateScheduler.
class LinkServer : public QObject, public SessionHost
{
    Q_OBJECT
public:
    using BackendFactory = std::function<std::unique_ptr<HVPowerSupply>()>;

    static constexpr int DefaultLoginTimeoutMs = 3000;
    static constexpr int DefaultFrameTimeoutMs = 10000;
    static constexpr int ListenBacklog = 1024;     // connections the kernel holds until they are taken
    static constexpr int AcceptsPerPass = 32;      // new connections taken per pass of the event loop
    static constexpr int DefaultBackoffMs = 250;    // the wait after a first failed login, doubled per failure
    static constexpr int MaxBackoffMs = LoginGuard::MaxBackoffMs; // and never longer
    static inline const QString DefaultUser = QStringLiteral("wxqv");
    static inline const QString DefaultPassword = QStringLiteral("wxqv");

    explicit LinkServer(BackendFactory factory, QObject *parent = nullptr);
    ~LinkServer() override;

    // Port 0 picks a free port; port() tells which.
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost),
                quint16 port = Protocol::DefaultPort);
    QString errorString() const { return m_listener->errorString(); }
    QHostAddress address() const { return m_listener->serverAddress(); }
    quint16 port() const { return m_listener->serverPort(); }

    // The one account. Only the salted keys of the password are kept.
    void setAccount(const QString &user, const QString &password);
    // The keys of a user; for an unknown user keys that no password matches,
    // with a salt that stays the same for that name, so a stranger cannot
    // tell which names exist. *known says which it is.
    Scram::Keys keysFor(const QString &user, bool *known) const override;

    // Serves the same protocol over TLS with this certificate and key (PEM
    // files); throws HVError naming the file and the fault. The client
    // encrypts right after the opening exchange, before logging in.
    void setTls(const QString &certificateFile, const QString &keyFile);
    bool tlsEnabled() const override { return !m_tls.localCertificate().isNull(); }
    const QSslConfiguration &tlsConfiguration() const { return m_tls; }
    // SHA-256 of the certificate (DER), which the login is bound to.
    QByteArray certificateDigest() const override;

    // The network's delay: every reply leaves this long after its request
    // arrived, however many requests are in flight. Half of it is spent on the
    // way to the crate, half on the way back. About a millisecond of resolution.
    void setLatencyMs(double ms);
    double latencyMs() const { return m_latencyUs / 1000.0; }
    // The crate's own time for each call it answers, one call at a time for
    // all connections together (a plan costs one per read it makes).
    void setServiceTimeMs(double ms);
    double serviceTimeMs() const { return m_scheduler.serviceTimeUs() / 1000.0; }

    // The clock of both, in microseconds.
    qint64 nowUs() const override { return m_clock.nsecsElapsed() / 1000; }
    qint64 oneWayDelayUs() const override { return m_latencyUs / 2; }
    CrateScheduler &scheduler() override { return m_scheduler; }
    qint64 queuedBytes() const override { return m_queuedBytes; }
    void addQueuedBytes(qint64 delta) override { m_queuedBytes += delta; }

    // A frame must arrive whole within this time once its first byte has,
    // and a new connection must log in within the login time-out.
    void setFrameTimeoutMs(int ms) { m_frameTimeoutMs = ms; }
    int frameTimeoutMs() const override { return m_frameTimeoutMs; }
    void setLoginTimeoutMs(int ms) { m_loginTimeoutMs = ms; }
    int loginTimeoutMs() const override { return m_loginTimeoutMs; }

    // After a failed login the peer address waits before its next password
    // is checked: the first wait, doubled with each failure up to MaxBackoffMs.
    void setBackoffMs(int ms) { m_guard.setBackoffMs(ms); }
    LoginGuard &loginGuard() override { return m_guard; }

    // Cuts every connection at once, as a network failure would.
    void dropAllConnections();
    int connectionCount() const { return int(m_sessions.size()); }
    int operatorCount() const override;

    std::unique_ptr<HVPowerSupply> makeBackend() const override { return m_factory(); }

signals:
    // One line for a person watching: connections, logins, refusals, drops.
    void logLine(const QString &text);

private:
    void acceptConnections();
    // Makes room for one more stranger from this address, closing another when its quota is full.
    void makeRoomForStranger(const QHostAddress &peer);
    void forget(LinkSession *session);

    std::unique_ptr<QTcpServer> m_listener; // the listening socket
    BackendFactory m_factory;      // makes one backend per logged-in connection
    QList<LinkSession *> m_sessions; // open connections, owned as children
    QString m_user = DefaultUser;  // the one account
    Scram::Keys m_keys;            // its salted keys; the password itself is not kept
    QByteArray m_secret;           // seeds the salts shown for unknown user names
    QSslConfiguration m_tls;       // certificate and key; null certificate: plain TCP
    QElapsedTimer m_clock;         // monotonic time of the delays
    bool m_acceptDue = false;      // the waiting new connections are taken once the other sockets had their turn
    LoginGuard m_guard;            // who may try a password when; which stranger gives way
    CrateScheduler m_scheduler;    // the crate's one queue, shared by every connection
    qint64 m_queuedBytes = 0;      // requests and replies every connection holds
    qint64 m_latencyUs = 0;        // network delay, request in to reply out
    int m_frameTimeoutMs = DefaultFrameTimeoutMs; // limit for a frame to arrive whole
    int m_loginTimeoutMs = DefaultLoginTimeoutMs; // limit for a new connection to log in
};
