#include "lamp.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QLinearGradient>

Lamp::Lamp(QWidget *parent) : OperatorButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Lamp::setOnColor(const QColor &c)
{
    if (c == m_on)
        return;
    m_on = c;
    if (value())
        update();
}

void Lamp::setOffColor(const QColor &c)
{
    if (c == m_off)
        return;
    m_off = c;
    if (!value())
        update();
}

QColor Lamp::onColor() const { return m_on; }
QColor Lamp::offColor() const { return m_off; }
void Lamp::setSwitchable(bool on)
{
    m_switchable = on;
    setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus);
    setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

bool Lamp::isSwitchable() const { return m_switchable; }

QSize Lamp::sizeHint() const { return {20, 20}; }
QSize Lamp::minimumSizeHint() const { return {10, 10}; }

// An indicator lets mouse and keys pass to its parent, as if it were painted on it.
void Lamp::mousePressEvent(QMouseEvent *event)
{
    if (!m_switchable) {
        event->ignore();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void Lamp::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_switchable) {
        event->ignore();
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void Lamp::keyPressEvent(QKeyEvent *event)
{
    if (!m_switchable) {
        event->ignore();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void Lamp::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_switchable) {
        event->ignore();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

bool Lamp::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal side = qMin(width(), height()) - 1.0;
    const QRectF outer(QPointF((width() - side) / 2.0, (height() - side) / 2.0), QSizeF(side, side));
    const qreal bezel = qMax<qreal>(1.5, side * 0.12);
    const QRectF glass = outer.adjusted(bezel, bezel, -bezel, -bezel);

    // Metal bezel: light from the top left, as on a panel lit from above.
    QLinearGradient ring(outer.topLeft(), outer.bottomRight());
    ring.setColorAt(0.0, QColor(0xd8, 0xd8, 0xd8));
    ring.setColorAt(1.0, QColor(0x40, 0x40, 0x40));
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.0));
    p.setBrush(ring);
    p.drawEllipse(outer);

    const QColor base = value() ? m_on : m_off;
    const QColor lamp = isEnabled() ? base : QColor::fromHsv(base.hsvHue(), base.hsvSaturation() / 3, base.value());
    QRadialGradient lens(glass.center(), glass.width() / 2.0,
                         glass.center() - QPointF(glass.width() * 0.18, glass.height() * 0.18));
    if (value()) {
        lens.setColorAt(0.0, lamp.lighter(170));
        lens.setColorAt(0.55, lamp);
        lens.setColorAt(1.0, lamp.darker(135));
    } else {
        lens.setColorAt(0.0, lamp.lighter(125));
        lens.setColorAt(0.6, lamp);
        lens.setColorAt(1.0, lamp.darker(170));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(lens);
    p.drawEllipse(glass);

    // A small reflection on the glass, so a dark lamp still reads as a lamp.
    const QRectF glint(glass.x() + glass.width() * 0.22, glass.y() + glass.height() * 0.14,
                       glass.width() * 0.32, glass.height() * 0.22);
    QColor shine(255, 255, 255, value() ? 120 : 60);
    p.setBrush(shine);
    p.drawEllipse(glint);

    if (hasFocus()) {
        QPen focusPen(palette().color(QPalette::Highlight), 1.5, Qt::DotLine);
        p.setPen(focusPen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(outer.adjusted(-0.5, -0.5, 0.5, 0.5));
    }
}
