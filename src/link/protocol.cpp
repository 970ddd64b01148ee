#include "protocol.h"

#include "hverror.h"
#include "readplan.h"
#include "scram.h"

#include <QCborArray>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <limits>

namespace Protocol {

namespace {
// The length header in front of a payload.
QByteArray framed(const QByteArray &payload)
{
    QByteArray frame(HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    frame.append(payload);
    return frame;
}
} // namespace

QByteArray encodeFrame(const QCborMap &message)
{
    return framed(message.toCborValue().toCbor());
}

QString clip(const QString &text, int max)
{
    if (text.size() <= max)
        return text;
    return QStringLiteral("%1... (%2 characters)").arg(text.left(max)).arg(text.size());
}

bool isNonce(const QByteArray &nonce)
{
    if (nonce.size() < 8 || nonce.size() > 128)
        return false;
    return std::all_of(nonce.cbegin(), nonce.cend(), [](char c) { return c > 0x20 && c < 0x7f && c != ','; });
}

Challenge decodeChallenge(const QCborMap &reply, const QByteArray &clientNonce)
{
    const QCborValue nonce = reply.value(Key::Nonce);
    const QCborValue salt = reply.value(Key::Salt);
    const QCborValue iterations = reply.value(Key::Iterations);
    if (!nonce.isString() || !salt.isByteArray() || !iterations.isInteger())
        throw HVError::link(QStringLiteral("The crate's login challenge is not one"));
    Challenge c{nonce.toString().toLatin1(), salt.toByteArray(), 0};
    if (!isNonce(c.nonce) || c.nonce.size() <= clientNonce.size() || !c.nonce.startsWith(clientNonce)
        || c.salt.size() > 128)
        throw HVError::link(QStringLiteral("The crate's login challenge does not answer this login"));
    // Weak keys would let a machine posing as the crate guess the password from the proof: none is sent.
    if (iterations.toInteger() < Scram::MinIterations)
        throw HVError::link(QStringLiteral("The crate asks for only %1 key rounds, fewer than the %2 this client "
                                           "requires; it may be a machine posing as the crate, so no proof was sent")
                                .arg(iterations.toInteger())
                                .arg(Scram::MinIterations));
    if (c.salt.size() < Scram::MinSaltSize)
        throw HVError::link(QStringLiteral("The crate's salt is only %1 bytes, fewer than the %2 this client requires; "
                                           "it may be a machine posing as the crate, so no proof was sent")
                                .arg(c.salt.size())
                                .arg(Scram::MinSaltSize));
    if (iterations.toInteger() > Scram::MaxIterations)
        throw HVError::link(QStringLiteral("The crate asks for %1 key rounds; %2 to %3 are accepted")
                                .arg(iterations.toInteger())
                                .arg(Scram::MinIterations)
                                .arg(Scram::MaxIterations));
    c.iterations = int(iterations.toInteger());
    return c;
}

QCborValue toCbor(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QCborValue(QCborValue::Null);
    case QMetaType::Bool:
        return QCborValue(value.toBool());
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QCborValue(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u <= qulonglong(std::numeric_limits<qint64>::max()))
            return QCborValue(qint64(u));
        return QCborValue(double(u));
    }
    case QMetaType::Float:
    case QMetaType::Double:
        return QCborValue(value.toDouble());
    case QMetaType::QString:
        return QCborValue(value.toString());
    case QMetaType::QStringList: {
        QCborArray array;
        for (const QString &s : value.toStringList())
            array.append(s);
        return array;
    }
    case QMetaType::QVariantList: {
        QCborArray array;
        for (const QVariant &v : value.toList())
            array.append(toCbor(v));
        return array;
    }
    default:
        throw HVError(QStringLiteral("A value of type %1 cannot be sent to the crate")
                          .arg(QString::fromLatin1(value.typeName())));
    }
}

