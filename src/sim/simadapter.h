#pragma once

#include "hvpowersupply.h"

class SimCrate;

// HVPowerSupply implemented directly on a SimCrate, for tests and benchmarks
// (no network). Login checks nothing and Logout does nothing; after Logout
// further calls still work unless constructed with failAfterLogout = true.
class SimAdapter : public HVPowerSupply
{
public:
    explicit SimAdapter(SimCrate &crate, bool failAfterLogout = false);

    void Login(const QString &userName, const QString &password, qint32 reserved,
               const QString &address) override;
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

    bool loggedIn() const { return m_loggedIn; }

private:
    void checkUsable() const; // throws after Logout when failAfterLogout

    SimCrate &m_crate;        // the shared crate
    bool m_failAfterLogout;   // calls after Logout throw
    bool m_loggedIn = false;  // between Login and Logout
    bool m_loggedOut = false; // Logout came after the last Login
};
