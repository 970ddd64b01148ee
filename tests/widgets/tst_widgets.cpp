// The instrument widgets of the panels and the main window: lamps, the lever
// switch, the thermometer and the numeric field.
#include "lamp.h"
#include "lib.h"
#include "msgbox.h"
#include "numfield.h"
#include "savefile.h"
#include "thermometer.h"
#include "twoposswitch.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QVBoxLayout>

namespace {
// Counts the paint events of the widgets it is installed on.
struct PaintCounter : QObject
{
    int count = 0; // paint events seen so far
    bool eventFilter(QObject *, QEvent *e) override
    {
        count += e->type() == QEvent::Paint;
        return false;
    }
};

QColor centre(QWidget &w)
{
    const QImage img = w.grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

QString reported(const QSignalSpy &spy)
{
    QString s;
    for (const QList<QVariant> &args : spy)
        s += args[0].toBool() ? '1' : '0';
    return s;
}

// Pixels of the red column in what the widget shows.
int redPixels(Thermometer &t)
{
    const QImage img = t.grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += c.red() > 150 && c.green() < 90 && c.blue() < 90;
        }
    return n;
}

// A window with two editable fields and an indicator between them, as in a panel row.
struct Row
{
    QWidget window;
    NumField *first = new NumField;
    NumField *indicator = new NumField;
    NumField *second = new NumField;

    Row()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(indicator);
        layout->addWidget(second);
        indicator->setIndicator(true);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // As a panel opens: the window holds the focus until the operator moves into a field.
        window.setFocusPolicy(Qt::ClickFocus);
        window.setFocus();
    }

    // The operator clicks into the field and replaces its text.
    static void type(NumField *field, const QString &text)
    {
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        QTest::keyClicks(field, text);
    }
};
} // namespace

class TstWidgets : public QObject
{
    Q_OBJECT
private slots:
    void lampShowsItsColoursAndOnlyTheOperatorSwitchesIt()
    {
        QWidget parent;
        Lamp lamp(&parent);
        lamp.resize(24, 24);
        lamp.setOnColor(QColor(0, 0, 255));
        lamp.setOffColor(QColor(0, 0, 60));
        QSignalSpy spy(&lamp, &Lamp::switchedByOperator);
        lamp.setValue(true);
        QVERIFY2(centre(lamp).blue() > 200 && centre(lamp).red() < 120, qPrintable(centre(lamp).name()));
        lamp.setValue(false);
        QVERIFY2(centre(lamp).blue() < 120, qPrintable(centre(lamp).name()));
        // A pure indicator ignores the mouse and the keyboard; a switchable lamp toggles on both.
        QTest::mouseClick(&lamp, Qt::LeftButton);
        QTest::keyClick(&lamp, Qt::Key_Space);
        QVERIFY(!lamp.value() && lamp.focusPolicy() == Qt::NoFocus);
        lamp.setSwitchable(true);
        QVERIFY(lamp.focusPolicy() & Qt::TabFocus);
        QTest::mouseClick(&lamp, Qt::LeftButton);
        QTest::keyClick(&lamp, Qt::Key_Space);
        QTest::keyClick(&lamp, Qt::Key_Space);
        lamp.setValue(false); // from code: never reported
        QCOMPARE(reported(spy), QStringLiteral("101"));
        // The once-a-second poll sets every lamp: an unchanged value must not repaint.
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        PaintCounter counter;
        lamp.installEventFilter(&counter);
        lamp.setValue(true);
        QTRY_COMPARE(counter.count, 1);
        lamp.setValue(true);
        QTest::qWait(20);
        QCOMPARE(counter.count, 1);
    }

