#include "main_window.h"

#include "crateoverview.h"
#include "appinfo.h"
#include "boardpanel.h"
#include "eventlog.h"
#include "frmabout.h"
#include "frmevents.h"
#include "frmgraph.h"
#include "frmhelp.h"
#include "frmlogin.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "lib.h"
#include "linkfailure.h"
#include "msgbox.h"
#include "plaintext.h"
#include "readplan.h"
#include "staleshade.h"
#include "tickphase.h"
#include "screenfit.h"
#include "windowmenu.h"
#include "windowtag.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>

namespace {
const QString Disconnected = QStringLiteral("Pylonet is now disconnected.");
const QString NotConnected = QStringLiteral("Not connected");
} // namespace

Main::Main(std::unique_ptr<HVPowerSupply> hv, QWidget *parent)
    : QMainWindow(parent), h(std::move(hv)), m_models(ModelTable::standard()), m_log(new EventLog(this))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Norvane Pylonet"));

    Lib::InitTables();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Main::Timer1Tick);

    buildMenus();

    m_overview = new CrateOverview(this);
    connect(m_overview, &CrateOverview::slotClicked, this, &Main::bSlotClick);
    setCentralWidget(m_overview);
    m_shade = new StaleShade(m_overview);
    setWindowIcon(AppInfo::icon());

    lblLinkStatus = new QLabel(NotConnected);
    lblLinkStatus->setObjectName(QStringLiteral("lblLinkStatus"));
    lblLinkStatus->setTextFormat(Qt::PlainText); // the crate's model and the link's reasons, as sent
    lblLinkStatus->setTextInteractionFlags(Qt::TextSelectableByMouse); // a fingerprint can be copied
    statusBar()->addWidget(lblLinkStatus, 1);
    lblPace = new QLabel(this);
    lblPace->setObjectName(QStringLiteral("lblPace"));
    statusBar()->addPermanentWidget(lblPace);
    connect(&h->session(), &CrateSession::paceChanged, this, [this](double periodMs) {
        // Under about a second and a half every window still refreshes about once a second.
        lblPace->setText(periodMs > 1500 ? tr("The crate cannot keep up: each window refreshes every %1 s")
                                               .arg(periodMs / 1000, 0, 'f', 1)
                                         : QString());
    });
    fitToScreen();
}

void Main::fitToScreen()
{
    QWidget *content = takeCentralWidget();
    const QSize wanted(content->sizeHint().width(),
                       menuBar()->sizeHint().height() + content->sizeHint().height() + statusBar()->sizeHint().height());
    auto *scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("mainScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // Tab goes to the slot buttons; the area follows the focus
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    setCentralWidget(scroll);
    ScreenFit::resize(this, wanted);
}

Main::~Main()
{
    // Panels and graph windows reach the crate through h: none may outlive it.
    for (const QPointer<QWidget> &w : std::as_const(m_windows))
        delete w.data();
}

void Main::trackWindow(QWidget *window)
{
    m_windows.removeAll(nullptr);
    m_windows.append(window);
}

HVPowerSupply &Main::hv() { return *h; }

QList<Contrast::Pair> Main::colourPairs()
{
    return CrateOverview::colourPairs();
}

void Main::setModelTable(ModelTable table) { m_models = std::move(table); }
const ModelTable &Main::modelTable() const { return m_models; }
bool Main::isConnected() const { return m_connected; }
QString Main::linkStatus() const { return lblLinkStatus->text(); }
QString Main::paceStatus() const { return lblPace->text(); }
frmEvents *Main::eventsWindow() const { return m_events; }
frmHelp *Main::helpWindow() const { return m_help; }
frmLogin *Main::loginDialog() const { return m_login; }

void Main::buildMenus()
{
    auto item = [this](auto *menu, const QString &text, const QString &name, void (Main::*handler)()) {
        QAction *a = menu->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };

    QMenu *mConnection = menuBar()->addMenu(QStringLiteral("&Connection"));
    mConnection->setObjectName(QStringLiteral("mConnection"));
    mConnect = item(mConnection, QStringLiteral("&Connect"), QStringLiteral("mConnect"), &Main::mConnectClick);
    mDisconnect =
        item(mConnection, QStringLiteral("&Disconnect"), QStringLiteral("mDisconnect"), &Main::mDisconnectClick);
    mDisconnect->setEnabled(false);
    QAction *mDummy0 = mConnection->addSeparator();
    mDummy0->setObjectName(QStringLiteral("mDummy0"));
    mExit = item(mConnection, QStringLiteral("&Exit"), QStringLiteral("mExit"), &Main::mExitClick);
    mExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    mGraph = item(menuBar(), QStringLiteral("&Graph"), QStringLiteral("mGraph"), &Main::mGraphClick);
    mGraph->setEnabled(false);
    mGraph->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    mEvents = item(menuBar(), QStringLiteral("&Events"), QStringLiteral("mEvents"), &Main::mEventsClick);
    mEvents->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));

    mMainWindow = new QAction(QStringLiteral("&Main window"), this);
    mMainWindow->setObjectName(QStringLiteral("mMainWindow"));
    mMainWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    connect(mMainWindow, &QAction::triggered, this, [this] { WindowMenu::bringForward(this); });
    // The same actions as the menu bar's, so each shows its key where a menu lists windows.
    menuBar()->addMenu(new WindowMenu({mMainWindow, mEvents, mGraph}, this));

    QMenu *help = menuBar()->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("Help"));
    mHelp = item(help, QStringLiteral("&Help"), QStringLiteral("mHelp"), &Main::mHelpClick);
    mHelp->setShortcut(QKeySequence(Qt::Key_F1));
    mAbout = item(help, QStringLiteral("&About..."), QStringLiteral("mAbout"), &Main::mAboutClick);
    // From any window of the program, not only from this one: no window is a dead end.
    for (QAction *a : {mExit, mGraph, mEvents, mMainWindow, mHelp}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }
}

