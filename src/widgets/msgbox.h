#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every operator message of the application goes through here, so a test can
// read the title and text and answer OK without a real modal loop.
namespace MsgBox {

// Shows a modal message box with only an OK button; returns when it is closed.
// A detail (the reason behind the text) is shown in full under the text. The
// box is wide enough for its whole title and for a reason to read at a glance.
void show(QWidget *parent, const QString &title, const QString &text,
          QMessageBox::Icon icon = QMessageBox::NoIcon, const QString &detail = QString());

// While an interceptor is set, show() calls it instead of opening a box.
using Interceptor = std::function<void(const QString &title, const QString &text, QMessageBox::Icon icon,
                                       const QString &detail)>;
void setInterceptor(Interceptor interceptor);

} // namespace MsgBox
