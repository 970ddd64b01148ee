#include "thermometer.h"

#include "numberformat.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

const QColor Column(0xd0, 0x18, 0x18);   // the red liquid
const QColor Glass(0xfc, 0xfc, 0xfc);    // inside of the empty tube
const QColor GlassEdge(0x70, 0x70, 0x70); // outline of tube and bulb
constexpr qreal TickLength = 3.0;       // scale tick, pixels
constexpr qreal Gap = 2.0;              // between the parts
constexpr qreal MinFontPoints = 6.0;    // smallest text the scale is written in
constexpr qreal MinTube = 5.0;          // narrowest tube, pixels

QString numberText(double v)
{
    return NumberFormat::render(v, QString());
}

// A step of 1, 2, 2.5 or 5 times a power of ten giving at most maxCount steps.
double niceStep(double span, int maxCount)
{
    const double raw = span / std::max(1, maxCount);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * magnitude >= raw * (1 - 1e-9))
            return m * magnitude;
    return 10.0 * magnitude;
}

// What assistive technology reads: the caption as name, the value as shown
// and as a number within the range, read-only.
class ThermometerAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ThermometerAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? thermometer()->valueText() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    QVariant currentValue() const override { return thermometer()->value(); }
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return std::max(thermometer()->minimum(), thermometer()->maximum()); }
    QVariant minimumValue() const override { return std::min(thermometer()->minimum(), thermometer()->maximum()); }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    const Thermometer *thermometer() const { return static_cast<const Thermometer *>(widget()); }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("Thermometer") && object && object->isWidgetType())
        return new ThermometerAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

Thermometer::Thermometer(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_orientation(orientation)
{
    static const bool accessible = (QAccessible::installFactory(accessibleFactory), true); // once per run
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(orientation == Qt::Vertical
                      ? QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding)
                      : QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed));
}

Qt::Orientation Thermometer::orientation() const { return m_orientation; }

void Thermometer::setRange(double minimum, double maximum)
{
    if (minimum == m_minimum && maximum == m_maximum)
        return;
    m_minimum = minimum;
    m_maximum = maximum;
    dropBackground();
}

double Thermometer::minimum() const { return m_minimum; }
double Thermometer::maximum() const { return m_maximum; }

void Thermometer::setValue(double v)
{
    if (v == m_value || (std::isnan(v) && std::isnan(m_value)))
        return;
    const QString oldText = valueText();
    const QRectF oldColumn = columnRect();
    m_value = v;
    const QRectF newColumn = columnRect();
    if (newColumn.toAlignedRect() != oldColumn.toAlignedRect())
        update((oldColumn | newColumn).toAlignedRect().adjusted(-1, -1, 1, 1));
    if (valueText() != oldText)
        update(m_layout.valueBox.toAlignedRect());
    QAccessibleValueChangeEvent changed(this, v);
    QAccessible::updateAccessibility(&changed);
}

double Thermometer::value() const { return m_value; }

QString Thermometer::valueText() const
{
    return NumberFormat::render(m_value, QStringLiteral("."));
}

void Thermometer::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    setAccessibleName(caption);
    dropBackground();
}

QString Thermometer::caption() const { return m_caption; }

double Thermometer::fillFraction() const
{
    const double lo = std::min(m_minimum, m_maximum);
    const double hi = std::max(m_minimum, m_maximum);
    if (!(hi > lo) || !std::isfinite(m_value) || !std::isfinite(hi - lo))
        return 0.0;
    return std::clamp((m_value - lo) / (hi - lo), 0.0, 1.0);
}

QSize Thermometer::sizeHint() const
{
    return m_orientation == Qt::Vertical ? QSize(48, 240) : QSize(240, 60);
}

QSize Thermometer::minimumSizeHint() const
{
    return m_orientation == Qt::Vertical ? QSize(30, 100) : QSize(100, 44);
}

void Thermometer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    dropBackground();
}

void Thermometer::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
        dropBackground();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void Thermometer::dropBackground()
{
    m_background = QPixmap();
    m_layout = computeLayout();
    update();
}

QList<double> Thermometer::ticks(int maxCount) const
{
    const double lo = std::min(m_minimum, m_maximum);
    const double hi = std::max(m_minimum, m_maximum);
    QList<double> out;
    if (!(hi > lo) || !std::isfinite(hi - lo))
        return out;
    const double step = niceStep(hi - lo, maxCount);
    const double first = std::ceil(lo / step - 1e-9) * step;
    for (int i = 0; i <= maxCount + 1; ++i) {
        double t = first + i * step;
        if (t > hi + step * 1e-9)
            break;
        if (std::fabs(t) < step * 1e-9)
            t = 0.0; // no "-0" or "1e-17" from rounding
        out.append(t);
    }
    return out;
}

