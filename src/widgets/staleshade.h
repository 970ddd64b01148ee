#pragma once

#include <QWidget>

// A veil over a window's values while they are not the crate's present ones:
// the values greyed, and one line saying why ("Not connected", "No answer
// from the crate for 4 s"). While the link is only slow the veil lets every
// click through, so the operator can still switch a channel off; while there
// is no link it takes them, since nothing could reach the crate. It covers its
// parent and follows its size.
class StaleShade : public QWidget
{
    Q_OBJECT
public:
    explicit StaleShade(QWidget *over);

    // Shows the veil with this line; blocking: clicks do not reach the values.
    void cover(const QString &line, bool blocking);
    void lift();
    bool isCovering() const { return m_covering; }
    QString line() const { return m_line; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_line;          // why the values are not fresh
    bool m_covering = false; // shown over the values
};
