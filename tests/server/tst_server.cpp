// The simulated crate on the network: what clients see of it and of each
// other, and the simulator's console commands.

#include "linelog.h"
#include "linkfixture.h"
#include "simcrate.h"
#include "readplan.h"
#include "simserver.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <poll.h>
#include <unistd.h>

namespace {

// A crate whose clock stands still, so network and direct reads agree.
std::unique_ptr<SimCrate> frozenCrate()
{
    return std::make_unique<SimCrate>([] { return qint64(1000); });
}

} // namespace

class TstServer : public QObject
{
    Q_OBJECT
private slots:
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

        QCOMPARE(server.execute(QStringLiteral("latency 0.25")), QStringLiteral("latency now 0.25 ms"));
        QCOMPARE(server.latencyMs(), 0.25);
        QCOMPARE(server.execute(QStringLiteral("latency -4")), QStringLiteral("unknown command \"latency -4\" (type help)"));
        QCOMPARE(server.latencyMs(), 0.25);
        QCOMPARE(server.execute(QStringLiteral("service-time 1.5")), QStringLiteral("service-time now 1.5 ms"));
        QCOMPARE(server.serviceTimeMs(), 1.5);

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
};

QTEST_MAIN(TstServer)
#include "tst_server.moc"
