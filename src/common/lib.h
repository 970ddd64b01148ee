#pragma once

#include "contrast.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// Shared presentation tables: the trace palette, SI prefixes of decimal
// exponents and the decoding of channel and board status words.
// Colours are 32-bit values laid out 0x00BBGGRR; a value with the high bit set
// names a system colour (0x8000000F is the button face) and becomes a QColor
// only through toQColor(), which asks the running style's palette.
namespace Lib {

using OleColor = quint32;

inline constexpr OleColor Green = 0x0000FF00;
inline constexpr OleColor Yellow = 0x0000FFFF;
inline constexpr OleColor Red = 0x000000FF;
inline constexpr OleColor Blue = 0x00FF0000;
inline constexpr OleColor White = 0x00FFFFFF;
inline constexpr OleColor Cyan = 0x00FFFF00;
inline constexpr OleColor Magenta = 0x00FF00FF;
inline constexpr OleColor Orange = 0x000080FF;
inline constexpr OleColor LightGrey = 0x00C0C0C0;
inline constexpr OleColor LightYellow = 0x00C0FFFF;
inline constexpr OleColor LightGreen = 0x00C0FFC0;
inline constexpr OleColor LightRed = 0x00C0C0FF;
inline constexpr OleColor Black = 0x00000000;
inline constexpr OleColor LightOrange = 0x0080C0FF; // headings that open a graph
inline constexpr OleColor DarkRed = 0x000000C0;     // board status text

// System colours (high bit set, low byte the system colour index).
inline constexpr OleColor SysWindowText = 0x80000008;
inline constexpr OleColor SysWindow = 0x80000005;
inline constexpr OleColor SysHighlight = 0x8000000D;
inline constexpr OleColor SysHighlightText = 0x8000000E;
inline constexpr OleColor SysButtonFace = 0x8000000F;
inline constexpr OleColor SysButtonText = 0x80000012;
inline constexpr OleColor SysInfoText = 0x80000017;
inline constexpr OleColor SysInfoBackground = 0x80000018;

// A background and the text drawn on it. Every colour the application sets
// comes with its partner, so text stays legible in a light or a dark palette:
// a system colour with the palette's own partner, a fixed colour with a fixed one.
struct ColourPair
{
    OleColor back;
    OleColor fore;
};

inline constexpr ColourPair HeadingColours{SysInfoBackground, SysInfoText};  // column headings
inline constexpr ColourPair ClickHeadingColours{LightOrange, Black};          // headings that open a graph
inline constexpr ColourPair PlateColours{LightOrange, Black};                 // board-level captions
inline constexpr ColourPair BoardStatusColours{LightYellow, DarkRed};         // the Q510 board status
inline constexpr ColourPair ReadoutColours{SysInfoBackground, SysInfoText};  // a board value shown apart (Q420 HVMax)
inline constexpr ColourPair StatusNormalColours{SysButtonFace, SysButtonText}; // channel status, no alarm
inline constexpr ColourPair StatusAlarmColours{Red, LightYellow};            // channel status in alarm

// Every pair above with the palette's colours of now, for checking their contrast.
QList<Contrast::Pair> colourPairs();

inline constexpr int PaletteSize = 12;

// Fills the trace palette. Called once when the main window loads.
void InitTables();

// Palette entry 0..11 (InitTables must have run; before it every entry is black).
OleColor paletteColor(int index);

// Turns a 0x00BBGGRR value or a system colour into a QColor.
QColor toQColor(OleColor color);
// The palette role a system colour stands for; nullopt for a fixed colour.
std::optional<QPalette::ColorRole> paletteRole(OleColor color);

QString ExpPrefix(qint16 exponent);

QString ChStatusText(qint32 status);
OleColor StatusBackColor(qint32 status);
OleColor StatusForeColor(qint32 status);
// Over-current, over- or under-voltage: what the alarm colours show.
bool StatusIsAlarm(qint32 status);

QString BdStatusText(qint32 status);

} // namespace Lib
