#pragma once

#include "helpers.h"
#include "hverror.h"
#include "hvpowersupply.h"

#include <QHash>
#include <QRegularExpression>
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
    QStringList calls;
    QStringList failOn;
    bool loginFails = false;
    QString fingerprint; // what linkFingerprint() tells
    std::function<void(const QString &entry)> onCall; // told of every call as it is logged

    int slotCount = 16;
    QVariantList channelCounts = QVariantList(16, 0); // per slot
    QVariantList slotModels = QVariantList(16, QString()); // per slot
    QHash<QString, QVariant> crateProperties{{QStringLiteral("ModelName"), QStringLiteral("FAKE-CRATE")},
        {QStringLiteral("SwRelease"), QStringLiteral("0.0")}, {QStringLiteral("FrontPanIn"), 0}, {QStringLiteral("FrontPanOut"), 0}};

    // Optional hooks; when unset, reads return the values noted.
    std::function<QVariant(qint16 slot, const QString &par, std::optional<qint16> ch)> paramValue; // 0
    std::function<QVariant(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch)>
        paramAttribute;                                                  // "Unit" -> "V", else 0
    std::function<QString(qint16 slot, qint16 ch)> channelName;          // "CH<ch>"
    std::function<QStringList(qint16 slot, qint16 ch)> channelParams;    // empty

    // Puts a board in a slot (an empty model and no channels: pulls it).
    void setBoard(int slot, const QString &model, int channels)
    {
        while (slotModels.size() <= slot) {
            slotModels << QString();
            channelCounts << 0;
        }
        slotModels[slot] = model;
        channelCounts[slot] = channels;
    }
    // Calls whose log entry starts with the prefix.
    QStringList callsStartingWith(const QString &prefix) const
    {
        return calls.filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(prefix)));
    }
    void clear() { calls.clear(); }

    void Login(const QString &user, const QString &password, qint32 reserved, const QString &address) override
    {
        log(QStringLiteral("Login(%1,%2,%3,%4)").arg(user, password).arg(reserved).arg(address));
        if (loginFails)
            throw HVError(QStringLiteral("Wrong user name or password"));
    }
    void Logout() override { log(QStringLiteral("Logout()")); }
    void QuerySlots(QVariant *count, QVariant *channels, QVariant *models) override
    {
        QStringList outs;
        for (const auto &[out, name] : {std::pair{count, "SlotCount"}, {channels, "ChannelCounts"}, {models, "SlotModels"}})
            if (out)
                outs << QLatin1String(name);
        log(QStringLiteral("QuerySlots(%1)").arg(outs.join(',')));
        if (count) *count = slotCount;
        if (channels) *channels = channelCounts;
        if (models) *models = slotModels;
    }
    QVariant CrateProperty(const QString &name) override
    {
        log(QStringLiteral("CrateProperty(%1)").arg(name));
        return crateProperties.value(name);
    }
    QVariant ParamValue(qint16 slot, const QString &par, std::optional<qint16> ch) override
    {
        log(QStringLiteral("ParamValue(%1,%2%3)").arg(slot).arg(par, chPart(ch)));
        return paramValue ? paramValue(slot, par, ch) : QVariant(0);
    }
    void SetParamValue(qint16 slot, const QString &par, qint16 ch, const QVariant &value) override
    {
        log(QStringLiteral("SetParamValue(%1,%2,%3,%4:%5)")
                .arg(slot).arg(par).arg(ch).arg(value.toString(), QString::fromLatin1(value.typeName())));
    }
    QVariant ParamAttribute(qint16 slot, const QString &par, const QString &prop, std::optional<qint16> ch) override
    {
        log(QStringLiteral("ParamAttribute(%1,%2,%3%4)").arg(slot).arg(par, prop, chPart(ch)));
        if (paramAttribute)
            return paramAttribute(slot, par, prop, ch);
        return prop == QLatin1String("Unit") ? QVariant(QStringLiteral("V")) : QVariant(0);
    }
    QString ChannelName(qint16 slot, qint16 ch) override
    {
        log(QStringLiteral("ChannelName(%1,%2)").arg(slot).arg(ch));
        return channelName ? channelName(slot, ch) : QStringLiteral("CH%1").arg(ch);
    }
    void SetChannelName(qint16 slot, qint16 ch, const QString &name) override
    {
        log(QStringLiteral("SetChannelName(%1,%2,%3)").arg(slot).arg(ch).arg(name));
    }
    QStringList ListChannelParams(qint16 slot, qint16 ch) override
    {
        log(QStringLiteral("ListChannelParams(%1,%2)").arg(slot).arg(ch));
        return channelParams ? channelParams(slot, ch) : QStringList();
    }
    QString linkFingerprint() const override { return fingerprint; }

private:
    static QString chPart(std::optional<qint16> ch) { return ch ? QStringLiteral(",%1").arg(*ch) : QString(); }
    void log(const QString &entry)
    {
        calls << entry;
        if (onCall)
            onCall(entry);
        for (const QString &p : failOn)
            if (entry.startsWith(p))
                throw HVError(QStringLiteral("fake failure in %1").arg(entry));
    }
};


// The message f throws, or "" when it succeeds.
inline QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const HVError &e) {
        return e.message();
    }
    return QString();
}