QFont Thermometer::smallFont() const
{
    QFont f = font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(std::max(MinFontPoints, f.pointSizeF() * 0.85));
    else
        f.setPixelSize(std::max(8, int(f.pixelSize() * 0.85)));
    return f;
}

Thermometer::Layout Thermometer::computeLayout() const
{
    Layout l;
    QFont f = smallFont();
    const qreal w = width();
    const qreal h = height();

    // Widest label the scale may need.
    auto labelWidth = [this](const QFontMetricsF &fm) {
        qreal widest = 0;
        QList<double> candidates = ticks(5);
        candidates << m_minimum << m_maximum;
        for (double t : candidates)
            widest = std::max(widest, fm.horizontalAdvance(numberText(t)));
        return widest;
    };

    if (m_orientation == Qt::Vertical) {
        // Caption | tube with bulb | ticks and labels; the number on top.
        // A narrow tube gives the text its room; the text shrinks only if it must.
        qreal tubeW = std::clamp(w * 0.2, MinTube, 12.0);
        QFontMetricsF fm(f);
        auto groupWidth = [&](const QFontMetricsF &m) {
            const qreal bulbHalf = tubeW * 0.95;
            // The bulb may reach under the caption, which stops above it.
            return m.height() + Gap + tubeW / 2
                   + std::max(bulbHalf, tubeW / 2 + TickLength + 2 + labelWidth(m));
        };
        while (groupWidth(fm) > w) {
            if (tubeW > MinTube) {
                tubeW = std::max(MinTube, tubeW - 1);
            } else if (f.pointSizeF() > MinFontPoints) {
                f.setPointSizeF(std::max(MinFontPoints, f.pointSizeF() - 0.5));
                fm = QFontMetricsF(f);
            } else {
                break;
            }
        }
        const qreal line = fm.height();
        const qreal x0 = std::max(0.0, (w - groupWidth(fm)) / 2);
        const qreal top = line + Gap;
        const qreal bulbD = tubeW * 1.9;
        const qreal cx = x0 + line + Gap + tubeW / 2;

        l.text = f;
        l.valueBox = QRectF(0, 0, w, line);
        l.bulb = QRectF(cx - bulbD / 2, h - bulbD - 1, bulbD, bulbD);
        l.captionBox = QRectF(x0, top, line, std::max(0.0, l.bulb.top() - Gap - top));
        l.tube = QRectF(cx - tubeW / 2, top, tubeW, l.bulb.center().y() - top);
        const qreal spanTop = top + std::max(tubeW / 2, line / 2) + 1;
        const qreal spanBottom = l.bulb.top() - 1;
        l.scaleSpan = QRectF(l.tube.left(), spanTop, tubeW, std::max(0.0, spanBottom - spanTop));
    } else {
        // Caption and number on top; bulb and tube below, labels under the tube.
        const QFontMetricsF fm(f);
        const qreal line = fm.height();
        const qreal tubeH = std::clamp(h * 0.16, MinTube, 12.0);
        const qreal bulbD = tubeH * 1.9;
        const qreal needed = line + Gap + bulbD / 2 + tubeH / 2 + TickLength + 1 + line;
        const qreal y0 = std::max(0.0, (h - needed) / 2);
        const qreal valueW = fm.horizontalAdvance(QStringLiteral("-8888.88"));
        const qreal labelW = labelWidth(fm);

        l.text = f;
        l.valueBox = QRectF(w - valueW - 1, y0, valueW, line);
        l.captionBox = QRectF(1, y0, std::max(0.0, w - valueW - 1 - Gap - 1), line);
        const qreal cy = y0 + line + Gap + bulbD / 2;
        l.bulb = QRectF(1, cy - bulbD / 2, bulbD, bulbD);
        l.tube = QRectF(l.bulb.center().x(), cy - tubeH / 2, w - 1 - l.bulb.center().x(), tubeH);
        const qreal spanLeft = std::max(l.bulb.right() + 1, labelW / 2);
        const qreal spanRight = l.tube.right() - std::max(tubeH / 2, labelW / 2) - 1;
        l.scaleSpan = QRectF(spanLeft, l.tube.top(), std::max(0.0, spanRight - spanLeft), tubeH);
    }
    return l;
}

