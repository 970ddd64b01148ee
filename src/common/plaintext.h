#pragma once

#include <QString>

// Text that comes from the crate (models, channel names, releases, error
// texts, refusal reasons) is shown as it was sent, never interpreted. Labels
// and message boxes are told so with Qt::PlainText; these helpers cover the
// places that have no such switch.
namespace PlainText {

// For a tooltip: Qt draws a tooltip as rich text when it looks like markup
// ("<u>PY</u>"), so such a text is escaped into markup that shows it as written.
// Any other text is returned unchanged.
QString tip(const QString &text);

// For a window caption: "[*]" is Qt's placeholder for the modified mark; doubled, it shows.
QString windowTitle(const QString &text);

// For a button or menu caption: "&" marks a mnemonic; doubled, it shows.
QString buttonText(const QString &text);

} // namespace PlainText
