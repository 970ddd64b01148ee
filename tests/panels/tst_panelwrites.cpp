// Writes racing the ticks on a slow link: every control kind (number, lamp,
// switch, name) under every order of a tick planned, a write made and their
// answers, held by the fake until the test lets them through.
#include "controlmark.h"
#include "eventlog.h"
#include "heldhv.h"
#include "lamp.h"
#include "msgboxcatcher.h"
#include "namefield.h"
#include "panelfixture.h"
#include "twoposswitch.h"

#include <QMouseEvent>

namespace {

// A Q310 in slot 3 whose channel 3 the tests work on. The crate answers from
// the tables below as they are when a tick is planned.
struct Rig
{
    HeldHV hv;
    QHash<QString, QVariant> crate{{"V0Set", 1.0}, {"Pw", 0}, {"POn", 0}, {"Name", "Anode"}};
    QHash<QString, int> exps{{"V0Set", 3}};
    EventLog log;
    std::unique_ptr<BoardPanel> p;

    explicit Rig(const QString &model = QStringLiteral("Q310"), int channels = 14)
    {
        hv.setBoard(3, model, channels);
        hv.paramValue = [this](qint16, const QString &par, std::optional<qint16> ch) {
            return ch == 3 ? crate.value(par, 0) : QVariant(0);
        };
        hv.paramAttribute = [this](qint16, const QString &par, const QString &prop, std::optional<qint16>) {
            return QVariant(prop == QLatin1String("Exp") ? exps.value(par, 0) : prop == QLatin1String("Maxval") ? 100 : 0);
        };
        hv.channelName = [this](qint16, qint16 ch) { return ch == 3 ? crate.value("Name").toString() : QStringLiteral("CH%1").arg(ch); };
        p = openPanel(model, hv, 3);
        p->setEventLog(&log);
        activatePanel(p.get());
        hv.releasePlans(); // the thermometer's range
        tick();
    }
    void tick()
    {
        p->ChMonTick();
        hv.releasePlans();
    }
    template <typename W = QWidget> W *get(const QString &name) const { return control<W>(p.get(), name); }
};

// A control kind: which control, which crate value it shows, and how the operator changes it; what
// the operator writes, what the crate then holds, and a third value it holds later; as shown.
struct Kind
{
    QString control;
    QString par; // key of the crate table
    std::function<QString(QWidget *)> shown;
    std::function<void(Rig &, QWidget *, const QVariant &)> act;
    QVariant typed, held, crateAfter;
    QString before, written, later;
};

QString buttonShown(QWidget *w)
{
    return static_cast<OperatorButton *>(w)->value() ? QStringLiteral("on") : QStringLiteral("off");
}
QString fieldShown(QWidget *w)
{
    return static_cast<QLineEdit *>(w)->text();
}

void click(Rig &r, QWidget *w, const QVariant &)
{
    showPageOf(r.p.get(), w);
    QTest::mouseClick(w, Qt::LeftButton);
}

// Types into a field, presses Enter and moves on, as the operator does.
void typeAndLeave(Rig &r, QWidget *w, const QVariant &v)
{
    auto *field = static_cast<QLineEdit *>(w);
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
    QTest::keyClicks(field, v.toString());
    QTest::keyClick(field, Qt::Key_Return);
    r.p->setFocus(Qt::MouseFocusReason);
}

Kind kind(const QString &name)
{
    if (name == QLatin1String("number"))
        return {"V0Set_3", "V0Set", fieldShown, typeAndLeave, QStringLiteral("0.9"), 0.9, 1.5, "1 kV", "0.9 kV", "1.5 kV"};
    if (name == QLatin1String("name"))
        return {"txtChName_3", "Name", fieldShown, typeAndLeave, "Cathode", "Cathode", "Grid", "Anode", "Cathode", "Grid"};
    const bool lamp = name == QLatin1String("lamp");
    return {lamp ? "ledPw_3" : "POn_3", lamp ? "Pw" : "POn", buttonShown, click, {}, 1, 0, "off", "on", "off"};
}

const QStringList Kinds{"number", "lamp", "switch", "name"};

} // namespace

