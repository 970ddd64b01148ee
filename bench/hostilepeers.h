#pragma once

// Hostile peers of a crate server for bench_access --attacks: crowds of
// strangers, guessers and plan flooders, each on a thread of its own and as
// fast as it can, from source addresses of 127.0.0.0/8 (a new one for every
// connection where the attack rotates them); the crate simulator they attack
// runs as a process of its own, so that its memory is its own. Not a test.

#include "hverror.h"
#include "netclient.h"
#include "protocol.h"
#include "scram.h"

#include <QCborArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QNetworkProxy>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

namespace Hostile {

using namespace Protocol;

inline QString user() { return QStringLiteral("wxqv"); }
inline QString password() { return QStringLiteral("wxqv"); }

// Source addresses handed out in turn from a block of 127.0.0.0/8, never the same twice in a run.
class Addresses
{
public:
    explicit Addresses(quint8 block) : m_base(0x7f000000u | quint32(block) << 16) {}
    QHostAddress next() { return QHostAddress(m_base + 1 + (m_next++ % 65000)); }

private:
    quint32 m_base;      // 127.<block>.0.0
    quint32 m_next = 0;  // addresses given so far
};

inline std::unique_ptr<QTcpSocket> socketFrom(const QHostAddress &from)
{
    auto s = std::make_unique<QTcpSocket>();
    s->setProxy(QNetworkProxy::NoProxy);
    s->bind(from);
    return s;
}

// The crate simulator as a process: port, pid, and its memory from /proc.
class Simulator
{
public:
    explicit Simulator(double serviceMs)
    {
        m_process.setProgram(QStringLiteral(PYLONET_SIM));
        m_process.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--service-time"),
                                QString::number(serviceMs)});
        m_process.start();
        static const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
        QByteArray said;
        while (m_port == 0 && m_process.waitForReadyRead(5000)) {
            said += m_process.readAllStandardOutput();
            if (const QRegularExpressionMatch m = listening.match(QString::fromUtf8(said)); m.hasMatch())
                m_port = quint16(m.captured(1).toUInt());
        }
        if (m_port == 0)
            throw HVError(QStringLiteral("pylonet-sim did not start: %1").arg(QString::fromUtf8(said)));
        // Its log lines are read and dropped, so that it never waits for us.
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this] { m_process.readAllStandardOutput(); });
    }
    ~Simulator()
    {
        m_process.closeWriteChannel(); // "quit" by end of input is not a command: stop it
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }
    // "VmRSS" (now) or "VmHWM" (peak) of the process, in MB.
    double memoryMb(const char *field) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toDouble() / 1024;
        return 0;
    }

private:
    QProcess m_process; // pylonet-sim
    quint16 m_port = 0; // where it listens
};

// Frames as they come off one socket.
struct Peer
{
    std::unique_ptr<QTcpSocket> socket;
    FrameReader reader;
    QByteArray nonce; // a guesser's client nonce
};

// An attack: `count` connections at once, each opened again as soon as it is closed.
class Attack : public QObject
{
public:
    Attack(quint16 port, int count, quint8 block) : m_port(port), m_count(count), m_addresses(block) {}
    ~Attack() override { stop(); }
    void start()
    {
        for (int i = 0; i < m_count; ++i)
            open();
    }
    void stop()
    {
        m_stopping = true;
        m_peers.clear();
    }
    qint64 opened() const { return m_opened; }

protected:
    virtual QHostAddress nextAddress() { return m_addresses.next(); }
    virtual void connected(Peer &p) = 0;
    virtual void frame(Peer &, const QCborMap &) {}

