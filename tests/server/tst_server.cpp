// The crate server: how it guards itself and its operators against strangers,
// broken or malformed frames and idle peers (raw sockets send what a proper
// client never does); the crate's one queue as the crate sees it, the order in
// which the calls of several connections reach it (counted, not timed, with a
// service time so that their requests meet there) and what a connection may
// hold meanwhile; what clients see of the simulated crate and of each other;
// the simulator's console commands.

#include "cratejob.h"
#include "linelog.h"
#include "linksession.h"
#include "loginguard.h"
#include "rawpeer.h"
#include "readplan.h"
#include "simcrate.h"
#include "simserver.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <atomic>
#include <deque>
#include <poll.h>
#include <unistd.h>

using namespace Protocol;

namespace {
// A crate whose clock stands still, so network and direct reads agree.
std::unique_ptr<SimCrate> frozenCrate()
{
    return std::make_unique<SimCrate>([] { return qint64(1000); });
}

// A server whose fakes tell every call to one log, as "<login> <call>", logins
// counted from 0; a read of a channel's value answers the channel's number.
struct CrateLog : FakeServer
{
    CrateLog()
    {
        setUp = [this](FakeHV &f) {
            const int login = logins++;
            f.paramValue = [](qint16, const QString &, std::optional<qint16> ch) { return QVariant(ch.value_or(-1)); };
            f.onCall = [this, login](const QString &entry) {
                QMutexLocker l(&lock);
                seen << QStringLiteral("%1 %2").arg(login).arg(entry);
            };
            if (more)
                more(f);
        };
    }
    QStringList crate()
    {
        QMutexLocker l(&lock);
        return seen;
    }
    std::function<void(FakeHV &)> more; // further answers of every fake
    int logins = 0;                     // made so far (server thread)
    QMutex lock;                        // guards seen
    QStringList seen;                   // every call, in the order the crate took them
};

// A plan of `count` reads of slot's channels 0, 1, ...; each answer, then its end, goes to *log.
std::shared_ptr<ReadPlan> reads(qint16 slot, int count, QStringList *log)
{
    auto plan = std::make_shared<ReadPlan>();
    for (int ch = 0; ch < count; ++ch)
        plan->paramValue(slot, QStringLiteral("VMon"), qint16(ch), [log](const QVariant &v) { *log << v.toString(); });
    plan->onDone([log] { *log << "done"; });
    plan->onFailed([log](const HVError &e) { *log << "failed: " + e.message(); });
    return plan;
}

// What the crate saw of one login's reads, and what a plan of them should make it see.
QStringList readsOf(const QStringList &crate, int login)
{
    return crate.filter(QRegularExpression(QStringLiteral("^%1 ParamValue").arg(login)));
}
QStringList expectedReads(int login, int slot, int count)
{
    return collect(count, [&](int ch) { return QStringLiteral("%1 ParamValue(%2,VMon,%3)").arg(login).arg(slot).arg(ch); });
}
} // namespace

class TstServer : public QObject
{
    Q_OBJECT
private slots:
    void brokenFramesCloseOnlyTheirOwnConnection()
    {
        const QByteArray array = QCborValue(QCborArray{1, 2}).toCbor();
        const QByteArray trailing = QCborValue(QCborMap{{Key::Op, Op::Login}}).toCbor() + "zz";
        const QByteArray whole = encodeFrame(QCborMap{{Key::Op, Op::Login}, {Key::Id, 1}});
        const QList<std::pair<QByteArray, QString>> frames{
            {lengthPrefix(5) + QByteArray("\xff\xfe\x00\x01\x02", 5), "not valid CBOR"},
            {lengthPrefix(0xfffffff0u), "larger than the limit of 1048576 bytes"},
            {lengthPrefix(MaxFrameSize + 1), "larger than the limit"},
            {lengthPrefix(0), "Empty frame"},
            {lengthPrefix(array.size()) + array, "does not hold a CBOR map"},
            {lengthPrefix(trailing.size()) + trailing, "after its message"},
            {whole.left(whole.size() / 2), "Frame not completed within 0.3 s"},
            {whole.left(2), "Frame not completed within 0.3 s"}, // even the length cut short
        };
        FakeServer server;
        server.thread.setFrameTimeoutMs(300);
        LoggedInClient bystander(server.port());
        for (const auto &[bytes, error] : frames) {
            RawPeer raw(server.port());
            QVERIFY(raw.login().contains(Key::Signature));
            raw.sendBytes(bytes);
            const QString said = raw.reply().value(Key::Error).toString();
            QVERIFY2(said.contains(error), qPrintable(said + " / wanted: " + error));
            QVERIFY(raw.closedByServer());
            QCOMPARE(bystander.ChannelName(1, 4), QStringLiteral("CH4"));
            QCOMPARE(server.thread.connectionCount(), 1);
        }
    }

