#pragma once

#include "editfield.h"

// The field of a channel's name (an EditField): shows the name the crate
// gives, and commits what the operator types with Enter or on leaving it for
// another control of its window. Passing through without a change commits nothing.
class NameField : public EditField
{
    Q_OBJECT
public:
    explicit NameField(const QString &text, QWidget *parent = nullptr);

    // The crate's name for the channel (see EditField for when it is shown).
    void setCrateName(const QString &name, bool evenIfEditing = false);
    QString crateName() const { return crateValue().toString(); }

signals:
    void committed(const QString &name); // a changed name, by Enter or on leaving

protected:
    QString render(const QVariant &value) const override { return value.toString(); }
    void commitTyping() override;
};
