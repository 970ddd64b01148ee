#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QSizeF>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

class EditBook;
class EventLog;
class TrendTable;
class HVError;
class HVPowerSupply;
class Lamp;
class NameField;
class NumField;
class QLabel;
class QStatusBar;
class QTabBar;
class QTimer;
class ReadPlan;
class ReadoutLabel;
class StaleShade;
class Thermometer;
class TwoPosSwitch;

// What every board panel shares: one top-level window per crate slot that
// re-reads everything it shows once a second and writes every change the
// operator makes at once.
//
//  - Slot comes from the window tag ("Mon" + slot) at every activation, together
//    with the thermometer's range.
//  - ChMonTick() is the whole refresh: crate map, board values, then each
//    channel in the panel's own order, sent to the crate as one read plan and
//    applied when its answers are there. A field the operator is editing keeps
//    its text (EditField), except at the first tick; it is still read, so a
//    change made elsewhere meanwhile is marked on it. No tick starts while the
//    previous one's answers are still outstanding.
//  - Writes go out at once without waiting, and EditBook keeps them honest: no
//    answer read before a write's answer is shown in its control, the control
//    shows the value written with a pending sign until then, a lamp or switch
//    with a write on its way ignores clicks, and the outcome (written, refused,
//    unknown) is shown on the control, in the status line and in the event log.
//  - Any failure of the crate during a tick, or an empty model entry for the
//    slot, stops the timer, tells the operator "Board removed." and closes the panel.
//  - Values not refreshed for more than two periods are veiled as stale, with
//    their age. After a deliberate Disconnect the panel stays open, makes no
//    calls and says it is not connected; the next Connect to the same crate
//    resumes it if its slot still holds the same model, and otherwise it closes
//    without a box, noting why in the event log.
//  - The controls stand on content(), inside a scroll area, so a panel made
//    smaller than its controls scrolls. The layout grows with the font
//    (PanelKit::fontScale), and wider where a four-digit value would not fit
//    its field, when the panel is first shown and when the font changes; the
//    window never opens larger than the room on its screen (ScreenFit).
//  - Keys: Tab goes along each row; Ctrl+PgUp / Ctrl+PgDn turn the page and go on in
//    the same row of the new page; Esc and Ctrl+W close the panel.
//  - With an event log given, every write and its outcome, every change of a
//    status text the panel shows, and the board's removal are recorded there.
class BoardPanel : public QWidget
{
    Q_OBJECT
public:
    explicit BoardPanel(HVPowerSupply &h, QWidget *parent = nullptr);
    ~BoardPanel() override;

    // The refresh tick: ChMon calls it every second; tests call it directly.
    // In process its answers are applied before it returns.
    void ChMonTick();
    // A tick's reads are on their way and not applied yet.
    bool tickInFlight() const { return m_tickInFlight; }

    qint16 slot() const { return Slot; }
    bool firstRefresh() const { return FirstRefresh; }
    qint16 currentPage() const { return CurrentPage; }

    // Where writes, status changes and the board's removal are recorded; none by default.
    void setEventLog(EventLog *log);
    // Where the board graphs it opens keep their samples; none by default.
    void setTrends(TrendTable *trends) { m_trends = trends; }
    TrendTable *trends() const { return m_trends; }
    // The factors the layout is drawn at, across and down, for the current font
    // and screen (1 at the font it was designed for, where every value fits).
    QSizeF layoutScale() const { return m_scale; }
    // The clock staleness is judged by, in ms since the epoch (tests give their own).
    void setClock(std::function<qint64()> now) { m_now = std::move(now); }
    // Values older than this many milliseconds are shown as stale.
    static constexpr int StaleAfterMs = 2000;
    // Veils the values when their last refresh is older than StaleAfterMs (the timer asks every second).
    void checkFreshness();
    // The values are veiled (stale, or not connected), and why.
    bool isVeiled() const;
    QString veilText() const;
    // The panel's own status line: write outcomes, and whether the values are fresh.
    QString statusText() const;

signals:
    // A tick's answers have all been applied.
    void refreshed();

protected:
    // Board-level reads between the crate map and the temperature.
    virtual void planBoard(ReadPlan &) {}
    // One channel's reads, in the panel's own order.
    virtual void planChannel(ReadPlan &plan, qint16 ch) = 0;
    // How many channel rows the panel has.
    virtual int channelRows() const = 0;
    // A channel's name as the crate gives it has changed (channelLabel tells it).
    virtual void showChannelName(qint16) {}

    // What the panel's controls are laid out on, and its size in pixels as drawn;
    // the window opens at that size (fixedWindow: and keeps it).
    QWidget *content() const { return m_content; }
    void setContentSize(const QSize &size, bool fixedWindow = false);
    EventLog *eventLog() const;
    // The channel as the operator knows it: its name once read, else its number.
    QString channelLabel(qint16 ch) const;