void Main::Timer1Tick()
{
    checkFreshness();
    if (!m_connected || m_pollInFlight)
        return;
    auto plan = std::make_shared<ReadPlan>(this);
    planPoll(*plan);
    plan->onDone([this] {
        m_pollInFlight = false;
        m_freshAtMs = QDateTime::currentMSecsSinceEpoch();
        m_shade->lift();
    });
    m_pollInFlight = true;
    runForSession(plan);
}

void Main::planPoll(ReadPlan &plan)
{
    plan.querySlots(PlanStep::SlotCount | PlanStep::SlotModels,
                    [this](const QVariant &count, const QVariant &, const QVariant &models) {
                        m_overview->showSlots(count, models, m_models);
                        h->session().noteModels(models.toList());
                    });
    planFrontPanel(plan);
}

void Main::RefreshFrontPanel()
{
    auto plan = std::make_shared<ReadPlan>(this);
    planFrontPanel(*plan);
    runForSession(plan);
}

void Main::planFrontPanel(ReadPlan &plan)
{
    plan.crateProperty(QStringLiteral("FrontPanIn"), [this](const QVariant &v) { m_overview->showInputs(quint8(v.toUInt())); });
    plan.crateProperty(QStringLiteral("FrontPanOut"), [this](const QVariant &v) { m_overview->showOutputs(qint16(v.toInt())); });
    plan.crateProperty(QStringLiteral("SwRelease"), [this](const QVariant &v) { m_overview->showRelease(v.toString()); });
}

void Main::bSlotClick(int slot)
{
    if (!m_connected || slot < 0 || slot >= MaxSlots)
        return;
    auto plan = std::make_shared<ReadPlan>(this);
    plan->querySlots(PlanStep::SlotModels,
                     [this, slot](const QVariant &, const QVariant &, const QVariant &models) { openSlot(slot, models); });
    runForSession(plan);
}

void Main::openSlot(int slot, const QVariant &models)
{
    const QString tag = QStringLiteral("Mon%1").arg(slot);
    if (raiseWindowByTag(tag))
        return;
    const QString model = models.toList().value(slot).toString();
    const ModelRow *row = m_models.find(model);
    if (!row || !row->open)
        return;
    QWidget *w = row->open(*h);
    if (!w)
        return;
    if (auto *panel = qobject_cast<BoardPanel *>(w))
        panel->setEventLog(m_log);
    w->setWindowTitle(PlainText::windowTitle(model) + QStringLiteral(" - Channels monitor - Slot ") + QString::number(slot));
    setWindowTag(w, tag);
    w->setAttribute(Qt::WA_DeleteOnClose);
    trackWindow(w);
    w->show();
}

void Main::runForSession(const std::shared_ptr<ReadPlan> &plan)
{
    const int session = m_session;
    plan->whileTrue([this, session] { return session == m_session; });
    plan->onFailed([this](const HVError &e) {
        m_pollInFlight = false;
        connectionLost(e);
    });
    h->runPlan(plan);
}

