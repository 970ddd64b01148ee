#include "simsetup.h"

#include "hverror.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>

// ---- the default crate ----------------------------------------------------

namespace {

SimChannelSetup chan(int ch, QMap<QString, double> params, std::optional<QString> name = std::nullopt)
{
    SimChannelSetup c;
    c.ch = ch;
    c.name = std::move(name);
    c.params = std::move(params);
    return c;
}

SimChannelSetup withLoad(SimChannelSetup c, double ohms)
{
    c.loadOhms = ohms;
    return c;
}

SimChannelSetup withFaults(SimChannelSetup c, quint32 faults)
{
    c.faults = faults;
    return c;
}

SimBoardSetup board(int slot, const QString &model, QList<SimChannelSetup> channels)
{
    SimBoardSetup b;
    b.slot = slot;
    b.model = model;
    b.channels = std::move(channels);
    return b;
}

} // namespace

SimCrateSetup SimSetup::defaultCrate()
{
    SimCrateSetup crate;
    crate.boards
        << board(0, "Q310",
                 {chan(0, {{"V0Set", 1.5}, {"V1Set", 1.2}, {"Pw", 1}}, "Anode"),
                  chan(1, {{"V0Set", 2.0}, {"Pw", 1}}, "Cathode"),
                  chan(2, {{"V0Set", 2.5}, {"Pw", 1}}),
                  chan(3, {{"V0Set", 3.0}, {"Pw", 1}}),
                  // a short on the output: current limit after 2 s, trip 3 s later
                  withLoad(chan(4, {{"V0Set", 2.0}, {"RUp", 250}, {"Trip", 3}}, "Shorted"), 5e6),
                  chan(7, {{"V0Set", 1.0}, {"V1Set", 1.2}, {"Pw", 1}}),
                  // held below its setpoint by the hardware maximum
                  chan(8, {{"V0Set", 3.2}, {"HVMax", 2500}, {"Pw", 1}}, "Limited"),
                  chan(9, {{"V0Set", 1.8}, {"Pw", 1}})})
        << board(1, "Q420",
                 {chan(0, {{"V0Set", 500}, {"Pw", 1}}), chan(1, {{"V0Set", 700}, {"Pw", 1}}),
                  chan(2, {{"V0Set", 900}, {"Pw", 1}}), chan(3, {{"V0Set", 1100}, {"Pw", 1}}),
                  chan(4, {{"V0Set", 1300}, {"Pw", 1}}), chan(5, {{"V0Set", 1500}, {"Pw", 1}}),
                  // held at its current limit for a long time before it trips
                  withLoad(chan(6, {{"V0Set", 1000}, {"Trip", 1000}, {"Pw", 1}}, "Leaky"), 2e5)})
        << board(2, "Q432", {chan(0, {{"V0Set", 800}, {"Pw", 1}}), chan(1, {{"V0Set", 1200}, {"Pw", 1}})})
        << board(3, "Q510",
                 {chan(0, {{"V0Set", 2}, {"Pw", 1}}), chan(1, {{"V0Set", 4}, {"Pw", 1}}),
                  chan(2, {{"V0Set", 6}, {"Pw", 1}}), chan(3, {{"V0Set", 7.5}, {"Pw", 1}})})
        << board(4, "Q510E",
                 {chan(0, {{"V0Set", 25000}, {"Pw", 1}}), chan(1, {{"V0Set", 30000}, {"Pw", 1}}),
                  chan(2, {{"V0Set", 12500}, {"Pw", 1}}),
                  withFaults(chan(8, {}), 1u << 10)})
        << board(5, "Q205",
                 {chan(0, {{"V0Set", 3}, {"Pw", 1}}, "Drift"), chan(1, {{"V0Set", 1.5}}),
                  chan(2, {{"Pw", 1}}, "LV 24V"),
                  chan(3, {{"V0Set", 100}, {"Pw", 1}}), chan(4, {{"V0Set", 200}, {"Pw", 1}}),
                  chan(5, {{"V0Set", 300}, {"Pw", 1}}), chan(6, {{"V0Set", 400}, {"Pw", 1}}),
                  chan(7, {{"V0Set", 500}, {"Pw", 1}}), chan(8, {{"V0Set", 600}, {"Pw", 1}}),
                  withFaults(chan(20, {}), 1u << 11)})
        << board(6, "QX12", {chan(0, {{"V0Set", 2}, {"Pw", 1}})})
        << board(8, "Q424", {chan(0, {{"V0Set", 3000}, {"Pw", 1}}), chan(1, {{"V0Set", 4500}, {"Pw", 1}})})
        << board(11, "Q421", {chan(0, {{"V0Set", 1000}, {"Pw", 1}})})
        << board(13, "Q310", {})
        << board(14, "Q433", {chan(0, {{"V0Set", 2500}, {"Pw", 1}})});
    // a board in a hot corner of the rack
    SimBoardSetup hot = board(10, "Q510", {chan(0, {{"V0Set", 1}, {"Pw", 1}})});
    hot.ambient = 72;
    crate.boards << hot;
    return crate;
}

