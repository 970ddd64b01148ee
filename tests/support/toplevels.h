#pragma once

#include <QApplication>
#include <QWidget>

// The top-level windows that inherit the class.
inline QList<QWidget *> topLevels(const char *className)
{
    QList<QWidget *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits(className))
            out << w;
    return out;
}
