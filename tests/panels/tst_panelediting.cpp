// What reaches the crate when the operator edits a panel: each control writes
// its own parameter for its own channel, at once, and a refused write is told.
#include "fakehv.h"
#include "lamp.h"
#include "msgboxcatcher.h"
#include "numfield.h"
#include "panelfixture.h"
#include "twoposswitch.h"

#include <QLineEdit>
#include <QTabBar>

namespace {

constexpr int S = 3;

void showPageOf(BoardPanel *p, QWidget *w)
{
    if (!w->isVisibleTo(p))
        control<QTabBar>(p, QStringLiteral("TabStrip1"))->setCurrentIndex(1);
}

// The operator types text into a numeric field and presses Enter.
void typeAndCommit(BoardPanel *p, NumField *f, const QString &text)
{
    showPageOf(p, f);
    f->setFocus();
    f->selectAll();
    QTest::keyClicks(f, text);
    QTest::keyClick(f, Qt::Key_Return);
}

} // namespace

class TestPanelEditing : public QObject
{
    Q_OBJECT
private slots:
    void numericFieldWritesItsParameter_data();
    void numericFieldWritesItsParameter();
    void switchWritesOneThenZero_data();
    void switchWritesOneThenZero();
    void nameWrittenWhenFocusMovesToAnotherControl_data();
    void nameWrittenWhenFocusMovesToAnotherControl();
    void nameNotWrittenOnCloseOrWindowSwitch();
    void refusedValueIsReportedAndBoardValueShown();
    void refusedSwitchGoesBack();
    void refusedNameIsReported();
};

void TestPanelEditing::numericFieldWritesItsParameter_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("Q310 V0Set 9") << "Q310" << "V0Set_9" << "2" << "SetParamValue(3,V0Set,9,2:double)";
    QTest::newRow("Q310 RmpUp 13") << "Q310" << "RmpUp_13" << "25" << "SetParamValue(3,RUp,13,25:double)";
    QTest::newRow("Q310 RmpDwn 0") << "Q310" << "RmpDwn_0" << "40" << "SetParamValue(3,RDWn,0,40:double)";
    QTest::newRow("Q310 V1Set 1") << "Q310" << "V1Set_1" << "1.2" << "SetParamValue(3,V1Set,1,1.2:double)";
    QTest::newRow("Q310 SVMax 2") << "Q310" << "SVMax_2" << "3.1" << "SetParamValue(3,SVMax,2,3.1:double)";
    QTest::newRow("Q310 Trip 4") << "Q310" << "Trip_4" << "0.5" << "SetParamValue(3,Trip,4,0.5:double)";
    QTest::newRow("Q310 TripInt 5") << "Q310" << "TripInt_5" << "7" << "SetParamValue(3,TripInt,5,7:double)";
    QTest::newRow("Q310 TripExt 12") << "Q310" << "TripExt_12" << "9" << "SetParamValue(3,TripExt,12,9:double)";
    QTest::newRow("Q420 I0Set 11") << "Q420" << "I0Set_11" << "150.5" << "SetParamValue(3,I0Set,11,150.5:double)";
    QTest::newRow("Q510 TripExt 11") << "Q510" << "TripExt_11" << "4" << "SetParamValue(3,TripExt,11,4:double)";
    QTest::newRow("Q510E RmpDwn 8") << "Q510E" << "RmpDwn_8" << "12" << "SetParamValue(3,RDWn,8,12:double)";
    QTest::newRow("Q205 V0Set 0 is ch 3") << "Q205" << "V0Set_0" << "100" << "SetParamValue(3,V0Set,3,100:double)";
    QTest::newRow("Q205 RmpDwn 0 is ch 3") << "Q205" << "RmpDwn_0" << "10" << "SetParamValue(3,RDWn,3,10:double)";
    QTest::newRow("Q205 SVMax 17 is ch 20") << "Q205" << "SVMax_17" << "900" << "SetParamValue(3,SVMax,20,900:double)";
}

void TestPanelEditing::numericFieldWritesItsParameter()
{
    QFETCH(QString, model);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    FakeHV hv;
    hv.setBoard(S, model, 21);
    auto p = openPanel(model, hv, S);
    QVERIFY(activatePanel(p.get()));
    hv.clear();
    typeAndCommit(p.get(), control<NumField>(p.get(), field), typed);
    QCOMPARE(hv.calls, QStringList{written});
}

void TestPanelEditing::switchWritesOneThenZero_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("par");
    QTest::addColumn<int>("ch");
    QTest::newRow("Q310 ledPw 4") << "Q310" << "ledPw_4" << "Pw" << 4;
    QTest::newRow("Q310 POn 7") << "Q310" << "POn_7" << "POn" << 7;
    QTest::newRow("Q310 PDwn 13") << "Q310" << "PDwn_13" << "PDwn" << 13;
    QTest::newRow("Q420 PDwn 0") << "Q421" << "PDwn_0" << "PDwn" << 0;
    QTest::newRow("Q510 POn 11") << "Q510" << "POn_11" << "POn" << 11;
    QTest::newRow("Q510E ledPw 8") << "Q510E" << "ledPw_8" << "Pw" << 8;
    QTest::newRow("Q205 ledPw 2") << "Q205" << "ledPw_2" << "Pw" << 2;
}

void TestPanelEditing::switchWritesOneThenZero()
{
    QFETCH(QString, model);
    QFETCH(QString, control);
    QFETCH(QString, par);
    QFETCH(int, ch);
    FakeHV hv;
    hv.setBoard(S, model, 21);
    auto p = openPanel(model, hv, S);
    auto *w = ::control<QAbstractButton>(p.get(), control);
    showPageOf(p.get(), w);
    hv.clear();
    QTest::mouseClick(w, Qt::LeftButton);
    QTest::mouseClick(w, Qt::LeftButton);
    const QString call = QStringLiteral("SetParamValue(3,%1,%2,%3:short)").arg(par).arg(ch);
    QCOMPARE(hv.calls, (QStringList{call.arg(1), call.arg(0)}));
}

