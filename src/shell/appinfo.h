#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;

// What the About box and the splash tell about this program: texts from the
// build's version numbers and our own painted icon and logo.
namespace AppInfo {

QString title();          // "Pylonet"
QString versionNumber();  // major.minor.patch, plain integers, e.g. 1.3.3
QString description();    // one line on what the program does
QString legalNotice();
QString supportLine();
QString organisation();   // "Norvane", also the settings store's organisation

// Tells Qt who this program is (name, organisation, version, desktop entry), so
// that the platform, the settings store and --version see them.
void registerWithQt();

// The application icon: a high-voltage bolt on a dark panel, painted at any size
// on any paint device (a pixmap, or an SVG file for the desktop's scalable icon).
void paintIcon(QPainter &p, int side);
QPixmap iconPixmap(int side);
QIcon icon();

// The wordmark for the splash, 100 by 42 pixels.
QPixmap logo();

} // namespace AppInfo
