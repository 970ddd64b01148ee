// The simulated crate's physics, front panel and board handling, driven by a
// manual clock: set the time, read what a panel would read. What it offers (its
// catalogue), what it refuses, and crate files.
#include "fakehv.h"
#include "simadapter.h"
#include "simcatalogue.h"
#include "simcrate.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int On = 1, RampUp = 2, RampDown = 4, OverCurrent = 8, UnderVoltage = 32, AtHVMax = 128, ExtDisabled = 256,
              InternalTrip = 512;

// One board in slot 0 of a four-slot crate, the clock in the test's hands.
struct Bench
{
    qint64 ms = 0;
    std::unique_ptr<SimCrate> crate;

    explicit Bench(const QString &model, QList<SimChannelSetup> channels, QMap<QString, double> boardParams = {})
        : crate(std::make_unique<SimCrate>(
              SimCrateSetup{.slotCount = 4, .frontPanIn = 0,
                            .boards = {SimBoardSetup{.model = model, .params = boardParams, .channels = channels}}},
              [this] { return ms; })) {}

    void at(double seconds) { ms = qint64(seconds * 1000); }
    double get(const QString &par, int ch = 0) const { return crate->paramValue(0, par, ch).toDouble(); }
    double board(const QString &par) const { return crate->paramValue(0, par, std::nullopt).toDouble(); }
    int status(int ch = 0) const { return crate->paramValue(0, "Status", ch).toInt(); }
    // What a panel shows of a channel: its voltage and status bits.
    QString shown(int ch = 0) const { return shows(get("VMon", ch), status(ch)); }
    QString shows(double volts, int status) const
    {
        return QString("%1: %2 V, status %3").arg(crate->slotModels().at(0).toString()).arg(volts, 0, 'g', 9).arg(status);
    }
    void set(const QString &par, double v, int ch = 0) { crate->setParamValue(0, par, ch, v); }
    void input(const QString &name, bool on) { crate->setFrontPanelInput(name, on); }
    int frontIn() const { return crate->crateProperty("FrontPanIn").toInt(); }
    int frontOut() const { return crate->crateProperty("FrontPanOut").toInt(); }
};

