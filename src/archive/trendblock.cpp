#include "trendblock.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <cmath>

namespace {
constexpr int Format = 1;
constexpr double ExactIntegers = 9007199254740992.0; // 2^53: every integer below is a double exactly

void putValue(QCborStreamWriter &w, double v)
{
    if (std::isfinite(v) && v == std::trunc(v) && std::abs(v) < ExactIntegers && !(v == 0 && std::signbit(v)))
        w.append(qint64(v));
    else if (std::isnan(v) || double(float(v)) != v)
        w.append(v);
    else
        w.append(float(v));
}

// Reads the number at the reader and moves past it; false for anything else.
bool takeNumber(QCborStreamReader &r, double *value, qint64 *integer)
{
    switch (r.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger:
        *integer = r.toInteger();
        *value = double(*integer);
        break;
    case QCborStreamReader::Float16:
        *value = double(float(r.toFloat16()));
        *integer = qint64(*value);
        break;
    case QCborStreamReader::Float:
        *value = double(r.toFloat());
        *integer = qint64(*value);
        break;
    case QCborStreamReader::Double:
        *value = r.toDouble();
        *integer = qint64(*value);
        break;
    default:
        return false;
    }
    return r.next();
}
} // namespace

QByteArray TrendBlock::encode(const QVector<qint64> &times, const QVector<double> &values)
{
    const qsizetype n = std::min(times.size(), values.size());
    QByteArray out;
    out.reserve(8 + n * 12);
    QCborStreamWriter w(&out);
    w.startArray(quint64(1 + 2 * n));
    w.append(Format);
    for (qsizetype i = 0; i < n; ++i)
        w.append(i == 0 ? times[0] : times[i] - times[i - 1]);
    for (qsizetype i = 0; i < n; ++i)
        putValue(w, values[i]);
    w.endArray();
    return out;
}

bool TrendBlock::decode(const QByteArray &block, QVector<qint64> &times, QVector<double> &values)
{
    QCborStreamReader r(block);
    if (!r.isArray() || !r.isLengthKnown() || r.length() < 1 || r.length() % 2 == 0)
        return false;
    const qsizetype n = qsizetype((r.length() - 1) / 2);
    if (!r.enterContainer())
        return false;
    double value = 0;
    qint64 integer = 0;
    if (!takeNumber(r, &value, &integer) || integer != Format)
        return false;
    const qsizetype timesAt = times.size(), valuesAt = values.size();
    times.reserve(timesAt + n);
    values.reserve(valuesAt + n);
    qint64 t = 0;
    bool ok = true;
    for (qsizetype i = 0; ok && i < n; ++i) {
        ok = takeNumber(r, &value, &integer);
        t = i == 0 ? integer : t + integer;
        times.append(t);
    }
    for (qsizetype i = 0; ok && i < n; ++i) {
        ok = takeNumber(r, &value, &integer);
        values.append(value);
    }
    if (!ok || values.size() - valuesAt != n) {
        times.resize(timesAt);
        values.resize(valuesAt);
        return false;
    }
    return true;
}
