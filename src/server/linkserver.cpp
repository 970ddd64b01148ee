#include "linkserver.h"

#include "hverror.h"
#include "hvpowersupply.h"
#include "linksession.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>

namespace {

// Hands out QSslSocket connections while TLS is on, so that they can be
// encrypted after the opening exchange; plain QTcpSocket otherwise.
class Listener : public QTcpServer
{
public:
    explicit Listener(const LinkServer &server) : m_server(server) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (!m_server.tlsEnabled()) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setSslConfiguration(m_server.tlsConfiguration());
        addPendingConnection(socket);
    }

private:
    const LinkServer &m_server; // says whether TLS is on, and with what
};

} // namespace

LinkServer::LinkServer(BackendFactory factory, QObject *parent)
    : QObject(parent), m_listener(std::make_unique<Listener>(*this)), m_factory(std::move(factory)),
      m_keys(Scram::newKeys(DefaultPassword)), m_secret(Scram::randomBytes(32)),
      m_scheduler([this] { return nowUs(); })
{
    // A crowd connecting faster than it is taken would fill a short queue of
    // new connections, and the kernel would hold an operator's behind it for seconds.
    m_listener->setListenBacklogSize(ListenBacklog);
    // QTcpServer accepts for as long as connections keep coming, and a crowd that
    // reconnects as soon as it is closed would keep every other socket waiting:
    // they are taken a batch per pass of the event loop instead, after the others had theirs.
    m_listener->setMaxPendingConnections(AcceptsPerPass);
    connect(m_listener.get(), &QTcpServer::newConnection, this, [this] {
        if (!m_acceptDue) {
            m_acceptDue = true;
            QMetaObject::invokeMethod(this, &LinkServer::acceptConnections, Qt::QueuedConnection);
        }
    });
    m_clock.start();
}

LinkServer::~LinkServer()
{
    // Sessions go first, closing ones too: their backends may point into what the
    // factory shares, and their lanes into the scheduler.
    m_sessions.clear();
    qDeleteAll(findChildren<LinkSession *>(Qt::FindDirectChildrenOnly));
}

bool LinkServer::listen(const QHostAddress &address, quint16 port)
{
    return m_listener->listen(address, port);
}

void LinkServer::setAccount(const QString &user, const QString &password)
{
    m_user = user;
    m_keys = Scram::newKeys(password);
}

Scram::Keys LinkServer::keysFor(const QString &user, bool *known) const
{
    *known = user == m_user;
    if (*known)
        return m_keys;
    Scram::Keys fake;
    fake.salt = QMessageAuthenticationCode::hash(user.toUtf8(), m_secret, QCryptographicHash::Sha256).left(16);
    fake.iterations = m_keys.iterations;
    return fake;
}

void LinkServer::setTls(const QString &certificateFile, const QString &keyFile)
{
    if (!QSslSocket::supportsSsl())
        throw HVError(QStringLiteral("TLS is not available here: Qt's OpenSSL backend did not load"));
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificateFile, QSsl::Pem);
    if (certificates.isEmpty())
        throw HVError(QStringLiteral("%1 holds no PEM certificate (or cannot be read)").arg(certificateFile));
    QFile file(keyFile);
    if (!file.open(QIODevice::ReadOnly))
        throw HVError(QStringLiteral("cannot read the key %1: %2").arg(keyFile, file.errorString()));
    const QByteArray pem = file.readAll();
    QSslKey key;
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa}) {
        key = QSslKey(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            break;
    }
    if (key.isNull())
        throw HVError(QStringLiteral("%1 holds no unencrypted PEM private key (EC or RSA)").arg(keyFile));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificates.first());
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // clients log in with the account, not a certificate
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    m_tls = tls;
}

QByteArray LinkServer::certificateDigest() const
{
    return tlsEnabled() ? m_tls.localCertificate().digest(QCryptographicHash::Sha256) : QByteArray();
}

void LinkServer::setLatencyMs(double ms)
{
    m_latencyUs = qMax<qint64>(0, qRound64(ms * 1000));
}

void LinkServer::setServiceTimeMs(double ms)
{
    m_scheduler.setServiceTimeUs(qMax<qint64>(0, qRound64(ms * 1000)));
}

void LinkServer::dropAllConnections()
{
    const QList<LinkSession *> sessions = m_sessions;
    for (LinkSession *session : sessions)
        session->abort();
    if (!sessions.isEmpty())
        emit logLine(QStringLiteral("dropped %1 connection(s)").arg(sessions.size()));
}

int LinkServer::operatorCount() const
{
    return int(std::count_if(m_sessions.cbegin(), m_sessions.cend(), [](LinkSession *s) { return s->isLoggedIn(); }));
}

void LinkServer::acceptConnections()
{
    m_acceptDue = false;
    while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
        makeRoomForStranger(socket->peerAddress());
        auto *session = new LinkSession(socket, *this);
        session->setParent(this);
        m_sessions.append(session);
        connect(session, &LinkSession::logLine, this, &LinkServer::logLine);
        connect(session, &LinkSession::finished, this, &LinkServer::forget);
        emit logLine(QStringLiteral("%1 connected").arg(session->peer()));
    }
}

void LinkServer::makeRoomForStranger(const QHostAddress &peer)
{
    QList<LoginGuard::Stranger> strangers;
    QList<LinkSession *> sessions;
    for (LinkSession *s : std::as_const(m_sessions)) {
        if (s->isStranger()) {
            strangers.append({s->peerAddress(), s->connectedUs(), s->hasSpoken()});
            sessions.append(s);
        }
    }
    const int victim = m_guard.makeRoom(strangers, peer);
    if (victim >= 0)
        sessions[victim]->close(QStringLiteral("Too many connections waiting to log in; this one made room for a newer one"));
}

void LinkServer::forget(LinkSession *session)
{
    if (m_sessions.removeOne(session))
        emit logLine(QStringLiteral("%1 disconnected").arg(session->peer()));
    session->deleteLater();
}
