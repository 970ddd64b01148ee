#pragma once

#include <QLabel>

// A label that takes the keyboard focus (a heading that opens something, a
// value read by Tab) and shows it with a dotted frame in its text colour.
// Its text is plain: what it shows is never taken for markup.
class FocusLabel : public QLabel
{
    Q_OBJECT
public:
    FocusLabel(const QString &text, Qt::FocusPolicy policy, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
