#include "graphsheet.h"

#include "contrast.h"
#include "pylonet_version.h"
#include "tracegraph.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>
#include <qcustomplot.h>

namespace {
constexpr int Margin = 12;       // around everything, in pixels (points in a PDF)
constexpr int SwatchWidth = 28;  // a trace's colour before its name in the legend
constexpr int MinPlotWidth = 640;
constexpr int MinPlotHeight = 400;

QString timeOf(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Everything the sheet shows, and where.
struct Layout
{
    QFont titleFont, textFont;
    QSize plot;
    int lineHeight = 0, titleHeight = 0;
    QSize sheet;
};

Layout layoutOf(const TraceGraph &graph)
{
    Layout l;
    l.textFont = graph.font();
    l.titleFont = l.textFont;
    l.titleFont.setBold(true);
    l.titleFont.setPointSizeF(l.textFont.pointSizeF() > 0 ? l.textFont.pointSizeF() * 1.4 : 13);
    l.plot = graph.plotSize().expandedTo(QSize(MinPlotWidth, MinPlotHeight));
    l.lineHeight = QFontMetrics(l.textFont).height() + 2;
    l.titleHeight = QFontMetrics(l.titleFont).height() + 4;
    const int lines = graph.traceCount() + 1; // the legend, then the time range
    l.sheet = QSize(l.plot.width() + 2 * Margin, Margin + l.titleHeight + l.plot.height() + Margin / 2
                                                      + lines * l.lineHeight + Margin);
    return l;
}

void paint(QCPPainter &p, const TraceGraph &graph, const Layout &l, const GraphSheet::Options &options)
{
    const QColor paper = options.printColours ? Qt::white : Qt::black;
    const QColor ink = options.printColours ? Qt::black : QColor(230, 230, 230);
    p.fillRect(QRect(QPoint(), l.sheet), paper);
    p.setPen(ink);
    p.setFont(l.titleFont);
    p.drawText(QRect(Margin, Margin, l.plot.width(), l.titleHeight), Qt::AlignLeft | Qt::AlignVCenter, options.title);

    p.save();
    p.translate(Margin, Margin + l.titleHeight);
    graph.renderPlot(p, l.plot, options.printColours);
    p.restore();

    p.setFont(l.textFont);
    int y = Margin + l.titleHeight + l.plot.height() + Margin / 2;
    const QFontMetrics fm(l.textFont);
    for (int k = 0; k < graph.traceCount(); ++k, y += l.lineHeight) {
        QColor colour = graph.traceColor(k);
        if (options.printColours)
            colour = Contrast::readableOn(colour, Qt::white);
        p.setPen(QPen(colour, 3));
        const int mid = y + l.lineHeight / 2;
        p.drawLine(QLineF(Margin, mid, Margin + SwatchWidth - 6, mid));
        const QString unit = graph.traceUnit(k);
        const QString label = graph.traceLabel(k).isEmpty() ? graph.traceName(k) : graph.traceLabel(k);
        p.setPen(ink);
        p.drawText(QRect(Margin + SwatchWidth, y, l.plot.width() - SwatchWidth, l.lineHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(unit.isEmpty() ? label : label + QStringLiteral(" [") + unit + QLatin1Char(']'),
                                 Qt::ElideRight, l.plot.width() - SwatchWidth));
    }
    p.drawText(QRect(Margin, y, l.plot.width(), l.lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QObject::tr("From %1 to %2").arg(timeOf(graph.viewStart()), timeOf(graph.viewEnd())));
}
} // namespace

QImage GraphSheet::image(const TraceGraph &graph, const Options &options)
{
    const Layout l = layoutOf(graph);
    QImage image(l.sheet, QImage::Format_ARGB32_Premultiplied);
    QCPPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(p, graph, l, options);
    return image;
}

bool GraphSheet::save(const TraceGraph &graph, const QString &path, const Options &options)
{
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return image(graph, options).save(path, "PNG");
    const Layout l = layoutOf(graph);
    {
        QPdfWriter pdf(path);
        pdf.setTitle(options.title);
        pdf.setCreator(QStringLiteral("Pylonet " PYLONET_VERSION_STRING));
        pdf.setResolution(72); // a pixel of the sheet is a point of the page
        pdf.setPageSize(QPageSize(QSizeF(l.sheet), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QCPPainter p;
        if (!p.begin(&pdf))
            return false;
        paint(p, graph, l, options);
        if (!p.end())
            return false;
    }
    const QFileInfo written(path);
    return written.exists() && written.size() > 0;
}
