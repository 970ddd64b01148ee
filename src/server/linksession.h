#pragma once

#include "cratescheduler.h"
#include "linkhandler.h"
#include "protocol.h"

#include <QCborMap>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <deque>

class SessionHost;
class QTcpSocket;

// One client connection of LinkServer: reads frames, hands each request to
// its LinkHandler in order and writes the replies. A frame it cannot trust
// closes this connection only.
//
// The steps of the login are answered here, never behind crate work; every
// later request becomes a job in the connection's lane of the server's
// CrateScheduler, which shares the crate between connections and lets writes
// go first. The server's network delay is modelled here: a request reaches the
// crate half the delay after it arrived, and its reply leaves half the delay
// after the crate (or the login) answered it.
//
// What a connection may hold is bounded: MaxHeldBytes of requests and replies
// not yet written (a stranger's: StrangerHeldBytes), SessionHost::MaxPendingRequests
// requests. Beyond that it takes nothing more off its socket, which slows the
// sender down; a peer that does not read its replies gets no more work done
// until it does, and is cut off after the frame time-out.
class LinkSession : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxHeldBytes = 512 * 1024;
    static constexpr qint64 StrangerHeldBytes = 8 * 1024;
    static constexpr qint64 MaxLoginFrame = 4096; // a login message is far smaller
    static constexpr qint64 ReplyBacklog = 1024 * 1024; // unread reply bytes before its work pauses

    LinkSession(QTcpSocket *socket, SessionHost &server);
    ~LinkSession() override;

    QString peer() const { return m_peer; }
    QHostAddress peerAddress() const { return m_address; }
    bool isLoggedIn() const { return !m_closing && m_handler.isLoggedIn(); }
    // Not logged in and not on its way out: counts against the strangers' quota.
    bool isStranger() const { return !m_closing && !m_handler.isLoggedIn(); }
    qint64 connectedUs() const { return m_connectedUs; }
    // Something of it has arrived, whether read yet or still in the kernel: a
    // client sends its opening at once, so only a silent peer has not spoken.
    bool hasSpoken() const;
    // Bytes of its requests and replies held by the server.
    qint64 heldBytes() const { return m_held; }
    // Cuts the connection without a word; finished() follows.
    void abort();
    // Answers with the error (when given) and closes once it is written; once only.
    void close(const QString &error);

signals:
    void finished(LinkSession *self);
    void logLine(const QString &text);

private:
    struct Incoming
    {
        QCborMap request;   // as it arrived
        qint64 dueUs = 0;   // when it reaches the crate
        qint64 bytes = 0;   // its frame's size
    };
    struct Outgoing
    {
        QByteArray frame;      // the reply, ready to write
        qint64 sendUs = 0;     // when it leaves
        bool close = false;    // the connection ends once it is written
        bool startTls = false; // the client's TLS handshake follows it
    };

    void shutDown(const QString &error); // close's steps, also after the last reply of a closing session
    void stopTimers();
    // Gives up its password's place in the guard's line, if it has one.
    void leaveLine();
    void readFrames();
    // Whether one more request may be taken off the socket now.
    bool mayRead() const;
    // The opening offered TLS: starts it once the client's handshake arrives,
    // closes the connection when plain bytes come instead.
    void awaitHandshake();
    // Hands the requests that are due to the handler, in order (a password waits for the guard).
    void serve();
    void take(const Incoming &in);
    void jobDone(std::unique_ptr<CrateJob> job, qint64 doneUs);
    void queueReply(const QCborMap &reply, qint64 sendUs, bool closeAfter, bool startTls = false);
    // The frame of a message, or of an error saying it was too large: never over the limit.
    static QByteArray frameOf(const QCborMap &message);
    void flushReplies();
    // Pauses its work while its replies are not read, and resumes it.
    void watchBacklog();
    void onDisconnected();
    // Brings heldBytes() and the server's total up to date; reads on when room was made.
    void syncHeld();

    QTcpSocket *m_socket;               // the connection, owned as a child (a QSslSocket when TLS is on)
    SessionHost &m_server;              // account, guard, delays and time-outs
    QString m_peer;                     // "address:port", for messages
    QHostAddress m_address;             // the peer's address, for quotas and waits
    qint64 m_connectedUs;               // when it connected
    LinkHandler m_handler;              // login and answers
    CrateLane m_lane;                   // its crate work; destroyed before the handler whose backend it uses
    Protocol::FrameReader m_reader;     // splits the byte stream into frames
    std::deque<Incoming> m_incoming;    // requests not handed to the handler yet
    qint64 m_incomingBytes = 0;         // their size
    std::deque<Outgoing> m_outgoing;    // replies waiting for their time to leave
    qint64 m_outgoingBytes = 0;         // their size
    qint64 m_held = 0;                  // requests and replies held, as last told to the server
    QTimer m_serveTimer;                // wakes serve() when the next login step is due
    QTimer m_sendTimer;                 // wakes flushReplies() when the next reply is due
    QTimer m_turnTimer;                 // takes the next frames after the other connections had their turn
    QTimer m_deadline;                  // login and partial-frame time-out
    QTimer m_stall;                     // a peer that does not read its replies is cut off
    quint64 m_ticket = 0;               // its password's place in the guard's line (0: none)
    bool m_spoken = false;              // bytes of it have been read
    bool m_readBlocked = false;         // frames wait in the socket until it holds less
    bool m_handshakeDue = false;        // TLS was offered; the client's handshake is awaited
    bool m_closing = false;             // no more requests are answered
    bool m_finished = false;            // finished() has been emitted
};
