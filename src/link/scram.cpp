#include "scram.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>

namespace Scram {

namespace {

QByteArray hmac(const QByteArray &key, const QByteArray &text)
{
    return QMessageAuthenticationCode::hash(text, key, QCryptographicHash::Sha256);
}

QByteArray xorBytes(const QByteArray &a, const QByteArray &b)
{
    QByteArray out(a.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < a.size(); ++i)
        out[i] = char(a[i] ^ (i < b.size() ? b[i] : 0));
    return out;
}

// "=" and "," would end a field of the RFC's texts: they travel escaped.
QByteArray saslName(const QString &user)
{
    QByteArray name = user.toUtf8();
    name.replace("=", "=3D");
    name.replace(",", "=2C");
    return name;
}

} // namespace

QByteArray saltedPassword(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              KeySize);
}

Keys keysFromSalted(const QByteArray &salted, const QByteArray &salt, int iterations)
{
    Keys keys;
    keys.salt = salt;
    keys.iterations = iterations;
    keys.storedKey = QCryptographicHash::hash(hmac(salted, "Client Key"), QCryptographicHash::Sha256);
    keys.serverKey = hmac(salted, "Server Key");
    return keys;
}

Keys newKeys(const QString &password, int iterations)
{
    const QByteArray salt = randomBytes(16);
    return keysFromSalted(saltedPassword(password, salt, iterations), salt, iterations);
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes;
}

QByteArray newNonce()
{
    return randomBytes(18).toBase64();
}

QByteArray channelBinding(const QByteArray &certificateDigest)
{
    if (certificateDigest.isEmpty())
        return QByteArrayLiteral("n,,");
    return QByteArrayLiteral("p=tls-server-end-point,,") + certificateDigest;
}

QByteArray authMessage(const QString &user, const QByteArray &clientNonce, const QByteArray &nonce,
                       const QByteArray &salt, int iterations, const QByteArray &binding)
{
    return "n=" + saslName(user) + ",r=" + clientNonce + ",r=" + nonce + ",s=" + salt.toBase64()
           + ",i=" + QByteArray::number(iterations) + ",c=" + binding.toBase64() + ",r=" + nonce;
}

QByteArray clientProof(const QByteArray &salted, const QByteArray &authMessage)
{
    const QByteArray clientKey = hmac(salted, "Client Key");
    const QByteArray storedKey = QCryptographicHash::hash(clientKey, QCryptographicHash::Sha256);
    return xorBytes(clientKey, hmac(storedKey, authMessage));
}

QByteArray serverSignature(const QByteArray &serverKey, const QByteArray &authMessage)
{
    return hmac(serverKey, authMessage);
}

bool proofMatches(const Keys &keys, const QByteArray &authMessage, const QByteArray &proof)
{
    if (proof.size() != KeySize)
        return false;
    const QByteArray clientKey = xorBytes(proof, hmac(keys.storedKey, authMessage));
    return sameBytes(QCryptographicHash::hash(clientKey, QCryptographicHash::Sha256), keys.storedKey);
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= char(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace Scram
