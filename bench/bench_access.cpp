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

#include "netclient.h"
#include "hverror.h"
#include "protocol.h"
#include "scram.h"
#include "simadapter.h"
#include "simcrate.h"
#include "simserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
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
