#include "loginguard.h"

#include <algorithm>
#include <functional>

namespace {
// A failure older than this no longer makes the next wait longer.
constexpr qint64 FailureMemoryUs = 60'000'000;
// Addresses remembered for their failures before the old ones are forgotten.
constexpr int MaxRememberedPeers = 1024;
} // namespace

qint64 LoginGuard::notBeforeUs(const QHostAddress &address) const
{
    const qint64 own = m_failures.value(address).notBeforeUs;
    if (isKnown(address))
        return own;
    return std::max(own, m_guessesDueUs - (GuessBurst - 1) * GuessIntervalUs);
}

void LoginGuard::noteFailure(const QHostAddress &address, qint64 nowUs)
{
    forgetOldFailures(nowUs);
    Failures &f = m_failures[address];
    if (nowUs - f.notBeforeUs > FailureMemoryUs)
        f.count = 0;
    ++f.count;
    const qint64 waitMs = std::min<qint64>(MaxBackoffMs, qint64(m_backoffMs) << std::min(f.count - 1, 20));
    f.notBeforeUs = nowUs + waitMs * 1000;
    if (!isKnown(address))
        m_guessesDueUs = std::max(m_guessesDueUs, nowUs) + GuessIntervalUs;
}

void LoginGuard::noteSuccess(const QHostAddress &address, qint64 nowUs)
{
    m_failures.remove(address);
    if (m_known.size() >= MaxKnownAddresses && !m_known.contains(address)) {
        // The address that logged in longest ago is forgotten.
        const auto oldest = std::min_element(m_known.begin(), m_known.end());
        m_known.erase(oldest);
    }
    m_known.insert(address, nowUs);
}

void LoginGuard::forgetOldFailures(qint64 nowUs)
{
    if (m_failures.size() < MaxRememberedPeers)
        return;
    m_failures.removeIf([nowUs](const auto &entry) { return nowUs - entry.value().notBeforeUs > FailureMemoryUs; });
    if (m_failures.size() >= MaxRememberedPeers) // all recent: the wait of one peer is lost, not memory
        m_failures.erase(m_failures.begin());
}

int LoginGuard::makeRoom(const QList<Stranger> &strangers, const QHostAddress &address) const
{
    const bool known = isKnown(address);
    int sameAddress = 0;
    int sameClass = 0;
    QHash<QHostAddress, int> held; // known addresses' strangers, per address
    for (const Stranger &s : strangers) {
        if (isKnown(s.address) != known)
            continue;
        ++sameClass;
        sameAddress += s.address == address;
        if (known)
            ++held[s.address];
    }
    const int perAddress = known ? KnownStrangersPerAddress : StrangersPerAddress;
    const int quota = known ? MaxKnownStrangers : MaxStrangers;
    // Who may give way: the address's own when it holds its share; else, among
    // the known, the address that holds most; among the unknown, anybody unknown.
    std::function<bool(const Stranger &)> eligible;
    if (sameAddress >= perAddress) {
        eligible = [&address](const Stranger &s) { return s.address == address; };
    } else if (sameClass >= quota) {
        int most = 0;
        for (int n : std::as_const(held))
            most = std::max(most, n);
        eligible = [this, known, most, &held](const Stranger &s) {
            return isKnown(s.address) == known && (!known || held.value(s.address) == most);
        };
    } else {
        return -1;
    }
    // The silent first, then the oldest: a login under way has spoken and is young.
    int victim = -1;
    for (int i = 0; i < strangers.size(); ++i) {
        const Stranger &s = strangers[i];
        if (!eligible(s))
            continue;
        if (victim < 0 || (!s.spoken && strangers[victim].spoken)
            || (s.spoken == strangers[victim].spoken && s.sinceUs < strangers[victim].sinceUs))
            victim = i;
    }
    return victim;
}
