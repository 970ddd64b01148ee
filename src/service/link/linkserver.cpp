#include "linkserver.h"

#include "hvpowersupply.h"
#include "linksession.h"

#include <QTcpSocket>

LinkServer::LinkServer(BackendFactory factory, QObject *parent)
    : QObject(parent), m_factory(std::move(factory))
{
    connect(&m_server, &QTcpServer::newConnection, this, &LinkServer::acceptConnections);
    m_clock.start();
}

LinkServer::~LinkServer()
{
    // Sessions go first: their backends may point into what the factory shares.
    const QList<LinkSession *> sessions = m_sessions;
    m_sessions.clear();
    qDeleteAll(sessions);
}

bool LinkServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server.listen(address, port);
}

void LinkServer::setAccount(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

bool LinkServer::accountMatches(const QString &user, const QString &password) const
{
    return user == m_user && password == m_password;
}

void LinkServer::setLatencyMs(double ms)
{
    m_latencyUs = qMax<qint64>(0, qRound64(ms * 1000));
}

void LinkServer::setServiceTimeMs(double ms)
{
    m_serviceUs = qMax<qint64>(0, qRound64(ms * 1000));
}

qint64 LinkServer::occupyCrate(qint64 startUs, int calls)
{
    const qint64 done = startUs + qint64(calls) * m_serviceUs;
    m_crateFreeUs = qMax(m_crateFreeUs, done);
    return done;
}

void LinkServer::dropAllConnections()
{
    const QList<LinkSession *> sessions = m_sessions;
    for (LinkSession *session : sessions)
        session->abort();
    if (!sessions.isEmpty())
        emit event(QStringLiteral("dropped %1 connection(s)").arg(sessions.size()));
}

void LinkServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_sessions.size() >= MaxConnections) {
            QCborMap reply;
            reply.insert(Protocol::Key::Error,
                         QStringLiteral("Too many connections to the crate (limit %1)").arg(MaxConnections));
            socket->write(Protocol::encodeFrame(reply));
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            emit event(QStringLiteral("refused a connection: limit of %1 reached").arg(MaxConnections));
            continue;
        }
        auto *session = new LinkSession(socket, *this);
        session->setParent(this);
        m_sessions.append(session);
        connect(session, &LinkSession::event, this, &LinkServer::event);
        connect(session, &LinkSession::finished, this, &LinkServer::forget);
        emit event(QStringLiteral("%1 connected").arg(session->peer()));
    }
}

void LinkServer::forget(LinkSession *session)
{
    if (m_sessions.removeOne(session))
        emit event(QStringLiteral("%1 disconnected").arg(session->peer()));
    session->deleteLater();
}
