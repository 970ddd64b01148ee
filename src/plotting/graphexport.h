#pragma once

#include "historycsv.h"

#include <QList>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;
class TraceGraph;

// What both graph windows offer for a graph, in the plot's context menu and in
// the window's menus:
//  - keeping it: "Save as image..." (PNG or PDF with title, legend and time
//    range, GraphSheet), "Save data as CSV..." (TraceCsv, written on a thread
//    of its own behind a progress dialog that can cancel), and whether images
//    are saved in print colours (dark on white; on by default);
//  - viewing it from the keyboard: zoom in and out, pan left and right, and
//    follow the newest samples (what a double-click on the plot does).
// Each save asks for a file and writes only that one; a write that fails tells
// the operator which file and why, and leaves the window as it was.
class GraphExport
{
public:
    // The actions are children of window and make up the graph's context menu.
    GraphExport(TraceGraph *graph, QWidget *window);
    Q_DISABLE_COPY_MOVE(GraphExport)

    QAction *saveImageAction() const { return m_saveImage; }
    QAction *saveCsvAction() const { return m_saveCsv; }
    QAction *saveHistoryAction() const { return m_saveHistory; }
    // Where "Save history as CSV..." reads from; the action is off without it.
    void setTrends(TrendTable *trends);
    QAction *printColoursAction() const { return m_printColours; }
    // Zoom in, zoom out, pan left, pan right, follow the newest.
    QList<QAction *> viewActions() const { return m_view; }
    // Puts the save actions (and a separator) in a window's menu.
    void addSaveActions(QMenu *menu) const;

    // Writes the file without asking; false (after telling the operator) when
    // it failed or, for the data, was cancelled.
    bool saveImage(const QString &path);
    bool saveCsv(const QString &path);
    // Every trace's archived samples in [fromMs, toMs), however many, on a worker thread.
    bool saveHistoryCsv(const QString &path, qint64 fromMs, qint64 toMs);

private:
    using Progress = std::function<bool(int percent)>;
    using Job = std::function<HistoryCsv::Outcome(const Progress &progress, QString *error)>;
    // Runs the job on a thread of its own behind a progress dialog that can cancel; the GUI goes on meanwhile.
    HistoryCsv::Outcome inBackground(const Job &job, QString *error);
    bool askHistoryCsv(); // the period, then the file

    TraceGraph *m_graph;      // what is saved
    QWidget *m_window;        // parent of the dialogs and messages; its caption titles images
    QAction *m_saveImage;     // "Save as image..."
    QAction *m_saveCsv;       // "Save data as CSV..."
    QAction *m_saveHistory;   // "Save history as CSV...": a period of the archive
    TrendTable *m_trends = nullptr; // the archive's trends, if the program keeps them
    QAction *m_printColours;  // images dark on white
    QList<QAction *> m_view;  // the view keys
};
