#pragma once

#include <QPixmap>
#include <QWidget>

// A thermometer: a glass tube with a red column over a labelled scale, its
// caption and the value as a number. Vertical (bulb at the bottom, caption
// along the left side) or horizontal (bulb at the left, caption above).
// A value outside the range shows as an empty or full column; the number
// still shows the value itself. A range given upside down is drawn the right
// way round. Tube, scale and caption are drawn once per size, range and caption
// into a cache; a new value repaints only the column and the number.
class Thermometer : public QWidget
{
    Q_OBJECT
public:
    explicit Thermometer(Qt::Orientation orientation, QWidget *parent = nullptr);

    Qt::Orientation orientation() const;

    void setRange(double minimum, double maximum);
    double minimum() const;
    double maximum() const;

    void setValue(double v);                // no repaint when unchanged
    double value() const;
    QString valueText() const;              // the number as shown ("---" when not a number)

    void setCaption(const QString &caption);
    QString caption() const;

    // What the column fills, 0 (empty) to 1 (full), clamped to the range.
    double fillFraction() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Where things go for the current size.
    struct Layout
    {
        QRectF tube;       // the glass tube, bulb excluded
        QRectF bulb;       // the round bulb at the cold end
        QRectF scaleSpan;  // the part of the tube the range maps onto
        QRectF valueBox;   // where the number is written
        QRectF captionBox; // where the caption is written (unrotated box for vertical)
        QFont text;        // caption, scale and number, shrunk to fit a narrow widget
    };

    Layout computeLayout() const;
    QFont smallFont() const;
    QList<double> ticks(int maxCount) const;
    QRectF columnRect() const;
    void renderBackground();
    void dropBackground();

    Qt::Orientation m_orientation;  // vertical or horizontal
    double m_minimum = 0.0;         // range as given
    double m_maximum = 100.0;       // range as given
    double m_value = 0.0;           // value shown
    QString m_caption;              // text beside or above the tube
    Layout m_layout;                // geometry for the current size
    QPixmap m_background;           // cached tube, scale and caption; null when stale
};
