#pragma once

#include <QString>
#include <span>

// What each parameter a panel shows is, in words, with its unit: the column
// headings' tooltips and the help window read it from here.
namespace ParameterInfo {

struct Entry
{
    const char *name; // the parameter, or the heading for one without a parameter ("Channel Name")
    const char *what; // what it is and does, one sentence without a final stop
    const char *unit; // the unit it is shown in; empty for none
};

// Every entry, in the order a panel's columns take them.
std::span<const Entry> all();

// "V0Set: voltage set point, ...; unit V." for a known name, empty otherwise.
// `heading` is the text it is shown under when that differs (RmpUp for RUp).
QString describe(const QString &name, const QString &heading = QString());

} // namespace ParameterInfo
