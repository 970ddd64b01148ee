#pragma once

#include "tablepanel.h"

// Panel of the Q420 family (Q420 to Q424, Q431 to Q434): twelve channels in one
// table, a board-wide HVMax indicator, two pages of columns.
class frmQ420 : public TablePanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 12;

    explicit frmQ420(HVPowerSupply &h, QWidget *parent = nullptr);

protected:
    void planBoard(ReadPlan &plan) override;

private:
    NumField *HVMax; // the board's voltage limit, unscaled
};
