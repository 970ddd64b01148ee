#include "shelltest.h"

#include "msgboxcatcher.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
QVariant storedAddress()
{
    return QSettings(QStringLiteral("Norvane"), QStringLiteral("Pylonet")).value(QStringLiteral("Pylonet/IPAddress"));
}

void setStoredAddress(const QVariant &v)
{
    QSettings s(QStringLiteral("Norvane"), QStringLiteral("Pylonet"));
    if (v.isNull())
        s.remove(QStringLiteral("Pylonet/IPAddress"));
    else
        s.setValue(QStringLiteral("Pylonet/IPAddress"), v);
}

QLineEdit *box(QWidget *dlg, const QString &name)
{
    return dlg->findChild<QLineEdit *>(name);
}

QStringList ipBoxes(QWidget *dlg)
{
    QStringList parts;
    for (int i = 0; i < 4; ++i)
        parts << box(dlg, QStringLiteral("eIP_%1").arg(i))->text();
    return parts;
}

// Types into a box as the operator would: select all, then keys.
void retype(QLineEdit *e, const QString &text)
{
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    e->setCursorPosition(0);
    QTest::keyClicks(e, text);
}

void typeAddress(QWidget *dlg, const QStringList &parts)
{
    for (int i = 0; i < 4; ++i)
        retype(box(dlg, QStringLiteral("eIP_%1").arg(i)), parts[i]);
}
} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // Never the developer's own settings.
        QVERIFY(QSettings(QStringLiteral("Norvane"), QStringLiteral("Pylonet")).fileName().contains("qttest"));
    }
    void init() { setStoredAddress({}); }

    void firstConnectShowsDefaults();
    void connectSequenceCallsTheCrateInOrder();
    void addressCheckAtItsEdges_data();
    void addressCheckAtItsEdges();
    void loginFailureKeepsEverything();
    void secondConnectShowsTheLastTypedValues();
    void storedAddressRoundTrip_data();
    void storedAddressRoundTrip();
    void failureAfterLoginLeavesMainDisconnected();
};

void TestLogin::firstConnectShowsDefaults()
{
    ShellRig rig;
    QVERIFY(!rig.main->loginDialog());
    rig.action("mConnect")->trigger();
    frmLogin *dlg = rig.main->loginDialog();
    QVERIFY(dlg && dlg->isVisible());
    QVERIFY(dlg->isModal());
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Connect to ..."));
    QCOMPARE(ipBoxes(dlg), QStringList({"127", "0", "0", "1"}));
    QCOMPARE(box(dlg, "txtUserName")->text(), QStringLiteral("wxqv"));
    QCOMPARE(box(dlg, "txtPassword")->text(), QStringLiteral("wxqv"));
    QCOMPARE(box(dlg, "txtPassword")->displayText(), QStringLiteral("****"));
    QCOMPARE(box(dlg, "eIP_2")->displayText(), QStringLiteral("0__"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(dlg->findChild<QLabel *>(QStringLiteral("lblPunto_%1").arg(i))->text(), QStringLiteral("."));
    QCOMPARE(dlg->findChild<QLabel *>("lblLabels_0")->text(), QStringLiteral("User Name:"));
    QCOMPARE(dlg->findChild<QLabel *>("lblLabels_1")->text(), QStringLiteral("Password:"));
    QCOMPARE(dlg->findChild<QLabel *>("lblLabels_2")->text(), QStringLiteral("IP Address:"));
    QVERIFY(dlg->findChild<QPushButton *>("cmdOK")->isDefault());
    QVERIFY(rig.fake->calls.isEmpty());

    // Esc answers Cancel: the dialog hides, Main stays disconnected and untouched.
    QTest::keyClick(dlg, Qt::Key_Escape);
    QVERIFY(!dlg->isVisible());
    QVERIFY(!rig.main->isConnected());
    QVERIFY(rig.fake->calls.isEmpty());
}

void TestLogin::connectSequenceCallsTheCrateInOrder()
{
    ShellRig rig;
    rig.fake->slotCount = 6;
    rig.fake->crateProperties["ModelName"] = QStringLiteral("HV-CRATE 16");
    rig.action("mConnect")->trigger();
    frmLogin *dlg = rig.main->loginDialog();
    // Enter in a field presses the default button.
    QTest::keyClick(box(dlg, "txtPassword"), Qt::Key_Return);

    QCOMPARE(rig.fake->calls, QStringList({"Login(wxqv,wxqv,0,127.0.0.1)", "QuerySlots(SlotCount)",
                                           "CrateProperty(ModelName)"}));
    QVERIFY(!dlg->isVisible());
    QCOMPARE(storedAddress().toString(), QStringLiteral("127.0.0.1"));

    auto *model = rig.find<QLabel>("lblSysModel");
    QCOMPARE(model->text(), QStringLiteral("HV-CRATE 16"));
    QVERIFY(model->isVisibleTo(rig.main.get()));
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(rig.slot(i)->isVisibleTo(rig.main.get()), i < 6);
        QVERIFY(!rig.slot(i)->isEnabled()); // the first tick decides
    }
    QVERIFY(rig.timer()->isActive());
    QVERIFY(!rig.action("mConnect")->isEnabled());
    QVERIFY(rig.action("mDisconnect")->isEnabled());
    QVERIFY(rig.action("mExit")->isEnabled());
    QVERIFY(rig.action("mGraph")->isEnabled());
}

void TestLogin::addressCheckAtItsEdges_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<bool>("valid");
    QTest::newRow("zeros inside") << QStringList{"10", "0", "0", "5"} << true;
    QTest::newRow("all zero") << QStringList{"0", "0", "0", "0"} << true;
    QTest::newRow("254 everywhere") << QStringList{"254", "254", "254", "254"} << true;
    QTest::newRow("leading zeros") << QStringList{"010", "001", "000", "009"} << true;
    QTest::newRow("255") << QStringList{"192", "168", "1", "255"} << false;
    QTest::newRow("256") << QStringList{"256", "168", "1", "1"} << false;
    QTest::newRow("999") << QStringList{"1", "999", "1", "1"} << false;
    QTest::newRow("empty box") << QStringList{"10", "", "0", "1"} << false;
    QTest::newRow("letters refused by the mask") << QStringList{"10", "ab", "0", "1"} << false;
    QTest::newRow("spaces refused by the mask") << QStringList{"10", "1", "   ", "1"} << false;
}

