#pragma once

#include <QString>
#include <optional>

class QMimeData;

// What a parameter node of the plot picker carries while it is dragged to a
// graph window.
namespace PlotDrag {

inline constexpr char MimeType[] = "application/x-pylonet-plot-parameter";

struct Parameter
{
    qint16 slot = 0;        // slot of the board
    qint16 channel = 0;     // channel within the board
    QString name;           // parameter name, e.g. "VMon"
    QString sourceName;     // objectName of the tree the drag started from
};

// A new QMimeData for the drag (the caller, usually QDrag, takes ownership).
QMimeData *encode(const Parameter &parameter);

// The parameter, or nullopt when the data are not a well-formed parameter drag.
std::optional<Parameter> decode(const QMimeData *data);

} // namespace PlotDrag
