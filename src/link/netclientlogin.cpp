// NetClient's login: the connection, the opening, the crate's certificate
// judged against what this workstation trusts, and the challenge and proof.
#include "netclient.h"

#include "hverror.h"
#include "readplan.h"
#include "scram.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslSocket>

using namespace Protocol;

namespace {

// A crate's certificate is its own, signed by no authority the client knows,
// and it is reached by address: these are what that looks like, and nothing else.
bool isSelfSignedCrate(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::HostNameMismatch:
        return true;
    default:
        return false;
    }
}

} // namespace

void NetClient::Login(const QString &userName, const QString &password, qint32 /*reserved*/, const QString &address)
{
    loginThen(userName, password, address, nullptr);
}

void NetClient::loginThen(const QString &userName, const QString &password, const QString &address,
                          const std::shared_ptr<ReadPlan> &then)
{
    closeSocket();
    m_state = State::Closed;
    failAllPending(notOpenError());

    const std::optional<quint32> ip = parseAddress(address);
    if (!ip)
        throw HVError::link(QStringLiteral("Not a valid IP address: \"%1\"").arg(address));
    const QString where = QStringLiteral("%1:%2").arg(QHostAddress(*ip).toString()).arg(m_port);
    // The login's first step goes with the opening, a round trip sooner, unless the crate is known to
    // encrypt or encryption is required: the user name must then wait for the encrypted link.
    bool nameEarly = m_trust->trusted(where).isEmpty() && !m_trust->requiresEncryption();
    for (int attempt = 0;; ++attempt) {
        bool again = false;
        try {
            logIn(userName, password, where, *ip, nameEarly, &again, then);
            return;
        } catch (const HVError &e) {
            // A crate that turns out to encrypt is opened once more, the name kept for the
            // encrypted link. And the crate does not wait while the operator reads about its
            // certificate: once they accepted it, a link the crate gave up meanwhile is opened again.
            if (!again || !e.isLinkFailure() || attempt == 2)
                throw;
            nameEarly = false;
        }
    }
}

void NetClient::logIn(const QString &userName, const QString &password, const QString &where, quint32 ip,
                      bool nameEarly, bool *again, const std::shared_ptr<ReadPlan> &then)
{
    *again = false;
    m_socket = new QSslSocket;
    m_socket->setReadBufferSize(ReadChunk);
    m_socket->connectToHost(QHostAddress(ip), m_port);
    if (!m_socket->waitForConnected(m_connectTimeoutMs)) {
        const QAbstractSocket::SocketError error = m_socket->error();
        const QString reason = m_socket->errorString();
        closeSocket();
        if (error == QAbstractSocket::ConnectionRefusedError)
            throw HVError::link(QStringLiteral("Cannot connect to %1: connection refused").arg(where));
        if (error == QAbstractSocket::SocketTimeoutError)
            throw HVError::link(
                QStringLiteral("Cannot connect to %1: no answer within %2").arg(where, seconds(m_connectTimeoutMs)));
        throw HVError::link(QStringLiteral("Cannot connect to %1: %2").arg(where, lowerFirst(reason)));
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QSslSocket::readyRead, this, [this] {
        // All the socket holds: it reads no more from the network until it is empty.
        while (m_state == State::Open && m_socket && m_socket->bytesAvailable() > 0)
            onReadyRead();
    });
    connect(m_socket, &QSslSocket::disconnected, this, [this] { dropLink(QString()); });
    connect(m_socket, &QSslSocket::sslErrors, this, &NetClient::onSslErrors);

    m_state = State::Open;
    m_lostReason.clear();
    ++m_outage; // a new link: its failures are news
    try {
        const qint64 openingId = send(framed({{Key::Op, Op::Login}, {Key::Version, Version}}));
        std::optional<AuthSent> early;
        if (nameEarly) {
            early = sendAuth(userName);
            m_book.keepReplyTo(early->id);
        }
        const QCborMap opening = awaitReply(openingId);
        const QCborValue version = opening.value(Key::Version);
        if (!version.isInteger() || version.toInteger() != Version)
            throw HVError::link(QStringLiteral("The crate speaks protocol version %1; this client speaks version %2")
                                    .arg(version.isInteger() ? QString::number(version.toInteger()) : QStringLiteral("(none)"))
                                    .arg(Version));
        const bool plain = !opening.value(Key::Tls).toBool();
        if (!plain && early) {
            *again = true;
            throw HVError::link(QStringLiteral("The crate at %1 encrypts its links").arg(where));
        }
        if (!plain) {
            encrypt();
            m_trust->admitCertificate(where, m_certificateDigest, [this, again](const CrateTrust::Question &q) {
                *again = m_askTrust && m_askTrust(q);
                return *again;
            });
        } else {
            m_trust->admitPlain(where);
        }
        authenticate(userName, password, then, early);
    } catch (const HVError &) {
        // A plan sent behind the proof is dropped unrun: the caller hears of the failed login only.
        m_held.clear();
        m_book.takeAll();
        m_waiting.clear();
        m_gate.forgetAll();
        m_timeout.stop();
        closeSocket();
        m_state = State::Closed;
        throw;
    }
}

