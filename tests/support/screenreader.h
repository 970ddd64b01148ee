#pragma once

#include <QAccessible>
#include <QLabel>
#include <QMetaEnum>
#include <QTextDocument>
#include <QWidget>

// What a screen reader is told of a control: name | role | states | value.
inline QString said(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    const QAccessible::State st = a->state();
    QStringList states;
    for (const auto &[on, word] : {std::pair{bool(st.checkable), "checkable"}, {bool(st.checked), "checked"},
                                  {bool(st.readOnly), "read-only"}, {bool(st.editable), "editable"}})
        if (on)
            states << QString::fromLatin1(word);
    return QStringList{a->text(QAccessible::Name),
                       QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(a->role())),
                       states.join(' '), a->text(QAccessible::Value)}
        .join(QStringLiteral(" | "));
}

// The text a person sees for a label's text or a tooltip: markup rendered, plain text as it is.
inline QString rendered(const QString &text, Qt::TextFormat format = Qt::AutoText)
{
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText();
}
inline QString rendered(const QLabel *label) { return rendered(label->text(), label->textFormat()); }
