#pragma once

#include "boardpanel.h"
#include "fakeserver.h"
#include "modeltable.h"
#include "numfield.h"
#include "simcrate.h"
#include "simserver.h"
#include "windowtag.h"

#include <QApplication>
#include <QHash>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>

// Opens a panel the way the main window does (the model table's window, caption,
// tag "Mon" + slot, shown); the refresh timer is stopped so that a test drives every tick itself.
inline std::unique_ptr<BoardPanel> openPanel(const QString &model, HVPowerSupply &h, int slot, bool stopTimer = true)
{
    std::unique_ptr<BoardPanel> p(static_cast<BoardPanel *>(ModelTable::standard().find(model)->open(h)));
    p->setWindowTitle(model + QStringLiteral(" - Channels monitor - Slot ") + QString::number(slot));
    setWindowTag(p.get(), QStringLiteral("Mon") + QString::number(slot));
    p->show();
    if (stopTimer)
        p->findChild<QTimer *>(QStringLiteral("ChMon"))->stop();
    return p;
}

// One tick with its answers applied: over the network they arrive through the event loop.
inline bool tickNow(BoardPanel *p, int timeoutMs = 5000)
{
    p->ChMonTick();
    return QTest::qWaitFor([p] { return !p->tickInFlight(); }, timeoutMs);
}

// Makes the panel the active window so that focus moves raise focus events.
inline bool activatePanel(QWidget *p)
{
    p->activateWindow();
    QApplication::setActiveWindow(p);
    return QTest::qWaitForWindowActive(p);
}

template <typename W>
W *control(QWidget *panel, const QString &name)
{
    W *w = panel->findChild<W *>(name);
    if (!w)
        qWarning("no control %s", qPrintable(name));
    return w;
}

// Brings up the page that holds the control.
inline void showPageOf(QWidget *panel, QWidget *w)
{
    if (!w->isVisibleTo(panel))
        control<QTabBar>(panel, QStringLiteral("TabStrip1"))->setCurrentIndex(1);
}

// The operator types text into a numeric field and presses Enter.
inline void typeAndCommit(QWidget *panel, NumField *f, const QString &text)
{
    showPageOf(panel, f);
    f->setFocus();
    f->selectAll();
    QTest::keyClicks(f, text);
    QTest::keyClick(f, Qt::Key_Return);
}

// A recording fake with one board and that board's panel open on it. The board
// answers from tables: values and "Exp" by parameter (0 when absent); every
// "Maxval" is 100.
struct PanelRig
{
    FakeHV hv;
    QHash<QString, QVariant> values; // by parameter
    QHash<QString, int> exps;        // "Exp" by parameter
    std::unique_ptr<BoardPanel> p;

    PanelRig(const QString &model, int channels, int slot = 3, bool stopTimer = true)
    {
        hv.setBoard(slot, model, channels);
        hv.paramValue = [this](qint16, const QString &par, std::optional<qint16>) { return values.value(par, 0); };
        hv.paramAttribute = [this](qint16, const QString &par, const QString &prop, std::optional<qint16>) {
            return QVariant(prop == QLatin1String("Exp") ? exps.value(par, 0) : prop == QLatin1String("Maxval") ? 100 : 0);
        };
        p = openPanel(model, hv, slot, stopTimer);
    }
    template <typename W = QWidget> W *get(const QString &name) const { return control<W>(p.get(), name); }
    // What a label or line edit shows.
    QString text(const QString &name) const { return get(name)->property("text").toString(); }
};

// The default simulated crate on its own server thread with a clock the test moves, and
// a client logged in to it over the network.
struct SimRig
{
    std::atomic<qint64> nowMs{0};
    SimServerThread server{std::make_unique<SimCrate>([this] { return nowMs.load(); })};
    LoggedInClient client{server.port(), 2000, 2000};

    void advanceSeconds(int s) { nowMs += qint64(s) * 1000; }
};
