#include "screenfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFit {

namespace {
AreaSource &source()
{
    static AreaSource fake; // test hook; empty in the application
    return fake;
}
} // namespace

QSize room(const QRect &available)
{
    const QRect inner = available.marginsRemoved(FrameAllowance);
    return inner.size().expandedTo(QSize(1, 1));
}

QSize bounded(const QSize &wanted, const QRect &available)
{
    return wanted.boundedTo(room(available));
}

QRect availableFor(const QWidget *window)
{
    if (source())
        return source()(window);
    const QScreen *screen = window ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void setAreaSource(AreaSource s)
{
    source() = std::move(s);
}

void resize(QWidget *window, const QSize &wanted)
{
    const QRect available = availableFor(window);
    window->resize(available.isEmpty() ? wanted : bounded(wanted, available));
}

} // namespace ScreenFit
