#pragma once

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
// The server's network delay and the crate's own pace are modelled here: a
// request reaches the crate half the delay after it arrived, waits while the
// crate works on earlier requests (of any connection), takes the crate's
// service time per call, and its reply leaves half the delay later.
//
// A connection takes at most SessionHost::MaxFramesPerTurn frames at a time and
// then lets the other connections have theirs, so no peer can starve the rest.
class LinkSession : public QObject
{
    Q_OBJECT
public:
    LinkSession(QTcpSocket *socket, SessionHost &server);
    ~LinkSession() override;

    QString peer() const { return m_peer; }
    QHostAddress peerAddress() const { return m_address; }
    bool isLoggedIn() const { return !m_closing && m_handler.isLoggedIn(); }
    // Not logged in and not on its way out: counts against the strangers' quota.
    bool isStranger() const { return !m_closing && !m_handler.isLoggedIn(); }
    // How far its login has got: a larger number is further.
    int loginProgress() const { return int(m_handler.stage()); }
    // Cuts the connection without a word; finished() follows.
    void abort();
    // Answers with the error (when given) and closes once it is written; once only.
    void close(const QString &error);

signals:
    void finished(LinkSession *self);
    void logLine(const QString &text);

private:
    void shutDown(const QString &error); // close's steps, also after the last reply of a closing session
    void stopTimers();

    struct Incoming
    {
        QCborMap request;   // as it arrived
        qint64 dueUs = 0;   // when it reaches the crate
    };
    struct Outgoing
    {
        QByteArray frame;      // the reply, ready to write
        qint64 sendUs = 0;     // when it leaves
        bool close = false;    // the connection ends once it is written
        bool startTls = false; // the client's TLS handshake follows it
    };

    void readFrames();
    // The opening offered TLS: starts it once the client's handshake arrives,
    // closes the connection when plain bytes come instead.
    void awaitHandshake();
    void serve();
    void execute(const QCborMap &request, qint64 startUs);
    void queueReply(const QCborMap &reply, qint64 sendUs, bool closeAfter, bool startTls = false);
    // The frame of a message, or of an error saying it was too large: never over the limit.
    static QByteArray frameOf(const QCborMap &message);
    void flushReplies();
    void send(const QCborMap &message);
    void onDisconnected();

    QTcpSocket *m_socket;               // the connection, owned as a child (a QSslSocket when TLS is on)
    SessionHost &m_server;              // account, delays and time-outs
    QString m_peer;                     // "address:port", for messages
    QHostAddress m_address;             // the peer's address, for quotas and waits
    LinkHandler m_handler;              // login and answers
    Protocol::FrameReader m_reader;     // splits the byte stream into frames
    std::deque<Incoming> m_incoming;    // requests waiting for the crate
    std::deque<Outgoing> m_outgoing;    // replies waiting for their time to leave
    QTimer m_serveTimer;                // wakes serve() when the next request is due
    QTimer m_sendTimer;                 // wakes flushReplies() when the next reply is due
    QTimer m_turnTimer;                 // takes the next frames after the other connections had their turn
    QTimer m_deadline;                  // login and partial-frame time-out
    bool m_handshakeDue = false;        // TLS was offered; the client's handshake is awaited
    bool m_closing = false;             // no more requests are answered
    bool m_finished = false;            // finished() has been emitted
};
