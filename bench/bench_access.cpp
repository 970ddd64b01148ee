// What a ParamValue read costs: in process, through the network client on
// loopback, and a bare blocking ping-pong of frames of the same sizes as the
// reference for what the wire itself costs. Prints figures and the ratio of
// the client to the bare ping-pong; the goal is within 2x.
//
// Then what the link's protection costs and holds: a login by challenge and
// proof against the former one with the password in clear (kept here only,
// as one frame each way), a call over TLS against plain TCP, and a logged-in
// client's reply times while N strangers flood the server with requests,
// reconnecting as soon as they are closed (bench_access [calls] [--flood N]).
//
// bench_access --attacks [logins, 30 by default] runs only the attacks a hostile client on the
// network makes, against the simulator as a process of its own (hostilepeers.h):
// a crowd of strangers from ever new addresses that send the login's first
// steps at once and hold their places, guessers from ever new addresses, a
// connect flood from the operator's own address; then a peer flooding plans
// of the most calls a plan may make on a crate of 0.1 ms per call, and 32 such
// peers for the server's memory. Prints each figure beside its goal.

#include "hostilepeers.h"
#include "netclient.h"
#include "hverror.h"
#include "protocol.h"
#include "scram.h"
#include "simadapter.h"
#include "simcrate.h"
#include "simserver.h"
#include "cratejob.h"
#include "cratescheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct Figures
{
    double callsPerSecond = 0;
    double medianUs = 0;
};

Figures measure(int calls, const std::function<void()> &call)
{
    for (int i = 0; i < calls / 10; ++i) // warm up
        call();
    std::vector<qint64> ns(static_cast<size_t>(calls));
    QElapsedTimer total;
    total.start();
    QElapsedTimer one;
    for (int i = 0; i < calls; ++i) {
        one.start();
        call();
        ns[size_t(i)] = one.nsecsElapsed();
    }
    const qint64 totalNs = total.nsecsElapsed();
    std::nth_element(ns.begin(), ns.begin() + calls / 2, ns.end());
    return {calls * 1e9 / double(totalNs), double(ns[size_t(calls / 2)]) / 1000.0};
}

void print(const char *what, const Figures &f)
{
    std::printf("%-44s %10.0f calls/s   median %8.2f us\n", what, f.callsPerSecond, f.medianUs);
}

// Reads exactly one length-prefixed frame with the blocking waitFor pattern.
bool readFrame(QTcpSocket &s, QByteArray &buffer)
{
    for (;;) {
        if (buffer.size() >= 4) {
            const qsizetype need = 4 + qsizetype(qFromBigEndian<quint32>(buffer.constData()));
            if (buffer.size() >= need) {
                buffer.remove(0, need);
                return true;
            }
        }
        if (s.bytesAvailable() == 0 && !s.waitForReadyRead(5000))
            return false;
        buffer.append(s.readAll());
    }
}

// Client and echo server exchanging frames of fixed sizes, nothing parsed.
Figures pingPong(int calls, const QByteArray &request, const QByteArray &reply)
{
    std::atomic<quint16> port{0};
    QThread *echo = QThread::create([&] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port = server.serverPort();
        if (!server.waitForNewConnection(5000))
            return;
        QTcpSocket *s = server.nextPendingConnection();
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QByteArray buffer;
        while (readFrame(*s, buffer)) {
            s->write(reply);
            s->flush();
        }
    });
    echo->start();
    while (port == 0)
        QThread::msleep(1);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    client.waitForConnected(3000);
    client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray buffer;
    const Figures f = measure(calls, [&] {
        client.write(request);
        client.flush();
        readFrame(client, buffer);
    });
    client.disconnectFromHost();
    echo->wait();
    delete echo;
    return f;
}

