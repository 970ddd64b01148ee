#include "siaxisticker.h"

#include "numberformat.h"

SiAxisTicker::SiAxisTicker(const QString &format)
    : m_format(format)
{
}

QString SiAxisTicker::getTickLabel(double tick, const QLocale &, QChar, int)
{
    return NumberFormat::render(tick, m_format);
}
