#pragma once

#include "frmq510.h"

// Panel of a Q510E board: the Q510 panel with nine channel rows.
class frmQ510E : public frmQ510
{
    Q_OBJECT
public:
    static constexpr int Channels = 9;

    explicit frmQ510E(HVPowerSupply &h, QWidget *parent = nullptr);
};