    void open()
    {
        if (m_stopping)
            return;
        auto peer = std::make_unique<Peer>();
        peer->socket = socketFrom(nextAddress());
        QTcpSocket *s = peer->socket.get();
        Peer *p = peer.get();
        m_peers.insert(s, std::shared_ptr<Peer>(std::move(peer)));
        connect(s, &QTcpSocket::connected, this, [this, p] { ++m_opened; connected(*p); });
        connect(s, &QTcpSocket::readyRead, this, [this, p] {
            p->reader.append(p->socket->readAll());
            QCborMap m;
            while (p->reader.next(&m) == FrameReader::Status::Frame)
                frame(*p, m);
        });
        // Closed by the server (or refused): a new connection at once.
        connect(s, &QTcpSocket::disconnected, this, [this, s] { replace(s); });
        connect(s, &QTcpSocket::errorOccurred, this, [this, s] {
            if (s->state() == QAbstractSocket::UnconnectedState)
                replace(s);
        });
        s->connectToHost(QHostAddress::LocalHost, m_port);
    }
    void replace(QTcpSocket *s)
    {
        QTimer::singleShot(0, this, [this, s] {
            if (m_peers.remove(s) > 0)
                open();
        });
    }

    quint16 m_port;                 // the crate server
    int m_count;                    // connections at once
    Addresses m_addresses;          // where they come from
    std::atomic<qint64> m_opened{0}; // connections made
    bool m_stopping = false;        // no more reopening
    QHash<QTcpSocket *, std::shared_ptr<Peer>> m_peers; // open connections
};

// Strangers that send the login's opening and the challenge's request in their
// first write (or nothing at all) and then hold their place until closed.
class Crowd : public Attack
{
public:
    Crowd(quint16 port, int count, quint8 block, bool silent, std::optional<QHostAddress> from = std::nullopt)
        : Attack(port, count, block), m_from(from)
    {
        if (!silent)
            m_first = encodeFrame({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, Version}})
                      + encodeFrame({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, user()},
                                     {Key::Nonce, QStringLiteral("crowd-nonce-0001")}});
    }

protected:
    QHostAddress nextAddress() override { return m_from ? *m_from : Attack::nextAddress(); }
    void connected(Peer &p) override
    {
        if (!m_first.isEmpty())
            p.socket->write(m_first);
    }

private:
    QByteArray m_first;                // what each sends, if anything
    std::optional<QHostAddress> m_from; // one address for all, instead of new ones
};

// Strangers that guess passwords as fast as they are answered: a challenge, a
// made-up proof, again on the same connection while it lasts.
class Guessers : public Attack
{
public:
    using Attack::Attack;
    qint64 refused() const { return m_refused; }

protected:
    void connected(Peer &p) override
    {
        p.socket->write(encodeFrame({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, Version}}));
        ask(p);
    }
    void frame(Peer &p, const QCborMap &m) override
    {
        if (m.contains(Key::Salt)) {
            p.socket->write(encodeFrame({{Key::Op, Op::Proof}, {Key::Id, 3}, {Key::Nonce, m.value(Key::Nonce)},
                                         {Key::Binding, QByteArray("n,,")}, {Key::Proof, Scram::randomBytes(32)}}));
        } else if (m.value(Key::Error).toString() == QLatin1String("Wrong user name or password")) {
            ++m_refused;
            ask(p);
        }
    }

private:
    void ask(Peer &p)
    {
        p.nonce = Scram::newNonce();
        p.socket->write(encodeFrame({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, user()},
                                     {Key::Nonce, QString::fromLatin1(p.nonce)}}));
    }

    std::atomic<qint64> m_refused{0}; // wrong passwords answered: guesses made
};

