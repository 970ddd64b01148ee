#pragma once

#include "hvpowersupply.h"
#include "protocol.h"

#include <QCborMap>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <memory>

class LinkServer;
class QTcpSocket;

// One client connection of LinkServer: reads frames, checks the login,
// answers each request through its own backend, in order, after the
// server's latency. A frame it cannot trust closes this connection only.
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
    void readFrames();
    void schedule();
    void answerNext();
    QCborMap answer(const QCborMap &request);
    QCborMap login(const QCborMap &request);
    void send(const QCborMap &message);
    // Answers with the error (when given) and closes once it is written.
    void close(const QString &error);
    void onDisconnected();

    QTcpSocket *m_socket;               // the connection, owned as a child
    LinkServer &m_server;               // account, latency and time-outs
    std::unique_ptr<HVPowerSupply> m_backend; // made at login
    Protocol::FrameReader m_reader;     // splits the byte stream into frames
    QQueue<QCborMap> m_pending;         // requests waiting for their reply
    QTimer m_latency;                   // holds the next reply back by the latency
    QTimer m_deadline;                  // login and partial-frame time-out
    QString m_peer;                     // "address:port", for messages
    bool m_closing = false;             // no more requests are answered
    bool m_finished = false;            // finished() has been emitted
};
