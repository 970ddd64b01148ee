#include "linksession.h"

#include "sessionhost.h"

#include <QSslSocket>
#include <QTcpSocket>

using namespace Protocol;

namespace {

constexpr qint64 MaxUnreadReplyBytes = 4 * MaxFrameSize;
// Bytes taken off the socket at a time; the rest waits in the kernel while frames are served.
constexpr qint64 ReadChunk = 256 * 1024;

// Timers count whole milliseconds: wake at the first one that is not early.
int wakeMs(qint64 us)
{
    return int(std::max<qint64>(0, (us + 999) / 1000));
}

QString addressOf(const QTcpSocket *socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

} // namespace

LinkSession::LinkSession(QTcpSocket *socket, SessionHost &server)
    : m_socket(socket), m_server(server), m_peer(addressOf(socket)), m_address(socket->peerAddress()),
      m_handler(server, m_peer, socket->localAddress().toString(), [this](const QString &text) { emit logLine(text); })
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setReadBufferSize(ReadChunk);

    for (QTimer *t : {&m_serveTimer, &m_sendTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_serveTimer, &QTimer::timeout, this, &LinkSession::serve);
    connect(&m_sendTimer, &QTimer::timeout, this, &LinkSession::flushReplies);
    m_turnTimer.setSingleShot(true);
    connect(&m_turnTimer, &QTimer::timeout, this, &LinkSession::readFrames);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_closing) { // the peer does not take the last reply: give up on it
            abort();
            return;
        }
        close(m_handler.isLoggedIn() ? QStringLiteral("Frame not completed within %1").arg(seconds(m_server.frameTimeoutMs()))
                                     : QStringLiteral("No login within %1").arg(seconds(m_server.loginTimeoutMs())));
    });
    m_deadline.start(m_server.loginTimeoutMs());

    connect(m_socket, &QTcpSocket::readyRead, this, &LinkSession::readFrames);
    connect(m_socket, &QTcpSocket::disconnected, this, &LinkSession::onDisconnected);
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket)) {
        connect(ssl, &QSslSocket::encrypted, this, [this] {
            m_handler.encrypted();
            readFrames(); // the login may have come with the end of the handshake
        });
        connect(ssl, &QSslSocket::errorOccurred, this, [this, ssl](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::SslHandshakeFailedError
                || (m_handler.stage() == LinkHandler::Stage::Encrypting && !m_closing)) {
                emit logLine(QStringLiteral("%1 closed: the encrypted link failed: %2").arg(m_peer, ssl->errorString()));
                abort();
            }
        });
    }
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
    if (m_handshakeDue) {
        awaitHandshake();
        return;
    }
    if (m_handler.stage() == LinkHandler::Stage::Encrypting)
        return; // the handshake runs inside the socket
    if (m_reader.bufferedBytes() <= HeaderSize + MaxFrameSize)
        m_reader.append(m_socket->read(ReadChunk));
    const qint64 now = m_server.nowUs();
    const qint64 due = now + m_server.oneWayDelayUs();
    for (int taken = 0; !m_closing; ++taken) {
        if (taken == SessionHost::MaxFramesPerTurn) {
            m_turnTimer.start(0); // the other connections first
            return;
        }
        QCborMap request;
        const FrameReader::Status status = m_reader.next(&request);
        if (status == FrameReader::Status::NeedMore)
            break;
        if (status == FrameReader::Status::Error) {
            close(m_reader.errorString());
            return;
        }
        if (int(m_incoming.size()) >= SessionHost::MaxPendingRequests) {
            QCborMap reply;
            if (request.value(Key::Id).isInteger())
                reply.insert(Key::Id, request.value(Key::Id));
            reply.insert(Key::Error, QStringLiteral("Too many requests waiting (limit %1)")
                                         .arg(SessionHost::MaxPendingRequests));
            send(reply);
            continue;
        }
        qint64 dueUs = due;
        if (LinkHandler::checksPassword(request)) {
            // After failed logins from this address the password waits; the login window does not run meanwhile.
            dueUs = std::max(due, m_server.loginNotBeforeUs(m_address));
            if (dueUs > now)
                m_deadline.stop();
        }
        m_incoming.push_back({request, dueUs});
        serve(); // without delays the request is answered here, so none pile up
    }
    if (m_closing)
        return;
    if (m_socket->bytesAvailable() > 0)
        m_turnTimer.start(0);
    // Once logged in, the deadline only watches frames that arrive in pieces.
    if (m_handler.isLoggedIn()) {
        if (!m_reader.inFrame())
            m_deadline.stop();
        else if (!m_deadline.isActive())
            m_deadline.start(m_server.frameTimeoutMs());
    }
}

