#include "controlmark.h"
// The refresh tick of every board panel: what the crate is asked, in which
// order, which reads disappear while the operator edits, and how a failure ends
// it, also on the simulated crate and over the network; what the operator sees
// after it: numbers with their units and prefixes, status texts and colours,
// untouched spare rows, pages.
#include "clicklabel.h"
#include "lamp.h"
#include "lib.h"
#include "msgboxcatcher.h"
#include "palettes.h"
#include "panelfixture.h"
#include "panelkit.h"
#include "thermometer.h"
#include "toplevels.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>

namespace {
constexpr int S = 3; // the slot every panel here sits in

// A channel's reads as the crate sees them, from a short pattern:
// "n" the name, "vX" the value of X, "eX" the exponent of X and then its value.
QStringList reads(const QString &pattern, int ch)
{
    QStringList out;
    for (const QString &item : pattern.split(QLatin1Char(' '))) {
        const QString par = item.mid(1);
        if (item.startsWith(QLatin1Char('n')))
            out << QStringLiteral("ChannelName(%1,%2)");
        else if (item.startsWith(QLatin1Char('e'))) // exponent, then value
            out << QStringLiteral("ParamAttribute(%1,") + par + QStringLiteral(",Exp,%2)")
                << QStringLiteral("ParamValue(%1,") + par + QStringLiteral(",%2)");
        else
            out << QStringLiteral("ParamValue(%1,") + par + QStringLiteral(",%2)");
    }
    for (QString &c : out)
        c = c.arg(S).arg(ch);
    return out;
}

const QString Q310Reads = QStringLiteral("n vPw eV0Set eI0Set eV1Set eI1Set eSVMax vTrip vTripInt vTripExt vPOn vPDwn "
                                         "eVMon eIMon eHVMax vStatus vStatus vStatus vRUp vRDWn");
const QString Q420Reads = QString(Q310Reads).remove(QStringLiteral(" eHVMax"));
const QString Q510Reads = QString(Q420Reads).remove(QStringLiteral(" vPDwn"));
const QString Q205Reads = QStringLiteral("n vPw vStatus vStatus vStatus eV0Set eI0Set eSVMax eVMon eIMon vRUp vRDWn");

const QString Crate = QStringLiteral("QuerySlots(ChannelCounts,SlotModels)");
const QString Temp = QStringLiteral("ParamValue(3,Temp)");
} // namespace

