#pragma once

#include <QMenu>

// The main window's "&Window" menu: the actions that reach the program's
// windows from anywhere (their shortcuts work in every window), then every
// window now open, numbered, by title; choosing one brings it forward.
class WindowMenu : public QMenu
{
    Q_OBJECT
public:
    // `fixed` come first, each with its own shortcut; `home` is the window that owns the menu.
    WindowMenu(const QList<QAction *> &fixed, QWidget *home);

    // The open windows the menu lists, in its order (the home window left out).
    static QList<QWidget *> openWindows(const QWidget *home);

    // Brings a window forward, restored if it was minimised.
    static void bringForward(QWidget *window);

private:
    void rebuild();

    QList<QAction *> m_fixed; // always at the top
    QWidget *m_home;          // not listed: its own items reach it
};
