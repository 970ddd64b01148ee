// The connection dialog, and Main connected through it: on the recording fake,
// and on the simulated crate over the real network client and a server on its
// own thread.
#include "shelltest.h"

#include "frmgraph.h"
#include "msgboxcatcher.h"
#include "netclient.h"
#include "simcrate.h"
#include "simserver.h"
#include "toplevels.h"

#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString Key = QStringLiteral("Pylonet/IPAddress");

QVariant stored() { return QSettings(QStringLiteral("Norvane"), QStringLiteral("Pylonet")).value(Key); }

void store(const QVariant &v)
{
    QSettings s(QStringLiteral("Norvane"), QStringLiteral("Pylonet"));
    v.isNull() ? s.remove(Key) : s.setValue(Key, v);
}

QLineEdit *box(QWidget *dlg, const QString &name) { return dlg->findChild<QLineEdit *>(name); }

// The four address boxes, then user name and password, as one text.
QString fields(QWidget *dlg)
{
    return collect(4, [&](int i) { return box(dlg, QStringLiteral("eIP_%1").arg(i))->text(); }).join('.') + " "
           + box(dlg, "txtUserName")->text() + "/" + box(dlg, "txtPassword")->text();
}

// Types as the operator would: clear each box, then keys.
void type(QWidget *dlg, const QStringList &address, const QString &user = {}, const QString &password = {})
{
    QStringList names{"eIP_0", "eIP_1", "eIP_2", "eIP_3", "txtUserName", "txtPassword"};
    const QStringList values = address + QStringList{user, password};
    for (int i = 0; i < (user.isEmpty() ? 4 : 6); ++i) {
        QLineEdit *e = box(dlg, names[i]);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        e->setCursorPosition(0);
        QTest::keyClicks(e, values[i]);
    }
}

void clickOK(QWidget *dlg) { QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton); }

