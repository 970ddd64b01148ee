#pragma once

#include "twoposswitch.h"

// The two-position switch drawn for a narrow table column: the lever sits in a
// slot as wide as the cell, thrown to the left when on and to the right when
// off, and the live label ("Ena", "Kill") is written in the free part of the
// slot. The full switch would need room for both labels beside the slot, which
// a 45-pixel column does not have. Behaviour (clicks, Space, signals) is the
// switch's own.
class CompactSwitch : public TwoPosSwitch
{
    Q_OBJECT
public:
    using TwoPosSwitch::TwoPosSwitch;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
