#include "netclient.h"

#include "hverror.h"
#include "readplan.h"
#include "scram.h"

#include <QCborArray>
#include <QHostAddress>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslSocket>
#include <algorithm>

using namespace Protocol;

namespace {

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



} // namespace

NetClient::NetClient(quint16 port, int connectTimeoutMs, int replyTimeoutMs)
    : m_port(port), m_connectTimeoutMs(connectTimeoutMs), m_replyTimeoutMs(replyTimeoutMs)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &NetClient::onTimeout);
    m_clock.start();
    // Loading the TLS library takes some 20 ms: better here, at start, than after the operator's OK.
    QSslSocket::supportsSsl();
}

NetClient::~NetClient()
{
    // The windows are gone by now; nothing is told to anybody.
    m_book.takeAll();
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

void NetClient::Logout()
{
    // Never waits: on a hung or dead link a Logout must not hold the caller. The
    // logout goes out with whatever is still being written, and the connection
    // closes once it has left (or after the reply time-out at the latest).
    if (isConnected()) {
        QCborMap request;
        request.insert(Key::Op, Op::Logout);
        try {
            send(framed(std::move(request)));
        } catch (const HVError &) {
            // The link is being closed anyway; nothing the caller could do.
        }
    }
    closeSocket(/*graceful=*/true);
    m_state = State::Closed;
    failAllPending(notOpenError());
}

void NetClient::QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels)
{
    const QVariantList outputs =
        read(PlanStep::querySlots(quint8((slotCount ? PlanStep::SlotCount : 0)
                                         | (channelCounts ? PlanStep::ChannelCounts : 0)
                                         | (slotModels ? PlanStep::SlotModels : 0))))
            .toList();
    if (slotCount)
        *slotCount = outputs.value(0);
    if (channelCounts)
        *channelCounts = outputs.value(1);
    if (slotModels)
        *slotModels = outputs.value(2);
}

QVariant NetClient::CrateProperty(const QString &propertyName)
{
    return read(PlanStep::crateProperty(propertyName));
}

QVariant NetClient::ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch)
{
    return read(PlanStep::paramValue(slot, parName, ch));
}

void NetClient::SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value)
{
    call(writeRequest(slot, parName, ch, value));
}

QVariant NetClient::ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                                   std::optional<qint16> ch)
{
    return read(PlanStep::paramAttribute(slot, parName, propertyName, ch));
}

QString NetClient::ChannelName(qint16 slot, qint16 ch)
{
    return read(PlanStep::channelName(slot, ch)).toString();
}

void NetClient::SetChannelName(qint16 slot, qint16 ch, const QString &name)
{
    call(nameRequest(slot, ch, name));
}

QStringList NetClient::ListChannelParams(qint16 slot, qint16 ch)
{
    return read(PlanStep::listChannelParams(slot, ch)).toStringList();
}

void NetClient::runPlan(const std::shared_ptr<ReadPlan> &plan)
{
    if (plan->isEmpty()) {
        plan->finish();
        return;
    }
    // Plans wait their turn here while the crate has enough on its hands (PlanGate).
    m_waiting.push_back(plan);
    releasePlans();
}

void NetClient::releasePlans()
{
    while (!m_waiting.empty() && m_gate.mayRelease(m_waiting.front()->size())) {
        std::shared_ptr<ReadPlan> plan = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (!plan->contextAlive())
            continue; // its window closed while it waited
        Pending pending;
        pending.plan = plan;
        const QByteArray &steps = encodedSteps(*plan);
        const qint64 id = sendPending(std::move(pending), [&steps](qint64 id) { return encodePlanFrame(id, steps); });
        if (id > 0)
            m_gate.released(id, plan->size(), plan->context(), m_clock.nsecsElapsed() / 1000);
    }
    // The pace the windows get, for the status line: said while plans have to wait.
    session().notePace(m_waiting.empty() ? 0 : m_gate.periodMs());
}

const QByteArray &NetClient::encodedSteps(const ReadPlan &plan)
{
    // A window asks for the same reads tick after tick: they are encoded again only when they change.
    QObject *window = plan.context();
    if (!window)
        return m_scratchSteps = encodePlanSteps(plan.steps());
    EncodedPlan &cached = m_encoded[window];
    if (cached.window != window || cached.steps != plan.steps()) {
        if (!cached.window)
            connect(window, &QObject::destroyed, this, [this, window] { m_encoded.remove(window); });
        cached.window = window;
        cached.steps = plan.steps();
        cached.encoded = encodePlanSteps(cached.steps);
    }
    return cached.encoded;
}

void NetClient::postParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value,
                               QObject *context, WriteDone done)
{
    Pending pending;
    pending.done = whileAlive(context, std::move(done));
    QCborMap request;
    try {
        request = writeRequest(slot, parName, ch, value);
    } catch (const HVError &e) {
        ReplyBook::fail(std::move(pending), e);
        return;
    }
    sendPending(std::move(pending), framed(std::move(request)));
}

void NetClient::postChannelName(qint16 slot, qint16 ch, const QString &name, QObject *context, WriteDone done)
{
    Pending pending;
    pending.done = whileAlive(context, std::move(done));
    sendPending(std::move(pending), framed(nameRequest(slot, ch, name)));
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

NetClient::Encoder NetClient::framed(QCborMap request)
{
    return [request = std::move(request)](qint64 id) mutable {
        request.insert(Key::Id, id);
        return encodeFrame(request);
    };
}

qint64 NetClient::send(const Encoder &encode)
{
    if (m_state != State::Open || !m_socket)
        throw notOpenError();
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        dropLink(QString());
        throw notOpenError();
    }
    const qint64 id = m_book.nextId();
    const QByteArray frame = encode(id);
    if (!fitsLimit(frame))
        throw HVError(QStringLiteral("Request too large: %1 bytes (limit %2)")
                          .arg(frame.size() - HeaderSize)
                          .arg(MaxFrameSize));
    m_book.sent(id);
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
    return call(framed(std::move(request)));
}