    void malformedRequestsAreAnsweredAndTheConnectionStays()
    {
        FakeServer server;
        RawPeer raw(server.port());
        QVERIFY(raw.login().contains(Key::Signature));
        const QCborMap channelName{{Key::Op, Op::ChannelName}, {Key::Slot, 0}, {Key::Ch, 1}};
        const QCborMap login{{Key::Op, Op::Login}, {Key::Version, Version}};
        const QList<std::pair<QCborMap, QString>> requests{
            {{{Key::Op, QStringLiteral("format")}}, "Unknown request 'format'"},
            {{{Key::Slot, 1}}, "Malformed request: 'op' must be a text"},
            {{{Key::Op, Op::ChannelName}, {Key::Ch, 1}}, "Malformed request: 'slot' must be an integer"},
            {{{Key::Op, Op::ChannelName}, {Key::Slot, QStringLiteral("0")}, {Key::Ch, 1}}, "Malformed request: 'slot' must be an integer"},
            {{{Key::Op, Op::ChannelName}, {Key::Slot, 40000}, {Key::Ch, 1}}, "Malformed request: 'slot' = 40000 is outside -32768..32767"},
            {{{Key::Op, Op::ParamValue}, {Key::Slot, 0}, {Key::Par, 3}}, "Malformed request: 'par' must be a text"},
            {{{Key::Op, Op::SetParamValue}, {Key::Slot, 0}, {Key::Par, QStringLiteral("V0Set")}, {Key::Ch, 1}, {Key::Value, QCborMap{{1, 2}}}},
             "Malformed request: 'value' must be a number or a text"},
            {login, "Already logged in"},
            {channelName, QString()}, // the connection still works
        };
        for (auto [request, error] : requests) {
            request.insert(Key::Id, 5);
            const QCborMap reply = raw.request(request);
            QCOMPARE(QString::number(reply.value(Key::Id).toInteger()) + ' ' + reply.value(Key::Error).toString(), "5 " + error);
        }
        // Nothing bad reached the backend.
        QCOMPARE(server.calls(), (QStringList{"Login(wxqv,,0,127.0.0.1)", "ChannelName(0,1)"}));
    }

    // Before the login the crate takes its next step only, from a client that speaks its
    // version; anything else closes the connection, and no backend is made.
    void beforeTheLoginOnlyItsNextStepIsTaken_data()
    {
        QTest::addColumn<bool>("opened"); // the opening went first
        QTest::addColumn<QCborMap>("request");
        QTest::addColumn<QCborMap>("reply");
        const QCborMap channelName{{Key::Op, Op::ChannelName}, {Key::Id, 5}, {Key::Slot, 0}, {Key::Ch, 1}};
        const QCborMap proof{{Key::Op, Op::Proof}, {Key::Id, 5}, {Key::Nonce, QStringLiteral("abcdefghij")},
                             {Key::Binding, QByteArray("n,,")}, {Key::Proof, QByteArray(32, 'p')}};
        const QCborMap first{{Key::Error, "Log in first: the crate takes nothing else before the login"}}; // no id: about the connection
        const auto opening = [](const QCborValue &version) { return QCborMap{{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, version}}; };
        const auto refused = [](const QString &theirs) {
            return QCborMap{{Key::Error, QStringLiteral("Protocol version %1 is not supported; the crate speaks version %2").arg(theirs).arg(Version)},
                            {Key::Id, 1}};
        };
        QTest::newRow("a request instead of the opening") << false << channelName << first;
        QTest::newRow("a request after the opening") << true << channelName << first;
        QTest::newRow("a proof before the challenge") << true << proof << first;
        QTest::newRow("a newer version") << false << opening(Version + 1) << refused(QString::number(Version + 1));
        QTest::newRow("no version") << false << opening(QCborValue()) << refused(QStringLiteral("(none)"));
    }
    void beforeTheLoginOnlyItsNextStepIsTaken()
    {
        QFETCH(bool, opened);
        QFETCH(QCborMap, request);
        QFETCH(QCborMap, reply);
        FakeServer server;
        RawPeer raw(server.port());
        if (opened)
            QCOMPARE(raw.opening().value(Key::Tls), QCborValue(false));
        QCOMPARE(raw.request(request), reply);
        QVERIFY(raw.closedByServer() && !server.madeOne());
    }