class TestPanelTick : public QObject
{
    Q_OBJECT
private slots:
    void oneTick_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Q310") << "Q310" << 1 << QStringList{Crate, Temp} + reads(Q310Reads, 0);
        QTest::newRow("Q433") << "Q433" << 1 << QStringList{Crate, "ParamValue(3,HVMax)", Temp} + reads(Q420Reads, 0);
        QTest::newRow("Q510") << "Q510" << 1 << QStringList{Crate, "ParamValue(3,BdStatus)", Temp} + reads(Q510Reads, 0);
        QTest::newRow("Q510E") << "Q510E" << 1 << QStringList{Crate, "ParamValue(3,BdStatus)", Temp} + reads(Q510Reads, 0);
        // Channels 0 and 1 show a status, channel 2 only its name and power.
        QTest::newRow("Q205") << "Q205" << 4
                              << QStringList{Crate, Temp} + reads("n vPw vStatus vStatus vStatus", 0)
                                     + reads("n vPw vStatus vStatus vStatus", 1) + reads("n vPw", 2) + reads(Q205Reads, 3);
    }
    void oneTick()
    {
        QFETCH(QString, model);
        QFETCH(int, channels);
        QFETCH(QStringList, expected);
        PanelRig r(model, channels);
        r.hv.clear();
        r.p->ChMonTick();
        QCOMPARE(r.hv.calls, expected);
    }

    void fullBoardCallCount_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("perChannel");
        QTest::addColumn<int>("total");
        QTest::newRow("Q310") << "Q310" << 14 << 28 << 394;
        QTest::newRow("Q420") << "Q420" << 12 << 26 << 315;
        QTest::newRow("Q510") << "Q510" << 12 << 25 << 303;
        QTest::newRow("Q510E") << "Q510E" << 9 << 25 << 228;
        QTest::newRow("Q205") << "Q205" << 21 << 17 << 320; // 17 for a remote-board channel
    }
    void fullBoardCallCount()
    {
        QFETCH(QString, model);
        QFETCH(int, channels);
        QFETCH(int, perChannel);
        QFETCH(int, total);
        MsgBoxCatcher boxes;
        PanelRig r(model, channels + 3); // a crate map claiming more channels fills the rows there are
        r.hv.clear();
        r.p->ChMonTick();
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(r.hv.calls.size(), total);
        const int last = channels - 1;
        QCOMPARE(r.hv.calls.filter(QRegularExpression(QStringLiteral(",%1\\)$").arg(last))).size(), perChannel);
    }

    // A field the operator is in is read like any other, so that a change made elsewhere meanwhile
    // is marked on it at once; but after the first tick its text stays as the operator has it.
    void anEditedFieldIsReadButKeepsItsText_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("reads");
        QTest::newRow("Q310 V0Set_3") << "Q310" << "V0Set_3" << QStringList{"ParamAttribute(3,V0Set,Exp,3)", "ParamValue(3,V0Set,3)"};
        QTest::newRow("Q310 RmpDwn_9") << "Q310" << "RmpDwn_9" << QStringList{"ParamValue(3,RDWn,9)"};
        QTest::newRow("Q310 name 12") << "Q310" << "txtChName_12" << QStringList{"ChannelName(3,12)"};
        QTest::newRow("Q420 Trip_2") << "Q420" << "Trip_2" << QStringList{"ParamValue(3,Trip,2)"};
        QTest::newRow("Q510 I1Set_4") << "Q510" << "I1Set_4" << QStringList{"ParamAttribute(3,I1Set,Exp,4)", "ParamValue(3,I1Set,4)"};
        QTest::newRow("Q510E V1Set_8") << "Q510E" << "V1Set_8" << QStringList{"ParamAttribute(3,V1Set,Exp,8)", "ParamValue(3,V1Set,8)"};
        QTest::newRow("Q205 SVMax_7") << "Q205" << "SVMax_7" << QStringList{"ParamAttribute(3,SVMax,Exp,10)", "ParamValue(3,SVMax,10)"};
    }
    void anEditedFieldIsReadButKeepsItsText()
    {
        QFETCH(QString, model);
        QFETCH(QString, field);
        QFETCH(QStringList, reads);
        PanelRig r(model, 21);
        auto *w = r.get<QLineEdit>(field);
        showPageOf(r.p.get(), w);
        w->setFocus();
        QCOMPARE(r.p->focusWidget(), w);
        r.hv.clear();
        r.p->ChMonTick(); // the first tick writes even the focused field
        const QStringList first = r.hv.calls;
        for (const QString &c : reads)
            QVERIFY2(first.contains(c), qPrintable(c));
        const QString shown = w->text();
        for (const char *par : {"V0Set", "RDWn", "Trip", "I1Set", "V1Set", "SVMax"})
            r.values[par] = 7;
        r.hv.channelName = [](qint16, qint16) { return QStringLiteral("Renamed"); };
        r.hv.clear();
        r.p->ChMonTick();
        QCOMPARE(r.hv.calls, first);
        QCOMPARE(w->text(), shown);
        QCOMPARE(ControlMark::kindOf(w), ControlMark::Kind::CrateChanged);
    }

    void failureTakesBoardRemovedPathOnce_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("failOn"); // empty: the slot is found empty
        QTest::newRow("Q310 empty slot") << "Q310" << QString();
        QTest::newRow("Q310 status read") << "Q310" << "ParamValue(3,Status,5)";
        QTest::newRow("Q420 board HVMax") << "Q420" << "ParamValue(3,HVMax)";
        QTest::newRow("Q420 range at activation") << "Q420" << "ParamAttribute(3,Temp,Maxval)";
        QTest::newRow("Q510 board status") << "Q510" << "ParamValue(3,BdStatus)";
        QTest::newRow("Q510E exponent") << "Q510E" << "ParamAttribute(3,IMon,Exp,2)";
        QTest::newRow("Q205 crate map") << "Q205" << "QuerySlots";
        QTest::newRow("Q205 empty slot") << "Q205" << QString();
    }
    void failureTakesBoardRemovedPathOnce()
    {
        QFETCH(QString, model);
        QFETCH(QString, failOn);
        MsgBoxCatcher boxes;
        PanelRig r(model, 6, S, false);
        auto *timer = r.p->findChild<QTimer *>(QStringLiteral("ChMon"));
        QVERIFY(timer->isActive());
        if (failOn.isEmpty())
            r.hv.setBoard(S, QString(), 0);
        else
            r.hv.failOn << failOn;
        if (failOn.contains(QStringLiteral("Temp"))) { // the range is read whenever the window becomes active
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(r.p.get(), &activate);
        } else
            r.p->ChMonTick();
        QTRY_COMPARE(boxes.said(), QStringList{"Attention|Board removed."}); // after activation, from the event loop
        QCOMPARE(boxes.shown[0].icon, QMessageBox::Critical);
        QVERIFY(!r.p->isVisible() && !timer->isActive());
        r.hv.clear();
        r.p->ChMonTick(); // nothing more happens for a closed panel
        QVERIFY(r.hv.calls.isEmpty());
        QCOMPARE(boxes.shown.size(), 1);
    }

    void activationReadsSlotAndRange()
    {
        FakeHV hv;
        hv.setBoard(12, QStringLiteral("Q310"), 1);
        hv.paramAttribute = [](qint16, const QString &par, const QString &prop, auto) {
            return QVariant(par != QLatin1String("Temp") ? 0 : prop == QLatin1String("Minval") ? 5 : 70);
        };
        auto p = openPanel(QStringLiteral("Q310"), hv, 12);
        QCOMPARE(hv.calls.mid(0, 2), (QStringList{"ParamAttribute(12,Temp,Minval)", "ParamAttribute(12,Temp,Maxval)"}));
        auto *temp = control<Thermometer>(p.get(), QStringLiteral("Temp"));
        QVERIFY(temp->minimum() == 5 && temp->maximum() == 70);
        // The slot is read again at every activation.
        setWindowTag(p.get(), QStringLiteral("Mon7"));
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(p.get(), &activate);
        QCOMPARE(hv.calls.last(), QStringLiteral("ParamAttribute(7,Temp,Maxval)"));
    }

    // Every panel reads only what its board on the simulated crate offers (a pulled
    // board reads as an empty slot, which failureTakesBoardRemovedPathOnce covers).
    void everyPanelReadsOnlyWhatItsBoardOffers_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("slot");
        QTest::newRow("Q310") << "Q310" << 0;
        QTest::newRow("Q420") << "Q420" << 1;
        QTest::newRow("Q432") << "Q432" << 2;
        QTest::newRow("Q510") << "Q510" << 3;
        QTest::newRow("Q510E") << "Q510E" << 4;
        QTest::newRow("Q205") << "Q205" << 5;
    }
    void everyPanelReadsOnlyWhatItsBoardOffers()
    {
        QFETCH(QString, model);
        QFETCH(int, slot);
        MsgBoxCatcher boxes;
        SimRig rig;
        rig.advanceSeconds(5);
        auto p = openPanel(model, rig.client, slot);
        QVERIFY(tickNow(p.get()) && tickNow(p.get()) && boxes.shown.isEmpty());
        const QString name = control<QLineEdit>(p.get(), QStringLiteral("txtChName_0"))->text();
        QVERIFY2(!name.isEmpty() && name != QStringLiteral("Text1"), qPrintable(name));
    }

    // A tick over the network: the GUI does not wait for it, a read that fails
    // midway ends it there, and a panel closed before its answers come hears nothing.
    void aTickOnTheWire()
    {
        MsgBoxCatcher boxes;
        FakeServer server;
        server.setUp = [](FakeHV &f) {
            f.setBoard(3, QStringLiteral("Q420"), 12);
            f.failOn << QStringLiteral("ParamValue(3,Status,5)");
        };
        LoggedInClient client(server.port(), 2000, 2000);
        server.thread.setLatencyMs(50);
        auto p = openPanel(QStringLiteral("Q420"), client, 3);
        p->ChMonTick();
        QVERIFY(p->tickInFlight());
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_4"))->text(), QStringLiteral("Text1"));
        QTRY_COMPARE(boxes.said(), QStringList{"Attention|Board removed."});
        QVERIFY(!p->isVisible());
        // Channel 5's reads before the status were shown; the crate was asked nothing after it.
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_5"))->text(), QStringLiteral("CH5"));
        QCOMPARE(control<QLineEdit>(p.get(), QStringLiteral("txtChName_6"))->text(), QStringLiteral("Text1"));
        const QStringList calls = server.calls();
        QVERIFY(calls.contains(QStringLiteral("ParamValue(3,Status,5)")) && !calls.contains(QStringLiteral("ChannelName(3,6)")));
        // A second panel closes with its tick in flight, then the link drops: no word from it.
        server.live()->failOn.clear();
        auto q = openPanel(QStringLiteral("Q420"), client, 3);
        q->ChMonTick();
        q.reset();
        server.thread.dropAllConnections();
        QTRY_COMPARE(client.pendingCount(), 0);
        QCOMPARE(boxes.shown.size(), 1);
    }

    // Every case on its own board; one comparison shows all that differ.
    void numbersShowUnitsAndPrefixes()
    {
        struct Case { const char *model, *field; double raw; int exp; const char *shown; };
        const Case cases[] = {
            // Setpoints in the board's own scale, the prefix of "Exp" in the unit; in real
            // units where the exponent has no prefix.
            {"Q310", "V0Set", 1.5, 3, "1.5 kV"}, {"Q420", "I0Set", 50, -6, "50 uA"},
            {"Q510", "V1Set", 800, 0, "800 V"}, {"Q510E", "SVMax", 12.5, 2, "1.25 kV"},
            {"Q310", "I1Set", 3, 12, "3 TA"}, {"Q205", "I0Set", 2, -3, "2 mA"},
            // Monitors in the base unit, the prefix chosen from the value.
            {"Q310", "VMon", 1.5, 3, "1.5 kV"}, {"Q310", "IMon", 150, -9, "150 nA"},
            {"Q310", "HVMax", 3500, 0, "3.5 kV"}, {"Q510E", "VMon", 250000, -2, "2.5 kV"},
            // The board limit of the Q420 family: as delivered, whatever its exponent.
            {"Q433", "HVMax", 3000, -3, "3 kV"}};
        QStringList shown, expected;
        for (const Case &c : cases) {
            PanelRig b(QString::fromLatin1(c.model), 4);
            b.values[c.field] = c.raw;
            b.exps[c.field] = c.exp;
            b.p->ChMonTick();
            const QString name = QString::fromLatin1(c.field) + (qstrcmp(c.model, "Q433") ? "_0" : "");
            const QString key = QStringLiteral("%1 %2: ").arg(QLatin1String(c.model), QLatin1String(c.field));
            shown << key + b.text(name);
            expected << key + QLatin1String(c.shown);
        }
        QCOMPARE(shown, expected);
    }

    // Status text, background and text colour; they follow the board back when the alarm clears.
    void statusTextAndColours()
    {
        const QString face = Lib::toQColor(Lib::SysButtonFace).name();
        struct Case { const char *model; int status; const char *text; bool alarm; };
        const Case cases[] = {{"Q310", 0, "Good", false}, {"Q510", 8, "OverCurrent", true},
                              {"Q420", 2 + 8, "Up", true}, {"Q205", 512, "I-Tripped", false}};
        QStringList seen, expected;
        for (const Case &c : cases) {
            PanelRig b(QString::fromLatin1(c.model), 1);
            auto *l = b.get<QLabel>(QStringLiteral("lblStatus_0"));
            auto look = [&] { // board, text, background, text colour
                const QPalette pal = l->palette();
                return QStringList{c.model, l->text(), pal.color(QPalette::Window).name(), pal.color(QPalette::WindowText).name()}
                    .join(' ');
            };
            for (int status : {c.status, 0}) {
                b.values[QStringLiteral("Status")] = status;
                b.p->ChMonTick();
                seen << look();
            }
            expected << QStringList{c.model, c.text, c.alarm ? "#ff0000" : face, c.alarm ? "#ffffc0" : "#000000"}.join(' ')
                     << QStringList{c.model, "Good", face, "#000000"}.join(' ');
        }
        QCOMPARE(seen, expected);
    }

    void boardStatusLine()
    {
        PanelRig b(QStringLiteral("Q510"), 1);
        b.values[QStringLiteral("BdStatus")] = 48;
        QCOMPARE(b.text(QStringLiteral("BdStatus")), QString()); // empty until the first tick
        for (const auto &[word, text] : {std::pair{48, "Over Temp."}, {0, "Good"}}) {
            b.values[QStringLiteral("BdStatus")] = word;
            b.p->ChMonTick();
            QCOMPARE(b.text(QStringLiteral("BdStatus")), QString::fromLatin1(text));
        }
    }

    // Spare rows above the board's channel count keep what the form had; the model leads each
    // comparison so that a failure names its board.
    void rowsAboveChannelCountKeepInitialContents()
    {
        const std::tuple<const char *, int, const char *> cases[] = {
            {"Q310", 0, "lblStatus_0"}, {"Q420", 8, "lblStatus_8"}, {"Q205", 3, "lblStatus_2"}};
        for (const auto &[model, channels, spareStatus] : cases) {
            PanelRig b(QString::fromLatin1(model), channels);
            b.values[QStringLiteral("Temp")] = 31;
            b.p->ChMonTick();
            QCOMPARE(QStringList({model, b.text(QStringLiteral("txtChName_%1").arg(channels)), b.text(spareStatus)}),
                     QStringList({model, "Text1", ""}));
            if (channels > 0)
                QCOMPARE(b.text(QStringLiteral("txtChName_%1").arg(channels - 1)), QStringLiteral("CH%1").arg(channels - 1));
            QCOMPARE(b.get<Thermometer>(QStringLiteral("Temp"))->value(), 31.0);
        }
    }

    void focusedFieldWrittenOnlyByFirstTick()
    {
        PanelRig b(QStringLiteral("Q310"), 14);
        b.values = {{"V0Set", 1.0}, {"I0Set", 7.0}};
        NumField *v0 = b.get<NumField>(QStringLiteral("V0Set_3")), *i0 = b.get<NumField>(QStringLiteral("I0Set_3"));
        v0->setFocus();
        b.p->ChMonTick();
        QCOMPARE(v0->text(), QStringLiteral("1 V"));
        b.values = {{"V0Set", 2.0}, {"I0Set", 8.0}};
        b.p->ChMonTick();
        // The operator's field is left alone; the rest of its row, and the other rows, are refreshed.
        QCOMPARE(QStringList({v0->text(), i0->text(), b.get<NumField>(QStringLiteral("V0Set_4"))->text()}),
                 QStringList({"1 V", "8 A", "2 V"}));
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
        PanelRig b(model, 2);
        auto *tabs = b.get<QTabBar>(QStringLiteral("TabStrip1"));
        QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1)}), QStringList({"Page 1", "Page 2"}));
        auto shown = [&] { // the frames of both pages that are visible
            QStringList v = pageOne + pageTwo;
            v.removeIf([&b](const QString &n) { return !b.get<QFrame>(n)->isVisible(); });
            return v;
        };
        QCOMPARE(shown(), pageOne);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(shown(), pageTwo);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(shown(), pageTwo);
        // Page 1 fields go on being refreshed while page 2 is shown.
        b.values[QStringLiteral("V0Set")] = 4.0;
        b.p->ChMonTick();
        QCOMPARE(b.get<NumField>(QStringLiteral("V0Set_1"))->value(), 4.0);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QCOMPARE(shown(), pageOne);
    }

    void q205ElementsMapToChannels()
    {
        PanelRig b(QStringLiteral("Q205"), 21);
        b.hv.paramValue = [](qint16, const QString &par, std::optional<qint16> ch) -> QVariant {
            if (par == QLatin1String("Status"))
                return *ch == 3 ? 8 : 0; // only channel 3 has an alarm
            if (par == QLatin1String("Pw"))
                return *ch == 2 ? 1 : 0; // only channel 2 is on
            return *ch * 10;             // setpoints tell their channel
        };
        b.p->ChMonTick();
        QCOMPARE(QStringList({b.text("lblStatus_1"), b.text("lblStatus_2"), b.text("lblStatus_19"), b.text("txtChName_20")}),
                 QStringList({"Good", "OverCurrent", "Good", "CH20"}));
        QVERIFY(b.get<Lamp>(QStringLiteral("ledPw_2"))->value() && !b.get<Lamp>(QStringLiteral("ledPw_3"))->value());
        QCOMPARE(QList<double>({b.get<NumField>(QStringLiteral("V0Set_0"))->value(), b.get<NumField>(QStringLiteral("RmpDwn_17"))->value()}),
                 QList<double>({30, 200}));
    }

    void q310MonitorHeadingsAreClickable()
    {
        PanelRig b(QStringLiteral("Q310"), 14);
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
        // From the keyboard: it takes the focus, and Enter opens the graph as a click does.
        QVERIFY(vmon->focusPolicy() & Qt::TabFocus);
        QTest::keyClick(vmon, Qt::Key_Return);
        QCOMPARE(clicks.size(), 2);
        qDeleteAll(topLevels("frmQ310Graph")); // the graphs opened: they read through this board's crate
        // Other panels' headings are plain labels.
        PanelRig q420(QStringLiteral("Q420"), 1);
        QVERIFY(q420.p->findChildren<ClickLabel *>().isEmpty());
    }

    // Every text colour the panels set, and every pair the common library gives them, reads on its
    // background in a light and a dark palette. The alarm pair is the crate's own red with light
    // yellow, kept as it is at 3.9:1 (legible as large text only).
    void coloursReadInLightAndDark_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << lightFusionPalette();
        QTest::newRow("dark") << darkFusionPalette();
    }
    void coloursReadInLightAndDark()
    {
        QFETCH(QPalette, palette);
        const PaletteScope scope(palette);
        QList<Contrast::Pair> seen = Lib::colourPairs();
        const Contrast::Pair alarm = seen.takeLast();
        QCOMPARE(alarm.what, QStringLiteral("status in alarm"));
        QCOMPARE(poorContrast({alarm}, 3.0), QStringList());
        for (const char *model : {"Q310", "Q420", "Q510", "Q205"}) {
            PanelRig b(QString::fromLatin1(model), 4);
            b.values[QStringLiteral("BdStatus")] = 32;
            b.p->ChMonTick();
            for (const QWidget *w : b.p->findChildren<QWidget *>()) {
                const QString what = QStringLiteral("%1 %2 %3").arg(model, w->objectName(), w->property("text").toString());
                const QPalette &pal = w->palette();
                if (qobject_cast<const NumField *>(w))
                    seen.append({what, pal.color(QPalette::Base), pal.color(QPalette::Text)});
                else if (qobject_cast<const QLabel *>(w) && w->autoFillBackground())
                    seen.append({what, pal.color(w->backgroundRole()), pal.color(w->foregroundRole())});
            }
        }
        QVERIFY(seen.size() > 100);
        QCOMPARE(poorContrast(seen), QStringList());
    }
};

QTEST_MAIN(TestPanelTick)
#include "tst_paneltick.moc"
