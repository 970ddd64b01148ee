#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// A crate described as plain data: what a crate file holds, what the default
// crate is made of, and what a running crate hands back to be saved.
// Parameter values are in each parameter's own scale.

struct SimChannelSetup
{
    int ch = 0;
    std::optional<QString> name;       // default "CH00", "CH01", ...
    std::optional<double> loadOhms;    // default: the model's load
    quint32 faults = 0;                // status bits forced on (see SimChannel::FaultBits)
    QMap<QString, double> params;      // writable parameters and "HVMax"
};

struct SimBoardSetup
{
    int slot = 0;
    QString model;
    double ambient = 27;               // °C the board cools down to
    quint32 faults = 0;                // board status bits forced on (see SimBoard::FaultBits)
    QMap<QString, double> params;      // board parameters that can be set ("HVMax")
    QList<SimChannelSetup> channels;   // only the channels that differ from a fresh board
};

struct SimCrateSetup
{
    QString modelName = QStringLiteral("PY-1600");
    QString swRelease = QStringLiteral("2.4.1");
    int slotCount = 16;
    quint8 frontPanIn = 0x10;          // remote enable set, NIM levels
    bool fanFailure = false;
    QList<SimBoardSetup> boards;
};

namespace SimSetup {

// The crate a simulator starts with when no file is given.
SimCrateSetup defaultCrate();

// Crate file <-> setup. fromJson throws HVError naming the fault.
SimCrateSetup fromJson(const QByteArray &json);
QByteArray toJson(const SimCrateSetup &setup);

} // namespace SimSetup
