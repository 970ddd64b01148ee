#include "operatorbutton.h"

#include "instrumentaccess.h"

#include <QAccessible>
#include <QMouseEvent>

OperatorButton::OperatorButton(QWidget *parent) : QAbstractButton(parent)
{
    InstrumentAccess::install();
    setCheckable(true);
    connect(this, &QAbstractButton::clicked, this, [this](bool on) {
        if (operable() && !m_busy)
            emit switchedByOperator(on);
    });
}

void OperatorButton::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        setDown(false); // a press begun before does not complete into a click
    update();
}

QString OperatorButton::stateText() const
{
    return value() ? QStringLiteral("on") : QStringLiteral("off");
}

void OperatorButton::checkStateSet()
{
    if (!QAccessible::isActive())
        return; // nobody listens: the event would only be built and dropped
    QAccessibleValueChangeEvent changed(this, stateText());
    QAccessible::updateAccessibility(&changed);
}

void OperatorButton::nextCheckState()
{
    if (operable() && !m_busy)
        QAbstractButton::nextCheckState();
}

void OperatorButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The first click of the pair has switched; the second press must not switch back.
    event->accept();
}
