// What a keyboard, a screen reader and a small or scaled screen meet in a
// panel: the Tab order along a row and what each stop says, the window within
// the screen's room at any font and scale factor, and the crate's text shown
// as it was sent.
#include "controlmark.h"
#include "panelfixture.h"
#include "screenfit.h"
#include "screenreader.h"

#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>

class TestPanelReach : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_MAIN(TestPanelReach)
#include "tst_panelreach.moc"
