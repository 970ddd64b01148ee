#include "savefile.h"

#include "msgbox.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace SaveFile {

namespace {
// "png" of "PNG image (*.png)".
QString suffixOf(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
    return pattern.match(filter).captured(1);
}
} // namespace

QString ask(QWidget *parent, const QString &caption, const QString &stem, const QStringList &filters)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString suggested =
        QDir::home().filePath(QStringLiteral("%1-%2.%3").arg(stem, stamp, suffixOf(filters.value(0))));
    QString chosen = filters.value(0);
    QString path = QFileDialog::getSaveFileName(parent, caption, suggested, filters.join(QStringLiteral(";;")), &chosen);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffixOf(chosen);
    return path;
}

bool write(QWidget *parent, const QString &what, const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0 && file.commit())
        return true;
    refuse(parent, what, path, file.errorString());
    return false;
}

void refuse(QWidget *parent, const QString &what, const QString &path, const QString &why)
{
    MsgBox::show(parent, QStringLiteral("Attention"),
                 QStringLiteral("The %1 could not be saved to %2.\n%3").arg(what, QDir::toNativeSeparators(path), why),
                 QMessageBox::Warning);
}

} // namespace SaveFile
