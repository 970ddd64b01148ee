#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>

// Who may try a password when, and which waiting stranger gives way to a newcomer.
//
// Addresses that have logged in before are known: they are remembered (the
// most recent MaxKnownAddresses), their strangers have places of their own
// that no stranger of an unknown address can take, and only their own failures
// slow them down. Everybody else shares the rest:
//
//  - Places: MaxStrangers for unknown addresses, at most StrangersPerAddress of
//    one address. A newcomer takes the place of a stranger that has not said a
//    word yet, else of the oldest one; of its own address when that holds its
//    share already. A login takes a few round trips, so an operator's is lost
//    only if a whole quota of newcomers arrives while it runs.
//  - Guesses: after each failed login an address waits before its next
//    password is checked (per address, doubling), and passwords from unknown
//    addresses also share one budget for the whole server: a burst of
//    GuessBurst failures, then one per GuessIntervalUs, however many addresses
//    take part. A password held for the budget is checked, not refused, once
//    its time comes, so a right one still gets in.
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
    // No password from the address is checked before then.
    qint64 notBeforeUs(const QHostAddress &address) const;
    void noteFailure(const QHostAddress &address, qint64 nowUs);
    void noteSuccess(const QHostAddress &address, qint64 nowUs);

    // Which of the strangers to close so that a newcomer from `address` can be
    // kept; -1 when there is room for it as they are.
    int makeRoom(const QList<Stranger> &strangers, const QHostAddress &address) const;

private:
    struct Failures
    {
        int count = 0;          // failed logins in a row
        qint64 notBeforeUs = 0; // no password is checked before then
    };
    void forgetOldFailures(qint64 nowUs);

    QHash<QHostAddress, Failures> m_failures; // recent failed logins per address
    QHash<QHostAddress, qint64> m_known;      // addresses that logged in, and when they last did
    qint64 m_guessesDueUs = 0;                // the budget: when the failures so far are paid for
    int m_backoffMs = 250;                    // first wait after a failed login
};
