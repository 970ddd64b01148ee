#include "numfield.h"

#include "controlmark.h"
#include "instrumentaccess.h"
#include "lib.h"
#include "numberformat.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {
constexpr qreal MinFontScale = 0.7; // smallest font a long value is drawn in
constexpr int InnerMargin = 2;      // the line edit's own gap between frame and text
}

NumField::NumField(QWidget *parent) : EditField(parent), m_fullFont(font()), m_fullMetrics(m_fullFont)
{
    InstrumentAccess::install();
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::StrongFocus);
    applyColours();
    takeCrateValue(m_value, false);
    connect(this, &QLineEdit::textEdited, this, [this] { m_refusedText.clear(); });
    connect(this, &QLineEdit::textChanged, this, [this] { fitFont(); });
}

void NumField::setFormat(const QString &format)
{
    if (format == m_format)
        return;
    m_format = format;
    if (!isEditing())
        showText(render(m_value));
}

QString NumField::format() const { return m_format; }

void NumField::setValue(double v, bool evenIfEditing)
{
    m_value = v;
    takeCrateValue(v, evenIfEditing);
}

double NumField::value() const { return m_value; }

QString NumField::textOf(double v) const { return NumberFormat::render(v, m_format); }

QString NumField::render(const QVariant &value) const { return textOf(value.toDouble()); }

void NumField::setIndicator(bool on)
{
    if (on == m_indicator)
        return;
    m_indicator = on;
    m_room = -1;
    setReadOnly(on);
    setFocusPolicy(on ? Qt::TabFocus : Qt::StrongFocus);
    // An editable field and an indicator are told apart differently: drop the
    // interface made for the other role (Qt makes one at the first text set).
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(this))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    if (on && hasFocus())
        clearFocus();
    if (on && isModified())
        showText(render(m_value));
    applyColours();
}

bool NumField::isIndicator() const { return m_indicator; }

void NumField::setColours(const Lib::ColourPair &colours)
{
    m_colours = colours;
    applyColours();
}

QString NumField::displayedText() const
{
    if (!m_elided || hasFocus())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideRight, textRoom().width());
}

void NumField::changeEvent(QEvent *event)
{
    m_room = -1; // a font, style or state may change the frame
    if (event->type() == QEvent::FontChange && !m_fitting) {
        m_fullFont = font();
        m_fullMetrics = QFontMetrics(m_fullFont);
        fitFont();
    }
    EditField::changeEvent(event);
}

void NumField::resizeEvent(QResizeEvent *event)
{
    EditField::resizeEvent(event);
    m_room = -1;
    fitFont();
}

void NumField::commitTyping()
{
    const QString typed = text();
    const auto number = NumberFormat::parse(typed, m_format);
    if (!number) {
        showText(render(m_value));
        if (hasFocus())
            selectAll(); // ready for the operator's next try
        // Said on the field itself, without a box: the operator is typing here.
        m_refusedText = typed;
        ControlMark::set(this, ControlMark::Kind::Refused, tr("\"%1\" is not a number: nothing was written.").arg(typed));
        emit refused(typed);
        return;
    }
    // The typed text stays shown until the field is left.
    setModified(false);
    applyColours();
    m_value = *number;
    committedAs(*number);
    emit committed(*number);
}

int NumField::chromeWidth() const
{
    return width() - textRoom().width();
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
        EditField::paintEvent(event);
        return;
    }
    // The frame as the style draws it, then the elided value where the text goes.
    QPainter p(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, this);
    p.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, QPalette::Text));
    p.drawText(textRoom(), int(alignment()), displayedText());
}

int NumField::roomWidth()
{
    if (m_room < 0)
        m_room = textRoom().width();
    return m_room;
}

void NumField::fitFont()
{
    if (isModified())
        return; // the operator's typing scrolls as usual
    const int room = roomWidth();
    const QString shown = text();
    // Most values fit with room to spare: the advances of their characters, which kerning can
    // only change by a little, tell so without shaping the text.
    int estimate = 0;
    for (const QChar c : shown)
        estimate += m_fullMetrics.horizontalAdvance(c);
    if (estimate * 10 < room * 9 && !m_elided && font() == m_fullFont)
        return;
    const int need = m_fullMetrics.horizontalAdvance(shown);
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
            if (size <= smallest || QFontMetrics(drawn).horizontalAdvance(shown) <= room)
                break;
            size = std::max(smallest, size - (byPixels ? 1.0 : 0.25));
        }
    }
    const bool elided = room > 0 && (drawn == m_fullFont ? need : QFontMetrics(drawn).horizontalAdvance(shown)) > room;
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

void NumField::applyColours()
{
    // Each background with its own text colour, so a dark palette keeps the value legible.
    const QPalette app = QGuiApplication::palette();
    QPalette pal = palette();
    QColor base, text;
    if (m_colours) {
        base = Lib::toQColor(m_colours->back);
        text = Lib::toQColor(m_colours->fore);
    } else {
        base = app.color(m_indicator ? QPalette::Button : QPalette::Base);
        text = app.color(m_indicator ? QPalette::ButtonText : QPalette::Text);
    }
    if (isModified())
        base = typingTint(base);
    if (pal.color(QPalette::Base) == base && pal.color(QPalette::Text) == text)
        return;
    pal.setColor(QPalette::Base, base);
    pal.setColor(QPalette::Text, text);
    setPalette(pal);
}
