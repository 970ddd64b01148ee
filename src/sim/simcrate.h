#pragma once

#include "simsetup.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class SimBoard;

// The simulated crate. Thread-safe: every public method locks one internal
// mutex, because the server runs on its own thread while tests pull boards from
// the test thread. The physics is computed lazily: each call first brings the
// crate forward to the clock's present time, so a test sets a manual clock and
// reads.
class SimCrate
{
public:
    using Clock = std::function<qint64()>; // monotonic milliseconds; injectable for tests

    // Empty clock = real time. Without a setup: the default 16-slot crate.
    explicit SimCrate(Clock clock = {});
    explicit SimCrate(const SimCrateSetup &setup, Clock clock = {}); // throws HVError
    ~SimCrate();
    SimCrate(const SimCrate &) = delete;
    SimCrate &operator=(const SimCrate &) = delete;

    static std::unique_ptr<SimCrate> fromJson(const QByteArray &json, Clock clock = {});    // throws HVError
    static std::unique_ptr<SimCrate> fromJsonFile(const QString &path, Clock clock = {}); // throws HVError

    // The present state as a crate file (setpoints, names, loads, faults).
    QByteArray toJson() const;
    SimCrateSetup setup() const;

    // The crate side of every access-interface operation (all throw HVError naming what was wrong):
    int slotCount() const;
    QVariantList channelCounts() const; // per slot, 0 for empty/pulled
    QVariantList slotModels() const;    // per slot, "" for empty/pulled
    QVariant crateProperty(const QString &name) const;
    QVariant paramValue(int slot, const QString &par, std::optional<int> ch) const;
    void setParamValue(int slot, const QString &par, int ch, const QVariant &value);
    QVariant paramAttribute(int slot, const QString &par, const QString &prop, std::optional<int> ch) const;
    QString channelName(int slot, int ch) const;
    void setChannelName(int slot, int ch, const QString &name);
    QStringList listChannelParams(int slot, int ch) const;

    // Faults and front panel, for tests and the simulator program:
    void pullBoard(int slot);   // slot reads "" until insertBoard; throws on an empty slot
    void insertBoard(int slot); // puts the pulled board back with its settings; throws if none was pulled
    void insertBoard(int slot, const QString &model); // a fresh board; throws if the slot is occupied
    // "VSel","ISel","Kill","Interlock","RemoteEnable","LocalEnable","TTL"; throws on another name
    void setFrontPanelInput(const QString &name, bool on);
    void setFanFailure(bool failed);
    void setLoad(int slot, int ch, double ohms);           // > 0
    void setHardwareMax(int slot, std::optional<int> ch, double volts); // the read-only "HVMax"
    void setChannelFaults(int slot, int ch, quint32 statusBits); // bits 4, 6, 8, 10, 11
    void setBoardFaults(int slot, quint32 bdStatusBits);         // bits 0..3
    void setAmbient(int slot, double celsius);

    // Told of every write the crate took, on the thread that made it, after it
    // took effect (benchmarks time what reaches the crate with it).
    using WriteObserver = std::function<void(int slot, const QString &par, int ch, const QVariant &value)>;
    void setWriteObserver(WriteObserver observer);

private:
    struct Slot; // a board in place and a pulled one waiting to go back

    qint64 now() const;
    void advance() const; // brings every board up to now(); caller holds the lock
    SimBoard &board(int slot) const; // throws for a missing or empty slot
    void checkSlot(int slot) const;
    quint16 frontPanelOut() const;

    Clock m_clock;                      // time source in ms
    QElapsedTimer m_realTime;           // used when no clock was given
    mutable std::mutex m_mutex;         // one lock for every public method
    mutable qint64 m_lastMs = 0;        // time the physics was last brought forward to
    QString m_modelName;                // "ModelName" crate property
    QString m_swRelease;                // "SwRelease" crate property
    quint8 m_frontPanIn = 0;            // front-panel inputs, bits as in "FrontPanIn"
    bool m_fanFailure = false;          // drives the fan-failure output
    std::vector<std::unique_ptr<Slot>> m_slots; // one per slot
    WriteObserver m_writeObserver;      // told of every write taken
};
