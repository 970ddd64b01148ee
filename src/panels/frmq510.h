#pragma once

#include "boardpanel.h"

#include <QVector>

// Panel of a Q510 board: twelve channels in one table, the board status line,
// two pages of columns; no PDwn and no HVMax.
class frmQ510 : public BoardPanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 12;

    explicit frmQ510(HVPowerSupply &h, QWidget *parent = nullptr);

protected:
    // The same panel with fewer rows (frmQ510E).
    frmQ510(HVPowerSupply &h, int rows, QWidget *parent);

    void refreshBoard() override;
    void refreshChannel(qint16 ch) override;
    int channelRows() const override { return m_rows; }

private:
    int m_rows;                        // channel rows of this panel
    QLabel *BdStatus;                  // board status text
    QVector<QLineEdit *> txtChName;    // channel names
    QVector<Lamp *> ledPw;             // power, also a switch
    QVector<NumField *> V0Set, VMon, I0Set, IMon, RmpUp, RmpDwn;     // page 1
    QVector<NumField *> V1Set, I1Set, SVMax, Trip, TripInt, TripExt; // page 2 fields
    QVector<TwoPosSwitch *> POn;       // page 2 switch
    QVector<QLabel *> lblStatus;       // channel status
};
