#include "netclient.h"

#include "hverror.h"

#include <QCborArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>

using namespace Protocol;

namespace {

QString lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}

QCborValue channelValue(std::optional<qint16> ch)
{
    return ch ? QCborValue(*ch) : QCborValue(QCborValue::Null);
}

} // namespace

NetClient::NetClient(quint16 port, int connectTimeoutMs, int replyTimeoutMs)
    : m_port(port), m_connectTimeoutMs(connectTimeoutMs), m_replyTimeoutMs(replyTimeoutMs)
{
}

NetClient::~NetClient() = default;

bool NetClient::isConnected() const
{
    return m_state == State::Open && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void NetClient::Login(const QString &userName, const QString &password, qint32 /*reserved*/, const QString &address)
{
    closeSocket();
    m_state = State::Closed;

    QHostAddress host;
    if (!host.setAddress(address.trimmed()))
        throw HVError(QStringLiteral("Not a valid IP address: \"%1\"").arg(address));
    const QString where = QStringLiteral("%1:%2").arg(host.toString()).arg(m_port);

    m_socket = std::make_unique<QTcpSocket>();
    m_reader = FrameReader();
    m_socket->connectToHost(host, m_port);
    if (!m_socket->waitForConnected(m_connectTimeoutMs)) {
        const QAbstractSocket::SocketError error = m_socket->error();
        const QString reason = m_socket->errorString();
        closeSocket();
        if (error == QAbstractSocket::ConnectionRefusedError)
            throw HVError(QStringLiteral("Cannot connect to %1: connection refused").arg(where));
        if (error == QAbstractSocket::SocketTimeoutError)
            throw HVError(QStringLiteral("Cannot connect to %1: no answer within %2").arg(where, seconds(m_connectTimeoutMs)));
        throw HVError(QStringLiteral("Cannot connect to %1: %2").arg(where, lowerFirst(reason)));
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    m_state = State::Open;
    QCborMap request;
    request.insert(Key::Version, Version);
    request.insert(Key::User, userName);
    request.insert(Key::Password, password);
    try {
        call(Op::Login, request);
    } catch (...) {
        closeSocket();
        m_state = State::Closed;
        throw;
    }
}

void NetClient::Logout()
{
    if (isConnected()) {
        try {
            call(Op::Logout, QCborMap());
        } catch (const HVError &) {
            // The link is being closed anyway; nothing the caller could do.
        }
    }
    closeSocket();
    m_state = State::Closed;
}

void NetClient::QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels)
{
    QCborMap request;
    request.insert(Key::SlotCount, slotCount != nullptr);
    request.insert(Key::ChannelCounts, channelCounts != nullptr);
    request.insert(Key::SlotModels, slotModels != nullptr);
    const QCborMap reply = call(Op::QuerySlots, request);

    const auto take = [&reply](const QString &key, QVariant *out) {
        if (!out)
            return;
        if (!reply.contains(key))
            throw HVError(QStringLiteral("The crate's answer lacks %1").arg(key));
        *out = fromCbor(reply.value(key));
    };
    take(Key::SlotCount, slotCount);
    take(Key::ChannelCounts, channelCounts);
    take(Key::SlotModels, slotModels);
}

QVariant NetClient::CrateProperty(const QString &propertyName)
{
    QCborMap request;
    request.insert(Key::Name, propertyName);
    return value(call(Op::CrateProperty, request));
}

QVariant NetClient::ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch)
{
    QCborMap request;
    request.insert(Key::Slot, slot);
    request.insert(Key::Par, parName);
    request.insert(Key::Ch, channelValue(ch));
    return value(call(Op::ParamValue, request));
}

void NetClient::SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value)
{
    QCborMap request;
    request.insert(Key::Slot, slot);
    request.insert(Key::Par, parName);
    request.insert(Key::Ch, ch);
    request.insert(Key::Value, toCbor(value));
    call(Op::SetParamValue, request);
}

QVariant NetClient::ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                                   std::optional<qint16> ch)
{
    QCborMap request;
    request.insert(Key::Slot, slot);
    request.insert(Key::Par, parName);
    request.insert(Key::Prop, propertyName);
    request.insert(Key::Ch, channelValue(ch));
    return value(call(Op::ParamAttribute, request));
}

QString NetClient::ChannelName(qint16 slot, qint16 ch)
{
    QCborMap request;
    request.insert(Key::Slot, slot);
    request.insert(Key::Ch, ch);
    const QCborValue name = call(Op::ChannelName, request).value(Key::Value);
    if (!name.isString())
        throw HVError(QStringLiteral("The crate answered ChannelName with something else than a text"));
    return name.toString();
}

