#pragma once

#include "operatorbutton.h"

#include <QPainterPath>
#include <QString>

class QPainter;

// A two-position toggle switch with a label at each end; the lever shows the position at a glance.
// The on label sits at the left end, the off label at the right; the lever points at the live one.
// It is a checkable button (OperatorButton), checked when on; assistive technology reads the
// live label as its value.
class TwoPosSwitch : public OperatorButton
{
    Q_OBJECT
public:
    TwoPosSwitch(const QString &onLabel, const QString &offLabel, QWidget *parent = nullptr);

    QString onLabel() const;
    QString offLabel() const;

    QString stateText() const override; // the live label
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

    // The lever's metal cap, filled into the path (rounded on the full switch, round on narrow ones).
    static void paintLeverCap(QPainter &p, const QRectF &knob, const QPainterPath &shape);

private:
    QFont labelFont() const;
    int labelWidth() const;
    QRectF trackRect() const;

    QString m_onLabel;     // text at the on (left) end
    QString m_offLabel;    // text at the off (right) end
};
