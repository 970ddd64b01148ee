// The server's handling of requests from raw bytes, against a simulated crate:
// the first byte chooses whether the connection logs in properly first, the
// rest is cut into frames and handed over as the server would.

#include "hverror.h"
#include "linkhandler.h"
#include "protocol.h"
#include "scram.h"
#include "simcrate.h"
#include "simserver.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

using namespace Protocol;

namespace {

struct Rig
{
    int argc = 1;
    char name[12] = "fuzz_server";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    SimCrate crate;
    SimServer server{crate};
    QByteArray salt;     // the account's, as its challenge shows it
    int iterations = 0;  // and its rounds
    QByteArray salted;   // the client's key, made once: a login then costs only its MACs
    Rig()
    {
        bool known = false;
        const Scram::Keys keys = server.keysFor(LinkServer::DefaultUser, &known);
        salt = keys.salt;
        iterations = keys.iterations;
        salted = Scram::saltedPassword(LinkServer::DefaultPassword, salt, iterations);
    }
};

Rig &rig()
{
    static Rig r;
    return r;
}

bool logIn(LinkHandler &handler)
{
    Rig &r = rig();
    handler.handle({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, Version}});
    const QByteArray mine = "fuzznonce0001";
    const QCborMap challenge = handler.handle({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, LinkServer::DefaultUser},
                                               {Key::Nonce, QString::fromLatin1(mine)}})
                                   .reply;
    const QByteArray nonce = challenge.value(Key::Nonce).toString().toLatin1();
    const QByteArray binding = Scram::channelBinding({});
    const QByteArray message = Scram::authMessage(LinkServer::DefaultUser, mine, nonce, r.salt, r.iterations, binding);
    handler.handle({{Key::Op, Op::Proof}, {Key::Id, 3}, {Key::Nonce, QString::fromLatin1(nonce)}, {Key::Binding, binding},
                    {Key::Proof, Scram::clientProof(r.salted, message)}});
    return handler.isLoggedIn();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    Rig &r = rig();
    LinkHandler handler(r.server, QStringLiteral("fuzz"), QStringLiteral("127.0.0.1"), [](const QString &) {});
    if ((data[0] & 1) && !logIn(handler))
        __builtin_trap(); // the proper login must always work
    FrameReader reader;
    reader.append(QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1)));
    QCborMap request;
    while (reader.next(&request) == FrameReader::Status::Frame) {
        LinkHandler::Result result = handler.handle(request);
        bool close = result.close;
        if (result.job) { // made in pieces, as the crate's queue does
            int calls = 0;
            while (!result.job->isDone())
                calls += result.job->resume(16);
            if (calls > CrateJob::MaxPlanCalls)
                __builtin_trap(); // no request makes more calls than a plan may
            result.reply = result.job->reply();
            close = result.job->kind() == CrateJob::Kind::Logout;
        }
        if (!fitsLimit(encodeFrame(result.reply)) && !result.reply.contains(Key::Answers))
            __builtin_trap(); // an error answer must never outgrow a frame
        if (close)
            break;
    }
    return 0;
}
