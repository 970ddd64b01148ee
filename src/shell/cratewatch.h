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

private:
    struct Setpoint
    {
        std::optional<double> raw; // in the board's scale
        int exp = 0;               // its "Exp"
    };
    struct Channel
    {
        bool offersStatus = false, offersPw = false, offersV0 = false, offersI0 = false;
        QString name;
        bool nameKnown = false;
        std::optional<qint32> status;
        std::optional<bool> pw;
        Setpoint v0, i0;
        qint64 pwReadMs = 0;    // when the plan that read them last was made
        qint64 sweptMs = 0;
    };
    struct Board
    {
        QString model;
        bool learned = false; // what each channel offers is known
        std::optional<qint32> bdStatus;
        std::vector<Channel> channels;
    };
    // This tick's answers.
    struct Read
    {
        std::optional<qint32> status;
        std::optional<bool> pw;
        std::optional<QString> name;
        std::optional<QStringList> params;
        Setpoint v0, i0;
    };
    struct Tick
    {
        qint64 plannedMs = 0;
        bool mapRead = false;
        QVariantList models, counts;
        std::optional<quint8> inputs;
        std::array<std::optional<qint32>, MaxSlots> bdStatus{};
        std::array<std::vector<Read>, MaxSlots> reads{};
    };
    // A Kill or Interlock input, and the channels it switched off while in force.
    struct CrateEvent
    {
        qint64 alarmId = 0;
        QList<std::pair<int, QString>> switchedOff; // (slot, "3 Anode")
        bool on = false;       // at this tick
        bool onBefore = false; // at the tick before
    };

    void planBoard(ReadPlan &plan, int map, qint16 slot);
    void planSweep(ReadPlan &plan, int map, int budget);
    Read *read(int slot, int ch);
    void evaluateInputs(CrateEvent &event, bool on, AlarmBook::What what);
    void evaluateBoard(int slot, bool crateEvent);
    void evaluateChannel(int slot, int ch, Channel &c, Read &r, bool crateEvent);
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
