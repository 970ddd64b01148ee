#include "cratesession.h"

void CrateSession::up(const QString &address)
{
    m_up = true;
    m_address = address;
    emit wentUp(address);
}

void CrateSession::down(const QString &reason, bool deliberate)
{
    if (!m_up)
        return;
    m_up = false;
    emit wentDown(reason, deliberate);
}
