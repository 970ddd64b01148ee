// What the operator sees on the panels after a tick: numbers with their units
// and prefixes, status texts and colours, untouched spare rows, pages.
#include "clicklabel.h"
#include "lamp.h"
#include "lib.h"
#include "panelfixture.h"
#include "thermometer.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

namespace {

constexpr int S = 2;

// A board whose parameters answer from tables (values and "Exp" by parameter), its panel open.
struct Board
{
    FakeHV hv;
    QHash<QString, QVariant> values;
    QHash<QString, int> exps;
    std::unique_ptr<BoardPanel> p;

    Board(const QString &model, int channels)
    {
        hv.setBoard(S, model, channels);
        hv.paramValue = [this](qint16, const QString &par, std::optional<qint16>) { return values.value(par, 0); };
        hv.paramAttribute = [this](qint16, const QString &par, const QString &prop, std::optional<qint16>) -> QVariant {
            if (prop == QLatin1String("Exp"))
                return exps.value(par, 0);
            return prop == QLatin1String("Maxval") ? 100 : 0;
        };
        p = openPanel(model, hv, S);
    }
    template <typename W = QWidget> W *get(const QString &name) const { return control<W>(p.get(), name); }
    QString text(const QString &name) const
    {
        const QWidget *w = get(name);
        if (auto *l = qobject_cast<const QLabel *>(w))
            return l->text();
        return qobject_cast<const QLineEdit *>(w)->text();
    }
};

} // namespace

