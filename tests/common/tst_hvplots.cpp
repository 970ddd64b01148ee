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

HVPlotRef add(HVPlots &plots, const QString &name, Lib::OleColor colour = 0, const QString &key = {})
{
    return plots.Add(name, 0, 0, {}, colour, key);
}
} // namespace

class TstHVPlots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Lib::InitTables(); }

    void removalKeepsOrderDense()
    {
        HVPlots plots;
        add(plots, "A");
        add(plots, "B");
        HVPlotRef c = add(plots, "C");
        HVPlotRef b = plots.Item(2);
        plots.Remove(2);
        QCOMPARE(names(plots), QStringList({"A", "C"}));
        QCOMPARE(plots.Item(2), c); // the very record Add handed out
        QCOMPARE(b->ParName(), QStringLiteral("B")); // a held reference outlives removal

        plots.Remove(1);
        plots.Remove(1);
        QCOMPARE(plots.Count(), 0);
        add(plots, "D");
        QCOMPARE(names(plots), QStringList({"D"}));
    }

    void badPositionsAndKeysFailWithoutChange()
    {
        HVPlots plots;
        add(plots, "A", 0, "a");
        add(plots, "B");
        add(plots, "C", 0, QString()); // empty key = no key

        QCOMPARE(plots.Item(QStringLiteral("a"))->ParName(), QStringLiteral("A"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Remove(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(QStringLiteral("zz")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, plots.Item(QString())); // keyless items are not found by ""
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, add(plots, "X", 0, "a"));
        QCOMPARE(names(plots), QStringList({"A", "B", "C"}));

        plots.Remove(QStringLiteral("a"));
        QCOMPARE(names(plots), QStringList({"B", "C"}));
        add(plots, "A2", 0, "a"); // the key is free again
        QCOMPARE(plots.Item(3)->ParName(), QStringLiteral("A2"));
    }

    void nextFreeColor()
    {
        HVPlots plots;
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Green);
        add(plots, "A", Lib::Green);
        add(plots, "B", Lib::Red);
        QCOMPARE(Lib::NextFreeColor(plots), Lib::Yellow);

        for (int i = 0; i < Lib::PaletteSize; ++i)
            if (Lib::paletteColor(i) != Lib::Green && Lib::paletteColor(i) != Lib::Red)
                add(plots, "P", Lib::paletteColor(i));
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
