#include "timeaxisticker.h"

namespace {
QDateTime localTime(double key)
{
    return QDateTime::fromMSecsSinceEpoch(toMs(key));
}
} // namespace

void TimeAxisTicker::generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                              QVector<double> &ticks, QVector<double> *subTicks, QVector<QString> *tickLabels)
{
    m_range = range;
    QCPAxisTickerDateTime::generate(range, locale, formatChar, precision, ticks, subTicks, tickLabels);
}

QVector<QString> TimeAxisTicker::createLabelVector(const QVector<double> &ticks, const QLocale &, QChar, int)
{
    const bool subSecond = ticks.size() > 1 && ticks[1] - ticks[0] < 1.0;
    const QString timeFormat = subSecond ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss");
    const bool manyDates = localTime(m_range.lower).date() != localTime(m_range.upper).date();

    QVector<QString> labels;
    labels.reserve(ticks.size());
    QDate previous; // date of the previous tick in view
    for (const double tick : ticks) {
        const QDateTime at = localTime(tick);
        QString label = at.toString(timeFormat);
        if (manyDates && tick >= m_range.lower && at.date() != previous) {
            label += QLatin1Char('\n') + at.toString(QStringLiteral("yyyy-MM-dd"));
            previous = at.date();
        }
        labels << label;
    }
    return labels;
}
