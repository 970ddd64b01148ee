#include "netclient.h"

#include "hverror.h"
#include "readplan.h"

#include <QCborArray>
#include <QHostAddress>
#include <QScopeGuard>
#include <QTcpSocket>
#include <algorithm>

using namespace Protocol;

namespace {

QString lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}

QCborMap writeRequest(qint16 slot, const QString &parName, qint16 ch, const QVariant &value)
{
    QCborMap request;
    request.insert(Key::Op, Op::SetParamValue);
    request.insert(Key::Slot, slot);
    request.insert(Key::Par, parName);
    request.insert(Key::Ch, ch);
    request.insert(Key::Value, toCbor(value));
    return request;
}

QCborMap nameRequest(qint16 slot, qint16 ch, const QString &name)
{
    QCborMap request;
    request.insert(Key::Op, Op::SetChannelName);
    request.insert(Key::Slot, slot);
    request.insert(Key::Ch, ch);
    request.insert(Key::Name, name);
    return request;
}

// The crate's refusal, as the reply states it.
HVError refusal(const QCborValue &error)
{
    return HVError(error.isString() ? error.toString() : QStringLiteral("The crate refused the request"));
}

} // namespace

NetClient::NetClient(quint16 port, int connectTimeoutMs, int replyTimeoutMs)
    : m_port(port), m_connectTimeoutMs(connectTimeoutMs), m_replyTimeoutMs(replyTimeoutMs)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &NetClient::onTimeout);
}

NetClient::~NetClient()
{
    // The windows are gone by now; nothing is told to anybody.
    m_pending.clear();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        delete m_socket;
    }
}

bool NetClient::isConnected() const
{
    return m_state == State::Open && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void NetClient::Login(const QString &userName, const QString &password, qint32 /*reserved*/, const QString &address)
{
    closeSocket();
    m_state = State::Closed;
    failAllPending(notOpenError());

    const std::optional<quint32> ip = parseAddress(address);
    if (!ip)
        throw HVError::link(QStringLiteral("Not a valid IP address: \"%1\"").arg(address));
    const QHostAddress host(*ip);
    const QString where = QStringLiteral("%1:%2").arg(host.toString()).arg(m_port);

    m_socket = new QTcpSocket;
    m_reader = FrameReader();
    m_socket->connectToHost(host, m_port);
    ++m_socketWaits;
    const bool connected = m_socket->waitForConnected(m_connectTimeoutMs);
    --m_socketWaits;
    if (!connected) {
        const QAbstractSocket::SocketError error = m_socket->error();
        const QString reason = m_socket->errorString();
        closeSocket();
        if (error == QAbstractSocket::ConnectionRefusedError)
            throw HVError::link(QStringLiteral("Cannot connect to %1: connection refused").arg(where));
        if (error == QAbstractSocket::SocketTimeoutError)
            throw HVError::link(
                QStringLiteral("Cannot connect to %1: no answer within %2").arg(where, seconds(m_connectTimeoutMs)));
        throw HVError::link(QStringLiteral("Cannot connect to %1: %2").arg(where, lowerFirst(reason)));
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetClient::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { dropLink(QString()); });

    m_state = State::Open;
    m_lostReason.clear();
    ++m_outage; // a new link: its failures are news
    QCborMap request;
    request.insert(Key::Op, Op::Login);
    request.insert(Key::Version, Version);
    request.insert(Key::User, userName);
    request.insert(Key::Password, password);
    try {
        call(request);
    } catch (const HVError &) {
        closeSocket();
        m_state = State::Closed;
        throw;
    }
}

void NetClient::Logout()
{
    if (isConnected()) {
        QCborMap request;
        request.insert(Key::Op, Op::Logout);
        try {
            call(request);
        } catch (const HVError &) {
            // The link is being closed anyway; nothing the caller could do.
        }
    }
    closeSocket();
    m_state = State::Closed;
    failAllPending(notOpenError());
}

void NetClient::QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels)
{
    PlanStep step;
    step.op = PlanStep::Op::QuerySlots;
    step.outputs = quint8((slotCount ? PlanStep::SlotCount : 0) | (channelCounts ? PlanStep::ChannelCounts : 0)
                          | (slotModels ? PlanStep::SlotModels : 0));
    const QVariantList outputs = read(step).toList();
    if (slotCount)
        *slotCount = outputs.value(0);
    if (channelCounts)
        *channelCounts = outputs.value(1);
    if (slotModels)
        *slotModels = outputs.value(2);
}

