#include "fontscale.h"

#include <QFontMetricsF>
#include <algorithm>

namespace {
// Letters every layout holds: headings, status texts and values.
const QString SampleText = QStringLiteral("Channel Name E-Trp-Down 0123456789 kV uA");
} // namespace

double FontScale::of(const QFont &font)
{
    const QFontMetricsF drawnFor(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QFontMetricsF now(font);
    const double wider = now.horizontalAdvance(SampleText) / drawnFor.horizontalAdvance(SampleText);
    const double taller = now.height() / drawnFor.height();
    return std::max({1.0, wider, taller});
}
