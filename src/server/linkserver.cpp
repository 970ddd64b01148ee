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

// A failure older than this no longer makes the next wait longer.
constexpr qint64 FailureMemoryUs = 60'000'000;
// Peer addresses remembered for their failures before the old ones are forgotten.
constexpr int MaxRememberedPeers = 1024;

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
      m_keys(Scram::newKeys(DefaultPassword)), m_secret(Scram::randomBytes(32))
{
    connect(m_listener.get(), &QTcpServer::newConnection, this, &LinkServer::acceptConnections);
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
    m_serviceUs = qMax<qint64>(0, qRound64(ms * 1000));
}

qint64 LinkServer::occupyCrate(qint64 startUs, int calls)
{
    const qint64 done = startUs + qint64(calls) * m_serviceUs;
    m_crateFreeUs = qMax(m_crateFreeUs, done);
    return done;
}

qint64 LinkServer::loginNotBeforeUs(const QHostAddress &peer) const
{
    return m_failures.value(peer).notBeforeUs;
}

void LinkServer::noteLoginFailure(const QHostAddress &peer)
{
    forgetOldFailures();
    const qint64 now = nowUs();
    Failures &f = m_failures[peer];
    if (now - f.notBeforeUs > FailureMemoryUs)
        f.count = 0;
    ++f.count;
    const qint64 waitMs = std::min<qint64>(MaxBackoffMs, qint64(m_backoffMs) << std::min(f.count - 1, 20));
    f.notBeforeUs = now + waitMs * 1000;
}

void LinkServer::noteLoginSuccess(const QHostAddress &peer)
{
    m_failures.remove(peer);
}

void LinkServer::forgetOldFailures()
{
    if (m_failures.size() < MaxRememberedPeers)
        return;
    const qint64 now = nowUs();
    m_failures.removeIf([now](const auto &entry) { return now - entry.value().notBeforeUs > FailureMemoryUs; });
    if (m_failures.size() >= MaxRememberedPeers) // all recent: the wait of one unknown peer is lost, not memory
        m_failures.erase(m_failures.begin());
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
    QHash<QHostAddress, int> held{{peer, 1}};
    int strangers = 0;
    for (LinkSession *s : std::as_const(m_sessions)) {
        if (s->isStranger()) {
            ++held[s->peerAddress()];
            ++strangers;
        }
    }
    if (strangers < MaxStrangers)
        return;
    // The address holding the most gives up one, the one that got least far with
    // its login, the oldest of those: an operator's own login is the last to go.
    LinkSession *victim = nullptr;
    for (LinkSession *s : std::as_const(m_sessions)) {
        if (!s->isStranger())
            continue;
        if (!victim || held[s->peerAddress()] > held[victim->peerAddress()]
            || (held[s->peerAddress()] == held[victim->peerAddress()] && s->loginProgress() < victim->loginProgress()))
            victim = s;
    }
    victim->close(QStringLiteral("Too many connections waiting to log in (limit %1); this one made room for a newer one")
                      .arg(MaxStrangers));
}

void LinkServer::forget(LinkSession *session)
{
    if (m_sessions.removeOne(session))
        emit logLine(QStringLiteral("%1 disconnected").arg(session->peer()));
    session->deleteLater();
}