// Main on a network client to the simulated crate.
struct SimRig : ShellRig
{
    SimServerThread server;
    SimRig()
    {
        main = std::make_unique<Main>(std::make_unique<NetClient>(server.port(), 2000, 2000));
        fake = nullptr; // went with the first Main
    }
    ~SimRig() { main.reset(); } // before the server
};
} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(QSettings(QStringLiteral("Norvane"), QStringLiteral("Pylonet")).fileName().contains("qttest"));
    }
    void init() { store({}); }

    // The defaults; a read right after the login that fails leaves Main disconnected and the
    // dialog there to try again; then the connect in order.
    void defaultsThenConnectInOrder()
    {
        ShellRig rig;
        MsgBoxCatcher boxes;
        rig.fake->slotCount = 6;
        rig.fake->crateProperties["ModelName"] = QStringLiteral("HV-CRATE 16");
        frmLogin *dlg = rig.openLogin();
        QVERIFY(dlg->isVisible() && dlg->isModal());
        QCOMPARE(QStringList({dlg->windowTitle(), fields(dlg), box(dlg, "txtPassword")->displayText()}),
                 QStringList({"Connect to ...", "127.0.0.1 wxqv/wxqv", "****"}));
        QTest::keyClick(dlg, Qt::Key_Escape); // Esc is Cancel: nothing happens
        QVERIFY(!dlg->isVisible());
        QCOMPARE(rig.disconnectedFaults(), QString());
        rig.fake->failOn = QStringList{"CrateProperty(ModelName)"};
        rig.connect();
        QCOMPARE(boxes.said(), QStringList{"Connection lost|The connection to the crate failed: fake failure in "
                                           "CrateProperty(ModelName). Pylonet is now disconnected."});
        QCOMPARE(rig.fake->calls, QStringList({"Login(wxqv,wxqv,0,127.0.0.1)", "QuerySlots(SlotCount)",
                                               "CrateProperty(ModelName)", "Logout()"}));
        QCOMPARE(rig.disconnectedFaults(), QString());
        QVERIFY(dlg->isVisible());
        rig.fake->failOn.clear();
        rig.fake->clear();
        QTest::keyClick(box(dlg, "txtPassword"), Qt::Key_Return); // Enter presses OK, the default button
        // The reads after the login end with the first poll's, so the slots are captioned at once.
        QCOMPARE(rig.fake->calls, QStringList({"Login(wxqv,wxqv,0,127.0.0.1)", "QuerySlots(SlotCount)",
                                               "CrateProperty(ModelName)", "QuerySlots(SlotCount,SlotModels)",
                                               "CrateProperty(FrontPanIn)", "CrateProperty(FrontPanOut)",
                                               "CrateProperty(SwRelease)"}));
        QVERIFY(!dlg->isVisible());
        QCOMPARE(stored().toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(rig.find<QLabel>("lblSysModel")->text(), QStringLiteral("HV-CRATE 16"));
        QVERIFY(rig.shown("lblSysModel") && rig.timer()->isActive());
        for (int i = 0; i < 16; ++i) // visible as the crate has them; the first tick enables
            QVERIFY(rig.slot(i)->isVisibleTo(rig.main.get()) == (i < 6) && !rig.slot(i)->isEnabled());
        QVERIFY(!rig.action("mConnect")->isEnabled() && rig.action("mDisconnect")->isEnabled()
                && rig.action("mExit")->isEnabled() && rig.action("mGraph")->isEnabled());
    }

    // "." moves on to the next box and each box selects its text on entry, so an address is
    // typed as it reads, and a box shows what was typed, no placeholders; each caption is the
    // buddy of its box, reached by its mnemonic.
    void addressTypedAsItReads()
    {
        ShellRig rig;
        frmLogin *dlg = rig.openLogin();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        box(dlg, "eIP_0")->setFocus(Qt::TabFocusReason);
        for (const char c : QByteArray("10.1.2.3"))
            QTest::keyClick(QApplication::focusWidget(), c);
        QCOMPARE(fields(dlg), QStringLiteral("10.1.2.3 wxqv/wxqv"));
        QCOMPARE(box(dlg, "eIP_1")->displayText(), QStringLiteral("1"));
        QStringList buddies;
        for (int i = 0; i < 3; ++i) {
            auto *caption = dlg->findChild<QLabel *>(QStringLiteral("lblLabels_%1").arg(i));
            QTest::keyClick(dlg, caption->text().at(caption->text().indexOf('&') + 1).toLatin1(), Qt::AltModifier);
            buddies << caption->text() + " " + dlg->focusWidget()->objectName();
        }
        QCOMPARE(buddies, QStringList({"&User Name: txtUserName", "&Password: txtPassword", "&IP Address: eIP_0"}));
    }

    void addressCheckAtItsEdges()
    {
        const QList<QPair<QStringList, bool>> cases{
            {{"10", "0", "0", "5"}, true}, {{"254", "254", "254", "254"}, true}, {{"010", "001", "000", "009"}, true},
            {{"192", "168", "1", "255"}, false}, {{"256", "168", "1", "1"}, false}, {{"10", "", "0", "1"}, false},
            {{"10", "ab", "0", "1"}, false}, {{"10", "1", "   ", "1"}, false}};
        for (const auto &[parts, valid] : cases) {
            ShellRig rig;
            MsgBoxCatcher boxes;
            frmLogin *dlg = rig.openLogin();
            type(dlg, parts);
            const QString typed = fields(dlg);
            clickOK(dlg);
            const QString seen = boxes.shown.isEmpty() ? rig.fake->calls.value(0)
                                                       : boxes.shown[0].title + "|" + boxes.shown[0].text;
            QCOMPARE(seen, valid ? QStringLiteral("Login(wxqv,wxqv,0,%1)").arg(parts.join('.'))
                                 : QStringLiteral("IP Address|IP Address not valid."));
            if (!valid)
                QVERIFY(rig.fake->calls.isEmpty() && dlg->isVisible() && fields(dlg) == typed);
        }
        for (const char *bad : {"", " ", "-1", "1 2"}) // text the boxes do not take
            QVERIFY(!frmLogin::isValidAddress({"1", "2", "3", QString::fromLatin1(bad)}));
    }

    void failedLoginKeepsEverythingAndTheNextConnectShowsIt()
    {
        ShellRig rig;
        store("10.9.8.7");
        MsgBoxCatcher boxes;
        rig.fake->loginFails = true;
        frmLogin *dlg = rig.openLogin();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        type(dlg, {"192", "168", "10", "20"}, "alice", "s3cret");
        clickOK(dlg);
        QCOMPARE(boxes.said(), QStringList{"Connect ...|Login failed."});
        QCOMPARE(boxes.shown[0].detail, QStringLiteral("Wrong user name or password")); // the link's reason
        QCOMPARE(rig.fake->calls, QStringList{"Login(alice,s3cret,0,192.168.10.20)"});
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->focusWidget(), box(dlg, "txtUserName"));
        QCOMPARE(box(dlg, "txtUserName")->selectedText(), QStringLiteral("alice")); // typing replaces it
        QCOMPARE(stored().toString(), QStringLiteral("10.9.8.7")); // a failed attempt changes nothing
        QTest::mouseClick(dlg->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(rig.disconnectedFaults(), QString());
        // The same dialog comes back with what was typed, not with the stored address.
        QCOMPARE(rig.openLogin(), dlg);
        QCOMPARE(fields(dlg), QStringLiteral("192.168.10.20 alice/s3cret"));
    }

    void storedAddressRoundTrip_data()
    {
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QString>("shown");
        QTest::newRow("stored address") << QVariant("192.168.1.20") << "192.168.1.20";
        QTest::newRow("three parts") << QVariant("10.0.1") << "127.0.0.1";
        QTest::newRow("not an address") << QVariant("crate-7") << "127.0.0.1";
        QTest::newRow("five parts: first four") << QVariant("10.1.2.3.4") << "10.1.2.3";
    }
    void storedAddressRoundTrip()
    {
        QFETCH(QVariant, before);
        QFETCH(QString, shown);
        store(before);
        {
            ShellRig rig;
            QCOMPARE(fields(rig.connect()), shown + " wxqv/wxqv");
            QVERIFY(rig.main->isConnected());
        }
        QCOMPARE(stored().toString(), shown); // what connected is what the next run shows
    }

    void overviewFollowsTheCrateAndSurvivesItsLink()
    {
        SimRig rig;
        SimCrate &crate = rig.server.crate();
        MsgBoxCatcher boxes;
        rig.connect(); // the dialog's defaults are the simulator's default account on 127.0.0.1
        QCOMPARE(rig.find<QLabel>("lblSysModel")->text(), crate.crateProperty("ModelName").toString());
        QVERIFY(rig.poll());
        const QVariantList models = crate.slotModels();
        for (int i = 0; i < crate.slotCount() && i < 16; ++i) {
            const QString model = models.value(i).toString();
            QCOMPARE(rig.slot(i)->text(), model.isEmpty() ? QStringLiteral("Slot %1 - Empty ").arg(i)
                                                           : QStringLiteral("Slot %1 - %2").arg(i).arg(model));
            QCOMPARE(rig.slot(i)->isEnabled(), isSupportedModel(model));
        }
        // The link drops under the poll: one message, disconnected.
        rig.server.dropAllConnections();
        QVERIFY(rig.poll() && rig.poll());
        QCOMPARE(boxes.said(), QStringList{"Connection lost|The connection to the crate failed: Connection to the crate "
                                           "lost. Pylonet is now disconnected."});
        QCOMPARE(rig.disconnectedFaults(), QString());
        rig.connect(); // and the operator connects again, then leaves
        QVERIFY(rig.main->isConnected());
        rig.action("mDisconnect")->trigger();
        QCOMPARE(boxes.shown.size(), 1);
        QTRY_COMPARE(rig.server.connectionCount(), 0); // Logout closed the session
    }

    // A dead link under the main window, two panels and a graph window: every
    // window closes, and the operator hears of it once. A deliberate disconnect
    // with a panel left open: the same, once.
    void aDeadLinkIsToldOnce()
    {
        SimRig rig;
        MsgBoxCatcher boxes;
        rig.connect();
        QList<QPointer<QWidget>> windows;
        for (int slot : {0, 1})
            windows << openSlot(*rig.main, slot, false);
        QVERIFY(windows[0] && windows[1]);
        rig.main->openGraphWindow();
        auto *graph = qobject_cast<frmGraph *>(topLevels("frmGraph").value(0));
        windows << graph;
        graph->addParameter({0, 2, QStringLiteral("VMon"), QStringLiteral("tvSysTree")});
        QTRY_COMPARE(graph->plots().Count(), 1);
        rig.server.dropAllConnections();
        for (int round = 0; round < 2; ++round) {
            for (const QPointer<QWidget> &w : windows) {
                if (auto *panel = qobject_cast<BoardPanel *>(w.data()))
                    panel->ChMonTick();
                else if (auto *graph = qobject_cast<frmGraph *>(w.data()))
                    graph->tick();
            }
            rig.main->Timer1Tick();
        }
        QTRY_VERIFY(std::none_of(windows.begin(), windows.end(), [](const QPointer<QWidget> &w) { return w && w->isVisible(); }));
        QTRY_COMPARE(rig.disconnectedFaults(), QString()); // the main window learns of it through its own poll's answer
        QCOMPARE(boxes.said(), QStringList{"Connection lost|The connection to the crate failed: Connection to the crate "
                                           "lost. The windows reading from it are closed."});
        rig.connect();
        BoardPanel *left = openSlot(*rig.main, 1, false);
        QVERIFY(left);
        rig.action("mDisconnect")->trigger(); // on purpose: the panel stays, quiet, and nothing is said
        left->ChMonTick();
        QTest::qWait(50);
        QVERIFY(left->isVisible() && left->isVeiled());
        QCOMPARE(boxes.shown.size(), 1);
    }

    // At the first encrypted connection the dialog asks about the crate's
    // certificate, as the program wires it; once trusted, the fingerprint is shown.
    void anEncryptedLinkShowsTheCrateCertificate()
    {
        SimRig rig;
        const QString cert = QFINDTESTDATA("../link/tls/test-crate.crt"), key = QFINDTESTDATA("../link/tls/test-crate.key");
        rig.server.server().onServer([&](LinkServer &s) { s.setTls(cert, key); });
        auto &client = static_cast<NetClient &>(rig.main->hv());
        client.setTrustAsker([&rig](const CrateTrust::Question &q) {
            return frmLogin::confirmCertificate(rig.main->loginDialog(), q.crate, q.fingerprint, q.trusted);
        });
        MsgBoxCatcher boxes;
        MsgBox::setAnswer(true); // "Trust this crate"
        const auto answer = qScopeGuard([] { MsgBox::setAnswer(false); });
        rig.connect();
        const QString fingerprint = rig.main->hv().linkFingerprint();
        QCOMPARE(fingerprint.size(), 32 * 3 - 1);
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(boxes.shown[0].text.startsWith(QStringLiteral("This is the first encrypted connection to the crate at 127.0.0.1:%1. "
                                                             "Its certificate's SHA-256 fingerprint is:\n\n%2\n\n")
                                                   .arg(rig.server.port()).arg(fingerprint)));
        QVERIFY(rig.main->linkStatus().endsWith(QStringLiteral("encrypted, certificate SHA-256 ") + fingerprint));
        rig.action("mAbout")->trigger();
        QPointer<QDialog> about = rig.main->findChild<QDialog *>("frmAbout");
        QVERIFY(about && about->findChild<QLabel *>("lblSession")->text().endsWith(fingerprint));
        about->close();
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
