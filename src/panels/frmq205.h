#pragma once

#include "tablepanel.h"

// Panel of a Q205 controller board: two high-voltage channels (0, 1), one
// low-voltage channel (2) and the eighteen channels of its remote board (3 to 20).
// Element indices differ by array: names and lamps by channel, status labels
// skip channel 2, and the remote board's fields start at channel 3.
class frmQ205 : public TablePanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 21;
    static constexpr int FirstRemote = 3; // channel shown by element 0 of the remote fields

    explicit frmQ205(HVPowerSupply &h, QWidget *parent = nullptr);
};
