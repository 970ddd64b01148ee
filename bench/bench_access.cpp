// What a ParamValue read costs: in process, through the network client on
// loopback, and a bare blocking ping-pong of frames of the same sizes as the
// reference for what the wire itself costs. Prints figures and the ratio of
// the client to the bare ping-pong; the goal is within 2x.

#include "netclient.h"
#include "protocol.h"
#include "simadapter.h"
#include "simcrate.h"
#include "simserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(100, atoi(argv[1])) : 20000;
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
    return 0;
}
