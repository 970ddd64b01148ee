#include "linksession.h"

#include "loginguard.h"
#include "sessionhost.h"

#include <QSslSocket>
#include <QTcpSocket>
#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

using namespace Protocol;

namespace {

// Bytes taken off the socket at a time; the rest waits in the kernel while frames are served.
constexpr qint64 ReadChunk = 256 * 1024;
// Requests and replies held by the whole server, beyond which no connection that already holds some reads more.
constexpr qint64 MaxServerHeldBytes = 16 * 1024 * 1024;

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
      m_connectedUs(server.nowUs()),
      m_handler(server, m_peer, socket->localAddress().toString(), [this](const QString &text) { emit logLine(text); }),
      m_lane(server.scheduler(), [this](std::unique_ptr<CrateJob> job, qint64 doneUs) { jobDone(std::move(job), doneUs); })
{
    m_socket->setParent(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setReadBufferSize(MaxLoginFrame);

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
    m_stall.setSingleShot(true);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        emit logLine(QStringLiteral("%1 closed: it does not read its replies").arg(m_peer));
        abort();
    });

    connect(m_socket, &QTcpSocket::readyRead, this, &LinkSession::readFrames);
    connect(m_socket, &QTcpSocket::disconnected, this, &LinkSession::onDisconnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &LinkSession::watchBacklog);
    if (auto *ssl = qobject_cast<QSslSocket *>(m_socket)) {
        connect(ssl, &QSslSocket::encrypted, this, [this] {
            m_handler.encrypted();
            readFrames(); // the login may have come with the end of the handshake
        });
        connect(ssl, &QSslSocket::encryptedBytesWritten, this, &LinkSession::watchBacklog);
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
    leaveLine();
    m_server.addQueuedBytes(-m_held);
}

bool LinkSession::hasSpoken() const
{
    if (m_spoken || m_socket->bytesAvailable() > 0)
        return true;
#ifdef Q_OS_UNIX
    // Bytes the event loop has not got round to yet, under a flood of new connections.
    int waiting = 0;
    return ::ioctl(int(m_socket->socketDescriptor()), FIONREAD, &waiting) == 0 && waiting > 0;
#else
    return false;
#endif
}

void LinkSession::abort()
{
    m_closing = true;
    m_incoming.clear();
    m_outgoing.clear();
    m_lane.clear();
    m_incomingBytes = m_outgoingBytes = 0;
    syncHeld();
    m_socket->abort();
    onDisconnected();
}

bool LinkSession::mayRead() const
{
    if (m_held == 0)
        return true; // one request at least, however large and however busy the server
    const qint64 limit = m_handler.isLoggedIn() ? MaxHeldBytes : StrangerHeldBytes;
    return m_held < limit && m_server.queuedBytes() < MaxServerHeldBytes
           && int(m_incoming.size()) + m_lane.size() < SessionHost::MaxPendingRequests;
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
    const bool stranger = !m_handler.isLoggedIn();
    const qint64 chunk = stranger ? MaxLoginFrame : ReadChunk;
    if (m_reader.bufferedBytes() <= HeaderSize + (stranger ? MaxLoginFrame : MaxFrameSize))
        m_reader.append(m_socket->read(chunk));
    m_spoken = m_spoken || m_reader.bufferedBytes() > 0;
    const qint64 due = m_server.nowUs() + m_server.oneWayDelayUs();
    m_readBlocked = false;
    for (int taken = 0; !m_closing; ++taken) {
        if (taken == SessionHost::MaxFramesPerTurn) {
            m_turnTimer.start(0); // the other connections first
            return;
        }
        if (!mayRead()) {
            m_readBlocked = true; // until it holds less; the kernel keeps the rest meanwhile
            if (m_held > 0 && m_server.queuedBytes() >= MaxServerHeldBytes)
                m_turnTimer.start(10); // others hold the room: look again soon
            return;
        }
        const qsizetype before = m_reader.bufferedBytes();
        QCborMap request;
        const FrameReader::Status status = m_reader.next(&request);
        if (status == FrameReader::Status::NeedMore)
            break;
        if (status == FrameReader::Status::Error) {
            close(m_reader.errorString());
            return;
        }
        const qint64 bytes = before - m_reader.bufferedBytes();
        m_incoming.push_back({request, due, bytes});
        m_incomingBytes += bytes;
        syncHeld();
        serve(); // without delays the request is answered here, so none pile up
    }
    if (m_closing)
        return;
    if (!m_handler.isLoggedIn() && m_reader.bufferedBytes() > MaxLoginFrame) {
        close(QStringLiteral("A login message is at most %1 bytes").arg(MaxLoginFrame));
        return;
    }
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
        Incoming &next = m_incoming.front();
        // Once logged in, a request becomes crate work at once; the crate takes it when it is due.
        if (!m_handler.isLoggedIn()) {
            const qint64 now = m_server.nowUs();
            // After failed logins the password waits, first for its address's own
            // failures, then in line for the budget of all unknown addresses (others
            // may have failed meanwhile); the login window does not run meanwhile.
            if (LinkHandler::checksPassword(next.request)) {
                LoginGuard &guard = m_server.loginGuard();
                qint64 held = guard.notBeforeUs(m_address);
                if (held <= now && m_ticket == 0)
                    m_ticket = guard.queuePassword(m_address, [this] {
                        QMetaObject::invokeMethod(this, &LinkSession::serve, Qt::QueuedConnection);
                    });
                if (m_ticket != 0)
                    held = std::max(held, guard.turnUs(m_ticket));
                if (held > next.dueUs) {
                    next.dueUs = held;
                    m_deadline.stop();
                }
            }
            if (next.dueUs > now) {
                m_serveTimer.start(wakeMs(next.dueUs - now));
                return;
            }
        }
        const Incoming in = std::move(next);
        m_incoming.pop_front();
        m_incomingBytes -= in.bytes;
        take(in);
    }
}