QVariant fromCbor(const QCborValue &value)
{
    switch (value.type()) {
    case QCborValue::Integer: {
        const qint64 i = value.toInteger();
        if (i >= std::numeric_limits<int>::min() && i <= std::numeric_limits<int>::max())
            return QVariant(int(i));
        return QVariant(qlonglong(i));
    }
    case QCborValue::Double:
        return QVariant(value.toDouble());
    case QCborValue::String:
        return QVariant(value.toString());
    case QCborValue::True:
    case QCborValue::False:
        return QVariant(value.toBool());
    case QCborValue::Null:
    case QCborValue::Undefined:
        return QVariant();
    case QCborValue::Array: {
        QVariantList list;
        const QCborArray array = value.toArray();
        list.reserve(array.size());
        for (const QCborValue &v : array)
            list.append(fromCbor(v));
        return list;
    }
    default:
        throw HVError(QStringLiteral("Unsupported value of CBOR type %1").arg(int(value.type())));
    }
}

void malformed(const QString &what)
{
    throw HVError(QStringLiteral("Malformed request: %1").arg(what));
}

qint16 shortArg(const QCborMap &request, const QString &key)
{
    return shortValue(request.value(key), key);
}

qint16 shortValue(const QCborValue &v, const QString &key)
{
    if (!v.isInteger())
        malformed(QStringLiteral("'%1' must be an integer").arg(key));
    const qint64 i = v.toInteger();
    if (i < std::numeric_limits<qint16>::min() || i > std::numeric_limits<qint16>::max())
        malformed(QStringLiteral("'%1' = %2 is outside -32768..32767").arg(key).arg(i));
    return qint16(i);
}

QString textArg(const QCborMap &request, const QString &key)
{
    const QCborValue v = request.value(key);
    if (!v.isString())
        malformed(QStringLiteral("'%1' must be a text").arg(key));
    return v.toString();
}

namespace {

std::optional<qint16> optionalChannel(const QCborMap &request)
{
    if (!request.contains(Key::Ch) || request.value(Key::Ch).isNull())
        return std::nullopt;
    return shortArg(request, Key::Ch);
}

// An index of an earlier step of the plan.
int earlierStep(const QCborValue &v, int index, const QString &key)
{
    if (!v.isInteger() || v.toInteger() < 0 || v.toInteger() >= index)
        malformed(QStringLiteral("'%1' must name an earlier step").arg(key));
    return int(v.toInteger());
}

const QString &opName(PlanStep::Op op)
{
    switch (op) {
    case PlanStep::Op::QuerySlots: return Op::QuerySlots;
    case PlanStep::Op::CrateProperty: return Op::CrateProperty;
    case PlanStep::Op::ParamValue: return Op::ParamValue;
    case PlanStep::Op::ParamAttribute: return Op::ParamAttribute;
    case PlanStep::Op::ChannelName: return Op::ChannelName;
    case PlanStep::Op::ListChannelParams: return Op::ListChannelParams;
    }
    Q_UNREACHABLE();
}

[[noreturn]] void badAnswer(const PlanStep &step, const QString &what)
{
    throw HVError(QStringLiteral("The crate answered %1 with %2").arg(opName(step.op), what));
}

} // namespace

bool isReadOp(const QString &op)
{
    return op == Op::QuerySlots || op == Op::CrateProperty || op == Op::ParamValue || op == Op::ParamAttribute
           || op == Op::ChannelName || op == Op::ListChannelParams;
}

