#pragma once

#include "cratenumber.h" // crateNumber, crateInt16, crateInt32: shared with the access layer

#include <QString>
#include <QVariant>
#include <functional>

class ReadPlan;

// A setpoint whose exponent has no SI prefix of its own (2, -1, 4, ...) is
// shown in real units: the board's value times ten to the exponent. These
// convert between the two with exact powers of ten, so that a value typed
// in real units reaches the board's own scale without a rounding error.
bool exponentHasPrefix(int exp);
double toRealUnits(double boardValue, int exp);
double toBoardScale(double realValue, int exp);

// A parameter of one channel in its base unit: the value the board gives times
// ten to the parameter's "Exp" attribute. Adds both reads to the plan, the
// exponent first; `apply` gets the product. The factor is single precision so
// that panels and graphs show the very same figures. An answer that is not a
// number fails the plan at that read.
void planScaled(ReadPlan &plan, qint16 slot, const QString &par, qint16 ch, std::function<void(double)> apply);
