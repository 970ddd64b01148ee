#include "main_window.h"

#include "appinfo.h"
#include "boardpanel.h"
#include "eventlog.h"
#include "frmabout.h"
#include "frmevents.h"
#include "frmgraph.h"
#include "frmlogin.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "lamp.h"
#include "lib.h"
#include "linkfailure.h"
#include "msgbox.h"
#include "readplan.h"
#include "tickphase.h"
#include "twoposswitch.h"
#include "windowtag.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

namespace {
// Lamp colours of the front panel: green for a state, red for a fault, amber for a flag.
constexpr QRgb LitGreen = qRgb(0x3c, 0xf0, 0x5a);
constexpr QRgb LitRed = qRgb(0xff, 0x3a, 0x2a);
constexpr QRgb LitAmber = qRgb(0xff, 0xb0, 0x20);

// Which front-panel mask lights a lamp.
enum class Mask { In, Out, None };

// A lamp of the front panel: where it sits, its colour when lit, and the bit of
// "FrontPanIn" or "FrontPanOut" that lights it.
struct FrontLamp
{
    const char *name;
    const char *label;
    QRgb lit;
    int row;
    int column;
    Mask mask;
    int bit;
};

// Inputs, outputs and flags in three columns. No bit of either mask drives
// the flags: they are laid out as on the crate and stay dark.
constexpr FrontLamp FrontLamps[] = {
    {"ledVSel", "VSel", LitGreen, 1, 0, Mask::In, 1},
    {"ledISel", "ISel", LitGreen, 2, 0, Mask::In, 2},
    {"ledKill", "Kill", LitRed, 3, 0, Mask::In, 4},
    {"ledIlock", "Interlock", LitRed, 4, 0, Mask::In, 8},
    {"ledLocEna", "Local Enable", LitGreen, 5, 0, Mask::In, 32},
    {"ledRemEna", "Remote Enable", LitGreen, 6, 0, Mask::In, 16},
    {"ledOVC", "OVC", LitRed, 1, 3, Mask::Out, 1},
    {"ledUNV", "UNV", LitRed, 2, 3, Mask::Out, 2},
    {"ledOVV", "OVV", LitRed, 3, 3, Mask::Out, 4},
    {"ledChOn", "Channel On", LitGreen, 4, 3, Mask::Out, 8},
    {"ledFanFail", "Fan Failure", LitRed, 5, 3, Mask::Out, 256},
    {"ledTemp", "Over/Under Temperature", LitRed, 6, 3, Mask::Out, 512},
    {"ledChkPass", "Chk Pass", LitGreen, 7, 3, Mask::Out, 1024},
    {"ledTrip", "Trip", LitRed, 1, 6, Mask::None, 0},
    {"ledRstFlag", "Rst Flag", LitAmber, 2, 6, Mask::None, 0},
    {"ledPwrFail", "Power Failure", LitRed, 3, 6, Mask::None, 0},
};
static_assert(std::size(FrontLamps) == Main::FrontLampCount);

constexpr int NimBit = 64; // of "FrontPanIn": clear for NIM, set for TTL

Lamp *addLamp(const FrontLamp &f, QWidget *parent, QGridLayout *grid)
{
    const QColor lit(f.lit);
    auto *lamp = new Lamp(parent);
    lamp->setObjectName(QString::fromLatin1(f.name));
    lamp->setOnColor(lit);
    lamp->setOffColor(QColor::fromHsv(lit.hsvHue(), qMin(255, lit.hsvSaturation()), 78));
    lamp->setFixedSize(20, 20);
    lamp->setToolTip(QString::fromLatin1(f.label));
    lamp->setAccessibleName(QString::fromLatin1(f.label)); // read as lit (checked) or dark, not by its colour
    auto *text = new QLabel(QString::fromLatin1(f.label), parent);
    text->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(f.name).mid(3));
    text->setBuddy(lamp);
    grid->addWidget(lamp, f.row, f.column, Qt::AlignCenter);
    grid->addWidget(text, f.row, f.column + 1);
    return lamp;
}

