#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The board models the simulated crate can hold: which parameters each channel
// and the board offer, with their type code, range, decimal exponent and unit.
// A value is stored in its parameter's own scale: value x 10^exp = base unit.

struct SimParamInfo
{
    enum Type { Numeric = 0, OnOff = 1, ChannelStatus = 2, BoardStatus = 3 };

    QString name;
    int type = Numeric;
    double minval = 0;
    double maxval = 0;
    int exp = 0;
    QString unit;
    bool writable = false;
    double initial = 0; // value of a fresh board, in the parameter's own scale
};

// Channels first..last share one parameter list (the Q205 has three groups).
struct SimChannelGroup
{
    int first = 0;
    int last = 0;
    QList<SimParamInfo> params;
};

struct SimBoardModel
{
    QString name;
    int channels = 0;
    double defaultLoadOhms = 1e9;     // load of a channel nobody configured
    QList<SimParamInfo> boardParams;  // "Temp" always; "HVMax" or "BdStatus" on some models
    QList<SimChannelGroup> groups;    // covers channels 0..channels-1

    const QList<SimParamInfo> &channelParams(int ch) const;
    const SimParamInfo *channelParam(int ch, const QString &name) const;
    const SimParamInfo *boardParam(const QString &name) const;
};

namespace SimCatalogue {

// nullptr for a name the catalogue does not know.
const SimBoardModel *model(const QString &name);
QStringList modelNames();

} // namespace SimCatalogue
