#include "plotdrag.h"

#include <QCborMap>
#include <QCborValue>
#include <QMimeData>
#include <limits>

namespace PlotDrag {

namespace {
const QString KeySlot = QStringLiteral("slot");
const QString KeyChannel = QStringLiteral("channel");
const QString KeyName = QStringLiteral("name");
const QString KeySource = QStringLiteral("source");

bool fitsInt16(const QCborValue &v)
{
    return v.isInteger() && v.toInteger() >= std::numeric_limits<qint16>::min()
           && v.toInteger() <= std::numeric_limits<qint16>::max();
}
} // namespace

QMimeData *encode(const Parameter &parameter)
{
    QCborMap map;
    map.insert(KeySlot, parameter.slot);
    map.insert(KeyChannel, parameter.channel);
    map.insert(KeyName, parameter.name);
    map.insert(KeySource, parameter.sourceName);
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(MimeType), QCborValue(map).toCbor());
    return data;
}

std::optional<Parameter> decode(const QMimeData *data)
{
    if (!data || !data->hasFormat(QString::fromLatin1(MimeType)))
        return std::nullopt;
    const QCborValue value = QCborValue::fromCbor(data->data(QString::fromLatin1(MimeType)));
    if (!value.isMap())
        return std::nullopt;
    const QCborMap map = value.toMap();
    const QCborValue slot = map.value(KeySlot), channel = map.value(KeyChannel);
    const QCborValue name = map.value(KeyName), source = map.value(KeySource);
    if (!fitsInt16(slot) || !fitsInt16(channel) || !name.isString() || name.toString().isEmpty()
        || !source.isString())
        return std::nullopt;
    return Parameter{static_cast<qint16>(slot.toInteger()), static_cast<qint16>(channel.toInteger()),
                     name.toString(), source.toString()};
}

} // namespace PlotDrag
