// The common library: the number format of every field, axis and readout;
// prefixes, status texts and colours, contrast, the scaled read behind every
// monitor figure and graph sample, and the trace list's positions and keys.
// The panels' tests read the colour pairs in light and dark; the graph
// window's the trace list's order on removal and the colours it hands out.
#include "cratevalue.h"
#include "fakehv.h"
#include "hvplots.h"
#include "lib.h"
#include "numberformat.h"
#include "readplan.h"

#include <QGuiApplication>
#include <QTest>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {
QStringList names(const HVPlots &plots)
{
    return collect(plots.Count(), [&plots](int i) { return plots.Item(i + 1)->ParName(); });
}

HVPlotRef add(HVPlots &plots, const QString &name, const QString &key = {})
{
    return plots.Add(name, 0, 0, {}, 0, key);
}
} // namespace

class TstCommon : public QObject
{
    Q_OBJECT
private slots:
    void render_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        // Formats the panels and graphs carry.
        QTest::newRow("k unit") << 1500.0 << "k\"V\"" << "1.5kV";
        QTest::newRow("blank k unit") << 1500.0 << " k\"V\"" << "1.5 kV";
        QTest::newRow("prefixed literal") << 1.5 << " \"kV\"" << "1.5 kV";
        QTest::newRow("micro amp") << 0.00015 << "k\"A\"" << "150uA";
        QTest::newRow("no format") << 12.0 << "" << "12";
        QTest::newRow("bare unit") << 3000.0 << "\"V\"" << "3000V";
        QTest::newRow("ramp") << 50.0 << ". \"V/s\"" << "50.0 V/s";
        QTest::newRow("ramp fraction") << 2.25 << ". \"V/s\"" << "2.25 V/s";
        QTest::newRow("empty unit tick") << 1500.0 << "k\"\"" << "1.5k";
        QTest::newRow("no prefix needed") << 12.0 << " k\"V\"" << "12 V";
        // Prefixes across the range.
        QTest::newRow("pico") << 2.5e-12 << "k\"A\"" << "2.5pA";
        QTest::newRow("nano") << 47e-9 << "k\"A\"" << "47nA";
        QTest::newRow("milli") << 0.0123 << "k\"A\"" << "12.3mA";
        QTest::newRow("mega") << 2.2e6 << "k\"V\"" << "2.2MV";
        QTest::newRow("giga") << 999e9 << "k\"V\"" << "999GV";
        QTest::newRow("tera") << 3e12 << "k\"V\"" << "3TV";
        // Four significant digits, rounding across a prefix boundary.
        QTest::newRow("four digits") << 1234.6 << "k\"V\"" << "1.235kV";
        QTest::newRow("hundreds") << 123.44 << "k\"V\"" << "123.4V";
        QTest::newRow("carry into kilo") << 999.96 << "k\"V\"" << "1kV";
        QTest::newRow("carry into milli") << 0.00099996 << "k\"A\"" << "1mA";
        QTest::newRow("carry within") << 9.99996 << "k\"V\"" << "10V";
        // Outside the prefix table: exponent notation, no prefix.
        QTest::newRow("below pico") << 1.5e-15 << " k\"A\"" << "1.5e-15 A";
        QTest::newRow("beyond tera") << 2e15 << "k\"V\"" << "2e15V";
        QTest::newRow("exponent with decimal") << 2e15 << ".k" << "2.0e15";
        // Sign and zero.
        QTest::newRow("negative prefix") << -1500.0 << " k\"V\"" << "-1.5 kV";
        QTest::newRow("negative plain") << -2.5 << "" << "-2.5";
        QTest::newRow("negative zero") << -0.0 << "" << "0";
        QTest::newRow("zero decimal") << 0.0 << ". \"V/s\"" << "0.0 V/s";
        QTest::newRow("kilo decimal") << 1000.0 << ".k\"V\"" << "1.0kV";
        // Plain numbers keep their own scale.
        QTest::newRow("plain six digits") << 3.14159265 << "" << "3.14159";
        QTest::newRow("single precision noise") << double(0.1f) << "" << "0.1";
        QTest::newRow("plain small") << 0.00025 << "" << "0.00025";
        QTest::newRow("plain tiny") << 2.5e-5 << "" << "2.5e-5";
        QTest::newRow("plain huge") << 1.5e9 << "" << "1.5e9";
        QTest::newRow("plain whole") << 1234567.0 << "" << "1234567";
        // Literal handling.
        QTest::newRow("k and dot in quotes") << 5.0 << "\"k.\"" << "5k.";
        QTest::newRow("unknown characters") << 5.0 << " #x" << "5 #x";
        QTest::newRow("unclosed quote") << 5.0 << " \"V/s" << "5 V/s";
        QTest::newRow("two blanks kept") << 5.0 << "  \"V\"" << "5  V";
        // Values that are not numbers.
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << " k\"V\"" << "--- V";
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << "" << "---";
    }
    void render()
    {
        QFETCH(double, value);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(NumberFormat::render(value, format), text);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("value");
        // What a field shows reads back (renderedTextReadsBack); these are what the operator may type besides.
        QTest::newRow("decimal") << "2.5" << " \"V\"" << true << 2.5;
        QTest::newRow("plus sign") << "+4" << "" << true << 4.0;
        QTest::newRow("comma decimal") << "2,5" << "" << true << 2.5;
        QTest::newRow("k micro sign") << "150 \u00B5A" << " k\"A\"" << true << 150e-6;
        QTest::newRow("empty") << "" << "" << false << 0.0;
        QTest::newRow("blank") << "   " << " \"V\"" << false << 0.0;
        QTest::newRow("word") << "abc" << "" << false << 0.0;
        QTest::newRow("unit only") << "kV" << " \"kV\"" << false << 0.0;
        QTest::newRow("other unit") << "2.5 V" << " \"kV\"" << false << 0.0;
        QTest::newRow("prefix without k code") << "2.5 kV" << " \"V\"" << false << 0.0;
        QTest::newRow("group separator") << "1,000.5" << "" << false << 0.0;
        QTest::newRow("two commas") << "1,0,0" << "" << false << 0.0;
        QTest::newRow("trailing garbage") << "12x" << "" << false << 0.0;
        QTest::newRow("infinity") << "inf" << "" << false << 0.0;
        QTest::newRow("not a number") << "nan" << " k\"V\"" << false << 0.0;
        QTest::newRow("overflow") << "1e308 TV" << " k\"V\"" << false << 0.0;
        QTest::newRow("dashes") << "--- V" << " \"V\"" << false << 0.0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, format);
        QFETCH(bool, accepted);
        QFETCH(double, value);
        const auto got = NumberFormat::parse(text, format);
        QCOMPARE(got.has_value(), accepted);
        if (accepted)
            QVERIFY2(qFuzzyCompare(*got, value), qPrintable(QString::number(*got)));
    }

    // What a field shows must read back as what it holds, within the digits shown.
    void renderedTextReadsBack_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("k volt") << " k\"V\"";
        QTest::newRow("k amp") << "k\"A\"";
        QTest::newRow("prefixed literal") << " \"kV\"";
        QTest::newRow("ramp") << ". \"V/s\"";
        QTest::newRow("plain") << "";
    }
    void renderedTextReadsBack()
    {
        QFETCH(QString, format);
        for (double v : {1500.0, 0.00015, -2.5, 0.0, 123.4, 2e-13, 7.5e6}) {
            const QString shown = NumberFormat::render(v, format);
            const auto back = NumberFormat::parse(shown, format);
            QVERIFY2(back.has_value(), qPrintable(shown));
            QVERIFY2(std::fabs(*back - v) <= std::fabs(v) * 1e-3, qPrintable(shown));
        }
    }

    void prefixes()
    {
        const QList<QPair<int, QString>> table{{-9, "n"}, {-6, "u"}, {-3, "m"}, {0, ""},   {3, "k"},
                                               {6, "M"},  {9, "G"},  {-2, ""},  {12, ""}, {-12, ""}};
        for (const auto &[exp, prefix] : table)
            QCOMPARE(Lib::ExpPrefix(qint16(exp)), prefix);
    }

    // Which text wins when several bits are set; a channel's alarm colours come from bits 3-5
    // alone, whatever its text.
    void statusTexts_data()
    {
        QTest::addColumn<bool>("board");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("alarm"); // red on light yellow
        QTest::newRow("zero") << false << 0 << "Good" << false;
        QTest::newRow("bit 0 is not tested") << false << 1 << "Good" << false;
        QTest::newRow("up before down") << false << 6 << "Up" << false;
        QTest::newRow("down alone") << false << 4 << "Down" << false;
        QTest::newRow("up, coloured by over-current") << false << (2 + 8) << "Up" << true;
        QTest::newRow("ovc wins while down") << false << (4 + 8 + 256) << "OVC-Down" << true;
        QTest::newRow("ext-dis wins when not down") << false << (8 + 256) << "Ext-Dis" << true;
        QTest::newRow("unplugged beats cal") << false << 3072 << "Unplugged" << false;
        QTest::newRow("cal before up") << false << (1024 + 2) << "Cal. Error" << false;
        QTest::newRow("e-trip down") << false << (4 + 64 + 512) << "E-Trp-Down" << false;
        QTest::newRow("i-trip down") << false << (4 + 512 + 8) << "I-Trp-Down" << true;
        QTest::newRow("e-dis down") << false << (4 + 256) << "E-Dis-Down" << false;
        QTest::newRow("e-tripped") << false << (64 + 512) << "E-Tripped" << false;
        QTest::newRow("i-tripped") << false << (512 + 256) << "I-Tripped" << false;
        QTest::newRow("overcurrent") << false << (8 + 16) << "OverCurrent" << true;
        QTest::newRow("overvoltage") << false << (16 + 128) << "OverVoltage" << true;
        QTest::newRow("hvmax before under") << false << (128 + 32) << "HVMax" << true;
        QTest::newRow("hvmax alone") << false << 128 << "HVMax" << false;
        QTest::newRow("undervoltage") << false << 32 << "UnderVoltage" << true;
        QTest::newRow("board good") << true << 0 << "Good" << false;
        QTest::newRow("checksum before power") << true << 3 << "FW Checksum Error" << false;
        QTest::newRow("power") << true << 1 << "Power Fail" << false;
        QTest::newRow("hv cal") << true << (4 + 8) << "HV Cal. Error" << false;
        QTest::newRow("temp cal") << true << (8 + 32) << "Temp. Cal. Error" << false;
        QTest::newRow("over before under") << true << 48 << "Over Temp." << false;
        QTest::newRow("under") << true << 16 << "Under Temp." << false;
        QTest::newRow("unknown board bits") << true << 64 << "Good" << false;
    }
    void statusTexts()
    {
        QFETCH(bool, board);
        QFETCH(int, word);
        QFETCH(QString, text);
        QFETCH(bool, alarm);
        QCOMPARE(board ? Lib::BdStatusText(word) : Lib::ChStatusText(word), text);
        if (!board) {
            QCOMPARE(Lib::StatusBackColor(word), alarm ? Lib::Red : Lib::SysButtonFace);
            QCOMPARE(Lib::StatusForeColor(word), alarm ? Lib::LightYellow : Lib::SysButtonText);
        }
    }

    // The WCAG figures: black on white 21:1, #767676 on white just passes, #777777 just fails.
    void contrastRatios()
    {
        const QList<std::tuple<QColor, QColor, double>> known{
            {Qt::black, Qt::white, 21.0}, {QColor(0x76, 0x76, 0x76), Qt::white, 4.54},
            {QColor(0x77, 0x77, 0x77), Qt::white, 4.48}, {Qt::red, Qt::red, 1.0}, {Qt::blue, Qt::black, 2.44}};
        for (const auto &[a, b, ratio] : known)
            QCOMPARE(qRound(Contrast::ratio(a, b) * 100), qRound(ratio * 100));
        // A colour that does not read is brought just far enough to read, and keeps its hue.
        const QColor blue = Contrast::readableOn(Qt::blue, Qt::black);
        QVERIFY(Contrast::ratio(blue, Qt::black) >= 4.5 && Contrast::ratio(blue, Qt::black) < 4.6);
        QCOMPARE(blue.hue(), QColor(Qt::blue).hue());
        QCOMPARE(Contrast::readableOn(Qt::green, Qt::black), QColor(Qt::green));
        for (const QColor &grey : {QColor(0x76, 0x76, 0x76), QColor(0x77, 0x77, 0x77), QColor(Qt::red)})
            QVERIFY(Contrast::ratio(Contrast::textOn(grey), grey) >= 4.5);
    }

    void colourConversion()
    {
        // Red lives in the low byte; system colours follow the running style.
        QCOMPARE(Lib::toQColor(0x000080FF), QColor(255, 128, 0));
        QCOMPARE(Lib::toQColor(Lib::SysButtonFace), QGuiApplication::palette().color(QPalette::Button));
        QCOMPARE(Lib::toQColor(Lib::SysInfoBackground), QGuiApplication::palette().color(QPalette::ToolTipBase));
    }

    // The value times ten to the exponent, read first; a garbled answer is a failure,
    // not a zero on the screen or in a graph.
    void scaledRead_data()
    {
        QTest::addColumn<QVariant>("exp");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QStringList>("fail");
        QTest::addColumn<double>("scaled"); // NaN: the plan fails
        QTest::newRow("kilo") << QVariant(3) << QVariant(12.5) << QStringList() << 12500.0;
        QTest::newRow("micro, in single precision") << QVariant(-6) << QVariant(12.5) << QStringList() << 12.5 * double(1e-6f);
        QTest::newRow("value not a number") << QVariant(0) << QVariant(QStringLiteral("n/a")) << QStringList() << qQNaN();
        QTest::newRow("exponent not a number") << QVariant(QStringLiteral("x")) << QVariant(1.0) << QStringList() << qQNaN();
        QTest::newRow("value read fails") << QVariant(0) << QVariant(1.0) << QStringList{"ParamValue"} << qQNaN();
    }
    void scaledRead()
    {
        QFETCH(QVariant, exp);
        QFETCH(QVariant, value);
        QFETCH(QStringList, fail);
        QFETCH(double, scaled);
        FakeHV hv;
        hv.paramValue = [value](qint16, const QString &, std::optional<qint16>) { return value; };
        hv.paramAttribute = [exp](qint16, const QString &, const QString &, std::optional<qint16>) { return exp; };
        hv.failOn = fail;
        auto plan = std::make_shared<ReadPlan>();
        double out = qQNaN();
        QString failure;
        planScaled(*plan, 2, QStringLiteral("IMon"), 5, [&out](double v) { out = v; });
        plan->onFailed([&failure](const HVError &e) { failure = e.message(); });
        hv.runPlan(plan);
        QCOMPARE(hv.calls.first(), QStringLiteral("ParamAttribute(2,IMon,Exp,5)"));
        if (qIsNaN(scaled))
            QVERIFY(qIsNaN(out) && !failure.isEmpty());
        else
            QVERIFY2(out == scaled && failure.isEmpty(), qPrintable(QString::number(out, 'g', 17) + ' ' + failure));
    }

    void badPositionsAndKeysFailWithoutChange()
    {
        HVPlots plots;
        add(plots, "A", "a");
        add(plots, "B");
        add(plots, "C", QString()); // empty key = no key
        QCOMPARE(plots.Item(QStringLiteral("a"))->ParName(), QStringLiteral("A"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Remove(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(QStringLiteral("zz")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(QString())); // keyless items are not found by ""
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, add(plots, "X", "a"));
        QCOMPARE(names(plots), QStringList({"A", "B", "C"}));
        plots.Remove(QStringLiteral("a"));
        QCOMPARE(names(plots), QStringList({"B", "C"}));
        add(plots, "A2", "a"); // the key is free again
        QCOMPARE(plots.Item(3)->ParName(), QStringLiteral("A2"));
    }
};

QTEST_MAIN(TstCommon)
#include "tst_common.moc"
