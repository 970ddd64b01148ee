#include "simboard.h"

#include "hverror.h"

#include <cmath>

namespace {

QString number(double v) { return QString::number(v, 'g', 10); }

QString defaultName(int ch) { return QStringLiteral("CH%1").arg(ch, 2, 10, QLatin1Char('0')); }

constexpr double ThermalSeconds = 60;  // time constant of the board temperature
constexpr double HeatPerChannel = 0.4; // °C for each channel that is on
constexpr double HeatPerWatt = 1.5;    // °C per watt delivered
constexpr double HeatStepSeconds = 5;  // heat is taken as constant for this long

} // namespace

SimBoard::SimBoard(const SimBoardModel &model, int slot)
    : m_model(&model), m_slot(slot)
{
    m_channels.reserve(model.channels);
    for (int ch = 0; ch < model.channels; ++ch) {
        m_channels.emplace_back(model.channelParams(ch), model.defaultLoadOhms, quint32(slot * 64 + ch));
        m_channels.back().name = defaultName(ch);
    }
    for (const SimParamInfo &p : model.boardParams)
        if (p.name == QLatin1String("HVMax"))
            m_boardValues.insert(p.name, p.initial);
}

QString SimBoard::where(int ch) const
{
    return QStringLiteral("slot %1 channel %2").arg(m_slot).arg(ch);
}

SimChannel &SimBoard::channel(int ch)
{
    return const_cast<SimChannel &>(std::as_const(*this).channel(ch));
}

const SimChannel &SimBoard::channel(int ch) const
{
    if (ch < 0 || ch >= channelCount())
        throw HVError(QStringLiteral("slot %1 has no channel %2 (the %3 has channels 0..%4)")
                          .arg(m_slot).arg(ch).arg(m_model->name).arg(channelCount() - 1));
    return m_channels[size_t(ch)];
}

const SimParamInfo &SimBoard::channelInfo(const QString &par, int ch) const
{
    const SimParamInfo *info = channel(ch).info(par);
    if (!info) {
        const QString hint = m_model->boardParam(par) ? QStringLiteral(" (it is a board parameter)") : QString();
        throw HVError(QStringLiteral("%1 has no parameter \"%2\"%3").arg(where(ch), par, hint));
    }
    return *info;
}

const SimParamInfo &SimBoard::boardInfo(const QString &par) const
{
    const SimParamInfo *info = m_model->boardParam(par);
    if (!info) {
        const QString hint = m_model->channelParam(0, par) ? QStringLiteral(" (it is a channel parameter)") : QString();
        throw HVError(QStringLiteral("the %1 in slot %2 has no board parameter \"%3\"%4")
                          .arg(m_model->name).arg(m_slot).arg(par, hint));
    }
    return *info;
}

SimChannel::Conditions SimBoard::conditions(const Inputs &in) const
{
    SimChannel::Conditions c;
    c.vsel = in.vsel;
    c.isel = in.isel;
    c.disabled = in.interlock;
    c.boardHVMax = m_boardValues.value(QStringLiteral("HVMax"), -1);
    return c;
}

double SimBoard::temperatureTarget(const Inputs &in) const
{
    const SimChannel::Conditions c = conditions(in);
    double heat = 0;
    for (const SimChannel &ch : m_channels)
        heat += (ch.isOn() ? HeatPerChannel : 0) + HeatPerWatt * ch.volts() * ch.amps(c);
    return m_ambient + heat;
}

void SimBoard::advance(double seconds, const Inputs &in)
{
    // The heat follows the outputs, which change within the stretch: take it in
    // short pieces. After an hour everything has long come to rest, so a longer
    // pause is one piece.
    const SimChannel::Conditions c = conditions(in);
    while (seconds > 0) {
        const double piece = seconds > 3600 ? seconds - 3600 : std::min(seconds, HeatStepSeconds);
        const double target = temperatureTarget(in);
        for (SimChannel &ch : m_channels)
            ch.advance(piece, c);
        m_temp = target + (m_temp - target) * std::exp(-piece / ThermalSeconds);
        seconds -= piece;
    }
}

QVariant SimBoard::value(const QString &par, std::optional<int> ch, const Inputs &in, qint64 nowMs) const
{
    if (!ch) {
        const SimParamInfo &info = boardInfo(par);
        if (par == QLatin1String("Temp"))
            return std::round(m_temp * 10) / 10;
        if (par == QLatin1String("BdStatus"))
            return int(boardStatus());
        return m_boardValues.value(info.name);
    }

    const SimParamInfo &info = channelInfo(par, *ch);
    const SimChannel &c = channel(*ch);
    const double scale = std::pow(10.0, info.exp);
    if (par == QLatin1String("VMon"))
        return c.volts() / scale;
    if (par == QLatin1String("IMon"))
        return c.measuredAmps(conditions(in), nowMs) / scale;
    if (info.type == SimParamInfo::ChannelStatus)
        return int(c.status(conditions(in)));
    if (info.type == SimParamInfo::OnOff)
        return c.stored(par) != 0 ? 1 : 0;
    return c.stored(par);
}

