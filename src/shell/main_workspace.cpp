// Main's side of the workspace: opening windows as they were, offering to, and
// connecting at start.

#include "main_window.h"

#include "frmlogin.h"
#include "frmq310graph.h"
#include "readplan.h"
#include "hvpowersupply.h"
#include "windowtag.h"
#include "workspace.h"

#include <QAction>
#include <QStatusBar>

frmQ310Graph *Main::openBoardGraph(qint16 slot, qint16 macroChannel, const QString &parName)
{
    frmQ310Graph *graph = frmQ310Graph::open(*h, slot, macroChannel, parName, m_log, m_trends);
    trackWindow(graph);
    return graph;
}

void Main::openPanel(int slot, const QByteArray &geometry)
{
    if (!m_connected || slot < 0 || slot >= MaxSlots)
        return;
    auto plan = std::make_shared<ReadPlan>(this);
    plan->querySlots(PlanStep::SlotModels, [this, slot, geometry](const QVariant &, const QVariant &, const QVariant &models) {
        openSlot(slot, models);
        if (QWidget *panel = findWindowByTag(panelTag(slot)); panel && !geometry.isEmpty())
            panel->restoreGeometry(geometry);
    });
    runForSession(plan);
}

void Main::offerWorkspace(const QString &address)
{
    // After a lost link the windows it took come back by themselves, from the last good picture.
    if (address == std::exchange(m_lostCrate, QString()) && m_workspace->crate() == address) {
        m_workspace->reopen();
        mReopen->setEnabled(false);
        return;
    }
    m_stored->load();
    const bool offered = m_stored->crate() == address && m_stored->windowCount() > 0;
    mReopen->setEnabled(offered);
    if (offered)
        statusBar()->showMessage(tr("%n window(s) of the last session with %1: Connection > Reopen last windows.", nullptr,
                                    m_stored->windowCount())
                                     .arg(address),
                                 15000);
}

void Main::mReopenClick()
{
    if (!m_connected || m_stored->crate() != h->session().address())
        return;
    mReopen->setEnabled(false); // once: a second time would open the graphs twice
    statusBar()->clearMessage();
    m_stored->reopen();
}

void Main::connectTo(const QString &address)
{
    mConnectClick();
    m_login->prefill(address);
}

void Main::restoreSavedGeometry()
{
    const QByteArray geometry = Workspace::mainGeometry();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}
