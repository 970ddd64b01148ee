// What reaches the crate when the operator edits a panel: each control writes
// its own parameter for its own channel, at once, and a refused write is told;
// on the simulated crate over the network, the board follows. What a keyboard,
// a screen reader and a small or scaled screen meet in a panel: the Tab order
// along a row and what each stop says, the window within the screen's room at
// any font and scale factor, and the crate's text shown as it was sent.
#include "controlmark.h"
#include "lamp.h"
#include "msgboxcatcher.h"
#include "panelfixture.h"
#include "screenfit.h"
#include "screenreader.h"

#include <QLineEdit>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <cmath>

class TestPanelEditing : public QObject
{
    Q_OBJECT
private slots:
    void numericFieldWritesItsParameter_data()
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
        QTest::newRow("not a number writes nothing") << "Q310" << "I0Set_2" << "1,000.5" << "";
    }
    void numericFieldWritesItsParameter()
    {
        QFETCH(QString, model);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        PanelRig r(model, 21);
        QVERIFY(activatePanel(r.p.get()));
        r.hv.clear();
        typeAndCommit(r.p.get(), r.get<NumField>(field), typed);
        QCOMPARE(r.hv.calls, written.isEmpty() ? QStringList() : QStringList{written});
        QCOMPARE(r.get<NumField>(field)->refusedText(), written.isEmpty() ? typed : QString());
    }

    // An exponent without an SI prefix shows the setpoint in real units and takes
    // typing back to the board's own scale; 0 and 3 keep the board's scale.
    void setpointScaleFollowsItsExponent_data()
    {
        QTest::addColumn<int>("exp");
        QTest::addColumn<double>("board");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("-2") << -2 << 25000.0 << "250 V" << "300" << "30000:double";
        QTest::newRow("-1") << -1 << 2500.0 << "250 V" << "1.5k" << "15000:double";
        QTest::newRow("1") << 1 << 25.0 << "250 V" << "300" << "30:double";
        QTest::newRow("2") << 2 << 2.5 << "250 V" << "310" << "3.1:double";
        QTest::newRow("4") << 4 << 0.15 << "1.5 kV" << "2000" << "0.2:double";
        QTest::newRow("0 unchanged") << 0 << 250.0 << "250 V" << "300" << "300:double";
        QTest::newRow("3 unchanged") << 3 << 1.5 << "1.5 kV" << "2" << "2:double";
    }
    void setpointScaleFollowsItsExponent()
    {
        QFETCH(int, exp);
        QFETCH(double, board);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        PanelRig r(QStringLiteral("Q510E"), 9);
        r.values[QStringLiteral("V0Set")] = board;
        r.exps[QStringLiteral("V0Set")] = exp;
        r.p->ChMonTick();
        auto *field = r.get<NumField>(QStringLiteral("V0Set_4"));
        QCOMPARE(field->text(), shown);
        QVERIFY(activatePanel(r.p.get()));
        r.hv.clear();
        typeAndCommit(r.p.get(), field, typed);
        QCOMPARE(r.hv.calls, QStringList{"SetParamValue(3,V0Set,4," + written + ")"});
    }

    void switchWritesOneThenZero_data()
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
    void switchWritesOneThenZero()
    {
        QFETCH(QString, model);
        QFETCH(QString, control);
        QFETCH(QString, par);
        QFETCH(int, ch);
        PanelRig r(model, 21);
        auto *w = r.get<QAbstractButton>(control);
        showPageOf(r.p.get(), w);
        r.hv.clear();
        QTest::mouseClick(w, Qt::LeftButton);
        QTest::mouseClick(w, Qt::LeftButton);
        const QString call = QStringLiteral("SetParamValue(3,%1,%2,%3:short)").arg(par).arg(ch);
        QCOMPARE(r.hv.calls, (QStringList{call.arg(1), call.arg(0)}));
    }

    // Leaving a field being edited writes it once: a name for another control of the panel, a
    // name or a half-typed number by changing page (and then the focus rests on no field).
    void leavingAFieldWritesItOnce_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("byPage");
        QTest::addColumn<QString>("written");
        QTest::newRow("Q310 name") << "Q310" << "txtChName_12" << false << "SetChannelName(3,12, Beam line )";
        QTest::newRow("Q205 low-voltage name") << "Q205" << "txtChName_2" << false << "SetChannelName(3,2, Beam line )";
        QTest::newRow("name, by page") << "Q310" << "txtChName_2" << true << "SetChannelName(3,2, Beam line )";
        QTest::newRow("number, by page") << "Q310" << "V0Set_1" << true << "SetParamValue(3,V0Set,1,17:double)";
    }
    void leavingAFieldWritesItOnce()
    {
        QFETCH(QString, model);
        QFETCH(QString, field);
        QFETCH(bool, byPage);
        QFETCH(QString, written);
        PanelRig r(model, 21);
        r.p->ChMonTick();
        QVERIFY(activatePanel(r.p.get()));
        auto *edit = r.get<QLineEdit>(field);
        r.hv.clear();
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        // Typing alone writes nothing: the one write comes from leaving.
        QTest::keyClicks(edit, field.startsWith(QStringLiteral("txt")) ? QStringLiteral(" Beam line ") : QStringLiteral("17"));
        if (byPage) {
            auto *tabs = r.get<QTabBar>(QStringLiteral("TabStrip1"));
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
            QVERIFY(!qobject_cast<QLineEdit *>(r.p->focusWidget()));
        } else {
            r.get(QStringLiteral("txtChName_0"))->setFocus();
        }
        QCOMPARE(r.hv.calls, QStringList{written});
    }

    // A panel opens with no field focused, so the tick spares none: channel 0's name follows the crate.
    void aNewPanelSparesNoField()
    {
        PanelRig r(QStringLiteral("Q420"), 12);
        QVERIFY(activatePanel(r.p.get()));
        r.p->ChMonTick();
        r.hv.channelName = [](qint16, qint16 ch) { return QStringLiteral("Renamed %1").arg(ch); };
        r.p->ChMonTick();
        QCOMPARE(r.get<QLineEdit>(QStringLiteral("txtChName_0"))->text(), QStringLiteral("Renamed 0"));
        QVERIFY(!qobject_cast<QLineEdit *>(r.p->focusWidget()));
    }

    void nameNotWrittenOnCloseOrWindowSwitch()
    {
        PanelRig r(QStringLiteral("Q310"), 14);
        QVERIFY(activatePanel(r.p.get()));
        auto *name = r.get<QLineEdit>(QStringLiteral("txtChName_5"));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("X"));
        auto *number = r.get<NumField>(QStringLiteral("V0Set_5"));
        QWidget other;
        other.show();
        QVERIFY(activatePanel(&other)); // the operator turns to another window
        QVERIFY(r.hv.callsStartingWith(QStringLiteral("SetChannelName")).isEmpty());
        QVERIFY(activatePanel(r.p.get()));
        QCOMPARE(r.p->focusWidget(), name);
        number->setFocus(); // the name is written on leaving it; the number is typed, never committed
        QTest::keyClicks(number, QStringLiteral("5"));
        r.hv.clear();
        r.p->close();
        QVERIFY(r.hv.calls.isEmpty());
    }

    // A refused name on the Q205 is told for the channel its field stands for; the field is the board's again.
    void aRefusedNameIsToldForItsChannel()
    {
        MsgBoxCatcher boxes;
        PanelRig q205(QStringLiteral("Q205"), 21);
        q205.hv.failOn << QStringLiteral("SetChannelName");
        QVERIFY(activatePanel(q205.p.get()));
        auto *name = q205.get<QLineEdit>(QStringLiteral("txtChName_12"));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("a name far too long for the board"));
        q205.get(QStringLiteral("V0Set_0"))->setFocus();
        QVERIFY(boxes.shown.isEmpty());
        QVERIFY(q205.p->statusText().startsWith(QStringLiteral("The name of channel 12 was not written: ")));
        QCOMPARE(ControlMark::kindOf(name), ControlMark::Kind::Refused);
        q205.p->ChMonTick();
        QCOMPARE(name->text(), QStringLiteral("CH12")); // the board's name again
    }

    // Ctrl+PgDn / Ctrl+PgUp turn the page and go on in the same row of it, so the new page is
    // heard; Esc in a field being typed in drops the typing and no more; Esc or Ctrl+W elsewhere
    // closes the panel.
    void keysTurnPagesAndClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier);
    }
    void keysTurnPagesAndClose()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        PanelRig r(QStringLiteral("Q420"), 12);
        QVERIFY(activatePanel(r.p.get()));
        auto *field = r.get<NumField>(QStringLiteral("V0Set_2"));
        field->setFocus();
        QTest::keyClick(field, Qt::Key_PageDown, Qt::ControlModifier);
        const auto pageAndFocus = [&r] { return QString::number(r.p->currentPage()) + ' ' + r.p->focusWidget()->objectName(); };
        QCOMPARE(pageAndFocus(), QStringLiteral("2 V1Set_2"));
        QTest::keyClick(r.p.get(), Qt::Key_PageDown, Qt::ControlModifier); // no page 3
        QTest::keyClick(r.p.get(), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(pageAndFocus(), QStringLiteral("1 ledPw_2"));
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("7"));
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(r.p->isVisible() && !field->isModified());
        QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(!r.p->isVisible());
        QCOMPARE(r.hv.callsStartingWith(QStringLiteral("Set")), QStringList());
    }

    // What the operator sets reaches the board and moves its monitor; what the board
    // refuses is told with the crate's reason and changes nothing.
    void setpointsReachTheBoardAndRefusalsAreTold()
    {
        MsgBoxCatcher boxes;
        SimRig rig;
        rig.advanceSeconds(120); // channel 2 of slot 0 is on and ramps to 2.5 kV
        auto p = openPanel(QStringLiteral("Q310"), rig.client, 0);
        QVERIFY(tickNow(p.get()));
        auto *vmon = control<NumField>(p.get(), QStringLiteral("VMon_2"));
        auto *v0 = control<NumField>(p.get(), QStringLiteral("V0Set_2"));
        QVERIFY2(std::abs(vmon->value() - 2500) < 25, qPrintable(vmon->text()));
        QVERIFY(activatePanel(p.get()));
        typeAndCommit(p.get(), v0, QStringLiteral("1"));
        QTRY_COMPARE(rig.server.crate().paramValue(0, QStringLiteral("V0Set"), 2).toDouble(), 1.0);
        rig.advanceSeconds(60); // down by 1.5 kV at the board's ramp-down rate
        QVERIFY(tickNow(p.get()));
        QVERIFY2(std::abs(vmon->value() - 1000) < 10, qPrintable(vmon->text()));
        QCOMPARE(vmon->text().right(2), QStringLiteral("kV"));
        typeAndCommit(p.get(), v0, QStringLiteral("99")); // far above the board's range
        QTRY_COMPARE(p->statusText(), QStringLiteral("V0Set of channel 2 was not written: " // the crate's reason
                                                     "V0Set = 99 is out of range 0..3.5 on slot 0 channel 2"));
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(rig.server.crate().paramValue(0, QStringLiteral("V0Set"), 2).toDouble(), 1.0);
        QVERIFY(tickNow(p.get()) && p->isVisible()); // the panel goes on and shows the board's value again
        QCOMPARE(v0->text(), QStringLiteral("1 kV"));
    }

    // The first Tab stop of a new panel is a named control, then Tab goes along a row as
    // it reads and on to the next row, each stop telling its column, channel, role and value.
    void aRowIsTabbedAndHeardInOrder_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("first");   // the panel's first Tab stop
        QTest::addColumn<QStringList>("row"); // the columns after the name, in Tab order
        QTest::newRow("Q310") << "Q310" << 5 << "Plot VMon of Macro Channel 0 | Button |  | "
                              << QStringList{"Pw", "V0Set", "VMon", "HVMax", "I0Set", "IMon", "RmpUp", "RmpDwn", "Status"};
        QTest::newRow("Q205 remote channel") << "Q205" << 3 << "Channel Name, channel 0 | EditableText | editable | CH0"
                              << QStringList{"Pw", "V0Set", "VMon", "I0Set", "IMon", "RmpUp", "RmpDwn", "SVMax", "Status"};
    }
    void aRowIsTabbedAndHeardInOrder()
    {
        QFETCH(QString, model);
        QFETCH(int, channel);
        QFETCH(QString, first);
        QFETCH(QStringList, row);
        // What each column's control is and shows, after the column and the channel.
        const QHash<QString, QString> kinds{
            {"Pw", "CheckBox | checkable checked | on"}, {"V0Set", "EditableText | editable | 1.5 kV"},
            {"VMon", "StaticText | read-only | 1.5 kV"}, {"HVMax", "StaticText | read-only | 0 V"},
            {"I0Set", "EditableText | editable | 0 A"}, {"IMon", "StaticText | read-only | 0 A"},
            {"RmpUp", "EditableText | editable | 0.0 V/s"}, {"RmpDwn", "EditableText | editable | 0.0 V/s"},
            {"SVMax", "EditableText | editable | 0 V"}, {"Status", "StaticText | read-only | Up, alarm"}};
        QStringList heard{first, QStringLiteral("Channel Name, channel %1 | EditableText | editable | Anode").arg(channel)};
        for (const QString &column : row)
            heard << QStringLiteral("%1, channel %2, Anode | %3").arg(column).arg(channel).arg(kinds[column]);
        heard << QStringLiteral("Channel Name, channel %1 | EditableText | editable | CH%1").arg(channel + 1);
        PanelRig b(model, 21);
        b.values = {{"Pw", 1}, {"V0Set", 1.5}, {"VMon", 1500}, {"Status", 2 + 8}};
        b.exps[QStringLiteral("V0Set")] = 3;
        b.hv.channelName = [channel](qint16, qint16 c) { return c == channel ? QStringLiteral("Anode") : QStringLiteral("CH%1").arg(c); };
        b.p->ChMonTick();
        QVERIFY(activatePanel(b.p.get()));
        QStringList out;
        QTest::keyClick(b.p.get(), Qt::Key_Tab);
        out << said(b.p->focusWidget());
        b.get(QStringLiteral("txtChName_%1").arg(channel))->setFocus(Qt::TabFocusReason);
        for (int stop = 1; stop < heard.size(); ++stop) {
            out << said(b.p->focusWidget());
            QTest::keyClick(b.p->focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(out, heard);
    }

    // No panel opens larger than the room on its screen, at any font or scale factor (the
    // available area in logical pixels is the screen's divided by the factor). Where the room
    // is enough, every control shows whole without a scroll bar, and at the default font a
    // four-digit value is drawn in the panel's font; where it is not, the panel scrolls.
    void aPanelFitsItsScreen_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("factor");
        QTest::newRow("9 pt, 1920 x 1080") << 9 << QSize(1920, 1080) << 1.0;
        QTest::newRow("9 pt, 1366 x 768 at 1.5") << 9 << QSize(1366, 768) << 1.5;
        QTest::newRow("13 pt, 1366 x 768") << 13 << QSize(1366, 768) << 1.0;
        QTest::newRow("16 pt, 1366 x 768") << 16 << QSize(1366, 768) << 1.0;
        QTest::newRow("16 pt, 1600 x 1000 at 2") << 16 << QSize(1600, 1000) << 2.0;
    }
    void aPanelFitsItsScreen()
    {
        QFETCH(int, points);
        QFETCH(QSize, screen);
        QFETCH(double, factor);
        const QRect available(0, 27, qRound(screen.width() / factor), qRound(screen.height() / factor) - 27);
        ScreenFit::setAreaSource([available](const QWidget *) { return available; });
        const QFont before = QApplication::font();
        QFont font = before;
        font.setPointSize(points);
        QApplication::setFont(font);
        const auto restore = qScopeGuard([&] {
            QApplication::setFont(before);
            ScreenFit::setAreaSource({});
        });
        for (const char *model : {"Q310", "Q420", "Q510", "Q510E", "Q205"}) {
            PanelRig b(QString::fromLatin1(model), 21);
            b.values = {{"IMon", 1234e-9}, {"VMon", 1234}, {"RDWn", 100}};
            b.p->ChMonTick();
            const QSize room = ScreenFit::room(available);
            QVERIFY2(b.p->width() <= room.width() && b.p->height() <= room.height(), model);
            auto *scroll = b.get<QScrollArea>(QStringLiteral("scroll"));
            const QSize needed = b.get(QStringLiteral("content"))->minimumSize()
                                 + QSize(0, b.get(QStringLiteral("statusLine"))->height());
            const bool fits = needed.width() <= room.width() && needed.height() <= room.height();
            const auto scrolls = [scroll] {
                return scroll->verticalScrollBar()->isVisible() || scroll->horizontalScrollBar()->isVisible();
            };
            QTRY_COMPARE(scrolls(), !fits);
            if (fits) { // a window a few pixels short (rounding at a fractional scale factor) cuts no control
                b.p->resize(b.p->size() - QSize(3, 3));
                QTRY_VERIFY(!scrolls());
            }
            QStringList cut; // headings and values whose text is wider than their place
            for (const QWidget *w : b.p->findChildren<QWidget *>()) {
                const QString text = w->property("text").toString();
                const auto *f = qobject_cast<const NumField *>(w);
                const int room = f ? w->width() - f->chromeWidth() : w->contentsRect().width();
                if ((f || qobject_cast<const QLabel *>(w)) && w->fontMetrics().horizontalAdvance(text) > room)
                    cut << w->objectName() + QLatin1Char(' ') + text;
                if (f && points == 9 && fits && f->font() != b.p->font())
                    cut << w->objectName() + QStringLiteral(" drawn smaller: ") + text;
            }
            QCOMPARE(cut, QStringList());
        }
    }

    // Every column heading says what its parameter is and its unit.
    void everyHeadingSaysWhatItIs()
    {
        for (const char *model : {"Q310", "Q420", "Q510", "Q205"}) {
            PanelRig b(QString::fromLatin1(model), 1);
            for (const QLabel *l : b.p->findChildren<QLabel *>())
                if (l->objectName().isEmpty() || l->objectName().startsWith(QStringLiteral("lblVMon")))
                    QVERIFY2(l->toolTip().startsWith(l->text() + QStringLiteral(": ")), qPrintable(l->text()));
        }
        PanelRig b(QStringLiteral("Q420"), 1);
        QStringList tips;
        for (const QLabel *l : b.p->findChildren<QLabel *>())
            if (l->text() == QLatin1String("V0Set") || l->text() == QLatin1String("RmpUp"))
                tips << l->toolTip();
        QCOMPARE(tips, QStringList({"V0Set: voltage set point, the voltage the channel ramps to; unit V.",
                                    "RmpUp: ramp-up rate: how fast the voltage rises towards its set point; unit V/s."}));
    }

    // A name and a refusal holding markup read as they were sent, in the tooltip too.
    void crateTextIsShownAsSent()
    {
        PanelRig b(QStringLiteral("Q420"), 12);
        const QString name = QStringLiteral("<b>Anode</b> &amp; 2");
        b.hv.channelName = [name](qint16, qint16) { return name; };
        b.hv.failOn << QStringLiteral("SetChannelName");
        b.p->ChMonTick();
        QVERIFY(activatePanel(b.p.get()));
        auto *field = b.get<QLineEdit>(QStringLiteral("txtChName_1"));
        QCOMPARE(field->displayText(), name);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("<i>x</i>"));
        QTest::keyClick(field, Qt::Key_Return);
        const QString why = QStringLiteral("The name of channel 1 was not written: fake failure in SetChannelName(3,1,<i>x</i>)");
        QCOMPARE(rendered(field->toolTip()), why);
        QCOMPARE(b.p->statusText(), why);
    }
};

QTEST_MAIN(TestPanelEditing)
#include "tst_panelediting.moc"