void TestPanelEditing::nameWrittenWhenFocusMovesToAnotherControl_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("element");
    QTest::newRow("Q310 12") << "Q310" << 12;
    QTest::newRow("Q205 low voltage") << "Q205" << 2;
}

void TestPanelEditing::nameWrittenWhenFocusMovesToAnotherControl()
{
    QFETCH(QString, model);
    QFETCH(int, element);
    FakeHV hv;
    hv.setBoard(S, model, 21);
    auto p = openPanel(model, hv, S);
    QVERIFY(activatePanel(p.get()));
    auto *name = control<QLineEdit>(p.get(), QStringLiteral("txtChName_%1").arg(element));
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral(" Beam line "));
    hv.clear();
    QVERIFY(hv.calls.isEmpty()); // typing alone writes nothing
    control<QWidget>(p.get(), QStringLiteral("txtChName_0"))->setFocus();
    QCOMPARE(hv.calls, QStringList{QStringLiteral("SetChannelName(3,%1, Beam line )").arg(element)});
}

void TestPanelEditing::nameNotWrittenOnCloseOrWindowSwitch()
{
    FakeHV hv;
    hv.setBoard(S, QStringLiteral("Q310"), 14);
    auto p = openPanel(QStringLiteral("Q310"), hv, S);
    QVERIFY(activatePanel(p.get()));
    auto *name = control<QLineEdit>(p.get(), QStringLiteral("txtChName_5"));
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("X"));

    QWidget other;
    other.show();
    QVERIFY(activatePanel(&other)); // the operator turns to another window
    QVERIFY(hv.callsStartingWith(QStringLiteral("SetChannelName")).isEmpty());

    QVERIFY(activatePanel(p.get()));
    QCOMPARE(p->focusWidget(), name);
    p->close();
    QVERIFY(hv.callsStartingWith(QStringLiteral("SetChannelName")).isEmpty());
}

void TestPanelEditing::refusedValueIsReportedAndBoardValueShown()
{
    MsgBoxCatcher boxes;
    FakeHV hv;
    hv.setBoard(S, QStringLiteral("Q310"), 14);
    hv.paramValue = [](qint16, const QString &par, std::optional<qint16>) -> QVariant {
        return par == QLatin1String("V0Set") ? 1.5 : 0;
    };
    hv.failOn << QStringLiteral("SetParamValue(3,V0Set,9");
    auto p = openPanel(QStringLiteral("Q310"), hv, S);
    p->ChMonTick();
    QVERIFY(activatePanel(p.get()));
    auto *f = control<NumField>(p.get(), QStringLiteral("V0Set_9"));
    typeAndCommit(p.get(), f, QStringLiteral("99"));

    QTRY_COMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Write refused"));
    QCOMPARE(boxes.shown[0].text,
             QStringLiteral("V0Set of channel 9 was not written: fake failure in SetParamValue(3,V0Set,9,99:double)"));
    QCOMPARE(boxes.shown[0].icon, QMessageBox::Warning);
    QVERIFY(p->isVisible());

    // Still focused, the field shows what the board holds after the next tick ...
    QCOMPARE(p->focusWidget(), f);
    p->ChMonTick();
    QCOMPARE(f->text(), QStringLiteral("1.5 V"));
    // ... and after that it is the operator's again.
    hv.paramValue = [](qint16, const QString &, std::optional<qint16>) -> QVariant { return 2; };
    p->ChMonTick();
    QCOMPARE(f->text(), QStringLiteral("1.5 V"));
    QCOMPARE(boxes.shown.size(), 1);
}

void TestPanelEditing::refusedSwitchGoesBack()
{
    MsgBoxCatcher boxes;
    FakeHV hv;
    hv.setBoard(S, QStringLiteral("Q420"), 12);
    hv.failOn << QStringLiteral("SetParamValue(3,Pw,6");
    auto p = openPanel(QStringLiteral("Q420"), hv, S);
    auto *lamp = control<Lamp>(p.get(), QStringLiteral("ledPw_6"));
    QTest::mouseClick(lamp, Qt::LeftButton);
    QVERIFY(!lamp->value()); // still showing what the board holds
    QTRY_COMPARE(boxes.shown.size(), 1);
    QVERIFY(boxes.shown[0].text.startsWith(QStringLiteral("Pw of channel 6 was not written: ")));
    QVERIFY(p->findChild<QTimer *>(QStringLiteral("ChMon")) != nullptr);
}

void TestPanelEditing::refusedNameIsReported()
{
    MsgBoxCatcher boxes;
    FakeHV hv;
    hv.setBoard(S, QStringLiteral("Q205"), 21);
    hv.failOn << QStringLiteral("SetChannelName");
    auto p = openPanel(QStringLiteral("Q205"), hv, S);
    QVERIFY(activatePanel(p.get()));
    auto *name = control<QLineEdit>(p.get(), QStringLiteral("txtChName_12"));
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("a name far too long for the board"));
    control<QWidget>(p.get(), QStringLiteral("V0Set_0"))->setFocus();
    QTRY_COMPARE(boxes.shown.size(), 1);
    QVERIFY(boxes.shown[0].text.startsWith(QStringLiteral("The name of channel 12 was not written: ")));
    p->ChMonTick();
    QCOMPARE(name->text(), QStringLiteral("CH12")); // the board's name again
}

QTEST_MAIN(TestPanelEditing)
#include "tst_panelediting.moc"