class TestPanelDisplay : public QObject
{
    Q_OBJECT
private slots:
    void numbersShowUnitsAndPrefixes_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("raw");
        QTest::addColumn<int>("exp");
        QTest::addColumn<QString>("shown");
        // Setpoints in the board's own scale, the prefix of "Exp" in the unit.
        QTest::newRow("V0Set kV") << "Q310" << "V0Set" << 1.5 << 3 << "1.5 kV";
        QTest::newRow("I0Set uA") << "Q420" << "I0Set" << 50.0 << -6 << "50 uA";
        QTest::newRow("V1Set bare V") << "Q510" << "V1Set" << 800.0 << 0 << "800 V";
        QTest::newRow("SVMax exp 2") << "Q510E" << "SVMax" << 12.5 << 2 << "12.5 V";
        QTest::newRow("I1Set exp 12") << "Q310" << "I1Set" << 3.0 << 12 << "3 A";
        QTest::newRow("Q205 I0Set mA") << "Q205" << "I0Set" << 2.0 << -3 << "2 mA";
        // Monitors in the base unit, the prefix chosen from the value.
        QTest::newRow("VMon kV") << "Q310" << "VMon" << 1.5 << 3 << "1.5 kV";
        QTest::newRow("IMon nA") << "Q310" << "IMon" << 150.0 << -9 << "150 nA";
        QTest::newRow("HVMax") << "Q310" << "HVMax" << 3500.0 << 0 << "3.5 kV";
        QTest::newRow("Q510E VMon 10 mV") << "Q510E" << "VMon" << 250000.0 << -2 << "2.5 kV";
        // The board limit of the Q420 family: as delivered, whatever its exponent.
        QTest::newRow("board HVMax") << "Q433" << "HVMax" << 3000.0 << -3 << "3 kV";
    }
    void numbersShowUnitsAndPrefixes()
    {
        QFETCH(QString, model);
        QFETCH(QString, field);
        QFETCH(double, raw);
        QFETCH(int, exp);
        QFETCH(QString, shown);
        Board b(model, 4);
        b.values[field] = raw;
        b.exps[field] = exp;
        b.p->ChMonTick();
        QCOMPARE(b.text(model == "Q433" ? field : field + "_0"), shown);
    }

    void statusTextAndColours_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("good") << "Q310" << 0 << "Good" << false;
        QTest::newRow("over-current") << "Q510" << 8 << "OverCurrent" << true;
        QTest::newRow("up with alarm bit") << "Q420" << 2 + 8 << "Up" << true;
        QTest::newRow("tripped") << "Q205" << 512 << "I-Tripped" << false;
    }
    void statusTextAndColours()
    {
        QFETCH(QString, model);
        QFETCH(int, status);
        QFETCH(QString, text);
        QFETCH(bool, alarm);
        Board b(model, 1);
        b.values[QStringLiteral("Status")] = status;
        b.p->ChMonTick();
        auto *l = b.get<QLabel>(QStringLiteral("lblStatus_0"));
        QCOMPARE(l->text(), text);
        QCOMPARE(l->palette().color(QPalette::Window), alarm ? QColor(255, 0, 0) : Lib::toQColor(Lib::SysButtonFace));
        QCOMPARE(l->palette().color(QPalette::WindowText), alarm ? QColor(255, 255, 192) : QColor(0, 0, 0));

        // The colours follow the board back when the alarm clears.
        b.values[QStringLiteral("Status")] = 0;
        b.p->ChMonTick();
        QCOMPARE(l->text(), QStringLiteral("Good"));
        QCOMPARE(l->palette().color(QPalette::Window), Lib::toQColor(Lib::SysButtonFace));
    }

    void boardStatusLine()
    {
        Board b(QStringLiteral("Q510"), 1);
        b.values[QStringLiteral("BdStatus")] = 48;
        QCOMPARE(b.text(QStringLiteral("BdStatus")), QString()); // empty until the first tick
        b.p->ChMonTick();
        QCOMPARE(b.text(QStringLiteral("BdStatus")), QStringLiteral("Over Temp."));
        b.values[QStringLiteral("BdStatus")] = 0;
        b.p->ChMonTick();
        QCOMPARE(b.text(QStringLiteral("BdStatus")), QStringLiteral("Good"));
    }

    void rowsAboveChannelCountKeepInitialContents_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("spareStatus"); // status label of the first spare row
        QTest::newRow("Q310 none") << "Q310" << 0 << "lblStatus_0";
        QTest::newRow("Q420 eight") << "Q420" << 8 << "lblStatus_8";
        QTest::newRow("Q205 three") << "Q205" << 3 << "lblStatus_2";
    }
    void rowsAboveChannelCountKeepInitialContents()
    {
        QFETCH(QString, model);
        QFETCH(int, channels);
        QFETCH(QString, spareStatus);
        Board b(model, channels);
        b.values[QStringLiteral("Temp")] = 31;
        b.p->ChMonTick();
        QCOMPARE(b.text(QStringLiteral("txtChName_%1").arg(channels)), QStringLiteral("Text1"));
        QCOMPARE(b.text(spareStatus), QString());
        if (channels > 0)
            QCOMPARE(b.text(QStringLiteral("txtChName_%1").arg(channels - 1)), QStringLiteral("CH%1").arg(channels - 1));
        QCOMPARE(b.get<Thermometer>(QStringLiteral("Temp"))->value(), 31.0);
    }

    void focusedFieldWrittenOnlyByFirstTick()
    {
        Board b(QStringLiteral("Q310"), 14);
        b.values[QStringLiteral("V0Set")] = 1.0;
        b.values[QStringLiteral("I0Set")] = 7.0;
        auto *v0 = b.get<NumField>(QStringLiteral("V0Set_3"));
        auto *i0 = b.get<NumField>(QStringLiteral("I0Set_3"));
        v0->setFocus();
        b.p->ChMonTick();
        QCOMPARE(v0->text(), QStringLiteral("1 V"));

        b.values[QStringLiteral("V0Set")] = 2.0;
        b.values[QStringLiteral("I0Set")] = 8.0;
        b.p->ChMonTick();
        QCOMPARE(v0->text(), QStringLiteral("1 V")); // the operator's field is left alone
        QCOMPARE(i0->text(), QStringLiteral("8 A")); // the rest of the row is refreshed
        QCOMPARE(b.get<NumField>(QStringLiteral("V0Set_4"))->text(), QStringLiteral("2 V"));

        i0->setFocus();
        b.p->ChMonTick();
        QCOMPARE(v0->text(), QStringLiteral("2 V")); // shown again once the focus has moved on
    }

    void pagesSwitchInBothGroups_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("pageOne");
        QTest::addColumn<QStringList>("pageTwo");
        QTest::newRow("Q310") << "Q310" << QStringList{"frameMC0Main", "frameMC1Main"}
                              << QStringList{"frameMC0More", "frameMC1More"};
        QTest::newRow("Q420") << "Q420" << QStringList{"frameMain"} << QStringList{"frameMore"};
        QTest::newRow("Q510") << "Q510" << QStringList{"frameMain"} << QStringList{"frameMore"};
        QTest::newRow("Q510E") << "Q510E" << QStringList{"frameMain"} << QStringList{"frameMore"};
    }
    void pagesSwitchInBothGroups()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, pageOne);
        QFETCH(QStringList, pageTwo);
        Board b(model, 2);
        auto *tabs = b.get<QTabBar>(QStringLiteral("TabStrip1"));
        QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1)}), QStringList({"Page 1", "Page 2"}));
        auto shows = [&](const QStringList &visible, const QStringList &hidden) {
            for (const QString &n : visible + hidden)
                if (b.get<QFrame>(n)->isVisible() != visible.contains(n))
                    return false;
            return true;
        };
        QVERIFY(shows(pageOne, pageTwo));
        QCOMPARE(b.p->currentPage(), qint16(1));

        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(shows(pageTwo, pageOne));
        QCOMPARE(b.p->currentPage(), qint16(2));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QVERIFY(shows(pageTwo, pageOne));

        // Page 1 fields go on being refreshed while page 2 is shown.
        b.values[QStringLiteral("V0Set")] = 4.0;
        b.p->ChMonTick();
        QCOMPARE(b.get<NumField>(QStringLiteral("V0Set_1"))->value(), 4.0);

        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QVERIFY(shows(pageOne, pageTwo));
        QCOMPARE(b.p->currentPage(), qint16(1));
    }

    void q205ElementsMapToChannels()
    {
        FakeHV hv;
        hv.setBoard(S, QStringLiteral("Q205"), 21);
        hv.paramValue = [](qint16, const QString &par, std::optional<qint16> ch) -> QVariant {
            if (par == QLatin1String("Status"))
                return *ch == 3 ? 8 : 0; // only channel 3 has an alarm
            if (par == QLatin1String("Pw"))
                return *ch == 2 ? 1 : 0; // only channel 2 is on
            return *ch * 10;             // setpoints tell their channel
        };
        auto p = openPanel(QStringLiteral("Q205"), hv, S);
        p->ChMonTick();
        auto text = [&p](const QString &name) { return control<QLabel>(p.get(), name)->text(); };
        QCOMPARE(QStringList({text("lblStatus_1"), text("lblStatus_2"), text("lblStatus_19")}),
                 QStringList({"Good", "OverCurrent", "Good"}));
        QVERIFY(hv.callsStartingWith(QStringLiteral("ParamValue(2,Status,2)")).isEmpty());
        QVERIFY(control<Lamp>(p.get(), QStringLiteral("ledPw_2"))->value());
        QVERIFY(!control<Lamp>(p.get(), QStringLiteral("ledPw_3"))->value());
        QCOMPARE(control<NumField>(p.get(), QStringLiteral("V0Set_0"))->value(), 30.0);
        QCOMPARE(control<NumField>(p.get(), QStringLiteral("RmpDwn_17"))->value(), 200.0);
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_20"))->text(), QStringLiteral("CH20"));
    }

    void q310MonitorHeadingsAreClickable()
    {
        Board b(QStringLiteral("Q310"), 14);
        for (const char *name : {"lblVMon0", "lblIMon0", "lblVMon1", "lblIMon1"})
            QVERIFY(b.get<ClickLabel>(QString::fromLatin1(name)));
        auto *vmon = b.get<ClickLabel>(QStringLiteral("lblVMon1"));
        QSignalSpy clicks(vmon, &ClickLabel::clicked);
        QTest::mouseClick(vmon, Qt::LeftButton);
        QCOMPARE(clicks.size(), 1);
        // A press dragged off the heading is no click.
        QTest::mousePress(vmon, Qt::LeftButton);
        QTest::mouseRelease(vmon, Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(clicks.size(), 1);
        // Other panels' headings are plain labels.
        Board q420(QStringLiteral("Q420"), 1);
        QVERIFY(q420.p->findChildren<ClickLabel *>().isEmpty());
    }
};

QTEST_MAIN(TestPanelDisplay)
#include "tst_paneldisplay.moc"
