#pragma once

#include <cmath>
#include <qcustomplot.h>

// Time axis coordinates are seconds since the epoch, as QCustomPlot's date-time
// ticker takes them; samples are timed in milliseconds since the epoch.
inline double toKey(qint64 ms)
{
    return double(ms) / 1000.0;
}
inline qint64 toMs(double key)
{
    return std::llround(key * 1000.0);
}

// Clock-time tick labels for a time axis whose coordinates are seconds since
// the epoch: "hh:mm:ss" in local time ("hh:mm:ss.zzz" when ticks are less than
// a second apart). When the axis spans more than one date, the first tick in
// view and the first tick of each new date carry the date on a second line.
//
// Ticks are never closer than their labels are wide: given the axis's length
// and the label font (setRoom), the step is the smallest round one (1 s, 2 s,
// 5 s, ... 1 h, 2 h, ... 1 day, ...) that leaves a label's width and a gap
// between neighbours, whatever the window's width or the font.
class TimeAxisTicker : public QCPAxisTickerDateTime
{
public:
    // The axis's length in pixels and the font its labels are drawn in.
    void setRoom(int pixels, const QFont &font);

    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks, QVector<QString> *tickLabels) override;
    // The widest a label can be at this step, in pixels.
    int labelWidth(double step) const;

protected:
    double getTickStep(const QCPRange &range) override;
    QVector<QString> createLabelVector(const QVector<double> &ticks, const QLocale &locale, QChar formatChar,
                                       int precision) override;

private:
    QCPRange m_range;        // the range being labelled
    int m_pixels = 0;        // the axis's length; 0: not known, QCustomPlot's own steps
    QFont m_font;            // the labels' font
};
