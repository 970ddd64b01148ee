#pragma once

#include "cratesession.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class HVError;
class QObject;
class ReadPlan;

// Everything the application knows of the crate passes through this interface.
// Single calls are synchronous and made on the GUI thread, one at a time; every
// failure throws HVError. An omitted channel (std::nullopt) addresses the board.
//
// Periodic reads and writes need not wait: runPlan hands over a whole tick's
// reads at once and postParamValue / postChannelName send a write; their
// answers come back through callbacks. An access layer that reaches the crate
// over a network answers them later, from the event loop; the defaults here
// make the calls at once, so that in process everything is applied before the
// call returns.
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

    // The SHA-256 fingerprint of the crate's certificate ("AB:12:...") while the
    // link to it is encrypted; empty for a plain link and in process.
    virtual QString linkFingerprint() const { return QString(); }

    // Runs every read of the plan in its order and applies the answers (readplan.h).
    // The default calls the operations above one by one and applies each answer
    // as it comes, before returning.
    virtual void runPlan(const std::shared_ptr<ReadPlan> &plan);
    // Login, then the plan once the login is through. A network client sends the
    // plan right behind the login's last step, which saves a round trip. When the
    // login fails (it throws as Login does) the plan is dropped, never run.
    virtual void loginThen(const QString &userName, const QString &password, const QString &address,
                           const std::shared_ptr<ReadPlan> &then);

    // Called with nullptr once a write is done, or with its error; never when
    // the context object is gone by then.
    using WriteDone = std::function<void(const HVError *error)>;
    // `done` wrapped so that it is not called once the context is gone (nullptr: no context).
    static WriteDone whileAlive(QObject *context, WriteDone done);
    // Writes in the order they are posted. The defaults write at once and call done before returning.
    virtual void postParamValue(qint16 slot, const QString &parName, qint16 ch, const QVariant &value,
                                QObject *context, WriteDone done);
    virtual void postChannelName(qint16 slot, qint16 ch, const QString &name, QObject *context, WriteDone done);

    // The connection as every window shares it (up or down, which crate).
    CrateSession &session() { return m_session; }

    // Whether the operator is yet to be told of this failure. Every window whose
    // tick fails on one dead link asks; only the first is told yes, so the
    // operator hears of the loss once. A crate's own refusal is always told.
    virtual bool claimLinkReport(const HVError &error);

private:
    CrateSession m_session; // told by whoever connects; heard by every window
};
