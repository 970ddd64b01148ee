#include "plotimages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace PlotImages {

namespace {
constexpr int Size = 16;

void drawParameter(QPainter &p)
{
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(160, 160, 160));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 13), 2, 2); // bezel
    p.fillRect(QRect(2, 2, 12, 10), QColor(0, 40, 0)); // screen
    p.setPen(QPen(QColor(0, 140, 0), 1));
    for (int x = 5; x < 14; x += 3)
        p.drawLine(x, 2, x, 11);
    for (int y = 4; y < 12; y += 3)
        p.drawLine(2, y, 13, y);
    QPainterPath sine;
    for (int i = 0; i <= 24; ++i) {
        const double x = 2 + i * 0.5;
        const double y = 7 - 3.5 * std::sin(i * 2 * M_PI / 24);
        i == 0 ? sine.moveTo(x, y) : sine.lineTo(x, y);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 255, 120), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(sine);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(6, 14, 4, 2), QColor(90, 90, 90)); // stand
}

void drawRefused(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(220, 20, 20));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
}

void drawChannel(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 110));
    p.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
    p.fillRect(QRectF(2, 10, 12, 2), Qt::white);
    p.fillRect(QRectF(2, 12, 12, 2), QColor(220, 0, 0));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 1, 16, 9), Qt::AlignCenter, QStringLiteral("HV"));
}

void drawBoard(QPainter &p)
{
    p.fillRect(QRect(0, 0, 16, 16), QColor(240, 200, 0));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int k = -16; k < 16; k += 6) {
        QPolygonF stripe;
        stripe << QPointF(k, 16) << QPointF(k + 3, 16) << QPointF(k + 19, 0) << QPointF(k + 16, 0);
        p.drawPolygon(stripe);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 15, 15);
}
} // namespace

QPixmap image(Image which)
{
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    switch (which) {
    case Parameter: drawParameter(p); break;
    case Refused: drawRefused(p); break;
    case Channel: drawChannel(p); break;
    case Board: drawBoard(p); break;
    }
    return pm;
}

QPixmap dimmed(const QPixmap &picture)
{
    QPixmap pm(picture.size());
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setOpacity(0.5);
    p.drawPixmap(0, 0, picture);
    return pm;
}

} // namespace PlotImages
