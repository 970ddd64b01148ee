#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the crate access layer: every failure (refused write,
// unknown slot, dead link, time-out, bad login) arrives as an HVError whose
// message can be shown to the operator as it stands.
class HVError : public std::runtime_error
{
public:
    explicit HVError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    QString message() const { return m_message; }

private:
    QString m_message; // readable text, kept as QString to avoid a round trip through UTF-8
};
