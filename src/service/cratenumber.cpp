#include "cratenumber.h"

#include "hverror.h"

#include <cmath>
#include <limits>

namespace {
template <typename T> T crateInteger(const QVariant &v)
{
    const double d = std::round(crateNumber(v));
    if (d < std::numeric_limits<T>::min() || d > std::numeric_limits<T>::max())
        throw HVError(QStringLiteral("Out of range: %1").arg(d));
    return static_cast<T>(d);
}
} // namespace

double crateNumber(const QVariant &v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw HVError(QStringLiteral("Not a number: \"%1\"").arg(v.toString()));
    return d;
}

qint16 crateInt16(const QVariant &v)
{
    return crateInteger<qint16>(v);
}

qint32 crateInt32(const QVariant &v)
{
    return crateInteger<qint32>(v);
}
