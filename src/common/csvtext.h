#pragma once

#include <QByteArray>
#include <QString>

// The pieces every CSV file of the application is written with: UTF-8,
// comma separated, times in ISO 8601 local time with milliseconds and offset.
//
// Safe to open in a spreadsheet: a text cell that begins with "=", "+", "-",
// "@", a tab or a carriage return is written with a leading apostrophe, so it
// is read as text and never run as a formula ("=HYPERLINK(...)" becomes
// "'=HYPERLINK(...)"); a cell that is a plain number ("-1.5", "+2e3") stays as
// it is. A file meant for spreadsheets starts with `Bom`, so that they read it
// as UTF-8.
namespace CsvText {

inline constexpr char Bom[] = "\xEF\xBB\xBF";

// A cell, neutralised as above, and quoted when it holds a separator, a quote or a line break.
QByteArray cell(const QString &text);
// 2026-03-14T12:00:00.000+01:00 for a time in milliseconds since the epoch.
QByteArray isoTime(qint64 ms);

} // namespace CsvText