void TestLogin::addressCheckAtItsEdges()
{
    QFETCH(QStringList, parts);
    QFETCH(bool, valid);

    ShellRig rig;
    MsgBoxCatcher boxes;
    rig.action("mConnect")->trigger();
    frmLogin *dlg = rig.main->loginDialog();
    typeAddress(dlg, parts);
    const QStringList typed = ipBoxes(dlg);
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);

    if (valid) {
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(rig.fake->calls.value(0), QStringLiteral("Login(wxqv,wxqv,0,%1)").arg(parts.join('.')));
        QVERIFY(rig.main->isConnected());
    } else {
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].title, QStringLiteral("IP Address"));
        QCOMPARE(boxes.shown[0].text, QStringLiteral("IP Address not valid."));
        QVERIFY(rig.fake->calls.isEmpty());
        QVERIFY(dlg->isVisible());
        QCOMPARE(ipBoxes(dlg), typed); // what was typed stays
        QVERIFY(!storedAddress().isValid());
    }
    // The check itself, on text that the mask cannot produce.
    QVERIFY(!frmLogin::isValidAddress({"1", "2", "3"}));
    QVERIFY(!frmLogin::isValidAddress({"1", "2", "3", " "}));
    QVERIFY(!frmLogin::isValidAddress({"1", "2", "3", "-1"}));
    QVERIFY(!frmLogin::isValidAddress({"1", "2", "3", "1 2"}));
}

void TestLogin::loginFailureKeepsEverything()
{
    ShellRig rig;
    setStoredAddress("10.9.8.7");
    MsgBoxCatcher boxes;
    rig.fake->loginFails = true;
    rig.action("mConnect")->trigger();
    frmLogin *dlg = rig.main->loginDialog();
    dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(dlg));
    typeAddress(dlg, {"10", "1", "2", "3"});
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Connect ..."));
    QCOMPARE(boxes.shown[0].text, QStringLiteral("Login failed."));
    QCOMPARE(rig.fake->calls, QStringList{"Login(wxqv,wxqv,0,10.1.2.3)"});
    QVERIFY(dlg->isVisible());
    auto *user = box(dlg, "txtUserName");
    QCOMPARE(dlg->focusWidget(), user);
    QCOMPARE(user->selectedText(), QStringLiteral("wxqv"));
    QCOMPARE(storedAddress().toString(), QStringLiteral("10.9.8.7")); // a failed attempt changes nothing
    QVERIFY(!rig.main->isConnected());

    // Typing replaces the selected name at once.
    QTest::keyClicks(user, "op");
    QCOMPARE(user->text(), QStringLiteral("op"));

    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QVERIFY(!rig.main->isConnected());
    QVERIFY(rig.action("mConnect")->isEnabled());
}

