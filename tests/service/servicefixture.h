#pragma once

// What the service tests share: the default account, a client that logs in
// as it is made, and the message of the HVError a call throws.

#include "hverror.h"
#include "linkserver.h"
#include "netclient.h"

#include <functional>

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

// The message f throws, or "" when it succeeds.
inline QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const HVError &e) {
        return e.message();
    }
    return QString();
}
