#include "readoutlabel.h"

#include "instrumentaccess.h"

#include <QAccessible>
#include <QPainter>

ReadoutLabel::ReadoutLabel(QWidget *parent) : QLabel(parent)
{
    InstrumentAccess::install();
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::TabFocus); // heard in its row while tabbing; a click selects nothing here
}

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

void ReadoutLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(2, 2, -3, -3));
}
