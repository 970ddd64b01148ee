// The network client and its protocol end to end, against the server with a
// recording fake behind it, or a scripted crate for what a proper server never
// sends. How the server guards itself is tests/server's.

#include "linkhandler.h"
#include "rawpeer.h"
#include "readplan.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSslCertificate>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <atomic>

using namespace Protocol;

namespace {
// A crate on a thread of its own for one client: runs the test's script on the
// connection, which may first log the client in as the real server does.
struct ScriptedCrate
{
    using Script = std::function<void(QTcpSocket &, ScriptedCrate &)>;
    explicit ScriptedCrate(Script script)
    {
        worker.reset(QThread::create([this, script] {
            QTcpServer listener;
            listener.listen(QHostAddress::LocalHost, 0);
            port = listener.serverPort();
            if (!listener.waitForNewConnection(5000))
                return;
            std::unique_ptr<QTcpSocket> socket(listener.nextPendingConnection());
            socket->setParent(nullptr);
            script(*socket, *this);
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->waitForDisconnected(5000);
        }));
        worker->start();
        while (port == 0)
            QThread::msleep(1);
    }
    ~ScriptedCrate() { worker->wait(); }
    QCborMap next(QTcpSocket &socket) { return nextFrame(socket, reader, 5000, &received); }
    void write(QTcpSocket &socket, const QCborMap &m) { socket.write(encodeFrame(m)); socket.flush(); }
    // Answers the login steps as the server does, with the default user.
    bool logIn(QTcpSocket &socket, const QString &password = Password)
    {
        LinkServer server([] { return std::make_unique<FakeHV>(); });
        server.setAccount(User, password);
        LinkHandler handler(server, QString(), Local, [](const QString &) {});
        while (!handler.isLoggedIn()) {
            const QCborMap request = next(socket);
            if (request.isEmpty())
                return false;
            write(socket, handler.handle(request).reply);
        }
        return true;
    }
    std::atomic<quint16> port{0};       // where the client connects
    std::unique_ptr<QThread> worker;    // listens and runs the script
    FrameReader reader;                 // frames from the client
    QByteArray received;                // every byte the client sent, for the script
};

// How a plan's answers and outcome read, in order.
QString shown(const QVariant &v)
{
    return v.canConvert<QVariantList>() && v.typeId() != QMetaType::QString ? v.toStringList().join(',') : v.toString();
}

// A tick of a small crate as a plan, logging every answer and the outcome: the
// crate map, then, guarded by it, slot 3's temperature and, for channels 0 to 3,
// name, parameter list and the type of each parameter; slot 5's temperature;
// the firmware release.
std::shared_ptr<ReadPlan> loggedPlan(QStringList *log, QObject *context = nullptr)
{
    auto plan = std::make_shared<ReadPlan>(context);
    const auto note = [log](const QString &what) { return [log, what](const QVariant &v) { *log << what + '=' + shown(v); }; };
    const int map = plan->querySlots(PlanStep::ChannelCounts | PlanStep::SlotModels,
                                     [log](const QVariant &, const QVariant &counts, const QVariant &models) {
                                         *log << "map=" + shown(counts) + '/' + shown(models);
                                     });
    plan->onlyIfOccupied(map, 3);
    plan->paramValue(3, QStringLiteral("Temp"), std::nullopt, note("temp"));
    for (qint16 ch = 0; ch < 4; ++ch) {
        plan->onlyIfChannel(map, 3, ch);
        plan->channelName(3, ch, note("name"));
        const int list = plan->listChannelParams(3, ch, note("params"));
        plan->paramAttributeOfEach(list, 3, QStringLiteral("Type"), ch, note("types"));
    }
    plan->onlyIfOccupied(map, 5);
    plan->paramValue(5, QStringLiteral("Temp"), std::nullopt, note("temp5"));
    plan->always();
    plan->crateProperty(QStringLiteral("SwRelease"), note("release"));
    plan->onDone([log] { *log << "done"; });
    plan->onFailed([log](const HVError &e) { *log << "failed: " + e.message() + (e.isLinkFailure() ? " (link)" : ""); });
    return plan;
}

// Slot 3 holds a two-channel board whose channels offer a number and a switch; calls starting so fail.
void smallCrate(FakeHV &f, const QStringList &failOn = {})
{
    f.failOn = failOn;
    f.slotCount = 6;
    f.setBoard(3, QStringLiteral("Q310"), 2);
    f.channelParams = [](qint16, qint16) { return QStringList{"VMon", "Pw"}; };
    f.paramAttribute = [](qint16, const QString &par, const QString &, auto) { return QVariant(par == "Pw" ? 1 : 0); };
}

bool over(const QStringList &log)
{
    return !log.isEmpty() && (log.last() == "done" || log.last().startsWith("failed"));
}

QString loginError(NetClient &client)
{
    return errorOf([&] { client.Login(User, Password, 0, Local); });
}

const QString TestCrateFingerprint = QStringLiteral("FC:4A:C9:88:A2:F8:F1:11:55:4A:03:53:AE:B7:59:11:"
                                                    "24:B0:56:77:3A:36:CF:FD:0C:C8:DF:4B:B2:D4:41:9E");
} // namespace

