#pragma once

#include "hvpowersupply.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <functional>

// A recording fake of the crate. Every call is appended to `calls` in a fixed
// textual form, so tests can compare whole call sequences:
//   Login(user,pass,0,addr)   Logout()
//   QuerySlots(SlotCount,ChannelCounts,SlotModels)   (only the outputs asked for)
//   CrateProperty(FrontPanIn)
//   ParamValue(0,V0Set,3)   ParamValue(0,Temp)
//   SetParamValue(0,Pw,4,1:short)   (value:type name, e.g. 2:double)
//   ParamAttribute(0,V0Set,Exp,3)   ParamAttribute(0,Temp,Minval)
//   ChannelName(0,3)   SetChannelName(0,3,text)   ListChannelParams(0,3)
// Answers come from the public members and hooks below; a call whose log
// entry starts with any prefix in `failOn` throws HVError after being logged.
class FakeHV : public HVPowerSupply
{
public:
    FakeHV();

    QStringList calls;
    QStringList failOn;
    bool loginFails = false;
    QString fingerprint; // what linkFingerprint() tells

    int slotCount = 16;
    QVariantList channelCounts; // per slot; defaults to 16 zeros
    QVariantList slotModels;    // per slot; defaults to 16 empty texts
    QHash<QString, QVariant> crateProperties;

    // Optional hooks; when unset, reads return the values noted.
    std::function<QVariant(qint16 slot, const QString &par, std::optional<qint16> ch)> paramValue; // 0
    std::function<QVariant(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch)>
        paramAttribute;                                                  // "Unit" -> "V", else 0
    std::function<QString(qint16 slot, qint16 ch)> channelName;          // "CH<ch>"
    std::function<QStringList(qint16 slot, qint16 ch)> channelParams;    // empty

    // Convenience: put a board in a slot.
    void setBoard(int slot, const QString &model, int channels);

    // Calls whose log entry starts with the prefix.
    QStringList callsStartingWith(const QString &prefix) const;
    void clear() { calls.clear(); }

    void Login(const QString &userName, const QString &password, qint32 reserved,
               const QString &address) override;
    void Logout() override;
    void QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels) override;
    QVariant CrateProperty(const QString &propertyName) override;
    QVariant ParamValue(qint16 slot, const QString &parName, std::optional<qint16> ch) override;
    void SetParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value) override;
    QVariant ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                            std::optional<qint16> ch) override;
    QString ChannelName(qint16 slot, qint16 ch) override;
    void SetChannelName(qint16 slot, qint16 ch, const QString &name) override;
    QStringList ListChannelParams(qint16 slot, qint16 ch) override;
    QString linkFingerprint() const override { return fingerprint; }

private:
    void log(const QString &entry);
};
