#pragma once

#include <QEvent>
#include <QObject>

// Counts the paint events of the widgets it is installed on.
struct PaintCounter : QObject
{
    int count = 0; // paint events seen so far
    bool eventFilter(QObject *, QEvent *e) override
    {
        count += e->type() == QEvent::Paint;
        return false;
    }
};
