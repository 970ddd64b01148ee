#pragma once

#include <QString>

class QAction;
class QWidget;
class TraceGraph;

// What both graph windows offer for keeping a graph, in the plot's context
// menu: "Save as image..." (PNG or PDF, drawn by the plot itself) and "Save data
// as CSV..." (TraceCsv). Each action asks for a file and writes only that one; a
// write that fails tells the operator which file and why, and leaves the window
// as it was.
class GraphExport
{
public:
    // The actions are children of window and make up the graph's context menu;
    // a window may add them to its own menus as well.
    GraphExport(TraceGraph *graph, QWidget *window);
    Q_DISABLE_COPY_MOVE(GraphExport)

    QAction *saveImageAction() const { return m_saveImage; }
    QAction *saveCsvAction() const { return m_saveCsv; }

    // Writes the file without asking; false (after telling the operator) when it failed.
    bool saveImage(const QString &path);
    bool saveCsv(const QString &path);

private:
    TraceGraph *m_graph;    // what is saved
    QWidget *m_window;      // parent of the dialogs and messages
    QAction *m_saveImage;   // "Save as image..."
    QAction *m_saveCsv;     // "Save data as CSV..."
};
