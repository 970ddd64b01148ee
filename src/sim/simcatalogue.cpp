#include "simcatalogue.h"

#include <QHash>

#include <cmath>

namespace {

using P = SimParamInfo;

SimParamInfo numeric(const QString &name, double minval, double maxval, int exp, const QString &unit,
                     double initial, bool writable = true)
{
    return {name, P::Numeric, minval, maxval, exp, unit, writable, initial};
}

SimParamInfo onOff(const QString &name, double initial)
{
    return {name, P::OnOff, 0, 1, 0, QString(), true, initial};
}

SimParamInfo channelStatus()
{
    return {QStringLiteral("Status"), P::ChannelStatus, 0, 4095, 0, QString(), false, 0};
}

SimParamInfo boardTemp(double maxval = 80)
{
    return numeric(QStringLiteral("Temp"), 0, maxval, 0, QStringLiteral("°C"), 25, false);
}

// What one high-voltage channel offers; vExp/iExp give the setpoints' scale,
// vMax/iMax the range in that scale.
struct HvRange
{
    double vMax;
    int vExp;
    double iMax;
    int iExp;
    int iMonExp;
};

double scale(int exp) { return std::pow(10.0, exp); }

// Optional parts of a high-voltage channel.
enum Feature {
    WithHVMax = 1,     // read-only hardware maximum per channel
    WithPDwn = 2,      // ramp or kill on switch-off
    WithSecondSet = 4, // V1Set/I1Set, TripInt/TripExt, POn
    WithTrip = 8,      // over-current trip time
};

QList<SimParamInfo> hvChannel(const HvRange &r, int features)
{
    const double vMaxBase = r.vMax * scale(r.vExp);
    const double iMaxBase = r.iMax * scale(r.iExp);
    const bool second = features & WithSecondSet;
    QList<SimParamInfo> ps;
    ps << numeric("V0Set", 0, r.vMax, r.vExp, "V", 0)
       << numeric("I0Set", 0, r.iMax, r.iExp, "A", r.iMax / 2);
    if (second)
        ps << numeric("V1Set", 0, r.vMax, r.vExp, "V", 0)
           << numeric("I1Set", 0, r.iMax, r.iExp, "A", r.iMax / 4);
    ps << numeric("SVMax", 0, r.vMax, r.vExp, "V", r.vMax)
       << numeric("RUp", 1, 500, 0, "V/s", 50)
       << numeric("RDWn", 1, 500, 0, "V/s", 100);
    if (features & WithTrip)
        ps << numeric("Trip", 0, 1000, 0, "s", 10);
    if (second)
        ps << numeric("TripInt", 0, 255, 0, QString(), 0)
           << numeric("TripExt", 0, 255, 0, QString(), 0);
    ps << onOff("Pw", 0);
    if (second)
        ps << onOff("POn", 0);
    if (features & WithPDwn)
        ps << onOff("PDwn", 1);
    ps << numeric("VMon", 0, vMaxBase * 1.05, 0, "V", 0, false)
       << numeric("IMon", 0, iMaxBase * 1.05 / scale(r.iMonExp), r.iMonExp, "A", 0, false);
    if (features & WithHVMax)
        ps << numeric("HVMax", 0, vMaxBase * 1.05, 0, "V", vMaxBase, false);
    ps << channelStatus();
    return ps;
}

double loadFor(const HvRange &r)
{
    // a quarter of the current limit at full voltage
    return (r.vMax * scale(r.vExp)) / (0.25 * r.iMax * scale(r.iExp));
}

SimBoardModel q310()
{
    const HvRange r{3.5, 3, 200, -6, -9};
    return {"Q310", 14, loadFor(r), {boardTemp()}, {{0, 13, hvChannel(r, WithHVMax | WithPDwn | WithSecondSet | WithTrip)}}};
}

SimBoardModel q420(const QString &name, const HvRange &r)
{
    const double vMaxBase = r.vMax * scale(r.vExp);
    return {name, 12, loadFor(r),
            {boardTemp(), numeric("HVMax", 0, vMaxBase * 1.05, 0, "V", vMaxBase, false)},
            {{0, 11, hvChannel(r, WithPDwn | WithSecondSet | WithTrip)}}};
}

SimBoardModel q510(const QString &name, int channels, const HvRange &r)
{
    return {name, channels, loadFor(r),
            {boardTemp(), {"BdStatus", P::BoardStatus, 0, 63, 0, QString(), false, 0}},
            {{0, channels - 1, hvChannel(r, WithSecondSet | WithTrip)}}};
}

SimBoardModel q205()
{
    // Two high-voltage channels, one low-voltage supply that can only be
    // switched, and eighteen channels of the remote boards.
    const HvRange hv{6, 3, 2, -3, -6};
    const HvRange remote{1000, 0, 10000, -9, -9};
    const QList<SimParamInfo> hvParams = hvChannel(hv, WithPDwn | WithTrip);
    const QList<SimParamInfo> remoteParams = hvChannel(remote, 0);
    return {"Q205", 21, loadFor(remote),
            {boardTemp(100)},
            {{0, 1, hvParams}, {2, 2, {onOff("Pw", 0)}}, {3, 20, remoteParams}}};
}

SimBoardModel qx12()
{
    const HvRange r{10, 3, 1000, -6, -6};
    QList<SimParamInfo> ps;
    ps << numeric("V0Set", 0, r.vMax, r.vExp, "V", 0) << numeric("I0Set", 0, r.iMax, r.iExp, "A", 500)
       << numeric("RUp", 1, 500, 0, "V/s", 50) << numeric("RDWn", 1, 500, 0, "V/s", 100) << onOff("Pw", 0)
       << numeric("VMon", 0, 10500, 0, "V", 0, false) << numeric("IMon", 0, 1050, -6, "A", 0, false)
       << channelStatus();
    return {"QX12", 8, loadFor(r), {boardTemp()}, {{0, 7, ps}}};
}

struct Catalogue
{
    QList<SimBoardModel> models;
    QHash<QString, int> index;