// The plate and the rack: dark anodised metal with light print, as on the crate
// itself, and light module faces with dark print. Each ink goes with its metal.
const QColor PlateTop(0x34, 0x3a, 0x40);
const QColor PlateBottom(0x1f, 0x23, 0x27);
const QColor PlateEdge(0x0d, 0x0f, 0x11);
const QColor PlatePrint(0xe9, 0xec, 0xef);   // lamp captions, the live switch label
const QColor PlateDimPrint(0x9a, 0xa4, 0xae); // column headings, the other switch label
const QColor FaceTop(0xf8, 0xf9, 0xfa);
const QColor FaceBottom(0xd3, 0xd8, 0xdd);
const QColor FacePressed(0xc4, 0xcb, 0xd2);
const QColor FacePrint(0x10, 0x14, 0x18);
const QColor EmptyFace(0x36, 0x3c, 0x42);      // a slot that cannot be opened
const QColor EmptyPrint(0xaa, 0xb2, 0xba);

// The front plate. Its caption stands above it, on the window: in the window's text colour.
QString frontPanelStyle()
{
    return QStringLiteral(R"(
QGroupBox#frameFP {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);
    border: 2px solid %3;
    border-radius: 6px;
    margin-top: 1.4em;
    padding: 12px 10px 10px 10px;
    font-weight: bold;
}
QGroupBox#frameFP::title {
    subcontrol-origin: margin;
    left: 10px;
    padding: 0 4px;
    color: palette(window-text);
}
QGroupBox#frameFP QLabel { color: %4; }
QGroupBox#frameFP QLabel[heading="true"] { color: %5; font-size: 8pt; font-weight: bold; }
)")
        .arg(PlateTop.name(), PlateBottom.name(), PlateEdge.name(), PlatePrint.name(), PlateDimPrint.name());
}

// Slot buttons look like the faces of the modules in a rack.
QString slotColumnStyle()
{
    return QStringLiteral(R"(
QPushButton {
    font-family: "DejaVu Sans Mono";
    text-align: left;
    padding: 2px 8px;
    color: %1;
    border: 1px solid #6c757d;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %2, stop:1 %3);
}
QPushButton:hover { border-color: #3d8bfd; }
QPushButton:pressed { background: %4; }
QPushButton:focus { border: 1px solid #3d8bfd; }
QPushButton:disabled {
    color: %5;
    border-color: #444b52;
    background: %6;
}
)")
        .arg(FacePrint.name(), FaceTop.name(), FaceBottom.name(), FacePressed.name(), EmptyPrint.name(),
             EmptyFace.name());
}

// The column of slot buttons, drawn as a rack: every slot has its bay, so an
// empty or disconnected crate still reads as a crate.
class CrateRack : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient metal(0, 0, 0, height());
        metal.setColorAt(0.0, PlateTop);
        metal.setColorAt(1.0, PlateBottom);
        p.setPen(QPen(PlateEdge, 2));
        p.setBrush(metal);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        for (const QPushButton *b : findChildren<QPushButton *>()) {
            const QRectF bay = QRectF(b->geometry()).adjusted(0.5, 0.5, -0.5, -0.5);
            p.setPen(QPen(QColor(0x12, 0x14, 0x17), 1));
            p.setBrush(QColor(0x24, 0x28, 0x2d));
            p.drawRoundedRect(bay, 3, 3);
            p.setPen(QPen(QColor(0x4a, 0x52, 0x5a), 1)); // light catching the lower lip
            p.drawLine(bay.bottomLeft() + QPointF(3, 0.5), bay.bottomRight() + QPointF(-3, 0.5));
        }
    }
};

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

    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(14);
    row->addWidget(buildSlotColumn(), 0, Qt::AlignTop);

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    lblSysModel = new QLabel(central);
    lblSysModel->setObjectName(QStringLiteral("lblSysModel"));
    QFont big(QStringLiteral("Verdana"));
    big.setPointSize(18);
    big.setBold(true);
    lblSysModel->setFont(big);
    lblSysModel->setVisible(false);
    // Keep the place of the crate model when it is hidden, so nothing jumps on connect.
    QSizePolicy keep = lblSysModel->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblSysModel->setSizePolicy(keep);
    lblSysModel->setMinimumHeight(QFontMetrics(big).height());
    right->addWidget(lblSysModel);

    lblFWRel = new QLabel(central);
    lblFWRel->setObjectName(QStringLiteral("lblFWRel"));
    lblFWRel->setMinimumHeight(lblFWRel->fontMetrics().height());
    right->addWidget(lblFWRel);
    right->addSpacing(6);
    right->addWidget(buildFrontPanel());
    right->addStretch(1);
    row->addLayout(right, 1);

    setCentralWidget(central);
    setWindowIcon(AppInfo::icon());

    lblLinkStatus = new QLabel(NotConnected);
    lblLinkStatus->setObjectName(QStringLiteral("lblLinkStatus"));
    lblLinkStatus->setTextInteractionFlags(Qt::TextSelectableByMouse); // a fingerprint can be copied
    statusBar()->addWidget(lblLinkStatus, 1);
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
    const QPalette window = QGuiApplication::palette();
    QList<Contrast::Pair> out{{QStringLiteral("Front Panel caption, status line"), window.color(QPalette::Window),
                               window.color(QPalette::WindowText)}};
    for (const QColor &metal : {PlateTop, PlateBottom}) {
        out.append({QStringLiteral("plate print"), metal, PlatePrint});
        out.append({QStringLiteral("plate headings"), metal, PlateDimPrint});
    }
    for (const QColor &face : {FaceTop, FaceBottom, FacePressed})
        out.append({QStringLiteral("slot caption"), face, FacePrint});
    out.append({QStringLiteral("empty slot caption"), EmptyFace, EmptyPrint});
    return out;
}

