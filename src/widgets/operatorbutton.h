#pragma once

#include <QAbstractButton>

// A checkable button that only the operator switches (lamps that are also
// switches, two-position switches). A value set by code emits nothing; a
// double-click counts as one click; and while the button is busy (its last
// change is still on its way to the crate) clicks and keys change nothing, so
// two quick clicks can never send two opposite writes.
class OperatorButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(bool value READ value WRITE setValue) // scripts and tests read it by name
public:
    explicit OperatorButton(QWidget *parent = nullptr);

    bool value() const { return isChecked(); }
    // From code: never emits switchedByOperator. The same value again is no change, and is not announced.
    void setValue(bool on)
    {
        if (on != isChecked())
            setChecked(on);
    }

    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    // Whether the operator may switch it at all.
    bool isOperable() const { return operable(); }
    // Its state in words, as assistive technology reads it ("on", "off").
    virtual QString stateText() const;

signals:
    void switchedByOperator(bool on); // only an operator's click or key, when it changed the value

protected:
    // Whether the operator may switch it at all (a lamp may be a pure indicator).
    virtual bool operable() const { return true; }
    void nextCheckState() override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void checkStateSet() override;

private:
    bool m_busy = false; // a change is on its way: operator input is ignored
};
