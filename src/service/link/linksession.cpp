#include "linksession.h"

#include "hverror.h"
#include "hvpowersupply.h"
#include "linkserver.h"
#include "readplan.h"

#include <QCborArray>
#include <QTcpSocket>
#include <limits>

using namespace Protocol;

namespace {

constexpr qint64 MaxUnreadReplyBytes = 4 * MaxFrameSize;

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

// Timers count whole milliseconds: wake at the first one that is not early.
int wakeMs(qint64 us)
{
    return int(std::max<qint64>(0, (us + 999) / 1000));
}

} // namespace

LinkSession::LinkSession(QTcpSocket *socket, LinkServer &server)
    : m_socket(socket), m_server(server)
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_peer = QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());

    for (QTimer *t : {&m_serveTimer, &m_sendTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_serveTimer, &QTimer::timeout, this, &LinkSession::serve);
    connect(&m_sendTimer, &QTimer::timeout, this, &LinkSession::flushReplies);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_closing) { // the peer does not take the last reply: give up on it
            abort();
            return;
        }
        close(m_backend ? QStringLiteral("Frame not completed within %1").arg(seconds(m_server.frameTimeoutMs()))
                        : QStringLiteral("No login within %1").arg(seconds(m_server.loginTimeoutMs())));
    });
    m_deadline.start(m_server.loginTimeoutMs());

    connect(m_socket, &QTcpSocket::readyRead, this, &LinkSession::readFrames);
    connect(m_socket, &QTcpSocket::disconnected, this, &LinkSession::onDisconnected);
    // A socket error (reset by peer) is followed by disconnected(); nothing else to do.
}

LinkSession::~LinkSession()
{
    // The socket dies with its parent and would report its end to a half-destroyed session.
    disconnect(m_socket, nullptr, this, nullptr);
}

void LinkSession::abort()
{
    m_closing = true;
    m_incoming.clear();
    m_outgoing.clear();
    m_socket->abort();
    onDisconnected();
}

void LinkSession::readFrames()
{
    if (m_closing) {
        m_socket->readAll();
        return;
    }
    m_reader.append(m_socket->readAll());
    const qint64 due = m_server.nowUs() + m_server.oneWayDelayUs();
    while (!m_closing) {
        QCborMap request;
        const FrameReader::Status status = m_reader.next(&request);
        if (status == FrameReader::Status::NeedMore)
            break;
        if (status == FrameReader::Status::Error) {
            close(m_reader.errorString());
            return;
        }
        if (int(m_incoming.size()) >= LinkServer::MaxPendingRequests) {
            QCborMap reply;
            if (request.contains(Key::Id))
                reply.insert(Key::Id, request.value(Key::Id));
            reply.insert(Key::Error, QStringLiteral("Too many requests waiting (limit %1)")
                                         .arg(LinkServer::MaxPendingRequests));
            send(reply);
            continue;
        }
        m_incoming.push_back({request, due});
        serve(); // without delays the request is answered here, so none pile up
    }
    if (m_closing)
        return;
    // Once logged in, the deadline only watches frames that arrive in pieces.
    if (m_backend) {
        if (!m_reader.inFrame())
            m_deadline.stop();
        else if (!m_deadline.isActive())
            m_deadline.start(m_server.frameTimeoutMs());
    }
}

void LinkSession::serve()
{
    while (!m_closing && !m_incoming.empty()) {
        const qint64 now = m_server.nowUs();
        const qint64 start = std::max(m_incoming.front().dueUs, m_server.crateFreeUs());
        if (start > now) {
            m_serveTimer.start(wakeMs(start - now));
            return;
        }
        const QCborMap request = m_incoming.front().request;
        m_incoming.pop_front();
        execute(request, start);
    }
}

void LinkSession::execute(const QCborMap &request, qint64 startUs)
{
    const QString op = request.value(Key::Op).toString();
    const bool wasLoggedIn = m_backend != nullptr;
    int calls = 0;
    QCborMap reply = answer(request, &calls);
    if (request.contains(Key::Id))
        reply.insert(Key::Id, request.value(Key::Id));
    const qint64 doneUs = m_server.occupyCrate(startUs, calls);

    bool closeAfter = false;
    if (op == Op::Logout && wasLoggedIn) {
        emit event(QStringLiteral("%1 logged out").arg(m_peer));
        closeAfter = true;
    } else if (!m_backend && op == Op::Login) {
        closeAfter = true; // a refused login ends the connection; the reason goes first
    }
    queueReply(reply, doneUs + m_server.oneWayDelayUs(), closeAfter);
}

