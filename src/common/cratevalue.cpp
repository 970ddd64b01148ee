#include "cratevalue.h"

#include "hverror.h"
#include "lib.h"
#include "readplan.h"

#include <cmath>
#include <memory>

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
