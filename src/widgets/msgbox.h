#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every operator message of the application goes through here, so a test can
// read the title and text and answer OK without a real modal loop.
namespace MsgBox {

// Shows a modal message box with only an OK button; returns when it is closed.
// A detail (the reason behind the text) is shown in full under the text; both
// are plain text, so a reason from the crate shows as it was sent. The
// box is wide enough for its whole title and for a reason to read at a glance.
void show(QWidget *parent, const QString &title, const QString &text,
          QMessageBox::Icon icon = QMessageBox::NoIcon, const QString &detail = QString());

// The same for a message the operator did not ask for (a board gone, a link
// lost): it comes while they may be typing, so its OK answers neither a key nor
// a click for its first second, and keystrokes meant elsewhere cannot close it unread.
void tell(QWidget *parent, const QString &title, const QString &text,
          QMessageBox::Icon icon = QMessageBox::NoIcon, const QString &detail = QString());
inline constexpr int UnaskedGuardMs = 1000;

// A question with two answers: true when the operator chose `yes`. `no` is the
// default and what Esc gives, so a hasty Enter never says yes.
bool ask(QWidget *parent, const QString &title, const QString &text, const QString &yes, const QString &no,
         QMessageBox::Icon icon = QMessageBox::Question);

// While an interceptor is set, show(), tell() and ask() call it instead of
// opening a box; ask() then returns what setAnswer() said (no, unless told).
using Interceptor = std::function<void(const QString &title, const QString &text, QMessageBox::Icon icon,
                                       const QString &detail)>;
void setInterceptor(Interceptor interceptor);
void setAnswer(bool yes);

} // namespace MsgBox
