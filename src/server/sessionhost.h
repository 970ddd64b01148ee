#pragma once

#include "hvpowersupply.h"
#include "scram.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <memory>

// What a connection asks of the server it belongs to: the account, TLS, the
// login waits, the clock of the modelled delays and the crate's time, and a
// backend once it has logged in. LinkServer is the one host; sessions and
// their handlers see only this, so they never reach back into the server.
class SessionHost
{
public:
    static constexpr int MaxConnections = 32;       // logged-in operators at once
    static constexpr int MaxStrangers = 16;         // connections not logged in yet
    static constexpr int MaxPendingRequests = 64;
    static constexpr int MaxFramesPerTurn = 16;     // then the other connections get their turn
    static constexpr int MaxLoginFailures = 3;      // per connection, then it is closed

    virtual ~SessionHost() = default;

    // The account's keys for a user (made-up ones for an unknown user; *known says which).
    virtual Scram::Keys keysFor(const QString &user, bool *known) const = 0;
    virtual bool tlsEnabled() const = 0;
    // SHA-256 of the certificate (DER), which the login is bound to.
    virtual QByteArray certificateDigest() const = 0;
    virtual int operatorCount() const = 0;
    virtual std::unique_ptr<HVPowerSupply> makeBackend() const = 0;

    virtual int frameTimeoutMs() const = 0;
    virtual int loginTimeoutMs() const = 0;
    virtual qint64 loginNotBeforeUs(const QHostAddress &peer) const = 0;
    virtual void noteLoginFailure(const QHostAddress &peer) = 0;
    virtual void noteLoginSuccess(const QHostAddress &peer) = 0;

    // The clock of the delays, in microseconds.
    virtual qint64 nowUs() const = 0;
    virtual qint64 oneWayDelayUs() const = 0;
    virtual qint64 crateFreeUs() const = 0;
    // The crate works on `calls` calls from startUs on; returns when it is done.
    virtual qint64 occupyCrate(qint64 startUs, int calls) = 0;
};
