// The desktop as other operators see it: the main window and a panel in a dark
// palette, a panel at a 13 pt font, and the Events window after a channel tripped.
#include "boardpanel.h"
#include "frmevents.h"
#include "frmq310.h"
#include "frmq510.h"
#include "lamp.h"
#include "main_window.h"
#include "msgboxcatcher.h"
#include "numfield.h"
#include "palettes.h"
#include "shots.h"
#include "simadapter.h"
#include "simcrate.h"
#include "windowtag.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <memory>

namespace {

const Shots::Registrar dark(QStringLiteral("dark"), [] {
    const PaletteScope scope(darkFusionPalette());
    SimCrate crate;
    crate.setFrontPanelInput(QStringLiteral("LocalEnable"), true);
    {
        Main w(std::make_unique<SimAdapter>(crate));
        Shots::connectMain(w);
        Shots::save(&w, QStringLiteral("main-dark"));
    }
    SimAdapter h(crate);
    frmQ510 panel(h);
    Shots::savePanel(&panel, QStringLiteral("Q510"), 10, QStringLiteral("panel-q510-dark")); // the hot one
});

const Shots::Registrar largeFont(QStringLiteral("font13"), [] {
    const QFont before = QApplication::font();
    QFont big = before;
    big.setPointSize(13);
    QApplication::setFont(big);
    {
        SimCrate crate;
        SimAdapter h(crate);
        frmQ310 panel(h);
        Shots::savePanel(&panel, QStringLiteral("Q310"), 0, QStringLiteral("panel-q310-13pt"));
    }
    QApplication::setFont(before);
});

const Shots::Registrar events(QStringLiteral("events"), [] {
    static std::atomic<qint64> nowMs{0};
    SimCrate crate([] { return nowMs.load(); });
    const MsgBoxCatcher boxes; // the refusal's box
    Main w(std::make_unique<SimAdapter>(crate));
    nowMs = 60000;
    Shots::connectMain(w);
    w.bSlotClick(0);
    auto *panel = qobject_cast<BoardPanel *>(findWindowByTag(QStringLiteral("Mon0")));
    panel->findChild<QTimer *>(QStringLiteral("ChMon"))->stop();
    panel->ChMonTick();
    // The operator switches on the shorted channel, asks too much of another, and watches.
    panel->findChild<Lamp *>(QStringLiteral("ledPw_4"))->click();
    emit panel->findChild<NumField *>(QStringLiteral("V0Set_5"))->committed(9);
    QCoreApplication::processEvents();
    for (const qint64 at : {61000, 63000, 66000, 68000, 75000}) {
        nowMs = at;
        panel->ChMonTick();
        w.Timer1Tick(); // the watch logs what the crate did
    }
    w.mEventsClick();
    Shots::save(w.eventsWindow(), QStringLiteral("events"));
});

} // namespace
