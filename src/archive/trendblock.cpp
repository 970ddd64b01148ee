#include "trendblock.h"

#include <QFloat16>
#include <QCborStreamWriter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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

namespace {
// A reader of exactly what encode writes (CBOR integers and floats in one array),
// by hand: a day of a trace is 170 000 numbers, and a general CBOR reader takes
// several times as long over them.
class NumberReader
{
public:
    explicit NumberReader(const QByteArray &bytes)
        : m_at(reinterpret_cast<const uchar *>(bytes.constData())), m_end(m_at + bytes.size()) {}

    // The length of the array that starts here; -1 for anything else.
    qint64 arrayLength()
    {
        if (m_at >= m_end || (*m_at >> 5) != 4)
            return -1;
        quint64 n = 0;
        return argument(*m_at++ & 0x1f, &n) && n < quint64(1) << 40 ? qint64(n) : -1;
    }
    // The number here, as a double and as an integer; false for anything else.
    bool number(double *value, qint64 *integer)
    {
        if (m_at >= m_end)
            return false;
        const uchar head = *m_at++;
        const int major = head >> 5, info = head & 0x1f;
        quint64 n = 0;
        if (major == 0 || major == 1) {
            if (!argument(info, &n) || n > quint64(std::numeric_limits<qint64>::max()))
                return false;
            *integer = major == 0 ? qint64(n) : -1 - qint64(n);
            *value = double(*integer);
            return true;
        }
        if (major != 7 || info < 25 || info > 27 || !argument(info, &n))
            return false;
        if (info == 25) {
            const quint16 bits = quint16(n);
            float f;
            qFloatFromFloat16(&f, reinterpret_cast<const qfloat16 *>(&bits), 1);
            *value = double(f);
        } else if (info == 26) {
            const quint32 bits = quint32(n);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            *value = double(f);
        } else {
            std::memcpy(value, &n, sizeof n);
        }
        *integer = std::isfinite(*value) ? qint64(*value) : 0;
        return true;
    }
    bool atEnd() const { return m_at == m_end; }

private:
    // The head's argument: in the head itself below 24, else in the next 1, 2, 4 or 8 bytes, big-endian.
    bool argument(int info, quint64 *n)
    {
        if (info < 24) {
            *n = quint64(info);
            return true;
        }
        if (info > 27)
            return false;
        const int bytes = 1 << (info - 24);
        if (m_end - m_at < bytes)
            return false;
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | m_at[i];
        m_at += bytes;
        *n = v;
        return true;
    }

    const uchar *m_at;  // the next byte to read
    const uchar *m_end; // past the last
};
} // namespace

bool TrendBlock::decode(const QByteArray &block, QVector<qint64> &times, QVector<double> &values)
{
    NumberReader r(block);
    const qint64 length = r.arrayLength();
    if (length < 1 || length % 2 == 0)
        return false;
    const qsizetype n = qsizetype((length - 1) / 2);
    double value = 0;
    qint64 integer = 0;
    if (!r.number(&value, &integer) || integer != Format || value != Format)
        return false;
    const qsizetype timesAt = times.size(), valuesAt = values.size();
    // Blocks are appended one after another: room grows by doubling, never by each block's size.
    if (times.capacity() < timesAt + n)
        times.reserve(std::max(timesAt + n, 2 * times.capacity()));
    if (values.capacity() < valuesAt + n)
        values.reserve(std::max(valuesAt + n, 2 * values.capacity()));
    qint64 t = 0;
    bool ok = true;
    for (qsizetype i = 0; ok && i < n; ++i) {
        ok = r.number(&value, &integer) && value == double(integer);
        t = i == 0 ? integer : t + integer;
        times.append(t);
    }
    for (qsizetype i = 0; ok && i < n; ++i) {
        ok = r.number(&value, &integer);
        values.append(value);
    }
    if (!ok || !r.atEnd()) {
        times.resize(timesAt);
        values.resize(valuesAt);
        return false;
    }
    return true;
}
