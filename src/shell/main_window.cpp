#include "main_window.h"

#include "crateoverview.h"
#include "alarmbook.h"
#include "alarmpanel.h"
#include "appinfo.h"
#include "cratewatch.h"
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
#include "shiftlog.h"
#include "staleshade.h"
#include "tickphase.h"
#include "screenfit.h"
#include "windowmenu.h"
#include "windowtag.h"
#include "workspace.h"
#include "archive.h"
#include "trendtable.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString Disconnected = QStringLiteral("Pylonet is now disconnected.");
const QString NotConnected = QStringLiteral("Not connected");
} // namespace

Main::Main(std::unique_ptr<HVPowerSupply> hv, Archive *archive, QWidget *parent)
    : QMainWindow(parent), h(std::move(hv)), m_models(ModelTable::standard()), m_log(new EventLog(this)),
      m_shift(new ShiftLog(*m_log, archive, this)), m_alarms(new AlarmBook(*m_log, this)),
      m_watch(new CrateWatch(*m_log, *m_alarms, this)), m_trends(archive ? archive->find<TrendTable>() : nullptr),
      m_workspace(std::make_unique<Workspace>(*this)), m_stored(std::make_unique<Workspace>(*this))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Norvane Pylonet"));

    Lib::InitTables();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Main::Timer1Tick);

    buildMenus();
    // The watch's sweep reads every channel's name: graphs naming a channel follow a rename.
    connect(m_watch, &CrateWatch::channelNameRead, this,
            [this](int slot, int channel, const QString &name) { h->session().noteChannelName(slot, channel, name); });

    auto *central = new QWidget(this);
    m_overview = new CrateOverview(central);
    connect(m_overview, &CrateOverview::slotClicked, this, &Main::bSlotClick);
    m_alarmPanel = new AlarmPanel(*m_alarms, central);
    connect(m_alarms, &AlarmBook::changed, this, &Main::showAlarms);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 6);
    column->addWidget(m_overview);
    column->addWidget(m_alarmPanel, 1);
    setCentralWidget(central);
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
    // Said once when the shift log's file cannot be written, gone when it can again.
    lblShiftLog = new QLabel(this);
    lblShiftLog->setObjectName(QStringLiteral("lblShiftLog"));
    lblShiftLog->setWordWrap(true);
    statusBar()->addPermanentWidget(lblShiftLog);
    const auto shiftLogTrouble = [this](const QString &why) {
        lblShiftLog->setText(why.isEmpty() ? QString() : tr("Shift log not written: %1").arg(why));
        lblShiftLog->setToolTip(why.isEmpty() ? QString()
                                              : tr("Events and graph samples are kept in memory until the file can be "
                                                   "written; the graphs go on."));
        lblShiftLog->setVisible(!why.isEmpty());
    };
    connect(m_shift, &ShiftLog::troubleChanged, this, shiftLogTrouble);
    shiftLogTrouble(m_shift->trouble());
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
    mReopen = item(mConnection, QStringLiteral("&Reopen last windows"), QStringLiteral("mReopen"), &Main::mReopenClick);
    mReopen->setEnabled(false);
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
    m_watch->plan(*plan); // after the poll's own reads, in the same exchange
    plan->onDone([this] {
        polled();
        m_watch->evaluate();
    });
    m_pollInFlight = true;
    // A watch read the crate refuses (a board changed under it) is the watch's to mend.
    runForSession(plan, [this](const HVError &e) {
        if (!m_watch->refused(e))
            return false;
        polled();
        return true;
    });
}

void Main::polled()
{
    // The windows as they are while the crate answers: a dying link leaves this picture.
    if (m_connected)
        m_workspace->capture(h->session().address());
    m_pollInFlight = false;
    m_freshAtMs = QDateTime::currentMSecsSinceEpoch();
    m_shade->lift();
}

