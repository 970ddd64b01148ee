#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVector>

class QCPItemStraightLine;
class QCustomPlot;
class QLabel;

// The cursor readout over a plot: a vertical line at one time and, beside it
// at the top of the plot area, one small box of text lines, each in its own
// colour. The line sits on the plot's buffered overlay layer, so moving it
// redraws neither traces nor axes.
class TraceReadout
{
public:
    struct Line
    {
        QString text;
        QColor color;
    };

    explicit TraceReadout(QCustomPlot *plot);
    Q_DISABLE_COPY_MOVE(TraceReadout)

    // Puts the line at x coordinate key and the box beside it.
    void show(double key, const QVector<Line> &lines);
    void hide();
    bool isShown() const;
    double key() const { return m_key; }
    QStringList texts() const { return m_texts; }

private:
    QCustomPlot *m_plot;            // the plot it is drawn over
    QCPItemStraightLine *m_cursor;  // the vertical line, owned by the plot
    QLabel *m_box;                  // the text box, a child of the plot
    QStringList m_texts;            // what the box shows, line by line
    double m_key = 0;               // where the line stands
};