// The part of the column above the scale's minimum; the rest is in the background.
QRectF Thermometer::columnRect() const
{
    const QRectF &span = m_layout.scaleSpan;
    const qreal f = fillFraction();
    if (m_orientation == Qt::Vertical) {
        const qreal inset = std::max(1.0, span.width() * 0.22);
        const qreal top = span.bottom() - f * span.height();
        return QRectF(span.left() + inset, top, span.width() - 2 * inset, span.bottom() - top);
    }
    const qreal inset = std::max(1.0, span.height() * 0.22);
    return QRectF(span.left(), span.top() + inset, f * span.width(), span.height() - 2 * inset);
}

void Thermometer::renderBackground()
{
    const qreal dpr = devicePixelRatioF();
    m_background = QPixmap((QSizeF(size()) * dpr).toSize());
    m_background.setDevicePixelRatio(dpr);
    m_background.fill(Qt::transparent);
    if (m_background.isNull())
        return;

    QPainter p(&m_background);
    p.setRenderHint(QPainter::Antialiasing);
    const Layout &l = m_layout;
    const bool vertical = m_orientation == Qt::Vertical;
    const QColor ink = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText);

    p.setFont(l.text);
    const QFontMetricsF fm(l.text);
    p.setPen(ink);

    // Caption.
    if (vertical) {
        p.save();
        p.translate(l.captionBox.left(), l.captionBox.bottom());
        p.rotate(-90);
        const QRectF box(0, 0, l.captionBox.height(), l.captionBox.width());
        p.drawText(box, Qt::AlignCenter, fm.elidedText(m_caption, Qt::ElideRight, box.width()));
        p.restore();
    } else {
        p.drawText(l.captionBox, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(m_caption, Qt::ElideRight, l.captionBox.width()));
    }

    // Glass: tube and bulb as one outline.
    const qreal r = (vertical ? l.tube.width() : l.tube.height()) / 2;
    QPainterPath glass;
    glass.addRoundedRect(l.tube, r, r);
    glass.addEllipse(l.bulb);
    glass = glass.simplified();
    p.setPen(QPen(GlassEdge, 1.0));
    p.setBrush(Glass);
    p.drawPath(glass);

    // The liquid that is always there: bulb and tube up to the scale's minimum.
    const QRectF column = columnRect();
    QRectF base;
    if (vertical)
        base = QRectF(column.left(), l.scaleSpan.bottom(), column.width(), l.bulb.center().y() - l.scaleSpan.bottom());
    else
        base = QRectF(l.bulb.center().x(), column.top(), l.scaleSpan.left() - l.bulb.center().x(), column.height());
    p.setPen(Qt::NoPen);
    p.setBrush(Column);
    p.drawEllipse(l.bulb.adjusted(2, 2, -2, -2));
    p.drawRect(base);

    // Scale.
    const int maxTicks = vertical ? int(l.scaleSpan.height() / (fm.height() * 1.6))
                                  : int(l.scaleSpan.width() / (fm.horizontalAdvance(numberText(m_maximum)) + 12));
    const double lo = std::min(m_minimum, m_maximum);
    const double hi = std::max(m_minimum, m_maximum);
    p.setPen(QPen(ink, 1.0));
    for (double t : ticks(std::clamp(maxTicks, 1, 10))) {
        const qreal frac = (t - lo) / (hi - lo);
        const QString label = numberText(t);
        if (vertical) {
            const qreal y = std::round(l.scaleSpan.bottom() - frac * l.scaleSpan.height()) + 0.5;
            const qreal x = l.tube.right() + 1;
            p.drawLine(QPointF(x, y), QPointF(x + TickLength, y));
            p.drawText(QRectF(x + TickLength + 1, y - fm.height() / 2, width(), fm.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, label);
        } else {
            const qreal x = std::round(l.scaleSpan.left() + frac * l.scaleSpan.width()) + 0.5;
            const qreal y = l.tube.bottom() + 1;
            p.drawLine(QPointF(x, y), QPointF(x, y + TickLength));
            const qreal lw = fm.horizontalAdvance(label);
            p.drawText(QRectF(x - lw / 2 - 1, y + TickLength, lw + 2, fm.height()), Qt::AlignCenter, label);
        }
    }
}

void Thermometer::paintEvent(QPaintEvent *)
{
    if (m_background.isNull() || m_background.deviceIndependentSize().toSize() != size())
        renderBackground();
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);

    p.setPen(Qt::NoPen);
    p.setBrush(Column);
    p.drawRect(columnRect());

    QFont f = m_layout.text;
    f.setBold(true);
    p.setFont(f);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const Qt::Alignment align = m_orientation == Qt::Vertical ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter);
    p.drawText(m_layout.valueBox, align, valueText());
}