// Runs an attack on a thread of its own while it lives.
template <typename A>
class Running
{
public:
    template <typename... Args>
    explicit Running(Args &&...args) : m_attack(std::forward<Args>(args)...)
    {
        m_attack.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(&m_attack, [this] { m_attack.start(); }, Qt::BlockingQueuedConnection);
    }
    ~Running()
    {
        QMetaObject::invokeMethod(&m_attack, [this] { m_attack.stop(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    A &operator*() { return m_attack; }
    A *operator->() { return &m_attack; }

private:
    QThread m_thread; // runs the attack's sockets
    A m_attack;       // lives on m_thread
};

// One login by hand from a given address, as the client makes it; its time in
// ms, or nullopt when it failed or took longer than the client would wait (*why says which step, and why).
inline std::optional<double> loginFrom(quint16 port, const QHostAddress &from, std::unique_ptr<QTcpSocket> *kept = nullptr,
                                       QString *why = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    const auto failed = [&](const char *step, const QCborMap &reply = {}) -> std::optional<double> {
        if (why)
            *why = QStringLiteral("%1: %2").arg(QLatin1String(step),
                                                reply.isEmpty() ? QStringLiteral("no answer") : reply.value(Key::Error).toString());
        return std::nullopt;
    };
    std::unique_ptr<QTcpSocket> s = socketFrom(from);
    s->connectToHost(QHostAddress::LocalHost, port);
    if (!s->waitForConnected(DefaultConnectTimeoutMs))
        return failed("connect");
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    FrameReader reader;
    const auto exchange = [&](const QCborMap &request) -> QCborMap {
        s->write(encodeFrame(request));
        QCborMap m;
        const QDeadlineTimer deadline(DefaultReplyTimeoutMs);
        while (reader.next(&m) != FrameReader::Status::Frame) {
            if (!s->waitForReadyRead(int(deadline.remainingTime())))
                return {};
            reader.append(s->readAll());
        }
        return m;
    };
    if (const QCborMap opened = exchange({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, Version}});
        !opened.contains(Key::Tls))
        return failed("opening", opened);
    const QByteArray mine = Scram::newNonce();
    const QCborMap reply = exchange({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, user()}, {Key::Nonce, QString::fromLatin1(mine)}});
    Challenge c;
    try {
        c = decodeChallenge(reply, mine);
    } catch (const HVError &) {
        return failed("challenge", reply);
    }
    const QByteArray binding = Scram::channelBinding({});
    const QByteArray message = Scram::authMessage(user(), mine, c.nonce, c.salt, c.iterations, binding);
    const QCborMap accepted = exchange({{Key::Op, Op::Proof}, {Key::Id, 3}, {Key::Nonce, QString::fromLatin1(c.nonce)},
                                        {Key::Binding, binding},
                                        {Key::Proof, Scram::clientProof(Scram::saltedPassword(password(), c.salt, c.iterations), message)}});
    if (!accepted.contains(Key::Signature))
        return failed("proof", accepted);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (kept)
        *kept = std::move(s);
    return ms;
}

// A logged-in peer that keeps plans of the most crate calls a plan may make in
// flight, reading their answers: a list of a channel's parameters and the type
// of each, read over and over.
class PlanFlood : public QObject
{
public:
    PlanFlood(quint16 port, int inFlight, quint8 block) : m_port(port), m_inFlight(inFlight), m_addresses(block)
    {
        QCborArray steps{QCborMap{{Key::Op, Op::ListChannelParams}, {Key::Slot, 0}, {Key::Ch, 0}}};
        for (int i = 0; i < 2000; ++i)
            steps.append(QCborMap{{Key::Op, Op::ParamAttribute}, {Key::Slot, 0}, {Key::Prop, QStringLiteral("Type")},
                                  {Key::Ch, 0}, {Key::EachOf, 0}});
        m_plan = QCborMap{{Key::Op, Op::Plan}, {Key::Steps, steps}};
    }
    void start()
    {
        std::unique_ptr<QTcpSocket> s;
        if (!loginFrom(m_port, m_addresses.next(), &s))
            return;
        m_socket = std::move(s);
        connect(m_socket.get(), &QTcpSocket::readyRead, this, [this] {
            m_reader.append(m_socket->readAll());
            QCborMap m;
            while (m_reader.next(&m) == FrameReader::Status::Frame) {
                ++m_answered;
                send();
            }
        });
        for (int i = 0; i < m_inFlight; ++i)
            send();
    }
    void stop() { m_socket.reset(); }
    qint64 answered() const { return m_answered; }

private:
    void send()
    {
        QCborMap plan = m_plan;
        plan.insert(Key::Id, ++m_id);
        m_socket->write(encodeFrame(plan));
    }

    quint16 m_port;                      // the crate server
    int m_inFlight;                      // plans sent and not answered
    Addresses m_addresses;               // where it logs in from
    QCborMap m_plan;                     // the plan, without its id
    std::unique_ptr<QTcpSocket> m_socket; // logged in
    FrameReader m_reader;                // its answers
    qint64 m_id = 10;                    // the last request id
    std::atomic<qint64> m_answered{0};   // plans answered
};

} // namespace Hostile
