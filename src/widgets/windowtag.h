#pragma once

#include <QString>

class QWidget;

// A window's tag is its dynamic property "tag"; open windows are found by it.
QString windowTag(const QWidget *window);
void setWindowTag(QWidget *window, const QString &tag);

// A board panel's tag: "Mon" and its slot.
QString panelTag(int slot);

// The visible top-level window carrying the tag, or nullptr.
QWidget *findWindowByTag(const QString &tag);

// Brings the window with the tag forward; false when none is open.
bool raiseWindowByTag(const QString &tag);