    void aWrongPasswordMakesTheAddressWaitAndThenTheRightOneWorks()
    {
        FakeServer server;
        server.thread.onServer([](LinkServer &s) { s.setBackoffMs(300); });
        NetClient client(server.port());
        QCOMPARE(errorOf([&] { client.Login(User, QStringLiteral("nope"), 0, Local); }), QStringLiteral("Wrong user name or password"));
        QElapsedTimer held;
        held.start();
        client.Login(User, Password, 0, Local); // checked once the wait is over
        QVERIFY2(held.elapsed() >= 250, qPrintable(QString::number(held.elapsed())));
        QCOMPARE(client.ChannelName(0, 1), QStringLiteral("CH1"));
        // One connection gets three tries, each after a longer wait, and is then closed.
        RawPeer raw(server.port());
        raw.opening();
        for (int i = 0; i < LinkServer::MaxLoginFailures; ++i)
            QCOMPARE(raw.authenticate(QStringLiteral("guess")).value(Key::Error).toString(), QStringLiteral("Wrong user name or password"));
        QVERIFY(raw.closedByServer());
    }

    // Strangers from ever new addresses, each sending the opening and the
    // challenge's request at once and then holding its place, churn while
    // operators log in: from an address that logged in before, and from one
    // never seen. None of their logins is lost, and the crowd stays within its quotas.
    void aChurningCrowdNeverKeepsAnOperatorOut()
    {
        FakeServer server;
        LoggedInClient(server.port()).Logout(); // 127.0.0.1 is known from now on
        std::atomic<int> made{0};
        std::atomic<bool> stop{false};
        const quint16 port = server.port();
        std::unique_ptr<QThread> crowd(QThread::create([&] {
            const QByteArray first = encodeFrame({{Key::Op, Op::Login}, {Key::Id, 1}, {Key::Version, Version}})
                                     + encodeFrame({{Key::Op, Op::Auth}, {Key::Id, 2}, {Key::User, User},
                                                    {Key::Nonce, QStringLiteral("crowdnonce")}});
            std::deque<std::unique_ptr<RawPeer>> held;
            for (quint32 n = 0; !stop; ++n) {
                held.push_back(std::make_unique<RawPeer>(port, QHostAddress(0x7f010000u + 1 + n % 60000))); // 127.1.x.y, new each time
                if (held.back()->socket.state() == QAbstractSocket::ConnectedState) {
                    held.back()->sendBytes(first);
                    ++made;
                }
                if (held.size() > 400)
                    held.pop_front();
            }
        }));
        crowd->start();
        const auto ending = qScopeGuard([&] {
            stop = true;
            crowd->wait();
        });
        QTRY_VERIFY_WITH_TIMEOUT(made > LoginGuard::MaxStrangers + 64, 20000); // the quota is full and churning
        int known = 0, unknown = 0;
        for (int i = 0; i < 10; ++i) {
            known += errorOf([&] { LoggedInClient(server.port()).Logout(); }).isEmpty();
            RawPeer stranger(server.port(), QHostAddress(0x7f020001u + quint32(i))); // 127.2.0.x, never seen
            unknown += stranger.login().contains(Key::Signature);
        }
        const int during = made;
        QCOMPARE(QList<int>({known, unknown}), QList<int>({10, 10}));
        QVERIFY2(during > LoginGuard::MaxStrangers + 84, qPrintable(QString::number(during))); // still churning meanwhile
        QTRY_VERIFY(server.thread.connectionCount() <= LoginGuard::MaxStrangers);
    }

