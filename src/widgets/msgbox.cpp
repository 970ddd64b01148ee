#include "msgbox.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QSpacerItem>
#include <algorithm>

namespace MsgBox {

namespace {
Interceptor &interceptor()
{
    static Interceptor hook; // test hook; empty in the application
    return hook;
}
bool &interceptedAnswer()
{
    static bool yes = false; // what ask() answers while intercepted
    return yes;
}
} // namespace

namespace {
void open(QWidget *parent, const QString &title, const QString &text, QMessageBox::Icon icon, const QString &detail,
          bool unasked)
{
    if (interceptor()) {
        interceptor()(title, text, icon, detail);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    // The reason is often the crate's own words: shown as sent, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(detail);
    if (auto *reason = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        reason->setTextFormat(Qt::PlainText);
    // QMessageBox sizes itself to its text only; a short text would cut the title
    // bar's caption. A spacer across its grid keeps it wide enough.
    const int wide = std::max(box.fontMetrics().horizontalAdvance(title) + 160, detail.isEmpty() ? 0 : 380);
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(wide, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
    if (unasked) {
        QAbstractButton *ok = box.button(QMessageBox::Ok);
        ok->setEnabled(false);
        QTimer::singleShot(UnaskedGuardMs, ok, [ok] { ok->setEnabled(true); });
    }
    box.exec();
}
} // namespace

void show(QWidget *parent, const QString &title, const QString &text, QMessageBox::Icon icon, const QString &detail)
{
    open(parent, title, text, icon, detail, false);
}

void tell(QWidget *parent, const QString &title, const QString &text, QMessageBox::Icon icon, const QString &detail)
{
    open(parent, title, text, icon, detail, true);
}

bool ask(QWidget *parent, const QString &title, const QString &text, const QString &yes, const QString &no,
         QMessageBox::Icon icon)
{
    if (interceptor()) {
        interceptor()(title, text, icon, QString());
        return interceptedAnswer();
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText); // a crate's address and fingerprint, never markup
    QPushButton *yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton *noButton = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse); // a fingerprint can be copied to compare
    box.exec();
    return box.clickedButton() == yesButton;
}

void setInterceptor(Interceptor hook)
{
    interceptor() = std::move(hook);
}

void setAnswer(bool yes)
{
    interceptedAnswer() = yes;
}

} // namespace MsgBox