void NetClient::encrypt()
{
    QSslSocket *socket = m_socket;
    QSslConfiguration tls = socket->sslConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer); // errors are sorted in onSslErrors
    socket->setSslConfiguration(tls);
    m_certificateRefusal.clear();
    socket->startClientEncryption();
    const QDeadlineTimer deadline(m_replyTimeoutMs);
    while (!socket->isEncrypted()) {
        if (!m_certificateRefusal.isEmpty())
            throw HVError::link(QStringLiteral("The crate's certificate is refused: %1").arg(m_certificateRefusal));
        if (m_socket != socket || socket->state() != QAbstractSocket::ConnectedState)
            throw HVError::link(QStringLiteral("The encrypted link to the crate failed: %1").arg(lowerFirst(socket->errorString())));
        if (deadline.hasExpired())
            throw HVError::link(QStringLiteral("The crate offered an encrypted link but did not set it up within %1")
                                    .arg(seconds(m_replyTimeoutMs)));
        if (!socket->waitForEncrypted(int(std::max<qint64>(0, deadline.remainingTime())))
            && socket->error() != QAbstractSocket::SocketTimeoutError && socket->error() != QAbstractSocket::UnknownSocketError) {
            if (!m_certificateRefusal.isEmpty())
                continue;
            throw HVError::link(QStringLiteral("The encrypted link to the crate failed: %1").arg(lowerFirst(socket->errorString())));
        }
    }
    m_certificateDigest = socket->peerCertificate().digest(QCryptographicHash::Sha256);
}

void NetClient::onSslErrors(const QList<QSslError> &errors)
{
    for (const QSslError &e : errors) {
        if (!isSelfSignedCrate(e)) {
            m_certificateRefusal = lowerFirst(e.errorString());
            return;
        }
    }
    if (m_socket)
        m_socket->ignoreSslErrors();
}

NetClient::AuthSent NetClient::sendAuth(const QString &user)
{
    const QByteArray nonce = Scram::newNonce();
    return {send(framed({{Key::Op, Op::Auth}, {Key::User, user}, {Key::Nonce, QString::fromLatin1(nonce)}})), nonce};
}

void NetClient::authenticate(const QString &user, const QString &password, const std::shared_ptr<ReadPlan> &then,
                             const std::optional<AuthSent> &early)
{
    const AuthSent auth = early ? *early : sendAuth(user);
    const QByteArray &clientNonce = auth.nonce;
    const Challenge challenge = decodeChallenge(awaitReply(auth.id), clientNonce);
    const QByteArray binding = Scram::channelBinding(m_certificateDigest);
    const QByteArray salted = Scram::saltedPassword(password, challenge.salt, challenge.iterations);
    const QByteArray message =
        Scram::authMessage(user, clientNonce, challenge.nonce, challenge.salt, challenge.iterations, binding);
    const qint64 proof = send(framed({{Key::Op, Op::Proof},
                                      {Key::Nonce, QString::fromLatin1(challenge.nonce)},
                                      {Key::Binding, binding},
                                      {Key::Proof, Scram::clientProof(salted, message)}}));
    // The crate takes requests in their order, so the plan is read only once the proof has passed;
    // what it hears is held until the crate has proved itself in turn.
    m_proving = true;
    auto proving = qScopeGuard([this] { m_proving = false; });
    if (then)
        runPlan(then);
    const QCborMap accepted = awaitReply(proof);
    // The crate proves in turn that it holds the account's keys: a stand-in that only relays cannot.
    const QByteArray expected =
        Scram::serverSignature(Scram::keysFromSalted(salted, challenge.salt, challenge.iterations).serverKey, message);
    if (!Scram::sameBytes(accepted.value(Key::Signature).toByteArray(), expected))
        throw HVError::link(QStringLiteral("The crate could not prove that it holds the account; not logged in"));
    proving.dismiss();
    m_proving = false;
    for (std::function<void()> &f : std::exchange(m_held, {}))
        later(std::move(f));
}

