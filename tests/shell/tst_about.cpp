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
        QVERIFY(about && about->isVisible() && about->isModal());
        QStringList seen{about->windowTitle()};
        for (const char *name : {"lblTitle", "lblVersion", "lblDescription"})
            seen << about->findChild<QLabel *>(name)->text();
        QCOMPARE(seen, QStringList({"About Pylonet", "Pylonet", "Version 1.3.3", "Remote control of HV boards."}));
        QVERIFY(about->findChild<QLabel *>("lblLegal")->text().startsWith("Copyright (C) 2026"));
        QVERIFY(about->findChild<QLabel *>("Label1")->text().contains('@'));
        QVERIFY(!about->findChild<QLabel *>("picIcon")->pixmap().isNull());
        // OK the first time, Esc the second: both close and unload it.
        if (showing == 0)
            QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        else
            QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!about);
    }
}

void TestAbout::splashHandsOverOnce_data()
{
    QTest::addColumn<QString>("trigger");
    for (const char *t : {"key", "timer", "lblVersion"})
        QTest::newRow(t) << QString::fromLatin1(t);
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
    QVERIFY(timer->isActive() && timer->interval() == 2500);
    QVERIFY(!rig.main->isVisible());

    if (trigger == "key")
        QTest::keyClick(splash, Qt::Key_Space);
    else if (trigger == "timer")
        QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
    else
        QTest::mouseClick(splash->findChild<QWidget *>(trigger), Qt::LeftButton);
    QVERIFY(rig.main->isVisible());
    QVERIFY(!splash->isVisible());

    // A second trigger before the splash is gone does nothing: a hidden Main stays hidden.
    rig.main->hide();
    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
    QTest::keyClick(splash, Qt::Key_Escape);
    QVERIFY(!rig.main->isVisible());
    QTRY_VERIFY(!splash);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