namespace {

// Writes a step as a CBOR map straight into the stream: a plan of hundreds of
// reads is encoded on every tick, and building QCborMaps first costs far more.
// A single read carries its request id as well.
void writeStep(QCborStreamWriter &w, const PlanStep &step, std::optional<qint64> id = std::nullopt)
{
    const auto key = [&w](const QString &k) { w.append(k); };
    const bool guarded = step.whenStep >= 0;
    int fields = 1 + (guarded ? 1 : 0) + (id ? 1 : 0);
    switch (step.op) {
    case PlanStep::Op::QuerySlots: fields += 3; break;
    case PlanStep::Op::CrateProperty: fields += 1; break;
    case PlanStep::Op::ParamAttribute: fields += 4; break; // prop, slot, ch and par or eachOf
    case PlanStep::Op::ParamValue: fields += 3; break;
    case PlanStep::Op::ChannelName:
    case PlanStep::Op::ListChannelParams: fields += 2; break;
    }
    w.startMap(fields);
    key(Key::Op);
    w.append(opName(step.op));
    if (id) {
        key(Key::Id);
        w.append(*id);
    }
    switch (step.op) {
    case PlanStep::Op::QuerySlots:
        key(Key::SlotCount);
        w.append(bool(step.outputs & PlanStep::SlotCount));
        key(Key::ChannelCounts);
        w.append(bool(step.outputs & PlanStep::ChannelCounts));
        key(Key::SlotModels);
        w.append(bool(step.outputs & PlanStep::SlotModels));
        break;
    case PlanStep::Op::CrateProperty:
        key(Key::Name);
        w.append(step.par);
        break;
    case PlanStep::Op::ParamAttribute:
    case PlanStep::Op::ParamValue:
        key(Key::Slot);
        w.append(step.slot);
        if (step.eachOf >= 0) {
            key(Key::EachOf);
            w.append(step.eachOf);
        } else {
            key(Key::Par);
            w.append(step.par);
        }
        if (step.op == PlanStep::Op::ParamAttribute) {
            key(Key::Prop);
            w.append(step.prop);
        }
        key(Key::Ch);
        if (step.ch)
            w.append(*step.ch);
        else
            w.append(nullptr);
        break;
    case PlanStep::Op::ChannelName:
    case PlanStep::Op::ListChannelParams:
        key(Key::Slot);
        w.append(step.slot);
        key(Key::Ch);
        w.append(step.ch.value_or(0));
        break;
    }
    if (guarded) {
        key(Key::When);
        w.startArray(step.whenChannel ? 3 : 2);
        w.append(step.whenStep);
        w.append(step.whenSlot);
        if (step.whenChannel)
            w.append(*step.whenChannel);
        w.endArray();
    }
    w.endMap();
}

} // namespace

QByteArray encodeReadFrame(qint64 id, const PlanStep &step)
{
    QByteArray payload;
    {
        QCborStreamWriter w(&payload);
        writeStep(w, step, id);
    }
    return framed(payload);
}

QByteArray encodePlanSteps(const QVector<PlanStep> &steps)
{
    QByteArray out;
    QCborStreamWriter w(&out);
    w.startArray(quint64(steps.size()));
    for (const PlanStep &s : steps)
        writeStep(w, s);
    w.endArray();
    return out;
}

QByteArray encodePlanFrame(qint64 id, const QByteArray &encodedSteps)
{
    QByteArray payload;
    {
        // The map's last value is the steps' array, already encoded: it follows the key as it is.
        QCborStreamWriter w(&payload);
        w.startMap(3);
        w.append(Key::Op);
        w.append(Op::Plan);
        w.append(Key::Id);
        w.append(id);
        w.append(Key::Steps);
    }
    payload += encodedSteps;
    return framed(payload);
}

QByteArray encodePlanFrame(qint64 id, const QVector<PlanStep> &steps)
{
    return encodePlanFrame(id, encodePlanSteps(steps));
}

