#include "simserver.h"

#include "hverror.h"
#include "linelog.h"
#include "simadapter.h"
#include "simcrate.h"

#include <QRegularExpression>
#include <limits>

SimServer::SimServer(SimCrate &crate, QObject *parent)
    : LinkServer([&crate] { return std::make_unique<SimAdapter>(crate); }, parent), m_crate(crate)
{
}

QString SimServer::help()
{
    return QStringLiteral("commands:\n"
                          "  pull SLOT           pull the board out of SLOT\n"
                          "  insert SLOT         put the pulled board back into SLOT\n"
                          "  drop                cut every client connection\n"
                          "  latency MS          network delay: each reply leaves MS after its request arrived\n"
                          "  service-time MS     the crate's own time per call (serial)\n"
                          "  input NAME on|off   set a front-panel input (VSel, ISel, Kill, Interlock,\n"
                          "                      RemoteEnable, LocalEnable, TTL)\n"
                          "  status              connections, latency and service time\n"
                          "  help                this text\n"
                          "  quit                stop the simulator");
}

QString SimServer::execute(const QString &command)
{
    const QStringList words = command.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();
    const QString verb = words.first().toLower();
    bool ok = false;
    const int number = words.value(1).toInt(&ok);
    try {
        if ((verb == QLatin1String("pull") || verb == QLatin1String("insert")) && words.size() == 2 && ok) {
            if (verb == QLatin1String("pull")) {
                m_crate.pullBoard(number);
                return QStringLiteral("board pulled out of slot %1").arg(number);
            }
            m_crate.insertBoard(number);
            return QStringLiteral("board inserted into slot %1").arg(number);
        }
        if (verb == QLatin1String("drop") && words.size() == 1) {
            const int n = connectionCount();
            dropAllConnections();
            return QStringLiteral("all connections dropped (%1)").arg(n);
        }
        const std::optional<double> ms = parseDelayMs(words.value(1));
        if ((verb == QLatin1String("latency") || verb == QLatin1String("service-time")) && words.size() == 2 && ms) {
            if (verb == QLatin1String("latency"))
                setLatencyMs(*ms);
            else
                setServiceTimeMs(*ms);
            return QStringLiteral("%1 now %2 ms").arg(verb).arg(*ms);
        }
        if (verb == QLatin1String("input") && words.size() == 3
            && (words[2] == QLatin1String("on") || words[2] == QLatin1String("off"))) {
            m_crate.setFrontPanelInput(words[1], words[2] == QLatin1String("on"));
            return QStringLiteral("front-panel input %1 %2").arg(words[1], words[2]);
        }
        if (verb == QLatin1String("status") && words.size() == 1) {
            QString status = QStringLiteral("%1 connection(s), latency %2 ms, service time %3 ms")
                                 .arg(connectionCount())
                                 .arg(latencyMs())
                                 .arg(serviceTimeMs());
            if (m_log)
                status += QStringLiteral(", %1 log line(s) dropped").arg(m_log->dropped());
            return status;
        }
        if (verb == QLatin1String("help") && words.size() == 1)
            return help();
    } catch (const HVError &e) {
        return QStringLiteral("refused: %1").arg(e.message());
    }
    return QStringLiteral("unknown command \"%1\" (type help)").arg(command.simplified());
}

std::optional<double> SimServer::parseDelayMs(const QString &text)
{
    bool ok = false;
    const double ms = text.toDouble(&ok);
    if (!ok || !(ms >= 0) || ms > 60000)
        return std::nullopt;
    return ms;
}

std::optional<qint64> SimServer::parseDurationMs(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*(ms|s|m|min)?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const double amount = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    double factor = 1000;
    if (unit == QLatin1String("ms"))
        factor = 1;
    else if (unit == QLatin1String("m") || unit == QLatin1String("min"))
        factor = 60000;
    const double ms = amount * factor;
    if (ms > std::numeric_limits<int>::max()) // what a timer can wait
        return std::nullopt;
    return qint64(ms);
}

SimServerThread::SimServerThread(std::unique_ptr<SimCrate> crate)
    : m_crate(crate ? std::move(crate) : std::make_unique<SimCrate>())
{
    SimCrate *shared = m_crate.get();
    m_thread = std::make_unique<LinkServerThread>([shared] { return std::make_unique<SimServer>(*shared); });
}

SimServerThread::~SimServerThread()
{
    m_thread.reset(); // the server goes before the crate it serves
}

void SimServerThread::pullBoard(int slot)
{
    m_crate->pullBoard(slot);
}

void SimServerThread::insertBoard(int slot)
{
    m_crate->insertBoard(slot);
}

void SimServerThread::setLatencyMs(double ms)
{
    m_thread->setLatencyMs(ms);
}

void SimServerThread::setServiceTimeMs(double ms)
{
    m_thread->setServiceTimeMs(ms);
}

void SimServerThread::dropAllConnections()
{
    m_thread->dropAllConnections();
}

void SimServerThread::setAccount(const QString &user, const QString &password)
{
    m_thread->setAccount(user, password);
}
