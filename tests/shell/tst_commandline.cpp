// The programs answer --version and --help anywhere, a display or none: run as
// built, with every variable that names a display removed.
#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("pylonet --version") << PYLONET_APP << "--version" << "Pylonet 1.3.3";
        QTest::newRow("pylonet -v") << PYLONET_APP << "-v" << "Pylonet 1.3.3";
        QTest::newRow("pylonet --help") << PYLONET_APP << "--help" << "Usage: " PYLONET_APP " [options]";
        QTest::newRow("pylonet-sim --version") << PYLONET_SIM << "--version" << "pylonet-sim 1.3.3";
    }
    void answersWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QString, firstLine);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(program, {option});
        QVERIFY(run.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(out.section(QLatin1Char('\n'), 0, 0), firstLine);
    }

    // An address --connect cannot use is refused before any window, saying the form it wants.
    void aBadConnectAddressIsRefused()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(PYLONET_APP, {"--connect", "10.0.0.300:47310"});
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitCode(), 2);
        QVERIFY(QString::fromLocal8Bit(run.readAllStandardError()).startsWith("--connect 10.0.0.300:47310: not an address such as 127.0.0.1"));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
