#include "lib.h"
#include "palettes.h"

#include <QGuiApplication>
#include <QTest>

class TstLib : public QObject
{
    Q_OBJECT
private slots:
    void prefixes()
    {
        const QList<QPair<int, QString>> table{{-9, "n"}, {-6, "u"}, {-3, "m"}, {0, ""},   {3, "k"},
                                               {6, "M"},  {9, "G"},  {-2, ""},  {12, ""}, {-12, ""}};
        for (const auto &[exp, prefix] : table)
            QCOMPARE(Lib::ExpPrefix(qint16(exp)), prefix);
    }

    // Which text wins when several bits are set.
    void statusTexts_data()
    {
        QTest::addColumn<bool>("board");
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << false << 0 << "Good";
        QTest::newRow("bit 0 is not tested") << false << 1 << "Good";
        QTest::newRow("up before down") << false << 6 << "Up";
        QTest::newRow("down alone") << false << 4 << "Down";
        QTest::newRow("ovc wins while down") << false << (4 + 8 + 256) << "OVC-Down";
        QTest::newRow("ext-dis wins when not down") << false << (8 + 256) << "Ext-Dis";
        QTest::newRow("unplugged beats cal") << false << 3072 << "Unplugged";
        QTest::newRow("cal before up") << false << (1024 + 2) << "Cal. Error";
        QTest::newRow("e-trip down") << false << (4 + 64 + 512) << "E-Trp-Down";
        QTest::newRow("i-trip down") << false << (4 + 512 + 8) << "I-Trp-Down";
        QTest::newRow("e-dis down") << false << (4 + 256) << "E-Dis-Down";
        QTest::newRow("e-tripped") << false << (64 + 512) << "E-Tripped";
        QTest::newRow("i-tripped") << false << (512 + 256) << "I-Tripped";
        QTest::newRow("overcurrent") << false << (8 + 16) << "OverCurrent";
        QTest::newRow("overvoltage") << false << (16 + 128) << "OverVoltage";
        QTest::newRow("hvmax before under") << false << (128 + 32) << "HVMax";
        QTest::newRow("undervoltage") << false << 32 << "UnderVoltage";
        QTest::newRow("board good") << true << 0 << "Good";
        QTest::newRow("checksum before power") << true << 3 << "FW Checksum Error";
        QTest::newRow("power") << true << 1 << "Power Fail";
        QTest::newRow("hv cal") << true << (4 + 8) << "HV Cal. Error";
        QTest::newRow("temp cal") << true << (8 + 32) << "Temp. Cal. Error";
        QTest::newRow("over before under") << true << 48 << "Over Temp.";
        QTest::newRow("under") << true << 16 << "Under Temp.";
        QTest::newRow("unknown board bits") << true << 64 << "Good";
    }
    void statusTexts()
    {
        QFETCH(bool, board);
        QFETCH(int, word);
        QFETCH(QString, text);
        QCOMPARE(board ? Lib::BdStatusText(word) : Lib::ChStatusText(word), text);
    }

    void statusColoursLookOnlyAtAlarmBits()
    {
        // "Up" with over-current: the text from bit 1, the alarm colours from bits 3-5.
        QCOMPARE(Lib::ChStatusText(2 + 8), QString("Up"));
        for (int word : {2 + 8, 8, 16, 32, 0, 1, 2, 4, 64, 128, 2048}) {
            const bool alarm = word & 56;
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

    // Every pair the panels set reads in a light and a dark palette. The alarm pair is the
    // crate's own red with light yellow, kept as it is at 3.9:1 (legible as large text only).
    void colourPairsReadInLightAndDark_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << lightFusionPalette();
        QTest::newRow("dark") << darkFusionPalette();
    }
    void colourPairsReadInLightAndDark()
    {
        QFETCH(QPalette, palette);
        const PaletteScope scope(palette);
        QList<Contrast::Pair> pairs = Lib::colourPairs();
        const Contrast::Pair alarm = pairs.takeLast();
        QCOMPARE(alarm.what, QStringLiteral("status in alarm"));
        QCOMPARE(poorContrast(pairs), QStringList());
        QCOMPARE(poorContrast({alarm}, 3.0), QStringList());
    }

    void colourConversion()
    {
        // Red lives in the low byte; system colours follow the running style.
        QCOMPARE(Lib::toQColor(0x000080FF), QColor(255, 128, 0));
        QCOMPARE(Lib::toQColor(Lib::SysButtonFace), QGuiApplication::palette().color(QPalette::Button));
        QCOMPARE(Lib::toQColor(Lib::SysInfoBackground), QGuiApplication::palette().color(QPalette::ToolTipBase));
    }
};

QTEST_MAIN(TstLib)
#include "tst_lib.moc"
