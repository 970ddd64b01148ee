#include "timeaxisticker.h"

#include <QFontMetrics>
#include <algorithm>

namespace {
QDateTime localTime(double key)
{
    return QDateTime::fromMSecsSinceEpoch(toMs(key));
}

// Round steps of a clock, in seconds.
constexpr double Steps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30,
                            60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200,
                            86400, 2 * 86400, 7 * 86400, 14 * 86400, 28 * 86400, 91 * 86400, 365 * 86400};
} // namespace

void TimeAxisTicker::setRoom(int pixels, const QFont &font)
{
    m_pixels = pixels;
    m_font = font;
}

int TimeAxisTicker::labelWidth(double step) const
{
    const QFontMetrics fm(m_font);
    // The time, or the time over a date: the wider line counts.
    return std::max(fm.horizontalAdvance(step < 1 ? QStringLiteral("00:00:00.000") : QStringLiteral("00:00:00")),
                    fm.horizontalAdvance(QStringLiteral("0000-00-00")));
}

double TimeAxisTicker::getTickStep(const QCPRange &range)
{
    if (m_pixels <= 0 || range.size() <= 0)
        return QCPAxisTickerDateTime::getTickStep(range);
    // Steps of whole days fall on local midnights, shorter ones on round local times.
    setTickOrigin(-QDateTime::fromMSecsSinceEpoch(toMs(range.center())).offsetFromUtc());
    mDateStrategy = dsNone;
    const double perPixel = range.size() / m_pixels;
    const int gap = QFontMetrics(m_font).horizontalAdvance(QLatin1Char('M'));
    for (const double step : Steps)
        if (step / perPixel >= labelWidth(step) + gap)
            return step;
    return range.size(); // a span beyond the steps: its two ends
}

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
