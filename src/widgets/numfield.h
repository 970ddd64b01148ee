#pragma once

#include "editfield.h"
#include "lib.h"

#include <optional>

// Numeric field and indicator with a display format text (see NumberFormat::render).
//
// Editable role (an EditField): the operator types a number and commits it
// with Enter or by moving the focus to another control; only then is
// `committed` emitted, once, with the number in the field's own scale (the
// literal unit is ignored, see NumberFormat::parse). Text that is not a number
// is refused: the field shows its last value again, nothing is emitted, and
// until the next edit a red frame and the tooltip say what was refused.
// Entering and leaving the field without typing commits nothing, so a rounded
// display ("1.235 kV") is never sent back.
//
// Indicator role: read-only, on the button-face colour; Tab stops on it so that
// it is heard in its row, and assistive technology reads it as a read-only value.
//
// A shown value that is wider than the field is drawn in a smaller font (down
// to 70 %) rather than cut off; the font set on the field is the full size.
// Where even that is too wide, the value is drawn elided ("1.2345…") while the
// field does not have the focus: digits are never silently dropped. text() and
// what assistive technology reads stay the whole value.
class NumField : public EditField
{
    Q_OBJECT
public:
    explicit NumField(QWidget *parent = nullptr);

    void setFormat(const QString &format);  // re-renders unless the operator is in the field; no repaint when unchanged
    QString format() const;

    // The crate's value, from code: never emits committed; no repaint when
    // unchanged. While the operator is in the field the text stays (see
    // EditField; evenIfEditing: unless they have typed).
    void setValue(double v, bool evenIfEditing = false);
    double value() const;
    // The value as the field shows it with its format ("1.2 kV").
    QString textOf(double v) const;

    void setIndicator(bool on);             // read-only indicator role (no input, button-face colour)
    bool isIndicator() const;
    // The text refused last, while its sign is shown; empty once the operator edits again.
    QString refusedText() const { return m_refusedText; }
    // Background and text in place of the role's (button face or base, each with its text colour).
    void setColours(const Lib::ColourPair &colours);

    // What is drawn: text(), or its elided form when the value does not fit at the smallest font.
    QString displayedText() const;
    // The width the frame and margins take: a value needs its own width plus this.
    int chromeWidth() const;

signals:
    void committed(double v);               // operator typed a number and pressed Enter or left the field
    void refused(const QString &text);      // operator's text was not a number; the field shows value() again

protected:
    QString render(const QVariant &value) const override;
    void commitTyping() override;
    void applyColours() override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitFont();
    QRect textRoom() const;
    // textRoom()'s width, kept between changes of size, font and style: the value changes far more often.
    int roomWidth();

    QString m_format;          // display format text
    double m_value = 0.0;      // last value set by code or committed by the operator
    bool m_indicator = false;  // read-only indicator role
    QFont m_fullFont;          // font the field was given; fitFont() may draw smaller
    QFontMetrics m_fullMetrics; // of m_fullFont
    int m_room = -1;           // roomWidth(), -1 until measured again
    bool m_fitting = false;    // fitFont() is changing the font itself
    QString m_refusedText;     // operator's text refused last; its sign shows until the next edit
    bool m_elided = false;     // the value does not fit even at the smallest font
    std::optional<Lib::ColourPair> m_colours; // set in place of the role's colours
};
