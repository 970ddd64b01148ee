#include "shelltest.h"

#include "appinfo.h"
#include "frmabout.h"
#include "frmsplash.h"

class TestAbout : public QObject
{
    Q_OBJECT
private slots:

    void aboutShowsTheSameTextsEachTime()
    {
        ShellRig rig;
        for (int showing = 0; showing < 2; ++showing) {
            rig.action("mAbout")->trigger();
            QPointer<frmAbout> about = rig.main->findChild<frmAbout *>();
            QVERIFY(about && about->isVisible() && about->isModal());
            QStringList seen{about->windowTitle()};
            for (const char *name : {"lblTitle", "lblVersion", "lblDescription", "lblLegal", "Label1"})
                seen << about->findChild<QLabel *>(name)->text();
            QCOMPARE(seen, QStringList({"About Pylonet", "Pylonet", "Version 1.3.3", "Remote control of HV boards.",
                                        "Copyright (C) 2026 the Pylonet developers. Distributed without warranty.",
                                        "Support: pylonet-support@example.org"}));
            // OK the first time, Esc the second: both close and unload it.
            if (showing == 0)
                QTest::mouseClick(about->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
            else
                QTest::keyClick(about, Qt::Key_Escape);
            QTRY_VERIFY(!about);
        }
    }

    // What the platform and --version read.
    void registeredWithQt()
    {
        AppInfo::registerWithQt();
        QCOMPARE(QStringList({QCoreApplication::applicationName(), QCoreApplication::organizationName(),
                              QCoreApplication::applicationVersion(), QGuiApplication::desktopFileName()}),
                 QStringList({"Pylonet", "Norvane", "1.3.3", "pylonet"}));
    }

    void splashHandsOverOnce()
    {
        for (const QString trigger : {"key", "timer", "lblVersion"}) {
            ShellRig rig;
            QPointer<frmSplash> splash = new frmSplash(*rig.main);
            splash->show();
            QCOMPARE(splash->findChild<QLabel *>("lblProductName")->text() + " "
                         + splash->findChild<QLabel *>("lblVersion")->text(), QStringLiteral("Pylonet Release 1.3.3"));
            QVERIFY(!splash->findChild<QLabel *>("imgLogo")->pixmap().isNull());
            auto *timer = splash->findChild<QTimer *>("Timer1");
            QVERIFY(timer->isActive() && !rig.main->isVisible());
            if (trigger == "key")
                QTest::keyClick(splash, Qt::Key_Space);
            else if (trigger == "timer")
                QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
            else
                QTest::mouseClick(splash->findChild<QWidget *>(trigger), Qt::LeftButton);
            QVERIFY(rig.main->isVisible() && !splash->isVisible());
            // A second trigger before the splash is gone does nothing: a hidden Main stays hidden.
            rig.main->hide();
            QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
            QTest::keyClick(splash, Qt::Key_Escape);
            QVERIFY(!rig.main->isVisible());
            QTRY_VERIFY(!splash);
        }
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
