#include "fakehv.h"
#include "hverror.h"
#include "cratevalue.h"
#include "readplan.h"

#include <QTest>

namespace {
// The scaled value as a plan applies it; NaN, and the reason, when the plan failed.
double scaled(FakeHV &hv, qint16 slot, const QString &par, qint16 ch, QString *failure = nullptr)
{
    auto plan = std::make_shared<ReadPlan>();
    double out = qQNaN();
    planScaled(*plan, slot, par, ch, [&out](double v) { out = v; });
    plan->onFailed([failure](const HVError &e) {
        if (failure)
            *failure = e.message();
    });
    hv.runPlan(plan);
    return out;
}
} // namespace

// The scaled read behind every monitor figure of the panels and every graph sample.
class TstCrateValue : public QObject
{
    Q_OBJECT
private slots:
    void scalesByTheExponentReadFirst()
    {
        FakeHV hv;
        hv.paramValue = [](qint16, const QString &, std::optional<qint16>) { return QVariant(12.5); };
        hv.paramAttribute = [](qint16, const QString &par, const QString &, std::optional<qint16>) {
            return QVariant(par == QLatin1String("IMon") ? -6 : 3);
        };
        QCOMPARE(scaled(hv, 2, QStringLiteral("IMon"), 5), 12.5 * static_cast<float>(1e-6));
        QCOMPARE(scaled(hv, 2, QStringLiteral("VMon"), 0), 12500.0);
        QCOMPARE(hv.calls, QStringList({"ParamAttribute(2,IMon,Exp,5)", "ParamValue(2,IMon,5)",
                                        "ParamAttribute(2,VMon,Exp,0)", "ParamValue(2,VMon,0)"}));
    }

    // A garbled answer is a failure, not a zero on the screen or in a graph.
    void unreadableAnswersFail_data()
    {
        QTest::addColumn<QVariant>("exp");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("fail");
        QTest::newRow("value not a number") << QVariant(0) << QVariant(QStringLiteral("n/a")) << QString();
        QTest::newRow("exponent not a number") << QVariant(QStringLiteral("x")) << QVariant(1.0) << QString();
        QTest::newRow("value read fails") << QVariant(0) << QVariant(1.0) << QStringLiteral("ParamValue");
    }
    void unreadableAnswersFail()
    {
        QFETCH(QVariant, exp);
        QFETCH(QVariant, value);
        QFETCH(QString, fail);
        FakeHV hv;
        hv.paramValue = [value](qint16, const QString &, std::optional<qint16>) { return value; };
        hv.paramAttribute = [exp](qint16, const QString &, const QString &, std::optional<qint16>) { return exp; };
        if (!fail.isEmpty())
            hv.failOn << fail;
        QString failure;
        QVERIFY(qIsNaN(scaled(hv, 1, QStringLiteral("VMon"), 0, &failure)));
        QVERIFY(!failure.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstCrateValue)
#include "tst_cratevalue.moc"
