#include "boardpanel.h"

#include "cratevalue.h"
#include "editbook.h"
#include "eventlog.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "linkfailure.h"
#include "msgbox.h"
#include "panelkit.h"
#include "parameterinfo.h"
#include "readplan.h"
#include "staleshade.h"
#include "thermometer.h"
#include "tickphase.h"
#include "windowkeys.h"
#include "windowtag.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace {

// The number at the start of the tag's text from its fourth character on, rounded: Mon12 -> 12.
qint16 slotFromTag(const QString &tag)
{
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const QRegularExpressionMatch m = leadingNumber.match(tag.mid(3));
    if (!m.hasMatch())
        return 0;
    const double v = m.captured(0).trimmed().toDouble();
    if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
        return 0;
    return static_cast<qint16>(std::lround(v));
}

} // namespace

BoardPanel::BoardPanel(HVPowerSupply &hv, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , h(hv)
    , ChMon(new QTimer(this))
    , m_now([] { return QDateTime::currentMSecsSinceEpoch(); })
    , m_edits(new EditBook(this))
    , m_content(new QWidget)
{
    ChMon->setObjectName(QStringLiteral("ChMon"));
    connect(ChMon, &QTimer::timeout, this, &BoardPanel::ChMonTick);
    startSpread(ChMon, 1000);
    // The panel itself holds the focus until the operator moves into a field, so that
    // no field is spared by the tick for having been focused by the window alone.
    setFocusPolicy(Qt::ClickFocus);

    // The content scrolls when the window is smaller than its controls need. The
    // scroll area itself is no Tab stop: Tab goes to the controls, and the area
    // follows the focus.
    auto *scroll = new QScrollArea(this);
    m_content->setObjectName(QStringLiteral("content"));
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true); // the content fills a larger window; scroll bars come only when a control is cut
    scroll->setWidget(m_content);
    m_shade = new StaleShade(scroll->viewport());
    // Write outcomes on the left; whether the values are fresh on the right.
    m_statusLine = new QStatusBar(this);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setSizeGripEnabled(false);
    m_freshness = new QLabel(m_statusLine);
    m_freshness->setObjectName(QStringLiteral("lblFreshness"));
    m_statusLine->addPermanentWidget(m_freshness);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_statusLine);
    connect(m_edits, &EditBook::told, this, &BoardPanel::say);
    connect(&h.session(), &CrateSession::wentDown, this, &BoardPanel::wentDown);
    connect(&h.session(), &CrateSession::wentUp, this, &BoardPanel::wentUp);
    connect(&h.session(), &CrateSession::modelsChanged, this, [this](const QVariantList &models) {
        // Another window's answer shows the slot empty: the board is gone, whoever read it first.
        // Told from the event loop: it may come from inside another window's answers.
        if (!m_offline && !m_resuming && m_activatedOnce && Slot < models.size() && models.value(Slot).toString().isEmpty())
            QMetaObject::invokeMethod(this, [this] {
                if (m_offline || m_resuming || m_removed || m_closing)
                    return;
                m_tickInFlight = false;
                boardRemoved();
            }, Qt::QueuedConnection);
    });

    addCloseKeys(this);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this), &QShortcut::activated, this,
            [this] { turnPage(-1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this), &QShortcut::activated, this,
            [this] { turnPage(1); });
}

BoardPanel::~BoardPanel()
{
    m_closing = true;
}

void BoardPanel::setThermometer(Thermometer *t)
{
    Temp = t;
    Temp->setObjectName(QStringLiteral("Temp"));
    Temp->setCaption(QStringLiteral("Board Temperature (C°)"));
    Temp->setToolTip(ParameterInfo::describe(QStringLiteral("Temp"), QStringLiteral("Board Temperature")));
}

void BoardPanel::setEventLog(EventLog *log)
{
    m_log = log;
    m_edits->setEventLog(log);
}

QString BoardPanel::channelLabel(qint16 ch) const
{
    const QString name = m_channelNames.value(ch);
    return name.isEmpty() ? QString::number(ch) : name;
}

bool BoardPanel::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        activate();
    else if (e->type() == QEvent::Polish)
        fitToFont(); // the layout as built, grown for the font it is shown in
    return QWidget::event(e);
}

void BoardPanel::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::FontChange)
        fitToFont();
    QWidget::changeEvent(e);
}

void BoardPanel::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // Offscreen and on some desktops a shown window is never activated: the first show counts.
    if (!m_activatedOnce) {
        setFocus(Qt::OtherFocusReason);
        activate();
    }
}

void BoardPanel::closeEvent(QCloseEvent *e)
{
    m_closing = true;
    ChMon->stop();
    QWidget::closeEvent(e);
}