QCborMap NetClient::call(const Encoder &encode)
{
    return awaitReply(send(encode));
}

QCborMap NetClient::awaitReply(qint64 id)
{
    m_book.waitFor(id);
    const auto done = qScopeGuard([this] { m_book.stopWaiting(); });
    // The deadline holds whatever arrives meanwhile: answers to other requests
    // are taken in and handed on later, stale ones dropped, and the deadline is
    // looked at between every piece read.
    const QDeadlineTimer deadline(m_replyTimeoutMs);
    for (;;) {
        onReadyRead();
        if (m_book.waitedReply())
            break;
        if (m_state != State::Open)
            throw notOpenError();
        if (deadline.hasExpired())
            throw HVError::link(QStringLiteral("No answer from the crate within %1").arg(seconds(m_replyTimeoutMs)),
                                m_outage);
        QSslSocket *socket = m_socket;
        if (socket->bytesAvailable() > 0)
            continue;
        const bool more = socket->waitForReadyRead(int(std::max<qint64>(0, deadline.remainingTime())));
        if (!more && m_socket == socket && socket->state() != QAbstractSocket::ConnectedState
            && socket->bytesAvailable() == 0)
            dropLink(QString());
    }
    const QCborMap reply = *m_book.waitedReply();
    const QCborValue error = reply.value(Key::Error);
    if (!error.isUndefined())
        throw ReplyBook::refusal(error);
    return reply;
}

QVariant NetClient::read(const PlanStep &step)
{
    return decodeReply(step, call([&step](qint64 id) { return encodeReadFrame(id, step); }));
}

qint64 NetClient::sendPending(Pending pending, const Encoder &encode)
{
    try {
        pending.id = send(encode);
    } catch (const HVError &e) {
        ReplyBook::fail(std::move(pending), e);
        return 0;
    }
    const qint64 id = pending.id;
    pending.deadline = QDeadlineTimer(m_replyTimeoutMs);
    pending.sentUs = m_clock.nsecsElapsed() / 1000;
    m_book.add(std::move(pending));
    armTimeout();
    return id;
}

void NetClient::onReadyRead()
{
    if (!m_socket)
        return;
    if (m_socket->bytesAvailable() > 0)
        m_reader.append(m_socket->read(ReadChunk));
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
    ReplyBook::Taken taken = m_book.take(frame);
    switch (taken.kind) {
    case ReplyBook::Taken::Kind::Stale:
    case ReplyBook::Taken::Kind::Waited:
        return;
    case ReplyBook::Taken::Kind::Lost:
        dropLink(taken.reason);
        return;
    case ReplyBook::Taken::Kind::Answer: {
        const qint64 now = m_clock.nsecsElapsed() / 1000;
        if (taken.pending.plan) {
            m_gate.answered(taken.pending.id, now);
            releasePlans();
        } else {
            m_gate.singleAnswered(now - taken.pending.sentUs);
        }
        armTimeout();
        // Handed on from the event loop, never from inside the socket's own signal
        // or a waiting call: what a window does with it may well call us again.
        later([pending = std::move(taken.pending), reply = taken.reply]() mutable {
            ReplyBook::deliver(std::move(pending), reply);
        });
        return;
    }
    }
}

void NetClient::later(std::function<void()> f)
{
    if (m_proving) {
        m_held.push_back(std::move(f));
        return;
    }
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
    const std::optional<QDeadlineTimer> next = m_book.nextDeadline();
    if (!next)
        m_timeout.stop();
    else
        m_timeout.start(int(std::max<qint64>(0, next->remainingTime())));
}

void NetClient::onTimeout()
{
    const HVError overdue =
        HVError::link(QStringLiteral("No answer from the crate within %1").arg(seconds(m_replyTimeoutMs)), m_outage)
            .unanswered();
    // The link stays open: a late answer is recognised by its id and dropped.
    for (Pending &p : m_book.takeOverdue()) {
        m_gate.answered(p.id, m_clock.nsecsElapsed() / 1000, false);
        later([p = std::move(p), overdue]() mutable { ReplyBook::fail(std::move(p), overdue); });
    }
    armTimeout();
    releasePlans();
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
    std::deque<Pending> pending = m_book.takeAll();
    m_timeout.stop();
    m_gate.forgetAll();
    // Plans that never left fail as they are: nothing of them reached the crate.
    for (std::shared_ptr<ReadPlan> &plan : std::exchange(m_waiting, {}))
        later([plan, error] { plan->fail(error); });
    // They had all left: what became of them at the crate is not known.
    const HVError unanswered = error.unanswered();
    for (Pending &p : pending)
        later([p = std::move(p), unanswered]() mutable { ReplyBook::fail(std::move(p), unanswered); });
}

void NetClient::closeSocket(bool graceful)
{
    if (!m_socket)
        return;
    QSslSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    m_reader = FrameReader();
    m_certificateDigest.clear();
    if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
        // What was written still leaves; the socket goes once it is closed, or after the time-out.
        QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(m_replyTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        return;
    }
    socket->abort();
    // We may be inside one of its signals or waits: it goes once they are over.
    socket->deleteLater();
}

QString NetClient::lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}
