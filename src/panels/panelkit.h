#pragma once

#include "lib.h"

#include <QList>
#include <QRect>
#include <QString>
#include <span>

class ClickLabel;
class Lamp;
class QFont;
class NumField;
class QFrame;
class QGroupBox;
class QLabel;
class NameField;
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

// How much larger than drawn a panel's layout must be for its texts in this
// font (FontScale::of, shared with the graph windows).
double fontScale(const QFont &font);

// How a column's control shows and writes its parameter.
enum class Kind {
    Name,     // channel name field, written when the operator leaves it
    Status,   // status label, coloured by the status word
    Power,    // power lamp the operator can switch
    Switch,   // two-position switch
    Setpoint, // editable; shows the board's prefix with the unit
    Value,    // editable; shows the number as read
    Monitor,  // read-only; shown in the base unit, prefix from the value
};

// One column of a channel table. Its heading and its cells share left and width.
struct Column
{
    Kind kind;
    const char *array;       // control array: elements are named <array>_<index>
    const char *heading;     // heading text
    const char *par;         // parameter shown and written
    int left = 0;            // twips from the table's left
    int width = 0;           // twips
    const char *format = ""; // numeric fields: display format until the board's own is read
    const char *unit = "";   // setpoints: unit after the board's prefix
    const char *on = "";     // switches: label when on
    const char *off = "";    // switches: label when off
    int shift = 0;           // element index = channel - shift
    bool click = false;      // the heading is a ClickLabel

    constexpr Column shifted(int s) const { Column c = *this; c.shift = s; return c; }
    constexpr Column clickable() const { Column c = *this; c.click = true; return c; }
};

constexpr Column nameColumn(int left) { return {Kind::Name, "txtChName", "Channel Name", "", left, 1335}; }
constexpr Column statusColumn(int left) { return {Kind::Status, "lblStatus", "Status", "Status", left, 1275}; }
constexpr Column powerColumn(int left) { return {Kind::Power, "ledPw", "Pw", "Pw", left, 315}; }
constexpr Column setpoint(const char *name, int left, int width, const char *format, const char *unit)
{
    return {Kind::Setpoint, name, name, name, left, width, format, unit};
}
constexpr Column value(const char *name, const char *par, int left, int width, const char *format)
{
    return {Kind::Value, name, name, par, left, width, format};
}
constexpr Column monitor(const char *name, int left, int width, const char *format)
{
    return {Kind::Monitor, name, name, name, left, width, format};
}
constexpr Column switchColumn(const char *name, int left, int width, const char *on, const char *off)
{
    return {Kind::Switch, name, name, name, left, width, "", "", on, off};
}

// A block of columns in one parent: headings at top, then a row every RowPitch twips.
struct Table
{
    QWidget *parent;
    int top;
    std::span<const Column> columns;
};

inline constexpr int RowPitch = 300;
inline constexpr int FieldHeight = 285;
inline constexpr int HeadingHeight = 255;
inline constexpr int LampSize = 255;

// Top of a row's cells, in twips within the table's parent.
constexpr int rowTop(const Table &t, int row) { return t.top + RowPitch * (row + 1); }

// The first page of the twelve-channel panels (Q420 family, Q510).
inline constexpr Column WideSetPage[] = {
    powerColumn(60),
    setpoint("V0Set", 420, 915, " k\"V\"", "V"),
    monitor("VMon", 1380, 915, " k\"V\""),
    setpoint("I0Set", 2340, 915, "", "A"),
    monitor("IMon", 3300, 915, " k\"A\""),
    value("RmpUp", "RUp", 4260, 915, ". \"V/s\""),
    value("RmpDwn", "RDWn", 5220, 915, ". \"V/s\""),
};

// The second page of the Q310 groups and of the Q420 family.
inline constexpr Column LimitPage[] = {
    setpoint("V1Set", 0, 735, " \"V\"", "V"),
    setpoint("I1Set", 780, 735, "", "A"),
    setpoint("SVMax", 1560, 735, "\"V\"", "V"),
    value("Trip", "Trip", 2340, 735, " \"s\""),
    value("TripInt", "TripInt", 3120, 735, ""),
    value("TripExt", "TripExt", 3900, 735, ""),
    switchColumn("POn", 4680, 675, "Ena", "Dis"),
    switchColumn("PDwn", 5400, 735, "Rmp", "Kill"),
};

// The table's headings in column order, each with a tooltip saying what its
// parameter is and its unit; a clickable column's is a ClickLabel without a name.
QList<QLabel *> headings(const Table &t);

// objectName of element index of a control array: "V0Set_9".
QString element(const QString &name, int index);

// Column heading: the tooltip colours of the palette.
QLabel *heading(QWidget *parent, const QString &text, const QRect &r);
// A heading that opens something when clicked or on Enter (light orange).
ClickLabel *clickHeading(QWidget *parent, const QString &name, const QString &text, const QRect &r);

// Plain label with a coloured background (board-level captions).
QLabel *plateLabel(QWidget *parent, const QString &name, const QString &text, const QRect &r,
                   const Lib::ColourPair &colours);
// Filled rectangle behind board-level controls.
QFrame *plate(QWidget *parent, const QRect &r, Lib::OleColor back);

QGroupBox *groupFrame(QWidget *parent, const QString &name, const QString &caption, const QRect &r);
// Borderless frame that holds one page of columns.
QFrame *subFrame(QWidget *parent, const QString &name, const QRect &r);

NameField *nameField(QWidget *parent, int index, const QRect &r);   // txtChName_<index>, "Text1"
QLabel *statusLabel(QWidget *parent, int index, const QRect &r);    // lblStatus_<index>, empty ReadoutLabel
// A status label's colours, which the status word sets (the Window roles); no repaint when unchanged.
void setStatusColours(QLabel *label, const QColor &back, const QColor &fore);
Lamp *powerLamp(QWidget *parent, int index, const QRect &r);        // ledPw_<index>, red, switchable
TwoPosSwitch *twoPos(QWidget *parent, const QString &name, int index, const QRect &r,
                     const QString &onLabel, const QString &offLabel);
// Editable setpoint field or (indicator = true) read-only monitor.
NumField *numField(QWidget *parent, const QString &name, int index, const QRect &r,
                   const QString &format, bool indicator);

} // namespace PanelKit