void Main::showAlarms()
{
    if (!m_connected)
        return; // the disconnected overview shows nothing lit
    m_overview->showAlarmLamps(m_alarms->tripLamp(), m_alarms->powerFailLamp());
    for (int slot = 0; slot < MaxSlots; ++slot) {
        const QList<const AlarmBook::Alarm *> listed = m_alarms->ofSlot(slot);
        QStringList said;
        bool waiting = false;
        for (const AlarmBook::Alarm *a : listed) {
            waiting = waiting || !a->acknowledged;
            said << tr("%1%2, %3").arg(a->text,
                                        a->channel < 0 ? QString() : tr(" on channel %1").arg(a->channel),
                                        a->isActive() ? (a->acknowledged ? tr("active, acknowledged") : tr("active, not acknowledged"))
                                                      : tr("cleared, not acknowledged"));
        }
        const QString words = listed.isEmpty() ? QString()
                              : AlarmBook::shortText(listed.first()->what)
                                    + (listed.size() > 1 ? QStringLiteral(" +%1").arg(listed.size() - 1) : QString());
        m_overview->markSlot(slot, words, waiting,
                             listed.isEmpty() ? QString() : tr("Alarm: %1").arg(said.join(QStringLiteral("; "))));
    }
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
    plan.crateProperty(QStringLiteral("FrontPanIn"), [this](const QVariant &v) {
        m_overview->showInputs(quint8(v.toUInt()));
        m_watch->takeInputs(quint8(v.toUInt()));
    });
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
    // The board the crate showed last gets its panel at once, and the panel's first reads go right
    // behind the click's own: the crate sees them in the same order, a round trip sooner.
    const QString known = h->session().models().value(slot).toString();
    if (!known.isEmpty() && !findWindowByTag(panelTag(slot))) {
        m_guess = showPanel(slot, known);
        m_guessModel = known;
    }
}

void Main::openSlot(int slot, const QVariant &models)
{
    const QString tag = panelTag(slot);
    const QString model = models.toList().value(slot).toString();
    if (m_guess && windowTag(m_guess) == tag) {
        QWidget *guess = std::exchange(m_guess, nullptr);
        if (model == m_guessModel)
            return;
        // Another board came meanwhile: its panel replaces the one opened at the click.
        guess->close();
    }
    if (raiseWindowByTag(tag))
        return;
    showPanel(slot, model);
}

QWidget *Main::showPanel(int slot, const QString &model)
{
    const ModelRow *row = m_models.find(model);
    if (!row || !row->open)
        return nullptr;
    QWidget *w = row->open(*h);
    if (!w)
        return nullptr;
    if (auto *panel = qobject_cast<BoardPanel *>(w)) {
        panel->setEventLog(m_log);
        panel->setTrends(m_trends);
    }
    w->setWindowTitle(PlainText::windowTitle(model) + QStringLiteral(" - Channels monitor - Slot ") + QString::number(slot));
    setWindowTag(w, panelTag(slot));
    w->setAttribute(Qt::WA_DeleteOnClose);
    trackWindow(w);
    w->show();
    return w;
}

void Main::runForSession(const std::shared_ptr<ReadPlan> &plan, std::function<bool(const HVError &)> handled)
{
    const int session = m_session;
    plan->whileTrue([this, session] { return session == m_session; });
    plan->onFailed([this, handled = std::move(handled)](const HVError &e) {
        if (handled && handled(e))
            return;
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
    m_watch->reset();
    m_connected = true;
    showAlarms();
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
    offerWorkspace(address);
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
    m_watch->reset(); // latched alarms stay listed; the next connection is compared with nothing
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
    mReopen->setEnabled(false);
    return loggedOut;
}

void Main::mDisconnectClick()
{
    // The operator asked for it: no message, and the open windows stay open,
    // quiet, until the next Connect. They hear of it before the link closes,
    // so that answers cut off by the Logout are not taken for a failure.
    m_workspace->capture(h->session().address());
    m_workspace->save();
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
    if (m_connected && m_workspace->windowCount() > 0) {
        m_workspace->save();
        m_lostCrate = m_workspace->crate();
    }
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

frmGraph *Main::openGraphWindow()
{
    // A new, independent graph window each time, on Main's one h.
    auto *graph = new frmGraph(hv());
    graph->setEventLog(m_log);
    graph->setTrends(m_trends);
    graph->setAttribute(Qt::WA_DeleteOnClose);
    trackWindow(graph);
    graph->show();
    return graph;
}

void Main::mEventsClick()
{
    // One window over the log; it reads only the log, never the crate.
    if (!m_events) {
        m_events = new frmEvents(*m_log, *m_shift, this);
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
    // What is open is kept for the next run before the windows go.
    if (m_connected) {
        m_workspace->capture(h->session().address());
        m_workspace->save();
    }
    Workspace::saveMainGeometry(saveGeometry());
    // Closing the main window ends the run, the same as "&Exit": every other window goes too.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (w != this && w->isVisible() && !w->parentWidget())
            w->close();
    event->accept();
    QApplication::quit();
}