void Main::setModelTable(ModelTable table) { m_models = std::move(table); }
const ModelTable &Main::modelTable() const { return m_models; }
bool Main::isConnected() const { return m_connected; }
QString Main::linkStatus() const { return lblLinkStatus->text(); }
frmEvents *Main::eventsWindow() const { return m_events; }
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
    mEvents = item(menuBar(), QStringLiteral("&Events"), QStringLiteral("mEvents"), &Main::mEventsClick);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("Help"));
    mAbout = item(help, QStringLiteral("&About..."), QStringLiteral("mAbout"), &Main::mAboutClick);
    mAbout->setShortcut(QKeySequence(Qt::Key_F1));
    // From any window of the program, not only from this one.
    for (QAction *a : {mExit, mAbout}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }
}

QWidget *Main::buildSlotColumn()
{
    auto *rack = new CrateRack;
    rack->setObjectName(QStringLiteral("crateRack"));
    rack->setStyleSheet(slotColumnStyle());
    auto *column = new QVBoxLayout(rack);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(3);
    for (int i = 0; i < MaxSlots; ++i) {
        auto *b = new QPushButton(QStringLiteral("Slot %1").arg(i), rack);
        b->setObjectName(QStringLiteral("bSlot_%1").arg(i));
        b->setFixedSize(190, 24);
        b->setAutoDefault(true); // Enter on the focused button opens the panel, as Space does
        b->setEnabled(false);
        b->setVisible(false);
        // A hidden slot keeps its place: slot i is always at the same height.
        QSizePolicy keep = b->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        b->setSizePolicy(keep);
        connect(b, &QPushButton::clicked, this, [this, i] { bSlotClick(i); });
        column->addWidget(b);
        bSlot[i] = b;
    }
    return rack;
}

QGroupBox *Main::buildFrontPanel()
{
    frameFP = new QGroupBox(QStringLiteral("Front Panel"));
    frameFP->setObjectName(QStringLiteral("frameFP"));
    frameFP->setStyleSheet(frontPanelStyle());
    auto *grid = new QGridLayout(frameFP);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(7);
    grid->setColumnMinimumWidth(2, 18);
    grid->setColumnMinimumWidth(5, 18);

    auto heading = [this, grid](const QString &text, int column) {
        auto *l = new QLabel(text, frameFP);
        l->setProperty("heading", true);
        grid->addWidget(l, 0, column, 1, 2);
    };
    heading(QStringLiteral("INPUTS"), 0);
    heading(QStringLiteral("OUTPUTS"), 3);
    heading(QStringLiteral("FLAGS"), 6);

    for (std::size_t i = 0; i < m_lamps.size(); ++i)
        m_lamps[i] = addLamp(FrontLamps[i], frameFP, grid);

    swNIMTTL = new TwoPosSwitch(QStringLiteral("NIM"), QStringLiteral("TTL"), frameFP);
    swNIMTTL->setObjectName(QStringLiteral("swNIMTTL"));
    // It shows the crate's setting; the operator cannot change it from here.
    swNIMTTL->setAttribute(Qt::WA_TransparentForMouseEvents);
    swNIMTTL->setFocusPolicy(Qt::NoFocus);
    QPalette plate = swNIMTTL->palette();
    plate.setColor(QPalette::Active, QPalette::WindowText, PlatePrint);
    plate.setColor(QPalette::Inactive, QPalette::WindowText, PlatePrint);
    plate.setColor(QPalette::Disabled, QPalette::WindowText, PlateDimPrint); // the label not in force
    swNIMTTL->setPalette(plate);
    grid->addWidget(swNIMTTL, 7, 0, 1, 2, Qt::AlignLeft);

    grid->setRowStretch(8, 1);
    return frameFP;
}

