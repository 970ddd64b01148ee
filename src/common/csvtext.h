#pragma once

#include <QByteArray>
#include <QString>

// The pieces every CSV file of the application is written with: UTF-8,
// comma separated, times in ISO 8601 local time with milliseconds and offset.
namespace CsvText {

// A cell, quoted when it holds a separator, a quote or a line break.
QByteArray cell(const QString &text);
// 2026-03-14T12:00:00.000+01:00 for a time in milliseconds since the epoch.
QByteArray isoTime(qint64 ms);

} // namespace CsvText
