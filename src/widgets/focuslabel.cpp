#include "focuslabel.h"

#include "instrumentaccess.h"

#include <QPainter>

FocusLabel::FocusLabel(const QString &text, Qt::FocusPolicy policy, QWidget *parent) : QLabel(text, parent)
{
    InstrumentAccess::install();
    setTextFormat(Qt::PlainText);
    setFocusPolicy(policy);
}

void FocusLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(1, 1, -2, -2));
}
