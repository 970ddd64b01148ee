#include "staleshade.h"

#include <QEvent>
#include <QPainter>

StaleShade::StaleShade(QWidget *over) : QWidget(over)
{
    setObjectName(QStringLiteral("staleShade"));
    setFocusPolicy(Qt::NoFocus);
    setGeometry(over->rect());
    over->installEventFilter(this);
    hide();
}

void StaleShade::cover(const QString &line, bool blocking)
{
    const bool changed = line != m_line || !m_covering;
    m_line = line;
    m_covering = true;
    setAttribute(Qt::WA_TransparentForMouseEvents, !blocking);
    setAccessibleName(line);
    setGeometry(parentWidget()->rect());
    raise();
    show();
    if (changed)
        update();
}

void StaleShade::lift()
{
    if (!m_covering)
        return;
    m_covering = false;
    hide();
}

bool StaleShade::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void StaleShade::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QColor veil = palette().color(QPalette::Window);
    veil.setAlpha(150);
    p.fillRect(rect(), veil);
    // The line on a band of its own at the top, where the eye starts.
    const QFontMetrics fm(font());
    const QRect band(0, 0, width(), fm.height() + 8);
    p.fillRect(band, palette().color(QPalette::ToolTipBase));
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawText(band.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(m_line, Qt::ElideRight, band.width() - 16));
}
