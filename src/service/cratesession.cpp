#include "cratesession.h"

void CrateSession::up(const QString &address)
{
    m_up = true;
    m_address = address;
    m_models.clear(); // another crate, or the same after a while: its map is read again
    m_names.clear();
    emit wentUp(address);
}

void CrateSession::noteModels(const QVariantList &models)
{
    if (models == m_models)
        return;
    m_models = models;
    emit modelsChanged(models);
}

void CrateSession::noteChannelName(int slot, int channel, const QString &name)
{
    const auto known = m_names.constFind({slot, channel});
    if (known != m_names.cend() && *known == name)
        return;
    m_names.insert({slot, channel}, name);
    emit channelNameChanged(slot, channel, name);
}

void CrateSession::down(const QString &reason, bool deliberate)
{
    if (!m_up)
        return;
    m_up = false;
    emit wentDown(reason, deliberate);
}

void CrateSession::notePace(double periodMs)
{
    // Told in whole tenths of a second: the status line need not change at every plan.
    const double rounded = qRound(periodMs / 100) * 100.0;
    if (rounded == m_paceMs)
        return;
    m_paceMs = rounded;
    emit paceChanged(rounded);
}
