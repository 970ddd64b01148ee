#include "lamp.h"
#include "twoposswitch.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// Counts paint events reaching a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

QColor centrePixel(QWidget &w)
{
    const QImage img = w.grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

int distance(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}
} // namespace

class TestLamp : public QObject
{
    Q_OBJECT
private slots:
    void lampShowsLitAndDarkColours();
    void lampValueFromCodeNeverReportsAndSkipsNeedlessRepaint();
    void switchableLampTogglesOnClickAndSpace();
    void indicatorLampIgnoresOperator();
    void switchLeverFollowsValueAndOperator();
};

// A person must tell a lit lamp from a dark one, in the configured colours.
void TestLamp::lampShowsLitAndDarkColours()
{
    Lamp lamp;
    lamp.resize(24, 24);
    lamp.setOnColor(QColor(255, 0, 0));
    lamp.setOffColor(QColor(60, 0, 0));
    lamp.setValue(true);
    QColor c = centrePixel(lamp);
    QVERIFY2(distance(c, lamp.onColor()) < distance(c, lamp.offColor()), qPrintable(c.name()));
    QVERIFY(c.red() > 200 && c.green() < 120);

    lamp.setValue(false);
    c = centrePixel(lamp);
    QVERIFY2(distance(c, lamp.offColor()) < distance(c, lamp.onColor()), qPrintable(c.name()));

    // Changing the lit colour of a dark lamp shows when it lights.
    lamp.setOnColor(QColor(0, 0, 255));
    lamp.setValue(true);
    c = centrePixel(lamp);
    QVERIFY2(c.blue() > 200 && c.red() < 120, qPrintable(c.name()));
}

void TestLamp::lampValueFromCodeNeverReportsAndSkipsNeedlessRepaint()
{
    Lamp lamp;
    lamp.setSwitchable(true);
    QSignalSpy spy(&lamp, &Lamp::switchedByOperator);
    lamp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lamp));

    PaintCounter counter;
    lamp.installEventFilter(&counter);
    lamp.setValue(true);
    lamp.setValue(true);
    QTRY_VERIFY(counter.paints >= 1);
    QCoreApplication::processEvents();
    const int afterChange = counter.paints;
    lamp.setValue(true); // unchanged: the once-a-second poll must not repaint every lamp
    QCoreApplication::processEvents();
    QTest::qWait(20);
    QCOMPARE(counter.paints, afterChange);
    lamp.setValue(false);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!lamp.value());
}

void TestLamp::switchableLampTogglesOnClickAndSpace()
{
    Lamp lamp;
    lamp.resize(20, 20);
    lamp.setSwitchable(true);
    QVERIFY(lamp.focusPolicy() & Qt::TabFocus);
    QSignalSpy spy(&lamp, &Lamp::switchedByOperator);

    QTest::mouseClick(&lamp, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QVERIFY(lamp.value());

    QTest::keyClick(&lamp, Qt::Key_Space);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toBool(), false);
    QVERIFY(!lamp.value());
}

void TestLamp::indicatorLampIgnoresOperator()
{
    QWidget parent;
    Lamp lamp(&parent);
    lamp.resize(20, 20);
    QSignalSpy spy(&lamp, &Lamp::switchedByOperator);
    QCOMPARE(lamp.focusPolicy(), Qt::NoFocus);

    QTest::mouseClick(&lamp, Qt::LeftButton);
    QTest::keyClick(&lamp, Qt::Key_Space);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!lamp.value());
}

void TestLamp::switchLeverFollowsValueAndOperator()
{
    TwoPosSwitch sw(QStringLiteral("NIM"), QStringLiteral("TTL"));
    QCOMPARE(sw.onLabel(), QStringLiteral("NIM"));
    QCOMPARE(sw.offLabel(), QStringLiteral("TTL"));
    sw.resize(sw.sizeHint());
    QSignalSpy spy(&sw, &TwoPosSwitch::switchedByOperator);

    // The lever covers the live end: the two positions look like mirror images, not alike.
    const QImage off = sw.grab().toImage();
    sw.setValue(true);
    const QImage on = sw.grab().toImage();
    QVERIFY(off != on);
    QCOMPARE(spy.count(), 0);
    // The metal cap sits at the live end of the slot; the other end shows the dark recess.
    auto leverAt = [](const QImage &img) {
        const int cx = img.width() / 2, cy = img.height() / 2;
        const int left = qGray(img.pixel(cx - 15, cy)), right = qGray(img.pixel(cx + 15, cy));
        if (left > 140 && right < 100)
            return QStringLiteral("left");
        if (right > 140 && left < 100)
            return QStringLiteral("right");
        return QStringLiteral("unclear %1/%2").arg(left).arg(right);
    };
    QCOMPARE(leverAt(on), QStringLiteral("left"));
    QCOMPARE(leverAt(off), QStringLiteral("right"));

    QTest::mouseClick(&sw, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QVERIFY(!sw.value());
    QTest::keyClick(&sw, Qt::Key_Space);
    QCOMPARE(spy.count(), 2);
    QVERIFY(sw.value());
    sw.setValue(false);
    QCOMPARE(spy.count(), 2);
}

QTEST_MAIN(TestLamp)
#include "tst_lamp.moc"