PlanStep decodeStep(const QCborMap &request, int index)
{
    const QCborValue opValue = request.value(Key::Op);
    if (!opValue.isString())
        malformed(QStringLiteral("'op' must be a text"));
    const QString op = opValue.toString();
    PlanStep s;
    if (op == Op::QuerySlots) {
        s.op = PlanStep::Op::QuerySlots;
        s.outputs = quint8((request.value(Key::SlotCount).toBool() ? PlanStep::SlotCount : 0)
                           | (request.value(Key::ChannelCounts).toBool() ? PlanStep::ChannelCounts : 0)
                           | (request.value(Key::SlotModels).toBool() ? PlanStep::SlotModels : 0));
    } else if (op == Op::CrateProperty) {
        s.op = PlanStep::Op::CrateProperty;
        s.par = textArg(request, Key::Name);
    } else if (op == Op::ParamValue || op == Op::ParamAttribute) {
        s.op = op == Op::ParamValue ? PlanStep::Op::ParamValue : PlanStep::Op::ParamAttribute;
        s.slot = shortArg(request, Key::Slot);
        s.ch = optionalChannel(request);
        if (s.op == PlanStep::Op::ParamAttribute) {
            s.prop = textArg(request, Key::Prop);
            if (request.contains(Key::EachOf))
                s.eachOf = earlierStep(request.value(Key::EachOf), index, Key::EachOf);
        }
        if (s.eachOf < 0)
            s.par = textArg(request, Key::Par);
    } else if (op == Op::ChannelName || op == Op::ListChannelParams) {
        s.op = op == Op::ChannelName ? PlanStep::Op::ChannelName : PlanStep::Op::ListChannelParams;
        s.slot = shortArg(request, Key::Slot);
        s.ch = shortArg(request, Key::Ch);
    } else {
        malformed(QStringLiteral("'%1' is not a read").arg(op.left(40)));
    }
    if (request.contains(Key::When)) {
        const QCborArray when = request.value(Key::When).toArray();
        if (when.size() < 2 || when.size() > 3)
            malformed(QStringLiteral("'when' must be [step, slot] or [step, slot, channel]"));
        s.whenStep = earlierStep(when.at(0), index, Key::When);
        s.whenSlot = shortValue(when.at(1), Key::Slot);
        if (when.size() == 3)
            s.whenChannel = shortValue(when.at(2), Key::Ch);
    }
    return s;
}

QVector<PlanStep> decodePlan(const QCborValue &value)
{
    if (!value.isArray())
        malformed(QStringLiteral("'steps' must be a list"));
    const QCborArray array = value.toArray();
    if (array.isEmpty() || array.size() > MaxPlanSteps)
        malformed(QStringLiteral("a plan holds 1 to %1 steps, not %2").arg(MaxPlanSteps).arg(array.size()));
    QVector<PlanStep> steps;
    steps.reserve(array.size());
    for (int i = 0; i < array.size(); ++i) {
        if (!array.at(i).isMap())
            malformed(QStringLiteral("step %1 is not a map").arg(i));
        PlanStep s = decodeStep(array.at(i).toMap(), i);
        if (s.whenStep >= 0 && steps[s.whenStep].op != PlanStep::Op::QuerySlots)
            malformed(QStringLiteral("step %1 is guarded by a step that is not querySlots").arg(i));
        if (s.eachOf >= 0 && steps[s.eachOf].op != PlanStep::Op::ListChannelParams)
            malformed(QStringLiteral("step %1 lists from a step that is not listChannelParams").arg(i));
        steps.append(std::move(s));
    }
    return steps;
}

QCborValue encodeAnswer(const PlanStep &step, const PlanAnswer &answer)
{
    if (answer.skipped)
        return QCborValue(QCborValue::Undefined);
    if (step.op == PlanStep::Op::QuerySlots) {
        const QVariantList out = answer.value.toList();
        QCborMap m;
        if (step.outputs & PlanStep::SlotCount)
            m.insert(Key::SlotCount, toCbor(out.value(0)));
        if (step.outputs & PlanStep::ChannelCounts)
            m.insert(Key::ChannelCounts, toCbor(out.value(1)));
        if (step.outputs & PlanStep::SlotModels)
            m.insert(Key::SlotModels, toCbor(out.value(2)));
        return m;
    }
    return toCbor(answer.value);
}

