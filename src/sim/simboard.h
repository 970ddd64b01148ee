#pragma once

#include "simcatalogue.h"
#include "simchannel.h"
#include "simsetup.h"

#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

// One board in a slot: its channels, its temperature and its board
// parameters. Checks every access and names the fault in the HVError it
// throws ("V0Set = 9 is out of range 0..3.5 on slot 0 channel 3").
class SimBoard
{
public:
    // "BdStatus" bits.
    enum : quint32 {
        PowerFail = 1u << 0,
        FirmwareChecksum = 1u << 1,
        HVCalibration = 1u << 2,
        TempCalibration = 1u << 3,
        UnderTemp = 1u << 4,
        OverTemp = 1u << 5,
    };
    static constexpr quint32 FaultBits = PowerFail | FirmwareChecksum | HVCalibration | TempCalibration;
    static constexpr double OverTempCelsius = 70;
    static constexpr double UnderTempCelsius = 5;
    static constexpr int NameMaxLength = 12;

    // Front-panel inputs that reach every channel.
    struct Inputs
    {
        bool vsel = false;
        bool isel = false;
        bool interlock = false;
    };

    SimBoard(const SimBoardModel &model, int slot);

    // Applies a board description (file or default crate), then lets the
    // channels that are on come to rest: a crate read from a file has been
    // running for a while. Throws HVError naming the slot, channel and fault.
    void apply(const SimBoardSetup &setup, const Inputs &in);
    SimBoardSetup setup() const; // only what differs from a fresh board

    const SimBoardModel &model() const { return *m_model; }
    int slot() const { return m_slot; }
    int channelCount() const { return int(m_channels.size()); }

    void advance(double seconds, const Inputs &in);

    QVariant value(const QString &par, std::optional<int> ch, const Inputs &in, qint64 nowMs) const;
    void setValue(const QString &par, int ch, const QVariant &value, const Inputs &in, bool killInput);
    QVariant attribute(const QString &par, const QString &prop, std::optional<int> ch) const;
    QString channelName(int ch) const;
    void setChannelName(int ch, const QString &name);
    QStringList channelParams(int ch) const;

    // Faults, loads and the hardware, for tests and the simulator program.
    SimChannel &channel(int ch); // throws for a channel the board lacks
    const SimChannel &channel(int ch) const;
    void setHardwareMax(std::optional<int> ch, double volts);
    void setFaults(quint32 bits) { m_faults = bits & FaultBits; }
    void setAmbient(double celsius) { m_ambient = celsius; }
    void killAll();             // Kill or interlock input: every output off at once
    void powerLoss();           // pulled out of the crate
    void powerUp(const Inputs &in); // put back: channels with "POn" set come on

    // Crate-wide view.
    bool anyChannel(quint32 statusBit, const Inputs &in) const;
    quint32 boardStatus() const;

private:
    QString where(int ch) const;  // "slot 0 channel 3"
    SimChannel::Conditions conditions(const Inputs &in) const;
    double temperatureTarget(const Inputs &in) const;
    const SimParamInfo &channelInfo(const QString &par, int ch) const; // throws
    const SimParamInfo &boardInfo(const QString &par) const;           // throws
    void storeChecked(SimChannel &c, const SimParamInfo &info, int ch, double value);

    const SimBoardModel *m_model;         // catalogue entry, outlives the board
    int m_slot;                           // for messages
    std::vector<SimChannel> m_channels;   // index = channel number
    QHash<QString, double> m_boardValues; // board parameters that are stored ("HVMax")
    double m_ambient = 27;                // °C the board cools down to
    double m_temp = 27;                   // present board temperature, °C
    quint32 m_faults = 0;                 // injected board status bits
};
