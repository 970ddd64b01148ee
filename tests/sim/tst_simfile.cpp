// What the simulated crate offers (catalogue), what it refuses, and crate files.
#include "fakehv.h"
#include "simcatalogue.h"
#include "simcrate.h"

#include <QTemporaryDir>
#include <QTest>

class TestSimFile : public QObject
{
    Q_OBJECT

private slots:
    void everyOfferedParameterReadsAndIsDescribed()
    {
        for (const QString &model : SimCatalogue::modelNames()) {
            SimCrate crate(SimCrateSetup{.slotCount = 1, .boards = {SimBoardSetup{.model = model, .params = {}, .channels = {}}}}, [] { return 0; });
            const SimBoardModel *info = SimCatalogue::model(model);
            QCOMPARE(crate.channelCounts(), QVariantList{info->channels});
            for (int ch = 0; ch < info->channels; ++ch) {
                for (const QString &par : crate.listChannelParams(0, ch)) {
                    const QString where = QString("%1 ch %2 %3").arg(model).arg(ch).arg(par);
                    const auto attr = [&](const char *prop) { return crate.paramAttribute(0, par, prop, ch); };
                    QVERIFY2(crate.paramValue(0, par, ch).isValid(), qPrintable(where));
                    QVERIFY2(attr("Minval").toDouble() < attr("Maxval").toDouble(), qPrintable(where));
                    const int type = par == "Status" ? 2 : QStringList{"Pw", "POn", "PDwn"}.contains(par) ? 1 : 0;
                    QVERIFY2(attr("Type").toInt() == type, qPrintable(where));
                    const QString unit = attr("Unit").toString();
                    const QString want = par.startsWith('V') || par.endsWith("VMax") ? "V"
                                         : par.startsWith('I')                      ? "A"
                                         : par == "RUp" || par == "RDWn"            ? "V/s"
                                                                                    : unit;
                    QVERIFY2(unit == want, qPrintable(where + ": " + unit));
                }
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
        QCOMPARE(copy->slotModels().at(13), QVariant(QString()));
        QCOMPARE(copy->paramValue(1, "V0Set", 11), QVariant(1234.5));
        QCOMPARE(copy->paramValue(1, "VMon", 11), QVariant(1234.5)); // a loaded crate starts settled
        QCOMPARE(copy->channelName(3, 2), QString("Target"));
        QCOMPARE(copy->paramValue(2, "Status", 5).toInt() & 16, 16);
        QCOMPARE(copy->paramValue(3, "BdStatus", std::nullopt).toInt() & 2, 2);
        QCOMPARE(copy->paramValue(8, "HVMax", std::nullopt), QVariant(5000.0));
        QCOMPARE(copy->crateProperty("FrontPanIn"), QVariant(16 | 64));
        const int out = copy->crateProperty("FrontPanOut").toInt();
        QCOMPARE(out & (256 | 1024 | 4), 256 | 4); // fan failure, no checksum pass, over-voltage

        const auto example = SimCrate::fromJsonFile(QFINDTESTDATA("../../docs/crate-example.json"), [] { return 0; });
        QCOMPARE(example->slotCount(), 8);
        QCOMPARE(example->crateProperty("ModelName"), QVariant("PY-800"));
        QCOMPARE(example->channelName(0, 0), QString("Anode"));
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
            QFile file(dir.filePath("crate.json"));
            file.remove();
            if (!json.isNull())
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
            file.close();
            const QString error = errorOf([&] { SimCrate::fromJsonFile(file.fileName()); });
            QVERIFY2(error.contains(file.fileName()) && error.contains(message), qPrintable(error + " / wanted: " + message));
        }
    }
};

QTEST_MAIN(TestSimFile)
#include "tst_simfile.moc"
