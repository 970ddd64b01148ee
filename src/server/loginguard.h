#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <functional>
#include <set>
#include <utility>

// Who may try a password when, and which waiting stranger gives way to a newcomer.
//
// Addresses that have logged in before are known: they are remembered (the
// most recent MaxKnownAddresses), their strangers have places of their own
// that no stranger of an unknown address can take, and only their own failures
// slow them down. Everybody else shares the rest:
//
//  - Places: MaxStrangers for unknown addresses, at most StrangersPerAddress of
//    one address. A newcomer takes the place of a stranger of its own address
//    when that holds its share already; else of the network (a /16 of IPv4, a
//    /32 of IPv6) that holds the most strangers, so that a crowd from ever new
//    addresses of its own network makes room among itself and an operator from
//    another network keeps its place. Of those, one that has not said a word
//    yet goes first, else the oldest.
//  - Guesses: after each failed login an address waits before its next
//    password is checked (per address, doubling), and passwords from unknown
//    addresses also share one budget for the whole server: a burst of
//    GuessBurst failures, then one per GuessIntervalUs, however many addresses
//    take part. A password held for the budget is checked, not refused, once
//    its turn comes, so a right one still gets in. The turns are shared fairly
//    between networks, not addresses: a network's next password waits behind
//    one of every other network's, so an operator from another network waits
//    a turn or two however many guessers of one network are queued.
class LoginGuard
{
public:
    static constexpr int MaxStrangers = 256;
    static constexpr int StrangersPerAddress = 4;
    static constexpr int MaxKnownStrangers = 64;
    static constexpr int KnownStrangersPerAddress = 16;
    static constexpr int MaxKnownAddresses = 1024;
    static constexpr int GuessBurst = 3;
    static constexpr qint64 GuessIntervalUs = 600'000; // 1.7 failed logins per second, sustained
    static constexpr int MaxBackoffMs = 4000;          // the longest wait of one address

    // A connection that has not logged in yet, as the choice of whom to close sees it.
    struct Stranger
    {
        QHostAddress address;
        qint64 sinceUs = 0;  // when it connected
        bool spoken = false; // a whole frame of it has arrived
    };

    // The first wait after a failed login, doubled with each failure in a row up to MaxBackoffMs.
    void setBackoffMs(int ms) { m_backoffMs = ms; }
    bool isKnown(const QHostAddress &address) const { return m_known.contains(address); }
    // No password from the address is checked before then, by its own failures.
    qint64 notBeforeUs(const QHostAddress &address) const;
    // A password of an unknown address whose own wait is over lines up for
    // the budget; 0 (no place in line) for a known address. `atHead` is called
    // when those ahead of it have left the line, so that it looks at its turn again.
    quint64 queuePassword(const QHostAddress &address, std::function<void()> atHead);
    // When the password in line may be checked: when the budget allows its
    // place in line (later turns may come earlier, as those ahead are checked).
    qint64 turnUs(quint64 ticket) const;
    // Checked, or its connection went: the place in line is given up.
    void leaveQueue(quint64 ticket);
    void noteFailure(const QHostAddress &address, qint64 nowUs);
    void noteSuccess(const QHostAddress &address, qint64 nowUs);

    // Which of the strangers to close so that a newcomer from `address` can be
    // kept; -1 when there is room for it as they are.
    int makeRoom(const QList<Stranger> &strangers, const QHostAddress &address) const;
    // The network an address belongs to, as places and turns are shared: its /16 (IPv4) or /32 (IPv6).
    static quint64 networkOf(const QHostAddress &address);

private:
    struct Failures
    {
        int count = 0;          // failed logins in a row
        qint64 notBeforeUs = 0; // no password is checked before then
    };
    void forgetOldFailures(qint64 nowUs);
    using Place = std::pair<qint64, quint64>; // the turn it starts (in turns of the line) and its ticket

    QHash<QHostAddress, Failures> m_failures; // recent failed logins per address
    QHash<QHostAddress, qint64> m_known;      // addresses that logged in, and when they last did
    qint64 m_guessesDueUs = 0;                // the budget: when the failures so far are paid for
    std::set<Place> m_line;                   // passwords waiting for the budget, in order
    QHash<quint64, Place> m_places;           // each ticket's place in the line
    QHash<quint64, std::function<void()>> m_atHead; // each ticket's call once it leads the line
    QHash<quint64, qint64> m_networkTurn;     // the turn after each network's last password in line
    qint64 m_turn = 0;                        // the turn of the line's head, or of the last one checked
    quint64 m_lastTicket = 0;                 // tickets handed out so far
    int m_backoffMs = 250;                    // first wait after a failed login
};
