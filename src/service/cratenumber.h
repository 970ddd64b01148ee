#pragma once

#include <QVariant>

// Conversions of the values the crate answers with. A value that is not a
// number, or does not fit the type asked for, throws HVError: the caller's
// failure path then handles it like a failed read.
double crateNumber(const QVariant &v);
qint16 crateInt16(const QVariant &v);
qint32 crateInt32(const QVariant &v);
