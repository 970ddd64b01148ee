#pragma once

#include "cratejob.h"
#include "hvpowersupply.h"
#include "scram.h"

#include <QCborMap>
#include <QHostAddress>
#include <QString>
#include <functional>
#include <memory>

class SessionHost;

// What the server makes of the requests of one connection, without its socket
// or clock: the login exchange, answered at once, then the crate work of each
// request through the connection's own backend, as a job for the crate's
// queue. LinkSession feeds it one request at a time, in order.
//
// Before login only the steps of the login, in their order, are taken; any
// other request closes the connection. A refused login (wrong protocol version,
// a proof that does not match) is answered; a wrong password may be tried again
// on a fresh challenge until SessionHost::MaxLoginFailures, then the connection closes.
class LinkHandler
{
public:
    // How far the connection has got; the order is its progress.
    enum class Stage { Opening, Encrypting, Auth, Proof, LoggedIn, Closed };

    struct Result
    {
        QCborMap reply;           // the answer, with the request's id, unless there is a job
        std::unique_ptr<CrateJob> job; // crate work whose reply is the answer, once done
        bool close = false;       // the connection ends once the reply is written
        bool startTls = false;    // the client encrypts once it has the reply
        bool loginFailed = false; // a wrong password: the peer address waits before its next try
        bool loggedIn = false;    // this request completed the login
    };

    // Events (logins, refusals) go to `event`, one line each.
    LinkHandler(SessionHost &server, const QString &peer, const QString &localAddress,
                std::function<void(const QString &)> event);
    ~LinkHandler();

    Result handle(const QCborMap &request);
    // The TLS handshake the opening asked for is done: the login goes on, bound to this certificate.
    void encrypted();
    Stage stage() const { return m_stage; }
    bool isLoggedIn() const { return m_stage == Stage::LoggedIn; }
    // A request that has a password checked: held while the peer address waits.
    static bool checksPassword(const QCborMap &request);

private:
    Result opening(const QCborMap &request);
    Result challenge(const QCborMap &request);
    Result proof(const QCborMap &request);
    Result refuseLogin(const QString &why);
    // The crate work of a request once logged in; throws HVError for one that cannot be taken.
    std::unique_ptr<CrateJob> work(const QCborMap &request);

    SessionHost &m_server;                     // account, keys, TLS, backends
    QString m_peer;                            // "address:port", for messages
    QString m_localAddress;                    // the address the client reached, for the backend's Login
    std::function<void(const QString &)> m_event; // one line per event
    Stage m_stage = Stage::Opening;            // how far the connection has got
    std::unique_ptr<HVPowerSupply> m_backend;  // made at login
    QString m_user;                            // who is logging in
    bool m_knownUser = false;                  // m_user is the account's
    Scram::Keys m_keys;                        // that user's keys (made-up ones for an unknown user)
    QByteArray m_clientNonce;                  // the client's part of the nonce
    QByteArray m_nonce;                        // the whole nonce of the running exchange
    QByteArray m_binding;                      // the channel binding a proof must carry
    int m_failures = 0;                        // wrong passwords on this connection
};
