#include "paintcounter.h"
#include "thermometer.h"

#include <QImage>
#include <QTest>
#include <limits>

namespace {
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
} // namespace

class TstThermometer : public QObject
{
    Q_OBJECT
private slots:
    void valueText()
    {
        Thermometer t(Qt::Vertical, nullptr);
        t.setRange(-20, 80);
        t.setValue(35.25);
        QCOMPARE(t.valueText(), QStringLiteral("35.25"));
        t.setValue(40);
        QCOMPARE(t.valueText(), QStringLiteral("40.0"));
        t.setValue(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(t.valueText(), QStringLiteral("---"));
        QCOMPARE(t.fillFraction(), 0.0);
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
};

QTEST_MAIN(TstThermometer)
#include "tst_thermometer.moc"