PlanAnswer decodeAnswer(const PlanStep &step, const QCborValue &value)
{
    PlanAnswer a;
    if (value.isUndefined()) {
        if (step.whenStep < 0)
            badAnswer(step, QStringLiteral("nothing"));
        a.skipped = true;
        return a;
    }
    switch (step.op) {
    case PlanStep::Op::QuerySlots: {
        if (!value.isMap())
            badAnswer(step, QStringLiteral("something else than a map"));
        const QCborMap m = value.toMap();
        QVariantList out{QVariant(), QVariant(), QVariant()};
        const std::pair<PlanStep::Output, QString> outputs[] = {{PlanStep::SlotCount, Key::SlotCount},
                                                                {PlanStep::ChannelCounts, Key::ChannelCounts},
                                                                {PlanStep::SlotModels, Key::SlotModels}};
        for (int i = 0; i < 3; ++i) {
            if (!(step.outputs & outputs[i].first))
                continue;
            if (!m.contains(outputs[i].second))
                throw HVError(QStringLiteral("The crate's answer lacks %1").arg(outputs[i].second));
            out[i] = fromCbor(m.value(outputs[i].second));
        }
        a.value = out;
        break;
    }
    case PlanStep::Op::ChannelName:
        if (!value.isString())
            badAnswer(step, QStringLiteral("something else than a text"));
        a.value = value.toString();
        break;
    case PlanStep::Op::ListChannelParams: {
        QStringList names;
        bool texts = value.isArray();
        for (const QCborValue &v : value.toArray()) {
            texts = texts && v.isString();
            names << v.toString();
        }
        if (!texts)
            badAnswer(step, QStringLiteral("something else than a list of texts"));
        a.value = names;
        break;
    }
    default:
        if (step.eachOf >= 0 && !value.isArray())
            badAnswer(step, QStringLiteral("something else than a list"));
        a.value = fromCbor(value);
        break;
    }
    return a;
}

QVariant decodeReply(const PlanStep &step, const QCborMap &reply)
{
    return decodeAnswer(step, step.op == PlanStep::Op::QuerySlots ? QCborValue(reply) : reply.value(Key::Value))
        .value;
}

std::optional<quint32> parseAddress(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3
            || !std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return std::nullopt;
        const int value = part.toInt(nullptr, 10);
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | quint32(value);
    }
    return address;
}

QString fingerprint(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString seconds(int ms)
{
    return QStringLiteral("%1 s").arg(QString::number(ms / 1000.0, 'g', 3));
}

void FrameReader::append(const QByteArray &bytes)
{
    if (m_taken > 0) {
        m_buffer.remove(0, m_taken);
        m_taken = 0;
    }
    m_buffer.append(bytes);
}

FrameReader::Status FrameReader::next(QCborMap *message)
{
    if (!m_error.isEmpty())
        return Status::Error;
    const qsizetype available = bufferedBytes();
    if (available < HeaderSize)
        return Status::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + m_taken);
    if (length == 0)
        return fail(QStringLiteral("Empty frame"));
    if (length > MaxFrameSize)
        return fail(QStringLiteral("Frame of %1 bytes is larger than the limit of %2 bytes")
                        .arg(length)
                        .arg(MaxFrameSize));
    if (available < HeaderSize + qsizetype(length))
        return Status::NeedMore;

    const QByteArray payload = QByteArray::fromRawData(m_buffer.constData() + m_taken + HeaderSize, length);
    QCborStreamReader reader(payload);
    const QCborValue value = QCborValue::fromCbor(reader);
    const QCborError error = reader.lastError();
    const qint64 used = reader.currentOffset();
    m_taken += HeaderSize + length;
    if (m_taken == m_buffer.size()) {
        m_buffer.clear();
        m_taken = 0;
    }
    if (error != QCborError::NoError)
        return fail(QStringLiteral("Frame is not valid CBOR: %1").arg(error.toString()));
    if (used != length)
        return fail(QStringLiteral("Frame carries %1 bytes after its message").arg(length - used));
    if (!value.isMap())
        return fail(QStringLiteral("Frame does not hold a CBOR map"));
    *message = value.toMap();
    return Status::Frame;
}

FrameReader::Status FrameReader::fail(const QString &error)
{
    m_error = error;
    m_buffer.clear();
    m_taken = 0;
    return Status::Error;
}

} // namespace Protocol
