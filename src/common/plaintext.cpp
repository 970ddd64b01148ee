#include "plaintext.h"

#include <QTextDocument>

namespace PlainText {

QString tip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QString windowTitle(const QString &text)
{
    QString out = text;
    return out.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

QString buttonText(const QString &text)
{
    QString out = text;
    return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace PlainText
