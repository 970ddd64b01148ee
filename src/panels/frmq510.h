#pragma once

#include "tablepanel.h"

// Panel of a Q510 board: twelve channels in one table, the board status line,
// two pages of columns; no PDwn and no HVMax.
class frmQ510 : public TablePanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 12;

    explicit frmQ510(HVPowerSupply &h, QWidget *parent = nullptr);

protected:
    // The same panel with fewer rows (frmQ510E).
    frmQ510(HVPowerSupply &h, int rows, QWidget *parent);

    void planBoard(ReadPlan &plan) override;

private:
    QLabel *BdStatus; // board status text
};
