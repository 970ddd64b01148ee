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
class TimeAxisTicker : public QCPAxisTickerDateTime
{
public:
    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks, QVector<QString> *tickLabels) override;

protected:
    QVector<QString> createLabelVector(const QVector<double> &ticks, const QLocale &locale, QChar formatChar,
                                       int precision) override;

private:
    QCPRange m_range; // the range being labelled
};
