#include "numberformat.h"

#include <QList>
#include <QLocale>
#include <cmath>

namespace NumberFormat {

namespace {

constexpr int PrefixSignificant = 4; // digits of a number shown with an SI prefix
constexpr int PlainSignificant = 6;  // digits of a number in its own scale
constexpr int MinPrefixExp = -12;    // "p"
constexpr int MaxPrefixExp = 12;     // "T"
constexpr double PlainLow = 1e-4;    // below: exponent notation without k
constexpr double PlainHigh = 1e9;    // from here: exponent notation without k

// A format text taken apart: what follows the number, split at the k code.
struct Format
{
    QString head;      // literal text between the number and the (last) k
    QString tail;      // literal text after the k, or all of it without a k
    QList<QString> parts; // literal pieces; a null QString marks where a prefix goes
    bool prefix = false;  // a k code is present
    bool decimal = false; // a . code is present
};

Format parseFormat(const QString &format)
{
    Format f;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            f.parts.append(literal);
        literal.clear();
    };
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'"') {
            const qsizetype end = format.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            literal += format.mid(i + 1, stop - i - 1);
            i = stop;
        } else if (c == u'k') {
            flush();
            f.parts.append(QString()); // prefix marker
            f.prefix = true;
        } else if (c == u'.') {
            f.decimal = true;
        } else {
            literal += c;
        }
    }
    flush();

    // Literal text on either side of the last prefix marker, for reading input back.
    bool afterMarker = false;
    for (qsizetype i = f.parts.size() - 1; i >= 0; --i) {
        if (f.parts.at(i).isNull()) {
            afterMarker = true;
            continue;
        }
        if (afterMarker)
            f.head.prepend(f.parts.at(i));
        else
            f.tail.prepend(f.parts.at(i));
    }
    if (!f.prefix)
        f.head.clear();
    return f;
}


std::optional<int> prefixExp(QChar letter)
{
    switch (letter.unicode()) {
    case u'p': return -12;
    case u'n': return -9;
    case u'u':
    case 0x00B5: // micro sign
    case 0x03BC: // Greek mu
        return -6;
    case u'm': return -3;
    case u'k': return 3;
    case u'M': return 6;
    case u'G': return 9;
    case u'T': return 12;
    default: return std::nullopt;
    }
}

void dropTrailingZeros(QString &s)
{
    if (!s.contains(u'.'))
        return;
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
}

void ensureDecimal(QString &s, bool decimal)
{
    if (decimal && !s.contains(u'.'))
        s += QStringLiteral(".0");
}

// v finite and non-zero: fixed notation rounded to `significant` digits.
QString fixed(double v, int significant)
{
    const int magnitude = int(std::floor(std::log10(std::fabs(v))));
    const int decimals = std::max(0, significant - 1 - magnitude);
    QString s = QString::number(v, 'f', decimals);
    dropTrailingZeros(s);
    return s;
}

// v finite and non-zero: "1.5e-15", "2e9".
QString exponent(double v, int significant, bool decimal)
{
    const QString s = QString::number(v, 'e', significant - 1);
    const qsizetype e = s.indexOf(u'e');
    QString mantissa = s.left(e);
    dropTrailingZeros(mantissa);
    ensureDecimal(mantissa, decimal);
    const int exp = s.mid(e + 1).toInt();
    return mantissa + u'e' + QString::number(exp);
}

// The number and the prefix letter that goes with it.
std::pair<QString, QString> engineering(double v, bool decimal, int significant)
{
    int exp3 = int(std::floor(std::floor(std::log10(std::fabs(v))) / 3.0)) * 3;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (exp3 < MinPrefixExp || exp3 > MaxPrefixExp)
            break;
        QString s = fixed(v / std::pow(10.0, exp3), significant);
        if (std::fabs(s.toDouble()) >= 1000.0) { // rounding carried into the next prefix
            exp3 += 3;
            continue;
        }
        ensureDecimal(s, decimal);
        return {s, prefixLetter(exp3)};
    }
    return {exponent(v, significant, decimal), QString()};
}

QString plain(double v, bool decimal, int significant)
{
    const double a = std::fabs(v);
    if (a < PlainLow || a >= PlainHigh)
        return exponent(v, significant, decimal);
    QString s = fixed(v, significant);
    ensureDecimal(s, decimal);
    return s;
}

std::optional<double> parseNumber(QString t)
{
    if (t.contains(u',')) {
        if (t.contains(u'.') || t.count(u',') > 1)
            return std::nullopt;
        t.replace(u',', u'.');
    }
    if (t.isEmpty() || t.at(0).isSpace() || t.back().isSpace())
        return std::nullopt;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

bool chopSuffix(QString &s, const QString &suffix)
{
    const QString trimmed = suffix.trimmed();
    if (trimmed.isEmpty() || !s.endsWith(trimmed))
        return false;
    s.chop(trimmed.size());
    s = s.trimmed();
    return true;
}

} // namespace

QString prefixLetter(int exp3)
{
    switch (exp3) {
    case -12: return QStringLiteral("p");
    case -9: return QStringLiteral("n");
    case -6: return QStringLiteral("u");
    case -3: return QStringLiteral("m");
    case 3: return QStringLiteral("k");
    case 6: return QStringLiteral("M");
    case 9: return QStringLiteral("G");
    case 12: return QStringLiteral("T");
    default: return QString();
    }
}

QString render(double value, const QString &format, int significant)
{
    const Format f = parseFormat(format);
    QString number;
    QString prefix;
    if (!std::isfinite(value)) {
        number = QStringLiteral("---");
    } else if (value == 0.0) {
        number = f.decimal ? QStringLiteral("0.0") : QStringLiteral("0");
    } else if (f.prefix) {
        std::tie(number, prefix) = engineering(value, f.decimal, significant > 0 ? significant : PrefixSignificant);
    } else {
        number = plain(value, f.decimal, significant > 0 ? significant : PlainSignificant);
    }
    QString out = number;
    for (const QString &part : f.parts)
        out += part.isNull() ? prefix : part;
    return out;
}

std::optional<double> parse(const QString &text, const QString &format)
{
    const Format f = parseFormat(format);
    QString s = text.trimmed();
    chopSuffix(s, f.tail);
    int scale = 0;
    if (f.prefix && !s.isEmpty()) {
        if (const auto exp = prefixExp(s.back())) {
            QString rest = s.chopped(1).trimmed();
            chopSuffix(rest, f.head);
            // "5m" is a prefix only if what stands before it is a number.
            if (parseNumber(rest)) {
                s = rest;
                scale = *exp;
            }
        }
        if (scale == 0)
            chopSuffix(s, f.head);
    }
    const auto number = parseNumber(s);
    if (!number)
        return std::nullopt;
    if (scale == 0)
        return *number;
    const double scaled = *number * std::pow(10.0, scale);
    if (!std::isfinite(scaled))
        return std::nullopt;
    return scaled;
}

} // namespace NumberFormat
