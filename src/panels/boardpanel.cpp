#include "boardpanel.h"

#include "eventlog.h"
#include "hverror.h"
#include "hvpowersupply.h"
#include "lamp.h"
#include "lib.h"
#include "linkfailure.h"
#include "msgbox.h"
#include "numfield.h"
#include "cratevalue.h"
#include "panelkit.h"
#include "readplan.h"
#include "tickphase.h"
#include "thermometer.h"
#include "twoposswitch.h"
#include "windowkeys.h"
#include "windowtag.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollArea>
#include <QShortcut>
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

// The controls a panel places itself, in and below its frames, with their places as drawn.
void collectPlaces(QWidget *parent, std::vector<std::pair<QPointer<QWidget>, QRect>> &places)
{
    for (QObject *o : parent->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow())
            continue;
        places.emplace_back(w, w->geometry());
        // Frames hold more controls; every other widget lays out its own insides.
        const QMetaObject *kind = w->metaObject();
        if (kind == &QFrame::staticMetaObject || kind == &QWidget::staticMetaObject || qobject_cast<QGroupBox *>(w))
            collectPlaces(w, places);
    }
}

QRect scaled(const QRect &r, double s)
{
    return QRect(qRound(r.x() * s), qRound(r.y() * s), qRound(r.width() * s), qRound(r.height() * s));
}

} // namespace

BoardPanel::BoardPanel(HVPowerSupply &hv, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , h(hv)
    , ChMon(new QTimer(this))
    , m_content(new QWidget)
{
    ChMon->setObjectName(QStringLiteral("ChMon"));
    connect(ChMon, &QTimer::timeout, this, &BoardPanel::ChMonTick);
    startSpread(ChMon, 1000);
    // The panel itself holds the focus until the operator moves into a field, so that
    // no field is spared by the tick for having been focused by the window alone.
    setFocusPolicy(Qt::ClickFocus);

    // The content scrolls when the window is made smaller than its layout.
    auto *scroll = new QScrollArea(this);
    m_content->setObjectName(QStringLiteral("content"));
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(m_content);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    addCloseKeys(this);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this), &QShortcut::activated, this,
            [this] { turnPage(-1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this), &QShortcut::activated, this,
            [this] { turnPage(1); });
}

BoardPanel::~BoardPanel()
{
    m_closing = true;
    for (auto it = m_nameChannel.constBegin(); it != m_nameChannel.constEnd(); ++it)
        const_cast<QObject *>(it.key())->removeEventFilter(this);
}

void BoardPanel::ChMonTick()
{
    if (m_removed || m_closing || m_tickInFlight)
        return;
    auto plan = std::make_shared<ReadPlan>(this);
    // Nothing more is shown once the panel closes or its board is gone, this tick's answers included.
    plan->whileTrue([this] { return !m_closing && !m_removed; });
    const qint16 slot = Slot;
    const int map = plan->querySlots(PlanStep::ChannelCounts | PlanStep::SlotModels,
                                     [this, slot](const QVariant &, const QVariant &counts, const QVariant &models) {
                                         if (models.toList().value(slot).toString().isEmpty()) {
                                             m_tickInFlight = false;
                                             boardRemoved();
                                             return;
                                         }
                                         crateInt16(counts.toList().value(slot)); // a count that is no number fails here
                                     });
    // The crate skips what follows for an empty slot, and the channels the board does not have.
    plan->onlyIfOccupied(map, slot);
    planBoard(*plan);
    planTemp(*plan);
    for (qint16 ch = 0; ch < channelRows(); ++ch) {
        // A crate map claiming more channels than the panel has rows fills the rows there are.
        plan->onlyIfChannel(map, slot, ch);
        planChannel(*plan, ch);
    }
    plan->onDone([this] {
        m_tickInFlight = false;
        FirstRefresh = false;
        emit refreshed();
    });
    plan->onFailed([this](const HVError &e) {
        m_tickInFlight = false;
        tickFailed(e);
    });
    m_tickInFlight = true;
    h.runPlan(plan);
}

bool BoardPanel::mayRefresh(const QWidget *control) const
{
    return FirstRefresh || m_stale.contains(control) || focusWidget() != control;
}

