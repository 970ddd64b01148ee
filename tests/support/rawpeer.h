#pragma once

// A connection to a crate server that writes bytes and frames by hand, for
// what a proper client never sends.

#include "fakeserver.h"
#include "protocol.h"
#include "scram.h"

#include <QTcpSocket>
#include <QtEndian>

// The next frame on the socket, or an empty map once it closed or fell silent
// for ms; what arrives is also kept in seen when given.
inline QCborMap nextFrame(QTcpSocket &socket, Protocol::FrameReader &reader, int ms, QByteArray *seen = nullptr)
{
    QCborMap m;
    while (reader.next(&m) != Protocol::FrameReader::Status::Frame) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(ms))
            return {};
        const QByteArray bytes = socket.readAll();
        if (seen)
            *seen += bytes;
        reader.append(bytes);
    }
    return m;
}

// A frame's length header as it goes on the wire.
inline QByteArray lengthPrefix(quint32 length)
{
    const quint32 bigEndian = qToBigEndian(length);
    return QByteArray(reinterpret_cast<const char *>(&bigEndian), 4);
}

struct RawPeer
{
    explicit RawPeer(quint16 port, const QHostAddress &from = QHostAddress::LocalHost)
    {
        socket.bind(from);
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(3000);
    }
    void sendBytes(const QByteArray &bytes)
    {
        sent += bytes;
        socket.write(bytes);
        socket.waitForBytesWritten(3000);
    }
    void send(const QCborMap &m) { sendBytes(Protocol::encodeFrame(m)); }
    QCborMap reply() { return nextFrame(socket, reader, 3000); }
    QCborMap request(const QCborMap &m) { send(m); return reply(); }
    QCborMap opening(const QCborValue &version = Protocol::Version)
    {
        using namespace Protocol;
        return request({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, version}});
    }
    // The login as a client makes it, after the opening, up to the proof sent; its answer unread.
    void prove(const QString &password = Password)
    {
        using namespace Protocol;
        const QByteArray mine = Scram::newNonce();
        const Challenge c = decodeChallenge(request({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, User},
                                                     {Key::Nonce, QString::fromLatin1(mine)}}), mine);
        const QByteArray binding = Scram::channelBinding({});
        const QByteArray message = Scram::authMessage(User, mine, c.nonce, c.salt, c.iterations, binding);
        send({{Key::Op, Op::Proof}, {Key::Id, 3}, {Key::Nonce, QString::fromLatin1(c.nonce)}, {Key::Binding, binding},
              {Key::Proof, Scram::clientProof(Scram::saltedPassword(password, c.salt, c.iterations), message)}});
    }
    // The whole login after the opening; the last reply.
    QCborMap authenticate(const QString &password = Password)
    {
        prove(password);
        return reply();
    }
    QCborMap login() { opening(); return authenticate(); }
    bool closedByServer() { return socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(3000); }

    QTcpSocket socket;            // the raw connection
    Protocol::FrameReader reader; // frames coming back
    QByteArray sent;              // every byte sent
};