// The login as it was before: one frame with the password each way, checked by the server.
Figures plainLogin(int logins)
{
    using namespace Protocol;
    std::atomic<quint16> port{0};
    QThread *server = QThread::create([&] {
        QTcpServer listener;
        listener.listen(QHostAddress::LocalHost, 0);
        port = listener.serverPort();
        for (int i = 0; i < logins + logins / 10; ++i) {
            if (!listener.waitForNewConnection(5000))
                return;
            std::unique_ptr<QTcpSocket> s(listener.nextPendingConnection());
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            FrameReader reader;
            QCborMap login;
            while (reader.next(&login) == FrameReader::Status::NeedMore && s->waitForReadyRead(5000))
                reader.append(s->readAll());
            const bool ok = login.value(QStringLiteral("password")).toString() == LinkServer::DefaultPassword;
            s->write(encodeFrame({{Key::Id, 1}, {Key::Version, 2}, {Key::Error, ok ? QCborValue() : QCborValue("no")}}));
            s->waitForBytesWritten(5000);
            s->waitForDisconnected(5000);
        }
    });
    server->start();
    while (port == 0)
        QThread::msleep(1);
    const QByteArray frame = encodeFrame({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, 2}, {Key::User, LinkServer::DefaultUser},
                                          {QStringLiteral("password"), LinkServer::DefaultPassword}});
    const Figures f = measure(logins, [&] {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        client.waitForConnected(3000);
        client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client.write(frame);
        QByteArray buffer;
        readFrame(client, buffer);
        client.disconnectFromHost();
    });
    server->wait();
    delete server;
    return f;
}

// Connections that never log in and send requests as fast as they can; each
// one closed by the server is opened again at once. Lives on its own thread.
class Flood : public QObject
{
public:
    Flood(quint16 port, int connections) : m_port(port), m_count(connections) {}
    void start()
    {
        using namespace Protocol;
        for (int i = 0; i < 16; ++i)
            m_burst += encodeFrame({{Key::Op, Op::ParamValue}, {Key::Id, i + 1}, {Key::Slot, 0},
                                    {Key::Par, QStringLiteral("VMon")}, {Key::Ch, 3}});
        for (int i = 0; i < m_count; ++i) {
            auto *s = new QTcpSocket(this);
            connect(s, &QTcpSocket::connected, s, [this, s] { s->write(m_burst); });
            connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
            connect(s, &QTcpSocket::disconnected, s, [this, s] { ++m_reopened; reopen(s); });
            connect(s, &QTcpSocket::errorOccurred, s, [this, s] {
                if (s->state() == QAbstractSocket::UnconnectedState)
                    reopen(s);
            });
            reopen(s);
        }
    }
    void stop() { m_stopping = true; qDeleteAll(findChildren<QTcpSocket *>()); }
    qint64 reopened() const { return m_reopened; }

private:
    void reopen(QTcpSocket *s)
    {
        if (m_stopping)
            return;
        QTimer::singleShot(0, s, [this, s] { s->abort(); s->connectToHost(QHostAddress::LocalHost, m_port); });
    }

    quint16 m_port;                 // the server
    int m_count;                    // connections at once
    QByteArray m_burst;             // what each sends once connected
    std::atomic<qint64> m_reopened{0}; // connections closed by the server and opened again
    bool m_stopping = false;        // no more reopening
};

struct FloodFigures
{
    double medianMs = 0;
    double worstMs = 0;
    int calls = 0;
    qint64 reopened = 0;
};

// A logged-in client's ParamValue reply times for about `seconds` while `strangers` flood the server.
FloodFigures underFlood(int strangers, double seconds)
{
    SimServerThread server;
    NetClient client(server.port());
    client.Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
    QThread floodThread;
    Flood flood(server.port(), strangers);
    flood.moveToThread(&floodThread);
    floodThread.start();
    if (strangers > 0)
        QMetaObject::invokeMethod(&flood, [&flood] { flood.start(); }, Qt::BlockingQueuedConnection);
    QThread::msleep(200); // the flood is under way
    std::vector<double> ms;
    QElapsedTimer total;
    total.start();
    QElapsedTimer one;
    while (total.elapsed() < seconds * 1000) {
        one.start();
        try {
            client.ParamValue(0, QStringLiteral("VMon"), 3);
        } catch (const HVError &) {
            ms.push_back(std::numeric_limits<double>::infinity());
            continue;
        }
        ms.push_back(one.nsecsElapsed() / 1e6);
        QThread::usleep(500); // an operator's pace, not a loop of its own
    }
    QMetaObject::invokeMethod(&flood, [&flood] { flood.stop(); }, Qt::BlockingQueuedConnection);
    floodThread.quit();
    floodThread.wait();
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back(), int(ms.size()), flood.reopened()};
}

