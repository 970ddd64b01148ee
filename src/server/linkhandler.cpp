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

// Crate calls an answered step stands for: a list of attributes is one per name.
int callsOf(const PlanStep &step, const PlanAnswer &answer)
{
    if (answer.skipped)
        return 0;
    return step.eachOf >= 0 ? int(answer.value.toList().size()) : 1;
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
    const auto withId = [&id](Result r) {
        if (id.isInteger())
            r.reply.insert(Key::Id, id);
        return r;
    };
    if (m_stage == Stage::LoggedIn) {
        result.reply = answer(request, &result.calls);
        result.close = m_stage == Stage::Closed; // logged out
        return withId(result);
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
    return withId(result);
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
        return refuseLogin(m_binding.startsWith("p=")
                               ? QStringLiteral("The login does not belong to this encrypted link: the client saw another certificate")
                               : QStringLiteral("This crate takes logins over a plain link only"));
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

QCborMap LinkHandler::answer(const QCborMap &request, int *calls)
{
    QCborMap reply;
    *calls = 1;
    try {
        const QCborValue opValue = request.value(Key::Op);
        if (!opValue.isString())
            malformed(QStringLiteral("'op' must be a text"));
        const QString op = opValue.toString();
        if (request.contains(Key::Id) && !request.value(Key::Id).isInteger())
            malformed(QStringLiteral("'id' must be an integer"));

        HVPowerSupply &hv = *m_backend;
        if (op == Op::Login || op == Op::Auth || op == Op::Proof) {
            throw HVError(QStringLiteral("Already logged in"));
        } else if (op == Op::Plan) {
            return plan(hv, request, calls);
        } else if (isReadOp(op)) {
            const PlanStep step = decodeStep(request);
            PlanAnswer answer;
            const std::optional<HVError> error = PlanRunner::run(hv, {step}, [&answer](int, const PlanAnswer &a) {
                answer = a;
                return true;
            });
            if (error)
                throw *error;
            const QCborValue value = encodeAnswer(step, answer);
            if (step.op == PlanStep::Op::QuerySlots)
                reply = value.toMap();
            else
                reply.insert(Key::Value, value);
        } else if (op == Op::Logout) {
            hv.Logout();
            m_event(QStringLiteral("%1 logged out").arg(m_peer));
            m_stage = Stage::Closed;
        } else if (op == Op::SetParamValue) {
            hv.SetParamValue(shortArg(request, Key::Slot), textArg(request, Key::Par), shortArg(request, Key::Ch),
                             valueArg(request));
        } else if (op == Op::SetChannelName) {
            hv.SetChannelName(shortArg(request, Key::Slot), shortArg(request, Key::Ch), textArg(request, Key::Name));
        } else {
            throw HVError(QStringLiteral("Unknown request '%1'").arg(op.left(40)));
        }
    } catch (const HVError &e) {
        reply = errorReply(e.message());
    } catch (const std::exception &e) {
        reply = errorReply(QStringLiteral("Internal error of the crate: %1").arg(QString::fromUtf8(e.what())));
    }
    return reply;
}

QCborMap LinkHandler::plan(HVPowerSupply &hv, const QCborMap &request, int *calls)
{
    const QVector<PlanStep> steps = decodePlan(request.value(Key::Steps));
    QCborArray answers;
    int made = 0;
    const std::optional<HVError> error = PlanRunner::run(hv, steps, [&](int i, const PlanAnswer &a) {
        answers.append(encodeAnswer(steps[i], a));
        made += callsOf(steps[i], a);
        return true;
    });
    QCborMap reply;
    reply.insert(Key::Answers, answers);
    if (error) {
        // The answers so far, and why the next read failed: the caller's plan stops there.
        reply.insert(Key::Error, clip(error->message()));
        reply.insert(Key::FailedAt, answers.size());
        ++made;
    }
    *calls = made;
    return reply;
}
