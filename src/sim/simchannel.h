#pragma once

#include "simcatalogue.h"

#include <QHash>
#include <QString>

// One output channel: its stored parameter values and the physics of its
// output. Voltages and currents inside are in volts and amperes; the stored
// values stay in each parameter's own scale.
class SimChannel
{
public:
    // Status bits.
    enum : quint32 {
        On = 1u << 0,
        RampingUp = 1u << 1,
        RampingDown = 1u << 2,
        OverCurrent = 1u << 3,
        OverVoltage = 1u << 4,
        UnderVoltage = 1u << 5,
        ExternalTrip = 1u << 6,
        AtHVMax = 1u << 7,
        ExternallyDisabled = 1u << 8,
        InternalTrip = 1u << 9,
        CalibrationError = 1u << 10,
        Unplugged = 1u << 11,
    };
    // Bits that only a fault injection sets; the physics never does.
    static constexpr quint32 FaultBits = OverVoltage | ExternalTrip | ExternallyDisabled | CalibrationError | Unplugged;

    // What the crate and board impose on every channel during a stretch of time.
    struct Conditions
    {
        bool vsel = false;      // V1Set instead of V0Set
        bool isel = false;      // I1Set instead of I0Set
        bool disabled = false;  // interlock input set: outputs held off
        double boardHVMax = -1; // board hardware maximum in volts, < 0 when the board has none
    };

    SimChannel(const QList<SimParamInfo> &params, double loadOhms, quint32 noiseSeed);

    const QList<SimParamInfo> &params() const { return *m_params; }
    const SimParamInfo *info(const QString &name) const;
    bool has(const QString &name) const { return info(name) != nullptr; }

    double stored(const QString &name) const { return m_values.value(name); }
    void store(const QString &name, double value); // the caller has checked the range
    // Stored value in its base unit, or fallback when the channel lacks it.
    double base(const QString &name, double fallback) const;

    bool isOn() const { return m_on; }
    void switchOn();
    void switchOff(bool kill); // kill: output drops at once, else it ramps down at "RDWn"
    void powerLoss();          // board pulled: output gone, trip forgotten
    void settle(const Conditions &c); // jump to where the output would come to rest

    // Runs the physics for seconds of time under constant conditions.
    void advance(double seconds, const Conditions &c);

    double volts() const { return m_volts; }
    double amps(const Conditions &c) const;               // without noise
    double measuredAmps(const Conditions &c, qint64 nowMs) const; // with a little noise
    quint32 status(const Conditions &c) const;

    double loadOhms() const { return m_loadOhms; }
    void setLoadOhms(double ohms) { m_loadOhms = ohms; }
    quint32 faults() const { return m_faults; }
    void setFaults(quint32 bits) { m_faults = bits & FaultBits; }

    QString name;

private:
    double requestedVoltage(const Conditions &c) const; // V0Set or V1Set, within SVMax
    double setVoltage(const Conditions &c) const;       // the same within the hardware maximum
    double hardwareMax(const Conditions &c) const;
    double currentLimit(const Conditions &c) const;
    double voltageAtLimit(const Conditions &c) const; // where the current limit holds the output
    double restingVoltage(const Conditions &c) const;
    bool currentLimited(const Conditions &c) const;
    void trip();

    const QList<SimParamInfo> *m_params; // from the catalogue, outlives the channel
    QHash<QString, double> m_values;     // stored parameter values, own scale
    double m_loadOhms;                   // resistive load on the output
    quint32 m_noiseSeed;                 // makes each channel's noise its own
    bool m_on = false;                   // output enabled ("Pw")
    bool m_tripped = false;              // switched off by its own over-current
    double m_volts = 0;                  // output voltage
    double m_overCurrentFor = -1;        // seconds spent at the current limit, < 0 when not
    quint32 m_faults = 0;                // injected status bits
};
