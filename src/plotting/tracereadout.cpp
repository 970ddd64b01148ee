#include "tracereadout.h"

#include "contrast.h"

#include <QLabel>
#include <qcustomplot.h>

namespace {
constexpr int BoxGap = 8; // pixels between the line and the box
} // namespace

TraceReadout::TraceReadout(QCustomPlot *plot)
    : m_plot(plot)
    , m_cursor(new QCPItemStraightLine(plot))
    , m_box(new QLabel(plot))
{
    m_cursor->setLayer(QStringLiteral("overlay"));
    m_cursor->setPen(QPen(QColor(255, 255, 255, 160), 0, Qt::DashLine));
    m_cursor->setSelectable(false);
    m_cursor->setClipToAxisRect(true);
    m_cursor->setVisible(false);
    for (QCPItemPosition *p : {m_cursor->point1, m_cursor->point2})
        p->setTypeY(QCPItemPosition::ptAxisRectRatio);

    m_box->setTextFormat(Qt::RichText);
    m_box->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_box->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(24, 24, 24, 225); border: 1px solid rgb(110, 110, 110); padding: 2px 4px; }"));
    m_box->hide();
}

void TraceReadout::show(double key, const QVector<Line> &lines)
{
    m_key = key;
    m_texts.clear();
    QStringList html;
    for (const Line &line : lines) {
        m_texts << line.text;
        const QString text = line.text.toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
        // On the box's near-black, a dark trace colour (blue) is lightened until it reads.
        const QColor readable = Contrast::readableOn(line.color, QColor(24, 24, 24));
        html << QStringLiteral("<span style=\"color:%1\">%2</span>").arg(readable.name(), text);
    }
    m_box->setText(html.join(QStringLiteral("<br>")));
    m_box->adjustSize();

    m_cursor->point1->setCoords(key, 0);
    m_cursor->point2->setCoords(key, 1);
    m_cursor->setVisible(true);
    m_cursor->layer()->replot();

    // Right of the line, or left of it where the plot area ends.
    const QRect area = m_plot->axisRect()->rect();
    const int x = qRound(m_plot->xAxis->coordToPixel(key));
    int left = x + BoxGap;
    if (left + m_box->width() > area.right())
        left = x - BoxGap - m_box->width();
    m_box->move(std::max(area.left(), left), area.top() + BoxGap);
    m_box->show();
    m_box->raise();
}

void TraceReadout::hide()
{
    if (!isShown())
        return;
    m_cursor->setVisible(false);
    m_cursor->layer()->replot();
    m_box->hide();
}

bool TraceReadout::isShown() const
{
    return m_cursor->visible();
}
