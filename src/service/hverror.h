#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the crate access layer: every failure (refused write,
// unknown slot, dead link, time-out, bad login) arrives as an HVError whose
// message can be shown to the operator as it stands. Its kind tells who failed:
// the link to the crate (dropped, timed out, never connected), so that every
// window can report one dead link once, or the crate itself (a refused request,
// a board that is not there, an answer that makes no sense).
class HVError : public std::runtime_error
{
public:
    enum class Kind { Crate, Link };

    explicit HVError(const QString &message, Kind kind = Kind::Crate)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind) {}

    static HVError link(const QString &message) { return HVError(message, Kind::Link); }

    QString message() const { return m_message; }
    Kind kind() const { return m_kind; }
    bool isLinkFailure() const { return m_kind == Kind::Link; }

private:
    QString m_message; // readable text, kept as QString to avoid a round trip through UTF-8
    Kind m_kind;       // who failed: the link or the crate
};