    // Failed logins from many addresses share one budget: a burst, then one at a
    // time, the passwords waiting unchecked meanwhile; an operator from an address
    // that logged in before is not held behind them, and one never seen, from
    // another network, waits for a turn of theirs, not for all of them.
    void guessesFromManyAddressesShareOneBudget()
    {
        FakeServer server;
        LoggedInClient(server.port()).Logout(); // 127.0.0.1 is known from now on
        std::vector<std::unique_ptr<RawPeer>> guessers;
        for (quint32 i = 0; i < 8; ++i) {
            guessers.push_back(std::make_unique<RawPeer>(server.port(), QHostAddress(0x7f030001u + i)));
            guessers.back()->opening();
            guessers.back()->prove(QStringLiteral("guess %1").arg(i));
        }
        LoggedInClient op(server.port()); // not held: its own address has not failed
        int answered = 0;
        for (auto &g : guessers)
            answered += g->socket.waitForReadyRead(1) || g->socket.bytesAvailable() > 0;
        QVERIFY2(answered <= LoginGuard::GuessBurst, qPrintable(QString::number(answered)));
        QCOMPARE(op.ChannelName(0, 1), QStringLiteral("CH1"));
        RawPeer newcomer(server.port(), QHostAddress(0x7f020001u)); // 127.2.0.1
        QVERIFY(newcomer.login().contains(Key::Signature));
        int checked = 0;
        for (auto &g : guessers)
            checked += g->socket.bytesAvailable() > 0 || g->socket.waitForReadyRead(1);
        QVERIFY2(checked <= LoginGuard::GuessBurst + 2, qPrintable(QString::number(checked))); // of 8
    }

    void idleAndSurplusConnectionsAreTurnedAway()
    {
        FakeServer server;
        server.thread.setLoginTimeoutMs(300);
        RawPeer silent(server.port());
        QCOMPARE(silent.reply().value(Key::Error).toString(), QStringLiteral("No login within 0.3 s"));
        QVERIFY(silent.closedByServer());
        server.thread.setLoginTimeoutMs(LinkServer::DefaultLoginTimeoutMs);
        std::vector<std::unique_ptr<NetClient>> clients;
        for (int i = 0; i < LinkServer::MaxConnections; ++i)
            clients.push_back(std::make_unique<LoggedInClient>(server.port()));
        NetClient surplus(server.port());
        QCOMPARE(errorOf([&] { surplus.Login(User, Password, 0, Local); }),
                 QStringLiteral("Too many connections to the crate (limit %1)").arg(LinkServer::MaxConnections));
        clients.front()->Logout();
        QTRY_COMPARE(server.thread.connectionCount(), LinkServer::MaxConnections - 1);
        surplus.Login(User, Password, 0, Local);
        QCOMPARE(surplus.ChannelName(0, 0), QStringLiteral("CH0"));
    }

    void aPeerThatNeverReadsItsRepliesIsCutOff()
    {
        FakeServer server;
        server.setUp = [](FakeHV &f) { f.channelParams = [](auto, auto) { return QStringList(2000, QString(50, 'p')); }; };
        LoggedInClient bystander(server.port());
        RawPeer raw(server.port());
        raw.login();
        server.thread.setFrameTimeoutMs(500); // how long its replies may go unread
        raw.socket.setReadBufferSize(1024); // stops taking replies off the wire
        for (int i = 0; i < 150; ++i) // about 15 MB of replies
            raw.send({{Key::Op, Op::ListChannelParams}, {Key::Id, i + 2}, {Key::Slot, 0}, {Key::Ch, 0}});
        QTRY_COMPARE_WITH_TIMEOUT(server.thread.connectionCount(), 1, 20000);
        QCOMPARE(bystander.ListChannelParams(0, 0).size(), 2000);
    }