void LinkSession::take(const Incoming &in)
{
    const bool wasLoggedIn = m_handler.isLoggedIn();
    LinkHandler::Result result = m_handler.handle(in.request);
    if (result.job) {
        m_lane.push(std::move(result.job), in.dueUs, in.bytes);
        syncHeld();
        return;
    }
    syncHeld();
    if (!wasLoggedIn) {
        LoginGuard &guard = m_server.loginGuard();
        leaveLine();
        if (result.loginFailed)
            guard.noteFailure(m_address, m_server.nowUs());
        if (result.loggedIn) {
            guard.noteSuccess(m_address, m_server.nowUs());
            m_deadline.stop();
            m_socket->setReadBufferSize(ReadChunk);
        } else if (!result.close && !m_deadline.isActive()) {
            m_deadline.start(m_server.loginTimeoutMs()); // a new try after a wrong password
        }
    }
    queueReply(result.reply, in.dueUs + m_server.oneWayDelayUs(), result.close, result.startTls);
}

void LinkSession::jobDone(std::unique_ptr<CrateJob> job, qint64 doneUs)
{
    queueReply(job->reply(), doneUs + m_server.oneWayDelayUs(), job->kind() == CrateJob::Kind::Logout);
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
        m_incomingBytes = 0;
        m_lane.clear();
        m_serveTimer.stop();
    }
    const QByteArray frame = frameOf(reply);
    m_outgoingBytes += frame.size();
    m_outgoing.push_back({frame, sendUs, closeAfter, startTls});
    syncHeld();
    flushReplies();
}

void LinkSession::flushReplies()
{
    while (!m_outgoing.empty()) {
        const qint64 now = m_server.nowUs();
        if (m_outgoing.front().sendUs > now) {
            m_sendTimer.start(wakeMs(m_outgoing.front().sendUs - now));
            break;
        }
        const Outgoing out = m_outgoing.front();
        m_outgoing.pop_front();
        m_outgoingBytes -= out.frame.size();
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            continue;
        // Written at once rather than on the next pass of the event loop: a reply waits for no one.
        m_socket->write(out.frame);
        m_socket->flush();
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
    syncHeld();
    watchBacklog();
}

void LinkSession::watchBacklog()
{
    if (m_closing)
        return;
    // A peer that asks and never reads would make its replies pile up here.
    const bool behind = m_socket->bytesToWrite() > ReplyBacklog;
    m_lane.setPaused(behind);
    if (behind && !m_stall.isActive())
        m_stall.start(m_server.frameTimeoutMs());
    else if (!behind)
        m_stall.stop();
}

void LinkSession::syncHeld()
{
    const qint64 held = m_incomingBytes + m_lane.bytes() + m_outgoingBytes;
    if (held == m_held)
        return;
    m_server.addQueuedBytes(held - m_held);
    const bool less = held < m_held;
    m_held = held;
    if (less && m_readBlocked && !m_closing && !m_turnTimer.isActive())
        m_turnTimer.start(0);
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
    m_stall.stop();
}

void LinkSession::leaveLine()
{
    if (m_ticket != 0)
        m_server.loginGuard().leaveQueue(m_ticket);
    m_ticket = 0;
}

void LinkSession::shutDown(const QString &error)
{
    m_closing = true;
    leaveLine();
    m_incoming.clear();
    m_outgoing.clear();
    m_lane.clear();
    m_incomingBytes = m_outgoingBytes = 0;
    syncHeld();
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
    leaveLine();
    stopTimers();
    emit finished(this);
}
