#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QWidget;

// Saving a file the operator asked for: the dialog, the writing, and the one
// message a failed save gives. Nothing is ever written without the operator.
namespace SaveFile {

// Asks for a file, suggesting <stem>-yyyyMMdd-hhmmss with the first filter's
// suffix, in the folder this kind of file (stem and first filter) was last
// saved to during the run, the home folder at first. A name without a suffix
// gets the chosen filter's ("PNG image (*.png)" gives .png). Empty when the
// operator cancelled.
QString ask(QWidget *parent, const QString &caption, const QString &stem, const QStringList &filters);

// The folder ask() starts in for this kind of file, and noting where one was saved.
QString folderFor(const QString &stem, const QStringList &filters);
void remember(const QString &stem, const QStringList &filters, const QString &path);

// Writes the bytes whole, through a temporary file renamed at the end, so a
// failure leaves no half file behind. False, after telling the operator, when
// it failed.
bool write(QWidget *parent, const QString &what, const QString &path, const QByteArray &bytes);

// "The <what> could not be saved to <path>." with the reason, as a warning.
void refuse(QWidget *parent, const QString &what, const QString &path, const QString &why);

} // namespace SaveFile
