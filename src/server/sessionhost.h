#pragma once

#include "hvpowersupply.h"
#include "scram.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <memory>

class CrateScheduler;
class LoginGuard;

// What a connection asks of the server it belongs to: the account, TLS, the
// login guard, the clock of the modelled delays, the queue in front of the
// crate, and a backend once it has logged in. LinkServer is the one host;
// sessions and their handlers see only this, so they never reach back into the server.
class SessionHost
{
public:
    static constexpr int MaxConnections = 32;       // logged-in operators at once
    static constexpr int MaxPendingRequests = 64;   // per connection; more wait unread
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
    virtual LoginGuard &loginGuard() = 0;
    virtual CrateScheduler &scheduler() = 0;
    // Bytes of requests queued by every connection together, and a change to it.
    virtual qint64 queuedBytes() const = 0;
    virtual void addQueuedBytes(qint64 delta) = 0;

    // The clock of the delays, in microseconds.
    virtual qint64 nowUs() const = 0;
    virtual qint64 oneWayDelayUs() const = 0;
};
