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

    explicit HVError(const QString &message, Kind kind = Kind::Crate, int outage = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind), m_outage(outage) {}

    // A failure of the link; every failure of one loss of it carries the same outage number.
    static HVError link(const QString &message, int outage = 0) { return HVError(message, Kind::Link, outage); }
    // The same failure of a request that had left before the link failed: the
    // crate may have carried it out, so a write's outcome is not known.
    HVError unanswered() const
    {
        HVError e(*this);
        e.m_unanswered = m_kind == Kind::Link;
        return e;
    }

    QString message() const { return m_message; }
    bool isLinkFailure() const { return m_kind == Kind::Link; }
    int outage() const { return m_outage; }
    // The request had left when the link failed (see unanswered()).
    bool isUnanswered() const { return m_unanswered; }

private:
    QString m_message; // readable text, kept as QString to avoid a round trip through UTF-8
    Kind m_kind;       // who failed: the link or the crate
    int m_outage;      // which loss of the link, for link failures
    bool m_unanswered = false; // a link failure after the request had left
};
