// The five board panels on the default simulated crate, some channels on, one
// tripped and one in current limit, as an operator sees them after a tick.
#include "frmq205.h"
#include "frmq310.h"
#include "frmq420.h"
#include "frmq510.h"
#include "frmq510e.h"
#include "shots.h"
#include "simadapter.h"
#include "simcrate.h"
#include "windowtag.h"

#include <QTabBar>
#include <QTimer>
#include <atomic>
#include <memory>

void Shots::savePanel(BoardPanel *panel, const QString &model, int slot, const QString &file)
{
    panel->setWindowTitle(model + QStringLiteral(" - Channels monitor - Slot ") + QString::number(slot));
    setWindowTag(panel, QStringLiteral("Mon") + QString::number(slot));
    panel->show();
    panel->findChild<QTimer *>(QStringLiteral("ChMon"))->stop();
    panel->ChMonTick();
    Shots::save(panel, file);
}

namespace {

const Shots::Registrar registrar(QStringLiteral("panels"), [] {
    static std::atomic<qint64> nowMs{0};
    SimCrate crate([] { return nowMs.load(); });
    SimAdapter h(crate);
    nowMs = 60000; // the channels switched on have reached their setpoints
    crate.setParamValue(0, QStringLiteral("Pw"), 4, QVariant::fromValue<qint16>(1)); // the shorted one
    nowMs = 75000; // ... has tripped by now

    {
        frmQ310 p(h);
        Shots::savePanel(&p, QStringLiteral("Q310"), 0, QStringLiteral("panel-q310"));
        p.findChild<QTabBar *>(QStringLiteral("TabStrip1"))->setCurrentIndex(1);
        Shots::save(&p, QStringLiteral("panel-q310-page2"));
    }
    {
        frmQ420 p(h);
        Shots::savePanel(&p, QStringLiteral("Q420"), 1, QStringLiteral("panel-q420"));
    }
    {
        frmQ510 p(h);
        Shots::savePanel(&p, QStringLiteral("Q510"), 3, QStringLiteral("panel-q510"));
    }
    {
        frmQ510E p(h);
        Shots::savePanel(&p, QStringLiteral("Q510E"), 4, QStringLiteral("panel-q510e"));
    }
    {
        frmQ205 p(h);
        Shots::savePanel(&p, QStringLiteral("Q205"), 5, QStringLiteral("panel-q205"));
    }
});

} // namespace
