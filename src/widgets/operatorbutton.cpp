#include "operatorbutton.h"

#include <QMouseEvent>

OperatorButton::OperatorButton(QWidget *parent) : QAbstractButton(parent)
{
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