void NetClient::SetChannelName(qint16 slot, qint16 ch, const QString &name)
{
    QCborMap request;
    request.insert(Key::Slot, slot);
    request.insert(Key::Ch, ch);
    request.insert(Key::Name, name);
    call(Op::SetChannelName, request);
}

QStringList NetClient::ListChannelParams(qint16 slot, qint16 ch)
{
    QCborMap request;
    request.insert(Key::Slot, slot);
    request.insert(Key::Ch, ch);
    const QCborValue list = call(Op::ListChannelParams, request).value(Key::Value);
    QStringList names;
    bool texts = list.isArray();
    for (const QCborValue &v : list.toArray()) {
        texts = texts && v.isString();
        names << v.toString();
    }
    if (!texts)
        throw HVError(QStringLiteral("The crate answered ListChannelParams with something else than a list of texts"));
    return names;
}

void NetClient::checkOpen() const
{
    if (m_state == State::Lost)
        throw HVError(QStringLiteral("Connection to the crate lost"));
    if (m_state == State::Closed || !m_socket)
        throw HVError(QStringLiteral("Not connected"));
}

QCborMap NetClient::call(const QString &op, QCborMap request)
{
    checkOpen();
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        linkLost();

    const qint64 id = ++m_lastId;
    request.insert(Key::Op, op);
    request.insert(Key::Id, id);
    const QByteArray frame = encodeFrame(request);
    if (frame.size() - HeaderSize > MaxFrameSize)
        throw HVError(QStringLiteral("Request too large: %1 bytes (limit %2)")
                          .arg(frame.size() - HeaderSize)
                          .arg(MaxFrameSize));

    // One write per frame, pushed out at once: with Nagle off this is one segment.
    if (m_socket->write(frame) != frame.size())
        linkLost();
    m_socket->flush();
    const QDeadlineTimer deadline(m_replyTimeoutMs);
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(int(deadline.remainingTime()))) {
            if (m_socket->error() == QAbstractSocket::SocketTimeoutError)
                throw HVError(QStringLiteral("No answer from the crate within %1").arg(seconds(m_replyTimeoutMs)));
            linkLost();
        }
    }

    QCborMap reply = waitForReply(id);
    const QCborValue error = reply.value(Key::Error);
    if (!error.isUndefined()) {
        const QString text = error.isString() ? error.toString() : QStringLiteral("The crate refused the request");
        // An error without an id is about the connection, which the server closes.
        if (!reply.contains(Key::Id)) {
            closeSocket();
            m_state = State::Lost;
        }
        throw HVError(text);
    }
    return reply;
}

QCborMap NetClient::waitForReply(qint64 id)
{
    const QDeadlineTimer deadline(m_replyTimeoutMs);
    for (;;) {
        QCborMap reply;
        switch (m_reader.next(&reply)) {
        case FrameReader::Status::Frame: {
            const QCborValue replyId = reply.value(Key::Id);
            if (replyId.isUndefined())
                return reply; // the server speaks of the connection itself
            if (!replyId.isInteger() || replyId.toInteger() > id)
                linkLost(QStringLiteral("reply to a request never sent"));
            if (replyId.toInteger() < id)
                continue; // late answer to a request that timed out
            return reply;
        }
        case FrameReader::Status::Error:
            linkLost(m_reader.errorString());
        case FrameReader::Status::NeedMore:
            break;
        }
        if (m_socket->bytesAvailable() > 0) {
            m_reader.append(m_socket->readAll());
            continue;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            linkLost();
        if (!m_socket->waitForReadyRead(int(deadline.remainingTime()))) {
            if (m_socket->error() == QAbstractSocket::SocketTimeoutError
                && m_socket->state() == QAbstractSocket::ConnectedState)
                throw HVError(QStringLiteral("No answer from the crate within %1").arg(seconds(m_replyTimeoutMs)));
            // Whatever arrived before the end still counts.
            if (m_socket->bytesAvailable() > 0)
                continue;
            linkLost();
        }
    }
}

QVariant NetClient::value(const QCborMap &reply) const
{
    return fromCbor(reply.value(Key::Value));
}

void NetClient::linkLost(const QString &detail)
{
    closeSocket();
    m_state = State::Lost;
    if (detail.isEmpty())
        throw HVError(QStringLiteral("Connection to the crate lost"));
    throw HVError(QStringLiteral("Connection to the crate lost: %1").arg(detail));
}

void NetClient::closeSocket()
{
    if (m_socket)
        m_socket->abort();
    m_socket.reset();
}
