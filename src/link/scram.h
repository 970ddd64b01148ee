#pragma once

#include <QByteArray>
#include <QString>

// The login exchange of the link, shaped after SCRAM-SHA-256 (RFC 5802/7677):
// the client proves it knows the password without sending it, the server
// proves it holds the account's keys, and a fresh nonce from each side ties the
// proofs to this one exchange, so a captured one cannot be replayed. The
// server keeps only the salt, the iteration count, StoredKey and ServerKey.
//
// The messages travel as CBOR fields (README.md); the text they are signed over
// is the RFC's AuthMessage, built from those fields, so the RFC's own test
// vector holds for this code.
namespace Scram {

// PBKDF2 rounds of a new account: the RFC's minimum, a few milliseconds per login.
inline constexpr int DefaultIterations = 4096;
// What a client accepts from a server. Fewer rounds or a shorter salt would
// make a proof that a machine posing as the crate could guess the password
// from offline; more rounds would make the client compute for minutes.
inline constexpr int MinIterations = 4096;
inline constexpr int MaxIterations = 100000;
inline constexpr int MinSaltSize = 16;
inline constexpr int KeySize = 32; // SHA-256

// What the server stores of an account.
struct Keys
{
    QByteArray salt;
    int iterations = 0;
    QByteArray storedKey; // H(ClientKey)
    QByteArray serverKey; // HMAC(SaltedPassword, "Server Key")
};

QByteArray saltedPassword(const QString &password, const QByteArray &salt, int iterations);
Keys keysFromSalted(const QByteArray &salted, const QByteArray &salt, int iterations);
// A new account's keys, with a fresh random salt.
Keys newKeys(const QString &password, int iterations = DefaultIterations);

// Printable random text of 24 characters, from the system's secure generator.
QByteArray newNonce();
QByteArray randomBytes(int count);

// The GS2 header and channel binding of the exchange, as the RFC's "c="
// carries it before base64: "n,," on a plain link, and on an encrypted one
// "p=tls-server-end-point,," followed by the SHA-256 of the crate's
// certificate, so a login relayed through another certificate fails.
QByteArray channelBinding(const QByteArray &certificateDigest);

// The text both proofs sign: client-first-bare, server-first and
// client-final-without-proof, joined by commas.
QByteArray authMessage(const QString &user, const QByteArray &clientNonce, const QByteArray &nonce,
                       const QByteArray &salt, int iterations, const QByteArray &binding);

QByteArray clientProof(const QByteArray &salted, const QByteArray &authMessage);
QByteArray serverSignature(const QByteArray &serverKey, const QByteArray &authMessage);
// True when the proof was made from the password the keys were derived from.
bool proofMatches(const Keys &keys, const QByteArray &authMessage, const QByteArray &proof);
// Comparison whose time does not depend on where the texts differ.
bool sameBytes(const QByteArray &a, const QByteArray &b);

} // namespace Scram
