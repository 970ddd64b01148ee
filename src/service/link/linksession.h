#pragma once

#include "hvpowersupply.h"
#include "protocol.h"

#include <QCborMap>
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>

class LinkServer;
class QTcpSocket;

// One client connection of LinkServer: reads frames, checks the login,
// answers each request through its own backend, in order. A frame it cannot
// trust closes this connection only.
//
// The server's network delay and the crate's own pace are modelled here: a
// request reaches the crate half the delay after it arrived, waits while the
// crate works on earlier requests (of any connection), takes the crate's
// service time per call, and its reply leaves half the delay later.
class LinkSession : public QObject
{
    Q_OBJECT
public:
    LinkSession(QTcpSocket *socket, LinkServer &server);
    ~LinkSession() override;

    QString peer() const { return m_peer; }
    // Cuts the connection without a word; finished() follows.
    void abort();

signals:
    void finished(LinkSession *self);
    void event(const QString &text);

private:
    struct Incoming
    {
        QCborMap request;   // as it arrived
        qint64 dueUs = 0;   // when it reaches the crate
    };
    struct Outgoing
    {
        QByteArray frame;   // the reply, ready to write
        qint64 sendUs = 0;  // when it leaves
        bool close = false; // the connection ends once it is written
    };

    void readFrames();
    void serve();
    void execute(const QCborMap &request, qint64 startUs);
    QCborMap answer(const QCborMap &request, int *calls);
    QCborMap login(const QCborMap &request);
    QCborMap plan(HVPowerSupply &hv, const QCborMap &request, int *calls);
    void queueReply(const QCborMap &reply, qint64 sendUs, bool closeAfter);
    void flushReplies();
    void send(const QCborMap &message);
    // Answers with the error (when given) and closes once it is written.
    void close(const QString &error);
    void onDisconnected();

    QTcpSocket *m_socket;               // the connection, owned as a child
    LinkServer &m_server;               // account, delays and time-outs
    std::unique_ptr<HVPowerSupply> m_backend; // made at login
    Protocol::FrameReader m_reader;     // splits the byte stream into frames
    std::deque<Incoming> m_incoming;    // requests waiting for the crate
    std::deque<Outgoing> m_outgoing;    // replies waiting for their time to leave
    QTimer m_serveTimer;                // wakes serve() when the next request is due
    QTimer m_sendTimer;                 // wakes flushReplies() when the next reply is due
    QTimer m_deadline;                  // login and partial-frame time-out
    QString m_peer;                     // "address:port", for messages
    bool m_closing = false;             // no more requests are answered
    bool m_finished = false;            // finished() has been emitted
};
