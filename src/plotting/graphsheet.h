#pragma once

#include <QImage>
#include <QString>

class TraceGraph;

// A graph made fit to hand on, as an image or a PDF document: the title (the
// window's caption), the plot, a legend with every trace's board, channel,
// parameter and unit in its colour, and the time range shown; in screen
// colours, or in print colours (dark on white, traces darkened where they
// would not read on white). A PDF carries the title and the creator.
namespace GraphSheet {

struct Options
{
    QString title;             // the window's caption
    bool printColours = true;  // dark on white rather than the screen's black
};

// The sheet as an image.
QImage image(const TraceGraph &graph, const Options &options);
// Writes a PDF for a ".pdf" path, a PNG otherwise; false when the file could not be written.
bool save(const TraceGraph &graph, const QString &path, const Options &options);

} // namespace GraphSheet
