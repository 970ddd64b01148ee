#include "twoposswitch.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {
constexpr int TrackWidth = 38;  // lever slot length in pixels
constexpr int TrackHeight = 18; // lever slot height
constexpr int Gap = 5;          // between a label and the slot
} // namespace

TwoPosSwitch::TwoPosSwitch(const QString &onLabel, const QString &offLabel, QWidget *parent)
    : OperatorButton(parent), m_onLabel(onLabel), m_offLabel(offLabel)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(onLabel + QLatin1Char('/') + offLabel);
}

QString TwoPosSwitch::stateText() const
{
    return value() ? m_onLabel : m_offLabel;
}

QString TwoPosSwitch::onLabel() const { return m_onLabel; }
QString TwoPosSwitch::offLabel() const { return m_offLabel; }

// Both labels are measured bold, so the widget keeps its size whichever is lit.
QFont TwoPosSwitch::labelFont() const
{
    QFont f = font();
    f.setBold(true);
    return f;
}

int TwoPosSwitch::labelWidth() const
{
    const QFontMetrics fm(labelFont());
    return qMax(fm.horizontalAdvance(m_onLabel), fm.horizontalAdvance(m_offLabel));
}

QRectF TwoPosSwitch::trackRect() const
{
    const int lw = labelWidth();
    const qreal x = (width() - (2 * lw + 2 * Gap + TrackWidth)) / 2.0 + lw + Gap;
    return QRectF(x, (height() - TrackHeight) / 2.0, TrackWidth, TrackHeight);
}

QSize TwoPosSwitch::sizeHint() const
{
    const QFontMetrics fm(labelFont());
    return {2 * labelWidth() + 2 * Gap + TrackWidth + 4, qMax(fm.height(), TrackHeight) + 6};
}

QSize TwoPosSwitch::minimumSizeHint() const { return sizeHint(); }

bool TwoPosSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void TwoPosSwitch::paintLeverCap(QPainter &p, const QRectF &knob, const QPainterPath &shape)
{
    QRadialGradient cap(knob.center(), knob.width() * 0.7, knob.topLeft() + QPointF(knob.width() * 0.35, knob.height() * 0.3));
    cap.setColorAt(0.0, QColor(0xf4, 0xf4, 0xf4));
    cap.setColorAt(0.6, QColor(0xb4, 0xb4, 0xb4));
    cap.setColorAt(1.0, QColor(0x70, 0x70, 0x70));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.0));
    p.setBrush(cap);
    p.drawPath(shape);
}

void TwoPosSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = trackRect();
    const int lw = labelWidth();

    // Labels: the live end is bold in the text colour, the other one greyed.
    const QColor live = isEnabled() ? palette().color(QPalette::WindowText)
                                    : palette().color(QPalette::Disabled, QPalette::WindowText);
    const QColor dim = palette().color(QPalette::Disabled, QPalette::WindowText);
    QFont liveFont = labelFont();
    QFont dimFont = font();
    const QRectF leftText(track.left() - Gap - lw, 0, lw, height());
    const QRectF rightText(track.right() + Gap, 0, lw, height());
    p.setFont(value() ? liveFont : dimFont);
    p.setPen(value() ? live : dim);
    p.drawText(leftText, Qt::AlignRight | Qt::AlignVCenter, m_onLabel);
    p.setFont(value() ? dimFont : liveFont);
    p.setPen(value() ? dim : live);
    p.drawText(rightText, Qt::AlignLeft | Qt::AlignVCenter, m_offLabel);

    // The slot: a dark recess.
    const qreal r = track.height() / 2.0;
    QLinearGradient slot(track.topLeft(), track.bottomLeft());
    slot.setColorAt(0.0, QColor(0x18, 0x18, 0x18));
    slot.setColorAt(1.0, QColor(0x50, 0x50, 0x50));
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.0));
    p.setBrush(slot);
    p.drawRoundedRect(track, r, r);

    // The lever knob: a metal cap thrown to the live end, covering that half of the slot.
    const qreal knobW = track.width() * 0.56;
    const QRectF knob(value() ? track.left() : track.right() - knobW, track.top() - 2.0,
                      knobW, track.height() + 4.0);
    QPainterPath capShape;
    capShape.addRoundedRect(knob, knob.height() / 2.0, knob.height() / 2.0);
    paintLeverCap(p, knob, capShape);
    // Grip lines across the cap.
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1.0));
    for (int i = -1; i <= 1; ++i) {
        const qreal x = knob.center().x() + i * 3.0;
        p.drawLine(QPointF(x, knob.top() + 5), QPointF(x, knob.bottom() - 5));
    }

    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(rect().adjusted(1, 1, -1, -1), 4, 4);
    }
}
