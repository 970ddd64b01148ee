#pragma once

#include <qcustomplot.h>

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