QVariant NetClient::CrateProperty(const QString &propertyName)
{
    PlanStep step;
    step.op = PlanStep::Op::CrateProperty;
    step.par = propertyName;
    return read(step);
}

QVariant NetClient::ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch)
{
    PlanStep step;
    step.op = PlanStep::Op::ParamValue;
    step.slot = slot;
    step.par = parName;
    step.ch = ch;
    return read(step);
}

void NetClient::SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value)
{
    call(writeRequest(slot, parName, ch, value));
}

QVariant NetClient::ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                                   std::optional<qint16> ch)
{
    PlanStep step;
    step.op = PlanStep::Op::ParamAttribute;
    step.slot = slot;
    step.par = parName;
    step.prop = propertyName;
    step.ch = ch;
    return read(step);
}

QString NetClient::ChannelName(qint16 slot, qint16 ch)
{
    PlanStep step;
    step.op = PlanStep::Op::ChannelName;
    step.slot = slot;
    step.ch = ch;
    return read(step).toString();
}

void NetClient::SetChannelName(qint16 slot, qint16 ch, const QString &name)
{
    call(nameRequest(slot, ch, name));
}

QStringList NetClient::ListChannelParams(qint16 slot, qint16 ch)
{
    PlanStep step;
    step.op = PlanStep::Op::ListChannelParams;
    step.slot = slot;
    step.ch = ch;
    return read(step).toStringList();
}

void NetClient::runPlan(const std::shared_ptr<ReadPlan> &plan)
{
    if (plan->isEmpty()) {
        plan->finish();
        return;
    }
    Pending pending;
    pending.plan = plan;
    sendPending(std::move(pending), [&plan](qint64 id) { return encodePlanFrame(id, plan->steps()); });
}

void NetClient::postParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value,
                               QObject *context, WriteDone done)
{
    Pending pending;
    pending.done = std::move(done);
    pending.context = context;
    pending.hasContext = context != nullptr;
    QCborMap request;
    try {
        request = writeRequest(slot, parName, ch, value);
    } catch (const HVError &e) {
        deliverFailure(std::move(pending), e);
        return;
    }
    sendPending(std::move(pending), std::move(request));
}

void NetClient::postChannelName(qint16 slot, qint16 ch, const QString &name, QObject *context, WriteDone done)
{
    Pending pending;
    pending.done = std::move(done);
    pending.context = context;
    pending.hasContext = context != nullptr;
    sendPending(std::move(pending), nameRequest(slot, ch, name));
}

HVError NetClient::notOpenError() const
{
    if (m_state == State::Lost)
        return HVError::link(m_lostReason.isEmpty() ? QStringLiteral("Connection to the crate lost") : m_lostReason,
                             m_outage);
    return HVError::link(QStringLiteral("Not connected"), m_outage);
}

bool NetClient::claimLinkReport(const HVError &error)
{
    if (!error.isLinkFailure())
        return true;
    if (error.outage() == m_reportedOutage)
        return false;
    m_reportedOutage = error.outage();
    return true;
}

qint64 NetClient::send(QCborMap request)
{
    return send([&request](qint64 id) {
        request.insert(Key::Id, id);
        return encodeFrame(request);
    });
}

