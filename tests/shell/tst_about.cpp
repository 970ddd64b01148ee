#include "shelltest.h"

#include "frmabout.h"
#include "frmsplash.h"

#include <QStandardPaths>

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void aboutShowsTheSameTextsEachTime();
    void splashHandsOverOnce_data();
    void splashHandsOverOnce();
};

void TestAbout::aboutShowsTheSameTextsEachTime()
{
    ShellRig rig;
    for (int showing = 0; showing < 2; ++showing) {
        rig.action("mAbout")->trigger();
        QPointer<frmAbout> about = rig.main->findChild<frmAbout *>();
        QVERIFY(about && about->isVisible());
        QVERIFY(about->isModal());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Pylonet"));
        QCOMPARE(about->findChild<QLabel *>("lblTitle")->text(), QStringLiteral("Pylonet"));
        QCOMPARE(about->findChild<QLabel *>("lblVersion")->text(), QStringLiteral("Version 1.3.3"));
        QCOMPARE(about->findChild<QLabel *>("lblDescription")->text(), QStringLiteral("Remote control of HV boards."));
        QVERIFY(about->findChild<QLabel *>("lblLegal")->text().startsWith("Copyright (C) 2026"));
        QVERIFY(about->findChild<QLabel *>("Label1")->text().contains('@'));
        QVERIFY(!about->findChild<QLabel *>("picIcon")->pixmap().isNull());
        auto *ok = about->findChild<QPushButton *>("cmdOK");
        QVERIFY(ok->isDefault());

        // OK the first time, Esc the second: both close and unload it.
        if (showing == 0)
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!about);
    }
    QVERIFY(rig.fake->calls.isEmpty());
}

void TestAbout::splashHandsOverOnce_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("key") << "key";
    QTest::newRow("click on the logo") << "imgLogo";
    QTest::newRow("click on the release") << "lblVersion";
    QTest::newRow("click on the frame") << "Frame1";
    QTest::newRow("timer") << "timer";
}

void TestAbout::splashHandsOverOnce()
{
    QFETCH(QString, trigger);
    ShellRig rig;
    QPointer<frmSplash> splash = new frmSplash(*rig.main);
    splash->show();
    QCOMPARE(splash->findChild<QLabel *>("lblProductName")->text(), QStringLiteral("Pylonet"));
    QCOMPARE(splash->findChild<QLabel *>("lblVersion")->text(), QStringLiteral("Release 1.3.3"));
    QCOMPARE(splash->findChild<QLabel *>("imgLogo")->pixmap().size(), QSize(100, 42));
    auto *timer = splash->findChild<QTimer *>("Timer1");
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 2500);
    QVERIFY(!rig.main->isVisible());

    if (trigger == "key")
        QTest::keyClick(splash, Qt::Key_Space);
    else if (trigger == "timer")
        QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
    else
        QTest::mouseClick(splash->findChild<QWidget *>(trigger), Qt::LeftButton);

    QVERIFY(rig.main->isVisible());
    QVERIFY(!splash->isVisible());

    // A second trigger before the splash is gone finds nothing to do: a hidden Main stays hidden.
    rig.main->hide();
    QVERIFY(splash);
    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
    QTest::keyClick(splash, Qt::Key_Escape);
    QVERIFY(!rig.main->isVisible());
    QTRY_VERIFY(!splash);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