SimChannelSetup channel(int ch, QMap<QString, double> params, double load = 0)
{
    return {.ch = ch, .name = {}, .loadOhms = load > 0 ? std::optional<double>(load) : std::nullopt, .params = params};
}
} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void rampsToEachSetpointAtItsRate()
    {
        // the setpoint is in V0Set's own scale: kV, V, 10 mV steps
        for (const auto &[model, setpoint, volts] :
             {std::tuple{"Q310", 1.0, 1000.0}, std::tuple{"Q420", 1000.0, 1000.0}, std::tuple{"Q510E", 20000.0, 200.0}}) {
            Bench b(model, {channel(0, {{"RUp", volts / 10}, {"RDWn", volts / 20}}, 1e7)});
            b.set("V0Set", setpoint);
            b.set("Pw", 1);
            b.at(5);
            QCOMPARE(b.shown(), b.shows(volts / 2, On | RampUp));
            b.at(10);
            QCOMPARE(b.shown(), b.shows(volts, On));
            b.at(60);
            QCOMPARE(b.get("VMon"), volts);
            // the current follows the load, read in IMon's own scale, with a little noise
            const double amps = b.get("IMon") * std::pow(10.0, b.crate->paramAttribute(0, "IMon", "Exp", 0).toInt());
            QVERIFY2(std::abs(amps - volts / 1e7) < 0.01 * volts / 1e7, qPrintable(QString("%1: %2 A").arg(model).arg(amps)));
            b.set("V0Set", setpoint / 2);
            b.at(65);
            QCOMPARE(b.shown(), b.shows(volts * 0.75, On | RampDown));
            b.at(70);
            QCOMPARE(b.shown(), b.shows(volts / 2, On));
        }
    }

    void overCurrentTripsOnlyAfterTripTime()
    {
        // 1 MOhm at 100 uA: the limit holds the output at 100 V, reached after 1 s
        Bench b("Q310", {channel(0, {{"V0Set", 1}, {"I0Set", 100}, {"RUp", 100}, {"Trip", 5}}, 1e6)});
        b.set("Pw", 1);
        b.at(1.5);
        QCOMPARE(b.get("VMon"), 100.0);
        QVERIFY((b.status() & OverCurrent) && (b.frontOut() & 1));
        QVERIFY(std::abs(b.get("IMon") - 100000) < 300); // nA
        b.at(5.9); // 4.9 s at the limit
        QCOMPARE(b.get("Pw"), 1.0);
        QVERIFY(!(b.status() & InternalTrip));
        b.at(6.1);
        QCOMPARE(b.get("Pw"), 0.0);
        QCOMPARE(b.status(), InternalTrip | RampDown); // ramping down after the trip
        QVERIFY(!(b.frontOut() & 1));
        // switching on again clears the trip; reading "on" back must not restart the timer
        b.set("Pw", 1);
        QCOMPARE(b.status() & InternalTrip, 0);
        b.at(8);
        b.set("Pw", 1);
        b.at(11.1);
        QVERIFY(!(b.status() & InternalTrip));
        b.at(11.3);
        QVERIFY(b.status() & InternalTrip);
    }

    void selectInputsSwitchToTheSecondSetpoint()
    {
        Bench v("Q310", {channel(0, {{"V0Set", 1}, {"V1Set", 1.5}, {"RUp", 100}, {"Pw", 1}})});
        v.input("VSel", true);
        QCOMPARE(v.frontIn(), 1);
        v.at(10);
        QCOMPARE(v.get("VMon"), 1500.0);
        v.input("VSel", false);
        v.at(60);
        QCOMPARE(v.get("VMon"), 1000.0);
        // 100 uA wanted, 50 allowed by I0Set, 200 by I1Set
        Bench i("Q310", {channel(0, {{"V0Set", 1}, {"I0Set", 50}, {"I1Set", 200}, {"Pw", 1}}, 1e7)});
        QCOMPARE(i.shown(), i.shows(500, On | OverCurrent | UnderVoltage));
        i.input("ISel", true);
        QCOMPARE(i.frontIn(), 2);
        i.at(20);
        QCOMPARE(i.shown(), i.shows(1000, On));
    }

    void killVersusRampOnSwitchOff()
    {
        Bench b("Q310", {channel(0, {{"V0Set", 1}, {"RDWn", 100}, {"PDwn", 1}, {"Pw", 1}}),
                         channel(1, {{"V0Set", 1}, {"PDwn", 0}, {"Pw", 1}})});
        for (int ch : {0, 1})
            b.set("Pw", 0, ch);
        QCOMPARE(b.shown(1), b.shows(0, 0)); // kill: at once
        b.at(5);
        QCOMPARE(b.shown(0), b.shows(500, RampDown)); // ramp: at RDWn
        b.at(10);
        QCOMPARE(b.shown(0), b.shows(0, 0));
    }

    void killAndInterlockInputs()
    {
        Bench b("Q310", {channel(0, {{"V0Set", 1}, {"Pw", 1}}), channel(5, {{"V0Set", 2}, {"PDwn", 1}, {"Pw", 1}})});
        QVERIFY(b.frontOut() & 8);
        b.input("Kill", true);
        for (int ch : {0, 5}) // even a ramp-down channel drops at once
            QCOMPARE(QList<double>({b.get("VMon", ch), b.get("Pw", ch)}), QList<double>({0, 0}));
        QCOMPARE(b.frontOut() & 8, 0);
        QVERIFY(errorOf([&] { b.set("Pw", 1); }).contains("Kill"));
        QCOMPARE(b.get("Pw"), 0.0);
        b.input("Kill", false);
        b.set("Pw", 1);
        QCOMPARE(b.status() & On, On);
        b.input("Interlock", true);
        QCOMPARE(b.status(), ExtDisabled);
        QVERIFY(errorOf([&] { b.set("Pw", 1); }).contains("Interlock"));
        b.input("Interlock", false);
        QCOMPARE(b.status(), 0);
    }

    void hardwareMaximumCapsTheOutput()
    {
        Bench q310("Q310", {channel(0, {{"V0Set", 3}, {"HVMax", 2500}, {"Pw", 1}})});
        QCOMPARE(q310.shown(), q310.shows(2500, On | AtHVMax));
        QCOMPARE(q310.get("HVMax"), 2500.0);
        Bench q422("Q422", {channel(0, {{"V0Set", 2000}, {"SVMax", 1800}, {"Pw", 1}})}, {{"HVMax", 1500}});
        QCOMPARE(q422.board("HVMax"), 1500.0);
        QCOMPARE(q422.shown(), q422.shows(1500, On | AtHVMax));
        q422.set("SVMax", 1000); // now the software limit is the lower one
        QCOMPARE(q422.status() & AtHVMax, 0);
    }

    void pulledBoardReadsEmptyAndComesBack()
    {
        Bench b("Q310", {channel(0, {{"V0Set", 1}, {"Pw", 1}}), channel(1, {{"V0Set", 2}, {"POn", 1}, {"Pw", 1}})});
        b.crate->setChannelName(0, 0, "Anode");
        b.crate->pullBoard(0);
        QCOMPARE(QVariantList({b.crate->slotModels().at(0), b.crate->channelCounts().at(0)}), QVariantList({QString(), 0}));
        // Back in, it keeps its name and setpoints; power was lost with it, but "POn" brings a channel back on.
        b.crate->insertBoard(0);
        QCOMPARE(QVariantList({b.crate->slotModels().at(0), b.crate->channelCounts().at(0), b.crate->channelName(0, 0),
                               b.get("V0Set"), b.get("Pw", 0), b.get("Pw", 1), b.status(1)}),
                 QVariantList({"Q310", 14, "Anode", 1.0, 0.0, 1.0, On | RampUp}));
        QVERIFY(errorOf([&] { b.crate->insertBoard(1); }).contains("slot 1"));
        b.crate->insertBoard(1, "Q510E");
        QCOMPARE(QVariantList({b.crate->slotModels().at(1), b.crate->channelName(1, 8)}), QVariantList({"Q510E", "CH08"}));
    }

    void temperatureFollowsLoad()
    {
        QList<SimChannelSetup> all;
        for (int ch = 0; ch < 12; ++ch)
            all << channel(ch, {{"V0Set", 1800}, {"I0Set", 3000}}, 1e6);
        Bench b("Q420", all);
        const double cold = b.board("Temp");
        for (int ch = 0; ch < 12; ++ch)
            b.set("Pw", 1, ch);
        b.at(600);
        const double warm = b.board("Temp");
        QVERIFY2(warm > cold + 10, qPrintable(QString("%1 -> %2").arg(cold).arg(warm)));
        b.crate->setAmbient(0, 75);
        b.at(1200);
        QVERIFY(b.frontOut() & 512); // over/under temperature output
    }

    void defaultCrateShowsEveryStateAndPrefix()
    {
        qint64 ms = 0;
        SimCrate crate([&] { return ms; });
        // On, at its current limit, a calibration error, a board too hot.
        QCOMPARE(QList<int>({crate.paramValue(0, "Status", 0).toInt(), crate.paramValue(1, "Status", 6).toInt() & OverCurrent,
                             crate.paramValue(4, "Status", 8).toInt(), crate.paramValue(10, "BdStatus", std::nullopt).toInt()}),
                 QList<int>({On, OverCurrent, 1024, 32}));
        crate.setParamValue(0, "Pw", 4, qint16(1)); // the shorted channel
        ms = 4000;
        QCOMPARE(crate.paramValue(0, "Pw", 4).toInt(), 1); // not yet tripped
        ms = 6000;
        QVERIFY(crate.paramValue(0, "Status", 4).toInt() & InternalTrip);
        // every unit prefix a panel formats appears on some board
        QSet<int> exps;
        const QVariantList models = crate.slotModels(), counts = crate.channelCounts();
        for (int slot = 0; slot < crate.slotCount(); ++slot)
            if (!models[slot].toString().isEmpty() && models[slot] != "QX12")
                for (const char *par : {"V0Set", "I0Set"})
                    exps.insert(crate.paramAttribute(slot, par, "Exp", counts[slot].toInt() - 1).toInt());
        QCOMPARE(exps, (QSet<int>{-9, -6, -3, -2, 0, 3}));
    }

    void adapterFailsAfterLogoutOnlyWhenStrict()
    {
        Bench b("Q310", {});
        SimAdapter strict(*b.crate, true);
        strict.Login("admin", "admin", 0, "127.0.0.1");
        strict.SetParamValue(0, "V0Set", 3, 2.5);
        QCOMPARE(strict.ParamValue(0, "V0Set", 3), QVariant(2.5));
        strict.Logout();
        QCOMPARE(errorOf([&] { strict.ParamValue(0, "V0Set", 3); }), QString("not connected"));
        SimAdapter lenient(*b.crate);
        lenient.Logout();
        QCOMPARE(lenient.ChannelName(0, 3), QString("CH03"));
    }

    void everyOfferedParameterReadsAndIsDescribed()
    {
        for (const QString &model : SimCatalogue::modelNames()) {
            SimCrate crate(SimCrateSetup{.slotCount = 1, .boards = {SimBoardSetup{.model = model, .params = {}, .channels = {}}}}, [] { return 0; });
            const SimBoardModel *info = SimCatalogue::model(model);
            QCOMPARE(crate.channelCounts(), QVariantList{info->channels});
            for (int ch = 0; ch < info->channels; ++ch)
                for (const QString &par : crate.listChannelParams(0, ch)) {
                    const auto attr = [&](const char *prop) { return crate.paramAttribute(0, par, prop, ch); };
                    const int type = par == "Status" ? 2 : QStringList{"Pw", "POn", "PDwn"}.contains(par) ? 1 : 0;
                    const QString unit = attr("Unit").toString();
                    const QString want = par.startsWith('V') || par.endsWith("VMax") ? "V"
                                         : par.startsWith('I')                      ? "A"
                                         : par == "RUp" || par == "RDWn"            ? "V/s"
                                                                                    : unit;
                    // It reads, has a range, and the type and unit its name says; the first item names it.
                    const QString where = QString("%1 ch %2 %3").arg(model).arg(ch).arg(par);
                    QCOMPARE(QVariantList({where, crate.paramValue(0, par, ch).isValid(), attr("Minval").toDouble() < attr("Maxval").toDouble(),
                                           attr("Type").toInt(), unit}), QVariantList({where, true, true, type, want}));
                }
            for (const char *par : {"Temp", "HVMax", "BdStatus"}) { // read where offered, refused elsewhere
                const QString error = errorOf([&] { crate.paramValue(0, par, std::nullopt); });
                QVERIFY2(error.isEmpty() == (info->boardParam(par) != nullptr), qPrintable(model + ": " + error));
            }
        }
        SimCrate crate([] { return 0; });
        QCOMPARE(crate.paramAttribute(3, "BdStatus", "Type", std::nullopt), QVariant(3));
        QCOMPARE(crate.paramAttribute(0, "Temp", "Unit", std::nullopt), QVariant(QString("°C")));
        QVERIFY(errorOf([&] { crate.paramAttribute(0, "V0Set", "Colour", 0); }).contains("Colour"));
    }

    void refusedWritesChangeNothingAndNameTheFault()
    {
        struct Write { int slot; const char *par; int ch; QVariant value; QString message; };
        const QList<Write> writes{
            {0, "V0Set", 3, 9.0, "V0Set = 9 is out of range 0..3.5 on slot 0 channel 3"},
            {1, "RUp", 0, 0.5, "RUp = 0.5 is out of range 1..500 on slot 1 channel 0"},
            {0, "VMon", 0, 1.0, "VMon is read-only (slot 0 channel 0)"},
            {0, "V2Set", 0, 1.0, "slot 0 channel 0 has no parameter \"V2Set\""},
            {0, "Temp", 0, 1.0, "slot 0 channel 0 has no parameter \"Temp\" (it is a board parameter)"},
            {3, "PDwn", 0, 1, "slot 3 channel 0 has no parameter \"PDwn\""}, // not on this model
            {5, "V0Set", 2, 1.0, "slot 5 channel 2 has no parameter \"V0Set\""}, // a low-voltage channel
            {0, "V0Set", 14, 1.0, "slot 0 has no channel 14 (the Q310 has channels 0..13)"},
            {4, "V0Set", -1, 1.0, "slot 4 has no channel -1 (the Q510E has channels 0..8)"},
            {16, "V0Set", 0, 1.0, "slot 16 does not exist (the crate has slots 0..15)"},
            {7, "V0Set", 0, 1.0, "slot 7 is empty"},
            {0, "V0Set", 0, "lots", "V0Set = \"lots\" is not a number (slot 0 channel 0)"},
            {0, "I0Set", 0, qInf(), "I0Set = \"inf\" is not a number (slot 0 channel 0)"},
        };
        SimCrate crate([] { return 0; });
        const QByteArray before = crate.toJson();
        for (const Write &w : writes)
            QCOMPARE(errorOf([&] { crate.setParamValue(w.slot, w.par, w.ch, w.value); }), w.message);
        QCOMPARE(crate.toJson(), before);
    }

    void onOffAndNamesAreAccepted()
    {
        SimCrate crate([] { return 0; });
        crate.setParamValue(0, "POn", 5, 7.0); // any number, non-zero is on
        QCOMPARE(crate.paramValue(0, "POn", 5), QVariant(1));
        crate.setParamValue(0, "POn", 5, qint16(0));
        QCOMPARE(crate.paramValue(0, "POn", 5), QVariant(0));
        crate.setParamValue(0, "V0Set", 5, 3.5); // the range includes its ends
        QCOMPARE(crate.paramValue(0, "V0Set", 5), QVariant(3.5));
        QCOMPARE(crate.channelName(0, 12), QString("CH12"));
        crate.setChannelName(0, 12, "Beam dump 12");
        QCOMPARE(crate.channelName(0, 12), QString("Beam dump 12"));
        QCOMPARE(errorOf([&] { crate.setChannelName(0, 12, "Beam dump 12b"); }),
                 QString("the channel name \"Beam dump 12b\" is longer than 12 characters (slot 0 channel 12)"));
        QVERIFY(errorOf([&] { crate.setChannelName(0, 12, "a\tb"); }).contains("control characters"));
        QCOMPARE(crate.channelName(0, 12), QString("Beam dump 12"));
        QVERIFY(errorOf([&] { crate.crateProperty("Colour"); }).contains("Colour"));
    }

    void crateFileRoundTrip()
    {
        SimCrate crate([] { return 0; });
        crate.setParamValue(1, "V0Set", 11, 1234.5);
        crate.setParamValue(1, "Pw", 11, qint16(1));
        crate.setChannelName(3, 2, "Target");
        crate.setLoad(4, 1, 3.3e6);
        crate.setChannelFaults(2, 5, 16);
        crate.setBoardFaults(3, 2);
        crate.setHardwareMax(8, std::nullopt, 5000);
        crate.setFrontPanelInput("TTL", true);
        crate.setFanFailure(true);
        crate.pullBoard(13);
        const QByteArray json = crate.toJson();
        const auto copy = SimCrate::fromJson(json, [] { return 0; });
        QCOMPARE(copy->toJson(), json);
        // Every setting reads back from the copy; a loaded crate starts settled (VMon at V0Set); the
        // front panel tells the fan failure, no checksum pass and the over-voltage.
        QCOMPARE(QVariantList({copy->slotModels().at(13), copy->paramValue(1, "V0Set", 11), copy->paramValue(1, "VMon", 11),
                               copy->channelName(3, 2), copy->paramValue(2, "Status", 5).toInt() & 16,
                               copy->paramValue(3, "BdStatus", std::nullopt).toInt() & 2, copy->paramValue(8, "HVMax", std::nullopt),
                               copy->crateProperty("FrontPanIn"), copy->crateProperty("FrontPanOut").toInt() & (256 | 1024 | 4)}),
                 QVariantList({QString(), 1234.5, 1234.5, "Target", 16, 2, 5000.0, 16 | 64, 256 | 4}));
        const auto example = SimCrate::fromJsonFile(QFINDTESTDATA("../../docs/crate-example.json"), [] { return 0; });
        QCOMPARE(QVariantList({example->slotCount(), example->crateProperty("ModelName"), example->channelName(0, 0)}),
                 QVariantList({8, "PY-800", "Anode"}));
    }

    void badCrateFilesAreNamedWithTheirFault()
    {
        // One Q310 in slot 0 with one channel entry.
        const auto q310Channel = [](const char *keys) {
            return QByteArray(R"({"Boards": [{"Slot": 0, "Model": "Q310", "Channels": [{)") + keys + "}]}]}";
        };
        const QList<std::pair<QByteArray, QString>> files{
            {QByteArray(), "cannot read the crate file"}, // null: there is no file
            {"{\"Slots\": 4,", "not valid JSON at offset"},
            {"[1, 2]", "a crate file holds one JSON object"},
            {R"({"Slot": 4})", "unknown key \"Slot\""},
            {R"({"Slots": 17})", "Slots: must be a whole number in 1..16"},
            {R"({"Boards": [{"Slot": 2}]})", "Boards[0]: \"Model\" is missing"},
            {R"({"Boards": [{"Slot": 2, "Model": "Q999"}]})", "slot 2: unknown board model \"Q999\""},
            {R"({"Boards": [{"Slot": 0, "Model": "Q310", "Temp": 20}]})", "unknown key \"Temp\""},
            {R"({"Slots": 4, "Boards": [{"Slot": 5, "Model": "Q310"}]})", "slot 5 does not exist"},
            {R"({"Boards": [{"Slot": 1, "Model": "Q310"}, {"Slot": 1, "Model": "Q510"}]})", "slot 1 holds two boards"},
            {R"({"Boards": [{"Slot": 0, "Model": "Q510E", "Channels": [{"Ch": 9}]}]})", "slot 0 has no channel 9"},
            {q310Channel(R"("Ch": 3, "Params": {"V0Set": 9})"), "V0Set = 9 is out of range 0..3.5 on slot 0 channel 3"},
            {q310Channel(R"("Ch": 1, "Params": {"VMon": 9})"), "VMon is read-only (slot 0 channel 1)"},
            {q310Channel(R"("Ch": 1, "Load": "big")"), "Boards[0].Channels[0].Load: must be a number"},
            {q310Channel(R"("Ch": 1, "Load": 0)"), "slot 0 channel 1: load 0 ohm is not a positive number"},
            {q310Channel(R"("Ch": 1, "Name": "far too long a name")"), "is longer than 12 characters"},
            {R"({"Boards": [{"Slot": 0, "Model": "Q510", "Params": {"HVMax": 1}}]})", "slot 0: the Q510 has no board parameter \"HVMax\" that can be set"},
        };
        QTemporaryDir dir;
        for (const auto &[json, message] : files) {
            const QString path = dir.filePath("crate.json");
            QFile::remove(path);
            QVERIFY(json.isNull() || writeFile(path, json));
            const QString error = errorOf([&] { SimCrate::fromJsonFile(path); });
            QVERIFY2(error.contains(path) && error.contains(message), qPrintable(error + " / wanted: " + message));
        }
    }
};

QTEST_MAIN(TestSim)
#include "tst_sim.moc"