QCborMap LinkSession::answer(const QCborMap &request, int *calls)
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

        if (op == Op::Login)
            return login(request);
        if (!m_backend)
            throw HVError(QStringLiteral("Not logged in"));

        HVPowerSupply &hv = *m_backend;
        if (op == Op::Plan) {
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
        } else if (op == Op::SetParamValue) {
            hv.SetParamValue(shortArg(request, Key::Slot), textArg(request, Key::Par), shortArg(request, Key::Ch),
                             valueArg(request));
        } else if (op == Op::SetChannelName) {
            hv.SetChannelName(shortArg(request, Key::Slot), shortArg(request, Key::Ch), textArg(request, Key::Name));
        } else {
            throw HVError(QStringLiteral("Unknown request '%1'").arg(op.left(40)));
        }
    } catch (const HVError &e) {
        reply = QCborMap();
        reply.insert(Key::Error, e.message());
    } catch (const std::exception &e) {
        reply = QCborMap();
        reply.insert(Key::Error, QStringLiteral("Internal error of the crate: %1").arg(QString::fromUtf8(e.what())));
    }
    return reply;
}

QCborMap LinkSession::plan(HVPowerSupply &hv, const QCborMap &request, int *calls)
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
        reply.insert(Key::Error, error->message());
        reply.insert(Key::FailedAt, answers.size());
        ++made;
    }
    *calls = made;
    return reply;
}

QCborMap LinkSession::login(const QCborMap &request)
{
    if (m_backend)
        throw HVError(QStringLiteral("Already logged in"));
    const QCborValue version = request.value(Key::Version);
    if (!version.isInteger() || version.toInteger() != Version) {
        const QString theirs = version.isInteger() ? QString::number(version.toInteger()) : QStringLiteral("(none)");
        emit event(QStringLiteral("%1 refused: protocol version %2").arg(m_peer, theirs));
        throw HVError(QStringLiteral("Protocol version %1 is not supported; the crate speaks version %2")
                          .arg(theirs)
                          .arg(Version));
    }
    const QString user = textArg(request, Key::User);
    const QString password = textArg(request, Key::Password);
    if (!m_server.accountMatches(user, password)) {
        emit event(QStringLiteral("%1 refused: wrong user name or password").arg(m_peer));
        throw HVError(QStringLiteral("Wrong user name or password"));
    }
    std::unique_ptr<HVPowerSupply> backend = m_server.makeBackend();
    backend->Login(user, password, 0, m_socket->localAddress().toString());
    m_backend = std::move(backend);
    m_deadline.stop();
    emit event(QStringLiteral("%1 logged in as %2").arg(m_peer, user));
    QCborMap reply;
    reply.insert(Key::Version, Version);
    return reply;
}

void LinkSession::queueReply(const QCborMap &reply, qint64 sendUs, bool closeAfter)
{
    QByteArray frame = encodeFrame(reply);
    if (frame.size() - HeaderSize > MaxFrameSize) {
        // Never more than the peer may take: the answer is replaced by why it is missing.
        QCborMap refused;
        if (reply.contains(Key::Id))
            refused.insert(Key::Id, reply.value(Key::Id));
        refused.insert(Key::Error, QStringLiteral("The answer of %1 bytes is larger than the limit of %2 bytes")
                                       .arg(frame.size() - HeaderSize)
                                       .arg(MaxFrameSize));
        frame = encodeFrame(refused);
    }
    if (closeAfter) {
        m_closing = true; // nothing after this request is answered
        m_incoming.clear();
        m_serveTimer.stop();
    }
    m_outgoing.push_back({frame, sendUs, closeAfter});
    flushReplies();
}

void LinkSession::flushReplies()
{
    while (!m_outgoing.empty()) {
        const qint64 now = m_server.nowUs();
        if (m_outgoing.front().sendUs > now) {
            m_sendTimer.start(wakeMs(m_outgoing.front().sendUs - now));
            return;
        }
        const Outgoing out = m_outgoing.front();
        m_outgoing.pop_front();
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            continue;
        // Written at once rather than on the next pass of the event loop: a reply waits for no one.
        m_socket->write(out.frame);
        m_socket->flush();
        // A peer that asks and never reads would make the replies pile up here.
        if (m_socket->bytesToWrite() > MaxUnreadReplyBytes) {
            emit event(QStringLiteral("%1 closed: it does not read its replies").arg(m_peer));
            abort();
            return;
        }
        if (out.close) {
            m_closing = false; // let close() run its steps
            close(QString());
            return;
        }
    }
}

void LinkSession::send(const QCborMap &message)
{
    queueReply(message, 0, false);
}

void LinkSession::close(const QString &error)
{
    if (m_closing)
        return;
    m_closing = true;
    m_incoming.clear();
    m_outgoing.clear();
    m_serveTimer.stop();
    m_sendTimer.stop();
    m_deadline.stop();
    if (!error.isEmpty()) {
        emit event(QStringLiteral("%1 closed: %2").arg(m_peer, error));
        QCborMap reply;
        reply.insert(Key::Error, error);
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            m_socket->write(encodeFrame(reply));
            m_socket->flush();
        }
    }
    // Lets the last reply go out first.
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
    else
        m_deadline.start(m_server.frameTimeoutMs());
}

void LinkSession::onDisconnected()
{
    if (m_finished)
        return;
    m_finished = true;
    m_closing = true;
    m_serveTimer.stop();
    m_sendTimer.stop();
    m_deadline.stop();
    emit finished(this);
}
