#include "lib.h"

#include "numberformat.h"

#include <QGuiApplication>
#include <QPalette>

namespace Lib {

namespace {
std::array<OleColor, PaletteSize> g_palette{}; // trace palette, filled by InitTables

constexpr qint32 MaskAlarm = 56; // over-current, over-voltage, under-voltage
} // namespace

void InitTables()
{
    g_palette = {Green, Yellow, Red, Blue, White, Cyan, Magenta, Orange,
                 LightGrey, LightYellow, LightGreen, LightRed};
}

OleColor paletteColor(int index)
{
    if (index < 0 || index >= PaletteSize)
        return Black;
    return g_palette[static_cast<size_t>(index)];
}

std::optional<QPalette::ColorRole> paletteRole(OleColor color)
{
    if (!(color & 0x80000000u))
        return std::nullopt;
    switch (color & 0xFFu) {
    case 0x05: return QPalette::Base;
    case 0x08: return QPalette::WindowText;
    case 0x0D: return QPalette::Highlight;
    case 0x0E: return QPalette::HighlightedText;
    case 0x0F: return QPalette::Button;
    case 0x12: return QPalette::ButtonText;
    case 0x17: return QPalette::ToolTipText;
    case 0x18: return QPalette::ToolTipBase;
    default: return QPalette::Window;
    }
}

QList<Contrast::Pair> colourPairs()
{
    const std::pair<const char *, ColourPair> pairs[] = {
        {"heading", HeadingColours},          {"graph heading", ClickHeadingColours},
        {"plate caption", PlateColours},      {"board status", BoardStatusColours},
        {"board value", ReadoutColours},      {"status", StatusNormalColours},
        {"status in alarm", StatusAlarmColours},
    };
    QList<Contrast::Pair> out;
    for (const auto &[what, pair] : pairs)
        out.append({QString::fromLatin1(what), toQColor(pair.back), toQColor(pair.fore)});
    return out;
}

QColor toQColor(OleColor color)
{
    if (const auto role = paletteRole(color))
        return QGuiApplication::palette().color(*role);
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

QString ExpPrefix(qint16 exponent)
{
    // The crate's exponents run from nano to giga.
    return exponent >= -9 && exponent <= 9 ? NumberFormat::prefixLetter(exponent) : QString();
}

QString ChStatusText(qint32 s)
{
    if (s & 2048) return QStringLiteral("Unplugged");
    if (s & 1024) return QStringLiteral("Cal. Error");
    if (s & 2) return QStringLiteral("Up");
    if (s & 4) {
        // Ramping down: over-current is named before an external disable.
        if (s & 64) return QStringLiteral("E-Trp-Down");
        if (s & 512) return QStringLiteral("I-Trp-Down");
        if (s & 8) return QStringLiteral("OVC-Down");
        if (s & 256) return QStringLiteral("E-Dis-Down");
        return QStringLiteral("Down");
    }
    if (s & 64) return QStringLiteral("E-Tripped");
    if (s & 512) return QStringLiteral("I-Tripped");
    if (s & 256) return QStringLiteral("Ext-Dis");
    if (s & 8) return QStringLiteral("OverCurrent");
    if (s & 16) return QStringLiteral("OverVoltage");
    if (s & 128) return QStringLiteral("HVMax");
    if (s & 32) return QStringLiteral("UnderVoltage");
    return QStringLiteral("Good");
}

bool StatusIsAlarm(qint32 s)
{
    return s & MaskAlarm;
}

OleColor StatusBackColor(qint32 s)
{
    return StatusIsAlarm(s) ? StatusAlarmColours.back : StatusNormalColours.back;
}

OleColor StatusForeColor(qint32 s)
{
    return StatusIsAlarm(s) ? StatusAlarmColours.fore : StatusNormalColours.fore;
}

QString BdStatusText(qint32 s)
{
    if (s & 2) return QStringLiteral("FW Checksum Error");
    if (s & 1) return QStringLiteral("Power Fail");
    if (s & 4) return QStringLiteral("HV Cal. Error");
    if (s & 8) return QStringLiteral("Temp. Cal. Error");
    if (s & 32) return QStringLiteral("Over Temp.");
    if (s & 16) return QStringLiteral("Under Temp.");
    return QStringLiteral("Good");
}

} // namespace Lib
