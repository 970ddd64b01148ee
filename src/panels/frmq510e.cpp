#include "frmq510e.h"

frmQ510E::frmQ510E(HVPowerSupply &h, QWidget *parent)
    : frmQ510(h, Channels, parent)
{
}
