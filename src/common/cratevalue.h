#pragma once

#include <QString>
#include <QVariant>

class HVPowerSupply;

// Conversions of the values the crate answers with. A value that is not a
// number, or does not fit the type asked for, throws HVError: the caller's
// failure path then handles it like a failed read.
double crateNumber(const QVariant &v);
qint16 crateInt16(const QVariant &v);
qint32 crateInt32(const QVariant &v);

// A parameter of one channel in its base unit: the value the board gives times
// ten to the parameter's "Exp" attribute, read in that order. The factor is
// single precision so that panels and graphs show the very same figures.
// Throws HVError when a read fails or an answer is not a number.
double readScaled(HVPowerSupply &h, qint16 slot, const QString &par, qint16 ch);
