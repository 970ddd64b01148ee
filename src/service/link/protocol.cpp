#include "protocol.h"

#include "hverror.h"

#include <QCborArray>
#include <QCborStreamReader>
#include <QStringList>
#include <QtEndian>
#include <limits>

namespace Protocol {

QByteArray encodeFrame(const QCborMap &message)
{
    const QByteArray payload = message.toCborValue().toCbor();
    QByteArray frame(HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    frame.append(payload);
    return frame;
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

QString seconds(int ms)
{
    return QStringLiteral("%1 s").arg(QString::number(ms / 1000.0, 'g', 3));
}

FrameReader::Status FrameReader::next(QCborMap *message)
{
    if (!m_error.isEmpty())
        return Status::Error;
    if (m_buffer.size() < HeaderSize)
        return Status::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData());
    if (length == 0)
        return fail(QStringLiteral("Empty frame"));
    if (length > MaxFrameSize)
        return fail(QStringLiteral("Frame of %1 bytes is larger than the limit of %2 bytes")
                        .arg(length)
                        .arg(MaxFrameSize));
    if (m_buffer.size() < HeaderSize + qsizetype(length))
        return Status::NeedMore;

    const QByteArray payload = m_buffer.mid(HeaderSize, length);
    m_buffer.remove(0, HeaderSize + length);

    QCborStreamReader reader(payload);
    const QCborValue value = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError)
        return fail(QStringLiteral("Frame is not valid CBOR: %1").arg(reader.lastError().toString()));
    if (reader.currentOffset() != payload.size())
        return fail(QStringLiteral("Frame carries %1 bytes after its message")
                        .arg(payload.size() - reader.currentOffset()));
    if (!value.isMap())
        return fail(QStringLiteral("Frame does not hold a CBOR map"));
    *message = value.toMap();
    return Status::Frame;
}

FrameReader::Status FrameReader::fail(const QString &error)
{
    m_error = error;
    m_buffer.clear();
    return Status::Error;
}

} // namespace Protocol
