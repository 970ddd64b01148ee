#include "linksession.h"

#include "hverror.h"
#include "hvpowersupply.h"
#include "linkserver.h"

#include <QCborArray>
#include <QTcpSocket>
#include <limits>

using namespace Protocol;

namespace {

constexpr qint64 MaxUnreadReplyBytes = 4 * MaxFrameSize;

[[noreturn]] void malformed(const QString &what)
{
    throw HVError(QStringLiteral("Malformed request: %1").arg(what));
}

qint16 shortArg(const QCborMap &request, const QString &key)
{
    const QCborValue v = request.value(key);
    if (!v.isInteger())
        malformed(QStringLiteral("'%1' must be an integer").arg(key));
    const qint64 i = v.toInteger();
    if (i < std::numeric_limits<qint16>::min() || i > std::numeric_limits<qint16>::max())
        malformed(QStringLiteral("'%1' = %2 is outside -32768..32767").arg(key).arg(i));
    return qint16(i);
}

std::optional<qint16> optionalChannel(const QCborMap &request)
{
    if (!request.contains(Key::Ch) || request.value(Key::Ch).isNull())
        return std::nullopt;
    return shortArg(request, Key::Ch);
}

QString textArg(const QCborMap &request, const QString &key)
{
    const QCborValue v = request.value(key);
    if (!v.isString())
        malformed(QStringLiteral("'%1' must be a text").arg(key));
    return v.toString();
}

QVariant valueArg(const QCborMap &request)
{
    const QCborValue v = request.value(Key::Value);
    if (!(v.isInteger() || v.isDouble() || v.isString() || v.isBool()))
        malformed(QStringLiteral("'value' must be a number or a text"));
    return fromCbor(v);
}

bool wants(const QCborMap &request, const QString &key)
{
    return request.value(key).toBool();
}

QCborArray stringArray(const QStringList &list)
{
    QCborArray array;
    for (const QString &s : list)
        array.append(s);
    return array;
}

} // namespace

LinkSession::LinkSession(QTcpSocket *socket, LinkServer &server)
    : m_socket(socket), m_server(server)
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_peer = QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());

    m_latency.setSingleShot(true);
    connect(&m_latency, &QTimer::timeout, this, [this] {
        answerNext();
        schedule();
    });
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
    m_pending.clear();
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
    while (!m_closing) {
        QCborMap request;
        const FrameReader::Status status = m_reader.next(&request);
        if (status == FrameReader::Status::NeedMore)
            break;
        if (status == FrameReader::Status::Error) {
            close(m_reader.errorString());
            return;
        }
        if (m_pending.size() >= LinkServer::MaxPendingRequests) {
            QCborMap reply;
            if (request.contains(Key::Id))
                reply.insert(Key::Id, request.value(Key::Id));
            reply.insert(Key::Error, QStringLiteral("Too many requests waiting (limit %1)")
                                         .arg(LinkServer::MaxPendingRequests));
            send(reply);
            continue;
        }
        m_pending.enqueue(request);
        schedule();
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

void LinkSession::schedule()
{
    if (m_pending.isEmpty() || m_latency.isActive() || m_closing)
        return;
    const int latency = m_server.latencyMs();
    if (latency > 0) {
        m_latency.start(latency);
        return;
    }
    while (!m_pending.isEmpty() && !m_closing)
        answerNext();
}

void LinkSession::answerNext()
{
    if (m_pending.isEmpty() || m_closing)
        return;
    const QCborMap request = m_pending.dequeue();
    const QString op = request.value(Key::Op).toString();
    QCborMap reply = answer(request);
    if (request.contains(Key::Id))
        reply.insert(Key::Id, request.value(Key::Id));
    send(reply);

    if (op == Op::Logout && m_backend) {
        emit event(QStringLiteral("%1 logged out").arg(m_peer));
        close(QString());
    } else if (!m_backend && op == Op::Login) {
        // A refused login ends the connection; the reason has been sent.
        close(QString());
    }
}

QCborMap LinkSession::answer(const QCborMap &request)
{
    QCborMap reply;
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
        if (op == Op::Logout) {
            hv.Logout();
        } else if (op == Op::QuerySlots) {
            QVariant count, channels, models;
            hv.QuerySlots(wants(request, Key::SlotCount) ? &count : nullptr,
                          wants(request, Key::ChannelCounts) ? &channels : nullptr,
                          wants(request, Key::SlotModels) ? &models : nullptr);
            if (wants(request, Key::SlotCount))
                reply.insert(Key::SlotCount, toCbor(count));
            if (wants(request, Key::ChannelCounts))
                reply.insert(Key::ChannelCounts, toCbor(channels));
            if (wants(request, Key::SlotModels))
                reply.insert(Key::SlotModels, toCbor(models));
        } else if (op == Op::CrateProperty) {
            reply.insert(Key::Value, toCbor(hv.CrateProperty(textArg(request, Key::Name))));
        } else if (op == Op::ParamValue) {
            reply.insert(Key::Value, toCbor(hv.ParamValue(shortArg(request, Key::Slot), textArg(request, Key::Par),
                                                          optionalChannel(request))));
        } else if (op == Op::SetParamValue) {
            hv.SetParamValue(shortArg(request, Key::Slot), textArg(request, Key::Par), shortArg(request, Key::Ch),
                             valueArg(request));
        } else if (op == Op::ParamAttribute) {
            reply.insert(Key::Value,
                         toCbor(hv.ParamAttribute(shortArg(request, Key::Slot), textArg(request, Key::Par),
                                                  textArg(request, Key::Prop), optionalChannel(request))));
        } else if (op == Op::ChannelName) {
            reply.insert(Key::Value, hv.ChannelName(shortArg(request, Key::Slot), shortArg(request, Key::Ch)));
        } else if (op == Op::SetChannelName) {
            hv.SetChannelName(shortArg(request, Key::Slot), shortArg(request, Key::Ch), textArg(request, Key::Name));
        } else if (op == Op::ListChannelParams) {
            reply.insert(Key::Value,
                         stringArray(hv.ListChannelParams(shortArg(request, Key::Slot), shortArg(request, Key::Ch))));
        } else {
            throw HVError(QStringLiteral("Unknown request '%1'").arg(op));
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

void LinkSession::send(const QCborMap &message)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    // Written at once rather than on the next pass of the event loop: a reply waits for no one.
    m_socket->write(encodeFrame(message));
    m_socket->flush();
    // A peer that asks and never reads would make the replies pile up here.
    if (m_socket->bytesToWrite() > MaxUnreadReplyBytes) {
        emit event(QStringLiteral("%1 closed: it does not read its replies").arg(m_peer));
        abort();
    }
}

void LinkSession::close(const QString &error)
{
    if (m_closing)
        return;
    m_closing = true;
    m_pending.clear();
    m_latency.stop();
    m_deadline.stop();
    if (!error.isEmpty()) {
        emit event(QStringLiteral("%1 closed: %2").arg(m_peer, error));
        QCborMap reply;
        reply.insert(Key::Error, error);
        send(reply);
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
    m_latency.stop();
    m_deadline.stop();
    emit finished(this);
}
