#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// Everything the application knows of the crate passes through this interface.
// Calls are synchronous and made on the GUI thread, one at a time; every
// failure throws HVError. An omitted channel (std::nullopt) addresses the board.
//
// Value conventions:
//  - QuerySlots: SlotCount is an int; ChannelCounts a QVariantList of int and
//    SlotModels a QVariantList of QString, both indexed by slot; "" is an empty slot.
//  - ParamValue / ParamAttribute return numbers as double or int, texts as QString.
//  - Writes of on/off parameters carry qint16 1 or 0, numeric setpoints a double.
class HVPowerSupply
{
public:
    virtual ~HVPowerSupply() = default;

    virtual void Login(const QString &userName, const QString &password, qint32 reserved,
                       const QString &address) = 0;
    virtual void Logout() = 0;

    // Fills only the outputs that are not nullptr.
    virtual void QuerySlots(QVariant *slotCount, QVariant *channelCounts, QVariant *slotModels) = 0;

    virtual QVariant CrateProperty(const QString &propertyName) = 0;

    virtual QVariant ParamValue(qint16 slot, const QString &parName,
                                std::optional<qint16> ch = std::nullopt) = 0;
    virtual void SetParamValue(qint16 slot, const QString &parName, qint16 ch,
                               const QVariant &value) = 0;

    virtual QVariant ParamAttribute(qint16 slot, const QString &parName, const QString &propertyName,
                                    std::optional<qint16> ch = std::nullopt) = 0;

    virtual QString ChannelName(qint16 slot, qint16 ch) = 0;
    virtual void SetChannelName(qint16 slot, qint16 ch, const QString &name) = 0;

    virtual QStringList ListChannelParams(qint16 slot, qint16 ch) = 0;
};
