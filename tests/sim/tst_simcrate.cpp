// The simulated crate's physics, front panel and board handling, driven by a
// manual clock: set the time, read what a panel would read.
#include "fakehv.h"
#include "simadapter.h"
#include "simcrate.h"

#include <QSet>
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

class TestSimCrate : public QObject
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
        QVERIFY(b.status() & OverCurrent);
        QVERIFY(std::abs(b.get("IMon") - 100000) < 300); // nA
        QVERIFY(b.frontOut() & 1);

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
        b.set("Pw", 0, 0);
        b.set("Pw", 0, 1);
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
        for (int ch : {0, 5}) {
            QCOMPARE(b.get("VMon", ch), 0.0); // even a ramp-down channel drops at once
            QCOMPARE(b.get("Pw", ch), 0.0);
        }
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
        QCOMPARE(b.crate->slotModels().at(0), QVariant(QString()));
        QCOMPARE(b.crate->channelCounts().at(0), QVariant(0));

        b.crate->insertBoard(0);
        QCOMPARE(b.crate->slotModels().at(0), QVariant("Q310"));
        QCOMPARE(b.crate->channelCounts().at(0), QVariant(14));
        QCOMPARE(b.crate->channelName(0, 0), QString("Anode"));
        QCOMPARE(b.get("V0Set"), 1.0);
        QCOMPARE(b.get("Pw", 0), 0.0); // lost power with the board
        QCOMPARE(b.get("Pw", 1), 1.0); // "POn" brings it back on
        QCOMPARE(b.status(1), On | RampUp);

        QVERIFY(errorOf([&] { b.crate->insertBoard(1); }).contains("slot 1"));
        b.crate->insertBoard(1, "Q510E");
        QCOMPARE(b.crate->slotModels().at(1), QVariant("Q510E"));
        QCOMPARE(b.crate->channelName(1, 8), QString("CH08"));
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
        QCOMPARE(crate.paramValue(0, "Status", 0).toInt(), On);
        QVERIFY(crate.paramValue(1, "Status", 6).toInt() & OverCurrent);
        QCOMPARE(crate.paramValue(4, "Status", 8).toInt(), 1024); // calibration error
        QCOMPARE(crate.paramValue(10, "BdStatus", std::nullopt).toInt(), 32); // too hot

        crate.setParamValue(0, "Pw", 4, qint16(1)); // the shorted channel
        ms = 4000;
        QCOMPARE(crate.paramValue(0, "Pw", 4).toInt(), 1);
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
};

QTEST_MAIN(TestSimCrate)
#include "tst_simcrate.moc"
