#include "linkserverthread.h"

#include "hverror.h"

#include <QMetaObject>

LinkServerThread::LinkServerThread(ServerFactory makeServer, const QHostAddress &address)
    : m_context(std::make_unique<QObject>()), m_address(address.toString())
{
    m_thread.setObjectName(QStringLiteral("link-server"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QString error;
    QMetaObject::invokeMethod(
        m_context.get(),
        [&] {
            try {
                m_server = makeServer();
            } catch (const std::exception &e) {
                error = QString::fromUtf8(e.what());
                return;
            }
            if (!m_server->listen(address, 0))
                error = m_server->errorString();
            m_port = m_server->port();
        },
        Qt::BlockingQueuedConnection);
    if (!error.isEmpty()) {
        stop();
        throw HVError(QStringLiteral("Cannot start the server on %1: %2").arg(m_address, error));
    }
}

LinkServerThread::~LinkServerThread()
{
    stop();
}

void LinkServerThread::stop()
{
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(m_context.get(), [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
}

void LinkServerThread::onServer(const std::function<void(LinkServer &)> &f) const
{
    QMetaObject::invokeMethod(m_context.get(), [&] { f(*m_server); }, Qt::BlockingQueuedConnection);
}

void LinkServerThread::setLatencyMs(double ms)
{
    onServer([ms](LinkServer &s) { s.setLatencyMs(ms); });
}

void LinkServerThread::setServiceTimeMs(double ms)
{
    onServer([ms](LinkServer &s) { s.setServiceTimeMs(ms); });
}

void LinkServerThread::dropAllConnections()
{
    onServer([](LinkServer &s) { s.dropAllConnections(); });
}

void LinkServerThread::setAccount(const QString &user, const QString &password)
{
    onServer([&](LinkServer &s) { s.setAccount(user, password); });
}

void LinkServerThread::setFrameTimeoutMs(int ms)
{
    onServer([ms](LinkServer &s) { s.setFrameTimeoutMs(ms); });
}

void LinkServerThread::setLoginTimeoutMs(int ms)
{
    onServer([ms](LinkServer &s) { s.setLoginTimeoutMs(ms); });
}

int LinkServerThread::connectionCount() const
{
    int n = 0;
    onServer([&n](LinkServer &s) { n = s.connectionCount(); });
    return n;
}
