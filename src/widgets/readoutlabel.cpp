#include "readoutlabel.h"

#include <QAccessible>

// Heard in its row while tabbing; a click selects nothing here.
ReadoutLabel::ReadoutLabel(QWidget *parent) : FocusLabel(QString(), Qt::TabFocus, parent) {}

void ReadoutLabel::setReading(const QString &text, bool alarm)
{
    if (text == QLabel::text() && alarm == m_alarm)
        return;
    if (text != QLabel::text())
        setText(text);
    m_alarm = alarm;
    QAccessibleValueChangeEvent changed(this, readout());
    QAccessible::updateAccessibility(&changed);
}

QString ReadoutLabel::readout() const
{
    return m_alarm ? text() + QStringLiteral(", alarm") : text();
}
