#include "savefile.h"

#include "msgbox.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
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

// Images, graph data and events each have their folder; kept for the run only,
// as the program keeps nothing between runs but the crate's address.
QHash<QString, QString> &folders()
{
    static QHash<QString, QString> byKind;
    return byKind;
}

QString kindOf(const QString &stem, const QStringList &filters)
{
    return stem + QLatin1Char('.') + suffixOf(filters.value(0));
}
} // namespace

QString folderFor(const QString &stem, const QStringList &filters)
{
    const QString folder = folders().value(kindOf(stem, filters));
    return folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder;
}

void remember(const QString &stem, const QStringList &filters, const QString &path)
{
    folders().insert(kindOf(stem, filters), QFileInfo(path).absolutePath());
}

QString ask(QWidget *parent, const QString &caption, const QString &stem, const QStringList &filters)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString suggested =
        QDir(folderFor(stem, filters)).filePath(QStringLiteral("%1-%2.%3").arg(stem, stamp, suffixOf(filters.value(0))));
    QString chosen = filters.value(0);
    QString path = QFileDialog::getSaveFileName(parent, caption, suggested, filters.join(QStringLiteral(";;")), &chosen);
    if (path.isEmpty())
        return path;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffixOf(chosen);
    remember(stem, filters, path);
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