void Main::Timer1Tick()
{
    if (!m_connected || m_pollInFlight)
        return;
    auto plan = std::make_shared<ReadPlan>(this);
    plan->querySlots(PlanStep::SlotCount | PlanStep::SlotModels,
                     [this](const QVariant &count, const QVariant &, const QVariant &models) { showSlots(count, models); });
    planFrontPanel(*plan);
    plan->onDone([this] { m_pollInFlight = false; });
    m_pollInFlight = true;
    runForSession(plan);
}

void Main::showSlots(const QVariant &count, const QVariant &models)
{
    const QVariantList modelList = models.toList();
    // The window has sixteen buttons; a crate reporting more shows its first sixteen.
    const int n = qBound(0, count.toInt(), int(MaxSlots));
    for (int i = 0; i < n; ++i) {
        const QString model = modelList.value(i).toString();
        QPushButton *b = bSlot[i];
        if (!model.isEmpty()) {
            b->setEnabled(m_models.isSupportedModel(model));
            b->setText(QStringLiteral("Slot %1 - %2").arg(i).arg(model));
        } else {
            b->setEnabled(false);
            b->setText(QStringLiteral("Slot %1 - Empty ").arg(i));
        }
    }
}

void Main::RefreshFrontPanel()
{
    auto plan = std::make_shared<ReadPlan>(this);
    planFrontPanel(*plan);
    runForSession(plan);
}

void Main::planFrontPanel(ReadPlan &plan)
{
    auto light = [this](Mask mask, int bits) {
        for (std::size_t i = 0; i < m_lamps.size(); ++i)
            if (FrontLamps[i].mask == mask)
                m_lamps[i]->setValue(bits & FrontLamps[i].bit);
    };
    plan.crateProperty(QStringLiteral("FrontPanIn"), [this, light](const QVariant &v) {
        const quint8 in = quint8(v.toUInt());
        swNIMTTL->setValue(!(in & NimBit));
        light(Mask::In, in);
    });
    plan.crateProperty(QStringLiteral("FrontPanOut"), [light](const QVariant &v) { light(Mask::Out, qint16(v.toInt())); });
    plan.crateProperty(QStringLiteral("SwRelease"),
                       [this](const QVariant &v) { lblFWRel->setText(QStringLiteral("FW Rel. ") + v.toString()); });
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
    w->setWindowTitle(model + QStringLiteral(" - Channels monitor - Slot ") + QString::number(slot));
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
    m_log->link(EventLog::Kind::Connect, status);

    const int n = qBound(0, slotCount, int(MaxSlots));
    for (int i = 0; i < n; ++i)
        bSlot[i]->setVisible(true);
    lblSysModel->setText(modelName);
    lblSysModel->setVisible(true);
    m_connected = true;
    ++m_session;
    m_pollInFlight = false;
    startSpread(Timer1, 1000);
    mConnect->setEnabled(false);
    mDisconnect->setEnabled(true);
    mExit->setEnabled(true);
    mGraph->setEnabled(true);
}

void Main::clearOverview()
{
    for (QPushButton *b : bSlot) {
        b->setEnabled(false);
        b->setVisible(false);
    }
    for (Lamp *l : m_lamps)
        l->setValue(false);
    swNIMTTL->setValue(false);
    lblFWRel->setText(QString());
    lblSysModel->setVisible(false);
}

// The disconnect steps. Logout comes after the window is already cleared, so a
// link that fails there cannot leave the window half connected.
bool Main::disconnectSteps(QString *logoutFailure)
{
    clearOverview();
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
    QString failure;
    if (disconnectSteps(&failure)) {
        lblLinkStatus->setText(NotConnected);
        m_log->link(EventLog::Kind::Disconnect, NotConnected);
        return;
    }
    linkLost(failure);
    MsgBox::show(this, QStringLiteral("Connection lost"), linkFailureText(failure, Disconnected),
                 QMessageBox::Critical);
}

void Main::linkLost(const QString &reason)
{
    const QString status = QStringLiteral("Connection lost: %1").arg(reasonText(reason));
    lblLinkStatus->setText(status);
    m_log->link(EventLog::Kind::LinkLost, reasonText(reason));
}

void Main::connectionLost(const HVError &error)
{
    QString ignored; // the link is already known to be broken
    disconnectSteps(&ignored);
    linkLost(error.message());
    tellLinkFailure(this, *h, error, Disconnected); // unless a window has told of this loss already
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
