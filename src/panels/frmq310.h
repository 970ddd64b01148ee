#pragma once

#include "tablepanel.h"

// Panel of a Q310 board: 14 channels in two macro channels of seven, each
// group with a page of setpoints and monitors and a page of limits and switches.
class frmQ310 : public TablePanel
{
    Q_OBJECT
public:
    static constexpr int Channels = 14;
    static constexpr int GroupRows = 7;

    explicit frmQ310(HVPowerSupply &h, QWidget *parent = nullptr);

    // Opens the board graph of one parameter of one macro channel.
    void OpenBoardGraph(const QString &ParName, qint16 MacroChannel);

private:
    void buildGroup(int macro);
};
