#include "windowtag.h"

#include <QApplication>
#include <QVariant>
#include <QWidget>

QString windowTag(const QWidget *window)
{
    return window ? window->property("tag").toString() : QString();
}

void setWindowTag(QWidget *window, const QString &tag)
{
    window->setProperty("tag", tag);
}

QString panelTag(int slot)
{
    return QStringLiteral("Mon%1").arg(slot);
}

QWidget *findWindowByTag(const QString &tag)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        // A window that has been closed but not yet deleted is no longer "open".
        if (w->isVisible() && windowTag(w) == tag)
            return w;
    }
    return nullptr;
}

bool raiseWindowByTag(const QString &tag)
{
    QWidget *w = findWindowByTag(tag);
    if (!w)
        return false;
    if (w->isMinimized())
        w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
    return true;
}
