#include "lib.h"

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
            QCOMPARE(Lib::StatusForeColor(word), alarm ? Lib::LightYellow : Lib::Black);
        }
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
