// The windows of a session come back with their history: after a restart
// (every object rebuilt over the same database file and settings) through
// "Reopen last windows", and by themselves when a lost link is connected again.
// `--connect` asks only for the password; the dialog offers the crates connected to before.
#include "../archive/shelf.h"
#include "frmgraph.h"
#include "msgboxcatcher.h"
#include "shelltest.h"
#include "toplevels.h"
#include "tracegraph.h"

#include <QComboBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
// One run of the program on the database file: the archive outlives the main window.
struct Run
{
    FakeHV *fake = new FakeHV; // owned by main
    std::unique_ptr<Shelf> shelf;
    std::unique_ptr<Main> main;

    explicit Run(const QString &path) : shelf(std::make_unique<Shelf>(path))
    {
        fake->setBoard(2, QStringLiteral("Q310"), 14);
        main = std::make_unique<Main>(std::unique_ptr<HVPowerSupply>(fake), &shelf->archive);
    }
    void connect()
    {
        main->findChild<QAction *>(QStringLiteral("mConnect"))->trigger();
        auto *ok = main->loginDialog()->findChild<QPushButton *>(QStringLiteral("cmdOK"));
        ok->click();
        QVERIFY(QTest::qWaitFor([ok] { return ok->isEnabled(); }, 5000));
        QVERIFY(main->isConnected());
    }
};

// The one visible graph window, if there is exactly one.
frmGraph *theGraph()
{
    QList<QWidget *> found = topLevels("frmGraph");
    found.removeIf([](const QWidget *w) { return !w->isVisible(); });
    return found.size() == 1 ? qobject_cast<frmGraph *>(found.first()) : nullptr;
}
} // namespace

class TestWorkspace : public QObject
{
    Q_OBJECT
    QTemporaryDir m_settings; // this test's own settings store

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }

    void theWindowsComeBackWithTheirHistory_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("restart, then Reopen last windows") << true;
        QTest::newRow("lost link, then Connect") << false;
    }
    void theWindowsComeBackWithTheirHistory()
    {
        QFETCH(bool, restart);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("pylonet.sqlite"));
        auto run = std::make_unique<Run>(file);
        run->connect();
        QVERIFY(openSlot(*run->main, 2, false));
        frmGraph *graph = run->main->openGraphWindow();
        graph->findChild<QTimer *>(QStringLiteral("Timer1"))->stop(); // the test ticks
        qint64 now = (QDateTime::currentMSecsSinceEpoch() - 3600 * 1000) / 1000 * 1000;
        graph->setClock([&now] { return now; });
        graph->addParameter({2, 3, QStringLiteral("VMon"), QStringLiteral("tvSysTree")}); // sampled at once
        now += 1000;
        for (int i = 0; i < 4; ++i, now += 1000)
            graph->tick();
        const QVector<qint64> times = graph->graph()->traceTimes(0);
        QCOMPARE(times.size(), 5);
        graph->graph()->showTimeRange(times.first() - 60000, times.last() + 60000);
        graph->resize(700, 420);
        run->main->Timer1Tick(); // the poll answers: the windows as they stand now are the picture kept

        MsgBoxCatcher boxes;
        if (restart) {
            run->main->resize(640, 480);
            run->main->close(); // the end of the run
            run.reset();
            run = std::make_unique<Run>(file);
            run->main->restoreSavedGeometry();
            QCOMPARE(run->main->size(), QSize(640, 480));
            run->connect();
            QAction *reopen = run->main->findChild<QAction *>(QStringLiteral("mReopen"));
            QVERIFY(reopen->isEnabled());
            reopen->trigger();
            QVERIFY(!reopen->isEnabled()); // once
        } else {
            // The link dies: every read fails, the windows close, the main window goes down.
            run->fake->failOn = QStringList{QStringLiteral("ParamValue"), QStringLiteral("QuerySlots"),
                                            QStringLiteral("CrateProperty")};
            graph->tick();
            run->main->Timer1Tick();
            QTRY_VERIFY(!run->main->isConnected() && !theGraph());
            run->fake->failOn.clear();
            run->connect();
        }
        QTRY_VERIFY(findWindowByTag(QStringLiteral("Mon2")));
        QTRY_VERIFY(theGraph());
        frmGraph *back = theGraph();
        QCOMPARE(back->plots().Count(), 1);
        QCOMPARE(back->size(), QSize(700, 420));
        QTRY_VERIFY(back->graph()->traceTimes(0).size() > times.size());
        QCOMPARE(back->graph()->traceTimes(0).mid(0, times.size()), times);
        QCOMPARE(QList<qint64>({back->graph()->viewStart(), back->graph()->viewEnd()}),
                 QList<qint64>({times.first() - 60000, times.last() + 60000}));
    }

    void connectAtStartAsksOnlyThePassword()
    {
        QTemporaryDir dir;
        Run run(dir.filePath(QStringLiteral("pylonet.sqlite")));
        run.connect(); // 127.0.0.1, remembered with its user
        run.main->mDisconnectClick();
        run.main->connectTo(QStringLiteral("127.0.0.5"));
        frmLogin *login = run.main->loginDialog();
        QVERIFY(login->isVisible());
        QCOMPARE(login->address(), QStringLiteral("127.0.0.5"));
        QCOMPARE(login->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->text(), QString::fromLatin1(frmLogin::DefaultAccount));
        QVERIFY(login->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text().isEmpty());
        auto *recent = login->findChild<QComboBox *>(QStringLiteral("cboRecent"));
        QCOMPARE(recent->itemText(1), QStringLiteral("127.0.0.1"));
        recent->activated(1); // choosing it fills the address in
        QCOMPARE(login->address(), QStringLiteral("127.0.0.1"));
    }
};

QTEST_MAIN(TestWorkspace)
#include "tst_workspace.moc"
