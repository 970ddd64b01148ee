#include "fakehv.h"

#include "hverror.h"

namespace {
QString chPart(std::optional<qint16> ch)
{
    return ch ? QStringLiteral(",%1").arg(*ch) : QString();
}
} // namespace

FakeHV::FakeHV() : channelCounts(16, 0), slotModels(16, QString())
{
    crateProperties.insert(QStringLiteral("ModelName"), QStringLiteral("FAKE-CRATE"));
    crateProperties.insert(QStringLiteral("SwRelease"), QStringLiteral("0.0"));
    crateProperties.insert(QStringLiteral("FrontPanIn"), 0);
    crateProperties.insert(QStringLiteral("FrontPanOut"), 0);
}

void FakeHV::setBoard(int slot, const QString &model, int channels)
{
    while (slotModels.size() <= slot) {
        slotModels << QString();
        channelCounts << 0;
    }
    slotModels[slot] = model;
    channelCounts[slot] = channels;
}

QStringList FakeHV::callsStartingWith(const QString &prefix) const
{
    QStringList out;
    for (const QString &c : calls)
        if (c.startsWith(prefix))
            out << c;
    return out;
}

void FakeHV::log(const QString &entry)
{
    calls << entry;
    for (const QString &p : failOn)
        if (entry.startsWith(p))
            throw HVError(QStringLiteral("fake failure in %1").arg(entry));
}

void FakeHV::Login(const QString &userName, const QString &password, qint32 reserved, const QString &address)
{
    log(QStringLiteral("Login(%1,%2,%3,%4)").arg(userName, password).arg(reserved).arg(address));
    if (loginFails)
        throw HVError(QStringLiteral("Wrong user name or password"));
}

void FakeHV::Logout()
{
    log(QStringLiteral("Logout()"));
}

void FakeHV::QuerySlots(QVariant *count, QVariant *channels, QVariant *models)
{
    QStringList outs;
    if (count) outs << QStringLiteral("SlotCount");
    if (channels) outs << QStringLiteral("ChannelCounts");
    if (models) outs << QStringLiteral("SlotModels");
    log(QStringLiteral("QuerySlots(%1)").arg(outs.join(',')));
    if (count) *count = slotCount;
    if (channels) *channels = channelCounts;
    if (models) *models = slotModels;
}

QVariant FakeHV::CrateProperty(const QString &propertyName)
{
    log(QStringLiteral("CrateProperty(%1)").arg(propertyName));
    return crateProperties.value(propertyName);
}

QVariant FakeHV::ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch)
{
    log(QStringLiteral("ParamValue(%1,%2%3)").arg(slot).arg(parName, chPart(ch)));
    return paramValue ? paramValue(slot, parName, ch) : QVariant(0);
}

void FakeHV::SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value)
{
    log(QStringLiteral("SetParamValue(%1,%2,%3,%4:%5)")
            .arg(slot).arg(parName).arg(ch).arg(value.toString(), QString::fromLatin1(value.typeName())));
}

QVariant FakeHV::ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                                std::optional<qint16> ch)
{
    log(QStringLiteral("ParamAttribute(%1,%2,%3%4)").arg(slot).arg(parName, propertyName, chPart(ch)));
    if (paramAttribute)
        return paramAttribute(slot, parName, propertyName, ch);
    if (propertyName == QLatin1String("Unit"))
        return QStringLiteral("V");
    return 0;
}

QString FakeHV::ChannelName(qint16 slot, qint16 ch)
{
    log(QStringLiteral("ChannelName(%1,%2)").arg(slot).arg(ch));
    return channelName ? channelName(slot, ch) : QStringLiteral("CH%1").arg(ch);
}

void FakeHV::SetChannelName(qint16 slot, qint16 ch, const QString &name)
{
    log(QStringLiteral("SetChannelName(%1,%2,%3)").arg(slot).arg(ch).arg(name));
}

QStringList FakeHV::ListChannelParams(qint16 slot, qint16 ch)
{
    log(QStringLiteral("ListChannelParams(%1,%2)").arg(slot).arg(ch));
    return channelParams ? channelParams(slot, ch) : QStringList();
}
