// pylonet-sim: the simulated crate on the network, with faults a person can
// trigger from the command line or by typing commands.

#include "hverror.h"
#include "linelog.h"
#include "pylonet_version.h"
#include "simcrate.h"
#include "simserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString &text)
{
    std::fprintf(stderr, "pylonet-sim: %s\n", qPrintable(text));
    std::exit(2);
}

void say(LineLog &log, const QString &text)
{
    if (!text.isEmpty())
        log.write(text);
}

// Commands typed on standard input, one per line.
class Console : public QObject
{
public:
    Console(SimServer &server, LineLog &log, QObject *parent) : QObject(parent), m_server(server), m_log(log)
    {
        // A background job reading its terminal would be stopped; fail the read instead.
        std::signal(SIGTTIN, SIG_IGN);
        m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &Console::readInput);
    }

private:
    void readInput()
    {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) { // end of input (or no terminal): go on serving
            m_notifier->setEnabled(false);
            return;
        }
        m_line.append(chunk, n);
        qsizetype end;
        while ((end = m_line.indexOf('\n')) >= 0) {
            const QString command = QString::fromLocal8Bit(m_line.left(end)).trimmed();
            m_line.remove(0, end + 1);
            if (command == QLatin1String("quit") || command == QLatin1String("exit")) {
                QCoreApplication::quit();
                return;
            }
            say(m_log, m_server.execute(command));
        }
        if (m_line.size() > 4096)
            m_line.clear();
    }

    SimServer &m_server;          // runs the commands
    LineLog &m_log;               // where the answers go
    QSocketNotifier *m_notifier;  // watches standard input
    QByteArray m_line;            // a command still being typed
};

// "3@10s" -> slot 3 at 10000 ms.
std::pair<int, qint64> slotAt(const QString &text, const QString &option)
{
    const QStringList parts = text.split(QLatin1Char('@'));
    bool ok = false;
    const int slot = parts.value(0).toInt(&ok);
    const std::optional<qint64> at = parts.size() == 2 ? SimServer::parseDurationMs(parts[1]) : std::nullopt;
    if (!ok || !at)
        fail(QStringLiteral("--%1 wants SLOT@TIME, e.g. 3@10s, not \"%2\"").arg(option, text));
    return {slot, *at};
}

