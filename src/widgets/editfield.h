#pragma once

#include <QLineEdit>
#include <QVariant>

// A field that shows one of the crate's values and takes the operator's typing
// for it. What both kinds of field (numbers, names) share:
//
//  - Typing not committed yet looks different: the field is tinted.
//  - Enter commits. Leaving the field for another control of its window
//    commits too, unless the crate's value changed while the operator was in
//    the field: then the field says so at once (a mark, and a tooltip such as
//    "The crate now holds 1.2 kV") and leaving drops the typing, so only Enter
//    writes over the newer value. Switching to another window or opening a
//    context menu is not leaving: the typing stays.
//  - Esc with typing puts the crate's value back; without typing it goes on
//    to the window (which closes).
//  - The crate's value is shown at once while the operator is not in the
//    field; while they are, the text stays as it is.
class EditField : public QLineEdit
{
    Q_OBJECT
public:
    explicit EditField(QWidget *parent = nullptr);

    // The operator is in the field (it is its window's focus, even while another
    // window is active), or has typed in it.
    bool isEditing() const;
    // The crate's value changed since the operator came into the field.
    bool crateChanged() const { return m_crateChanged; }

signals:
    // Typing was dropped on leaving, because the crate's value had changed meanwhile.
    void typingDropped(const QString &typed);

protected:
    // The crate's value; shown unless the operator is editing (evenIfEditing: unless typing).
    void takeCrateValue(const QVariant &value, bool evenIfEditing);
    const QVariant &crateValue() const { return m_crate; }
    // The value as the field shows it (also for the crate-changed tooltip).
    virtual QString render(const QVariant &value) const = 0;
    // Commits the typing (Enter, or leaving while the crate's value stood still).
    virtual void commitTyping() = 0;
    // Shows text as not typed (no tint) and, when it is the crate's, as its value.
    void showText(const QString &text);
    // Whether leaving to `reason` is leaving the field (not a window switch or a popup).
    static bool leaves(Qt::FocusReason reason);
    // The committed value is what the field now stands for, until the crate says otherwise.
    void committedAs(const QVariant &value);

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

    // Sets the background: the field's own (roleBase) or, while typing, the tint.
    virtual void applyColours();
    // A base colour tinted towards the selection colour: clearly not the crate's value, still legible.
    QColor typingTint(const QColor &base) const;

private:
    // The text now stands for this value of the crate's: nothing has overtaken it.
    void standFor(const QVariant &value);

    QVariant m_crate;            // the crate's value, as last given
    QVariant m_base;             // the crate's value the text stands for
    QVariant m_shown;            // the crate's value the text was last rendered from, while it still shows it
    bool m_crateChanged = false; // the crate's value moved away from m_base while the operator was in the field
};