// ---- crate files ----------------------------------------------------------

namespace {

class Reader
{
public:
    explicit Reader(QString path) : m_path(std::move(path)) {}

    [[noreturn]] void fail(const QString &what) const
    {
        throw HVError(m_path.isEmpty() ? what : m_path + QStringLiteral(": ") + what);
    }

    Reader at(const QString &part) const
    {
        return Reader(m_path.isEmpty() ? part : m_path + QLatin1Char('.') + part);
    }

    QJsonObject object(const QJsonValue &v) const
    {
        if (!v.isObject())
            fail(QStringLiteral("must be an object"));
        return v.toObject();
    }

    void onlyKeys(const QJsonObject &o, const QStringList &known) const
    {
        for (const QString &key : o.keys())
            if (!known.contains(key))
                fail(QStringLiteral("unknown key \"%1\" (known: %2)").arg(key, known.join(QStringLiteral(", "))));
    }

    double number(const QJsonObject &o, const QString &key, double fallback) const
    {
        if (!o.contains(key))
            return fallback;
        if (!o.value(key).isDouble())
            at(key).fail(QStringLiteral("must be a number"));
        return o.value(key).toDouble();
    }

    int integer(const QJsonObject &o, const QString &key, int fallback, int min, int max) const
    {
        const double d = number(o, key, fallback);
        if (d != std::floor(d) || d < min || d > max)
            at(key).fail(QStringLiteral("must be a whole number in %1..%2").arg(min).arg(max));
        return int(d);
    }

    int required(const QJsonObject &o, const QString &key, int min, int max) const
    {
        if (!o.contains(key))
            fail(QStringLiteral("\"%1\" is missing").arg(key));
        return integer(o, key, 0, min, max);
    }

    QString text(const QJsonObject &o, const QString &key, const QString &fallback) const
    {
        if (!o.contains(key))
            return fallback;
        if (!o.value(key).isString())
            at(key).fail(QStringLiteral("must be a text"));
        return o.value(key).toString();
    }

    QJsonArray array(const QJsonObject &o, const QString &key) const
    {
        if (!o.contains(key))
            return {};
        if (!o.value(key).isArray())
            at(key).fail(QStringLiteral("must be a list"));
        return o.value(key).toArray();
    }

