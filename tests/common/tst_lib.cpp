#include "lib.h"

#include <QGuiApplication>
#include <QTest>

class TstLib : public QObject
{
    Q_OBJECT
private slots:
    void prefixes_data()
    {
        QTest::addColumn<int>("exp");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("nano") << -9 << "n";
        QTest::newRow("micro") << -6 << "u";
        QTest::newRow("milli") << -3 << "m";
        QTest::newRow("none") << 0 << "";
        QTest::newRow("kilo") << 3 << "k";
        QTest::newRow("mega") << 6 << "M";
        QTest::newRow("giga") << 9 << "G";
        QTest::newRow("between") << -2 << "";
        QTest::newRow("beyond") << 12 << "";
        QTest::newRow("negative beyond") << -12 << "";
    }
    void prefixes()
    {
        QFETCH(int, exp);
        QFETCH(QString, prefix);
        QCOMPARE(Lib::ExpPrefix(qint16(exp)), prefix);
    }

    void channelStatus_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "Good";
        QTest::newRow("bit 0 is not tested") << 1 << "Good";
        QTest::newRow("up before down") << 6 << "Up";
        QTest::newRow("down alone") << 4 << "Down";
        QTest::newRow("ovc wins while down") << (4 + 8 + 256) << "OVC-Down";
        QTest::newRow("ext-dis wins when not down") << (8 + 256) << "Ext-Dis";
        QTest::newRow("unplugged beats cal") << 3072 << "Unplugged";
        QTest::newRow("cal before up") << (1024 + 2) << "Cal. Error";
        QTest::newRow("e-trip down") << (4 + 64 + 512) << "E-Trp-Down";
        QTest::newRow("i-trip down") << (4 + 512 + 8) << "I-Trp-Down";
        QTest::newRow("e-dis down") << (4 + 256) << "E-Dis-Down";
        QTest::newRow("e-tripped") << (64 + 512) << "E-Tripped";
        QTest::newRow("i-tripped") << (512 + 256) << "I-Tripped";
        QTest::newRow("overcurrent") << (8 + 16) << "OverCurrent";
        QTest::newRow("overvoltage") << (16 + 128) << "OverVoltage";
        QTest::newRow("hvmax before under") << (128 + 32) << "HVMax";
        QTest::newRow("undervoltage") << 32 << "UnderVoltage";
    }
    void channelStatus()
    {
        QFETCH(int, word);
        QFETCH(QString, text);
        QCOMPARE(Lib::ChStatusText(word), text);
    }

    void statusColoursLookOnlyAtAlarmBits()
    {
        // "Up" with over-current: text from bit 1, colours from mask 56.
        QCOMPARE(Lib::ChStatusText(2 + 8), QString("Up"));
        QCOMPARE(Lib::StatusBackColor(2 + 8), Lib::OleColor(0x000000FF));
        QCOMPARE(Lib::StatusForeColor(2 + 8), Lib::OleColor(0x00C0FFFF));
        for (int bit : {8, 16, 32}) {
            QCOMPARE(Lib::StatusBackColor(bit), Lib::Red);
            QCOMPARE(Lib::StatusForeColor(bit), Lib::LightYellow);
        }
        for (int word : {0, 1, 2, 4, 64, 128, 2048}) {
            QCOMPARE(Lib::StatusBackColor(word), Lib::OleColor(0x8000000F));
            QCOMPARE(Lib::StatusForeColor(word), Lib::OleColor(0));
        }
    }

    void boardStatus_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("good") << 0 << "Good";
        QTest::newRow("checksum before power") << 3 << "FW Checksum Error";
        QTest::newRow("power") << 1 << "Power Fail";
        QTest::newRow("hv cal") << (4 + 8) << "HV Cal. Error";
        QTest::newRow("temp cal") << (8 + 32) << "Temp. Cal. Error";
        QTest::newRow("over before under") << 48 << "Over Temp.";
        QTest::newRow("under") << 16 << "Under Temp.";
        QTest::newRow("unknown bits") << 64 << "Good";
    }
    void boardStatus()
    {
        QFETCH(int, word);
        QFETCH(QString, text);
        QCOMPARE(Lib::BdStatusText(word), text);
    }

    void paletteInOrder()
    {
        Lib::InitTables();
        const Lib::OleColor expected[] = {0x0000FF00, 0x0000FFFF, 0x000000FF, 0x00FF0000,
                                          0x00FFFFFF, 0x00FFFF00, 0x00FF00FF, 0x000080FF,
                                          0x00C0C0C0, 0x00C0FFFF, 0x00C0FFC0, 0x00C0C0FF};
        for (int i = 0; i < 12; ++i)
            QCOMPARE(Lib::paletteColor(i), expected[i]);
        QCOMPARE(Lib::paletteColor(12), Lib::Black);
    }

    void colourConversion()
    {
        // Red lives in the low byte.
        QCOMPARE(Lib::toQColor(0x000080FF), QColor(255, 128, 0));
        QCOMPARE(Lib::toQColor(Lib::LightOrange), QColor(255, 192, 128));
        // System colours follow the running style.
        QCOMPARE(Lib::toQColor(Lib::SysButtonFace), QGuiApplication::palette().color(QPalette::Button));
        QCOMPARE(Lib::toQColor(Lib::SysInfoBackground), QGuiApplication::palette().color(QPalette::ToolTipBase));
    }
};

QTEST_MAIN(TstLib)
#include "tst_lib.moc"
