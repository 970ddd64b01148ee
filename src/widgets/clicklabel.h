#pragma once

#include "focuslabel.h"

// A heading label the operator can click (left button), e.g. to open a graph.
// It looks like any label; the pointing-hand cursor tells that it does something.
// It takes the keyboard focus as well, shows it with a dotted frame, and
// Enter or Space on it counts as a click; assistive technology sees a button.
class ClickLabel : public FocusLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(const QString &text, QWidget *parent = nullptr);

    // What a click does, for assistive technology's press.
    void press() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_pressed = false; // a left press began on the label: a release on it is a click
};