class TstLink : public QObject
{
    Q_OBJECT
private slots:
    void everyOperationReachesTheBackendAndComesBack()
    {
        FakeServer server;
        server.setUp = [](FakeHV &f) {
            f.setBoard(3, QStringLiteral("Q310"), 14);
            f.crateProperties.insert(QStringLiteral("FrontPanIn"), 0x41);
            f.channelName = [](qint16, qint16 ch) { return QStringLiteral("Kanäle %1").arg(ch); };
            f.channelParams = [](qint16, qint16) { return QStringList{"V0Set", "Pw", "Status"}; };
        };
        LoggedInClient client(server.port());
        QVariant count, channels, models, onlyModels;
        client.QuerySlots(&count, &channels, &models);
        const QVariantList slot3{count, channels.toList().value(3), models.toList().value(3), models.toList().value(2)};
        QCOMPARE(slot3, (QVariantList{16, 14, QStringLiteral("Q310"), QString()})); // slot 2 is empty
        client.QuerySlots(nullptr, nullptr, &onlyModels);
        QCOMPARE(onlyModels, models);
        // The fake answers 0 to reads and "V" to a unit; values of every type are checked below.
        const QVariantList read{
            client.CrateProperty(QStringLiteral("FrontPanIn")), client.ParamValue(3, QStringLiteral("Temp")),
            client.ParamValue(3, QStringLiteral("V0Set"), 9), client.ParamAttribute(3, QStringLiteral("IMon"), QStringLiteral("Exp"), 9),
            client.ParamAttribute(3, QStringLiteral("Temp"), QStringLiteral("Unit")), client.ChannelName(3, 9),
            client.ListChannelParams(3, 9)};
        QCOMPARE(read, (QVariantList{0x41, 0, 0, 0, "V", "Kanäle 9", QStringList{"V0Set", "Pw", "Status"}}));
        client.SetParamValue(3, QStringLiteral("V0Set"), 9, 1500.0);
        client.SetParamValue(3, QStringLiteral("Pw"), 9, QVariant::fromValue<qint16>(1));
        client.SetChannelName(3, 9, QStringLiteral("Drift ß"));
        client.Logout();
        QVERIFY(!client.isConnected());
        // The backend saw the same calls, with the same arguments, in order;
        // a qint16 switch value travels as an integer, a setpoint as a double.
        const QStringList expected{
            "Login(wxqv,,0,127.0.0.1)", "QuerySlots(SlotCount,ChannelCounts,SlotModels)", "QuerySlots(SlotModels)",
            "CrateProperty(FrontPanIn)", "ParamValue(3,Temp)", "ParamValue(3,V0Set,9)", "ParamAttribute(3,IMon,Exp,9)",
            "ParamAttribute(3,Temp,Unit)", "ChannelName(3,9)", "ListChannelParams(3,9)",
            "SetParamValue(3,V0Set,9,1500:double)", "SetParamValue(3,Pw,9,1:int)", "SetChannelName(3,9,Drift ß)", "Logout()",
        };
        QTRY_COMPARE(server.calls(), expected); // the logout is sent, not waited for
    }

