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
    return m_failures.value(address).notBeforeUs;
}

quint64 LoginGuard::queuePassword(const QHostAddress &address, std::function<void()> atHead)
{
    if (isKnown(address))
        return 0;
    if (!m_line.empty())
        m_turn = m_line.begin()->first;
    const quint64 network = networkOf(address);
    // Start-time fair queueing: a network's password starts a turn after its
    // previous one, or at the head's turn when its network has none in line.
    const Place place{std::max(m_turn, m_networkTurn.value(network)), ++m_lastTicket};
    if (m_networkTurn.size() >= MaxRememberedPeers) // those behind the head mean nothing any more
        m_networkTurn.removeIf([this](const auto &entry) { return entry.value() <= m_turn; });
    m_networkTurn.insert(network, place.first + 1);
    m_line.insert(place);
    m_places.insert(place.second, place);
    m_atHead.insert(place.second, std::move(atHead));
    return place.second;
}

qint64 LoginGuard::turnUs(quint64 ticket) const
{
    const auto it = m_places.constFind(ticket);
    if (it == m_places.cend())
        return 0;
    const qint64 ahead = std::distance(m_line.begin(), m_line.find(*it));
    // The budget has room for one more failure then, and for each one ahead of it an interval later.
    return m_guessesDueUs - (GuessBurst - 1) * GuessIntervalUs + ahead * GuessIntervalUs;
}

void LoginGuard::leaveQueue(quint64 ticket)
{
    const auto it = m_places.find(ticket);
    if (it == m_places.end())
        return;
    const bool head = *it == *m_line.begin();
    if (head) // the line moves on only as its head leaves, checked or gone
        m_turn = it->first;
    m_line.erase(*it);
    m_places.erase(it);
    m_atHead.remove(ticket);
    if (head && !m_line.empty()) // it slept for a turn further back than it now is
        m_atHead.value(m_line.begin()->second)();
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
    // the known, the address that holds most; among the unknown, the network that holds most.
    std::function<bool(const Stranger &)> eligible;
    if (sameAddress >= perAddress) {
        eligible = [&address](const Stranger &s) { return s.address == address; };
    } else if (sameClass >= quota && known) {
        int most = 0;
        for (int n : std::as_const(held))
            most = std::max(most, n);
        eligible = [this, most, &held](const Stranger &s) { return isKnown(s.address) && held.value(s.address) == most; };
    } else if (sameClass >= quota) {
        QHash<quint64, int> networks; // unknown strangers per network
        int most = 0;
        for (const Stranger &s : strangers)
            if (!isKnown(s.address))
                most = std::max(most, ++networks[networkOf(s.address)]);
        eligible = [this, most, networks = std::move(networks)](const Stranger &s) {
            return !isKnown(s.address) && networks.value(networkOf(s.address)) == most;
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

quint64 LoginGuard::networkOf(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    if (v4) // apart from any IPv6 /32 that is handed out
        return 0xffff'ffff'0000'0000ull | ip >> 16;
    const Q_IPV6ADDR ip6 = address.toIPv6Address();
    quint64 prefix = 0;
    for (int i = 0; i < 4; ++i)
        prefix = prefix << 8 | ip6[i];
    return prefix;
}