void TestLogin::secondConnectShowsTheLastTypedValues()
{
    ShellRig rig;
    rig.action("mConnect")->trigger();
    frmLogin *dlg = rig.main->loginDialog();
    typeAddress(dlg, {"192", "168", "10", "20"});
    retype(box(dlg, "txtUserName"), "alice");
    retype(box(dlg, "txtPassword"), "s3cret");
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QVERIFY(rig.main->isConnected());
    QCOMPARE(rig.fake->calls.first(), QStringLiteral("Login(alice,s3cret,0,192.168.10.20)"));

    rig.action("mDisconnect")->trigger();
    setStoredAddress("1.1.1.1"); // the dialog does not read the store again
    rig.action("mConnect")->trigger();
    QCOMPARE(rig.main->loginDialog(), dlg);
    QVERIFY(dlg->isVisible());
    QCOMPARE(ipBoxes(dlg), QStringList({"192", "168", "10", "20"}));
    QCOMPARE(box(dlg, "txtUserName")->text(), QStringLiteral("alice"));
    QCOMPARE(box(dlg, "txtPassword")->text(), QStringLiteral("s3cret"));
}

void TestLogin::storedAddressRoundTrip_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("nothing stored") << QVariant() << QStringList{"127", "0", "0", "1"};
    QTest::newRow("stored address") << QVariant("192.168.1.20") << QStringList{"192", "168", "1", "20"};
    QTest::newRow("three parts") << QVariant("10.0.1") << QStringList{"127", "0", "0", "1"};
    QTest::newRow("not an address") << QVariant("crate-7") << QStringList{"127", "0", "0", "1"};
    QTest::newRow("empty text") << QVariant("") << QStringList{"127", "0", "0", "1"};
    QTest::newRow("five parts: first four") << QVariant("10.1.2.3.4") << QStringList{"10", "1", "2", "3"};
}

void TestLogin::storedAddressRoundTrip()
{
    QFETCH(QVariant, stored);
    QFETCH(QStringList, shown);
    setStoredAddress(stored);

    ShellRig rig;
    frmLogin *dlg = rig.connect();
    QCOMPARE(ipBoxes(dlg), shown);
    QVERIFY(rig.main->isConnected());
    // The address that connected is the one remembered for the next run.
    QCOMPARE(storedAddress().toString(), shown.join('.'));

    ShellRig nextRun;
    nextRun.action("mConnect")->trigger();
    QCOMPARE(ipBoxes(nextRun.main->loginDialog()), shown);
}

void TestLogin::failureAfterLoginLeavesMainDisconnected()
{
    ShellRig rig;
    MsgBoxCatcher boxes;
    rig.fake->failOn = QStringList{"CrateProperty(ModelName)"};
    frmLogin *dlg = rig.connect();

    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].title, QStringLiteral("Connection lost"));
    QVERIFY(boxes.shown[0].text.contains("fake failure in CrateProperty(ModelName)"));
    QCOMPARE(rig.fake->calls, QStringList({"Login(wxqv,wxqv,0,127.0.0.1)", "QuerySlots(SlotCount)",
                                           "CrateProperty(ModelName)", "Logout()"}));
    QVERIFY(!rig.main->isConnected());
    QVERIFY(!rig.timer()->isActive());
    for (int i = 0; i < 16; ++i)
        QVERIFY(!rig.slot(i)->isVisibleTo(rig.main.get()));
    QVERIFY(rig.action("mConnect")->isEnabled());
    QVERIFY(!rig.action("mGraph")->isEnabled());
    QVERIFY(dlg->isVisible()); // still there to try again

    rig.fake->failOn.clear();
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QVERIFY(rig.main->isConnected());
    QVERIFY(!dlg->isVisible());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
