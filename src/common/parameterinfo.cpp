#include "parameterinfo.h"

#include <algorithm>
#include <iterator>

namespace ParameterInfo {

namespace {
constexpr Entry Entries[] = {
    {"Channel Name", "the channel's name as the crate keeps it; type a new one and press Enter to rename the channel", ""},
    {"Pw", "power: lit while the channel's high voltage is on; a click or Space switches it", ""},
    {"V0Set", "voltage set point, the voltage the channel ramps to", "V"},
    {"VMon", "monitored voltage, as the board measures it", "V"},
    {"HVMax", "hardware voltage limit, set on the board itself", "V"},
    {"I0Set", "current limit", "A"},
    {"IMon", "monitored current, as the board measures it", "A"},
    {"RUp", "ramp-up rate: how fast the voltage rises towards its set point", "V/s"},
    {"RDWn", "ramp-down rate: how fast the voltage falls", "V/s"},
    {"V1Set", "second voltage set point, in force while the crate's VSel input is on", "V"},
    {"I1Set", "second current limit, in force while the crate's ISel input is on", "A"},
    {"SVMax", "software voltage limit: no set point above it is applied", "V"},
    {"Trip", "trip time: how long the current may stay at its limit before the channel is switched off", "s"},
    {"TripInt", "internal trip: which channels of the board are switched off when this one trips (a mask)", ""},
    {"TripExt", "external trip: which of the crate's trip lines this channel's trip is passed to (a mask)", ""},
    {"POn", "power-on state: Ena, the channel comes back on after the crate's power returns; Dis, it stays off", ""},
    {"PDwn", "power-down mode: Rmp, switching off ramps the voltage down at RmpDwn; Kill, it drops at once", ""},
    {"Status", "channel status: what the channel is doing, red with an alarm (over-current, over- or under-voltage)", ""},
    {"Temp", "board temperature", "\u00b0C"},
    {"BdStatus", "board status: the board's own alarms", ""},
};
} // namespace

std::span<const Entry> all()
{
    return Entries;
}

QString describe(const QString &name, const QString &heading)
{
    const auto *e = std::find_if(std::begin(Entries), std::end(Entries),
                                 [&name](const Entry &x) { return name == QLatin1String(x.name); });
    if (e == std::end(Entries))
        return {};
    QString text = (heading.isEmpty() ? name : heading) + QStringLiteral(": ") + QString::fromUtf8(e->what);
    const QString unit = QString::fromUtf8(e->unit);
    text += unit.isEmpty() ? QStringLiteral(".") : QStringLiteral("; unit %1.").arg(unit);
    return text;
}

} // namespace ParameterInfo