void LinkSession::awaitHandshake()
{
    const QByteArray first = m_socket->peek(1);
    if (first.isEmpty())
        return;
    m_handshakeDue = false;
    auto *ssl = qobject_cast<QSslSocket *>(m_socket);
    if (!ssl || first[0] != TlsHandshakeByte || m_reader.inFrame()) {
        close(QStringLiteral("This crate takes encrypted links only: the client must encrypt before it logs in"));
        return;
    }
    ssl->startServerEncryption();
}

void LinkSession::serve()
{
    while (!m_closing && !m_incoming.empty()) {
        const qint64 now = m_server.nowUs();
        Incoming &next = m_incoming.front();
        if (LinkHandler::checksPassword(next.request)) // another connection of this address may have failed meanwhile
            next.dueUs = std::max(next.dueUs, m_server.loginNotBeforeUs(m_address));
        const qint64 start = std::max(next.dueUs, m_server.crateFreeUs());
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
    const LinkHandler::Result result = m_handler.handle(request);
    const qint64 doneUs = m_server.occupyCrate(startUs, result.calls);
    if (result.loginFailed)
        m_server.noteLoginFailure(m_address);
    if (result.loggedIn) {
        m_server.noteLoginSuccess(m_address);
        m_deadline.stop();
    } else if (!m_handler.isLoggedIn() && !result.close && !m_deadline.isActive()) {
        m_deadline.start(m_server.loginTimeoutMs()); // a new try after a wrong password
    }
    queueReply(result.reply, doneUs + m_server.oneWayDelayUs(), result.close, result.startTls);
}

QByteArray LinkSession::frameOf(const QCborMap &message)
{
    const QByteArray frame = encodeFrame(message);
    if (fitsLimit(frame))
        return frame;
    // Never more than the peer may take: the answer is replaced by why it is missing.
    QCborMap refused;
    if (message.contains(Key::Id))
        refused.insert(Key::Id, message.value(Key::Id));
    refused.insert(Key::Error, QStringLiteral("The answer of %1 bytes is larger than the limit of %2 bytes")
                                   .arg(frame.size() - HeaderSize)
                                   .arg(MaxFrameSize));
    return encodeFrame(refused);
}

void LinkSession::queueReply(const QCborMap &reply, qint64 sendUs, bool closeAfter, bool startTls)
{
    if (closeAfter) {
        m_closing = true; // nothing after this request is answered
        m_incoming.clear();
        m_serveTimer.stop();
    }
    m_outgoing.push_back({frameOf(reply), sendUs, closeAfter, startTls});
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
            emit logLine(QStringLiteral("%1 closed: it does not read its replies").arg(m_peer));
            abort();
            return;
        }
        if (out.close) {
            shutDown(QString());
            return;
        }
        if (out.startTls) {
            m_handshakeDue = true;
            if (m_socket->bytesAvailable() > 0)
                awaitHandshake();
        }
    }
}

void LinkSession::send(const QCborMap &message)
{
    queueReply(message, 0, false);
}

void LinkSession::close(const QString &error)
{
    if (!m_closing)
        shutDown(error);
}

void LinkSession::stopTimers()
{
    m_serveTimer.stop();
    m_sendTimer.stop();
    m_turnTimer.stop();
    m_deadline.stop();
}

void LinkSession::shutDown(const QString &error)
{
    m_closing = true;
    m_incoming.clear();
    m_outgoing.clear();
    stopTimers();
    if (!error.isEmpty()) {
        emit logLine(QStringLiteral("%1 closed: %2").arg(m_peer, clip(error, 80)));
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            m_socket->write(frameOf({{Key::Error, clip(error)}}));
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
    stopTimers();
    emit finished(this);
}
