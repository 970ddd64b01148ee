#pragma once

#include "alarmbook.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QList>
#include <array>
#include <optional>
#include <vector>

class EventLog;
class HVError;
class ReadPlan;

// The main window's watch over the whole crate, read in the same plan as the
// poll, panels open or not: every occupied slot's channel status and power
// ("Status", "Pw") and board status ("BdStatus", where the model has one) at
// every tick, and a sweep of the channels' names and setpoints ("V0Set",
// "I0Set", with their "Exp") a few channels per tick. From one tick to the
// next it raises and clears alarms (AlarmBook) and logs what changed:
//
//  - a status that changed (but not what a crate-wide Kill or Interlock did to
//    every channel: that is one alarm naming the channels it switched off);
//  - a power switch, a setpoint or a name that changed without a write from
//    this program ("Changed elsewhere", old and new in real units). The event
//    log knows this program's writes: a change seen after one to the same
//    parameter of the channel, made since it was last read, is its own.
//
// What each channel offers is asked once per board (ListChannelParams, and the
// names), when the board first shows in its slot; its reads start the tick
// after. Reads cost: about two per channel and one per board status every
// tick; the sweep takes what is left of ReadsPerTick (at least SweepFloor
// reads), so a full crate is swept every few seconds.
class CrateWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxSlots = 16;
    // No more reads per tick than one open Q310 panel's (394), learning a new board aside.
    static constexpr int ReadsPerTick = 390;
    static constexpr int SweepFloor = 50; // a crate too big for the budget is still swept
    static constexpr int SweepReadsPerChannel = 5; // name, V0Set's Exp and value, I0Set's

    CrateWatch(EventLog &log, AlarmBook &alarms, QObject *parent = nullptr);

    // A new connection: nothing is known of the crate, nothing is compared with before it.
    void reset();
    // The poll read "FrontPanIn".
    void takeInputs(quint8 in);
    // Adds the watch's reads to the poll's plan, after the front panel's.
    void plan(ReadPlan &plan);
    // The plan's answers are all applied: compare with the tick before, raise, clear and log.
    void evaluate();
    // The plan failed at one of the watch's reads: whether the crate refused it (a
    // board changed under it). What each board offers is then asked again.
    bool refused(const HVError &error);
    // Reads the last plan asked for (guards aside), and of those the sweep's.
    int plannedReads() const { return m_planned; }
    int sweepReads() const { return m_sweepPlanned; }

    // The models whose boards report a board status (the Q510 family).
    static bool hasBoardStatus(const QString &model);

signals:
    // A channel's name as the crate answered it (the graphs that name it follow a rename).
    void channelNameRead(int slot, int channel, const QString &name);

private:
    struct Setpoint
    {
        std::optional<double> raw; // in the board's scale
        int exp = 0;               // its "Exp"
    };
    // A channel as the last ticks saw it.
    struct Channel
    {
        bool offersStatus = false; // "Status" is among its parameters
        bool offersPw = false;     // "Pw"
        bool offersV0 = false;     // "V0Set"
        bool offersI0 = false;     // "I0Set"
        QString name;              // as read last
        bool nameKnown = false;    // a name was read
        std::optional<qint32> status; // "Status" at the last tick
        std::optional<bool> pw;       // "Pw" at the last tick
        Setpoint v0, i0;              // at the last sweep
        qint64 pwReadMs = 0;          // when the plan that read "Pw" last was made
        qint64 sweptMs = 0;           // when the plan that swept it last was made
    };
    // A board as the last ticks saw it.
    struct Board
    {
        QString model;                  // "" for an empty slot
        bool learned = false;           // what each channel offers is known
        std::optional<qint32> bdStatus; // "BdStatus" at the last tick
        std::vector<Channel> channels;  // by channel number
    };
    // What this tick read of a channel.
    struct Read
    {
        std::optional<qint32> status;      // "Status"
        std::optional<bool> pw;            // "Pw"
        std::optional<QString> name;       // learning or sweep
        std::optional<QStringList> params; // learning
        Setpoint v0, i0;                   // sweep
    };
    // The answers of the tick in flight.
    struct Tick
    {
        qint64 plannedMs = 0;        // when its plan was made
        bool mapRead = false;        // the watch's crate map came: the watch's part began
        QVariantList models, counts; // that map
        std::optional<quint8> inputs; // "FrontPanIn"
        std::array<std::optional<qint32>, MaxSlots> bdStatus{}; // "BdStatus" by slot
        std::array<std::vector<Read>, MaxSlots> reads{};       // by slot and channel
    };
    // A Kill or Interlock input, and the channels it switched off while in force.
    struct CrateEvent
    {
        qint64 alarmId = 0;
        QList<std::pair<int, QString>> switchedOff; // (slot, "3 Anode")
        bool on = false;       // at this tick
        bool onBefore = false; // at the tick before
        int settling = 0;      // ticks after the release whose changes of status are still its own
    };
    // What of a tick's channel changes a crate-wide switch-off tells instead of each channel.
    struct Folding
    {
        bool switchOffs = false; // a channel's power going off: named in its alarm
        bool statuses = false;   // a channel's status changing ("Ext-Dis", "HVMax" gone): not logged
    };

    void planBoard(ReadPlan &plan, int map, qint16 slot);
    void planSweep(ReadPlan &plan, int map, int budget);
    Read *read(int slot, int ch);
    void evaluateInputs(CrateEvent &event, bool on, AlarmBook::What what);
    void evaluateBoard(int slot, Folding folding);
    void evaluateChannel(int slot, int ch, Channel &c, Read &r, Folding folding);
    void evaluateSetpoint(int slot, int ch, Channel &c, const QString &par, Setpoint &old, const Setpoint &now,
                          const QString &unit);
    void switchedOffByCrate(int slot, int ch, const Channel &c);
    static QString eventText(AlarmBook::What what, const CrateEvent &event);

    EventLog &m_log;                       // where changes go
    AlarmBook &m_alarms;                   // where alarms go
    std::array<Board, MaxSlots> m_boards;  // as the last tick saw them
    Tick m_tick;                           // the answers of the tick in flight
    CrateEvent m_kill, m_interlock;        // crate-wide switch-offs in force
    int m_sweepSlot = 0, m_sweepCh = 0;    // where the sweep goes on
    int m_planned = 0;                     // reads in the last plan
    int m_sweepPlanned = 0;                // of which the sweep's
};