    void changesAndPulledBoardsReachEveryClient()
    {
        SimServerThread server(frozenCrate());
        SimCrate &crate = server.crate();
        LoggedInClient alice(server.port());
        LoggedInClient bob(server.port());
        QCOMPARE(server.connectionCount(), 2);
        const double target = bob.ParamAttribute(0, QStringLiteral("V0Set"), QStringLiteral("Maxval"), 5).toDouble() / 2;
        alice.SetParamValue(0, QStringLiteral("V0Set"), 5, target);
        QCOMPARE(bob.ParamValue(0, QStringLiteral("V0Set"), 5).toDouble(), target);
        bob.SetChannelName(0, 5, QStringLiteral("Beam"));
        QCOMPARE(alice.ChannelName(0, 5), QStringLiteral("Beam"));
        alice.SetParamValue(0, QStringLiteral("Pw"), 5, QVariant::fromValue<qint16>(1));
        QVERIFY(bob.ParamValue(0, QStringLiteral("Pw"), 5).toInt() != 0);
        QCOMPARE(crate.channelName(0, 5), QStringLiteral("Beam"));
        // A pulled board is told as the crate tells it.
        const int slot = crate.slotModels().indexOf(QStringLiteral("Q420"));
        QVERIFY(slot >= 0);
        server.pullBoard(slot);
        QCOMPARE(errorOf([&] { bob.ParamValue(qint16(slot), QStringLiteral("Temp")); }),
                 QStringLiteral("slot %1 is empty").arg(slot));
        alice.Logout(); // the other operator carries on
        QCOMPARE(bob.ChannelName(0, 5), QStringLiteral("Beam"));
    }

    void theAccountIsChecked()
    {
        SimServerThread server(frozenCrate());
        server.setAccount(QStringLiteral("op"), QStringLiteral("s3cret"));
        NetClient client(server.port());
        for (const auto &account : {std::pair{User, Password}, std::pair{QStringLiteral("op"), QStringLiteral("S3CRET")}})
            QCOMPARE(errorOf([&] { client.Login(account.first, account.second, 0, Local); }),
                     QStringLiteral("Wrong user name or password"));
        client.Login(QStringLiteral("op"), QStringLiteral("s3cret"), 0, Local);
        QVERIFY(client.isConnected());
    }

    void consoleCommandsActOnTheCrateAndTheServer()
    {
        SimCrate crate([] { return qint64(0); });
        SimServer server(crate);
        const int slot = crate.slotModels().indexOf(QStringLiteral("Q310"));
        QCOMPARE(server.execute(QStringLiteral("pull %1").arg(slot)), QStringLiteral("board pulled out of slot %1").arg(slot));
        QCOMPARE(crate.slotModels().value(slot), QVariant(QString()));
        QVERIFY(server.execute(QStringLiteral("pull %1").arg(slot)).startsWith("refused: "));
        QCOMPARE(server.execute(QStringLiteral("  insert   %1 ").arg(slot)), QStringLiteral("board inserted into slot %1").arg(slot));
        QCOMPARE(crate.slotModels().value(slot), QVariant(QStringLiteral("Q310")));
        // The delays: each answer, then latency and service time as they stand.
        for (const auto &[command, said] : {std::pair{"latency 0.25", "latency now 0.25 ms|0.25|0"},
                                            {"latency -4", "unknown command \"latency -4\" (type help)|0.25|0"},
                                            {"service-time 1.5", "service-time now 1.5 ms|0.25|1.5"}})
            QCOMPARE(QStringList({server.execute(QString::fromLatin1(command)), QString::number(server.latencyMs()),
                                  QString::number(server.serviceTimeMs())}).join('|'), QString::fromLatin1(said));
        QCOMPARE(server.execute(QStringLiteral("input Kill on")), QStringLiteral("front-panel input Kill on"));
        QVERIFY(crate.crateProperty(QStringLiteral("FrontPanIn")).toInt() & 4);
        QVERIFY(server.execute(QStringLiteral("input Smoke on")).startsWith("refused: unknown front-panel input"));
        QCOMPARE(server.execute(QStringLiteral("drop")), QStringLiteral("all connections dropped (0)"));
        QCOMPARE(server.execute(QStringLiteral("pull")), QStringLiteral("unknown command \"pull\" (type help)"));
        QCOMPARE(server.execute(QStringLiteral("help")), SimServer::help());
        QCOMPARE(server.execute(QString()), QString());
    }