    QMap<QString, double> params(const QJsonObject &o) const
    {
        QMap<QString, double> result;
        if (!o.contains(QStringLiteral("Params")))
            return result;
        const Reader r = at(QStringLiteral("Params"));
        const QJsonObject ps = r.object(o.value(QStringLiteral("Params")));
        for (auto it = ps.begin(); it != ps.end(); ++it) {
            if (!it.value().isDouble())
                r.at(it.key()).fail(QStringLiteral("must be a number"));
            result.insert(it.key(), it.value().toDouble());
        }
        return result;
    }

private:
    QString m_path; // where in the file we are, e.g. Boards[2].Channels[0]
};

SimChannelSetup readChannel(const Reader &r, const QJsonValue &v)
{
    const QJsonObject o = r.object(v);
    r.onlyKeys(o, {"Ch", "Name", "Load", "Faults", "Params"});
    SimChannelSetup c;
    c.ch = r.required(o, "Ch", 0, 255);
    if (o.contains("Name"))
        c.name = r.text(o, "Name", QString());
    if (o.contains("Load"))
        c.loadOhms = r.number(o, "Load", 0);
    c.faults = quint32(r.integer(o, "Faults", 0, 0, 0xFFFF));
    c.params = r.params(o);
    return c;
}

SimBoardSetup readBoard(const Reader &r, const QJsonValue &v)
{
    const QJsonObject o = r.object(v);
    r.onlyKeys(o, {"Slot", "Model", "Ambient", "Faults", "Params", "Channels"});
    SimBoardSetup b;
    b.slot = r.required(o, "Slot", 0, 15);
    if (!o.contains("Model"))
        r.fail(QStringLiteral("\"Model\" is missing"));
    b.model = r.text(o, "Model", QString());
    b.ambient = r.number(o, "Ambient", b.ambient);
    b.faults = quint32(r.integer(o, "Faults", 0, 0, 0xFFFF));
    b.params = r.params(o);
    const QJsonArray channels = r.array(o, "Channels");
    QSet<int> seen;
    for (int i = 0; i < channels.size(); ++i) {
        const SimChannelSetup c = readChannel(r.at(QStringLiteral("Channels[%1]").arg(i)), channels[i]);
        if (seen.contains(c.ch))
            r.fail(QStringLiteral("channel %1 is described twice").arg(c.ch));
        seen.insert(c.ch);
        b.channels << c;
    }
    return b;
}

QJsonObject paramsObject(const QMap<QString, double> &params)
{
    QJsonObject o;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

} // namespace

SimCrateSetup SimSetup::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw HVError(QStringLiteral("not valid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
    if (!doc.isObject())
        throw HVError(QStringLiteral("a crate file holds one JSON object"));

    const Reader r{QString()};
    const QJsonObject o = doc.object();
    r.onlyKeys(o, {"ModelName", "SwRelease", "Slots", "FrontPanIn", "FanFailure", "Boards"});
    SimCrateSetup crate;
    crate.modelName = r.text(o, "ModelName", crate.modelName);
    crate.swRelease = r.text(o, "SwRelease", crate.swRelease);
    crate.slotCount = r.integer(o, "Slots", crate.slotCount, 1, 16);
    crate.frontPanIn = quint8(r.integer(o, "FrontPanIn", crate.frontPanIn, 0, 127));
    if (o.contains("FanFailure")) {
        if (!o.value("FanFailure").isBool())
            r.at("FanFailure").fail(QStringLiteral("must be true or false"));
        crate.fanFailure = o.value("FanFailure").toBool();
    }
    const QJsonArray boards = r.array(o, "Boards");
    for (int i = 0; i < boards.size(); ++i)
        crate.boards << readBoard(r.at(QStringLiteral("Boards[%1]").arg(i)), boards[i]);
    return crate;
}

QByteArray SimSetup::toJson(const SimCrateSetup &setup)
{
    QJsonArray boards;
    for (const SimBoardSetup &b : setup.boards) {
        QJsonObject bo{{"Slot", b.slot}, {"Model", b.model}, {"Ambient", b.ambient}};
        if (b.faults)
            bo.insert("Faults", int(b.faults));
        if (!b.params.isEmpty())
            bo.insert("Params", paramsObject(b.params));
        QJsonArray channels;
        for (const SimChannelSetup &c : b.channels) {
            QJsonObject co{{"Ch", c.ch}};
            if (c.name)
                co.insert("Name", *c.name);
            if (c.loadOhms)
                co.insert("Load", *c.loadOhms);
            if (c.faults)
                co.insert("Faults", int(c.faults));
            if (!c.params.isEmpty())
                co.insert("Params", paramsObject(c.params));
            channels.append(co);
        }
        if (!channels.isEmpty())
            bo.insert("Channels", channels);
        boards.append(bo);
    }
    const QJsonObject crate{{"ModelName", setup.modelName}, {"SwRelease", setup.swRelease},
                            {"Slots", setup.slotCount}, {"FrontPanIn", int(setup.frontPanIn)},
                            {"FanFailure", setup.fanFailure}, {"Boards", boards}};
    return QJsonDocument(crate).toJson(QJsonDocument::Indented);
}
