#include "controlmark.h"

#include "plaintext.h"

#include <QEvent>
#include <QPainter>

namespace {
const QColor Refusal(220, 0, 0);
const QColor Doubt(230, 140, 0);
} // namespace

ControlMark::ControlMark(QWidget *control) : QWidget(control), m_control(control)
{
    setObjectName(QStringLiteral("controlMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    m_ownTip = control->toolTip();
    m_ownDescription = control->accessibleDescription();
    setGeometry(control->rect());
    control->installEventFilter(this);
}

ControlMark *ControlMark::of(const QWidget *control)
{
    return control ? control->findChild<ControlMark *>(QStringLiteral("controlMark"), Qt::FindDirectChildrenOnly)
                   : nullptr;
}

void ControlMark::set(QWidget *control, Kind kind, const QString &text)
{
    if (!control)
        return;
    ControlMark *mark = of(control);
    if (!mark)
        mark = new ControlMark(control);
    mark->apply(kind, text);
}

void ControlMark::clear(QWidget *control)
{
    if (ControlMark *mark = of(control)) {
        mark->restore();
        mark->hide();
        mark->deleteLater();
        mark->setObjectName(QString()); // gone for of() at once
    }
}

std::optional<ControlMark::Kind> ControlMark::kindOf(const QWidget *control)
{
    const ControlMark *mark = of(control);
    return mark ? std::optional<Kind>(mark->m_kind) : std::nullopt;
}

QString ControlMark::textOf(const QWidget *control)
{
    const ControlMark *mark = of(control);
    return mark ? mark->m_text : QString();
}

void ControlMark::describe(QWidget *control, const QString &description)
{
    ControlMark *mark = of(control);
    if (!mark) {
        if (control->accessibleDescription() != description)
            control->setAccessibleDescription(description);
        return;
    }
    mark->m_ownDescription = description;
    mark->apply(mark->m_kind, mark->m_text);
}

void ControlMark::apply(Kind kind, const QString &text)
{
    m_kind = kind;
    m_text = text;
    m_control->setToolTip(PlainText::tip(text)); // a refusal is often the crate's own words
    const QString said = m_ownDescription.isEmpty() ? text : m_ownDescription + QStringLiteral(", ") + text;
    if (m_control->accessibleDescription() != said)
        m_control->setAccessibleDescription(said);
    setGeometry(m_control->rect());
    raise();
    show();
    update();
}

void ControlMark::restore()
{
    m_control->removeEventFilter(this);
    m_control->setToolTip(m_ownTip);
    m_control->setAccessibleDescription(m_ownDescription);
}

bool ControlMark::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_control && event->type() == QEvent::Resize)
        setGeometry(m_control->rect());
    return QWidget::eventFilter(watched, event);
}

void ControlMark::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    switch (m_kind) {
    case Kind::Pending:
        // On its way: a dashed frame in the selection colour, the value written inside.
        p.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
        p.drawRect(r);
        break;
    case Kind::Refused:
        p.setPen(QPen(Refusal, 2));
        p.drawRect(r);
        break;
    case Kind::Unknown:
        p.setPen(QPen(Doubt, 2));
        p.drawRect(r);
        break;
    case Kind::CrateChanged: {
        // Amber, dashed, with a corner flag: the crate holds something else than the field shows.
        p.setPen(QPen(Doubt, 2, Qt::DashLine));
        p.drawRect(r);
        const qreal s = qMin<qreal>(8, height() / 2.0);
        p.setPen(Qt::NoPen);
        p.setBrush(Doubt);
        p.drawPolygon(QPolygonF{QPointF(width() - s, 0), QPointF(width(), 0), QPointF(width(), s)});
        break;
    }
    }
}