    void switchLeverShowsThePositionAndOnlyTheOperatorMovesIt()
    {
        TwoPosSwitch sw(QStringLiteral("NIM"), QStringLiteral("TTL"));
        QCOMPARE(sw.onLabel() + sw.offLabel(), QStringLiteral("NIMTTL"));
        sw.resize(sw.sizeHint());
        QSignalSpy spy(&sw, &TwoPosSwitch::switchedByOperator);
        // The metal cap covers the live end of the slot; the other end shows the dark recess.
        auto lever = [&sw] {
            const QImage img = sw.grab().toImage();
            const int left = qGray(img.pixel(img.width() / 2 - 15, img.height() / 2));
            const int right = qGray(img.pixel(img.width() / 2 + 15, img.height() / 2));
            return left > 140 && right < 100 ? QStringLiteral("on") : right > 140 && left < 100 ? QStringLiteral("off") : QString();
        };
        QCOMPARE(lever(), QStringLiteral("off"));
        sw.setValue(true);
        QCOMPARE(lever(), QStringLiteral("on"));
        QTest::mouseClick(&sw, Qt::LeftButton);
        QCOMPARE(lever(), QStringLiteral("off"));
        QTest::keyClick(&sw, Qt::Key_Space);
        sw.setValue(false);
        QCOMPARE(reported(spy), QStringLiteral("01"));
    }

    void valueText()
    {
        Thermometer t(Qt::Vertical, nullptr);
        t.setRange(-20, 80);
        for (const auto &[value, text] : {std::pair{35.25, "35.25"}, {40.0, "40.0"}, {qQNaN(), "---"}}) {
            t.setValue(value);
            QCOMPARE(t.valueText(), QString::fromLatin1(text));
        }
        QCOMPARE(t.fillFraction(), 0.0); // of no value
    }

