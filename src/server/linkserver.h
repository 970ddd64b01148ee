#pragma once

#include "protocol.h"
#include "sessionhost.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>
#include <functional>
#include <memory>

class LinkSession;

// Serves an HVPowerSupply backend over TCP to many clients at once. Each
// connection that logs in gets its own backend from the factory (they
// usually share one crate behind them), and every request is answered
// through it, so a remote caller sees exactly what an in-process one would.
// Lives on one thread; the owner's thread runs its event loop.
//
// Connections that have not logged in yet are strangers: they have a quota of
// their own and a short login window, and a newcomer takes the place of a
// stranger rather than being turned away, so strangers can never keep an
// operator out. Logged-in operators are never refused because of them.
class LinkServer : public QObject, public SessionHost
{
    Q_OBJECT
public:
    using BackendFactory = std::function<std::unique_ptr<HVPowerSupply>()>;

    static constexpr int DefaultLoginTimeoutMs = 3000;
    static constexpr int DefaultFrameTimeoutMs = 10000;
    static constexpr int DefaultBackoffMs = 250;    // the wait after a first failed login, doubled per failure
    static constexpr int MaxBackoffMs = 4000;       // and never longer
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
    double serviceTimeMs() const { return m_serviceUs / 1000.0; }

    // The clock of both, in microseconds, and what the sessions ask of it.
    qint64 nowUs() const override { return m_clock.nsecsElapsed() / 1000; }
    qint64 oneWayDelayUs() const override { return m_latencyUs / 2; }
    qint64 crateFreeUs() const override { return m_crateFreeUs; }
    // The crate works on `calls` calls from startUs on; returns when it is done.
    qint64 occupyCrate(qint64 startUs, int calls) override;

    // A frame must arrive whole within this time once its first byte has,
    // and a new connection must log in within the login time-out.
    void setFrameTimeoutMs(int ms) { m_frameTimeoutMs = ms; }
    int frameTimeoutMs() const override { return m_frameTimeoutMs; }
    void setLoginTimeoutMs(int ms) { m_loginTimeoutMs = ms; }
    int loginTimeoutMs() const override { return m_loginTimeoutMs; }

    // After a failed login the peer address waits before its next password
    // is checked: the first wait, doubled with each failure up to MaxBackoffMs.
    void setBackoffMs(int ms) { m_backoffMs = ms; }
    qint64 loginNotBeforeUs(const QHostAddress &peer) const override;
    void noteLoginFailure(const QHostAddress &peer) override;
    void noteLoginSuccess(const QHostAddress &peer) override;

    // Cuts every connection at once, as a network failure would.
    void dropAllConnections();
    int connectionCount() const { return int(m_sessions.size()); }
    int operatorCount() const override;

    std::unique_ptr<HVPowerSupply> makeBackend() const override { return m_factory(); }

signals:
    // One line for a person watching: connections, logins, refusals, drops.
    void logLine(const QString &text);

private:
    struct Failures
    {
        int count = 0;          // failed logins in a row
        qint64 notBeforeUs = 0; // no password is checked before then
    };

    void acceptConnections();
    // Makes room for one more stranger from this address, closing another when the quota is full.
    void makeRoomForStranger(const QHostAddress &peer);
    void forget(LinkSession *session);
    void forgetOldFailures();

    std::unique_ptr<QTcpServer> m_listener; // the listening socket
    BackendFactory m_factory;      // makes one backend per logged-in connection
    QList<LinkSession *> m_sessions; // open connections, owned as children
    QString m_user = DefaultUser;  // the one account
    Scram::Keys m_keys;            // its salted keys; the password itself is not kept
    QByteArray m_secret;           // seeds the salts shown for unknown user names
    QSslConfiguration m_tls;       // certificate and key; null certificate: plain TCP
    QHash<QHostAddress, Failures> m_failures; // recent failed logins per peer address
    QElapsedTimer m_clock;         // monotonic time of the delays
    qint64 m_latencyUs = 0;        // network delay, request in to reply out
    qint64 m_serviceUs = 0;        // the crate's time per call
    qint64 m_crateFreeUs = 0;      // when the crate has answered everything it was given
    int m_frameTimeoutMs = DefaultFrameTimeoutMs; // limit for a frame to arrive whole
    int m_loginTimeoutMs = DefaultLoginTimeoutMs; // limit for a new connection to log in
    int m_backoffMs = DefaultBackoffMs; // first wait after a failed login
};
