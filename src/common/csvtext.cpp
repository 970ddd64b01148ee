#include "csvtext.h"

#include <QDateTime>
#include <QLocale>

namespace CsvText {

namespace {
// Whether a spreadsheet could take the text for a formula.
bool looksLikeFormula(const QString &text)
{
    if (text.isEmpty() || !QStringView(u"=+-@\t\r").contains(text.front()))
        return false;
    bool number = false;
    QLocale::c().toDouble(text, &number);
    return !number;
}
} // namespace

QByteArray cell(const QString &text)
{
    QByteArray utf8 = (looksLikeFormula(text) ? QLatin1Char('\'') + text : text).toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r'))
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

QByteArray isoTime(qint64 ms)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
}

} // namespace CsvText