    // The column grows with the value, in proportion, and stops at the ends of the scale.
    void columnFollowsValue_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("size");
        QTest::newRow("vertical, tall panel") << int(Qt::Vertical) << QSize(37, 361);
        QTest::newRow("vertical, short panel") << int(Qt::Vertical) << QSize(37, 261);
        QTest::newRow("horizontal") << int(Qt::Horizontal) << QSize(245, 61);
    }
    void columnFollowsValue()
    {
        QFETCH(int, orientation);
        QFETCH(QSize, size);
        Thermometer t(Qt::Orientation(orientation), nullptr);
        t.resize(size);
        t.setRange(0, 100);
        auto at = [&](double v) {
            t.setValue(v);
            return redPixels(t);
        };
        const int below = at(-50), empty = at(0), quarter = at(25), threeQuarters = at(75),
                  full = at(100), over = at(250);
        QCOMPARE(below, empty);
        QVERIFY(empty > 0); // the bulb
        QVERIFY(quarter > empty && threeQuarters > quarter && full > threeQuarters);
        QCOMPARE(over, full);
        const double ratio = double(threeQuarters - empty) / (quarter - empty);
        QVERIFY2(ratio > 2.6 && ratio < 3.4, qPrintable(QString::number(ratio)));
        // A range given upside down shows the same; an empty range shows an empty column.
        t.setRange(100, 0);
        QCOMPARE(at(75), threeQuarters);
        t.setRange(50, 50);
        QCOMPARE(at(75), at(0));
    }

    void repaintsOnlyOnChange()
    {
        Thermometer t(Qt::Vertical, nullptr);
        t.resize(37, 361);
        auto setAll = [&t](double v) {
            t.setRange(0, 100);
            t.setValue(v);
            t.setCaption(QStringLiteral("Board Temperature (C°)"));
        };
        setAll(30);
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        QCoreApplication::processEvents();
        PaintCounter counter;
        t.installEventFilter(&counter);
        setAll(30);
        QCoreApplication::processEvents();
        QCOMPARE(counter.count, 0);
        t.setValue(31);
        QTRY_VERIFY(counter.count > 0);
    }

    // Enter, or leaving the field, commits the typed number once; then it shows formatted.
    void typedNumberCommitsOnce_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<double>("written");
        QTest::addColumn<QString>("shown");
        QTest::newRow("enter") << "2" << true << 2.0 << "2 kV";
        QTest::newRow("leaving, unit literal is not a scale") << "2.5 kV" << false << 2.5 << "2.5 kV";
    }
    void typedNumberCommitsOnce()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(double, written);
        QFETCH(QString, shown);
        Row row;
        row.first->setFormat(QStringLiteral(" \"kV\""));
        row.first->setValue(1.5);
        QSignalSpy spy(row.first, &NumField::committed);
        Row::type(row.first, typed);
        QCOMPARE(spy.count(), 0); // typing alone reports nothing
        if (enter) {
            QTest::keyClick(row.first, Qt::Key_Return);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(row.first->text(), typed); // stays as typed while focused
        }
        QTest::keyClick(row.first, Qt::Key_Tab); // after Enter: no second report
        QVERIFY(row.indicator->hasFocus());      // an indicator is a Tab stop, heard in its row
        QCOMPARE(spy.count(), 1);
        QCOMPARE(QVariantList({spy.at(0).at(0).toDouble(), row.first->value(), row.first->text()}), QVariantList({written, written, shown}));
    }

    // Refused text, Escape, focus passing through, Enter on untouched text and a switch to
    // another window commit nothing; a refusal shows the value again.
    void onlyRealEditsCommit()
    {
        Row row;
        row.first->setFormat(QStringLiteral(" \"V\""));
        row.first->setValue(100);
        QSignalSpy committed(row.first, &NumField::committed);
        Row::type(row.first, QStringLiteral("abc"));
        QTest::keyClick(row.first, Qt::Key_Return);
        QCOMPARE(row.first->text(), QStringLiteral("100 V"));
        // The field says so itself until the next edit: a red frame and the tooltip.
        QCOMPARE(row.first->toolTip(), QStringLiteral("\"abc\" is not a number: nothing was written."));
        QCOMPARE(row.first->grab().toImage().pixelColor(1, row.first->height() / 2), QColor(220, 0, 0));
        // The board's value arrives while the operator types; a refusal shows it.
        Row::type(row.first, QStringLiteral("12x"));
        QVERIFY(row.first->refusedText().isEmpty() && row.first->toolTip().isEmpty());
        row.first->setValue(120);
        QCOMPARE(row.first->text(), QStringLiteral("12x"));
        row.second->setFocus(Qt::TabFocusReason);
        QCOMPARE(row.first->text(), QStringLiteral("120 V"));
        // Escape drops the typing.
        Row::type(row.first, QStringLiteral("7"));
        QTest::keyClick(row.first, Qt::Key_Escape);
        QCOMPARE(row.first->text(), QStringLiteral("120 V"));
        row.second->setFocus(Qt::TabFocusReason);
        QCOMPARE(row.first->value(), 120.0);
        row.first->setFormat(QStringLiteral(" k\"V\""));
        row.first->setValue(1234.56); // shown rounded as 1.235 kV
        row.first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(row.first, Qt::Key_Return);
        QTest::keyClick(row.first, Qt::Key_Tab);
        QCOMPARE(row.first->value(), 1234.56);
        Row::type(row.first, QStringLiteral("42"));
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(row.first, &out);
        QCOMPARE(row.first->text(), QStringLiteral("42"));
        QCOMPARE(committed.count(), 0);
    }

    // An indicator shows values from code formatted, shrunk to fit a narrow column, repainted
    // only when its text changes, and ignores the operator.
    void indicatorShowsCodeValuesOnly()
    {
        Row row;
        NumField *f = row.indicator;
        const QFont full = f->font();
        f->setFormat(QStringLiteral(" \"kV\""));
        f->setValue(1500);
        QCOMPARE(f->text(), QStringLiteral("1500 kV"));
        f->setFormat(QStringLiteral(" k\"V\""));
        QCOMPARE(f->text(), QStringLiteral("1.5 kV"));
        QCoreApplication::processEvents();
        PaintCounter counter;
        f->installEventFilter(&counter);
        f->setValue(1500);
        f->setValue(1500.01); // same text at four digits
        f->setFormat(QStringLiteral(" k\"V\""));
        f->setIndicator(true);
        QCoreApplication::processEvents();
        QCOMPARE(counter.count, 0);
        f->setValue(1600);
        QTRY_VERIFY(counter.count > 0);
        QCOMPARE(f->text(), QStringLiteral("1.6 kV"));
        f->setFixedWidth(49); // a column of the panels
        f->setValue(-1234.6);
        QCOMPARE(f->text(), QStringLiteral("-1.235 kV"));
        QCoreApplication::processEvents(); // the layout applies the width
        // The line edit writes into its contents rectangle less 2 pixels each side.
        QStyleOptionFrame option;
        option.initFrom(f);
        option.lineWidth = f->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, f);
        const int room = f->style()->subElementRect(QStyle::SE_LineEditContents, &option, f).width() - 4;
        QVERIFY(QFontMetrics(f->font()).horizontalAdvance(f->text()) <= room);
        QCOMPARE(f->displayedText(), f->text());
        // Too long even at the smallest font: drawn elided at the end, the leading digits kept.
        f->setFormat(QString());
        f->setValue(-123456789.125);
        QCOMPARE(f->text(), QStringLiteral("-123456789"));
        QVERIFY(f->displayedText().startsWith(QStringLiteral("-123")) && f->displayedText().endsWith(QChar(0x2026)));
        f->setValue(5);
        QCOMPARE(f->font(), full); // short values in the full size again
        QCOMPARE(f->displayedText(), QStringLiteral("5"));
        // The operator can neither type into it nor click into it; Tab reaches it.
        f->setFormat(QStringLiteral(" k\"A\""));
        f->setValue(0.00015);
        QSignalSpy spy(f, &NumField::committed);
        QTest::keyClicks(f, QStringLiteral("5"));
        QTest::keyClick(f, Qt::Key_Return);
        QTest::mouseClick(f, Qt::LeftButton);
        QCOMPARE(f->text(), QStringLiteral("150 uA"));
        QCOMPARE(spy.count(), 0);
        QVERIFY(!f->hasFocus() && f->focusPolicy() == Qt::TabFocus);
        QCOMPARE(f->palette().color(QPalette::Base), Lib::toQColor(Lib::SysButtonFace));
        QCOMPARE(row.first->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        f->setIndicator(false);
        QCOMPARE(f->palette().color(QPalette::Base), Lib::toQColor(Lib::SysWindow));
        QCOMPARE(f->focusPolicy(), Qt::StrongFocus);
    }

    // Each kind of file is offered in the folder it was last saved to, the home folder at first.
    void saveDialogsStartWhereTheirKindWasSaved()
    {
        const QStringList csv{QStringLiteral("CSV data (*.csv)")};
        QCOMPARE(SaveFile::folderFor(QStringLiteral("events"), csv), QDir::homePath());
        SaveFile::remember(QStringLiteral("events"), csv, QDir::tempPath() + QStringLiteral("/e.csv"));
        QCOMPARE(SaveFile::folderFor(QStringLiteral("events"), csv), QDir::tempPath());
        QCOMPARE(SaveFile::folderFor(QStringLiteral("graph"), csv), QDir::homePath());
    }

    // A message nobody asked for cannot be closed unread by keys typed for another window.
    void anUnaskedMessageWithstandsTyping()
    {
        QStringList seen;
        QTimer::singleShot(50, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_Escape);
            seen << QString::number(box->isVisible());
            QTimer::singleShot(MsgBox::UnaskedGuardMs, [&seen, box] {
                QTest::keyClick(box, Qt::Key_Return);
                seen << QString::number(box->isVisible());
            });
        });
        MsgBox::tell(nullptr, QStringLiteral("Attention"), QStringLiteral("Board removed."), QMessageBox::Critical);
        QCOMPARE(seen, QStringList({"1", "0"}));
    }
};

QTEST_MAIN(TstWidgets)
#include "tst_widgets.moc"
