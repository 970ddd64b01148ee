#include "numberformat.h"

#include <QTest>
#include <cmath>
#include <limits>

class TstNumberFormat : public QObject
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
        QTest::newRow("kilo") << 1000.0 << "k\"V\"" << "1kV";
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

        QTest::newRow("integer") << "2" << "" << true << 2.0;
        QTest::newRow("decimal") << "2.5" << " \"V\"" << true << 2.5;
        QTest::newRow("exponent") << "-1e3" << "" << true << -1000.0;
        QTest::newRow("plus sign") << "+4" << "" << true << 4.0;
        QTest::newRow("comma decimal") << "2,5" << "" << true << 2.5;
        QTest::newRow("literal unit ignored") << "2.5 kV" << " \"kV\"" << true << 2.5;
        QTest::newRow("ramp unit") << "12 V/s" << ". \"V/s\"" << true << 12.0;
        QTest::newRow("k prefix scales back") << "1.5 kV" << " k\"V\"" << true << 1500.0;
        QTest::newRow("k micro") << "150uA" << "k\"A\"" << true << 150e-6;
        QTest::newRow("k micro sign") << "150 \u00B5A" << " k\"A\"" << true << 150e-6;
        QTest::newRow("k without prefix") << "12 V" << " k\"V\"" << true << 12.0;
        QTest::newRow("k exponent notation") << "1.5e-15 A" << " k\"A\"" << true << 1.5e-15;

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
};

QTEST_APPLESS_MAIN(TstNumberFormat)
#include "tst_numberformat.moc"