    void valuesKeepTheirTypeOnTheWire()
    {
        // int, integral and tiny doubles, texts, bool, beyond int, list, nothing
        const QVariantList values{7, -32768, 2.0, 1.25e-9, QStringLiteral("°C"), QString(), true,
                                  qlonglong(1) << 40, QVariantList{1, 2.5, QStringLiteral("x")}, QVariant()};
        FakeServer server;
        server.setUp = [values](FakeHV &f) { f.paramValue = [values](qint16 slot, auto, auto) { return values.value(slot); }; };
        LoggedInClient client(server.port());
        for (qint16 i = 0; i < values.size(); ++i) {
            const QVariant back = client.ParamValue(i, QStringLiteral("X"), 1);
            QVERIFY2(back == values[i] && back.typeId() == values[i].typeId(),
                     qPrintable(QStringLiteral("value %1 came back as %2").arg(i).arg(back.typeName())));
        }
    }

    void loginFailsWithAMessageAnOperatorUnderstands()
    {
        FakeServer server;
        NetClient wrongPassword(server.port());
        QCOMPARE(errorOf([&] { wrongPassword.Login(User, QStringLiteral("nope"), 0, Local); }),
                 QStringLiteral("Wrong user name or password"));
        QCOMPARE(errorOf([&] { wrongPassword.CrateProperty(QStringLiteral("ModelName")); }), QStringLiteral("Not connected"));
        // The first reads go out behind the proof: refused, they are dropped unheard, and answered once it passes.
        QStringList heard;
        auto firstReads = [&heard] {
            auto plan = std::make_shared<ReadPlan>();
            plan->crateProperty(QStringLiteral("ModelName"), [&heard](const QVariant &) { heard << "answer"; });
            plan->onDone([&heard] { heard << "done"; });
            plan->onFailed([&heard](const HVError &e) { heard << e.message(); });
            return plan;
        };
        QCOMPARE(errorOf([&] { wrongPassword.loginThen(User, QStringLiteral("nope"), Local, firstReads()); }),
                 QStringLiteral("Wrong user name or password"));
        QTest::qWait(50);
        QCOMPARE(heard, QStringList());
        wrongPassword.loginThen(User, Password, Local, firstReads());
        QTRY_COMPARE(heard, (QStringList{"answer", "done"}));
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 freePort = probe.serverPort();
        probe.close();
        NetClient nobody(freePort);
        QCOMPARE(loginError(nobody), QStringLiteral("Cannot connect to 127.0.0.1:%1: connection refused").arg(freePort));
        // A full accept queue: the kernel lets the next connection hang.
        QTcpServer full;
        full.setListenBacklogSize(0);
        QVERIFY(full.listen(QHostAddress::LocalHost, 0));
        QTcpSocket filler;
        filler.connectToHost(QHostAddress::LocalHost, full.serverPort());
        QVERIFY(filler.waitForConnected(1000));
        NetClient hanging(full.serverPort(), 200, 200);
        QCOMPARE(loginError(hanging), QStringLiteral("Cannot connect to 127.0.0.1:%1: no answer within 0.2 s").arg(full.serverPort()));
        // Accepts the connection (the kernel does) and never says a word.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        NetClient waiting(silent.serverPort(), 1000, 200);
        QCOMPARE(loginError(waiting), QStringLiteral("No answer from the crate within 0.2 s"));
        QVERIFY(!waiting.isConnected());
    }

    // Every part of an address is decimal: a zero-padded address reaches the
    // crate it names, never the neighbour its octal reading would name.
    void aPaddedAddressReachesTheCrateItNames()
    {
        FakeServer named(QHostAddress(QStringLiteral("127.0.0.12")));
        QTcpServer octal; // "012" read as octal is 10
        QVERIFY(octal.listen(QHostAddress(QStringLiteral("127.0.0.10")), named.port()));
        NetClient client(named.port(), 1000, 1000);
        client.Login(User, Password, 0, QStringLiteral("127.000.000.012"));
        QVERIFY(client.isConnected() && named.madeOne());
        QVERIFY(!octal.waitForNewConnection(100));
        QCOMPARE(errorOf([&] { client.Login(User, Password, 0, QStringLiteral("127.0.0.009")); }),
                 QStringLiteral("Cannot connect to 127.0.0.9:%1: connection refused").arg(named.port()));
        QCOMPARE(errorOf([&] { client.Login(User, Password, 0, QStringLiteral("127.0.0.256")); }),
                 QStringLiteral("Not a valid IP address: \"127.0.0.256\""));
    }

