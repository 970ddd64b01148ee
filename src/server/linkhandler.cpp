#include "linkhandler.h"

#include "hverror.h"
#include "sessionhost.h"
#include "protocol.h"
#include "readplan.h"

#include <QCborArray>
#include <limits>

using namespace Protocol;

namespace {

QByteArray bytesArg(const QCborMap &request, const QString &key)
{
    const QCborValue v = request.value(key);
    if (!v.isByteArray())
        malformed(QStringLiteral("'%1' must be bytes").arg(key));
    return v.toByteArray();
}

QVariant valueArg(const QCborMap &request)
{
    const QCborValue v = request.value(Key::Value);
    if (!(v.isInteger() || v.isDouble() || v.isString() || v.isBool()))
        malformed(QStringLiteral("'value' must be a number or a text"));
    return fromCbor(v);
}

QCborMap errorReply(const QString &text)
{
    return QCborMap{{Key::Error, clip(text)}};
}

} // namespace

LinkHandler::LinkHandler(SessionHost &server, const QString &peer, const QString &localAddress,
                         std::function<void(const QString &)> event)
    : m_server(server), m_peer(peer), m_localAddress(localAddress), m_event(std::move(event))
{
}

LinkHandler::~LinkHandler() = default;

bool LinkHandler::checksPassword(const QCborMap &request)
{
    return request.value(Key::Op).toString() == Op::Proof;
}

LinkHandler::Result LinkHandler::handle(const QCborMap &request)
{
    Result result;
    const QCborValue op = request.value(Key::Op);
    const QCborValue id = request.value(Key::Id);
    const auto withId = [&id](Result &&r) {
        if (id.isInteger())
            r.reply.insert(Key::Id, id);
        return r;
    };
    if (m_stage == Stage::LoggedIn) {
        try {
            result.job = work(request);
            if (id.isInteger())
                result.job->setId(id);
            return result;
        } catch (const HVError &e) {
            result.reply = errorReply(e.message());
        }
        return withId(std::move(result));
    }
    // Before login only the next step of the login is taken: anything else is
    // a stranger's probing or flooding, and costs it the connection.
    const QString expected = m_stage == Stage::Opening ? Op::Login : m_stage == Stage::Auth ? Op::Auth : Op::Proof;
    if (m_stage == Stage::Encrypting || m_stage == Stage::Closed || !op.isString() || op.toString() != expected
        || !(id.isInteger() || id.isUndefined())) {
        m_stage = Stage::Closed;
        result.close = true;
        result.reply = errorReply(QStringLiteral("Log in first: the crate takes nothing else before the login"));
        m_event(QStringLiteral("%1 refused: a request before login").arg(m_peer));
        return result; // about the connection, so without the id
    }
    try {
        if (m_stage == Stage::Opening)
            result = opening(request);
        else if (m_stage == Stage::Auth)
            result = challenge(request);
        else
            result = proof(request);
    } catch (const HVError &e) {
        result = refuseLogin(e.message());
    }
    return withId(std::move(result));
}

LinkHandler::Result LinkHandler::refuseLogin(const QString &why)
{
    m_event(QStringLiteral("%1 refused: %2").arg(m_peer, clip(why, 80)));
    m_stage = Stage::Closed;
    Result r;
    r.reply = errorReply(why);
    r.close = true;
    return r;
}

LinkHandler::Result LinkHandler::opening(const QCborMap &request)
{
    const QCborValue version = request.value(Key::Version);
    if (!version.isInteger() || version.toInteger() != Version) {
        const QString theirs = version.isInteger() ? QString::number(version.toInteger()) : QStringLiteral("(none)");
        return refuseLogin(QStringLiteral("Protocol version %1 is not supported; the crate speaks version %2")
                               .arg(theirs)
                               .arg(Version));
    }
    Result r;
    const bool tls = m_server.tlsEnabled();
    r.reply = {{Key::Version, Version}, {Key::Tls, tls}};
    r.startTls = tls;
    m_stage = tls ? Stage::Encrypting : Stage::Auth;
    m_binding = Scram::channelBinding(QByteArray());
    return r;
}

void LinkHandler::encrypted()
{
    if (m_stage != Stage::Encrypting)
        return;
    m_binding = Scram::channelBinding(m_server.certificateDigest());
    m_stage = Stage::Auth;
}

LinkHandler::Result LinkHandler::challenge(const QCborMap &request)
{
    m_user = textArg(request, Key::User);
    m_clientNonce = textArg(request, Key::Nonce).toLatin1();
    if (!isNonce(m_clientNonce) || m_user.isEmpty() || m_user.size() > 256)
        malformed(QStringLiteral("the login carries no proper user name and nonce"));
    m_keys = m_server.keysFor(m_user, &m_knownUser);
    m_nonce = m_clientNonce + Scram::newNonce();
    m_stage = Stage::Proof;
    Result r;
    r.reply = {{Key::Nonce, QString::fromLatin1(m_nonce)}, {Key::Salt, m_keys.salt}, {Key::Iterations, m_keys.iterations}};
    return r;
}

