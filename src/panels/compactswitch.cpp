#include "compactswitch.h"

#include <QLinearGradient>
#include <QPainter>

QSize CompactSwitch::sizeHint() const
{
    return {45, 19};
}

QSize CompactSwitch::minimumSizeHint() const
{
    return {36, 16};
}

void CompactSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF slot = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal r = slot.height() / 2.0;

    // The slot: a dark recess, tinted green while on so the two states differ at a glance.
    QLinearGradient recess(slot.topLeft(), slot.bottomLeft());
    recess.setColorAt(0.0, value() ? QColor(0x12, 0x40, 0x1c) : QColor(0x20, 0x20, 0x20));
    recess.setColorAt(1.0, value() ? QColor(0x2a, 0x70, 0x38) : QColor(0x50, 0x50, 0x50));
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.0));
    p.setBrush(recess);
    p.drawRoundedRect(slot, r, r);

    // The lever at the live end, as on the full switch.
    const qreal knobW = slot.height();
    const QRectF knob(value() ? slot.left() : slot.right() - knobW, slot.top(), knobW, slot.height());
    QPainterPath capShape;
    capShape.addEllipse(knob);
    paintLeverCap(p, knob, capShape);

    // The live label in the free part of the slot.
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(qMax(8, int(slot.height() * 0.6)));
    p.setFont(f);
    p.setPen(Qt::white);
    const QRectF free = value() ? slot.adjusted(knobW, 0, -2, 0) : slot.adjusted(2, 0, -knobW, 0);
    p.drawText(free, Qt::AlignCenter, value() ? onLabel() : offLabel());

    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), r + 1, r + 1);
    }
}
