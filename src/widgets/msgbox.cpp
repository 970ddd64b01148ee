#include "msgbox.h"

namespace MsgBox {

namespace {
Interceptor &interceptor()
{
    static Interceptor hook; // test hook; empty in the application
    return hook;
}
} // namespace

void show(QWidget *parent, const QString &title, const QString &text, QMessageBox::Icon icon)
{
    if (interceptor()) {
        interceptor()(title, text, icon);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void setInterceptor(Interceptor hook)
{
    interceptor() = std::move(hook);
}

} // namespace MsgBox