    // Steps of a tick: each adds its reads to the plan and shows their answers.
    // The editable ones show an answer only when EditBook lets them.
    void planName(ReadPlan &plan, NameField *field, qint16 ch);
    void planLamp(ReadPlan &plan, Lamp *lamp, const QString &par, qint16 ch);
    void planSwitch(ReadPlan &plan, TwoPosSwitch *sw, const QString &par, qint16 ch);
    void planSetpoint(ReadPlan &plan, NumField *field, const QString &par, const QString &unit, qint16 ch);
    void planPlain(ReadPlan &plan, NumField *field, const QString &par, qint16 ch);
    void planScaledValue(ReadPlan &plan, NumField *field, const QString &par, qint16 ch);
    void planStatus(ReadPlan &plan, ReadoutLabel *label, qint16 ch);
    void planTemp(ReadPlan &plan);

    // Editing: wire an operator's change of a control to a write of its parameter.
    void bindNumber(NumField *field, const QString &par, qint16 ch);
    void bindSwitch(Lamp *lamp, const QString &par, qint16 ch);
    void bindSwitch(TwoPosSwitch *sw, const QString &par, qint16 ch);
    void bindName(NameField *field, qint16 ch);

    // The shared parts of the layout.
    void setThermometer(Thermometer *t);
    QTabBar *addTabStrip(const QRect &r);                 // TabStrip1 with "Page 1", "Page 2"
    void addPagePair(QWidget *pageOne, QWidget *pageTwo); // switched together, in the order added

    bool event(QEvent *e) override;
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

    HVPowerSupply &h;        // the crate: Main's one instance
    qint16 Slot = 0;         // the board's slot, read from the tag at each activation
    bool FirstRefresh = true; // until the first tick completes: write focused fields too
    qint16 CurrentPage = 1;  // page shown, 1 or 2
    QTimer *ChMon;           // drives ChMonTick, from construction to close
    Thermometer *Temp = nullptr; // board temperature

private:
    void activate();
    void tickFailed(const HVError &error);
    void boardRemoved();
    void stopForRemoval();
    void announceRemoval();
    void tabClicked(int index);
    // Shows a tick's answers as fresh: lifts the veil and notes their time.
    void ticked();
    // The tick's plan: the crate map, the board's reads and every channel's, with how each is shown.
    void makeTickPlan();
    // The crate map of a tick: false when the tick goes no further (board gone, or another model after a reconnect).
    bool takeMap(const QVariant &counts, const QVariant &models);
    void wentDown(const QString &reason, bool deliberate);
    void wentUp(const QString &address);
    // Closes without a box, noting why in the event log.
    void closeQuietly(const QString &why);
    void writeParam(QWidget *control, const QString &par, qint16 ch, const QVariant &value, const QString &newText,
                    std::function<void()> revert);
    void writeName(NameField *field, qint16 ch, const QString &name);
    void say(const QString &line);
    void typingDropped(const QString &what, qint16 ch, const QString &typed);
    void showStatus(ReadoutLabel *label, qint16 ch, qint32 status);
    void turnPage(int step);
    // The Tab stop of the page shown nearest to the row at `row` (content y; -1: the first row).
    QWidget *pageStop(int row) const;
    void fitToFont();
    double valueScale() const;
    QSize windowSizeFor(const QSize &content) const;

    bool m_activatedOnce = false;            // the first show counts as an activation
    bool m_closing = false;                  // closing: nothing more is read or written
    bool m_removed = false;                  // the board-removed path has been taken
    bool m_tickInFlight = false;             // a tick's plan is waiting for its answers
    std::shared_ptr<ReadPlan> m_tickPlan;    // the tick's reads, made once, run at every tick
    std::pair<qint16, int> m_tickPlanFor;    // the slot and channel rows it was made for
    bool m_offline = false;                  // disconnected on purpose: no calls until the next Connect
    bool m_resuming = false;                 // the first tick after a reconnect checks the slot's model
    int m_tick = 0;                          // number of the tick in flight, whose answers come (EditBook)
    QString m_model;                         // the slot's model as the last tick read it
    QString m_address;                       // the crate the panel was reading when the link went down
    qint64 m_freshAtMs = 0;                  // when the last tick's answers were shown
    std::function<qint64()> m_now;           // the clock of staleness
    EditBook *m_edits;                       // writes and which answers each control may show
    QHash<const NumField *, qint16> m_setpointExp;         // setpoint -> the board's exponent its format was made for
    QList<QPair<QWidget *, QWidget *>> m_pages;            // (page 1, page 2) frames
    QHash<qint16, QString> m_channelNames;                 // channel -> the name the board last gave
    QPointer<EventLog> m_log;                              // where events are recorded, if anywhere
    TrendTable *m_trends = nullptr;                        // the archive's trends, for the board graphs
    QWidget *m_content;                                    // the controls stand on it
    StaleShade *m_shade;                                   // the veil over stale values
    QStatusBar *m_statusLine;                              // write outcomes and freshness
    QLabel *m_freshness;                                   // in the status line: connection and age of the values
    QTabBar *m_tabs = nullptr;                             // the page strip, where the panel has one
    QSize m_designSize;                                    // content size as drawn, at scale 1
    bool m_fixedWindow = false;                            // the window keeps the content's size
    QSizeF m_scale;                                        // the layout's present scale, across and down; none before the first fit
    bool m_turningByKey = false;                           // the page is turned by Ctrl+PgUp / Ctrl+PgDn
    std::vector<std::pair<QPointer<QWidget>, QRect>> m_design; // each control's place as drawn
};
