#pragma once

#include "boardpanel.h"

#include <QVector>

// Panel of the Q420 family (Q420 to Q424, Q431 to Q434): twelve channels in one
// table, a board-wide HVMax indicator, two pages of columns.
class frmQ420 : public BoardPanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 12;

    explicit frmQ420(HVPowerSupply &h, QWidget *parent = nullptr);

protected:
    void refreshBoard() override;
    void refreshChannel(qint16 ch) override;
    int channelRows() const override { return Channels; }

private:
    NumField *HVMax;                   // the board's voltage limit, unscaled
    QVector<QLineEdit *> txtChName;    // channel names
    QVector<Lamp *> ledPw;             // power, also a switch
    QVector<NumField *> V0Set, VMon, I0Set, IMon, RmpUp, RmpDwn;     // page 1
    QVector<NumField *> V1Set, I1Set, SVMax, Trip, TripInt, TripExt; // page 2 fields
    QVector<TwoPosSwitch *> POn, PDwn; // page 2 switches
    QVector<QLabel *> lblStatus;       // channel status
};