void BoardPanel::planName(ReadPlan &plan, QLineEdit *field, qint16 ch)
{
    if (!mayRefresh(field))
        return;
    plan.channelName(Slot, ch, [this, field, ch](const QVariant &v) {
        if (!mayRefresh(field))
            return;
        const QString name = v.toString();
        if (m_channelNames.value(ch) != name) {
            m_channelNames.insert(ch, name);
            showChannelName(ch);
        }
        if (field->text() != name)
            field->setText(name);
        m_nameShown.insert(field, name);
        markFresh(field);
    });
}

void BoardPanel::planLamp(ReadPlan &plan, Lamp *lamp, const QString &par, qint16 ch)
{
    plan.paramValue(Slot, par, ch, [lamp](const QVariant &v) { lamp->setValue(crateNumber(v) != 0); });
}

void BoardPanel::planSwitch(ReadPlan &plan, TwoPosSwitch *sw, const QString &par, qint16 ch)
{
    plan.paramValue(Slot, par, ch, [sw](const QVariant &v) { sw->setValue(crateNumber(v) != 0); });
}

void BoardPanel::planSetpoint(ReadPlan &plan, NumField *field, const QString &par, const QString &unit, qint16 ch)
{
    if (!mayRefresh(field))
        return;
    auto e = std::make_shared<qint16>(0);
    plan.paramAttribute(Slot, par, QStringLiteral("Exp"), ch, [e](const QVariant &v) { *e = crateInt16(v); });
    plan.paramValue(Slot, par, ch, [this, field, unit, e](const QVariant &v) {
        const double value = crateNumber(v);
        if (!mayRefresh(field))
            return;
        if (exponentHasPrefix(*e)) {
            // The board's own scale: the prefix of its exponent goes into the unit text.
            field->setFormat(QStringLiteral(" \"") + Lib::ExpPrefix(*e) + unit + QLatin1Char('"'));
            field->setValue(value);
            m_realExp.remove(field);
        } else {
            // No prefix says what the board's scale is: show real units, and take them back.
            field->setFormat(QStringLiteral(" k\"") + unit + QLatin1Char('"'));
            field->setValue(toRealUnits(value, *e));
            m_realExp.insert(field, *e);
        }
        markFresh(field);
    });
}

void BoardPanel::planPlain(ReadPlan &plan, NumField *field, const QString &par, qint16 ch)
{
    if (!mayRefresh(field))
        return;
    plan.paramValue(Slot, par, ch, [this, field](const QVariant &v) {
        const double value = crateNumber(v);
        if (!mayRefresh(field))
            return;
        field->setValue(value);
        markFresh(field);
    });
}

void BoardPanel::planScaledValue(ReadPlan &plan, NumField *field, const QString &par, qint16 ch)
{
    // Monitors are shown in the base unit; the field picks the prefix from the value.
    planScaled(plan, Slot, par, ch, [field](double v) { field->setValue(v); });
}

void BoardPanel::planStatus(ReadPlan &plan, QLabel *label, qint16 ch)
{
    // Read once for the text and once for each colour, as the board's status may change in between.
    const QString status = QStringLiteral("Status");
    auto back = std::make_shared<QColor>();
    plan.paramValue(Slot, status, ch,
                    [this, label, ch](const QVariant &v) { showStatus(label, ch, crateInt32(v)); });
    plan.paramValue(Slot, status, ch,
                    [back](const QVariant &v) { *back = Lib::toQColor(Lib::StatusBackColor(crateInt32(v))); });
    plan.paramValue(Slot, status, ch, [this, label, back](const QVariant &v) {
        PanelKit::setStatusColours(label, *back, Lib::toQColor(Lib::StatusForeColor(crateInt32(v))));
        describeStatus(label, crateInt32(v));
    });
}

void BoardPanel::showStatus(QLabel *label, qint16 ch, qint32 status)
{
    const QString text = Lib::ChStatusText(status);
    const QString before = label->text();
    if (text == before)
        return;
    label->setText(text);
    // The first text a label gets is no change the operator has seen happen.
    if (m_log && !before.isEmpty())
        m_log->statusChanged(Slot, ch, m_channelNames.value(ch), before, text);
}