void scheduleCommand(SimServer &server, LineLog &log, qint64 atMs, const QString &command)
{
    QTimer::singleShot(std::chrono::milliseconds(atMs), &server,
                       [&server, &log, command] { say(log, server.execute(command)); });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pylonet-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PYLONET_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated high-voltage crate served over TCP.\n"
        "Type \"help\" while it runs for the commands (pull 3, insert 3, drop, latency 200, ...).\n"
        "TIME is like 10s, 500ms or 2m."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                     QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("TCP port (default %1).").arg(Protocol::DefaultPort),
                                  QStringLiteral("port"), QString::number(Protocol::DefaultPort));
    const QCommandLineOption crateFile(QStringLiteral("crate"), QStringLiteral("Crate description file (JSON) instead of the default crate."),
                                       QStringLiteral("file"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("User name of the account (default %1).").arg(LinkServer::DefaultUser),
                                  QStringLiteral("name"), LinkServer::DefaultUser);
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Password of the account (default %1).").arg(LinkServer::DefaultPassword),
                                      QStringLiteral("text"), LinkServer::DefaultPassword);
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Network delay in milliseconds: each reply leaves this long after its request "
                                                    "arrived, however many are in flight (fractions allowed)."),
                                     QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption serviceTime(QStringLiteral("service-time"),
                                         QStringLiteral("The crate's own time per call in milliseconds, one call after the "
                                                        "other for all clients (fractions allowed; default 0)."),
                                         QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption pull(QStringLiteral("pull"), QStringLiteral("Pull the board out of SLOT at TIME (repeatable)."),
                                  QStringLiteral("SLOT@TIME"));
    const QCommandLineOption insert(QStringLiteral("insert"), QStringLiteral("Put the pulled board of SLOT back at TIME (repeatable)."),
                                    QStringLiteral("SLOT@TIME"));
    const QCommandLineOption pullCycle(QStringLiteral("pull-cycle"),
                                       QStringLiteral("Pull the board of SLOT after PERIOD, insert it after another PERIOD, and so on."),
                                       QStringLiteral("SLOT:PERIOD"));
    const QCommandLineOption dropAt(QStringLiteral("drop-at"), QStringLiteral("Drop every connection at TIME (repeatable)."),
                                    QStringLiteral("TIME"));
    const QCommandLineOption tlsCert(QStringLiteral("tls-cert"),
                                     QStringLiteral("Serve over TLS with this PEM certificate (needs --tls-key)."),
                                     QStringLiteral("file"));
    const QCommandLineOption tlsKey(QStringLiteral("tls-key"),
                                    QStringLiteral("The certificate's PEM private key, unencrypted (needs --tls-cert)."),
                                    QStringLiteral("file"));
    parser.addOptions({address, port, crateFile, user, password, latency, serviceTime, pull, insert, pullCycle, dropAt,
                       tlsCert, tlsKey});
    parser.process(app);
    // Lines go out from a thread of their own: a standard output nobody reads never stops the crate.
    LineLog log(STDOUT_FILENO);

    std::unique_ptr<SimCrate> crate;
    try {
        crate = parser.isSet(crateFile) ? SimCrate::fromJsonFile(parser.value(crateFile)) : std::make_unique<SimCrate>();
    } catch (const HVError &e) {
        fail(e.message());
    }

    SimServer server(*crate);
    server.setAccount(parser.value(user), parser.value(password));
    server.setLog(&log);
    bool ok = false;
    const std::optional<double> latencyMs = SimServer::parseDelayMs(parser.value(latency));
    if (!latencyMs)
        fail(QStringLiteral("--latency wants milliseconds from 0 to 60000, not \"%1\"").arg(parser.value(latency)));
    server.setLatencyMs(*latencyMs);
    const std::optional<double> serviceMs = SimServer::parseDelayMs(parser.value(serviceTime));
    if (!serviceMs)
        fail(QStringLiteral("--service-time wants milliseconds from 0 to 60000, not \"%1\"").arg(parser.value(serviceTime)));
    server.setServiceTimeMs(*serviceMs);
    if (parser.isSet(tlsCert) != parser.isSet(tlsKey))
        fail(QStringLiteral("--tls-cert and --tls-key go together"));
    if (parser.isSet(tlsCert)) {
        try {
            server.setTls(parser.value(tlsCert), parser.value(tlsKey));
        } catch (const HVError &e) {
            fail(e.message());
        }
    }
    const uint portNumber = parser.value(port).toUInt(&ok);
    if (!ok || portNumber > 65535)
        fail(QStringLiteral("--port wants a number up to 65535, not \"%1\"").arg(parser.value(port)));
    const std::optional<quint32> ip = Protocol::parseAddress(parser.value(address));
    if (!ip)
        fail(QStringLiteral("--address wants an IPv4 address of four decimal parts, not \"%1\"").arg(parser.value(address)));
    const QHostAddress host(*ip);
    if (!server.listen(host, quint16(portNumber)))
        fail(QStringLiteral("cannot listen on %1:%2: %3").arg(host.toString()).arg(portNumber).arg(server.errorString()));

    for (const QString &v : parser.values(pull)) {
        const auto [slot, at] = slotAt(v, pull.names().first());
        scheduleCommand(server, log, at, QStringLiteral("pull %1").arg(slot));
    }
    for (const QString &v : parser.values(insert)) {
        const auto [slot, at] = slotAt(v, insert.names().first());
        scheduleCommand(server, log, at, QStringLiteral("insert %1").arg(slot));
    }
    for (const QString &v : parser.values(dropAt)) {
        const std::optional<qint64> at = SimServer::parseDurationMs(v);
        if (!at)
            fail(QStringLiteral("--drop-at wants a TIME such as 30s, not \"%1\"").arg(v));
        scheduleCommand(server, log, *at, QStringLiteral("drop"));
    }
    QTimer cycle;
    if (parser.isSet(pullCycle)) {
        const QStringList parts = parser.value(pullCycle).split(QLatin1Char(':'));
        const int slot = parts.value(0).toInt(&ok);
        const std::optional<qint64> period = parts.size() == 2 ? SimServer::parseDurationMs(parts[1]) : std::nullopt;
        if (!ok || !period || *period <= 0)
            fail(QStringLiteral("--pull-cycle wants SLOT:PERIOD, e.g. 3:10s, not \"%1\"").arg(parser.value(pullCycle)));
        bool pulled = false;
        QObject::connect(&cycle, &QTimer::timeout, &server, [&server, &log, slot, pulled]() mutable {
            pulled = !pulled;
            say(log, server.execute(QStringLiteral("%1 %2").arg(pulled ? "pull" : "insert").arg(slot)));
        });
        cycle.start(std::chrono::milliseconds(*period));
    }

    QObject::connect(&server, &LinkServer::logLine, &server, [&log](const QString &text) { say(log, text); });
    new Console(server, log, &app);

    say(log, QStringLiteral("pylonet-sim listening on %1:%2 (user \"%3\", latency %4 ms, service time %5 ms); "
                            "type \"help\" for commands")
                 .arg(server.address().toString())
                 .arg(server.port())
                 .arg(parser.value(user))
                 .arg(*latencyMs)
                 .arg(*serviceMs));
    if (server.tlsEnabled())
        say(log, QStringLiteral("TLS on; certificate SHA-256 %1")
                     .arg(Protocol::fingerprint(server.certificateDigest())));
    return app.exec();
}