    void aDroppedLinkFailsEveryLaterCallUntilTheNextLogin()
    {
        FakeServer server;
        LoggedInClient client(server.port());
        client.ParamValue(0, QStringLiteral("Temp"));
        server.thread.dropAllConnections();
        const QString lost = QStringLiteral("Connection to the crate lost");
        QCOMPARE(errorOf([&] { client.ParamValue(0, QStringLiteral("Temp")); }), lost);
        QCOMPARE(errorOf([&] { client.SetParamValue(0, QStringLiteral("Pw"), 1, 1); }), lost);
        QVERIFY(!client.isConnected());
        client.Logout(); // on a dead link: quietly forgets it
        QCOMPARE(errorOf([&] { client.ParamValue(0, QStringLiteral("Temp")); }), QStringLiteral("Not connected"));
        client.Login(User, Password, 0, Local);
        QCOMPARE(client.ChannelName(0, 2), QStringLiteral("CH2"));
    }

    void aLateReplyIsNotTakenForTheNextOne()
    {
        FakeServer server;
        server.setUp = [](FakeHV &f) { f.paramValue = [](qint16, const QString &par, auto) { return QVariant(par); }; };
        LoggedInClient client(server.port(), 1000, 100);
        server.thread.setLatencyMs(300);
        QCOMPARE(errorOf([&] { client.ParamValue(0, QStringLiteral("First")); }), QStringLiteral("No answer from the crate within 0.1 s"));
        server.thread.setLatencyMs(0);
        client.setReplyTimeoutMs(5000);
        // The late answer to "First" arrives before the one to "Second".
        QCOMPARE(client.ParamValue(0, QStringLiteral("Second")), QVariant(QStringLiteral("Second")));
    }

    // A plan travels as one exchange; the crate sees exactly the calls, and the
    // window exactly the answers, of the same reads made one by one in process.
    void aPlanMakesTheCallsOfOneByOneInOneExchange_data()
    {
        QTest::addColumn<QStringList>("failOn");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<double>("serviceMs"); // the crate's time per call: the plan is then made a call at a time
        QTest::newRow("whole") << QStringList() << QStringLiteral("done") << 0.0;
        QTest::newRow("fails at a call") << QStringList{"ListChannelParams(3,1)"}
                                         << QStringLiteral("failed: fake failure in ListChannelParams(3,1)") << 0.0;
        QTest::newRow("a call at a time") << QStringList() << QStringLiteral("done") << 0.2;
    }
    void aPlanMakesTheCallsOfOneByOneInOneExchange()
    {
        QFETCH(QStringList, failOn);
        QFETCH(QString, ending);
        QFETCH(double, serviceMs);
        FakeHV direct;
        smallCrate(direct, failOn);
        QStringList expected;
        direct.runPlan(loggedPlan(&expected));
        FakeServer server;
        server.setUp = [failOn](FakeHV &f) { smallCrate(f, failOn); };
        LoggedInClient client(server.port());
        server.thread.setServiceTimeMs(serviceMs);
        QStringList log;
        client.runPlan(loggedPlan(&log));
        QVERIFY(log.isEmpty()); // nothing waited for: the answers come from the event loop
        QTRY_VERIFY(over(log));
        QCOMPARE(log, expected);
        QCOMPARE(log.last(), ending);
        QCOMPARE(server.calls().mid(1), direct.calls); // after the login
        QVERIFY(!direct.calls.contains("ChannelName(3,2)") && !direct.calls.contains("ParamValue(5,Temp)"));
    }