    Catalogue()
    {
        models << q310()
               << q420("Q420", {2000, 0, 3000, -6, -6}) << q420("Q421", {3000, 0, 2000, -6, -6})
               << q420("Q422", {4000, 0, 1000, -6, -6}) << q420("Q423", {5000, 0, 1000, -6, -6})
               << q420("Q424", {6000, 0, 500, -6, -6}) << q420("Q431", {1000, 0, 20, -3, -6})
               << q420("Q432", {2000, 0, 10, -3, -6}) << q420("Q433", {3000, 0, 5, -3, -6})
               << q420("Q434", {4000, 0, 2, -3, -6})
               << q510("Q510", 12, {8, 3, 500, -6, -6})
               // 10 mV steps: an exponent without an SI prefix
               << q510("Q510E", 9, {50000, -2, 100000, -9, -9})
               << q205() << qx12();
        for (int i = 0; i < models.size(); ++i)
            index.insert(models[i].name, i);
    }
};

const Catalogue &catalogue()
{
    static const Catalogue c;
    return c;
}

} // namespace

const QList<SimParamInfo> &SimBoardModel::channelParams(int ch) const
{
    for (const SimChannelGroup &g : groups)
        if (ch >= g.first && ch <= g.last)
            return g.params;
    static const QList<SimParamInfo> none;
    return none;
}

const SimParamInfo *SimBoardModel::channelParam(int ch, const QString &name) const
{
    for (const SimParamInfo &p : channelParams(ch))
        if (p.name == name)
            return &p;
    return nullptr;
}

const SimParamInfo *SimBoardModel::boardParam(const QString &name) const
{
    for (const SimParamInfo &p : boardParams)
        if (p.name == name)
            return &p;
    return nullptr;
}

namespace SimCatalogue {

const SimBoardModel *model(const QString &name)
{
    const Catalogue &c = catalogue();
    const auto it = c.index.constFind(name);
    return it == c.index.constEnd() ? nullptr : &c.models[*it];
}

QStringList modelNames()
{
    QStringList names;
    for (const SimBoardModel &m : catalogue().models)
        names << m.name;
    return names;
}

} // namespace SimCatalogue
