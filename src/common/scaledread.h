#pragma once

#include <QString>

class HVPowerSupply;

// A parameter of one channel in its base unit: the value the board gives times
// ten to the parameter's "Exp" attribute, read in that order. The factor is
// single precision so that panels and graphs show the very same figures.
// Throws HVError when a read fails or an answer is not a number.
double readScaled(HVPowerSupply &h, qint16 slot, const QString &par, qint16 ch);