class TestPanelWrites : public QObject
{
    Q_OBJECT
private slots:
    // An answer read before a write to a control was answered is never shown in it; from the
    // commit to the answer the control shows the value written with the pending sign, and from
    // the first tick planned after the answer on, what the crate holds.
    void noAnswerReadBeforeAWriteIsShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("order"); // T tick planned, W write made, t tick answered, w write answered
        for (const QString &k : Kinds)
            for (const char *order : {"TWtw", "TWwt", "WTtw", "WTwt", "WwTt"})
                QTest::newRow(qPrintable(k + QLatin1Char(' ') + QLatin1String(order))) << k << QString::fromLatin1(order);
    }
    void noAnswerReadBeforeAWriteIsShown()
    {
        QFETCH(QString, kind);
        QFETCH(QString, order);
        Rig r;
        const Kind k = ::kind(kind);
        QWidget *w = r.get(k.control);
        QCOMPARE(k.shown(w), k.before);
        bool written = false;
        for (const QChar step : order) {
            switch (step.toLatin1()) {
            case 'T': r.p->ChMonTick(); break;
            case 't': r.hv.releasePlan(); break;
            case 'W': k.act(r, w, k.typed); written = true; break;
            case 'w': r.hv.releaseWrite(); r.crate[k.par] = k.held; break;
            }
            if (written) {
                QCOMPARE(k.shown(w), k.written);
                const bool pending = !r.hv.writes.isEmpty();
                QCOMPARE(ControlMark::kindOf(w) == ControlMark::Kind::Pending, pending);
                QCOMPARE(w->accessibleDescription().contains("Write pending"), pending);
            }
        }
        QCOMPARE(r.hv.callsStartingWith(QStringLiteral("Set")).size(), 1);
        r.crate[k.par] = k.crateAfter;
        r.tick();
        QCOMPARE(k.shown(w), k.later);
        QVERIFY(!ControlMark::kindOf(w));
    }

    // A lamp or switch with a write on its way ignores clicks; a double-click is one click.
    void oneClickOneWrite_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("Pw lamp") << "ledPw_3";
        QTest::newRow("POn switch") << "POn_3";
    }
    void oneClickOneWrite()
    {
        QFETCH(QString, control);
        Rig r;
        auto *b = r.get<OperatorButton>(control);
        showPageOf(r.p.get(), b);
        QTest::mouseDClick(b, Qt::LeftButton);
        QTest::mouseClick(b, Qt::LeftButton); // while pending: the sign says why nothing happens
        QCOMPARE(r.hv.writes.size(), 1);
        QVERIFY(b->value() && b->isBusy());
        r.hv.releaseWrite();
        QVERIFY(!b->isBusy());
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(r.hv.writes.size(), 1);
        QVERIFY(!b->value());
        r.hv.releaseWrite();
        // The second press of a double-click switches nothing, even once the first write is answered.
        const QPoint mid = b->rect().center();
        QMouseEvent second(QEvent::MouseButtonDblClick, mid, b->mapToGlobal(mid), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(b, &second);
        QTest::mouseRelease(b, Qt::LeftButton);
        QVERIFY(r.hv.writes.isEmpty());
        QCOMPARE(r.hv.callsStartingWith("SetParamValue"),
                 QStringList({QStringLiteral("SetParamValue(3,%1,3,1:short)").arg(control.section('_', 0, 0).remove("led")),
                              QStringLiteral("SetParamValue(3,%1,3,0:short)").arg(control.section('_', 0, 0).remove("led"))}));
    }

    // The crate's value changes while the operator types: the field says so at once, leaving it
    // writes nothing and shows the crate's value, Enter writes the typing, Esc puts the crate's back.
    void aChangeElsewhereWhileTyping_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("end");
        for (const QString &k : {QStringLiteral("number"), QStringLiteral("name")})
            for (const char *end : {"leave", "enter", "esc"})
                QTest::newRow(qPrintable(k + QLatin1Char(' ') + QLatin1String(end))) << k << QString::fromLatin1(end);
    }
    void aChangeElsewhereWhileTyping()
    {
        QFETCH(QString, kind);
        QFETCH(QString, end);
        Rig r;
        const Kind k = ::kind(kind);
        auto *field = r.get<EditField>(k.control);
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        QTest::keyClicks(field, k.typed.toString());
        const QColor typing = field->palette().color(QPalette::Base);
        QVERIFY(typing != QGuiApplication::palette().color(QPalette::Base)); // typing looks different
        r.crate[k.par] = k.crateAfter;
        r.tick();
        QCOMPARE(field->text(), k.typed.toString()); // the typing stays...
        QCOMPARE(ControlMark::kindOf(field), ControlMark::Kind::CrateChanged); // ...marked at once
        QCOMPARE(field->toolTip(), QStringLiteral("The crate now holds %1").arg(k.later));
        if (end == QLatin1String("leave")) {
            r.p->setFocus(Qt::MouseFocusReason);
            QVERIFY(r.hv.writes.isEmpty());
            QCOMPARE(field->text(), k.later);
            QVERIFY(r.p->statusText().contains(QStringLiteral("was not written")));
        } else if (end == QLatin1String("enter")) {
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(r.hv.writes.size(), 1);
        } else {
            QTest::keyClick(field, Qt::Key_Escape);
            QVERIFY(r.p->isVisible() && r.hv.writes.isEmpty());
            QCOMPARE(field->text(), k.later);
            QTest::keyClick(field, Qt::Key_Escape); // nothing typed now: Esc closes the panel
            QVERIFY(!r.p->isVisible());
        }
        QVERIFY(ControlMark::kindOf(field) != ControlMark::Kind::CrateChanged);
    }

    // A refused write is shown on its control, in the status line and the log, never in a box;
    // the control shows what the crate holds, and the sign stays until it is changed again.
    void aRefusalIsToldOnItsControl_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &k : Kinds)
            QTest::newRow(qPrintable(k)) << k;
    }
    void aRefusalIsToldOnItsControl()
    {
        QFETCH(QString, kind);
        MsgBoxCatcher boxes;
        Rig r;
        const Kind k = ::kind(kind);
        QWidget *w = r.get(k.control);
        r.hv.failOn = QStringList{QStringLiteral("Set")};
        k.act(r, w, k.typed);
        r.hv.releaseWrite();
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(ControlMark::kindOf(w), ControlMark::Kind::Refused);
        QVERIFY(w->toolTip().contains(QStringLiteral("was not written: fake failure")));
        QCOMPARE(r.p->statusText(), w->toolTip());
        QCOMPARE(EventLog::outcomeText(r.log.atRow(0).outcome), QStringLiteral("refused"));
        if (qobject_cast<OperatorButton *>(w))
            QCOMPARE(k.shown(w), k.before); // a switch goes back at once
        w->setFocus(); // a field shows the crate's value at the next tick, even in the field
        r.tick();
        QCOMPARE(k.shown(w), k.before);
        QCOMPARE(ControlMark::kindOf(w), ControlMark::Kind::Refused);
        r.hv.failOn.clear();
        if (auto *field = qobject_cast<QLineEdit *>(w)) {
            field->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(field, Qt::Key_End);
            QTest::keyClick(field, Qt::Key_1);
        } else {
            k.act(r, w, k.typed);
            r.hv.releaseWrite();
        }
        QVERIFY(!ControlMark::kindOf(w));
    }

    // Every write is logged when it is made, in real units with prefix, old and new, and its
    // outcome follows: written, refused with the crate's reason, or unknown. A write whose
    // panel closed before the answer is still completed in the log.
    void theLogTellsEveryWrite()
    {
        Rig q510e(QStringLiteral("Q510E"), 9);
        q510e.exps["V0Set"] = -2;
        q510e.crate["V0Set"] = 20000; // 200 V in the board's 10 mV steps
        q510e.tick();
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        typeAndLeave(q510e, q510e.get("V0Set_3"), QStringLiteral("250"));
        const EventLog::Entry made = q510e.log.atRow(0);
        QVERIFY(made.timeMs >= before && made.timeMs <= QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(QStringList({made.parameter, made.oldValue, made.newValue, EventLog::outcomeText(made.outcome)}),
                 QStringList({"V0Set", "200 V", "250 V", "pending"}));
        QTest::qWait(20);
        q510e.hv.releaseWrite();
        QCOMPARE(q510e.hv.calls.last(), QStringLiteral("SetParamValue(3,V0Set,3,25000:double)"));
        QCOMPARE(q510e.log.atRow(0).timeMs, made.timeMs); // timed when made, not when answered
        QCOMPARE(EventLog::outcomeText(q510e.log.atRow(0).outcome), QStringLiteral("written"));

        Rig r;
        typeAndLeave(r, r.get("V0Set_3"), QStringLiteral("1.2"));
        QTest::mouseClick(r.get("ledPw_3"), Qt::LeftButton);
        r.hv.failOn = QStringList{QStringLiteral("SetParamValue(3,Pw")};
        r.hv.loseWrite(0);
        r.p.reset(); // the panel closes before the refusal comes
        r.hv.releaseWrite(0);
        const QStringList rows = collect(2, [&r](int i) {
            const EventLog::Entry &e = r.log.at(r.log.size() - 2 + i);
            return QStringList{e.parameter, e.oldValue, e.newValue, EventLog::outcomeText(e.outcome), e.detail}.join('|');
        });
        QCOMPARE(rows, QStringList({"V0Set|1 kV|1.2 kV|unknown|" + EventLog::UnknownOutcome,
                                    "Pw|off|on|refused|fake failure in SetParamValue(3,Pw,3,1:short)"}));
    }

    // Values not refreshed for more than two periods are veiled with their age, until a fresh answer.
    void staleValuesAreVeiled()
    {
        Rig r;
        qint64 now = QDateTime::currentMSecsSinceEpoch();
        r.p->setClock([&now] { return now; });
        r.tick();
        r.p->ChMonTick(); // its answers do not come
        now += 2500;
        r.p->checkFreshness();
        QVERIFY(r.p->isVeiled());
        QVERIFY(r.p->veilText().startsWith(QStringLiteral("No answer from the crate for 2 s")));
        QCOMPARE(r.get("content")->toolTip(), r.p->veilText()); // what every value without its own tooltip tells
        r.hv.releasePlans();
        QVERIFY(!r.p->isVeiled());
    }
};

QTEST_MAIN(TestPanelWrites)
#include "tst_panelwrites.moc"