void BoardPanel::describeStatus(QLabel *label, qint32 status)
{
    // The alarm colours say something the text may not ("Up" with over-current): say it in words too.
    const QString said = Lib::StatusIsAlarm(status) ? label->text() + QStringLiteral(", alarm") : label->text();
    if (label->accessibleDescription() != said)
        label->setAccessibleDescription(said);
}

void BoardPanel::planTemp(ReadPlan &plan)
{
    plan.paramValue(Slot, QStringLiteral("Temp"), std::nullopt,
                    [this](const QVariant &v) { Temp->setValue(crateNumber(v)); });
}

void BoardPanel::bindNumber(NumField *field, const QString &par, qint16 ch)
{
    connect(field, &NumField::committed, this, [this, field, par, ch](double v) {
        // A field shown in real units writes in the board's own scale.
        const auto real = m_realExp.constFind(field);
        writeParam(field, par, ch, QVariant(real == m_realExp.constEnd() ? v : toBoardScale(v, *real)), {});
    });
}

void BoardPanel::bindSwitch(Lamp *lamp, const QString &par, qint16 ch)
{
    connect(lamp, &Lamp::switchedByOperator, this, [this, lamp, par, ch](bool on) {
        writeParam(lamp, par, ch, QVariant::fromValue<qint16>(on ? 1 : 0), [lamp, on] { lamp->setValue(!on); });
    });
}

void BoardPanel::bindSwitch(TwoPosSwitch *sw, const QString &par, qint16 ch)
{
    connect(sw, &TwoPosSwitch::switchedByOperator, this, [this, sw, par, ch](bool on) {
        writeParam(sw, par, ch, QVariant::fromValue<qint16>(on ? 1 : 0), [sw, on] { sw->setValue(!on); });
    });
}

void BoardPanel::bindName(QLineEdit *field, qint16 ch)
{
    m_nameChannel.insert(field, ch);
    m_nameShown.insert(field, field->text());
    field->installEventFilter(this);
}

void BoardPanel::setThermometer(Thermometer *t)
{
    Temp = t;
    Temp->setObjectName(QStringLiteral("Temp"));
    Temp->setCaption(QStringLiteral("Board Temperature (C°)"));
}

QTabBar *BoardPanel::addTabStrip(const QRect &r)
{
    auto *tabs = new QTabBar(m_content);
    m_tabs = tabs;
    tabs->setObjectName(QStringLiteral("TabStrip1"));
    tabs->addTab(QStringLiteral("Page 1"));
    tabs->addTab(QStringLiteral("Page 2"));
    tabs->setExpanding(true);
    tabs->setUsesScrollButtons(false);
    tabs->setDrawBase(false);
    // Two tabs in a strip 100 pixels wide: keep the padding small so both captions show.
    tabs->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 1px 4px; min-width: 0px; border: 1px solid palette(dark);"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(base); border-bottom-color: palette(base); }"));
    tabs->setGeometry(r);
    connect(tabs, &QTabBar::currentChanged, this, &BoardPanel::tabClicked);
    return tabs;
}

void BoardPanel::addPagePair(QWidget *pageOne, QWidget *pageTwo)
{
    m_pages.append(qMakePair(pageOne, pageTwo));
    pageOne->show();
    pageTwo->hide();
}

void BoardPanel::setEventLog(EventLog *log)
{
    m_log = log;
}

QString BoardPanel::channelLabel(qint16 ch) const
{
    const QString name = m_channelNames.value(ch);
    return name.isEmpty() ? QString::number(ch) : name;
}

void BoardPanel::setContentSize(const QSize &size, bool fixedWindow)
{
    m_designSize = size;
    m_fixedWindow = fixedWindow;
    m_content->resize(size);
    if (fixedWindow)
        setFixedSize(size);
    else
        resize(size);
}

void BoardPanel::fitToFont()
{
    if (m_designSize.isEmpty())
        return;
    if (m_design.empty())
        collectPlaces(m_content, m_design);
    const double s = PanelKit::fontScale(font());
    if (s == m_scale)
        return;
    for (const auto &[w, place] : m_design)
        if (w)
            w->setGeometry(scaled(place, s));
    const QSize content = scaled(QRect(QPoint(), m_designSize), s).size();
    m_content->resize(content);
    if (m_fixedWindow)
        setFixedSize(content);
    else
        resize(size() * (s / m_scale));
    m_scale = s;
}

