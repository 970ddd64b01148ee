// The main window connected to the default simulated crate after its first
// polls, with a few front-panel inputs set so the lamps show both states, and
// the alarms the crate has at connect (a channel at its current limit, a hot board).
#include "main_window.h"
#include "shots.h"
#include "simadapter.h"
#include "simcrate.h"

#include <QTimer>
#include <memory>

void Shots::connectMain(Main &w)
{
    const QString address = QStringLiteral("127.0.0.1");
    w.hv().Login(QStringLiteral("wxqv"), QStringLiteral("wxqv"), 0, address);
    QVariant count;
    w.hv().QuerySlots(&count, nullptr, nullptr);
    w.enterConnected(count.toInt(), w.hv().CrateProperty(QStringLiteral("ModelName")).toString(), address);
    w.findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
    for (int i = 0; i < 3; ++i) // the crate map, what each board offers, the watch's first look
        w.Timer1Tick();
    w.centralWidget()->setFocus(); // no slot button singled out by the keyboard focus
}

namespace {
const Shots::Registrar registrar(QStringLiteral("main"), [] {
    SimCrate crate;
    crate.setFrontPanelInput(QStringLiteral("LocalEnable"), true);
    crate.setParamValue(0, QStringLiteral("Pw"), 0, QVariant::fromValue<qint16>(1));
    Main w(std::make_unique<SimAdapter>(crate));
    Shots::connectMain(w);
    Shots::save(&w, QStringLiteral("main"));
});
} // namespace

// The connection dialog, the About box and the splash, as they first appear.
#include "frmabout.h"
#include "frmlogin.h"
#include "frmsplash.h"

#include <QStandardPaths>

namespace {
const Shots::Registrar shellRegistrar(QStringLiteral("shell"), [] {
    QStandardPaths::setTestModeEnabled(true); // the dialog reads the settings store: never the real one
    SimCrate crate;
    Main w(std::make_unique<SimAdapter>(crate));
    Shots::save(&w, QStringLiteral("main-disconnected"));
    w.mConnectClick();
    Shots::save(w.loginDialog(), QStringLiteral("login"));
    w.loginDialog()->hide();
    frmAbout about(&w);
    Shots::save(&about, QStringLiteral("about"));
    auto *splash = new frmSplash(w);
    Shots::save(splash, QStringLiteral("splash"));
    delete splash;
});
} // namespace
