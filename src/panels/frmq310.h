#pragma once

#include "boardpanel.h"

#include <QVector>

class QFrame;
class QGroupBox;

// Panel of a Q310 board: 14 channels in two macro channels of seven, each
// group with a page of setpoints and monitors and a page of limits and switches.
class frmQ310 : public BoardPanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 14;
    static constexpr int GroupRows = 7;

    explicit frmQ310(HVPowerSupply &h, QWidget *parent = nullptr);

    // Opens the board graph of one parameter of one macro channel.
    void OpenBoardGraph(const QString &ParName, qint16 MacroChannel);

protected:
    void refreshChannel(qint16 ch) override;
    int channelRows() const override { return Channels; }

private:
    void buildGroup(int macro);

    QVector<QLineEdit *> txtChName;    // channel names
    QVector<Lamp *> ledPw;             // power, also a switch
    QVector<NumField *> V0Set, VMon, HVMax, I0Set, IMon, RmpUp, RmpDwn; // page 1
    QVector<NumField *> V1Set, I1Set, SVMax, Trip, TripInt, TripExt;    // page 2 fields
    QVector<TwoPosSwitch *> POn, PDwn; // page 2 switches
    QVector<QLabel *> lblStatus;       // channel status
};
