// The programs answer --version and --help anywhere, a display or none, and refuse an
// address --connect cannot use before any window: run as built, with every variable
// that names a display removed.
#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstLine"); // of the output, or of the errors when refused
        QTest::newRow("pylonet --version") << PYLONET_APP << QStringList{"--version"} << 0 << "Pylonet 1.3.3";
        QTest::newRow("pylonet -v") << PYLONET_APP << QStringList{"-v"} << 0 << "Pylonet 1.3.3";
        QTest::newRow("pylonet --help") << PYLONET_APP << QStringList{"--help"} << 0 << "Usage: " PYLONET_APP " [options]";
        QTest::newRow("pylonet-sim --version") << PYLONET_SIM << QStringList{"--version"} << 0 << "pylonet-sim 1.3.3";
        QTest::newRow("a bad --connect address") << PYLONET_APP << QStringList{"--connect", "10.0.0.300:47310"} << 2
                                                 << "--connect 10.0.0.300:47310: not an address such as 127.0.0.1 or "
                                                    "127.0.0.1:47310 (four numbers from 0 to 254, then an optional port from 1 to 65535)";
    }
    void answersWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, firstLine);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(program, arguments);
        QVERIFY(run.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(exitCode ? run.readAllStandardError() : run.readAllStandardOutput());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), exitCode);
        QCOMPARE(out.section(QLatin1Char('\n'), 0, 0), firstLine);
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
