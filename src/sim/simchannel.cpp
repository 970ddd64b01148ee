#include "simchannel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// A little slack so that floating-point leftovers do not flicker status bits.
double slack(double volts) { return 1e-9 * std::max(1.0, std::abs(volts)); }

// Deterministic pseudo-random number in [-1, 1] for a seed and a time bucket.
double noise(quint32 seed, qint64 bucket)
{
    quint64 x = (quint64(seed) << 32) ^ quint64(bucket) ^ 0x9E3779B97F4A7C15ull;
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    x ^= x >> 33;
    return double(x % 2000001) / 1000000.0 - 1.0;
}

} // namespace

SimChannel::SimChannel(const QList<SimParamInfo> &params, double loadOhms, quint32 noiseSeed)
    : m_params(&params), m_loadOhms(loadOhms), m_noiseSeed(noiseSeed)
{
    for (const SimParamInfo &p : params)
        if (p.writable || p.name == QLatin1String("HVMax"))
            m_values.insert(p.name, p.initial);
}

const SimParamInfo *SimChannel::info(const QString &name) const
{
    for (const SimParamInfo &p : *m_params)
        if (p.name == name)
            return &p;
    return nullptr;
}

void SimChannel::store(const QString &name, double value)
{
    m_values.insert(name, value);
}

double SimChannel::base(const QString &name, double fallback) const
{
    const SimParamInfo *p = info(name);
    if (!p)
        return fallback;
    return m_values.value(name) * std::pow(10.0, p->exp);
}

void SimChannel::switchOn()
{
    if (m_on)
        return; // writing "on" again must not restart a running trip timer
    m_on = true;
    if (m_values.contains(QStringLiteral("Pw")))
        m_values.insert(QStringLiteral("Pw"), 1);
    m_tripped = false;
    m_overCurrentFor = -1;
}

void SimChannel::switchOff(bool kill)
{
    m_on = false;
    if (m_values.contains(QStringLiteral("Pw")))
        m_values.insert(QStringLiteral("Pw"), 0);
    m_overCurrentFor = -1;
    if (kill)
        m_volts = 0;
}

void SimChannel::powerLoss()
{
    switchOff(true);
    m_tripped = false;
}

double SimChannel::hardwareMax(const Conditions &c) const
{
    if (has(QStringLiteral("HVMax")))
        return base(QStringLiteral("HVMax"), Infinity);
    return c.boardHVMax >= 0 ? c.boardHVMax : Infinity;
}

double SimChannel::requestedVoltage(const Conditions &c) const
{
    const double v0 = base(QStringLiteral("V0Set"), 0);
    const double wanted = c.vsel ? base(QStringLiteral("V1Set"), v0) : v0;
    return std::min(wanted, base(QStringLiteral("SVMax"), Infinity));
}

double SimChannel::setVoltage(const Conditions &c) const
{
    return std::min(requestedVoltage(c), hardwareMax(c));
}

double SimChannel::currentLimit(const Conditions &c) const
{
    const double i0 = base(QStringLiteral("I0Set"), Infinity);
    return c.isel ? base(QStringLiteral("I1Set"), i0) : i0;
}

double SimChannel::voltageAtLimit(const Conditions &c) const
{
    return currentLimit(c) * m_loadOhms;
}

double SimChannel::restingVoltage(const Conditions &c) const
{
    return m_on ? std::min(setVoltage(c), voltageAtLimit(c)) : 0.0;
}

bool SimChannel::currentLimited(const Conditions &c) const
{
    const double limit = voltageAtLimit(c);
    return m_on && setVoltage(c) > limit + slack(limit) && m_volts >= limit - slack(limit);
}

void SimChannel::trip()
{
    const bool kill = has(QStringLiteral("PDwn")) && stored(QStringLiteral("PDwn")) == 0;
    switchOff(kill);
    m_tripped = true;
}

void SimChannel::settle(const Conditions &c)
{
    m_volts = restingVoltage(c);
    m_overCurrentFor = currentLimited(c) ? 0 : -1;
}

void SimChannel::advance(double seconds, const Conditions &c)
{
    // Piecewise: between events (setpoint reached, trip time over) the voltage
    // moves linearly, so each piece is exact whatever the length of the step.
    double remaining = seconds;
    for (int guard = 0; guard < 16 && remaining > 0; ++guard) {
        // The current limit acts at once, not at the ramp rate.
        if (m_on)
            m_volts = std::min(m_volts, voltageAtLimit(c));

        const bool limited = currentLimited(c);
        if (!limited)
            m_overCurrentFor = -1;
        else if (m_overCurrentFor < 0)
            m_overCurrentFor = 0;

        const double rest = restingVoltage(c);
        const bool rising = m_volts < rest;
        const double rate = rising ? base(QStringLiteral("RUp"), Infinity) : base(QStringLiteral("RDWn"), Infinity);
        const double toRest = m_volts == rest ? Infinity : std::abs(rest - m_volts) / rate;
        const double toTrip = limited && has(QStringLiteral("Trip"))
                                  ? std::max(0.0, base(QStringLiteral("Trip"), 0) - m_overCurrentFor)
                                  : Infinity;
        const double step = std::min({remaining, toRest, toTrip});

        if (step >= toRest)
            m_volts = rest;
        else if (m_volts != rest && std::isfinite(rate))
            m_volts += (rising ? rate : -rate) * step;
        if (limited)
            m_overCurrentFor += step;
        remaining -= step;

        if (step >= toTrip)
            trip();
    }
}

double SimChannel::amps(const Conditions &c) const
{
    if (m_volts <= 0 || m_loadOhms <= 0)
        return 0;
    return std::min(m_volts / m_loadOhms, m_on ? currentLimit(c) : Infinity);
}

double SimChannel::measuredAmps(const Conditions &c, qint64 nowMs) const
{
    const double clean = amps(c);
    if (clean <= 0)
        return 0;
    // a few per mille of the reading plus a fraction of a nanoampere
    const double amplitude = 0.002 * clean + 2e-10;
    return std::max(0.0, clean + amplitude * noise(m_noiseSeed, nowMs / 500));
}

quint32 SimChannel::status(const Conditions &c) const
{
    quint32 bits = m_faults;
    const double rest = restingVoltage(c);
    const double tolerance = std::max(1e-3 * rest, 0.5);
    if (m_on)
        bits |= On;
    if (m_volts < rest - slack(rest))
        bits |= RampingUp;
    if (m_volts > rest + slack(rest))
        bits |= RampingDown;
    if (currentLimited(c))
        bits |= OverCurrent;
    if (m_on && !(bits & (RampingUp | RampingDown)) && m_volts < setVoltage(c) - tolerance)
        bits |= UnderVoltage;
    if (m_on && hardwareMax(c) < requestedVoltage(c))
        bits |= AtHVMax;
    if (c.disabled)
        bits |= ExternallyDisabled;
    if (m_tripped)
        bits |= InternalTrip;
    return bits;
}
