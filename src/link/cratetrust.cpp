#include "cratetrust.h"

#include "hverror.h"
#include "protocol.h"

#include <QSettings>

namespace {
const QString Group = QStringLiteral("Pylonet/TrustedCrates/");
const QString RequireKey = QStringLiteral("Pylonet/RequireEncryption");

// Settings keys take no ':' literally on every platform: the crate's port is written after a '_'.
QString keyOf(const QString &crate)
{
    QString key = crate;
    return Group + key.replace(QLatin1Char(':'), QLatin1Char('_'));
}
} // namespace

CrateTrust::CrateTrust() = default;

CrateTrust::CrateTrust(const QString &organisation, const QString &application)
    : m_settings(std::make_unique<QSettings>(organisation, application))
{
}

CrateTrust::~CrateTrust() = default;

QByteArray CrateTrust::trusted(const QString &crate) const
{
    if (!m_settings)
        return m_memory.value(crate);
    return QByteArray::fromHex(m_settings->value(keyOf(crate)).toString().toLatin1());
}

void CrateTrust::trust(const QString &crate, const QByteArray &digest)
{
    if (!m_settings) {
        m_memory.insert(crate, digest);
        return;
    }
    m_settings->setValue(keyOf(crate), QString::fromLatin1(digest.toHex()));
    m_settings->sync();
}

bool CrateTrust::forget(const QString &crate)
{
    if (trusted(crate).isEmpty())
        return false;
    if (m_settings) {
        m_settings->remove(keyOf(crate));
        m_settings->sync();
    }
    m_memory.remove(crate);
    return true;
}

bool CrateTrust::requiresEncryption() const
{
    return m_required || (m_settings && m_settings->value(RequireKey, false).toBool());
}

void CrateTrust::admitPlain(const QString &crate) const
{
    const QByteArray before = trusted(crate);
    if (!before.isEmpty())
        throw HVError::link(
            QStringLiteral("The crate at %1 no longer offers encryption, although it was encrypted before (certificate "
                           "SHA-256 %2). Something on the way may be removing it, so nothing was sent. If the crate's "
                           "encryption was turned off on purpose, start Pylonet once with --forget-crate %1.")
                .arg(crate, Protocol::fingerprint(before)));
    if (requiresEncryption())
        throw HVError::link(QStringLiteral("The crate at %1 offers no encryption, and this workstation requires it of "
                                           "every crate; nothing was sent.")
                                .arg(crate));
}

void CrateTrust::admitCertificate(const QString &crate, const QByteArray &digest, const Asker &ask)
{
    const QByteArray before = trusted(crate);
    if (before == digest)
        return;
    const Question question{crate, Protocol::fingerprint(digest), Protocol::fingerprint(before)};
    if (ask && ask(question)) {
        trust(crate, digest);
        return;
    }
    if (before.isEmpty())
        throw HVError::link(QStringLiteral("The certificate of the crate at %1 (SHA-256 %2) was not trusted; no proof "
                                           "of the password was sent to it.")
                                .arg(crate, question.fingerprint));
    throw HVError::link(QStringLiteral("The crate at %1 shows another certificate than the one trusted before: now "
                                       "SHA-256 %2, trusted SHA-256 %3. A machine may be posing as the crate, so "
                                       "nothing was sent. If the crate's certificate was replaced on purpose, compare "
                                       "the new fingerprint with the one the crate shows and accept it when asked.")
                            .arg(crate, question.fingerprint, question.trusted));
}
