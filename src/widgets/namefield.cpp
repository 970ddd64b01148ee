#include "namefield.h"

NameField::NameField(const QString &text, QWidget *parent) : EditField(parent)
{
    takeCrateValue(text, false);
}

void NameField::setCrateName(const QString &name, bool evenIfEditing)
{
    takeCrateValue(name, evenIfEditing);
}

void NameField::commitTyping()
{
    const QString name = text();
    setModified(false);
    applyColours();
    // Passing through a name is no edit: a name not changed is never sent back.
    if (name == crateName())
        return;
    committedAs(name);
    emit committed(name);
}