qint64 NetClient::send(const std::function<QByteArray(qint64 id)> &encode)
{
    if (m_state != State::Open || !m_socket)
        throw notOpenError();
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        dropLink(QString());
        throw notOpenError();
    }
    const qint64 id = m_lastId + 1;
    const QByteArray frame = encode(id);
    if (frame.size() - HeaderSize > MaxFrameSize)
        throw HVError(QStringLiteral("Request too large: %1 bytes (limit %2)")
                          .arg(frame.size() - HeaderSize)
                          .arg(MaxFrameSize));
    m_lastId = id;
    // One write per frame, pushed out at once: with Nagle off this leaves as one piece.
    if (m_socket->write(frame) != frame.size()) {
        dropLink(QString());
        throw notOpenError();
    }
    m_socket->flush();
    return id;
}

QCborMap NetClient::call(QCborMap request)
{
    const qint64 id = send(std::move(request));
    m_waitingFor = id;
    m_waitedReply.reset();
    const auto done = qScopeGuard([this] {
        m_waitingFor = 0;
        m_waitedReply.reset();
    });
    // The deadline holds whatever arrives meanwhile: answers to other requests
    // are taken in and handed on later, stale ones dropped.
    const QDeadlineTimer deadline(m_replyTimeoutMs);
    for (;;) {
        onReadyRead();
        if (m_waitedReply)
            break;
        if (m_state != State::Open)
            throw notOpenError();
        if (deadline.hasExpired())
            throw HVError::link(QStringLiteral("No answer from the crate within %1").arg(seconds(m_replyTimeoutMs)),
                                m_outage);
        QTcpSocket *socket = m_socket;
        ++m_socketWaits;
        const bool more = socket->waitForReadyRead(int(std::max<qint64>(0, deadline.remainingTime())));
        --m_socketWaits;
        if (!more && m_socket == socket && socket->state() != QAbstractSocket::ConnectedState
            && socket->bytesAvailable() == 0)
            dropLink(QString());
    }
    const QCborMap reply = *m_waitedReply;
    const QCborValue error = reply.value(Key::Error);
    if (!error.isUndefined())
        throw refusal(error);
    return reply;
}

QVariant NetClient::read(const PlanStep &step)
{
    return decodeReply(step, call(encodeStep(step)));
}

void NetClient::sendPending(Pending pending, QCborMap request)
{
    sendPending(std::move(pending), [&request](qint64 id) {
        request.insert(Key::Id, id);
        return encodeFrame(request);
    });
}

void NetClient::sendPending(Pending pending, const std::function<QByteArray(qint64 id)> &encode)
{
    try {
        pending.id = send(encode);
    } catch (const HVError &e) {
        deliverFailure(std::move(pending), e);
        return;
    }
    pending.deadline = QDeadlineTimer(m_replyTimeoutMs);
    m_pending.push_back(std::move(pending));
    armTimeout();
}

void NetClient::onReadyRead()
{
    if (!m_socket)
        return;
    if (m_socket->bytesAvailable() > 0)
        m_reader.append(m_socket->readAll());
    while (m_state == State::Open) {
        QCborMap frame;
        switch (m_reader.next(&frame)) {
        case FrameReader::Status::NeedMore:
            return;
        case FrameReader::Status::Error:
            dropLink(QStringLiteral("Connection to the crate lost: %1").arg(m_reader.errorString()));
            return;
        case FrameReader::Status::Frame:
            takeFrame(frame);
            break;
        }
    }
}

