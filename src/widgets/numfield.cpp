#include "numfield.h"

#include "lib.h"
#include "numberformat.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {
constexpr qreal MinFontScale = 0.7; // smallest font a long value is drawn in
constexpr int InnerMargin = 2;      // the line edit's own gap between frame and text
}

NumField::NumField(QWidget *parent) : QLineEdit(parent), m_fullFont(font())
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::StrongFocus);
    applyRoleColours();
    showValue();
    // The sign of a refused text goes at the operator's next edit.
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (m_refusedText.isEmpty())
            return;
        m_refusedText.clear();
        setToolTip(m_plainToolTip);
        update();
    });
}

void NumField::setFormat(const QString &format)
{
    if (format == m_format)
        return;
    m_format = format;
    if (!isModified())
        showValue();
}

QString NumField::format() const { return m_format; }

void NumField::setValue(double v)
{
    m_value = v;
    if (!isModified())
        showValue();
}

double NumField::value() const { return m_value; }

void NumField::setIndicator(bool on)
{
    if (on == m_indicator)
        return;
    m_indicator = on;
    setReadOnly(on);
    setFocusPolicy(on ? Qt::NoFocus : Qt::StrongFocus);
    if (on && isModified()) {
        setModified(false);
        showValue();
    }
    if (on && hasFocus())
        clearFocus();
    applyRoleColours();
}

bool NumField::isIndicator() const { return m_indicator; }

void NumField::setColours(const Lib::ColourPair &colours)
{
    m_colours = colours;
    applyRoleColours();
}

QString NumField::displayedText() const
{
    if (!m_elided || hasFocus())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideRight, textRoom().width());
}

bool NumField::event(QEvent *event)
{
    // Escape while typing drops the typing; it must not reach a window shortcut first.
    if (event->type() == QEvent::ShortcutOverride && isModified()
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void NumField::keyPressEvent(QKeyEvent *event)
{
    if (m_indicator) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        commitTyping();
        event->accept();
        return;
    case Qt::Key_Escape:
        if (isModified()) {
            setModified(false);
            showValue();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void NumField::focusOutEvent(QFocusEvent *event)
{
    // A context menu or another window takes the focus only for a while.
    const bool leaves = event->reason() != Qt::PopupFocusReason
                        && event->reason() != Qt::ActiveWindowFocusReason;
    if (leaves && !m_indicator) {
        commitTyping();
        showValue(); // a committed "2" now reads "2 kV"
    }
    QLineEdit::focusOutEvent(event);
}

void NumField::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyRoleColours();
    if (event->type() == QEvent::FontChange && !m_fitting) {
        m_fullFont = font();
        fitFont();
    }
    QLineEdit::changeEvent(event);
}

void NumField::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    fitFont();
}

void NumField::commitTyping()
{
    if (!isModified())
        return;
    setModified(false);
    const QString typed = text();
    const auto number = NumberFormat::parse(typed, m_format);
    if (!number) {
        showValue();
        if (hasFocus())
            selectAll(); // ready for the operator's next try
        showRefusal(typed);
        emit refused(typed);
        return;
    }
    // The typed text stays shown until the field is left.
    m_value = *number;
    emit committed(*number);
}

void NumField::showRefusal(const QString &typed)
{
    // Said on the field itself, without a box: the operator is typing here.
    if (m_refusedText.isEmpty())
        m_plainToolTip = toolTip();
    m_refusedText = typed;
    setToolTip(tr("\"%1\" is not a number: nothing was written.").arg(typed));
    update();
}

void NumField::showValue()
{
    const QString shown = NumberFormat::render(m_value, m_format);
    if (shown == text())
        return;
    setText(shown);
    fitFont();
}

QRect NumField::textRoom() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_LineEditContents, &option, this)
        .adjusted(InnerMargin, 0, -InnerMargin, 0);
}

void NumField::paintEvent(QPaintEvent *event)
{
    if (!m_elided || hasFocus() || isModified()) {
        QLineEdit::paintEvent(event);
    } else {
        // The frame as the style draws it, then the elided value where the text goes.
        QPainter p(this);
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, this);
        p.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, QPalette::Text));
        p.drawText(textRoom(), int(alignment()), displayedText());
    }
    if (!m_refusedText.isEmpty()) { // the sign of a refused text, over whatever is drawn
        QPainter p(this);
        p.setPen(QPen(QColor(220, 0, 0), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void NumField::fitFont()
{
    if (isModified())
        return; // the operator's typing scrolls as usual
    const int room = textRoom().width();
    const int need = QFontMetrics(m_fullFont).horizontalAdvance(text());
    QFont drawn = m_fullFont;
    if (need > room && room > 0) {
        // Scale, then step down until it fits: hinting makes widths not quite linear.
        const bool byPixels = m_fullFont.pointSizeF() <= 0;
        const qreal full = byPixels ? m_fullFont.pixelSize() : m_fullFont.pointSizeF();
        const qreal smallest = full * MinFontScale;
        qreal size = std::max(smallest, full * room / need);
        for (;;) {
            if (byPixels)
                drawn.setPixelSize(std::max(1, int(size)));
            else
                drawn.setPointSizeF(size);
            if (size <= smallest || QFontMetrics(drawn).horizontalAdvance(text()) <= room)
                break;
            size = std::max(smallest, size - (byPixels ? 1.0 : 0.25));
        }
    }
    const bool elided = room > 0 && QFontMetrics(drawn).horizontalAdvance(text()) > room;
    if (elided != m_elided) {
        m_elided = elided;
        update();
    }
    if (drawn == font())
        return;
    m_fitting = true;
    setFont(drawn);
    m_fitting = false;
}

void NumField::applyRoleColours()
{
    // Each background with its own text colour, so a dark palette keeps the value legible.
    const QPalette app = QGuiApplication::palette();
    QPalette pal = palette();
    if (m_colours) {
        pal.setColor(QPalette::Base, Lib::toQColor(m_colours->back));
        pal.setColor(QPalette::Text, Lib::toQColor(m_colours->fore));
    } else {
        pal.setColor(QPalette::Base, app.color(m_indicator ? QPalette::Button : QPalette::Base));
        pal.setColor(QPalette::Text, app.color(m_indicator ? QPalette::ButtonText : QPalette::Text));
    }
    setPalette(pal);
}