void Main::enterConnected(int slotCount, const QString &modelName, const QString &address)
{
    QString status = QStringLiteral("Connected to %1 \u2014 %2").arg(address, modelName);
    const QString fingerprint = h->linkFingerprint();
    if (!fingerprint.isEmpty())
        status += QStringLiteral(" \u2014 encrypted, certificate SHA-256 %1").arg(fingerprint);
    lblLinkStatus->setText(status);
    m_log->setCrate(address);
    m_log->link(EventLog::Kind::Connect, status);

    m_overview->showSlotButtons(slotCount);
    m_overview->showModel(modelName);
    m_connected = true;
    ++m_session;
    m_pollInFlight = false;
    startSpread(Timer1, 1000);
    mConnect->setEnabled(false);
    mDisconnect->setEnabled(true);
    mExit->setEnabled(true);
    mGraph->setEnabled(true);
    m_freshAtMs = QDateTime::currentMSecsSinceEpoch();
    m_shade->lift();
    // Windows left open by a Disconnect resume (or close) now.
    h->session().up(address);
}

// The disconnect steps. Logout comes after the window is already cleared, so a
// link that fails there cannot leave the window half connected. Logout never
// waits for the crate: on a hung link the screen must not stop.
bool Main::disconnectSteps(QString *logoutFailure)
{
    m_overview->clear();
    m_shade->lift();
    Timer1->stop();
    m_connected = false;
    ++m_session;
    m_pollInFlight = false;
    bool loggedOut = true;
    try {
        h->Logout();
    } catch (const HVError &e) {
        loggedOut = false;
        *logoutFailure = e.message();
    }
    mDisconnect->setEnabled(false);
    mConnect->setEnabled(true);
    mExit->setEnabled(true);
    mGraph->setEnabled(false);
    return loggedOut;
}

void Main::mDisconnectClick()
{
    // The operator asked for it: no message, and the open windows stay open,
    // quiet, until the next Connect. They hear of it before the link closes,
    // so that answers cut off by the Logout are not taken for a failure.
    h->session().down(NotConnected, true);
    QString failure;
    const bool loggedOut = disconnectSteps(&failure);
    lblLinkStatus->setText(NotConnected);
    m_log->link(EventLog::Kind::Disconnect,
                loggedOut ? NotConnected : QStringLiteral("%1 (the logout failed: %2)").arg(NotConnected, reasonText(failure)));
}

void Main::linkLost(const QString &reason)
{
    const QString status = QStringLiteral("Connection lost: %1").arg(reasonText(reason));
    lblLinkStatus->setText(status);
    m_log->link(EventLog::Kind::LinkLost, reasonText(reason));
}

void Main::connectionLost(const HVError &error)
{
    h->session().down(error.message(), false);
    QString ignored; // the link is already known to be broken
    disconnectSteps(&ignored);
    linkLost(error.message());
    tellLinkFailure(this, *h, error, Disconnected); // unless a window has told of this loss already
}

void Main::checkFreshness()
{
    if (!m_connected)
        return;
    const qint64 age = QDateTime::currentMSecsSinceEpoch() - m_freshAtMs;
    if (age <= BoardPanel::StaleAfterMs)
        return;
    m_shade->cover(tr("No answer from the crate for %1 s: the overview is from %2")
                       .arg(age / 1000)
                       .arg(QDateTime::fromMSecsSinceEpoch(m_freshAtMs).toString(QStringLiteral("hh:mm:ss"))),
                   false);
}

void Main::mConnectClick()
{
    if (!m_login)
        m_login = new frmLogin(*this);
    m_login->setWindowModality(Qt::ApplicationModal);
    m_login->show();
    m_login->raise();
    m_login->activateWindow();
}

void Main::mGraphClick()
{
    openGraphWindow();
}

void Main::openGraphWindow()
{
    // A new, independent graph window each time, on Main's one h.
    auto *graph = new frmGraph(hv());
    graph->setEventLog(m_log);
    graph->setAttribute(Qt::WA_DeleteOnClose);
    trackWindow(graph);
    graph->show();
}

void Main::mEventsClick()
{
    // One window over the log; it reads only the log, never the crate.
    if (!m_events) {
        m_events = new frmEvents(*m_log, this);
        m_events->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_events->show();
    m_events->raise();
    m_events->activateWindow();
}

void Main::mHelpClick()
{
    // One window, reading no crate; brought forward when it is open.
    if (!m_help) {
        m_help = new frmHelp(this);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    WindowMenu::bringForward(m_help);
}

void Main::mAboutClick()
{
    const QString fingerprint = m_connected ? h->linkFingerprint() : QString();
    auto *about = new frmAbout(this, fingerprint.isEmpty() ? QString()
                                                           : QStringLiteral("This session: encrypted link, crate certificate "
                                                                            "SHA-256\n%1").arg(fingerprint));
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowModality(Qt::ApplicationModal);
    about->show();
}

void Main::mExitClick()
{
    close();
}

void Main::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the run, the same as "&Exit": every other window goes too.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (w != this && w->isVisible() && !w->parentWidget())
            w->close();
    event->accept();
    QApplication::quit();
}