LinkHandler::Result LinkHandler::proof(const QCborMap &request)
{
    const QByteArray nonce = textArg(request, Key::Nonce).toLatin1();
    const QByteArray binding = bytesArg(request, Key::Binding);
    const QByteArray proof = bytesArg(request, Key::Proof);
    if (!Scram::sameBytes(binding, m_binding))
        return refuseLogin(!m_binding.startsWith("p=") ? QStringLiteral("This crate takes logins over a plain link only")
                           : binding.startsWith("p=")
                               ? QStringLiteral("The login does not belong to this encrypted link: the client saw another certificate")
                               : QStringLiteral("The login came over a plain link, but this crate encrypts: something between "
                                                "the client and the crate removed the encryption"));
    const QByteArray message =
        Scram::authMessage(m_user, m_clientNonce, m_nonce, m_keys.salt, m_keys.iterations, binding);
    // A replayed proof carries another exchange's nonce: it fails like a wrong password.
    if (!Scram::sameBytes(nonce, m_nonce) || !m_knownUser || !Scram::proofMatches(m_keys, message, proof)) {
        ++m_failures;
        m_event(QStringLiteral("%1 refused: wrong user name or password (%2 of %3)")
                    .arg(m_peer)
                    .arg(m_failures)
                    .arg(SessionHost::MaxLoginFailures));
        Result r;
        r.reply = errorReply(QStringLiteral("Wrong user name or password"));
        r.loginFailed = true;
        r.close = m_failures >= SessionHost::MaxLoginFailures;
        m_stage = r.close ? Stage::Closed : Stage::Auth; // a new try needs a new challenge
        return r;
    }
    if (m_server.operatorCount() >= SessionHost::MaxConnections)
        return refuseLogin(QStringLiteral("Too many connections to the crate (limit %1)").arg(SessionHost::MaxConnections));
    std::unique_ptr<HVPowerSupply> backend = m_server.makeBackend();
    backend->Login(m_user, QString(), 0, m_localAddress); // the password never reaches the server
    m_backend = std::move(backend);
    m_stage = Stage::LoggedIn;
    m_event(QStringLiteral("%1 logged in as %2").arg(m_peer, m_user));
    Result r;
    r.reply = {{Key::Signature, Scram::serverSignature(m_keys.serverKey, message)}};
    r.loggedIn = true;
    return r;
}

std::unique_ptr<CrateJob> LinkHandler::work(const QCborMap &request)
{
    const QCborValue opValue = request.value(Key::Op);
    if (!opValue.isString())
        malformed(QStringLiteral("'op' must be a text"));
    const QString op = opValue.toString();
    if (request.contains(Key::Id) && !request.value(Key::Id).isInteger())
        malformed(QStringLiteral("'id' must be an integer"));

    HVPowerSupply &hv = *m_backend;
    if (op == Op::Login || op == Op::Auth || op == Op::Proof)
        throw HVError(QStringLiteral("Already logged in"));
    if (op == Op::Plan)
        return CrateJob::plan(hv, decodePlan(request.value(Key::Steps)));
    if (isReadOp(op)) {
        return CrateJob::call(CrateJob::Kind::Read, [&hv, step = decodeStep(request)] {
            PlanAnswer answer;
            const std::optional<HVError> error = PlanRunner::run(hv, {step}, [&answer](int, const PlanAnswer &a) {
                answer = a;
                return true;
            });
            if (error)
                throw *error;
            const QCborValue value = encodeAnswer(step, answer);
            return step.op == PlanStep::Op::QuerySlots ? value.toMap() : QCborMap{{Key::Value, value}};
        });
    }
    if (op == Op::Logout) {
        return CrateJob::call(CrateJob::Kind::Logout, [this] {
            m_backend->Logout();
            m_event(QStringLiteral("%1 logged out").arg(m_peer));
            m_stage = Stage::Closed;
            return QCborMap();
        });
    }
    // Arguments are checked now, in order, so a malformed write is refused without waiting for the crate.
    if (op == Op::SetParamValue) {
        const qint16 slot = shortArg(request, Key::Slot);
        const QString par = textArg(request, Key::Par);
        const qint16 ch = shortArg(request, Key::Ch);
        const QVariant value = valueArg(request);
        return CrateJob::call(CrateJob::Kind::Write, [&hv, slot, par, ch, value] {
            hv.SetParamValue(slot, par, ch, value);
            return QCborMap();
        });
    }
    if (op == Op::SetChannelName) {
        const qint16 slot = shortArg(request, Key::Slot);
        const qint16 ch = shortArg(request, Key::Ch);
        const QString name = textArg(request, Key::Name);
        return CrateJob::call(CrateJob::Kind::Write, [&hv, slot, ch, name] {
            hv.SetChannelName(slot, ch, name);
            return QCborMap();
        });
    }
    throw HVError(QStringLiteral("Unknown request '%1'").arg(op.left(40)));
}
