#include "simadapter.h"

#include "hverror.h"
#include "simcrate.h"

SimAdapter::SimAdapter(SimCrate &crate, bool failAfterLogout)
    : m_crate(crate), m_failAfterLogout(failAfterLogout)
{
}

void SimAdapter::checkUsable() const
{
    if (m_failAfterLogout && m_loggedOut)
        throw HVError(QStringLiteral("not connected"));
}

void SimAdapter::Login(const QString &, const QString &, qint32, const QString &)
{
    m_loggedIn = true;
    m_loggedOut = false;
}

void SimAdapter::Logout()
{
    m_loggedIn = false;
    m_loggedOut = true;
}

void SimAdapter::QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels)
{
    checkUsable();
    if (slotCount)
        *slotCount = m_crate.slotCount();
    if (channelCounts)
        *channelCounts = m_crate.channelCounts();
    if (slotModels)
        *slotModels = m_crate.slotModels();
}

QVariant SimAdapter::CrateProperty(const QString &propertyName)
{
    checkUsable();
    return m_crate.crateProperty(propertyName);
}

QVariant SimAdapter::ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch)
{
    checkUsable();
    return m_crate.paramValue(slot, parName, ch ? std::optional<int>(*ch) : std::nullopt);
}

void SimAdapter::SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value)
{
    checkUsable();
    m_crate.setParamValue(slot, parName, ch, value);
}

QVariant SimAdapter::ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                                    std::optional<qint16> ch)
{
    checkUsable();
    return m_crate.paramAttribute(slot, parName, propertyName, ch ? std::optional<int>(*ch) : std::nullopt);
}

QString SimAdapter::ChannelName(qint16 slot, qint16 ch)
{
    checkUsable();
    return m_crate.channelName(slot, ch);
}

void SimAdapter::SetChannelName(qint16 slot, qint16 ch, const QString &name)
{
    checkUsable();
    m_crate.setChannelName(slot, ch, name);
}

QStringList SimAdapter::ListChannelParams(qint16 slot, qint16 ch)
{
    checkUsable();
    return m_crate.listChannelParams(slot, ch);
}
