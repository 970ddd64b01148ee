#include "scaledread.h"

#include "hverror.h"
#include "hvpowersupply.h"

#include <cmath>

namespace {
double number(const QVariant &v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw HVError(QStringLiteral("Not a number: \"%1\"").arg(v.toString()));
    return d;
}
} // namespace

double readScaled(HVPowerSupply &h, qint16 slot, const QString &par, qint16 ch)
{
    const double exp = number(h.ParamAttribute(slot, par, QStringLiteral("Exp"), ch));
    const auto factor = static_cast<float>(std::pow(10.0, exp));
    return number(h.ParamValue(slot, par, ch)) * factor;
}
