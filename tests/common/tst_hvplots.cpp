#include "hvplots.h"

#include <QTest>
#include <stdexcept>

namespace {
QStringList names(const HVPlots &plots)
{
    QStringList out;
    for (const HVPlotRef &p : plots.NewEnum())
        out << p->ParName();
    return out;
}
} // namespace

class TstHVPlots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Lib::InitTables(); }

    void addStoresFieldsAndSharesTheRecord()
    {
        HVPlots plots;
        QCOMPARE(plots.Count(), 0);
        QVERIFY(names(plots).isEmpty());

        HVPlotRef p = plots.Add(QStringLiteral("VMon"), 3, 7, QStringLiteral("k\"V\""), Lib::Red);
        QCOMPARE(p->ParName(), QStringLiteral("VMon"));
        QCOMPARE(p->Channel(), qint16(3));
        QCOMPARE(p->Board(), qint16(7));
        QCOMPARE(p->ParUnit(), QStringLiteral("k\"V\""));
        QCOMPARE(p->Color(), Lib::Red);

        // The caller holds the very record of the list.
        p->setChannel(5);
        QCOMPARE(plots.Item(1)->Channel(), qint16(5));

        // Same parameter twice: two independent traces.
        plots.Add(QStringLiteral("VMon"), 5, 7, QStringLiteral("k\"V\""), Lib::Red);
        QCOMPARE(plots.Count(), 2);
        QVERIFY(plots.Item(1) != plots.Item(2));
    }

    void removalKeepsOrderDense()
    {
        HVPlots plots;
        plots.Add(QStringLiteral("A"), 0, 0, {}, 0);
        plots.Add(QStringLiteral("B"), 0, 0, {}, 0);
        HVPlotRef c = plots.Add(QStringLiteral("C"), 0, 0, {}, 0);
        HVPlotRef b = plots.Item(2);
        plots.Remove(2);
        QCOMPARE(names(plots), QStringList({"A", "C"}));
        QCOMPARE(plots.Item(2), c);
        QCOMPARE(b->ParName(), QStringLiteral("B")); // a held reference outlives removal

        plots.Remove(1);
        plots.Remove(1);
        QCOMPARE(plots.Count(), 0);
        plots.Add(QStringLiteral("D"), 0, 0, {}, 0);
        QCOMPARE(names(plots), QStringList({"D"}));
    }

    void badPositionsAndKeysFailWithoutChange()
    {
        HVPlots plots;
        plots.Add(QStringLiteral("A"), 0, 0, {}, 0, QStringLiteral("a"));
        plots.Add(QStringLiteral("B"), 0, 0, {}, 0);
        plots.Add(QStringLiteral("C"), 0, 0, {}, 0, QString()); // empty key = no key

        QCOMPARE(plots.Item(QStringLiteral("a"))->ParName(), QStringLiteral("A"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Remove(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(QStringLiteral("zz")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(QString())); // keyless items are not found by ""
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 plots.Add(QStringLiteral("X"), 0, 0, {}, 0, QStringLiteral("a")));
        QCOMPARE(names(plots), QStringList({"A", "B", "C"}));

        plots.Remove(QStringLiteral("a"));
        QCOMPARE(names(plots), QStringList({"B", "C"}));
        plots.Add(QStringLiteral("A2"), 0, 0, {}, 0, QStringLiteral("a")); // the key is free again
        QCOMPARE(plots.Item(3)->ParName(), QStringLiteral("A2"));
    }

    void nextFreeColor()
    {
        HVPlots plots;
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Green);

        plots.Add(QStringLiteral("A"), 0, 0, {}, Lib::Green);
        plots.Add(QStringLiteral("B"), 0, 0, {}, Lib::Red);
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Yellow);

        for (int i = 0; i < Lib::PaletteSize; ++i)
            if (Lib::paletteColor(i) != Lib::Green && Lib::paletteColor(i) != Lib::Red)
                plots.Add(QStringLiteral("P"), 0, 0, {}, Lib::paletteColor(i));
        QCOMPARE(plots.Count(), 12);
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Black);

        plots.Remove(2); // frees red; the lowest free index wins
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Red);
        plots.Remove(1); // frees green too
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Green);
    }
};

QTEST_GUILESS_MAIN(TstHVPlots)
#include "tst_hvplots.moc"
