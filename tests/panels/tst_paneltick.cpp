// The refresh tick of every board panel as the crate sees it: which calls, in
// which order, which disappear while the operator edits, and how a failure ends it.
#include "fakehv.h"
#include "msgboxcatcher.h"
#include "numfield.h"
#include "panelfixture.h"
#include "thermometer.h"

#include <QRegularExpression>

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

    void guardedFieldIsNotRead_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("missing");
        QTest::newRow("Q310 V0Set_3") << "Q310" << "V0Set_3" << QStringList{"ParamAttribute(3,V0Set,Exp,3)", "ParamValue(3,V0Set,3)"};
        QTest::newRow("Q310 RmpDwn_9") << "Q310" << "RmpDwn_9" << QStringList{"ParamValue(3,RDWn,9)"};
        QTest::newRow("Q310 name 12") << "Q310" << "txtChName_12" << QStringList{"ChannelName(3,12)"};
        QTest::newRow("Q420 Trip_2") << "Q420" << "Trip_2" << QStringList{"ParamValue(3,Trip,2)"};
        QTest::newRow("Q510 I1Set_4") << "Q510" << "I1Set_4" << QStringList{"ParamAttribute(3,I1Set,Exp,4)", "ParamValue(3,I1Set,4)"};
        QTest::newRow("Q510E V1Set_8") << "Q510E" << "V1Set_8" << QStringList{"ParamAttribute(3,V1Set,Exp,8)", "ParamValue(3,V1Set,8)"};
        QTest::newRow("Q205 SVMax_7") << "Q205" << "SVMax_7" << QStringList{"ParamAttribute(3,SVMax,Exp,10)", "ParamValue(3,SVMax,10)"};
    }

    void guardedFieldIsNotRead()
    {
        QFETCH(QString, model);
        QFETCH(QString, field);
        QFETCH(QStringList, missing);
        PanelRig r(model, 21);
        QWidget *w = r.get(field);
        showPageOf(r.p.get(), w);
        w->setFocus();
        QCOMPARE(r.p->focusWidget(), w);

        r.hv.clear();
        r.p->ChMonTick(); // the first tick writes even the focused field
        const QStringList first = r.hv.calls;
        for (const QString &c : missing)
            QVERIFY2(first.contains(c), qPrintable(c));

        // Everything else is still read, in the same order.
        QStringList rest = first;
        for (const QString &c : missing)
            rest.removeOne(c);
        r.hv.clear();
        r.p->ChMonTick();
        QCOMPARE(r.hv.calls, rest);
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
        hv.paramAttribute = [](qint16, const QString &par, const QString &prop, std::optional<qint16>) -> QVariant {
            if (par == QLatin1String("Temp"))
                return prop == QLatin1String("Minval") ? 5 : 70;
            return 0;
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
};

QTEST_MAIN(TestPanelTick)
#include "tst_paneltick.moc"
