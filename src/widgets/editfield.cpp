#include "editfield.h"

#include "controlmark.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>

EditField::EditField(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this] {
        // An edit answers a refusal or a doubt shown on the field: its sign goes.
        const auto kind = ControlMark::kindOf(this);
        if (kind == ControlMark::Kind::Refused || kind == ControlMark::Kind::Unknown)
            ControlMark::clear(this);
        m_shown = QVariant();
        applyColours();
    });
}

bool EditField::leaves(Qt::FocusReason reason)
{
    // A context menu or another window takes the focus only for a while.
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

bool EditField::isEditing() const
{
    return isModified() || (!isReadOnly() && window()->focusWidget() == this);
}

void EditField::takeCrateValue(const QVariant &value, bool evenIfEditing)
{
    m_crate = value;
    // The same value shown again, and stood for, costs nothing whether or not the field is
    // being edited: most values of most ticks are unchanged.
    if (m_shown.isValid() && !m_crateChanged && value == m_shown && value == m_base && !isModified())
        return;
    if (!isEditing() || (evenIfEditing && !isModified())) {
        showText(render(value));
        standFor(value);
        m_shown = value;
        return;
    }
    const bool changed = value != m_base;
    if (changed)
        ControlMark::set(this, ControlMark::Kind::CrateChanged, tr("The crate now holds %1").arg(render(value)));
    else if (m_crateChanged && ControlMark::kindOf(this) == ControlMark::Kind::CrateChanged)
        ControlMark::clear(this);
    m_crateChanged = changed;
}

void EditField::committedAs(const QVariant &value)
{
    m_crate = value;
    standFor(value);
}

void EditField::standFor(const QVariant &value)
{
    m_base = value;
    if (m_crateChanged && ControlMark::kindOf(this) == ControlMark::Kind::CrateChanged)
        ControlMark::clear(this);
    m_crateChanged = false;
}

void EditField::showText(const QString &text)
{
    m_shown = QVariant(); // whatever it was rendered from, the caller knows
    if (text != QLineEdit::text())
        setText(text);
    setModified(false);
    applyColours();
}

bool EditField::event(QEvent *event)
{
    // Escape while typing drops the typing; it must not reach a window shortcut first.
    if (event->type() == QEvent::ShortcutOverride && isModified()
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void EditField::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isModified())
            commitTyping();
        applyColours();
        event->accept();
        return;
    case Qt::Key_Escape:
        if (isModified()) {
            // Back to what the crate holds, and to the start of a new edit.
            showText(render(m_crate));
            standFor(m_crate);
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void EditField::focusOutEvent(QFocusEvent *event)
{
    if (leaves(event->reason()) && !isReadOnly()) {
        if (isModified() && m_crateChanged) {
            const QString typed = text();
            showText(render(m_crate));
            emit typingDropped(typed);
        } else if (isModified()) {
            commitTyping();
            showText(render(m_crate)); // a committed "2" now reads "2 kV"
        } else {
            showText(render(m_crate));
        }
        standFor(m_crate);
    }
    QLineEdit::focusOutEvent(event);
}

void EditField::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyColours();
    QLineEdit::changeEvent(event);
}

QColor EditField::typingTint(const QColor &base) const
{
    const QColor mark = QGuiApplication::palette().color(QPalette::Highlight);
    return QColor::fromRgbF(base.redF() * 0.75 + mark.redF() * 0.25, base.greenF() * 0.75 + mark.greenF() * 0.25,
                            base.blueF() * 0.75 + mark.blueF() * 0.25);
}

void EditField::applyColours()
{
    QPalette pal = palette();
    const QColor own = QGuiApplication::palette().color(QPalette::Base);
    const QColor base = isModified() ? typingTint(own) : own;
    if (pal.color(QPalette::Base) != base) {
        pal.setColor(QPalette::Base, base);
        setPalette(pal);
    }
}