    // Writes and single calls made while a plan is on its way each get their own
    // answer, in order; a link that drops or an answer that does not come fails
    // what is waiting, and nothing reaches a window that has closed.
    void requestsAroundAPlanInFlight()
    {
        FakeServer server;
        server.setUp = [](FakeHV &f) { smallCrate(f, {QStringLiteral("SetParamValue(3,Bad")}); };
        LoggedInClient client(server.port(), 1000, 2000);
        server.thread.setLatencyMs(100);
        QStringList log;
        client.runPlan(loggedPlan(&log));
        const auto noteWrite = [&log](const QString &what) {
            return [&log, what](const HVError *e) { log << what + (e ? ": " + e->message() : QStringLiteral(": ok")); };
        };
        client.postParamValue(3, QStringLiteral("V0Set"), 0, 1.5, nullptr, noteWrite("V0Set"));
        client.postParamValue(3, QStringLiteral("Bad"), 0, 1.0, nullptr, noteWrite("Bad"));
        QCOMPARE(client.ChannelName(3, 1), QStringLiteral("CH1")); // a read waits its turn behind the plan
        QTRY_COMPARE(log.size(), 12);
        // The writes may reach the crate ahead of the plan's reads; each has its own answer.
        QCOMPARE(log.filter(QRegularExpression("^(V0Set|Bad): ")),
                 (QStringList{"V0Set: ok", "Bad: fake failure in SetParamValue(3,Bad,0,1:double)"}));
        QVERIFY(log.contains("done"));
        QCOMPARE(server.calls().last(), QStringLiteral("ChannelName(3,1)"));
        // The link drops under two plans, one of a window already closed.
        QStringList open, closed;
        auto gone = std::make_unique<QObject>();
        client.runPlan(loggedPlan(&open));
        client.runPlan(loggedPlan(&closed, gone.get()));
        gone.reset();
        server.thread.dropAllConnections();
        QTRY_VERIFY(over(open));
        QCOMPARE(open, QStringList{"failed: Connection to the crate lost (link)"});
        QTest::qWait(50);
        QVERIFY(closed.isEmpty());
        // An answer that does not come within the reply time fails its plan only.
        client.Login(User, Password, 0, Local);
        client.setReplyTimeoutMs(200);
        server.thread.setLatencyMs(600);
        QStringList late;
        client.runPlan(loggedPlan(&late));
        QTRY_VERIFY(over(late));
        QCOMPARE(late, QStringList{"failed: No answer from the crate within 0.2 s (link)"});
        server.thread.setLatencyMs(0);
        QTest::qWait(600); // the late answer arrives, and is dropped by its id
        QCOMPARE(client.ChannelName(3, 0), QStringLiteral("CH0"));
        QCOMPARE(client.pendingCount(), 0);
    }

    void aRefusedRequestKeepsItsMessageAndTheLink()
    {
        FakeServer server;
        server.setUp = [](FakeHV &f) { f.failOn << QStringLiteral("SetParamValue") << QStringLiteral("SetChannelName"); };
        LoggedInClient client(server.port());
        QCOMPARE(errorOf([&] { client.SetParamValue(2, QStringLiteral("V0Set"), 3, 9.5); }),
                 QStringLiteral("fake failure in SetParamValue(2,V0Set,3,9.5:double)"));
        // An error quoting a name of nearly 1 MiB quotes only its start.
        const QString said = errorOf([&] { client.SetChannelName(2, 3, QString(MaxFrameSize - 100, QLatin1Char('y'))); });
        QVERIFY2(said.startsWith("fake failure in SetChannelName(2,3,yyy") && said.size() <= MaxErrorText + 40, qPrintable(said.left(400)));
        const QString tooLong(MaxFrameSize, QLatin1Char('x'));
        QVERIFY(errorOf([&] { client.SetChannelName(2, 3, tooLong); }).startsWith("Request too large"));
        QCOMPARE(client.ChannelName(2, 3), QStringLiteral("CH3"));
    }

    void theLoginShowsNoPasswordAndCannotBeReplayed()
    {
        const QString secret = QStringLiteral("s3cret-pw");
        QByteArray captured; // what a client sends to log in
        {
            ScriptedCrate crate([&](QTcpSocket &s, ScriptedCrate &c) {
                if (c.logIn(s, secret))
                    captured = c.received;
            });
            NetClient(crate.port).Login(User, secret, 0, Local);
        }
        QVERIFY(captured.contains(User.toUtf8()) && !captured.contains(secret.toUtf8()));
        // A whole login again, byte for byte, at the same crate: its nonce is new, so the old proof fails.
        FakeServer server;
        RawPeer first(server.port());
        QVERIFY(first.login().contains(Key::Signature));
        RawPeer replay(server.port());
        replay.sendBytes(first.sent);
        QCOMPARE(collect(3, [&](int) { return replay.reply().value(Key::Error).toString(); }),
                 (QStringList{"", "", "Wrong user name or password"}));
        QCOMPARE(server.calls(), QStringList{"Login(wxqv,,0,127.0.0.1)"}); // the first only
    }

