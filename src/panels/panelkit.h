#pragma once

#include "lib.h"

#include <QRect>
#include <QString>

class ClickLabel;
class Lamp;
class NumField;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;
class TwoPosSwitch;

// Builders for the controls every board panel lays out. Panels are drawn in
// twips, as their layouts were designed; 15 twips make one pixel.
namespace PanelKit {

inline constexpr int TwipsPerPixel = 15;

inline constexpr int px(int twips) { return twips / TwipsPerPixel; }
inline QRect twips(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// objectName of element index of a control array: "V0Set_9".
QString element(const QString &name, int index);

// Column heading: highlight text on the tooltip background, or on a given colour.
QLabel *heading(QWidget *parent, const QString &text, const QRect &r,
                Lib::OleColor back = Lib::SysInfoBackground);
// A heading that opens something when clicked (light orange).
ClickLabel *clickHeading(QWidget *parent, const QString &name, const QString &text, const QRect &r);

// Plain label with a coloured background (board-level captions).
QLabel *plateLabel(QWidget *parent, const QString &name, const QString &text, const QRect &r,
                   Lib::OleColor back, Lib::OleColor fore);
// Filled rectangle behind board-level controls.
QFrame *plate(QWidget *parent, const QRect &r, Lib::OleColor back);

QGroupBox *groupFrame(QWidget *parent, const QString &name, const QString &caption, const QRect &r);
// Borderless frame that holds one page of columns.
QFrame *subFrame(QWidget *parent, const QString &name, const QRect &r);

QLineEdit *nameField(QWidget *parent, int index, const QRect &r);   // txtChName_<index>, "Text1"
QLabel *statusLabel(QWidget *parent, int index, const QRect &r);    // lblStatus_<index>, empty
Lamp *powerLamp(QWidget *parent, int index, const QRect &r);        // ledPw_<index>, red, switchable
TwoPosSwitch *twoPos(QWidget *parent, const QString &name, int index, const QRect &r,
                     const QString &onLabel, const QString &offLabel);
// Editable setpoint field or (indicator = true) read-only monitor.
NumField *numField(QWidget *parent, const QString &name, int index, const QRect &r,
                   const QString &format, bool indicator);

} // namespace PanelKit
