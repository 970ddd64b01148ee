#include "cratevalue.h"

#include "hverror.h"
#include "lib.h"
#include "readplan.h"

#include <cmath>
#include <memory>
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

bool exponentHasPrefix(int exp)
{
    return exp == 0 || !Lib::ExpPrefix(static_cast<qint16>(exp)).isEmpty();
}

double toRealUnits(double boardValue, int exp)
{
    const double power = std::pow(10.0, std::abs(exp)); // exact for the exponents boards use
    return exp >= 0 ? boardValue * power : boardValue / power;
}

double toBoardScale(double realValue, int exp)
{
    const double power = std::pow(10.0, std::abs(exp));
    return exp >= 0 ? realValue / power : realValue * power;
}

void planScaled(ReadPlan &plan, qint16 slot, const QString &par, qint16 ch, std::function<void(double)> apply)
{
    auto factor = std::make_shared<float>(1.0f);
    plan.paramAttribute(slot, par, QStringLiteral("Exp"), ch,
                        [factor](const QVariant &exp) { *factor = static_cast<float>(std::pow(10.0, crateNumber(exp))); });
    plan.paramValue(slot, par, ch, [factor, apply = std::move(apply)](const QVariant &value) {
        apply(crateNumber(value) * *factor);
    });
}