    // The user name goes with the opening, a round trip sooner, except where encryption is
    // known or required: there it never reaches a crate that answers plain.
    void theUserNameWaitsForEncryptionWhereItCan_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("required");
        QTest::addColumn<bool>("early");
        QTest::newRow("first contact") << false << false << true;
        QTest::newRow("a crate trusted before") << true << false << false;
        QTest::newRow("encryption required") << false << true << false;
    }
    void theUserNameWaitsForEncryptionWhereItCan()
    {
        QFETCH(bool, trusted);
        QFETCH(bool, required);
        QFETCH(bool, early);
        std::atomic<bool> sawName{false};
        ScriptedCrate crate([&](QTcpSocket &s, ScriptedCrate &c) {
            const QCborMap opening = c.next(s);
            // The opening unanswered: whatever comes meanwhile was sent with it.
            sawName = c.received.contains(User.toUtf8()) || (s.waitForReadyRead(1000) && s.peek(1 << 16).contains(User.toUtf8()));
            c.write(s, {{Key::Id, opening.value(Key::Id)}, {Key::Version, Version}});
        });
        NetClient client(crate.port, 1000, 3000);
        client.trust().setRequiresEncryption(required);
        if (trusted)
            client.trust().trust(QStringLiteral("127.0.0.1:%1").arg(crate.port), QByteArray(32, '\xab'));
        loginError(client);
        QCOMPARE(bool(sawName), early);
    }

    void aStreamOfStaleRepliesEndsTheCallAtItsDeadline()
    {
        ScriptedCrate crate([](QTcpSocket &s, ScriptedCrate &c) {
            if (!c.logIn(s) || c.next(s).isEmpty())
                return;
            QElapsedTimer streaming;
            streaming.start();
            while (streaming.elapsed() < 4000 && s.state() == QAbstractSocket::ConnectedState) {
                c.write(s, {{Key::Id, 3}, {Key::Value, 1}}); // the login's last request, again and again
                QThread::msleep(1);
            }
        });
        NetClient client(crate.port, 1000, 300);
        client.Login(User, Password, 0, Local);
        QElapsedTimer call;
        call.start();
        QCOMPARE(errorOf([&] { client.ParamValue(0, QStringLiteral("Temp")); }), QStringLiteral("No answer from the crate within 0.3 s"));
        QVERIFY2(call.elapsed() < 1500, qPrintable(QString::number(call.elapsed())));
        client.Logout();
    }

    void anEncryptedLinkLogsInAndRefusesPlainOnEitherSide()
    {
        FakeServer server;
        server.thread.onServer([](LinkServer &s) { s.setTls(PYLONET_TEST_TLS "/test-crate.crt", PYLONET_TEST_TLS "/test-crate.key"); });
        NetClient client(server.port());
        client.setTrustAsker([](const CrateTrust::Question &) { return true; });
        client.Login(User, Password, 0, Local); // the name went with the opening: the login starts again
        QCOMPARE(client.linkFingerprint(), TestCrateFingerprint);
        QCOMPARE(client.ChannelName(0, 1), QStringLiteral("CH1"));
        // A peer that goes on in plain after the crate's offer is refused.
        RawPeer plain(server.port());
        QCOMPARE(plain.opening().value(Key::Tls), QCborValue(true));
        QCOMPARE(plain.request({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, User}, {Key::Nonce, QStringLiteral("abcdefghij")}})
                     .value(Key::Error).toString(),
                 QStringLiteral("This crate takes encrypted links only: the client must encrypt before it logs in"));
        // A crate that offers encryption and then goes on in plain.
        ScriptedCrate liar([](QTcpSocket &s, ScriptedCrate &c) {
            c.next(s);
            c.write(s, {{Key::Id, 1}, {Key::Version, Version}, {Key::Tls, true}});
            s.waitForReadyRead(3000);
            c.write(s, {{Key::Id, 2}, {Key::Error, QStringLiteral("plain")}});
        });
        NetClient misled(liar.port, 1000, 1000);
        misled.trust().setRequiresEncryption(true); // else the name goes with the opening, and the login starts again
        const QString said = loginError(misled);
        QVERIFY2(said.startsWith("The encrypted link to the crate failed: "), qPrintable(said));
        QVERIFY(!misled.isConnected() && misled.linkFingerprint().isEmpty());
        QCOMPARE(server.calls().size(), 2); // only the first client got in
    }

    // A crate's certificate is trusted on first use: the operator is asked, and from
    // then on the crate must show the same one and go on encrypting. Each refusal
    // says what happened, and nothing of the login reaches a crate not trusted.
    void encryptedCratesAreTrustedOnFirstUse()
    {
        FakeServer tls;
        tls.thread.onServer([](LinkServer &s) { s.setTls(PYLONET_TEST_TLS "/test-crate.crt", PYLONET_TEST_TLS "/test-crate.key"); });
        const QString crate = QStringLiteral("127.0.0.1:%1").arg(tls.port());
        QList<CrateTrust::Question> asked;
        bool answer = false;
        NetClient client(tls.port());
        client.setTrustAsker([&](const CrateTrust::Question &q) { asked << q; return answer; });
        QCOMPARE(loginError(client), QStringLiteral("The certificate of the crate at %1 (SHA-256 %2) was not trusted; "
                                                    "no proof of the password was sent to it.").arg(crate, TestCrateFingerprint));
        QVERIFY(!tls.madeOne());
        answer = true;
        client.Login(User, Password, 0, Local);
        client.Login(User, Password, 0, Local); // trusted now: not asked again
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked[1].crate == crate && asked[1].fingerprint == TestCrateFingerprint && asked[1].trusted.isEmpty());
        // Another certificate at the same crate: refused with both fingerprints, unless accepted on purpose.
        const QByteArray other(32, '\xab');
        client.trust().trust(crate, other);
        answer = false;
        const QString changed = loginError(client);
        QVERIFY2(changed.startsWith(QStringLiteral("The crate at %1 shows another certificate than the one trusted before: now "
                                                   "SHA-256 %2, trusted SHA-256 %3.").arg(crate, TestCrateFingerprint, fingerprint(other))),
                 qPrintable(changed));
        QCOMPARE(asked.last().trusted, fingerprint(other));
        answer = true;
        client.Login(User, Password, 0, Local);
        QCOMPARE(client.trust().trusted(crate), QCryptographicHash::hash(QSslCertificate::fromPath(PYLONET_TEST_TLS "/test-crate.crt")
                                                                             .first().toDer(), QCryptographicHash::Sha256));
        // A plain link where encryption was seen, or required, is refused before the login begins.
        FakeServer plain;
        NetClient downgraded(plain.port());
        downgraded.trust().trust(QStringLiteral("127.0.0.1:%1").arg(plain.port()), other);
        QVERIFY(loginError(downgraded).startsWith(QStringLiteral("The crate at 127.0.0.1:%1 no longer offers encryption").arg(plain.port())));
        NetClient strict(plain.port());
        strict.trust().setRequiresEncryption(true);
        QCOMPARE(loginError(strict), QStringLiteral("The crate at 127.0.0.1:%1 offers no encryption, and this workstation "
                                                    "requires it of every crate; nothing was sent.").arg(plain.port()));
        QVERIFY(!plain.madeOne());
    }

    // A crate asking for weak keys could guess the password from the proof: none is sent.
    void weakKeysGetNoProof_data()
    {
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("saltSize");
        QTest::addColumn<QString>("error");
        QTest::newRow("1000 rounds") << 1000 << 16
                                     << "The crate asks for only 1000 key rounds, fewer than the 4096 this client requires; "
                                        "it may be a machine posing as the crate, so no proof was sent";
        QTest::newRow("an 8-byte salt") << 4096 << 8
                                        << "The crate's salt is only 8 bytes, fewer than the 16 this client requires; "
                                           "it may be a machine posing as the crate, so no proof was sent";
    }
    void weakKeysGetNoProof()
    {
        QFETCH(int, rounds);
        QFETCH(int, saltSize);
        QFETCH(QString, error);
        ScriptedCrate fake([&](QTcpSocket &s, ScriptedCrate &c) {
            c.next(s);
            c.write(s, {{Key::Id, 1}, {Key::Version, Version}, {Key::Tls, false}});
            const QCborMap auth = c.next(s);
            c.write(s, {{Key::Id, 2}, {Key::Nonce, auth.value(Key::Nonce).toString() + "crate-part"},
                        {Key::Salt, QByteArray(saltSize, 's')}, {Key::Iterations, rounds}});
            c.next(s);
        });
        NetClient client(fake.port, 1000, 1000);
        QCOMPARE(loginError(client), error);
        fake.worker->wait();
        QVERIFY(!fake.received.contains(Op::Proof.toLatin1()));
    }
};

QTEST_MAIN(TstLink)
#include "tst_link.moc"
