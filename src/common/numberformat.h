#pragma once

#include <QString>
#include <optional>

// Display format texts: the text that follows a number in a numeric field or on
// a value axis, e.g. ` k"V"` (1500 -> "1.5 kV") or ` "kV"` (1.5 -> "1.5 kV").
//
// Reading a format, left to right:
//   "..."  text in double quotes is shown literally (an unclosed quote runs to
//          the end of the format);
//   k      engineering notation: the number is scaled into 1..999.9 and the SI
//          prefix letter of the scale is shown where the k stands
//          (p n u m, none, k M G T; "u" stands for micro);
//   .      always show at least one decimal (50 -> "50.0", 1000 with k -> "1.0k");
//   any other character, the blank included, is shown as it is.
// The number always comes first, then the rendered format.
//
// Digits:
//   - with k: up to 4 significant digits, trailing zeros dropped (1500 -> "1.5k",
//     0.00015 -> "150u", 1234.6 -> "1.235k"); rounding may carry into the next
//     prefix (999.96 -> "1k"). Values beyond the prefix table (below 1p, from
//     1000T up) are shown in exponent notation with an empty prefix ("1.5e-15");
//   - without k: the number in its own scale, up to 6 significant digits
//     (the whole part is never rounded away: 1234567 -> "1234567"), trailing
//     zeros dropped (12 -> "12", 2.5 -> "2.5", 0.1f -> "0.1"), in exponent
//     notation below 1e-4 and from 1e9 on ("2.5e-5", "1.5e9");
//   - zero is "0" (never "-0"); negative values keep their sign;
//   - NaN and infinities are shown as "---" followed by the format's text.
namespace NumberFormat {

// Renders value with the display format text format.
//   render(1500, "k\"V\"")   == "1.5kV"
//   render(1500, " k\"V\"")  == "1.5 kV"
//   render(1.5, " \"kV\"")   == "1.5 kV"
//   render(0.00015, "k\"A\"") == "150uA"
//   render(12, "")           == "12"
// significant > 0 replaces the usual digit count (4 with k, 6 without), for
// texts that must tell close values apart: render(1500.05, "k\"V\"", 6) == "1.50005kV".
QString render(double value, const QString &format, int significant = 0);
// The SI prefix of a power of 1000 (-12 -> "p" ... 12 -> "T"); "" for 0 and anything else.
QString prefixLetter(int exp3);

// Reads what an operator typed into a field that carries format.
// Accepted: a plain number ("2", "2.5", "-1e3", "+4"; "," is taken as the
// decimal point when the text has no "."), optionally followed by the format's
// literal text ("2.5 kV" with ` "kV"` is 2.5). With the k code an SI prefix
// letter before the literal scales the number back ("1.5 kV" with ` k"V"` is
// 1500), so what render() shows reads back as the same value. Literal text is
// never a scale: with ` "kV"`, "2.5 kV" is 2.5, and "2.5 V" is refused.
// Anything else (empty text, words, "1,000.5", "inf") is refused: nullopt.
std::optional<double> parse(const QString &text, const QString &format);

} // namespace NumberFormat