void NetClient::takeFrame(const QCborMap &frame)
{
    const QCborValue idValue = frame.value(Key::Id);
    if (idValue.isUndefined()) {
        // The server speaks of the connection itself, and closes it.
        const QCborValue error = frame.value(Key::Error);
        dropLink(error.isString() ? error.toString() : QString());
        return;
    }
    if (!idValue.isInteger() || idValue.toInteger() <= 0 || idValue.toInteger() > m_lastId) {
        dropLink(QStringLiteral("Connection to the crate lost: reply to a request never sent"));
        return;
    }
    const qint64 id = idValue.toInteger();
    if (id == m_waitingFor) {
        m_waitedReply = frame;
        return;
    }
    const auto it = std::find_if(m_pending.begin(), m_pending.end(), [id](const Pending &p) { return p.id == id; });
    if (it == m_pending.end())
        return; // a late answer to a request that timed out
    Pending pending = std::move(*it);
    m_pending.erase(it);
    armTimeout();
    // Handed on from the event loop, never from inside the socket's own signal
    // or a waiting call: what a window does with it may well call us again.
    later([this, pending = std::move(pending), frame]() mutable { deliver(std::move(pending), frame); });
}

void NetClient::deliver(Pending pending, const QCborMap &reply)
{
    const QCborValue error = reply.value(Key::Error);
    if (!pending.plan) {
        if (!pending.done || (pending.hasContext && !pending.context))
            return;
        if (error.isUndefined()) {
            pending.done(nullptr);
        } else {
            const HVError e = refusal(error);
            pending.done(&e);
        }
        return;
    }
    ReadPlan &plan = *pending.plan;
    const QVector<PlanStep> &steps = plan.steps();
    const QCborArray answers = reply.value(Key::Answers).toArray();
    if (answers.size() > steps.size()) {
        plan.fail(HVError(QStringLiteral("The crate answered more reads than the plan holds")));
        return;
    }
    for (int i = 0; i < int(answers.size()); ++i) {
        PlanAnswer answer;
        try {
            answer = decodeAnswer(steps[i], answers.at(i));
        } catch (const HVError &e) {
            plan.fail(e);
            return;
        }
        if (!plan.apply(i, answer))
            return;
    }
    if (!error.isUndefined())
        plan.fail(refusal(error));
    else if (answers.size() != steps.size())
        plan.fail(HVError(QStringLiteral("The crate answered %1 of %2 reads").arg(answers.size()).arg(steps.size())));
    else
        plan.finish();
}

void NetClient::deliverFailure(Pending pending, const HVError &error)
{
    if (pending.plan)
        pending.plan->fail(error);
    else if (pending.done && (!pending.hasContext || pending.context))
        pending.done(&error);
}

void NetClient::later(std::function<void()> f)
{
    ++m_undelivered;
    QMetaObject::invokeMethod(
        this,
        [this, f = std::move(f)] {
            --m_undelivered;
            f();
        },
        Qt::QueuedConnection);
}

void NetClient::armTimeout()
{
    if (m_pending.empty()) {
        m_timeout.stop();
        return;
    }
    const auto oldest = std::min_element(m_pending.begin(), m_pending.end(), [](const Pending &a, const Pending &b) {
        return a.deadline < b.deadline;
    });
    m_timeout.start(int(std::max<qint64>(0, oldest->deadline.remainingTime())));
}

void NetClient::onTimeout()
{
    const HVError overdue =
        HVError::link(QStringLiteral("No answer from the crate within %1").arg(seconds(m_replyTimeoutMs)), m_outage);
    // The link stays open: a late answer is recognised by its id and dropped.
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->deadline.hasExpired()) {
            later([this, pending = std::move(*it), overdue]() mutable { deliverFailure(std::move(pending), overdue); });
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    armTimeout();
}

void NetClient::dropLink(const QString &reason)
{
    if (m_state == State::Open) {
        m_state = State::Lost;
        m_lostReason = reason;
        ++m_outage;
    }
    closeSocket();
    failAllPending(notOpenError());
}

void NetClient::failAllPending(const HVError &error)
{
    std::deque<Pending> pending;
    pending.swap(m_pending);
    m_timeout.stop();
    for (Pending &p : pending)
        later([this, p = std::move(p), error]() mutable { deliverFailure(std::move(p), error); });
}

void NetClient::closeSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    // We may be inside one of its signals or waits: it goes once they are over.
    socket->deleteLater();
    m_reader = FrameReader();
}
