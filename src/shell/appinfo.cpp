#include "appinfo.h"

#include "pylonet_version.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace AppInfo {

QString title()
{
    return QStringLiteral("Pylonet");
}

QString versionNumber()
{
    return QStringLiteral("%1.%2.%3").arg(PYLONET_VERSION_MAJOR).arg(PYLONET_VERSION_MINOR).arg(PYLONET_VERSION_PATCH);
}

QString description()
{
    return QStringLiteral("Remote control of HV boards.");
}

QString legalNotice()
{
    return QStringLiteral("Copyright (C) 2026 the Pylonet developers. Distributed without warranty.");
}

QString supportLine()
{
    return QStringLiteral("Support: pylonet-support@example.org");
}

QString organisation()
{
    return QStringLiteral("Norvane");
}

void registerWithQt()
{
    QCoreApplication::setApplicationName(title());
    QCoreApplication::setOrganizationName(organisation());
    QCoreApplication::setApplicationVersion(versionNumber());
    QGuiApplication::setDesktopFileName(QStringLiteral("pylonet")); // packaging/pylonet.desktop
}

namespace {
// The bolt, in a unit square.
QPainterPath boltPath(const QRectF &r)
{
    auto at = [&r](qreal x, qreal y) { return QPointF(r.left() + x * r.width(), r.top() + y * r.height()); };
    QPainterPath bolt;
    bolt.moveTo(at(0.58, 0.04));
    bolt.lineTo(at(0.20, 0.56));
    bolt.lineTo(at(0.46, 0.56));
    bolt.lineTo(at(0.36, 0.96));
    bolt.lineTo(at(0.80, 0.40));
    bolt.lineTo(at(0.53, 0.40));
    bolt.closeSubpath();
    return bolt;
}

void paintBadge(QPainter &p, const QRectF &r)
{
    const qreal radius = r.width() * 0.18;
    QLinearGradient plate(r.topLeft(), r.bottomLeft());
    plate.setColorAt(0.0, QColor(0x3a, 0x41, 0x48));
    plate.setColorAt(1.0, QColor(0x16, 0x1a, 0x1e));
    p.setPen(QPen(QColor(0x0c, 0x0e, 0x10), qMax<qreal>(1.0, r.width() / 32.0)));
    p.setBrush(plate);
    p.drawRoundedRect(r, radius, radius);

    QLinearGradient amber(r.topLeft(), r.bottomLeft());
    amber.setColorAt(0.0, QColor(0xff, 0xd5, 0x4a));
    amber.setColorAt(1.0, QColor(0xf0, 0x8a, 0x10));
    p.setPen(QPen(QColor(0x60, 0x30, 0x00), qMax<qreal>(0.8, r.width() / 48.0)));
    p.setBrush(amber);
    p.drawPath(boltPath(r.adjusted(r.width() * 0.12, r.height() * 0.1, -r.width() * 0.12, -r.height() * 0.1)));
}
} // namespace

void paintIcon(QPainter &p, int side)
{
    p.setRenderHint(QPainter::Antialiasing);
    paintBadge(p, QRectF(0.5, 0.5, side - 1.0, side - 1.0));
}

QPixmap iconPixmap(int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paintIcon(p, side);
    return pm;
}

QIcon icon()
{
    QIcon ic;
    for (int side : {16, 24, 32, 48, 64, 128})
        ic.addPixmap(iconPixmap(side));
    return ic;
}

QPixmap logo()
{
    QPixmap pm(100, 42);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBadge(p, QRectF(1, 3, 36, 36));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    // The largest size at which the name fits beside the badge.
    for (int px = 17; px > 8; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).horizontalAdvance(title()) <= 58)
            break;
    }
    p.setFont(f);
    p.setPen(QGuiApplication::palette().color(QPalette::WindowText)); // on the window, light or dark
    p.drawText(QRectF(40, 0, 60, 30), Qt::AlignLeft | Qt::AlignBottom, title());
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(8);
    p.setFont(small);
    p.setPen(QColor(0xd0, 0x70, 0x00));
    p.drawText(QRectF(41, 29, 59, 12), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("HV CONTROL"));
    return pm;
}

} // namespace AppInfo
