#pragma once

#include <QByteArray>

class TraceGraph;

// A graph's kept history as CSV (UTF-8, comma separated, one line per sample
// time, oldest first): a "time" column in ISO 8601 local time with the UTC
// offset and milliseconds, then one column per trace headed "<label> [<unit>]"
// (the label alone for a trace without unit). A trace without a sample at a
// row's time has an empty cell there. Values are in base units with every
// digit that tells them apart.
namespace TraceCsv {

QByteArray render(const TraceGraph &graph);

} // namespace TraceCsv
