#include "siaxisticker.h"

#include "numberformat.h"

#include <cmath>
#include <limits>

namespace {
constexpr int MaxSignificant = 15; // what a double still tells apart
constexpr double ReadBackTolerance = 0.01; // of the tick spacing
} // namespace

SiAxisTicker::SiAxisTicker(const QString &format)
    : m_format(format)
{
}

QVector<QString> SiAxisTicker::createLabelVector(const QVector<double> &ticks, const QLocale &, QChar, int)
{
    double spacing = std::numeric_limits<double>::infinity();
    for (qsizetype i = 1; i < ticks.size(); ++i)
        spacing = std::min(spacing, std::fabs(ticks[i] - ticks[i - 1]));

    // The format's usual digits first (significant 0), then more while some
    // label reads back as another value than its tick (or, for a label that does
    // not read back, as its neighbour).
    QVector<QString> labels(ticks.size());
    int significant = 0;
    for (;;) {
        bool exact = true;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            labels[i] = NumberFormat::render(ticks[i], m_format, significant);
            const auto back = NumberFormat::parse(labels[i], m_format);
            if (back ? std::fabs(*back - ticks[i]) > spacing * ReadBackTolerance : i > 0 && labels[i] == labels[i - 1])
                exact = false;
        }
        if (exact || significant >= MaxSignificant)
            return labels;
        significant = significant == 0 ? 5 : significant + 1;
    }
}