void BoardPanel::activate()
{
    if (m_removed || m_closing || m_offline)
        return;
    m_activatedOnce = true;
    Slot = slotFromTag(windowTag(this));
    auto plan = std::make_shared<ReadPlan>(this);
    auto lo = std::make_shared<double>(0);
    const QString temp = QStringLiteral("Temp");
    plan->paramAttribute(Slot, temp, QStringLiteral("Minval"), std::nullopt,
                         [lo](const QVariant &v) { *lo = crateNumber(v); });
    plan->paramAttribute(Slot, temp, QStringLiteral("Maxval"), std::nullopt,
                         [this, lo](const QVariant &v) { Temp->setRange(*lo, crateNumber(v)); });
    plan->onFailed([this](const HVError &e) {
        // A board that cannot tell its temperature range is as gone as one the tick cannot read.
        // Activation runs inside show and focus handling, so the box comes after them.
        if (m_removed || m_closing)
            return;
        QMetaObject::invokeMethod(this, [this, e] { tickFailed(e); }, Qt::QueuedConnection);
    });
    h.runPlan(plan);
}

void BoardPanel::tickFailed(const HVError &error)
{
    // Answers cut off by a deliberate Disconnect are no failure of the crate's.
    if (m_closing || m_removed || m_offline)
        return;
    if (!error.isLinkFailure()) {
        boardRemoved();
        return;
    }
    // The board is likely still there; the link to it is not. The operator hears
    // of the link once, whichever window notices first, and the panel closes.
    stopForRemoval();
    QPointer<BoardPanel> self(this);
    tellLinkFailure(this, h, error, WindowsClosed);
    if (self)
        close();
}

void BoardPanel::boardRemoved()
{
    if (m_removed)
        return;
    // The removal itself is the main window's watch to log (a dead link is not a removal).
    if (m_log)
        m_log->windowClosed(Slot, tr("%1 closed: Board removed.").arg(windowTitle()));
    stopForRemoval();
    announceRemoval();
}

void BoardPanel::stopForRemoval()
{
    m_removed = true;
    ChMon->stop(); // before the box: no tick may run under it
}

void BoardPanel::announceRemoval()
{
    QPointer<BoardPanel> self(this);
    MsgBox::tell(this, QStringLiteral("Attention"), QStringLiteral("Board removed."), QMessageBox::Critical);
    if (self)
        close();
}

void BoardPanel::ticked()
{
    m_freshAtMs = m_now();
    if (!m_offline) {
        m_shade->lift();
        m_content->setToolTip(QString());
        m_freshness->clear();
    }
}

void BoardPanel::checkFreshness()
{
    if (m_offline || m_removed || m_closing || m_freshAtMs == 0)
        return;
    const qint64 age = m_now() - m_freshAtMs;
    if (age <= StaleAfterMs)
        return;
    const QString line = tr("No answer from the crate for %1 s: the values shown are from %2")
                             .arg(age / 1000)
                             .arg(QDateTime::fromMSecsSinceEpoch(m_freshAtMs).toString(QStringLiteral("hh:mm:ss")));
    // The link may only be slow: the operator can still act, so the veil lets clicks through.
    m_shade->cover(line, false);
    m_content->setToolTip(line); // every control without a tooltip of its own tells it
    m_freshness->setText(tr("Stale"));
}

bool BoardPanel::isVeiled() const
{
    return m_shade->isCovering();
}

QString BoardPanel::veilText() const
{
    return m_shade->isCovering() ? m_shade->line() : QString();
}

QString BoardPanel::statusText() const
{
    return m_statusLine->currentMessage();
}

void BoardPanel::say(const QString &line)
{
    m_statusLine->showMessage(line);
}

void BoardPanel::wentDown(const QString &, bool deliberate)
{
    if (!deliberate || m_removed || m_closing)
        return; // a lost link shows at the next tick, which fails on it
    m_offline = true;
    m_address = h.session().address();
    const QString since = m_freshAtMs ? QDateTime::fromMSecsSinceEpoch(m_freshAtMs).toString(QStringLiteral("hh:mm:ss"))
                                      : QStringLiteral("--:--:--");
    const QString line = tr("Not connected: the values shown are from %1. Connect to %2 again to resume.")
                             .arg(since, m_address);
    m_shade->cover(line, true);
    m_content->setToolTip(line);
    m_freshness->setText(tr("Not connected"));
}

void BoardPanel::wentUp(const QString &address)
{
    if (!m_offline || m_removed || m_closing)
        return;
    if (address != m_address) {
        closeQuietly(tr("connected to another crate (%1)").arg(address));
        return;
    }
    m_offline = false;
    m_resuming = true;
    FirstRefresh = true;
    m_freshness->setText(tr("Resuming"));
    activate();
    ChMonTick();
}

void BoardPanel::closeQuietly(const QString &why)
{
    if (m_closing || m_removed)
        return;
    m_removed = true;
    ChMon->stop();
    if (m_log)
        m_log->windowClosed(Slot, tr("%1 closed: %2").arg(windowTitle(), why));
    close();
}

EventLog *BoardPanel::eventLog() const
{
    return m_log;
}
