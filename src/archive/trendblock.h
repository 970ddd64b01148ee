#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// A run of one trace's samples as one compact CBOR array, the form a block is
// stored in: [1, first time, the times after it as differences, the values].
// Times are milliseconds since the epoch; a value is written as the smallest
// CBOR number that holds it exactly (an integer, a single- or a double-precision
// float), so a block of a minute at one sample a second takes about 5 to 12
// bytes a sample and every value reads back bit for bit.
namespace TrendBlock {

QByteArray encode(const QVector<qint64> &times, const QVector<double> &values);
// Appends the block's samples; false (nothing appended) for bytes that are no block.
bool decode(const QByteArray &block, QVector<qint64> &times, QVector<double> &values);

} // namespace TrendBlock
