#include "numfield.h"

#include "lib.h"
#include "numberformat.h"

#include <QFocusEvent>
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

void NumField::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    if (m_refusedText.isEmpty())
        return;
    QPainter p(this);
    p.setPen(QPen(QColor(220, 0, 0), 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void NumField::showValue()
{
    const QString shown = NumberFormat::render(m_value, m_format);
    if (shown == text())
        return;
    setText(shown);
    fitFont();
}

void NumField::fitFont()
{
    if (isModified())
        return; // the operator's typing scrolls as usual
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect inner = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const int room = inner.width() - 2 * InnerMargin;
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
    if (drawn == font())
        return;
    m_fitting = true;
    setFont(drawn);
    m_fitting = false;
}

void NumField::applyRoleColours()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Lib::toQColor(m_indicator ? Lib::SysButtonFace : Lib::SysWindow));
    setPalette(pal);
}
