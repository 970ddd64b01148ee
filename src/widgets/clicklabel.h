#pragma once

#include <QLabel>

// A heading label the operator can click (left button), e.g. to open a graph.
// It looks like any label; the pointing-hand cursor tells that it does something.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false; // a left press began on the label: a release on it is a click
};
