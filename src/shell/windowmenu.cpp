#include "windowmenu.h"

#include "plaintext.h"

#include <QApplication>
#include <QCollator>
#include <QPointer>
#include <QWindow>
#include <algorithm>

WindowMenu::WindowMenu(const QList<QAction *> &fixed, QWidget *home)
    : QMenu(QStringLiteral("&Window"), home), m_fixed(fixed), m_home(home)
{
    setObjectName(QStringLiteral("mWindow"));
    connect(this, &QMenu::aboutToShow, this, &WindowMenu::rebuild);
    rebuild();
}

QList<QWidget *> WindowMenu::openWindows(const QWidget *home)
{
    QList<QWidget *> out;
    // Walked through the application's windows, a few dozen, not its widgets, which are thousands;
    // a widget shown as a window has its window's id.
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        QWidget *w = window->isVisible() && window->handle() ? QWidget::find(window->winId()) : nullptr;
        if (!w)
            continue;
        const Qt::WindowType type = w->windowType();
        if (w != home && w->isVisible() && (type == Qt::Window || type == Qt::Tool) && !w->windowTitle().isEmpty())
            out << w;
    }
    QCollator byTitle;
    byTitle.setNumericMode(true); // "Slot 2" before "Slot 10"
    std::sort(out.begin(), out.end(), [&byTitle](const QWidget *a, const QWidget *b) {
        return byTitle.compare(a->windowTitle(), b->windowTitle()) < 0;
    });
    return out;
}

void WindowMenu::bringForward(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

void WindowMenu::rebuild()
{
    clear();
    addActions(m_fixed);
    const QList<QWidget *> windows = openWindows(m_home);
    if (!windows.isEmpty())
        addSeparator();
    int n = 0;
    for (QWidget *w : windows) {
        ++n;
        // The first nine by their digit; a caption may hold the crate's model, whose "&" is no mnemonic.
        const QString number = n <= 9 ? QStringLiteral("&%1").arg(n) : QString::number(n);
        const QString title = w->windowTitle().replace(QStringLiteral("[*][*]"), QStringLiteral("[*]")); // as shown
        QAction *a = addAction(number + QLatin1Char(' ') + PlainText::buttonText(title));
        connect(a, &QAction::triggered, this, [window = QPointer<QWidget>(w)] {
            if (window)
                bringForward(window);
        });
    }
}
