#pragma once

#include "fakehv.h"
#include "frmplotadd.h"
#include "msgboxcatcher.h"
#include "tracegraph.h"

#include <QTimer>
#include <memory>

// 2026-03-14 12:00:00 local time, in milliseconds since the epoch: the samples' clock.
const qint64 Noon = QDateTime(QDate(2026, 3, 14), QTime(12, 0)).toMSecsSinceEpoch();

// A small crate for the plotting tests: slot 1 a Q310 with two channels that
// offer numeric, on/off and status parameters; slot 3 a board without
// channels; slot 4 a board whose only channel has nothing to plot; the other
// slots empty. Units: VMon "V", IMon "A", Ratio none; exponents: IMon -6.
inline void fillPlottingCrate(FakeHV &hv)
{
    hv.slotCount = 6;
    hv.setBoard(1, QStringLiteral("Q310"), 2);
    hv.setBoard(3, QStringLiteral("Q420"), 0);
    hv.setBoard(4, QStringLiteral("Q510"), 1);
    hv.channelName = [](qint16 slot, qint16 ch) { return QStringLiteral("S%1C%2").arg(slot).arg(ch); };
    hv.channelParams = [](qint16 slot, qint16) {
        if (slot == 4)
            return QStringList{QStringLiteral("Pw"), QStringLiteral("Status")};
        return QStringList{QStringLiteral("V0Set"), QStringLiteral("VMon"), QStringLiteral("Pw"),
                           QStringLiteral("IMon"), QStringLiteral("Status"), QStringLiteral("Ratio")};
    };
    hv.paramAttribute = [](qint16, const QString &par, const QString &prop, std::optional<qint16>) -> QVariant {
        if (prop == QLatin1String("Type"))
            return par == QLatin1String("Pw") ? 1 : par == QLatin1String("Status") ? 2 : 0;
        if (prop == QLatin1String("Unit"))
            return par == QLatin1String("IMon") ? QStringLiteral("A")
                   : par == QLatin1String("Ratio") ? QString() : QStringLiteral("V");
        if (prop == QLatin1String("Exp"))
            return par == QLatin1String("IMon") ? -6 : 0;
        return 0;
    };
}

// The fixture crate and a picker with its tree built from it.
struct PickerRig
{
    FakeHV hv;
    std::unique_ptr<frmPlotAdd> picker;

    PickerRig()
    {
        fillPlottingCrate(hv);
        picker = std::make_unique<frmPlotAdd>(hv);
        picker->buildTree();
    }
};
