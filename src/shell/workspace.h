#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

class Main;
class QSettings;

// The windows of a session with one crate, so that a later Connect to it (or
// the next run) can put them back: which board panels, graph windows and board
// graphs were open, where, and each graph's traces, axes and view. The graphs'
// samples are in the archive: a reopened graph reads its history from there.
//
// Main captures the windows each time a poll answers (so a link that dies
// leaves the last good picture, not the windows it closed), writes them to the
// settings at a Disconnect, a lost link and the end of the run, and reopens them.
// Settings: the group "Pylonet/Workspace" (Crate, Windows, MainGeometry).
class Workspace
{
public:
    explicit Workspace(Main &main) : m_main(main) {}

    // The windows open now, kept in memory.
    void capture(const QString &crate);
    // The last capture, written to the settings.
    void save() const;
    // The settings' windows, taken back into memory.
    void load();
    QString crate() const { return m_crate; }
    int windowCount() const { return int(m_windows.size()); }

    // Opens the windows in memory, as they were; one already open (by its tag) is
    // brought forward instead. Returns how many were asked for.
    int reopen();

    // The main window's place and size, kept apart from any crate's windows.
    static void saveMainGeometry(const QByteArray &geometry);
    static QByteArray mainGeometry();

private:
    struct Window
    {
        QString kind;        // "panel", "graph" or "boardgraph"
        QString tag;         // the window's tag ("Mon3", "Graph#1#0#VMon"); none for a graph window
        QByteArray geometry; // QWidget::saveGeometry
        QVariantMap state;   // the graph's traces, axes and view
    };

    Main &m_main;             // opens the windows, on its one crate connection
    QString m_crate;          // whose windows these are
    QList<Window> m_windows;  // in the order they are reopened
};
