#include "linkfailure.h"

#include "hverror.h"
#include "hvpowersupply.h"
#include "msgbox.h"

QString reasonText(const QString &reason)
{
    QString r = reason.trimmed();
    while (r.endsWith(QLatin1Char('.')))
        r.chop(1);
    return r;
}

QString linkFailureText(const QString &reason, const QString &consequence)
{
    return QStringLiteral("The connection to the crate failed: %1. %2").arg(reasonText(reason), consequence);
}

bool tellLinkFailure(QWidget *parent, HVPowerSupply &h, const HVError &error, const QString &consequence)
{
    if (!h.claimLinkReport(error))
        return false;
    MsgBox::tell(parent, QStringLiteral("Connection lost"), linkFailureText(error.message(), consequence),
                 QMessageBox::Critical);
    return true;
}
