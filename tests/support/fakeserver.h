#pragma once

#include "fakehv.h"
#include "linkserverthread.h"
#include "netclient.h"

#include <QMutex>
#include <QMutexLocker>
#include <functional>
#include <memory>

// A link server on its own thread with a recording fake behind every login.
// The server thread makes one FakeHV per login; the test reads the calls of
// the latest one, also once its connection has ended and the server deleted it.
struct FakeServer
{
    struct Kept : FakeHV
    {
        explicit Kept(FakeServer &owner) : owner(owner) {}
        ~Kept() override
        {
            QMutexLocker lock(&owner.mutex);
            if (owner.fake == this) {
                owner.ended = calls;
                owner.fake = nullptr;
            }
        }
        FakeServer &owner; // keeps the calls
    };

    explicit FakeServer(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost))
        : thread(
              [this] {
                  return std::make_unique<LinkServer>([this] {
                      auto f = std::make_unique<Kept>(*this);
                      if (setUp)
                          setUp(*f);
                      QMutexLocker lock(&mutex);
                      fake = f.get();
                      return std::unique_ptr<HVPowerSupply>(std::move(f));
                  });
              },
              address)
    {
    }

    QStringList calls()
    {
        QMutexLocker lock(&mutex);
        return fake ? fake->calls : ended;
    }
    bool madeOne()
    {
        QMutexLocker lock(&mutex);
        return fake || !ended.isEmpty();
    }
    // The latest fake while it lives, to change its answers between requests.
    FakeHV *live()
    {
        QMutexLocker lock(&mutex);
        return fake;
    }
    quint16 port() const { return thread.port(); }

    QMutex mutex;                        // guards fake and ended
    FakeHV *fake = nullptr;              // the latest fake while it lives
    QStringList ended;                   // its calls once it is gone
    std::function<void(FakeHV &)> setUp; // runs on each new fake
    LinkServerThread thread;             // the server, listening on a free port
};

const QString User = LinkServer::DefaultUser;
const QString Password = LinkServer::DefaultPassword;
const QString Local = QStringLiteral("127.0.0.1");

// A NetClient logged in to the server on 127.0.0.1:port with the default account.
struct LoggedInClient : NetClient
{
    explicit LoggedInClient(quint16 port, int connectMs = Protocol::DefaultConnectTimeoutMs,
                            int replyMs = Protocol::DefaultReplyTimeoutMs)
        : NetClient(port, connectMs, replyMs)
    {
        Login(User, Password, 0, Local);
    }
};