void BoardPanel::turnPage(int step)
{
    if (m_tabs)
        m_tabs->setCurrentIndex(qBound(0, m_tabs->currentIndex() + step, m_tabs->count() - 1));
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

bool BoardPanel::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::FocusOut && !m_closing && !m_removed) {
        const auto it = m_nameChannel.constFind(watched);
        const Qt::FocusReason why = static_cast<QFocusEvent *>(e)->reason();
        // Only a move to another control of this panel writes: not a switch to another
        // window, a popup, or the panel closing.
        if (it != m_nameChannel.constEnd() && why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason)
            writeName(static_cast<QLineEdit *>(watched), it.value());
    }
    return QWidget::eventFilter(watched, e);
}

void BoardPanel::activate()
{
    if (m_removed || m_closing)
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
    if (m_closing || m_removed)
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
    if (m_log)
        m_log->boardRemoved(Slot); // a dead link is the main window's to log, not a removal
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
    MsgBox::show(this, QStringLiteral("Attention"), QStringLiteral("Board removed."), QMessageBox::Critical);
    if (self)
        close();
}

void BoardPanel::tabClicked(int index)
{
    const auto p = static_cast<qint16>(index + 1);
    if (p == CurrentPage)
        return;
    // Leaving the page is leaving its field: what is being typed is committed as
    // on any other move, and the focus rests on no field of either page.
    setFocus(Qt::OtherFocusReason);
    CurrentPage = p;
    for (const auto &[pageOne, pageTwo] : std::as_const(m_pages)) {
        if (p == 2) {
            pageTwo->show();
            pageOne->hide();
        } else {
            pageTwo->hide();
            pageOne->show();
        }
    }
}

void BoardPanel::writeParam(QWidget *control, const QString &par, qint16 ch, const QVariant &value,
                            const std::function<void()> &undo)
{
    if (m_closing || m_removed)
        return;
    h.postParamValue(Slot, par, ch, value, this, [this, control, par, ch, value, undo](const HVError *e) {
        recordWrite(ch, par, value, e);
        if (!e)
            return;
        if (undo)
            undo(); // a switch goes back to what the board held
        m_stale.insert(control);
        reportRefused(QStringLiteral("%1 of channel %2 was not written: %3").arg(par).arg(ch).arg(e->message()));
    });
}

void BoardPanel::writeName(QLineEdit *field, qint16 ch)
{
    // Passing through a name field is no edit: only a changed text is written, so that
    // a name not yet read ("Text1") or renamed meanwhile elsewhere is never sent back.
    const QString text = field->text();
    if (text == m_nameShown.value(field))
        return;
    m_nameShown.insert(field, text); // leaving the field again writes nothing more
    h.postChannelName(Slot, ch, text, this, [this, field, ch, text](const HVError *e) {
        recordWrite(ch, QStringLiteral("Name"), text, e);
        if (!e)
            return;
        m_stale.insert(field);
        reportRefused(QStringLiteral("The name of channel %1 was not written: %2").arg(ch).arg(e->message()));
    });
}

void BoardPanel::recordWrite(qint16 ch, const QString &par, const QVariant &value, const HVError *refusal)
{
    if (m_log)
        m_log->write(Slot, ch, m_channelNames.value(ch), par, value, refusal);
}

void BoardPanel::reportRefused(const QString &text)
{
    // Writes come from focus changes and key handlers; the modal box waits until they are done.
    // The tick pauses under the box so the operator reads it before the panel changes again.
    QMetaObject::invokeMethod(this, [this, text] {
        if (m_removed || m_closing)
            return;
        const bool running = ChMon->isActive();
        ChMon->stop();
        QPointer<BoardPanel> self(this);
        MsgBox::show(this, QStringLiteral("Write refused"), text, QMessageBox::Warning);
        if (self && running && !m_removed && !m_closing)
            ChMon->start();
    }, Qt::QueuedConnection);
}
