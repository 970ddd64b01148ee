#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>

class QSettings;

// What this workstation trusts of the crates it has met. A crate's certificate
// is its own, signed by no authority, so trust is given on first use: the
// operator is asked about the certificate's SHA-256 fingerprint at the first
// contact with a crate (an address and port), and the one accepted is
// remembered. From then on the crate must show that certificate, and must
// encrypt: a crate once seen encrypted that offers a plain link is refused as
// a downgrade. A site may also require encryption of every crate.
//
// Each refusal throws HVError::link with its own message, before the login
// sends anything that could be replayed or guessed from.
class CrateTrust
{
public:
    // The operator's answer about a certificate; `trusted` is empty at first contact,
    // else the fingerprint trusted before, which the crate no longer shows.
    struct Question
    {
        QString crate;       // "address:port"
        QString fingerprint; // "AB:12:..." of the certificate shown now
        QString trusted;     // of the one trusted before
    };
    using Asker = std::function<bool(const Question &question)>;

    // Kept in memory only, for this run.
    CrateTrust();
    // Kept in the settings store of the organisation and application (the one
    // the connection dialog keeps the address in), under "Pylonet/TrustedCrates".
    CrateTrust(const QString &organisation, const QString &application);
    ~CrateTrust();

    // The certificate digest trusted for the crate, empty when none.
    QByteArray trusted(const QString &crate) const;
    void trust(const QString &crate, const QByteArray &digest);
    // Forgets the crate's certificate (it was replaced, or encryption was turned
    // off on purpose); false when none was kept.
    bool forget(const QString &crate);
    // Every crate must encrypt: the setting "Pylonet/RequireEncryption", or this run's choice.
    bool requiresEncryption() const;
    void setRequiresEncryption(bool required) { m_required = required; }

    // The crate offered a plain link: refused when it was encrypted before or encryption is required.
    void admitPlain(const QString &crate) const;
    // The crate's certificate: taken when trusted before, else the operator is
    // asked (nobody to ask: refused); a new one is remembered once accepted.
    void admitCertificate(const QString &crate, const QByteArray &digest, const Asker &ask);

private:
    std::unique_ptr<QSettings> m_settings; // the store, when kept there
    QHash<QString, QByteArray> m_memory;   // the store, when kept in memory
    bool m_required = false;               // this run requires encryption
};