    // The delay is the network's: requests in flight together come back after
    // one delay, not one each. The service time is the crate's own: one call
    // after the other, a plan paying for every read.
    void delayAndPace()
    {
        SimServerThread server(frozenCrate());
        LoggedInClient client(server.port());
        server.setLatencyMs(200);
        int answered = 0;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i)
            client.postParamValue(0, QStringLiteral("V0Set"), 0, 1.0, nullptr, [&answered](const HVError *) { ++answered; });
        QTRY_COMPARE(answered, 20);
        QVERIFY2(clock.elapsed() >= 200 && clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        server.setLatencyMs(0);
        server.setServiceTimeMs(20);
        auto plan = std::make_shared<ReadPlan>();
        for (qint16 ch = 0; ch < 10; ++ch)
            plan->paramValue(0, QStringLiteral("VMon"), ch);
        bool done = false;
        plan->onDone([&done] { done = true; });
        clock.restart();
        client.runPlan(plan);
        QTRY_VERIFY(done);
        QVERIFY2(clock.elapsed() >= 200, qPrintable(QString::number(clock.elapsed())));
    }

    void logLinesNobodyReadsAreDroppedCountedAndReported()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        QByteArray out;
        const auto drain = [&] { // what the pipe holds, until it stays empty for 300 ms
            pollfd p{fds[0], POLLIN, 0};
            char chunk[65536];
            while (::poll(&p, 1, 300) > 0) {
                const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
                if (n <= 0)
                    break;
                out.append(chunk, n);
            }
        };
        {
            LineLog log(fds[1], 50);
            ::close(fds[1]);
            for (int i = 0; i < 20000; ++i) // far more than the pipe and the queue hold; none of it waits
                log.write(QStringLiteral("line %1 ").arg(i) + QString(100, QLatin1Char('.')));
            const qint64 dropped = log.dropped();
            QVERIFY(dropped > 10000);
            drain();
            // Each note tells the lines dropped since the one before; together they tell them all.
            qint64 told = 0;
            int notes = 0;
            static const QRegularExpression note(QStringLiteral("\\((\\d+) log line\\(s\\) dropped: the output was not read\\)\n"));
            for (const QRegularExpressionMatch &m : note.globalMatch(QString::fromUtf8(out))) {
                told += m.captured(1).toLongLong();
                ++notes;
            }
            QCOMPARE(told, dropped);
            QCOMPARE(out.count('\n'), 20000 - dropped + notes);
            out.clear();
            log.write(QStringLiteral("after"));
            drain();
            QCOMPARE(out, QByteArray("after\n"));
        }
        ::close(fds[0]);
    }

    void durations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms"); // -1: refused
        QTest::newRow("seconds") << "10s" << qint64(10000);
        QTest::newRow("bare number is seconds") << "3" << qint64(3000);
        QTest::newRow("milliseconds") << "500ms" << qint64(500);
        QTest::newRow("minutes") << "2m" << qint64(120000);
        QTest::newRow("fraction") << "1.5s" << qint64(1500);
        QTest::newRow("negative") << "-1s" << qint64(-1);
        QTest::newRow("unknown unit") << "3h" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("longer than a timer waits") << "100000000s" << qint64(-1);
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QCOMPARE(SimServer::parseDurationMs(text).value_or(-1), ms);
    }

    // A write goes to the crate ahead of the reads waiting there, even its own
    // connection's; a long plan does not keep another connection's short one
    // waiting, and every plan's reads still reach the crate in their order.
    void writesGoFirstAndConnectionsShareTheCrateByCalls()
    {
        CrateLog server;
        server.thread.setServiceTimeMs(0.5);
        LoggedInClient a(server.port()); // login 0
        LoggedInClient b(server.port()); // login 1
        QStringList aLog, bLog;
        a.runPlan(reads(1, 300, &aLog));
        b.runPlan(reads(2, 40, &bLog));
        bool written = false;
        a.postParamValue(1, QStringLiteral("V0Set"), 7, 1.0, nullptr, [&written](const HVError *e) { written = !e; });
        QTRY_VERIFY_WITH_TIMEOUT(written && aLog.size() == 301 && bLog.size() == 41, 10000);
        const QStringList crate = server.crate();
        const qsizetype write = crate.indexOf(QStringLiteral("0 SetParamValue(1,V0Set,7,1:double)"));
        QVERIFY2(write >= 0 && write < 40, qPrintable(QString::number(write))); // a's plan went first, 300 reads long
        QVERIFY2(crate.indexOf(QStringLiteral("1 ParamValue(2,VMon,39)")) < 150, qPrintable(crate.join(' ')));
        QCOMPARE(readsOf(crate, 0), expectedReads(0, 1, 300));
        QCOMPARE(readsOf(crate, 1), expectedReads(1, 2, 40));
        QCOMPARE(aLog.first(), QStringLiteral("0")); // the answers are those of the calls, in order
        QCOMPARE(aLog.mid(298), (QStringList{"298", "299", "done"}));
    }

    // A plan's lists of attributes are counted name by name and capped; the
    // login of another operator and its reads go on while the plan runs.
    void aHugePlanIsCappedAndOthersGoOnMeanwhile()
    {
        CrateLog server;
        server.more = [](FakeHV &f) { f.channelParams = [](qint16, qint16) { return QStringList(2000, QStringLiteral("VMon")); }; };
        server.thread.setServiceTimeMs(0.05); // the cap's 10000 calls: half a second
        LoggedInClient flooder(server.port());
        auto plan = std::make_shared<ReadPlan>();
        const int list = plan->listChannelParams(0, 0);
        int answered = 0;
        for (int i = 0; i < 8; ++i)
            plan->paramAttributeOfEach(list, 0, QStringLiteral("Type"), 0, [&answered](const QVariant &) { ++answered; });
        QString outcome;
        plan->onDone([&outcome] { outcome = "done"; });
        plan->onFailed([&outcome](const HVError &e) { outcome = e.message(); });
        flooder.runPlan(plan);
        LoggedInClient late(server.port());
        QCOMPARE(late.ChannelName(0, 1), QStringLiteral("CH1"));
        QVERIFY(outcome.isEmpty()); // both were answered while the plan ran
        QTRY_VERIFY_WITH_TIMEOUT(!outcome.isEmpty(), 10000);
        QCOMPARE(outcome, QStringLiteral("The plan would make more than %1 crate calls, the most one plan may make; "
                                         "the crate answered the steps before this one").arg(CrateJob::MaxPlanCalls));
        QCOMPARE(answered, (CrateJob::MaxPlanCalls - 1) / 2000);
        QCOMPARE(server.crate().filter(QStringLiteral("0 ParamAttribute")).size(), CrateJob::MaxPlanCalls - 1);
    }

    // A peer sending far more than the crate can answer has only so much of it
    // held by the server; the rest waits in the network, and nothing is lost.
    void whatAConnectionMayHoldIsBounded()
    {
        CrateLog server;
        server.thread.setServiceTimeMs(2);
        RawPeer raw(server.port());
        raw.login();
        QByteArray frames;
        const int sent = 100;
        for (int i = 0; i < sent; ++i) // 50 KB each, one read
            frames += encodeFrame({{Key::Op, Op::Plan}, {Key::Id, i + 10},
                                   {Key::Steps, QCborArray{QCborMap{{Key::Op, Op::ParamValue}, {Key::Slot, 0},
                                                                    {Key::Par, QString(25000, 'x')}, {Key::Ch, 1}}}}});
        raw.socket.write(frames);
        qint64 most = 0;
        int replies = 0;
        while (replies < sent && !raw.reply().isEmpty()) {
            ++replies;
            server.thread.onServer([&most](LinkServer &s) { most = std::max(most, s.queuedBytes()); });
        }
        QCOMPARE(replies, sent);
        QVERIFY2(most > 0 && most <= LinkSession::MaxHeldBytes + frames.size() / sent, qPrintable(QString::number(most)));
    }
};

QTEST_MAIN(TstServer)
#include "tst_server.moc"
