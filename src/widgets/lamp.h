#pragma once

#include "operatorbutton.h"

#include <QColor>

// A round instrument lamp; optionally also a switch the operator clicks (mouse or Space),
// with the click rules of OperatorButton.
// It is a checkable button, lit when checked, so assistive technology reads its
// state as on or off rather than as a colour.
class Lamp : public OperatorButton
{
    Q_OBJECT
public:
    explicit Lamp(QWidget *parent = nullptr);

    void setOnColor(const QColor &c);   // lit colour (default bright green)
    void setOffColor(const QColor &c);  // dark colour (default dark green)
    QColor onColor() const;
    QColor offColor() const;

    void setSwitchable(bool on);        // default false: a pure indicator ignores clicks and keys
    bool isSwitchable() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool operable() const override { return m_switchable; }
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QColor m_on{0x3c, 0xf0, 0x5a};   // lit
    QColor m_off{0x0e, 0x4a, 0x1a};  // dark
    bool m_switchable = false;       // whether the operator may toggle it
};
