#pragma once

#include <QWidget>
#include <optional>

// A sign drawn over a control the operator changes, saying what became of the
// last change: on its way to the crate, refused, its outcome unknown, or
// overtaken by the crate while the operator was typing. While it shows, its
// text is the control's tooltip and ends the control's accessible description,
// so a screen reader says it too; when it goes, the control's own come back.
// The sign is a child of the control that follows its size and lets every
// mouse event through.
class ControlMark : public QWidget
{
    Q_OBJECT
public:
    enum class Kind {
        Pending,       // written, the crate has not answered yet
        Refused,       // the crate (or the field itself) refused it
        Unknown,       // the link failed before the answer: check the value
        CrateChanged,  // the crate's value changed while the operator typed
    };

    // Shows (or replaces) the sign on the control.
    static void set(QWidget *control, Kind kind, const QString &text);
    static void clear(QWidget *control);
    static std::optional<Kind> kindOf(const QWidget *control);
    static QString textOf(const QWidget *control);

    // The control's own accessible description, kept under a sign while one shows.
    static void describe(QWidget *control, const QString &description);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ControlMark(QWidget *control);
    static ControlMark *of(const QWidget *control);
    void apply(Kind kind, const QString &text);
    void restore();

    QWidget *m_control;          // the control it is drawn over (its parent)
    Kind m_kind = Kind::Pending; // what it says
    QString m_text;              // why, in words
    QString m_ownTip;            // the control's tooltip without the sign
    QString m_ownDescription;    // the control's accessible description without the sign
};