double median(std::vector<double> v)
{
    if (v.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::nth_element(v.begin(), v.begin() + qsizetype(v.size() / 2), v.end());
    return v[v.size() / 2];
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// Logins of an operator, each timed; a failed one counts as tried only.
struct Logins
{
    int tried = 0;
    std::vector<double> ms;
    QMap<QString, int> why; // the failures, by what the operator was told
    double successPercent() const { return tried ? 100.0 * double(ms.size()) / tried : 0; }
};

// An operator from an address that logged in before (127.0.0.1), through the real client.
Logins knownLogins(quint16 port, int count)
{
    Logins l;
    NetClient client(port);
    for (int i = 0; i < count; ++i, ++l.tried) {
        QElapsedTimer t;
        t.start();
        try {
            client.Login(Hostile::user(), Hostile::password(), 0, QStringLiteral("127.0.0.1"));
            l.ms.push_back(double(t.nsecsElapsed()) / 1e6);
        } catch (const HVError &e) {
            ++l.why[e.message()];
        }
        client.Logout();
        QThread::msleep(20);
    }
    return l;
}

// An operator from an address never seen before (127.2.x.y), each login from another.
Logins unknownLogins(quint16 port, int count)
{
    Logins l;
    Hostile::Addresses fresh(2);
    for (int i = 0; i < count; ++i, ++l.tried) {
        QString why;
        if (const std::optional<double> ms = Hostile::loginFrom(port, fresh.next(), nullptr, &why))
            l.ms.push_back(*ms);
        else
            ++l.why[why];
        QThread::msleep(20);
    }
    return l;
}

void attacks(int logins)
{
    using namespace Hostile;
    std::printf("Attacks on pylonet-sim (a process of its own), %d logins of each operator per run\n\n", logins);
    std::printf("| Attack | Operator known: logins, median | Operator never seen: logins, median | Guesses/s | Crowd connections/s |\n");
    std::printf("|---|---|---|---|---|\n");
    struct Phase
    {
        const char *name;
        bool crowd, guessers, sameAddress;
    };
    const Phase phases[] = {{"crowd from new addresses", true, false, false},
                            {"guessers from new addresses", false, true, false},
                            {"both, and a connect flood from 127.0.0.1", true, true, true}};
    bool loginGoals = true, guessGoal = true;
    for (const Phase &phase : phases) {
        Simulator sim(0);
        knownLogins(sim.port(), 1); // 127.0.0.1 has logged in before
        std::unique_ptr<Running<Crowd>> crowd, flood;
        std::unique_ptr<Running<Guessers>> guessers;
        if (phase.crowd)
            crowd = std::make_unique<Running<Crowd>>(sim.port(), 300, quint8(1), false);
        if (phase.guessers)
            guessers = std::make_unique<Running<Guessers>>(sim.port(), 100, quint8(3));
        if (phase.sameAddress)
            flood = std::make_unique<Running<Crowd>>(sim.port(), 50, quint8(0), true, QHostAddress(QStringLiteral("127.0.0.1")));
        QThread::msleep(1000); // in full swing
        QElapsedTimer clock;
        clock.start();
        const qint64 guessed = guessers ? (*guessers)->refused() : 0;
        const qint64 opened = crowd ? (*crowd)->opened() : 0;
        const Logins known = knownLogins(sim.port(), logins);
        const Logins unknown = unknownLogins(sim.port(), logins);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const double guessRate = guessers ? double((*guessers)->refused() - guessed) / seconds : 0;
        const double crowdRate = crowd ? double((*crowd)->opened() - opened) / seconds : 0;
        std::printf("| %s | %.0f %%, %.1f ms | %.0f %%, %.1f ms | %.2f | %.0f |\n", phase.name, known.successPercent(),
                    median(known.ms), unknown.successPercent(), median(unknown.ms), guessRate, crowdRate);
        for (const Logins *l : {&known, &unknown})
            for (auto it = l->why.cbegin(); it != l->why.cend(); ++it)
                std::printf("|   %s operator failed %d times: %s | | | | |\n", l == &known ? "known" : "never-seen", it.value(),
                            qPrintable(it.key()));
        std::fflush(stdout);
        loginGoals = loginGoals && known.successPercent() >= 99 && median(known.ms) < 100
                     && unknown.successPercent() >= 90;
        guessGoal = guessGoal && guessRate < 2;
    }
    std::printf("Goals: known operator at least 99 %% of logins, median under 100 ms; never-seen operator at least 90 %%"
                " while the attackers use other addresses (%s). Guessing under 2 per second server-wide (%s).\n\n",
                verdict(loginGoals), verdict(guessGoal));

    // Another operator, and a new login, while a peer floods plans of the most calls a plan may make.
    constexpr double serviceMs = 0.1;
    {
        Simulator sim(serviceMs);
        Running<PlanFlood> flooder(sim.port(), 4, quint8(5));
        QThread::msleep(500);
        std::vector<double> ms;
        NetClient op(sim.port());
        op.Login(user(), password(), 0, QStringLiteral("127.0.0.1"));
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < 5000) {
            QElapsedTimer one;
            one.start();
            try {
                op.ParamValue(0, QStringLiteral("VMon"), 3);
                ms.push_back(double(one.nsecsElapsed()) / 1e6);
            } catch (const HVError &) {
                ms.push_back(std::numeric_limits<double>::infinity());
            }
            QThread::msleep(10); // an operator's pace
        }
        const Logins late = knownLogins(sim.port(), 5);
        const double worst = *std::max_element(ms.begin(), ms.end());
        const double round = CrateScheduler::CallsPerTurn * serviceMs; // the flooder's turn before ours
        std::printf("A peer flooding plans of %d calls at %g ms per call (%lld plans answered):\n", CrateJob::MaxPlanCalls,
                    serviceMs, static_cast<long long>(flooder->answered()));
        std::printf("  another operator's reads: median %.2f ms (goal under one round of turns, %.1f ms, + 5 ms: %s),"
                    " worst %.2f ms (goal under 200 ms: %s), %zu reads\n",
                    median(ms), round, verdict(median(ms) < round + 5), worst, verdict(worst < 200), ms.size());
        std::printf("  a new login meanwhile: %.0f %% of %d, median %.1f ms (goal: within the %d ms login window: %s)\n\n",
                    late.successPercent(), late.tried, median(late.ms), LinkServer::DefaultLoginTimeoutMs,
                    verdict(late.successPercent() == 100 && median(late.ms) < LinkServer::DefaultLoginTimeoutMs));
    }
    {
        Simulator sim(serviceMs);
        std::vector<std::unique_ptr<Running<PlanFlood>>> peers;
        for (int i = 0; i < SessionHost::MaxConnections; ++i)
            peers.push_back(std::make_unique<Running<PlanFlood>>(sim.port(), 8, quint8(10 + i)));
        QThread::msleep(10000);
        qint64 answered = 0;
        for (auto &p : peers)
            answered += (*p)->answered();
        std::printf("%d peers flooding such plans for 10 s (%lld answered): server memory %.0f MB now, %.0f MB at most"
                    " (goal under 100 MB: %s)\n",
                    SessionHost::MaxConnections, static_cast<long long>(answered), sim.memoryMb("VmRSS:"),
                    sim.memoryMb("VmHWM:"), verdict(sim.memoryMb("VmHWM:") < 100));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--attacks"))) {
        const int at = int(args.indexOf(QStringLiteral("--attacks")));
        attacks(std::max(10, args.value(at + 1, QStringLiteral("30")).toInt()));
        return 0;
    }
    const int floodAt = int(args.indexOf(QStringLiteral("--flood")));
    const int strangers = floodAt > 0 ? args.value(floodAt + 1).toInt() : 16;
    const int calls = argc > 1 && floodAt != 1 ? std::max(100, atoi(argv[1])) : 20000;
    const QString par = QStringLiteral("VMon");
    std::printf("ParamValue(0, \"VMon\", 3), %d calls each\n", calls);

    SimCrate crate;
    SimAdapter adapter(crate);
    const Figures inProcess = measure(calls, [&] { adapter.ParamValue(0, par, 3); });
    print("(a) SimAdapter, in process", inProcess);

    Figures net;
    {
        SimServerThread server;
        NetClient client(server.port());
        client.Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
        net = measure(calls, [&] { client.ParamValue(0, par, 3); });
    }
    print("(b) NetClient -> SimServer, loopback", net);

    // The frames (b) exchanges, byte for byte in size.
    using namespace Protocol;
    const QByteArray request = encodeFrame({{Key::Slot, 0}, {Key::Par, par}, {Key::Ch, 3},
                                            {Key::Op, Op::ParamValue}, {Key::Id, calls}});
    const QByteArray reply = encodeFrame({{Key::Value, 1234.5678}, {Key::Id, calls}});
    const Figures wire = pingPong(calls, request, reply);
    const QByteArray label = QStringLiteral("(c) bare ping-pong, %1/%2-byte frames").arg(request.size()).arg(reply.size()).toLatin1();
    print(label.constData(), wire);

    std::printf("ratio (b)/(c): %.2f by median, %.2f by calls/s (goal: at most 2)\n",
                net.medianUs / wire.medianUs, wire.callsPerSecond / net.callsPerSecond);
    std::printf("ratio (b)/(a): %.1f by median\n", net.medianUs / inProcess.medianUs);

    // The login, before and after: connect, log in, leave.
    const int logins = std::max(20, calls / 200);
    const Figures before = plainLogin(logins);
    Figures after;
    {
        SimServerThread server;
        NetClient client(server.port());
        after = measure(logins, [&] {
            client.Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
            client.Logout();
        });
    }
    std::printf("\nLogin and logout, %d each (PBKDF2 with %d rounds)\n", logins, Scram::DefaultIterations);
    print("(d) password in clear, one frame each way", before);
    print("(e) challenge and proof, NetClient", after);
    std::printf("login (e): median %.2f ms (goal: under 20 ms), %.1fx the former login\n", after.medianUs / 1000,
                after.medianUs / before.medianUs);

    // A call over TLS against the same call over plain TCP.
    Figures tls;
    {
        SimServerThread server;
        server.server().onServer([](LinkServer &s) {
            s.setTls(PYLONET_TEST_TLS "/test-crate.crt", PYLONET_TEST_TLS "/test-crate.key");
        });
        NetClient client(server.port());
        client.Login(LinkServer::DefaultUser, LinkServer::DefaultPassword, 0, server.address());
        tls = measure(calls, [&] { client.ParamValue(0, par, 3); });
    }
    std::printf("\n");
    print("(f) NetClient -> SimServer over TLS", tls);
    std::printf("ratio (f)/(b): %.2f by median (goal: at most 2)\n", tls.medianUs / net.medianUs);

    // Strangers flooding while an operator works.
    const FloodFigures quiet = underFlood(0, 2);
    const FloodFigures flooded = underFlood(strangers, 5);
    std::printf("\nLogged-in client's ParamValue while strangers flood the server\n");
    std::printf("%-44s median %8.3f ms   worst %8.3f ms   (%d calls)\n", "no flood", quiet.medianMs, quiet.worstMs,
                quiet.calls);
    std::printf("%-44s median %8.3f ms   worst %8.3f ms   (%d calls, %lld stranger connections closed)\n",
                qPrintable(QStringLiteral("%1 flooding connections").arg(strangers)), flooded.medianMs,
                flooded.worstMs, flooded.calls, static_cast<long long>(flooded.reopened));
    std::printf("goal: median under 2 ms (%s), none over 100 ms (%s)\n", flooded.medianMs < 2 ? "met" : "MISSED",
                flooded.worstMs < 100 ? "met" : "MISSED");
    return 0;
}