void SimBoard::storeChecked(SimChannel &c, const SimParamInfo &info, int ch, double value)
{
    if (info.type == SimParamInfo::OnOff) {
        c.store(info.name, value != 0 ? 1 : 0);
        return;
    }
    if (value < info.minval || value > info.maxval)
        throw HVError(QStringLiteral("%1 = %2 is out of range %3..%4 on %5")
                          .arg(info.name, number(value), number(info.minval), number(info.maxval), where(ch)));
    c.store(info.name, value);
}

void SimBoard::setValue(const QString &par, int ch, const QVariant &value, const Inputs &in, bool killInput)
{
    const SimParamInfo &info = channelInfo(par, ch);
    if (!info.writable)
        throw HVError(QStringLiteral("%1 is read-only (%2)").arg(par, where(ch)));
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw HVError(QStringLiteral("%1 = \"%2\" is not a number (%3)").arg(par, value.toString(), where(ch)));

    SimChannel &c = channel(ch);
    if (par != QLatin1String("Pw")) {
        storeChecked(c, info, ch, d);
        return;
    }
    if (d == 0) {
        const bool kill = c.has(QStringLiteral("PDwn")) && c.stored(QStringLiteral("PDwn")) == 0;
        c.switchOff(kill);
        return;
    }
    if (killInput)
        throw HVError(QStringLiteral("%1 cannot be switched on while the Kill input is set").arg(where(ch)));
    if (in.interlock)
        throw HVError(QStringLiteral("%1 cannot be switched on while the Interlock input is set").arg(where(ch)));
    c.switchOn();
}

QVariant SimBoard::attribute(const QString &par, const QString &prop, std::optional<int> ch) const
{
    const SimParamInfo *info = nullptr;
    if (ch) {
        info = &channelInfo(par, *ch);
    } else {
        info = &boardInfo(par);
    }
    if (prop == QLatin1String("Minval"))
        return info->minval;
    if (prop == QLatin1String("Maxval"))
        return info->maxval;
    if (prop == QLatin1String("Exp"))
        return info->exp;
    if (prop == QLatin1String("Unit"))
        return info->unit;
    if (prop == QLatin1String("Type"))
        return info->type;
    throw HVError(QStringLiteral("unknown parameter property \"%1\" (known: Minval, Maxval, Exp, Unit, Type)")
                      .arg(prop));
}

QString SimBoard::channelName(int ch) const
{
    return channel(ch).name;
}

void SimBoard::setChannelName(int ch, const QString &name)
{
    SimChannel &c = channel(ch);
    if (name.size() > NameMaxLength)
        throw HVError(QStringLiteral("the channel name \"%1\" is longer than %2 characters (%3)")
                          .arg(name).arg(NameMaxLength).arg(where(ch)));
    for (const QChar q : name)
        if (!q.isPrint())
            throw HVError(QStringLiteral("a channel name may not contain control characters (%1)").arg(where(ch)));
    c.name = name;
}

QStringList SimBoard::channelParams(int ch) const
{
    QStringList names;
    for (const SimParamInfo &p : channel(ch).params())
        names << p.name;
    return names;
}

void SimBoard::setHardwareMax(std::optional<int> ch, double volts)
{
    if (!std::isfinite(volts) || volts < 0)
        throw HVError(QStringLiteral("a hardware maximum of %1 V is not possible").arg(number(volts)));
    if (ch) {
        const SimParamInfo &info = channelInfo(QStringLiteral("HVMax"), *ch);
        channel(*ch).store(info.name, volts / std::pow(10.0, info.exp));
        return;
    }
    const SimParamInfo &info = boardInfo(QStringLiteral("HVMax"));
    m_boardValues.insert(info.name, volts / std::pow(10.0, info.exp));
}

void SimBoard::killAll()
{
    for (SimChannel &c : m_channels)
        c.switchOff(true);
}

void SimBoard::powerLoss()
{
    for (SimChannel &c : m_channels)
        c.powerLoss();
}

void SimBoard::powerUp(const Inputs &in)
{
    if (in.interlock)
        return;
    for (SimChannel &c : m_channels)
        if (c.has(QStringLiteral("POn")) && c.stored(QStringLiteral("POn")) != 0)
            c.switchOn();
}

