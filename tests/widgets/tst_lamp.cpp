#include "lamp.h"
#include "paintcounter.h"
#include "twoposswitch.h"

#include <QSignalSpy>
#include <QTest>

namespace {
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
} // namespace

class TestLamp : public QObject
{
    Q_OBJECT
private slots:
    void lampShowsItsColoursAndOnlyTheOperatorSwitchesIt();
    void switchLeverShowsThePositionAndOnlyTheOperatorMovesIt();
};

void TestLamp::lampShowsItsColoursAndOnlyTheOperatorSwitchesIt()
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

void TestLamp::switchLeverShowsThePositionAndOnlyTheOperatorMovesIt()
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

QTEST_MAIN(TestLamp)
#include "tst_lamp.moc"
