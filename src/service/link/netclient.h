#pragma once

#include "hvpowersupply.h"
#include "protocol.h"

#include <QCborMap>
#include <memory>

class QTcpSocket;

// HVPowerSupply over TCP to a crate server. Every operation is one request
// and one reply, waited for on the calling thread with a deadline (no event
// loop runs meanwhile). Connecting gives up after the connect time-out, a
// reply after the reply time-out. A lost link is never re-opened behind the
// caller's back: every later call fails until the next Login.
class NetClient : public HVPowerSupply
{
public:
    explicit NetClient(quint16 port = Protocol::DefaultPort,
                       int connectTimeoutMs = Protocol::DefaultConnectTimeoutMs,
                       int replyTimeoutMs = Protocol::DefaultReplyTimeoutMs);
    ~NetClient() override;

    quint16 port() const { return m_port; }
    int connectTimeoutMs() const { return m_connectTimeoutMs; }
    int replyTimeoutMs() const { return m_replyTimeoutMs; }
    void setReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }
    bool isConnected() const;

    // Address is a numeric IP address; the port is the one given at construction.
    void Login(const QString &userName, const QString &password, qint32 reserved,
               const QString &address) override;
    // Never throws; on a link that is already gone it only forgets it.
    void Logout() override;
    void QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels) override;
    QVariant CrateProperty(const QString &propertyName) override;
    QVariant ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch = std::nullopt) override;
    void SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value) override;
    QVariant ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                            std::optional<qint16> ch = std::nullopt) override;
    QString ChannelName(qint16 slot, qint16 ch) override;
    void SetChannelName(qint16 slot, qint16 ch, const QString &name) override;
    QStringList ListChannelParams(qint16 slot, qint16 ch) override;

private:
    enum class State { Closed, Open, Lost };

    void checkOpen() const;
    // Sends the request, waits for its reply and returns it; throws the
    // crate's error, a time-out or a lost link as HVError.
    QCborMap call(const QString &op, QCborMap request);
    QCborMap waitForReply(qint64 id);
    QVariant value(const QCborMap &reply) const;
    [[noreturn]] void linkLost(const QString &detail = QString());
    void closeSocket();

    quint16 m_port;                    // server port
    int m_connectTimeoutMs;            // limit for the TCP connection to open
    int m_replyTimeoutMs;              // limit for each reply
    std::unique_ptr<QTcpSocket> m_socket; // the open connection, if any
    Protocol::FrameReader m_reader;    // frames of the current connection
    State m_state = State::Closed;     // what the next call will find
    qint64 m_lastId = 0;               // id of the last request sent; older replies are stale
};
