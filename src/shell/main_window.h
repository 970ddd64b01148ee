#pragma once

#include "contrast.h"
#include "modeltable.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class AlarmBook;
class AlarmPanel;
class Archive;
class CrateWatch;
class EventLog;
class HVError;
class ShiftLog;
class HVPowerSupply;
class CrateOverview;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class ReadPlan;
class StaleShade;
class TrendTable;
class Workspace;
class frmGraph;
class frmQ310Graph;
class frmEvents;
class frmHelp;
class frmLogin;

// The main window: the crate overview (one button per slot, the front-panel
// lamps, crate model and firmware), the menus, a status line saying which crate
// the link is up to (or that it is down, and why), and the one crate connection
// `h` through which every window of the program reaches the crate. It owns the
// event log that the panels record into and the "&Events" window lists, kept
// in the archive's file when it is given one (ShiftLog); the poll also runs the
// watch over the whole crate (CrateWatch), whose latched alarms light "Trip"
// and "Power Failure", mark the slot buttons and fill the alarm list below the
// overview (AlarmPanel).
//
// Keys: Enter or Space on a slot button opens its panel. From every window of
// the program: F1 the help, Ctrl+Shift+M this window, Ctrl+E the Events
// window, Ctrl+G a new graph (while connected), Ctrl+Q "&Exit". "&Window"
// lists every open window. Ctrl+K acknowledges an alarm, Ctrl+Shift+K all.
class Main : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int MaxSlots = 16; // slot buttons on the window (CrateOverview::MaxSlots)

    // Without an archive the event log is kept in memory only.
    explicit Main(std::unique_ptr<HVPowerSupply> h, Archive *archive = nullptr, QWidget *parent = nullptr);
    ~Main() override;

    HVPowerSupply &hv();

    // The colours this window sets, each with the one it is drawn on (the palette's as it is now).
    static QList<Contrast::Pair> colourPairs();

    // Replaces the model table (tests put their own windows behind the models).
    void setModelTable(ModelTable table);
    const ModelTable &modelTable() const;

    // The once-a-second poll: slot captions and enabled states, then the front
    // panel, then the watch's reads, as one read plan applied when its answers
    // are there (in process: before it returns). A failing link ends the
    // connection with one message; a watch read the crate refuses does not.
    void Timer1Tick();

    // The poll's reads, and what their answers show (the connection dialog's
    // reads after a login end with them, so the captions come with the first answer).
    void planPoll(ReadPlan &plan);

    // Reads the front-panel masks and the firmware release into the lamps and
    // labels; the poll makes the same reads at its end.
    void RefreshFrontPanel();

    // Menu and button handlers; each is what the operator's action runs.
    void mConnectClick();
    void mDisconnectClick();
    void mGraphClick();
    void mEventsClick();
    void mHelpClick();
    void mAboutClick();
    void mExitClick();
    void bSlotClick(int slot);

    // Opens a new graph window, keeping its samples in the archive's trends.
    frmGraph *openGraphWindow();
    // Opens (or brings forward) a Q310 board graph, as its panel's heading does.
    frmQ310Graph *openBoardGraph(qint16 slot, qint16 macroChannel, const QString &parName);
    // Opens the panel of the board in the slot (once the crate map is read), placed by `geometry` if given.
    void openPanel(int slot, const QByteArray &geometry = {});

    // "&Reopen last windows": the windows of the last session with this crate,
    // kept in the settings, with their graphs' history from the archive. Enabled
    // after a Connect to the crate they were open on; after a lost link, the
    // windows open when it died come back by themselves at the next Connect to it.
    void mReopenClick();
    // `pylonet --connect`: the connection dialog on that address with the stored
    // user name, waiting for the password.
    void connectTo(const QString &address);
    // Puts the main window where the last run left it (the program's start does this).
    void restoreSavedGeometry();

    // A window working on h that Main opened; it is deleted with Main at the latest.
    void trackWindow(QWidget *window);

    // Called by the connection dialog after a successful login to the address and crate read.
    void enterConnected(int slotCount, const QString &modelName, const QString &address);

    // A crate call failed: stop polling, drop the connection (a failing Logout is
    // ignored), go to the disconnected state and tell the operator once.
    void connectionLost(const HVError &error);

    bool isConnected() const;
    QString linkStatus() const; // the status line's text
    QString paceStatus() const; // what the status line says of an overloaded crate, "" while it keeps up
    EventLog &eventLog() const { return *m_log; }
    ShiftLog &shiftLog() const { return *m_shift; }
    AlarmBook &alarms() const { return *m_alarms; }
    CrateWatch &watch() const { return *m_watch; }
    AlarmPanel *alarmPanel() const { return m_alarmPanel; }
    frmEvents *eventsWindow() const; // nullptr until "&Events" opens it
    frmHelp *helpWindow() const;     // nullptr until "&Help" opens it
    bool pollInFlight() const { return m_pollInFlight; } // the poll's answers are on their way
    frmLogin *loginDialog() const; // nullptr until the first "&Connect"

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    // The overview scrolls in a window smaller than it, and the window opens no larger than its screen's room.
    void fitToScreen();
    void planFrontPanel(ReadPlan &plan);
    void openSlot(int slot, const QVariant &models);
    // The slot's panel for the model, shown; nullptr for a model without one.
    QWidget *showPanel(int slot, const QString &model);
    // Runs a plan of this connection: answers that come after a disconnect are dropped.
    // A failure that `handled` takes (returns true for) does not end the connection.
    void runForSession(const std::shared_ptr<ReadPlan> &plan, std::function<bool(const HVError &)> handled = {});
    void polled();      // the poll's answers are shown
    void showAlarms();  // lamps and slot marks as the alarm list stands
    bool disconnectSteps(QString *logoutFailure); // false when Logout failed
    void linkLost(const QString &reason);          // status line and event log
    void checkFreshness();                         // veils the overview when the poll has not answered for a while
    void offerWorkspace(const QString &address);   // after a Connect: reopen by itself or offer to

    std::unique_ptr<HVPowerSupply> h;      // the crate connection of the whole run
    ModelTable m_models;                   // models with a panel, and how to open it
    bool m_connected = false;              // between a successful connect and a disconnect
    int m_session = 0;                     // counts connections: a plan of an earlier one is dropped
    bool m_pollInFlight = false;           // the poll's answers are on their way
    QTimer *Timer1 = nullptr;              // the 1000 ms poll
    CrateOverview *m_overview = nullptr;   // slot buttons, crate model, firmware and front panel
    StaleShade *m_shade = nullptr;         // over the overview while its values are stale
    qint64 m_freshAtMs = 0;                // when the poll's answers were last shown
    QAction *mConnect = nullptr;           // "&Connect"
    QAction *mDisconnect = nullptr;        // "&Disconnect"
    QAction *mExit = nullptr;              // "&Exit"
    QAction *mGraph = nullptr;             // "&Graph"
    QAction *mEvents = nullptr;            // "&Events"
    QAction *mMainWindow = nullptr;        // "&Main window", in "&Window"
    QAction *mHelp = nullptr;              // "&Help"
    QAction *mAbout = nullptr;             // "&About..."
    frmLogin *m_login = nullptr;           // the one connection dialog, made at first use
    QLabel *lblLinkStatus = nullptr;       // the status line: where the link goes, or why it is down
    QLabel *lblPace = nullptr;             // in the status line while the crate cannot keep up
    EventLog *m_log;                       // what happened during the run, for the Events window
    ShiftLog *m_shift;                     // the log kept in the archive's file, if there is one
    AlarmBook *m_alarms;                   // the latched alarms
    CrateWatch *m_watch;                   // the poll's watch over the whole crate
    AlarmPanel *m_alarmPanel = nullptr;    // the alarm list under the overview
    QLabel *lblShiftLog = nullptr;         // the status line's word on a shift log that cannot be written
    QPointer<frmEvents> m_events;          // the Events window while it is open
    QPointer<frmHelp> m_help;              // the help window while it is open
    QList<QPointer<QWidget>> m_windows;    // panels and graphs opened on h
    QPointer<QWidget> m_guess;             // a panel opened at a click for the board the crate showed last
    QString m_guessModel;                  // that board's model, until the click's own read confirms it
    TrendTable *m_trends = nullptr;        // the archive's trends, where the graphs keep their samples
    std::unique_ptr<Workspace> m_workspace; // the windows as the last poll found them
    std::unique_ptr<Workspace> m_stored;   // the windows the settings keep, offered by mReopen
    QAction *mReopen = nullptr;            // "&Reopen last windows"
    QString m_lostCrate;                   // the crate whose link died, its windows to come back at its next Connect
};