bool SimBoard::anyChannel(quint32 statusBit, const Inputs &in) const
{
    const SimChannel::Conditions c = conditions(in);
    for (const SimChannel &ch : m_channels)
        if (ch.status(c) & statusBit)
            return true;
    return false;
}

quint32 SimBoard::boardStatus() const
{
    quint32 bits = m_faults;
    if (m_temp > OverTempCelsius)
        bits |= OverTemp;
    if (m_temp < UnderTempCelsius)
        bits |= UnderTemp;
    return bits;
}

void SimBoard::apply(const SimBoardSetup &setup, const Inputs &in)
{
    const QString board = QStringLiteral("slot %1").arg(m_slot);
    if (!std::isfinite(setup.ambient) || setup.ambient < -50 || setup.ambient > 150)
        throw HVError(QStringLiteral("%1: ambient temperature %2 is outside -50..150 °C").arg(board, number(setup.ambient)));
    if (setup.faults & ~FaultBits)
        throw HVError(QStringLiteral("%1: board faults %2 name bits other than 0..3").arg(board).arg(setup.faults));
    m_ambient = setup.ambient;
    m_faults = setup.faults;

    for (auto it = setup.params.cbegin(); it != setup.params.cend(); ++it) {
        const SimParamInfo *info = m_model->boardParam(it.key());
        if (!info || it.key() != QLatin1String("HVMax"))
            throw HVError(QStringLiteral("%1: the %2 has no board parameter \"%3\" that can be set")
                              .arg(board, m_model->name, it.key()));
        if (!(it.value() >= info->minval && it.value() <= info->maxval))
            throw HVError(QStringLiteral("%1: %2 = %3 is out of range %4..%5")
                              .arg(board, it.key(), number(it.value()), number(info->minval), number(info->maxval)));
        m_boardValues.insert(it.key(), it.value());
    }

    for (const SimChannelSetup &cs : setup.channels) {
        SimChannel &c = channel(cs.ch);
        if (cs.name)
            setChannelName(cs.ch, *cs.name);
        if (cs.loadOhms) {
            if (!(*cs.loadOhms > 0) || !std::isfinite(*cs.loadOhms))
                throw HVError(QStringLiteral("%1: load %2 ohm is not a positive number").arg(where(cs.ch), number(*cs.loadOhms)));
            c.setLoadOhms(*cs.loadOhms);
        }
        if (cs.faults & ~SimChannel::FaultBits)
            throw HVError(QStringLiteral("%1: faults %2 name bits other than 4, 6, 8, 10 and 11").arg(where(cs.ch)).arg(cs.faults));
        c.setFaults(cs.faults);
        for (auto it = cs.params.cbegin(); it != cs.params.cend(); ++it) {
            const SimParamInfo &info = channelInfo(it.key(), cs.ch);
            if (!info.writable && info.name != QLatin1String("HVMax"))
                throw HVError(QStringLiteral("%1 is read-only (%2)").arg(it.key(), where(cs.ch)));
            if (!std::isfinite(it.value()))
                throw HVError(QStringLiteral("%1 is not a number (%2)").arg(it.key(), where(cs.ch)));
            if (info.name == QLatin1String("Pw")) {
                if (it.value() != 0)
                    c.switchOn();
                else
                    c.switchOff(true);
            } else {
                storeChecked(c, info, cs.ch, it.value());
            }
        }
    }

    const SimChannel::Conditions cond = conditions(in);
    for (SimChannel &c : m_channels)
        c.settle(cond);
    m_temp = temperatureTarget(in);
}

SimBoardSetup SimBoard::setup() const
{
    SimBoardSetup s;
    s.slot = m_slot;
    s.model = m_model->name;
    s.ambient = m_ambient;
    s.faults = m_faults;
    for (const SimParamInfo &p : m_model->boardParams)
        if (m_boardValues.contains(p.name) && m_boardValues.value(p.name) != p.initial)
            s.params.insert(p.name, m_boardValues.value(p.name));
    for (int ch = 0; ch < channelCount(); ++ch) {
        const SimChannel &c = m_channels[size_t(ch)];
        SimChannelSetup cs;
        cs.ch = ch;
        if (c.name != defaultName(ch))
            cs.name = c.name;
        if (c.loadOhms() != m_model->defaultLoadOhms)
            cs.loadOhms = c.loadOhms();
        cs.faults = c.faults();
        for (const SimParamInfo &p : c.params())
            if ((p.writable || p.name == QLatin1String("HVMax")) && c.stored(p.name) != p.initial)
                cs.params.insert(p.name, c.stored(p.name));
        if (cs.name || cs.loadOhms || cs.faults || !cs.params.isEmpty())
            s.channels << cs;
    }
    return s;
}
