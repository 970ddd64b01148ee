// The crate's one queue as the crate sees it: the order in which the calls of
// several connections reach it (counted, not timed), with a service time so
// that their requests meet there; and what a connection may hold meanwhile.

#include "cratejob.h"
#include "linksession.h"
#include "rawpeer.h"
#include "readplan.h"

#include <QRegularExpression>
#include <QTest>

using namespace Protocol;

namespace {
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

class TstCrateShare : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_MAIN(TstCrateShare)
#include "tst_crateshare.moc"
