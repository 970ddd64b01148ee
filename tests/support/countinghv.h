#pragma once

#include "hvpowersupply.h"
#include "readplan.h"

#include <memory>

// Any access layer, counted: every plan handed over is one round trip and its
// steps the reads it asks the crate for (guards aside). Everything else passes through.
class CountingHV : public HVPowerSupply
{
public:
    explicit CountingHV(std::unique_ptr<HVPowerSupply> inner) : m_inner(std::move(inner)) {}

    HVPowerSupply &inner() { return *m_inner; }
    int plans = 0;        // round trips
    int planned = 0;      // reads in them
    int lastPlanSize = 0; // reads in the latest

    void runPlan(const std::shared_ptr<ReadPlan> &plan) override
    {
        ++plans;
        planned += plan->size();
        lastPlanSize = plan->size();
        m_inner->runPlan(plan);
    }
    void Login(const QString &u, const QString &p, qint32 r, const QString &a) override { m_inner->Login(u, p, r, a); }
    void Logout() override { m_inner->Logout(); }
    void QuerySlots(QVariant *c, QVariant *n, QVariant *m) override { m_inner->QuerySlots(c, n, m); }
    QVariant CrateProperty(const QString &name) override { return m_inner->CrateProperty(name); }
    QVariant ParamValue(qint16 s, const QString &par, std::optional<qint16> ch) override
    {
        return m_inner->ParamValue(s, par, ch);
    }
    void SetParamValue(qint16 s, const QString &par, qint16 ch, const QVariant &v) override
    {
        m_inner->SetParamValue(s, par, ch, v);
    }
    QVariant ParamAttribute(qint16 s, const QString &par, const QString &prop, std::optional<qint16> ch) override
    {
        return m_inner->ParamAttribute(s, par, prop, ch);
    }
    QString ChannelName(qint16 s, qint16 ch) override { return m_inner->ChannelName(s, ch); }
    void SetChannelName(qint16 s, qint16 ch, const QString &name) override { m_inner->SetChannelName(s, ch, name); }
    QStringList ListChannelParams(qint16 s, qint16 ch) override { return m_inner->ListChannelParams(s, ch); }
    QString linkFingerprint() const override { return m_inner->linkFingerprint(); }
    void postParamValue(qint16 s, const QString &par, qint16 ch, const QVariant &v, QObject *context,
                        WriteDone done) override
    {
        m_inner->postParamValue(s, par, ch, v, context, std::move(done));
    }
    void postChannelName(qint16 s, qint16 ch, const QString &name, QObject *context, WriteDone done) override
    {
        m_inner->postChannelName(s, ch, name, context, std::move(done));
    }
    bool claimLinkReport(const HVError &e) override { return m_inner->claimLinkReport(e); }

private:
    std::unique_ptr<HVPowerSupply> m_inner; // what is counted
};
